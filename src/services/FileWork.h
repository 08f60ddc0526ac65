#pragma once

#include "platform/FileJournal.h"
#include "platform/TagEdit.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <functional>

class FileTagStore;
class TaggedFileQuery;

// Changes to many files' tag lists, run on a worker thread through the journal: planned
// before the first write, recorded in batches, and resumable from the journal alone. Each file
// is read, changed and written with nothing in between, then read back: where another program
// wrote over the change meanwhile, it is made again on what that program wrote.
namespace FileWork {

struct Summary {
    qsizetype total = 0;
    qsizetype changed = 0;
    qsizetype unchanged = 0;
    qsizetype failed = 0;
    qsizetype changedElsewhere = 0;
    qsizetype unsettled = 0;
    QHash<int, qsizetype> failures;  // the system's error of each failed file -> how many
    // The names written onto or taken off the files changed, each once.
    QStringList namesAdded;
    QStringList namesRemoved;
    bool stopped = false;     // cut short by `stop`; the journal has the rest
    bool unrecorded = false;  // progress could not be written to the journal
    bool unplanned = false;   // its plan could not be written: nothing was done
    Summary& operator+=(const Summary& other);
};

struct Context {
    FileTagStore& store;
    FileJournal& journal;
    TaggedFileQuery& query;
    const std::atomic_bool& stop;
    std::function<void(qsizetype done, qsizetype total)> progress;  // after each batch
    // A program held up between its read and its write (a loaded machine) writes over a change
    // after the read-back: each batch's written lists are looked at once more this much later.
    static constexpr std::chrono::milliseconds kLateLook{100};
    std::chrono::milliseconds lateLook = kLateLook;
};

// Files are recorded in batches of this many.
inline constexpr qsizetype kBatch = 500;

// The plan of an edit of these files: each file once, in the order given.
QList<FileJournal::Entry> planOf(const QList<QByteArray>& paths);
// Records the files as the plan of an edit started with FileJournal::begin.
bool planEdit(FileJournal& journal, qint64 op, const QList<QByteArray>& paths);
// Plans the undo operation `undo`: what `undoes` changed, taken back where it still shows.
bool planUndo(FileJournal& journal, qint64 undo, qint64 undoes);
// Works through the files of `op` still pending, then marks it finished. When `stop` is set it
// records what is done and returns with the rest pending.
Summary run(Context& context, qint64 op);

}  // namespace FileWork
