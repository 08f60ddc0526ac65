// The tag index following the folders' changes: the inotify events read and applied, folders
// moved during the crawl walked again where they are now, and another program's save noticed.
#include "platform/LongPaths.h"
#include "platform/TagIndex.h"
#include "platform/TagIndexCrawler.h"
#include "platform/TagIndexTable.h"
#include "platform/XattrTagStore.h"

#include <malloc.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

void TagIndex::drainEvents() {
    alignas(inotify_event) char buffer[65536];
    bool overflow = false;
    for (;;) {
        const ssize_t length = read(m_inotifyFd, buffer, sizeof buffer);
        if (length <= 0) {
            break;
        }
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                overflow = true;
            } else if (!overflow) {
                handleEvent(*event);
            }
        }
    }
    m_replaceGuard.expire();
    {
        // A folder moved out of the watched trees never saw its matching arrival.
        std::lock_guard lock(m_tableMutex);
        for (const int folder : std::as_const(m_movedFolders)) {
            QList<int> watches;
            m_table->removeFolder(folder, &watches);
            for (const int watch : watches) {
                inotify_rm_watch(m_inotifyFd, watch);
            }
        }
        m_movedFolders.clear();
    }
    if (overflow) {
        // Events were lost: only a fresh crawl can tell what changed.
        crawlEverything();
        malloc_trim(0);
    }
}

void TagIndex::catchUp() {
    // A folder renamed or moved while being crawled was missed at its old path; the events
    // queued meanwhile put it at its new place, where it is walked now. Each walk can miss
    // more, so this repeats a few rounds.
    constexpr int kRounds = 8;
    for (int round = 0; round < kRounds && !m_stop; ++round) {
        drainEvents();
        QList<std::pair<int, QByteArray>> starts;
        QList<std::pair<int, QByteArray>> stale;
        {
            std::lock_guard lock(m_tableMutex);
            for (const int folder : std::exchange(m_stale, {})) {
                if (m_table->isFolderAlive(folder)) {
                    stale.append({folder, m_table->folderPath(folder)});
                }
            }
            for (const int folder : std::exchange(m_missed, {})) {
                if (m_table->isFolderAlive(folder)) {
                    starts.append({folder, m_table->folderPath(folder)});
                }
            }
            // A folder seen at a second place is a bind mount while its first place still
            // holds it; otherwise it was moved during the crawl and is walked where it is now.
            for (auto it = m_seenTwice.begin(); it != m_seenTwice.end();) {
                const SeenBefore& first = it.value();
                if (!m_table->isFolderAlive(it.key())) {
                    it = m_seenTwice.erase(it);
                    continue;
                }
                struct stat info {};
                const QByteArray firstPath =
                    m_table->isFolderAlive(first.folder) ? m_table->folderPath(first.folder) : "";
                const bool found = !firstPath.isEmpty() && stat(firstPath.constData(), &info) == 0;
                if (found && info.st_dev == first.device && info.st_ino == first.inode) {
                    // Its first place holds it: a bind mount when its second place does too,
                    // else the second is stale and what is there now is listed instead.
                    const QByteArray secondPath = m_table->folderPath(it.key());
                    struct stat second {};
                    if (stat(secondPath.constData(), &second) != 0 ||
                        second.st_dev != first.device || second.st_ino != first.inode) {
                        const QByteArray parent = secondPath.left(secondPath.lastIndexOf('/'));
                        m_table->removeFolder(it.key());
                        if (const auto above = m_table->folderForPath(parent)) {
                            stale.append({*above, parent});
                        }
                        it = m_seenTwice.erase(it);
                        continue;
                    }
                    ++it;
                    continue;
                }
                if (!firstPath.isEmpty() && !found) {
                    // The table still has it at a place that is gone: what is there is listed.
                    const QByteArray parent = firstPath.left(firstPath.lastIndexOf('/'));
                    m_table->removeFolder(first.folder);
                    if (const auto above = m_table->folderForPath(parent)) {
                        stale.append({*above, parent});
                    }
                }
                starts.append({it.key(), m_table->folderPath(it.key())});
                it = m_seenTwice.erase(it);
            }
        }
        if (starts.isEmpty() && stale.isEmpty()) {
            std::lock_guard lock(m_tableMutex);
            m_table->recycleRemovedFolders();
            return;
        }
        for (const auto& [folder, path] : std::as_const(stale)) {
            resyncFolder(folder, path);
        }
        crawlFrom(starts);
    }
    // Still not where the table says, as folders keep moving. Their parents' events tell where
    // they went: they are looked for again at the next catch-up, which comes before any answer.
    // Past the watch limit no event may ever tell, and the rounds look at them instead.
    std::lock_guard lock(m_tableMutex);
    if (m_watchLimitLogged) {
        m_unwatched.unite(m_missed).unite(m_stale);
        m_missed.clear();
        m_stale.clear();
        m_seenTwice.clear();
    }
    m_table->recycleRemovedFolders();
}

