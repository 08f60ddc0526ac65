#include "services/FileItems.h"

#include "model/NameOrder.h"
#include "platform/FilePaths.h"
#include "platform/FileTagStore.h"
#include "platform/LongPaths.h"
#include "platform/TagNames.h"
#include "platform/TagPaths.h"
#include "services/FileTagging.h"

#include <QHash>
#include <QMimeDatabase>
#include <QMutex>

#include <sys/stat.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

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

namespace {

// The items in the order of `paths`: a list checked in parts is sorted once, when it is whole.
QList<FileItem> readFileItems(const QList<QByteArray>& paths,
                              const std::optional<QSet<QString>>& requiredTagNames,
                              const QSet<QString>& excludedTagNames, const FileTagStore& store) {
    QSet<QString> required;
    QSet<QString> excluded;
    if (requiredTagNames) {
        for (const QString& name : *requiredTagNames) {
            required.insert(TagNames::exactKey(name));
        }
        for (const QString& name : excludedTagNames) {
            excluded.insert(TagNames::exactKey(name));
        }
    }
    QList<FileItem> items;
    items.reserve(paths.size());
    for (const QByteArray& path : paths) {
        const auto raw = path.isEmpty() ? std::nullopt : store.read(path);
        const QStringList tags = raw ? FileTagging::decodeNames(*raw) : QStringList();
        if (requiredTagNames) {
            QSet<QString> names;
            for (const QString& tag : TagPaths::meanings(tags)) {
                names.insert(TagNames::exactKey(tag));
            }
            if (!names.contains(required) || names.intersects(excluded)) {
                continue;
            }
        }
        struct stat info {};
        const bool isDirectory = !path.isEmpty() &&
                                 ::stat(LongPaths::Path(path).get(), &info) == 0 &&
                                 S_ISDIR(info.st_mode);
        FileItem item = FileItem::make(path, isDirectory, tags, QString());
        item.iconName = iconNameFor(item.name, isDirectory);
        items.append(std::move(item));
    }
    return items;
}

}  // namespace

QList<FileItem> makeFileItems(const QList<QByteArray>& paths,
                              const std::optional<QSet<QString>>& requiredTagNames,
                              const QSet<QString>& excludedTagNames, const FileTagStore& store) {
    QList<FileItem> items = readFileItems(paths, requiredTagNames, excludedTagNames, store);
    sortByName(items);
    return items;
}

void makeFileItemsInParts(const QList<QByteArray>& paths,
                          const std::optional<QSet<QString>>& requiredTagNames,
                          const QSet<QString>& excludedTagNames, const FileTagStore& store,
                          int threads, qsizetype firstPartSize, qsizetype partSize,
                          const std::function<void(QList<FileItem>)>& part,
                          const std::function<bool()>& stop) {
    if (paths.size() <= firstPartSize) {
        // Most tags: one part, read here without starting a thread.
        if (!stop()) {
            part(readFileItems(paths, requiredTagNames, excludedTagNames, store));
        }
        return;
    }
    const qsizetype parts = 1 + (paths.size() - firstPartSize + partSize - 1) / partSize;
    const auto partPaths = [&](qsizetype index) {
        return index == 0 ? paths.first(firstPartSize)
                          : paths.mid(firstPartSize + (index - 1) * partSize, partSize);
    };
    std::atomic<qsizetype> next = 0;
    std::atomic_bool stopping = false;
    std::mutex mutex;
    std::condition_variable changed;
    QList<QList<FileItem>> finished;
    const auto work = [&] {
        for (qsizetype index; (index = next.fetch_add(1)) < parts;) {
            QList<FileItem> items;
            if (!stopping) {
                items = readFileItems(partPaths(index), requiredTagNames, excludedTagNames, store);
            }
            std::lock_guard lock(mutex);
            finished.append(std::move(items));
            changed.notify_one();
        }
    };
    std::vector<std::thread> workers;
    for (int i = 0; i < std::min<qsizetype>(threads, parts); ++i) {
        workers.emplace_back(work);
    }
    for (qsizetype delivered = 0; delivered < parts;) {
        QList<QList<FileItem>> ready;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return !finished.isEmpty(); });
            ready.swap(finished);
        }
        for (QList<FileItem>& items : ready) {
            ++delivered;
            if (!stopping && stop()) {
                stopping = true;
            }
            if (!stopping) {
                part(std::move(items));
            }
        }
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
}

void sortByName(QList<FileItem>& items) {
    ::sortByName(items, [](const FileItem& item) -> const QString& { return item.name; });
}

}  // namespace FileItems
