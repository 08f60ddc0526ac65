#include "services/FileTagging.h"

#include "platform/FilePaths.h"
#include "platform/FileTagStore.h"

#include <QSet>

namespace FileTagging {
namespace {

QString decode(const QByteArray& raw) {
    return QString::fromUtf8(raw);
}

// Reads the raw list, lets `change` edit it, and writes it back only when it changed.
template <typename Change>
std::error_code update(FileTagStore& store, const QUrl& url, Change change) {
    const QByteArray path = FilePaths::rawPathFromUrl(url);
    if (path.isEmpty()) {
        return std::make_error_code(std::errc::invalid_argument);
    }
    const auto current = store.read(path);
    if (!current) {
        return std::make_error_code(std::errc::io_error);
    }
    QList<QByteArray> names = *current;
    change(names);
    return names == *current ? std::error_code() : store.write(path, names);
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
        list.removeIf(
            [&](const QByteArray& raw) { return doomed.contains(comparable(decode(raw))); });
    });
}

std::error_code addTags(FileTagStore& store, const QStringList& names, const QUrl& url) {
    return update(store, url, [&](QList<QByteArray>& list) {
        QSet<QString> present;
        for (const QByteArray& raw : list) {
            present.insert(comparable(decode(raw)));
        }
        for (const QString& name : names) {
            if (!present.contains(comparable(name))) {
                present.insert(comparable(name));
                list.append(name.toUtf8());
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
        for (const QByteArray& raw : list) {
            hasNew = hasNew || (newKey != oldKey && comparable(decode(raw)) == newKey);
        }
        QList<QByteArray> result;
        for (const QByteArray& raw : list) {
            if (comparable(decode(raw)) != oldKey) {
                result.append(raw);
            } else if (!hasNew) {
                result.append(newName.toUtf8());
                hasNew = true;
            }
        }
        list = result;
    });
}

}  // namespace FileTagging
