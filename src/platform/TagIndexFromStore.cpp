// The tag index before and after its first crawl: answering from what the last run kept, and
// keeping what this run knows.
#include "platform/Log.h"
#include "platform/TagIndex.h"
#include "platform/TagIndexStore.h"
#include "platform/TagIndexTable.h"
#include "platform/TagNames.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>

namespace {

QList<QByteArray> sorted(QList<QByteArray> paths) {
    std::sort(paths.begin(), paths.end());
    return paths;
}

}  // namespace

void TagIndex::setRefreshedHandler(RefreshedHandler handler) {
    std::lock_guard lock(m_queueMutex);
    m_refreshedHandler = std::move(handler);
}

void TagIndex::openStore() {
    if (m_options.storePath.isEmpty()) {
        return;
    }
    QElapsedTimer timer;
    timer.start();
    std::shared_ptr<TagIndexStore::Reader> reader =
        TagIndexStore(m_options.storePath).open(m_options.roots);
    if (!reader) {
        return;
    }
    Log::line(QStringLiteral("tagIndex: the last run's index of %1 tagged files opened in %2 ms")
                  .arg(reader->fileCount())
                  .arg(timer.elapsed()));
    // Queries that came while the store was opened are asked now, the rest as they come.
    std::lock_guard lock(m_queueMutex);
    m_storeReader = std::move(reader);
    for (const PendingQuery& query : std::as_const(m_queries)) {
        answerFromStore(query);
    }
    for (const NamesCompletion& completion : std::as_const(m_nameQueries)) {
        answerNamesFromStore(completion);
    }
    m_queries.clear();
    m_nameQueries.clear();
}

bool TagIndex::answerFromStore(const PendingQuery& query) {
    if (!m_storeReader || m_ready) {
        return false;
    }
    m_storeLookups.start([this, query, reader = m_storeReader] {
        const auto paths = reader->pathsWithKey(TagNames::matchKey(query.name));
        {
            std::lock_guard lock(m_queueMutex);
            if (paths && m_storeReader == reader) {
                // Compared with the crawl's answer (and sorted for it) later, on the index's
                // thread.
                m_storedAnswers.insert(query.name, *paths);
                QMetaObject::invokeMethod(
                    this, [completion = query.completion, paths = *paths] { completion(paths); },
                    Qt::QueuedConnection);
                return;
            }
            closeStoreIfFailed(reader, paths.has_value());
            m_queries.append(query);  // the crawl answers it
        }
        wake();
    });
    return true;
}

bool TagIndex::answerNamesFromStore(const NamesCompletion& completion) {
    if (!m_storeReader || m_ready) {
        return false;
    }
    m_storeLookups.start([this, completion, reader = m_storeReader] {
        const auto names = reader->names();
        {
            std::lock_guard lock(m_queueMutex);
            if (names && m_storeReader == reader) {
                m_namesFromStore = true;
                QMetaObject::invokeMethod(
                    this, [completion, names = *names] { completion(names); },
                    Qt::QueuedConnection);
                return;
            }
            closeStoreIfFailed(reader, names.has_value());
            m_nameQueries.append(completion);
        }
        wake();
    });
    return true;
}

void TagIndex::closeStoreIfFailed(const std::shared_ptr<TagIndexStore::Reader>& reader, bool read) {
    if (!read && m_storeReader == reader) {
        // Damaged since it was opened: what it said so far is checked by the crawl as any
        // answer from it is.
        Log::line("tagIndex: the last run's index could not be read; answers wait for the crawl");
        m_storeReader.reset();
    }
}

void TagIndex::reportRefreshed() {
    QHash<QString, QList<QByteArray>> given;
    bool names = false;
    RefreshedHandler handler;
    {
        std::lock_guard lock(m_queueMutex);
        given.swap(m_storedAnswers);
        names = m_namesFromStore;
        handler = m_refreshedHandler;
        m_storeReader.reset();  // answered from the crawl from now on
    }
    if ((given.isEmpty() && !names) || !handler) {
        return;
    }
    QStringList changed;
    {
        std::lock_guard lock(m_tableMutex);
        for (auto it = given.cbegin(); it != given.cend(); ++it) {
            if (sorted(m_table->pathsWithTag(it.key())) != sorted(it.value())) {
                changed.append(it.key());
            }
        }
    }
    QMetaObject::invokeMethod(
        this, [handler, changed] { handler(changed); }, Qt::QueuedConnection);
}

void TagIndex::saveStore() {
    if (m_options.storePath.isEmpty() || !m_crawled) {
        return;
    }
    // Writes noted from here on may be missing from what is kept: they remove it again.
    const quint64 writes = m_writes;
    QList<TagIndexStore::Entry> entries;
    QStringList names;
    quint64 version = 0;
    {
        std::lock_guard lock(m_tableMutex);
        version = m_table->version();
        // Nothing changed since it was kept (a quit soon after the crawl): a quick quit.
        if (version == m_versionStored && writes == m_writesStored &&
            QFile::exists(m_options.storePath)) {
            return;
        }
        entries = m_table->taggedFiles();
        names = m_table->tagNames();
    }
    if (!TagIndexStore(m_options.storePath).save(m_options.roots, entries, names)) {
        Log::line("tagIndex: could not keep the index in " + m_options.storePath);
        return;
    }
    m_writesStored = writes;
    m_versionStored = version;
    if (m_writes != writes) {
        QFile::remove(m_options.storePath);
    }
}

void TagIndex::dropStore() {
    if (m_writes.fetch_add(1) == m_writesStored && !m_options.storePath.isEmpty()) {
        QFile::remove(m_options.storePath);
    }
}
