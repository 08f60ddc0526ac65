#include "services/FileWork.h"

#include "platform/FileTagStore.h"
#include "platform/TaggedFileQuery.h"
#include "services/FileTagging.h"

namespace FileWork {
namespace {

// Another program writing the same list at the same moment gets this many chances to let the
// change through before the file is given up on.
constexpr int kAttempts = 4;

using Entry = FileJournal::Entry;
using State = FileJournal::State;

void noteWritten(Context& context, const QByteArray& path, const QByteArray& value) {
    context.query.noteTagsWritten(path, FileTagging::decodeNames(TagValueCodec::decode(value)));
}

// Read, edit and write with nothing in between: the window in which another program's write
// can be lost is as short as it can be without a lock.
void editOne(Context& context, const TagEdit& edit, Entry& entry) {
    const FileTagging::Edited result = FileTagging::edit(context.store, entry.path, edit);
    entry.before = result.before;
    entry.after = result.after;
    entry.state = result.error ? State::Failed : result.written ? State::Changed : State::Unchanged;
    if (result.written) {
        noteWritten(context, entry.path, entry.after);
    }
}

// Another program that read a list before it was written here may have written its own change
// over it since: each written list is read back once the batch is done, and edited again (a
// few times at most) where the edit is gone.
void settle(Context& context, const TagEdit& edit, QList<Entry>& batch) {
    QList<Entry*> suspect;
    for (Entry& entry : batch) {
        if (entry.state == State::Changed) {
            suspect.append(&entry);
        }
    }
    for (int attempt = 0; attempt < kAttempts && !suspect.isEmpty(); ++attempt) {
        QList<Entry*> again;
        for (Entry* entry : std::as_const(suspect)) {
            const auto current = context.store.readValue(entry->path);
            if (!current || *current == entry->after || edit.apply(*current) == *current) {
                continue;  // gone since, or still holding the edit (with whatever was added)
            }
            const QByteArray before = entry->before;
            editOne(context, edit, *entry);
            entry->before = before;
            again.append(entry);
        }
        suspect = again;
    }
    for (Entry* entry : std::as_const(suspect)) {
        entry->state = State::Unsettled;
    }
}

void restoreOne(Context& context, Entry& entry) {
    const auto current = context.store.readValue(entry.path);
    if (!current) {
        entry.state = State::Failed;
    } else if (*current == entry.target) {
        entry.state = State::Unchanged;
    } else if (*current != entry.before) {
        entry.state = State::ChangedElsewhere;  // not Orvane's bytes any more: left alone
    } else if (context.store.writeValue(entry.path, entry.target)) {
        entry.state = State::Failed;
    } else {
        entry.after = entry.target;
        entry.state = State::Changed;
        noteWritten(context, entry.path, entry.target);
    }
}

void count(Summary& summary, State state) {
    switch (state) {
        case State::Changed:
            ++summary.changed;
            break;
        case State::Unchanged:
            ++summary.unchanged;
            break;
        case State::Failed:
            ++summary.failed;
            break;
        case State::ChangedElsewhere:
            ++summary.changedElsewhere;
            break;
        case State::Unsettled:
            ++summary.unsettled;
            break;
        case State::Pending:
            break;
    }
}

}  // namespace

Summary& Summary::operator+=(const Summary& other) {
    total += other.total;
    changed += other.changed;
    unchanged += other.unchanged;
    failed += other.failed;
    changedElsewhere += other.changedElsewhere;
    unsettled += other.unsettled;
    stopped = stopped || other.stopped;
    return *this;
}

bool planEdit(Context& context, qint64 op, const QList<QByteArray>& paths) {
    // Each file's list before is recorded with the batch that changes it, not read twice: the
    // edits are safe to make again, so the plan needs only which files and what change.
    QList<Entry> files;
    files.reserve(paths.size());
    for (const QByteArray& path : paths) {
        files.append({0, path, {}, {}, {}, State::Pending});
    }
    return context.journal.plan(op, files);
}

qint64 planUndo(FileJournal& journal, qint64 op) {
    QList<Entry> files;
    for (const Entry& entry : journal.entries(op, false)) {
        if (entry.state == State::Changed && entry.before != entry.after) {
            files.append({0, entry.path, entry.after, entry.before, {}, State::Pending});
        }
    }
    if (files.isEmpty()) {
        return 0;
    }
    const qint64 undo = journal.begin(FileJournal::Kind::Restore, {});
    return undo && journal.plan(undo, files) ? undo : 0;
}

Summary run(Context& context, qint64 op) {
    Summary summary;
    const auto operation = context.journal.operation(op);
    if (!operation) {
        return summary;
    }
    QList<Entry> pending = context.journal.entries(op, true);
    summary.total = pending.size();
    QList<Entry> batch;
    for (qsizetype i = 0; i < pending.size(); ++i) {
        Entry& entry = pending[i];
        if (operation->kind == FileJournal::Kind::Edit) {
            editOne(context, operation->edit, entry);
        } else {
            restoreOne(context, entry);
        }
        batch.append(entry);
        if (batch.size() == kBatch || i + 1 == pending.size()) {
            if (operation->kind == FileJournal::Kind::Edit) {
                settle(context, operation->edit, batch);
            }
            for (const Entry& done : std::as_const(batch)) {
                count(summary, done.state);
            }
            context.journal.record(op, batch);
            batch.clear();
            if (context.progress) {
                context.progress(i + 1, pending.size());
            }
            // A logout or Ctrl+C lets the batch finish; the next start does the rest.
            if (context.stop && i + 1 < pending.size()) {
                summary.stopped = true;
                return summary;
            }
        }
    }
    context.journal.finish(op);
    return summary;
}

}  // namespace FileWork
