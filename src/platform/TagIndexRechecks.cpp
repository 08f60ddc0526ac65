// The tag index looking again where no event tells it of changes: the folders past the watch
// limit, in rounds, or all of them before an answer that must be complete; the files tagged
// outside the indexed folders before every answer.
#include "platform/TagIndex.h"
#include "platform/TagIndexCrawler.h"
#include "platform/TagIndexTable.h"

#include <cerrno>

void TagIndex::recheckRound() {
    QList<int> folders;
    QList<QByteArray> paths;
    {
        std::lock_guard lock(m_tableMutex);
        for (const int folder : m_rounds.take(steadyNow(), m_unwatched)) {
            if (m_table->isFolderAlive(folder)) {
                folders.append(folder);
                paths.append(m_table->folderPath(folder));
            }
        }
    }
    for (qsizetype i = 0; i < folders.size() && !m_stop; ++i) {
        // Between folders, a query goes first: a round takes a second or more.
        if (i > 0 && answersWaiting()) {
            m_rounds.giveBack(folders.mid(i), steadyNow());
            return;
        }
        resyncFolder(folders[i], paths[i]);
    }
}

bool TagIndex::answersWaiting() {
    std::lock_guard lock(m_queueMutex);
    return !m_queries.isEmpty() || !m_notes.isEmpty() || !m_nameQueries.isEmpty() ||
           !m_completeQueries.isEmpty();
}

void TagIndex::recheckEverything() {
    QList<std::pair<int, QByteArray>> folders;
    {
        std::lock_guard lock(m_tableMutex);
        for (const int folder : std::as_const(m_unwatched)) {
            if (m_table->isFolderAlive(folder)) {
                folders.append({folder, m_table->folderPath(folder)});
            }
        }
    }
    for (const auto& [folder, path] : folders) {
        if (m_stop) {
            return;
        }
        resyncFolder(folder, path);
    }
    catchUp();
}

void TagIndex::resyncFolder(int folder, const QByteArray& path) {
    const TagIndexCrawler::Listing listing = TagIndexCrawler::list(path, &m_stop);
    QList<std::pair<int, QByteArray>> added;
    std::unique_lock lock(m_tableMutex);
    if (!m_table->isFolderAlive(folder)) {
        return;
    }
    if (!listing.ok && listing.error == EINTR) {
        return;  // a quit: the folder is as it was
    }
    if (!listing.ok) {
        if (listing.error == ENOENT || listing.error == ENOTDIR) {
            m_stale.insert(folder);  // moved again: its events tell where to
        } else {
            m_table->removeFolder(folder);
        }
        return;
    }
    QSet<QByteArray> present;
    for (const TagIndexCrawler::Entry& file : listing.taggedFiles) {
        present.insert(file.name);
        m_table->setFileTags(folder, file.name, file.tags, file.value, file.inode);
    }
    QSet<QByteArray> folderNames;
    for (const TagIndexCrawler::Entry& sub : listing.folders) {
        present.insert(sub.name);
        folderNames.insert(sub.name);
        m_table->setFileTags(folder, sub.name, sub.tags, sub.value, sub.inode);
        if (!m_table->subfolder(folder, sub.name)) {
            const QByteArray subPath = path + (path.endsWith('/') ? "" : "/") + sub.name;
            added.append({m_table->addFolder(folder, sub.name), subPath});
        }
    }
    for (const QByteArray& name : m_table->taggedFileNames(folder)) {
        if (!present.contains(name)) {
            m_table->setFileTags(folder, name, {});
        }
    }
    for (const int sub : m_table->subfolders(folder)) {
        const QByteArray subPath = m_table->folderPath(sub);
        if (!folderNames.contains(subPath.mid(subPath.lastIndexOf('/') + 1))) {
            m_table->removeFolder(sub);
        }
    }
    if (!added.isEmpty()) {
        lock.unlock();
        crawlFrom(added);
    }
}

void TagIndex::recheckOutsideFiles() {
    QList<QByteArray> paths;
    {
        std::lock_guard lock(m_tableMutex);
        paths = m_table->outsideFiles();
    }
    for (const QByteArray& path : paths) {
        const QStringList tags = TagIndexCrawler::readTags(path);
        std::lock_guard lock(m_tableMutex);
        m_table->setOutsideFileTags(path, tags);
    }
}
