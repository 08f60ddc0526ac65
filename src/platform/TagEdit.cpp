#include "platform/TagEdit.h"

#include "platform/TagNames.h"
#include "platform/TagPaths.h"
#include "platform/TagValueCodec.h"

#include <QHash>
#include <QJsonArray>
#include <QSet>

#include <algorithm>

namespace {

// The name an entry of a stored list stands for, ready for comparison.
QString entryKey(const QByteArray& entry) {
    const QString name = QString::fromUtf8(TagValueCodec::entryName(entry));
    const auto path = TagPaths::segments(name);
    return path ? TagPaths::key(*path) : TagNames::exactKey(name);
}

// Path entries through `from` begin with `to` instead (keeping their own leading "/", if
// any), or leave when there is no `to`; an entry that becomes one the list has goes.
void movePathsIn(QList<QByteArray>& list, const QStringList& from, const QStringList& to) {
    QSet<QString> kept;
    for (const QByteArray& entry : list) {
        kept.insert(entryKey(entry));
    }
    QList<QByteArray> result;
    for (const QByteArray& entry : list) {
        const QString name = QString::fromUtf8(TagValueCodec::entryName(entry));
        const auto path = TagPaths::segments(name);
        if (!path || !TagPaths::startsWith(*path, from)) {
            result.append(entry);
            continue;
        }
        kept.remove(entryKey(entry));
        if (to.isEmpty()) {
            continue;
        }
        const QStringList moved = to == from ? to : to + path->mid(from.size());
        if (!kept.contains(TagPaths::key(moved))) {
            kept.insert(TagPaths::key(moved));
            const QString prefix = name.startsWith(u'/') ? QStringLiteral("/") : QString();
            result.append(TagValueCodec::encodeName((prefix + TagPaths::entry(moved)).toUtf8()));
        }
    }
    list = result;
}

QSet<QString> exactKeys(const QStringList& names) {
    QSet<QString> set;
    for (const QString& name : names) {
        set.insert(TagNames::exactKey(name));
    }
    return set;
}

void renameIn(QList<QByteArray>& list, const QString& from, const QString& to) {
    const QString oldKey = TagNames::exactKey(from);
    const QString newKey = TagNames::exactKey(to);
    // A new spelling of the same name (another Unicode form) replaces the old one; it is not
    // a name the file already has.
    bool hasNew = false;
    for (const QByteArray& entry : list) {
        hasNew = hasNew || (newKey != oldKey && entryKey(entry) == newKey);
    }
    QList<QByteArray> result;
    for (const QByteArray& entry : list) {
        if (entryKey(entry) != oldKey) {
            result.append(entry);
        } else if (!hasNew) {
            result.append(TagValueCodec::encodeName(to.toUtf8()));
            hasNew = true;
        }
    }
    list = result;
}

void addTo(QList<QByteArray>& list, const QStringList& names) {
    QSet<QString> present;
    for (const QByteArray& entry : list) {
        present.insert(entryKey(entry));
    }
    for (const QString& name : names) {
        if (!present.contains(TagNames::exactKey(name))) {
            present.insert(TagNames::exactKey(name));
            list.append(TagValueCodec::encodeName(name.toUtf8()));
        }
    }
}

// Whether a guard keeps `name` as it is on a file whose names (path entries' names included)
// are `carried`.
bool isKept(const QList<TagEdit::Guard>& guards, const QString& name,
            const QSet<QString>& carried) {
    const auto carriesAll = [&](const QStringList& names) {
        return std::all_of(names.cbegin(), names.cend(), [&](const QString& one) {
            return carried.contains(TagNames::exactKey(one));
        });
    };
    for (const TagEdit::Guard& guard : guards) {
        if (TagNames::exactKey(guard.name) != TagNames::exactKey(name)) {
            continue;
        }
        if (!carriesAll(guard.onlyWith)) {
            return true;
        }
        for (const QStringList& other : guard.keepWith) {
            if (!other.isEmpty() && carriesAll(other)) {
                return true;
            }
        }
    }
    return false;
}

QSet<QString> carriedNames(const QList<QByteArray>& list) {
    QStringList names;
    for (const QByteArray& entry : list) {
        names.append(QString::fromUtf8(TagValueCodec::entryName(entry)));
    }
    return exactKeys(TagPaths::meanings(names));
}

QJsonArray toArray(const QStringList& names) {
    return QJsonArray::fromStringList(names);
}

QStringList fromArray(const QJsonValue& value) {
    QStringList names;
    for (const QJsonValue& name : value.toArray()) {
        names.append(name.toString());
    }
    return names;
}

QByteArray joined(const QList<QByteArray>& list) {
    // A list left with no names at all is removed.
    const bool hasNames = std::any_of(list.cbegin(), list.cend(), [](const QByteArray& entry) {
        return !TagValueCodec::entryName(entry).isEmpty();
    });
    return hasNames ? TagValueCodec::join(list) : QByteArray();
}

QHash<QString, QByteArray> byKey(const QList<QByteArray>& list) {
    QHash<QString, QByteArray> entries;
    for (const QByteArray& entry : list) {
        entries.insert(entryKey(entry), entry);
    }
    return entries;
}

}  // namespace

