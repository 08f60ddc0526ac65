#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>

#include <atomic>
#include <map>
#include <mutex>
#include <utility>

class TagIndexTable;

struct SeenBefore {
    int folder = -1;  // ids are reused: valid only while that folder is still this one
    quint64 device = 0;
    quint64 inode = 0;
};

// Walks folder trees into the tag index on several threads: one getdents64 listing per folder
// and one lgetxattr per entry. Hidden entries are skipped, symbolic links never followed, a
// folder reached twice in one run (bind mounts) is walked once, and unreadable or vanishing entries
// are passed over.
class TagIndexCrawler {
public:
    struct Shared {
        TagIndexTable& table;
        std::mutex& mutex;     // guards the table and the set below
        QSet<int>& unwatched;  // folders that got no inotify watch
        QSet<int>& missed;     // folders gone from their path (renamed or moved meanwhile)
        // Folders found again at a second place, with the folder first walked there: a bind
        // mount, or a folder moved during the crawl whose first place is gone.
        QHash<int, SeenBefore>& seenTwice;
        int inotifyFd = -1;
        const std::atomic_bool& stop;
        std::atomic_int& watchesLeft;  // below zero: as many as the kernel gives
    };

    explicit TagIndexCrawler(Shared shared) : m_shared(shared) {}

    // Walks each (folder id, path) start; returns when all are done or stop is set.
    void run(const QList<std::pair<int, QByteArray>>& starts, int threadCount);

    // True once a watch was refused for lack of watches (the kernel's limit).
    bool hitWatchLimit() const { return m_watchLimit; }

    struct Entry {
        QByteArray name;
        QStringList tags;
        QByteArray value;
        quint64 inode = 0;
    };
    struct Listing {
        bool ok = false;
        int error = 0;  // errno when not ok
        quint64 device = 0;
        quint64 inode = 0;
        QList<Entry> folders;      // every visible subfolder, with its own tags
        QList<Entry> taggedFiles;  // regular files that carry tags
    };
    // One folder's visible entries. Safe on any thread. A folder of many thousand entries takes
    // seconds on a loaded machine: `stop` ends the listing early (not ok, error EINTR).
    static Listing list(const QByteArray& path, const std::atomic_bool* stop = nullptr);

    static QStringList readTags(const QByteArray& path);
    static QStringList decodeTags(const QByteArray& value);
    static uint32_t watchMask();

private:
    void walk(int folder, const QByteArray& path, QList<std::pair<int, QByteArray>>& found);

    Shared m_shared;
    std::map<std::pair<quint64, quint64>, int> m_visited;  // device and inode -> folder
    std::atomic_bool m_watchLimit = false;
};
