#include "services/FileItems.h"

#include "model/NameOrder.h"
#include "platform/FilePaths.h"
#include "platform/FileTagStore.h"
#include "services/FileTagging.h"

#include <QHash>
#include <QMimeDatabase>
#include <QMutex>

#include <sys/stat.h>

namespace FileItems {

QString iconNameFor(const QString& fileName, bool isDirectory) {
    // Keyed by what decides the type: the extension, or the whole name when there is none
    // (README, Makefile).
    static QMutex mutex;
    static QHash<QString, QString> iconByKey;
    const qsizetype dot = fileName.lastIndexOf(u'.');
    const QString key = isDirectory ? QStringLiteral("/")
                        : dot > 0   ? fileName.mid(dot).toLower()
                                    : fileName;
    QMutexLocker lock(&mutex);
    auto it = iconByKey.constFind(key);
    if (it == iconByKey.cend()) {
        const QMimeDatabase mimeDatabase;
        const QMimeType type =
            isDirectory ? mimeDatabase.mimeTypeForName("inode/directory")
                        : mimeDatabase.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
        it = iconByKey.insert(key, type.iconName());
    }
    return *it;
}

QList<FileItem> makeFileItems(const QList<QByteArray>& paths,
                              const std::optional<QSet<QString>>& requiredTagNames,
                              const QSet<QString>& excludedTagNames, const FileTagStore& store) {
    QSet<QString> required;
    QSet<QString> excluded;
    if (requiredTagNames) {
        for (const QString& name : *requiredTagNames) {
            required.insert(FileTagging::comparable(name));
        }
        for (const QString& name : excludedTagNames) {
            excluded.insert(FileTagging::comparable(name));
        }
    }
    QList<FileItem> items;
    items.reserve(paths.size());
    for (const QByteArray& path : paths) {
        const auto raw = path.isEmpty() ? std::nullopt : store.read(path);
        const QStringList tags = raw ? FileTagging::decodeNames(*raw) : QStringList();
        if (requiredTagNames) {
            QSet<QString> names;
            for (const QString& tag : tags) {
                names.insert(FileTagging::comparable(tag));
            }
            if (!names.contains(required) || names.intersects(excluded)) {
                continue;
            }
        }
        struct stat info {};
        const bool isDirectory =
            !path.isEmpty() && ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
        FileItem item = FileItem::make(path, isDirectory, tags, QString());
        item.iconName = iconNameFor(item.name, isDirectory);
        items.append(std::move(item));
    }
    sortByName(items);
    return items;
}

void sortByName(QList<FileItem>& items) {
    ::sortByName(items, [](const FileItem& item) -> const QString& { return item.name; });
}

}  // namespace FileItems