QByteArray TagEdit::apply(const QByteArray& value) const {
    const QList<QByteArray> before = TagValueCodec::entries(value);
    QList<QByteArray> list = before;
    const QSet<QString> carried = guards.isEmpty() ? QSet<QString>() : carriedNames(before);
    if (!renameFrom.isEmpty() && !isKept(guards, renameFrom, carried)) {
        renameIn(list, renameFrom, renameTo);
    }
    if (!pathFrom.isEmpty()) {
        movePathsIn(list, pathFrom, pathTo);
    }
    addTo(list, adding);
    if (!removing.isEmpty()) {
        QSet<QString> doomed = exactKeys(removing);
        for (const QString& name : removing) {
            if (isKept(guards, name, carried)) {
                doomed.remove(TagNames::exactKey(name));
            }
        }
        // A path entry means each name along it: it goes when every one of them does.
        list.removeIf([&](const QByteArray& entry) {
            const QString name = QString::fromUtf8(TagValueCodec::entryName(entry));
            const auto path = TagPaths::segments(name);
            return path ? doomed.contains(TagPaths::key(*path)) ||
                              exactKeys(*path).subtract(doomed).isEmpty()
                        : doomed.contains(TagNames::exactKey(name));
        });
    }
    return list == before ? value : joined(list);
}

QByteArray TagEdit::takeBack(const QByteArray& current, const QByteArray& before,
                             const QByteArray& after) {
    const QList<QByteArray> wasList = TagValueCodec::entries(before);
    const QList<QByteArray> madeList = TagValueCodec::entries(after);
    const QHash<QString, QByteArray> was = byKey(wasList);
    const QHash<QString, QByteArray> made = byKey(madeList);
    QList<QByteArray> putBack;  // removed or renamed away, in their old order
    for (const QByteArray& entry : wasList) {
        if (!made.contains(entryKey(entry))) {
            putBack.append(entry);
        }
    }
    const QList<QByteArray> now = TagValueCodec::entries(current);
    QSet<QString> present;
    for (const QByteArray& entry : now) {
        present.insert(entryKey(entry));
    }
    QList<QByteArray> result;
    for (const QByteArray& entry : now) {
        const QString key = entryKey(entry);
        if (!was.contains(key) && made.contains(key)) {
            // Added by the change: gone again, or a renamed name's old self in its place.
            while (!putBack.isEmpty() && present.contains(entryKey(putBack.first()))) {
                putBack.removeFirst();
            }
            if (!putBack.isEmpty()) {
                present.insert(entryKey(putBack.first()));
                result.append(putBack.takeFirst());
            }
        } else if (was.contains(key) && made.value(key) == entry && was.value(key) != entry) {
            result.append(was.value(key));  // respelled by the change
        } else {
            result.append(entry);
        }
    }
    for (const QByteArray& entry : std::as_const(putBack)) {
        if (!present.contains(entryKey(entry))) {
            present.insert(entryKey(entry));
            result.append(entry);
        }
    }
    return result == now ? current : joined(result);
}

QString TagEdit::lookedUpName() const {
    if (!renameFrom.isEmpty()) {
        return renameFrom;  // its files are found by their names, path entries among them
    }
    return pathFrom.isEmpty() ? QString() : TagPaths::query(pathFrom);
}

QJsonObject TagEdit::toJson() const {
    QJsonObject object;
    object["adding"] = toArray(adding);
    object["removing"] = toArray(removing);
    object["renameFrom"] = renameFrom;
    object["renameTo"] = renameTo;
    if (!pathFrom.isEmpty()) {
        object["pathFrom"] = toArray(pathFrom);
        object["pathTo"] = toArray(pathTo);
    }
    QJsonArray guarded;
    for (const Guard& guard : guards) {
        QJsonArray keepWith;
        for (const QStringList& names : guard.keepWith) {
            keepWith.append(toArray(names));
        }
        guarded.append(QJsonObject{
            {"name", guard.name}, {"onlyWith", toArray(guard.onlyWith)}, {"keepWith", keepWith}});
    }
    if (!guarded.isEmpty()) {
        object["guards"] = guarded;
    }
    return object;
}

TagEdit TagEdit::fromJson(const QJsonObject& object) {
    QList<Guard> guards;
    for (const QJsonValue& value : object["guards"].toArray()) {
        Guard guard{value["name"].toString(), fromArray(value["onlyWith"]), {}};
        for (const QJsonValue& names : value["keepWith"].toArray()) {
            guard.keepWith.append(fromArray(names));
        }
        guards.append(guard);
    }
    return {fromArray(object["adding"]),
            fromArray(object["removing"]),
            object["renameFrom"].toString(),
            object["renameTo"].toString(),
            fromArray(object["pathFrom"]),
            fromArray(object["pathTo"]),
            guards};
}
