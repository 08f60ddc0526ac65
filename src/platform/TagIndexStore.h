#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

struct sqlite3;

// What the tag index knew at the end of the last run, in an SQLite database in the cache
// folder: every tagged file with its names, each folder's path once, and an index from every
// match key a query can use to the files. Asked at start, one name at a time, so that queries
// are answered before the crawl has walked the disk without reading the whole file first. A
// cache: a damaged, foreign, older or other-rooted file is ignored and written afresh, never
// trusted.
class TagIndexStore {
public:
    struct Entry {
        QByteArray path;
        QStringList keys;  // the match keys a query finds the file by
    };

    // An opened store. One thread at a time asks it.
    class Reader {
    public:
        ~Reader();
        Reader(const Reader&) = delete;
        Reader& operator=(const Reader&) = delete;
        qint64 fileCount() const { return m_fileCount; }
        // Absent when the file fails to read (damaged since it was checked).
        std::optional<QList<QByteArray>> pathsWithKey(const QString& key) const;
        std::optional<QStringList> names() const;

    private:
        friend class TagIndexStore;
        Reader(sqlite3* db, qint64 fileCount) : m_db(db), m_fileCount(fileCount) {}
        sqlite3* m_db;
        qint64 m_fileCount;
    };

    explicit TagIndexStore(QString path) : m_path(std::move(path)) {}

    // $XDG_CACHE_HOME/Orvane/index.sqlite
    static QString defaultPath();

    // Absent when there is no usable store for these roots. Reads only its head.
    std::unique_ptr<Reader> open(const QList<QByteArray>& roots) const;
    // Replaces the whole store in one transaction, through a temporary file renamed over the
    // old one, so a crash leaves the old store or the new one. False when it could not.
    // `names` are the names the files carry, each in its first spelling.
    bool save(const QList<QByteArray>& roots, const QList<Entry>& entries,
              const QStringList& names) const;

private:
    QString m_path;
};
