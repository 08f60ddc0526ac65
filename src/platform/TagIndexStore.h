#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What the tag index knew at the end of the last run, in an SQLite database in the cache
// folder: every tagged file with its names, and the roots it was crawled from. Read at start so
// that queries are answered before the crawl has walked the disk. A cache: a damaged, foreign,
// older or other-rooted file is ignored and written afresh, never trusted.
class TagIndexStore {
public:
    struct Entry {
        QByteArray path;
        QStringList tags;
    };

    explicit TagIndexStore(QString path) : m_path(std::move(path)) {}

    // $XDG_CACHE_HOME/Orvane/index.sqlite
    static QString defaultPath();

    // Absent when there is no usable store for these roots.
    std::optional<QList<Entry>> load(const QList<QByteArray>& roots) const;
    // Replaces the whole store in one transaction, through a temporary file renamed over the
    // old one, so a crash leaves the old store or the new one. False when it could not.
    bool save(const QList<QByteArray>& roots, const QList<Entry>& entries) const;

private:
    QString m_path;
};
