#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QUrl>

#include <functional>

// The metadata index: which files carry a tag name.
class TaggedFileQuery {
public:
    // File paths as raw bytes: names need not be valid UTF-8, and most results are never
    // shown, so no URL is built for them here.
    using Completion = std::function<void(const QList<QByteArray>& paths)>;
    virtual ~TaggedFileQuery() = default;

    // Files carrying `name`, compared case-insensitively, bare or as "name\n<digits>". Returns
    // at once; `completion` runs exactly once, later, on the main thread.
    virtual void queryFilesWithTag(const QString& name, Completion completion) = 0;

    // The same, but answered only from a complete index: after the first crawl (never from
    // what the index kept from its last run), with the folders it cannot watch looked at again.
    // Slower; for changes that must reach every file that carries the name (a rename).
    virtual void queryEveryFileWithTag(const QString& name, Completion completion) {
        queryFilesWithTag(name, std::move(completion));
    }

    // Every tag name on the user's files, each once (the first spelling seen of canonically and
    // case-insensitively equal ones), once the index knows them all. Same rules as above. With
    // `crawled`, never from what the index kept from its last run: work just finished on the
    // files (an interrupted rename) may have taken names off them that the last run saw.
    using NamesCompletion = std::function<void(const QStringList& names)>;
    virtual void queryAllTagNames(NamesCompletion completion, bool crawled) = 0;

    // Called on the main thread when another program replaced a tagged file by an untagged
    // one (a save), with the old file's attribute bytes.
    using ReplacedHandler = std::function<void(const QByteArray& path, const QByteArray& value)>;
    virtual void setTagsReplacedHandler(ReplacedHandler) {}

    // Called once on the main thread when folders go unwatched for the system's limit on
    // watches: changes there are then seen only every few minutes.
    virtual void setWatchLimitHandler(std::function<void()>) {}

    // Called once on the main thread when the first crawl is done, if answers were given before
    // it from what the index kept from the last run: with the names asked whose files changed.
    using RefreshedHandler = std::function<void(const QStringList& changedNames)>;
    virtual void setRefreshedHandler(RefreshedHandler) {}

    // A tag attribute the application has just written (its exact bytes), so the next query
    // sees it. Any thread.
    virtual void noteTagsWritten(const QByteArray& path, const QByteArray& value) = 0;
};
