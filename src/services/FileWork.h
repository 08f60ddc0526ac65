#pragma once

#include "platform/FileJournal.h"
#include "services/TagEdit.h"

#include <QByteArray>
#include <QList>

#include <atomic>
#include <functional>

class FileTagStore;
class TaggedFileQuery;

// Changes to many files' tag lists, run on a worker thread through the journal: planned
// before the first write, recorded in batches, and resumable from the journal alone. Each file
// is read, edited and written with nothing in between, then read back: where another program
// wrote over the change meanwhile, the edit is made again on what it wrote.
namespace FileWork {

struct Summary {
    qsizetype total = 0;
    qsizetype changed = 0;
    qsizetype unchanged = 0;
    qsizetype failed = 0;
    qsizetype changedElsewhere = 0;
    qsizetype unsettled = 0;
    bool stopped = false;  // cut short by `stop`; the journal has the rest
    Summary& operator+=(const Summary& other);
};

struct Context {
    FileTagStore& store;
    FileJournal& journal;
    TaggedFileQuery& query;
    const std::atomic_bool& stop;
    std::function<void(qsizetype done, qsizetype total)> progress;  // after each batch
};

// Files are recorded in batches of this many.
inline constexpr qsizetype kBatch = 500;

// Records the files as the plan of an edit started with FileJournal::begin.
bool planEdit(Context& context, qint64 op, const QList<QByteArray>& paths);
// A restore that takes back what `op` changed, where files still hold what it wrote; 0 when
// it changed nothing.
qint64 planUndo(FileJournal& journal, qint64 op);
// Works through the files of `op` still pending, then marks it finished unless stopped.
Summary run(Context& context, qint64 op);

}  // namespace FileWork
