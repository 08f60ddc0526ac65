#include "services/FileTagging.h"

#include "platform/FilePaths.h"
#include "platform/FileTagStore.h"
#include "platform/TagValueCodec.h"

#include <QSet>

#include <algorithm>

namespace FileTagging {
namespace {

QString decode(const QByteArray& raw) {
    return QString::fromUtf8(raw);
}

// The name an entry of a stored list stands for, ready for comparison.
QString entryKey(const QByteArray& entry) {
    return comparable(decode(TagValueCodec::entryName(entry)));
}

// Reads the stored list, lets `change` edit its entries, and writes it back only when it
// changed. Entries the change leaves alone keep their exact bytes.
template <typename Change>
std::error_code update(FileTagStore& store, const QUrl& url, Change change) {
    const QByteArray path = FilePaths::rawPathFromUrl(url);
    if (path.isEmpty()) {
        return std::make_error_code(std::errc::invalid_argument);
    }
    const auto value = store.readValue(path);
    if (!value) {
        return std::make_error_code(std::errc::io_error);
    }
    const QList<QByteArray> before = TagValueCodec::entries(*value);
    QList<QByteArray> entries = before;
    change(entries);
    if (entries == before) {
        return {};
    }
    // A list left with no names at all is removed.
    const bool hasNames = std::any_of(entries.cbegin(), entries.cend(), [](const QByteArray& e) {
        return !TagValueCodec::entryName(e).isEmpty();
    });
    return store.writeValue(path, hasNames ? TagValueCodec::join(entries) : QByteArray());
}

QSet<QString> comparableSet(const QStringList& names) {
    QSet<QString> set;
    for (const QString& name : names) {
        set.insert(comparable(name));
    }
    return set;
}

}  // namespace

QString comparable(const QString& name) {
    return name.normalized(QString::NormalizationForm_C);
}

QStringList decodeNames(const QList<QByteArray>& raw) {
    QStringList names;
    names.reserve(raw.size());
    for (const QByteArray& name : raw) {
        names.append(decode(name));
    }
    return names;
}

QStringList readTagNames(const FileTagStore& store, const QUrl& url) {
    const QByteArray path = FilePaths::rawPathFromUrl(url);
    const auto names = path.isEmpty() ? std::nullopt : store.read(path);
    return names ? decodeNames(*names) : QStringList();
}

std::error_code removeTag(FileTagStore& store, const QString& name, const QUrl& url) {
    return removeTags(store, {name}, url);
}

std::error_code removeTags(FileTagStore& store, const QStringList& names, const QUrl& url) {
    const QSet<QString> doomed = comparableSet(names);
    return update(store, url, [&](QList<QByteArray>& list) {
        list.removeIf([&](const QByteArray& entry) { return doomed.contains(entryKey(entry)); });
    });
}

std::error_code addTags(FileTagStore& store, const QStringList& names, const QUrl& url) {
    return update(store, url, [&](QList<QByteArray>& list) {
        QSet<QString> present;
        for (const QByteArray& entry : list) {
            present.insert(entryKey(entry));
        }
        for (const QString& name : names) {
            if (!present.contains(comparable(name))) {
                present.insert(comparable(name));
                list.append(TagValueCodec::encodeName(name.toUtf8()));
            }
        }
    });
}

std::error_code replaceTag(FileTagStore& store, const QString& oldName, const QString& newName,
                           const QUrl& url) {
    const QString oldKey = comparable(oldName);
    const QString newKey = comparable(newName);
    return update(store, url, [&](QList<QByteArray>& list) {
        // A new spelling of the same name (another Unicode form) replaces the old one; it is
        // not a name the file already has.
        bool hasNew = false;
        for (const QByteArray& entry : list) {
            hasNew = hasNew || (newKey != oldKey && entryKey(entry) == newKey);
        }
        QList<QByteArray> result;
        for (const QByteArray& entry : list) {
            if (entryKey(entry) != oldKey) {
                result.append(entry);
            } else if (!hasNew) {
                result.append(TagValueCodec::encodeName(newName.toUtf8()));
                hasNew = true;
            }
        }
        list = result;
    });
}

}  // namespace FileTagging
