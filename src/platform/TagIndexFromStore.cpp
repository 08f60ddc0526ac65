// The tag index before and after its first crawl: answering from what the last run kept, and
// keeping what this run knows.
#include "platform/Log.h"
#include "platform/TagIndex.h"
#include "platform/TagIndexStore.h"
#include "platform/TagIndexTable.h"

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

void TagIndex::loadStore() {
    if (m_options.storePath.isEmpty()) {
        return;
    }
    QElapsedTimer timer;
    timer.start();
    const auto entries = TagIndexStore(m_options.storePath).load(m_options.roots);
    if (!entries) {
        return;
    }
    auto stored = std::make_unique<TagIndexTable>();
    stored->reserveOutsideFiles(entries->size());
    for (const TagIndexStore::Entry& entry : *entries) {
        stored->setOutsideFileTags(entry.path, entry.tags);
    }
    Log::line(QStringLiteral("tagIndex: %1 tagged files from the last run read in %2 ms")
                  .arg(entries->size())
                  .arg(timer.elapsed()));
    // Queries that came while the store was read are answered now, the rest as they come.
    std::lock_guard lock(m_queueMutex);
    m_stored = std::move(stored);
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
    if (!m_stored || m_ready) {
        return false;
    }
    // Asked on the user interface thread: compared with the crawl's answer (and sorted for it)
    // later, on the index's.
    const QList<QByteArray> paths = m_stored->pathsWithTag(query.name);
    m_storedAnswers.insert(query.name, paths);
    QMetaObject::invokeMethod(
        this, [completion = query.completion, paths] { completion(paths); }, Qt::QueuedConnection);
    return true;
}

bool TagIndex::answerNamesFromStore(const NamesCompletion& completion) {
    if (!m_stored || m_ready) {
        return false;
    }
    m_namesFromStore = true;
    QMetaObject::invokeMethod(
        this, [completion, names = m_stored->tagNames()] { completion(names); },
        Qt::QueuedConnection);
    return true;
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
        m_stored.reset();  // answered from the crawl from now on
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
    {
        std::lock_guard lock(m_tableMutex);
        for (auto& [path, tags] : m_table->taggedFiles()) {
            entries.append({std::move(path), std::move(tags)});
        }
    }
    if (!TagIndexStore(m_options.storePath).save(m_options.roots, entries)) {
        Log::line("tagIndex: could not keep the index in " + m_options.storePath);
        return;
    }
    m_writesStored = writes;
    if (m_writes != writes) {
        QFile::remove(m_options.storePath);
    }
}

void TagIndex::dropStore() {
    if (m_writes.fetch_add(1) == m_writesStored && !m_options.storePath.isEmpty()) {
        QFile::remove(m_options.storePath);
    }
}
