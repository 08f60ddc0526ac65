#pragma once

#include "platform/TagIndexStore.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>

#include <optional>
#include <vector>

// The tag index's memory: the crawled folders (for paths and watches) and the files that carry
// tags, keyed by every form of tag name a query can match. Untagged files are not kept. Not
// thread-safe: the owner locks.
class TagIndexTable {
public:
    static constexpr int kNone = -1;

    int addRoot(const QByteArray& path);
    int addFolder(int parent, const QByteArray& name);
    std::optional<int> subfolder(int parent, const QByteArray& name) const;
    void removeFolder(int folder, QList<int>* watchesDropped = nullptr);
    void moveFolder(int folder, int newParent, const QByteArray& newName);
    // Removed folders' ids are not handed out again until this is called, so that an id the
    // owner still holds (for a folder moved or missed meanwhile) cannot come to mean another.
    void recycleRemovedFolders();
    QByteArray folderPath(int folder) const;
    bool isFolderAlive(int folder) const;
    QList<int> roots() const { return m_roots; }

    void setWatch(int folder, int watch);
    std::optional<int> folderForWatch(int watch) const;

    // An empty list forgets the file. `value` is the attribute's bytes and `inode` the file's,
    // kept so that a file another program replaces can be given them back; both are kept from
    // before when not given.
    void setFileTags(int folder, const QByteArray& name, const QStringList& tags,
                     const QByteArray& value = QByteArray(), quint64 inode = 0);
    QByteArray fileValue(int folder, const QByteArray& name) const;
    quint64 fileInode(int folder, const QByteArray& name) const;
    QList<QByteArray> taggedFileNames(int folder) const;
    QList<int> subfolders(int folder) const;

    // Files outside the crawled folders, kept by their full path.
    void setOutsideFileTags(const QByteArray& path, const QStringList& tags);
    void reserveOutsideFiles(qsizetype count);
    QList<QByteArray> outsideFiles() const { return m_outsideFiles.keys(); }
    bool hasOutsideFiles() const { return !m_outsideFiles.isEmpty(); }

    // The folder holding `path` when it was crawled (its parent chain is in the table).
    std::optional<int> folderForPath(const QByteArray& path) const;

    // Every tagged file by its full path, with the match keys of its names.
    QList<TagIndexStore::Entry> taggedFiles() const;

    // Every name some file carries, in the first spelling seen.
    QStringList tagNames() const;

    // Raw paths of files that carry `name`, compared case-insensitively, bare or followed by a
    // line feed and more (a colour suffix).
    QList<QByteArray> pathsWithTag(const QString& name) const;

    qsizetype folderCount() const {
        return static_cast<qsizetype>(m_folders.size()) - m_freeFolders.size() -
               m_retiredFolders.size();
    }
    qsizetype watchedFolderCount() const { return m_folderByWatch.size(); }
    qsizetype taggedFileCount() const { return m_files.size() - m_freeFiles.size(); }
    void clear();
    // Grows with every change: tells whether the table is still what was stored.
    quint64 version() const { return m_version; }

    // Every match key a query finds a file carrying these names by.
    static QStringList keysFor(const QStringList& tags);

private:
    const QByteArray& cachedFolderPath(int folder) const;
    struct Folder {
        int parent = kNone;
        QByteArray name;  // a root's is its full path
        int watch = -1;
        bool alive = true;
        std::vector<int> subfolders;
        std::vector<int> files;  // tagged files only
    };
    struct TaggedFile {
        int folder = kNone;  // kNone: `name` is a full path outside the crawled folders
        QByteArray name;
        QStringList keys;  // empty: a free slot
        QByteArray value;
        quint64 inode = 0;  // 0: not known
    };

    QByteArray fullPath(const TaggedFile& file) const;
    int storeFile(int folder, const QByteArray& name, const QStringList& tags, int existing,
                  const QByteArray& value = QByteArray(), quint64 inode = 0);
    void dropFile(int file);
    // The match keys of the names, each name's made once and shared by every file that
    // carries it; a name's first spelling is noted as it is first seen.
    QStringList keysOf(const QStringList& tags);

    std::vector<Folder> m_folders;
    QList<int> m_freeFolders;
    QList<int> m_retiredFolders;
    QList<int> m_roots;
    QList<TaggedFile> m_files;
    QList<int> m_freeFiles;
    QHash<QString, QSet<int>> m_filesByKey;
    // Never emptied: a home holds few names, however many files carry them.
    QHash<QString, QStringList> m_keysOfName;
    QHash<int, int> m_folderByWatch;
    QHash<QByteArray, int> m_outsideFiles;
    // One table for all folders: a hash per folder would cost more than the folder itself.
    QHash<std::pair<int, QByteArray>, int> m_fileByName;
    // Match key of a bare name (no colour suffix) -> its first spelling seen; names seen once
    // spelled exactly so are not folded again.
    QHash<QString, QString> m_spellings;
    QSet<QString> m_spelled;
    quint64 m_version = 0;
    // Full paths of folders asked for by queries; emptied whenever a folder moves or goes.
    mutable QHash<int, QByteArray> m_pathCache;
};
