#include "platform/TagIndexCrawler.h"

#include "platform/Log.h"
#include "platform/LongPaths.h"
#include "platform/TagIndexTable.h"
#include "platform/TagValueCodec.h"
#include "platform/XattrTagStore.h"

#include <condition_variable>
#include <deque>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>

uint32_t TagIndexCrawler::watchMask() {
    return IN_ATTRIB | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
           IN_CLOSE_WRITE | IN_ONLYDIR | IN_DONT_FOLLOW | IN_EXCL_UNLINK;
}

QStringList TagIndexCrawler::readTags(const QByteArray& path) {
    return decodeTags(XattrTagStore::readAttribute(path, false).value_or(QByteArray()));
}

QStringList TagIndexCrawler::decodeTags(const QByteArray& value) {
    QStringList tags;
    for (const QByteArray& name : TagValueCodec::decode(value)) {
        tags.append(QString::fromUtf8(name));
    }
    return tags;
}

namespace {

constexpr int kCrawlNiceness = 10;  // as `nice` gives a background job

// getxattrat(2) reads an attribute by a name relative to an open folder, sparing the kernel
// a walk of the whole path for every entry. Older kernels lack it; the path walk is used there.
struct XattrArgs {
    quint64 value;
    quint32 size;
    quint32 flags;
};
constexpr long kGetxattratSyscall = 464;
std::atomic_bool g_getxattratMissing = false;

// Whether the path-based call reads this entry where getxattrat was refused: then the refusal
// is the sandbox's, not the file's.
bool pathCallWorks(int folderFd, const char* name) {
    const QByteArray path =
        QByteArray("/proc/self/fd/") + QByteArray::number(folderFd) + '/' + name;
    return lgetxattr(path.constData(), "user.xdg.tags", nullptr, 0) >= 0 || errno != EPERM;
}

// The tag value of one entry, or an empty array when it has none (or cannot be read).
QByteArray readTagValueAt(int folderFd, const char* name, QByteArray& fullPath, qsizetype base) {
    char buffer[1024];
    if (!g_getxattratMissing) {
        XattrArgs args{reinterpret_cast<quint64>(buffer), sizeof buffer, 0};
        const long length = syscall(kGetxattratSyscall, folderFd, name, AT_SYMLINK_NOFOLLOW,
                                    "user.xdg.tags", &args, sizeof args);
        if (length >= 0) {
            return QByteArray(buffer, length);
        }
        if (errno == ENOSYS || (errno == EPERM && pathCallWorks(folderFd, name))) {
            // An old kernel, or a sandbox that refuses calls it does not know: decided once.
            if (!g_getxattratMissing.exchange(true)) {
                Log::line(QStringLiteral("tagIndex: getxattrat unavailable (%1); reading tags "
                                         "by path")
                              .arg(errno == ENOSYS ? "ENOSYS" : "EPERM"));
            }
        } else if (errno != ERANGE) {
            return QByteArray();
        }
    }
    fullPath.truncate(base);
    fullPath += name;
    return XattrTagStore::readAttribute(fullPath, false).value_or(QByteArray());
}

}  // namespace

TagIndexCrawler::Listing TagIndexCrawler::list(const QByteArray& path,
                                               const std::atomic_bool* stop) {
    Listing listing;
    const int fd = LongPaths::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        listing.error = errno;
        return listing;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        listing.error = errno;
        close(fd);
        return listing;
    }
    listing.ok = true;
    listing.device = info.st_dev;
    listing.inode = info.st_ino;

    alignas(8) char buffer[32768];
    QByteArray entryPath = path;
    if (!entryPath.endsWith('/')) {
        entryPath += '/';
    }
    const qsizetype base = entryPath.size();
    for (;;) {
        const ssize_t count = getdents64(fd, buffer, sizeof buffer);
        if (count <= 0) {
            break;
        }
        if (stop && *stop) {
            listing.ok = false;
            listing.error = EINTR;
            break;
        }
        for (ssize_t offset = 0; offset < count;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + offset);
            offset += entry->d_reclen;
            const char* name = entry->d_name;
            if (name[0] == '.') {
                continue;  // ".", ".." and hidden entries
            }
            unsigned char type = entry->d_type;
            if (type == DT_UNKNOWN) {
                struct stat entryInfo {};
                if (fstatat(fd, name, &entryInfo, AT_SYMLINK_NOFOLLOW) != 0) {
                    continue;
                }
                type = S_ISDIR(entryInfo.st_mode)   ? DT_DIR
                       : S_ISREG(entryInfo.st_mode) ? DT_REG
                                                    : DT_UNKNOWN;
            }
            if (type != DT_DIR && type != DT_REG) {
                continue;
            }
            const QByteArray value = readTagValueAt(fd, name, entryPath, base);
            if (type == DT_DIR) {
                listing.folders.append(
                    {QByteArray(name), TagIndexCrawler::decodeTags(value), value, entry->d_ino});
            } else if (!value.isEmpty()) {
                QStringList tags = TagIndexCrawler::decodeTags(value);
                if (!tags.isEmpty()) {
                    listing.taggedFiles.append(
                        {QByteArray(name), std::move(tags), value, entry->d_ino});
                }
            }
        }
    }
    close(fd);
    return listing;
}

