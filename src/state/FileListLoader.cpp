#include "state/FileListLoader.h"

#include "platform/TaggedFileQuery.h"
#include "services/FileItems.h"

#include <QElapsedTimer>
#include <QPointer>

namespace {

// A long list is checked (each file's tags read) in parts, the first small enough to fill the
// window soon even from a cold disk; the files checked so far are shown at most this often while
// the rest are read.
constexpr qsizetype kFirstFilesChecked = 32;
constexpr qsizetype kFilesPerCheck = 256;
// Reads of a cold disk overlap on several threads; a warm one is served by the processors.
constexpr int kCheckingThreads = 4;
constexpr qint64 kPartialListIntervalMs = 150;

}  // namespace

FileListLoader::FileListLoader(TaggedFileQuery& query, FileTagStore& store, Delivery deliver,
                               QObject* parent)
    : QObject(parent), m_query(query), m_store(store), m_deliver(std::move(deliver)) {
    m_pool.setMaxThreadCount(1);
}

FileListLoader::~FileListLoader() {
    stop();
}

void FileListLoader::stop() {
    m_stop = true;
    m_pool.waitForDone();
}

void FileListLoader::load(const QUuid& id, const QString& name, std::function<Filter()> filter) {
    const quint64 load = ++m_lastLoad;
    m_newestLoad.insert(id, load);
    QPointer<FileListLoader> self(this);
    m_query.queryFilesWithTag(name, [self, id, filter, load](const QList<QByteArray>& paths) {
        // A separate main-thread task, as results may arrive in the middle of other work.
        QMetaObject::invokeMethod(
            self.data(),
            [self, id, filter, paths, load] {
                if (self && self->isNewest(id, load)) {
                    self->check(id, paths, filter(), load);
                }
            },
            Qt::QueuedConnection);
    });
}

void FileListLoader::check(const QUuid& id, const QList<QByteArray>& paths, const Filter& filter,
                           quint64 load) {
    // Reading every file's tags is disk work: it runs on the list thread, and the result comes
    // back here in the order the queries completed. A long list shows its first files at once
    // and fills in as the rest are checked.
    QPointer<FileListLoader> self(this);
    m_pool.start([self, id, paths, filter, load, &store = m_store, &stop = m_stop] {
        const auto post = [&](QList<FileItem> files, bool complete) {
            QMetaObject::invokeMethod(
                self.data(),
                [self, id, files = std::move(files), load, complete]() mutable {
                    if (!self || !self->isNewest(id, load)) {
                        return;
                    }
                    if (complete) {
                        self->m_newestLoad.remove(id);
                    }
                    self->m_deliver(id, std::move(files), complete);
                },
                Qt::QueuedConnection);
        };
        QList<FileItem> files;
        QElapsedTimer sincePost;
        FileItems::makeFileItemsInParts(
            paths, filter.required, filter.excluded, store, kCheckingThreads, kFirstFilesChecked,
            kFilesPerCheck,
            [&](QList<FileItem> part) {
                files += std::move(part);
                if (files.size() < paths.size() &&
                    (!sincePost.isValid() || sincePost.elapsed() >= kPartialListIntervalMs)) {
                    QList<FileItem> sofar = files;
                    FileItems::sortByName(sofar);
                    post(std::move(sofar), false);
                    sincePost.start();
                }
            },
            [&] { return stop.load(); });
        if (!stop) {
            FileItems::sortByName(files);
            post(std::move(files), true);
        }
    });
}