void TagIndex::handleEvent(const inotify_event& event) {
    std::unique_lock lock(m_tableMutex);
    const auto folder = m_table->folderForWatch(event.wd);
    if (!folder) {
        return;
    }
    if (event.mask & IN_IGNORED) {
        m_table->removeFolder(*folder);
        return;
    }
    if (event.len == 0 || event.name[0] == '.') {
        return;  // events on the folder itself also reach its parent's watch
    }
    const QByteArray name(event.name);
    const QByteArray folderPath = m_table->folderPath(*folder);
    const QByteArray path = folderPath + (folderPath.endsWith('/') ? "" : "/") + name;
    const uint32_t mask = event.mask;

    if (mask & (IN_DELETE | IN_MOVED_FROM)) {
        if (const QByteArray gone = m_table->fileValue(*folder, name);
            !gone.isEmpty() && !(mask & IN_ISDIR)) {
            m_replaceGuard.gone(path, gone);
        }
        m_table->setFileTags(*folder, name, {});
        if (const auto sub = m_table->subfolder(*folder, name); sub && (mask & IN_ISDIR)) {
            if (mask & IN_MOVED_FROM) {
                m_movedFolders.insert(event.cookie, *sub);
            } else {
                m_table->removeFolder(*sub);
            }
        }
        return;
    }
    lock.unlock();
    struct stat info {};
    const bool found = lstat(LongPaths::Path(path).get(), &info) == 0;
    const auto value = XattrTagStore::readAttribute(path, false);
    const int error = errno;
    lock.lock();
    if (!m_table->isFolderAlive(*folder)) {
        return;
    }
    if (!value && (error == ENOENT || error == ENOTDIR)) {
        // Gone already, or the folder moved after this event: the queued events say where
        // it is now, and the folder is listed again once they are applied.
        m_stale.insert(*folder);
        return;
    }
    if (value && found && !(mask & IN_ISDIR) && info.st_ino == m_table->fileInode(*folder, name) &&
        *value == m_table->fileValue(*folder, name)) {
        return;  // as known: mostly the event of a write of the application's own, noted
    }
    const QStringList tags = TagIndexCrawler::decodeTags(value.value_or(QByteArray()));
    if (tags.isEmpty() && found && S_ISREG(info.st_mode)) {
        // Another file in a tagged file's place: made there, moved there, or found there by an
        // event of the file it replaced (read after the replacement). The same file, known, has
        // had its tags taken off on purpose.
        const quint64 known = m_table->fileInode(*folder, name);
        if ((mask & (IN_CREATE | IN_MOVED_TO)) || (known != 0 && known != info.st_ino)) {
            keepTagsOfReplacedFile(*folder, name, path);
        } else if (known != 0) {
            m_replaceGuard.forget(path);
        }
    }
    m_table->setFileTags(*folder, name, tags, value.value_or(QByteArray()),
                         found ? info.st_ino : 0);
    if (!(mask & IN_ISDIR) || !(mask & (IN_CREATE | IN_MOVED_TO))) {
        return;
    }
    if (const auto moved = m_movedFolders.find(event.cookie);
        (mask & IN_MOVED_TO) && moved != m_movedFolders.end()) {
        m_table->moveFolder(*moved, *folder, name);
        m_movedFolders.erase(moved);
        return;
    }
    if (m_table->subfolder(*folder, name)) {
        return;
    }
    const int sub = m_table->addFolder(*folder, name);
    lock.unlock();
    crawlFrom({{sub, path}});
}

void TagIndex::keepTagsOfReplacedFile(int folder, const QByteArray& name, const QByteArray& path) {
    const QByteArray lost = m_replaceGuard.replaced(path, m_table->fileValue(folder, name));
    std::lock_guard lock(m_queueMutex);
    if (!lost.isEmpty() && m_replacedHandler) {
        QMetaObject::invokeMethod(
            this, [handler = m_replacedHandler, path, lost] { handler(path, lost); },
            Qt::QueuedConnection);
    }
}