void TagIndexCrawler::walk(int folder, const QByteArray& path,
                           QList<std::pair<int, QByteArray>>& found) {
    int watch = -1;
    if (m_shared.inotifyFd >= 0) {
        if (m_shared.watchesLeft.fetch_sub(1) == 0) {
            m_shared.watchesLeft = 0;
            m_watchLimit = true;
        } else {
            // A folder too deep for a path is watched through its opened parent.
            watch = inotify_add_watch(m_shared.inotifyFd, LongPaths::Path(path).get(), watchMask());
            if (watch < 0 && errno == ENOSPC) {
                m_watchLimit = true;
            }
        }
    }
    const Listing listing = list(path, &m_shared.stop);

    std::lock_guard lock(m_shared.mutex);
    if (!m_shared.table.isFolderAlive(folder)) {
        return;
    }
    if (!listing.ok && (listing.error == ENOENT || listing.error == ENOTDIR)) {
        // Renamed or moved since its parent was listed: the owner finds its new place from the
        // parent's events and walks it there.
        m_shared.missed.insert(folder);
        return;
    }
    if (!listing.ok) {
        return;
    }
    // The same folder at a second place: in this walk (by device and inode) or in an earlier
    // one (the kernel hands out one watch per folder).
    int firstPlace = watch >= 0 ? m_shared.table.folderForWatch(watch).value_or(folder) : folder;
    if (const auto [seen, fresh] = m_visited.insert({{listing.device, listing.inode}, folder});
        !fresh) {
        firstPlace = seen->second;
    }
    if (firstPlace != folder) {
        m_shared.seenTwice.insert(folder, {firstPlace, listing.device, listing.inode});
        return;
    }
    m_shared.table.setWatch(folder, watch);
    if (watch < 0) {
        m_shared.unwatched.insert(folder);
    }
    for (const Entry& file : listing.taggedFiles) {
        m_shared.table.setFileTags(folder, file.name, file.tags, file.value, file.inode);
    }
    const QByteArray prefix = path.endsWith('/') ? path : path + '/';
    for (const Entry& sub : listing.folders) {
        if (!sub.tags.isEmpty()) {
            m_shared.table.setFileTags(folder, sub.name, sub.tags, sub.value, sub.inode);
        }
        const auto existing = m_shared.table.subfolder(folder, sub.name);
        const int child = existing ? *existing : m_shared.table.addFolder(folder, sub.name);
        found.append({child, prefix + sub.name});
    }
}

void TagIndexCrawler::run(const QList<std::pair<int, QByteArray>>& starts, int threadCount) {
    std::mutex queueMutex;
    std::condition_variable wake;
    std::deque<std::pair<int, QByteArray>> queue(starts.begin(), starts.end());
    int busy = 0;

    auto worker = [&] {
        QList<std::pair<int, QByteArray>> found;
        std::unique_lock lock(queueMutex);
        for (;;) {
            wake.wait(lock, [&] { return !queue.empty() || busy == 0 || m_shared.stop; });
            if (m_shared.stop || (queue.empty() && busy == 0)) {
                wake.notify_all();
                return;
            }
            // Depth first: the newest folder is the nearest on disk and in the cache.
            auto [folder, path] = std::move(queue.back());
            queue.pop_back();
            ++busy;
            lock.unlock();
            found.clear();
            walk(folder, path, found);
            lock.lock();
            --busy;
            for (auto& next : found) {
                queue.push_back(std::move(next));
            }
            wake.notify_all();
        }
    };
    // Background work, as the desktop's indexers run it: the window (and any other program the
    // user is waiting for) goes first when the processors are busy. Threads of their own, so the
    // index's thread keeps its priority for answering.
    std::vector<std::thread> threads;
    for (int i = 0; i < threadCount; ++i) {
        threads.emplace_back([&worker] {
            setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kCrawlNiceness);
            worker();
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
}
