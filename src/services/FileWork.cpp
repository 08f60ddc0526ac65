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

void editOne(Context& context, const TagEdit& edit, Entry& entry) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const auto current = context.store.readValue(entry.path);
        if (!current) {
            entry.state = State::Failed;
            return;
        }
        const QByteArray next = edit.apply(*current);
        if (attempt == 0) {
            entry.before = *current;
        }
        if (next == *current) {
            entry.after = *current;
            entry.state = attempt == 0 ? State::Unchanged : State::Changed;
            return;
        }
        if (context.store.writeValue(entry.path, next)) {
            entry.state = State::Failed;
            return;
        }
        entry.after = next;
        const auto back = context.store.readValue(entry.path);
        // What another program wrote after this write and that still holds the edit is its
        // own later change, not a lost one.
        if (back && (*back == next || edit.apply(*back) == *back)) {
            entry.state = State::Changed;
            noteWritten(context, entry.path, *back);
            return;
        }
    }
    entry.state = State::Unsettled;
}

// Another program that read a list before this batch wrote it may have written its own change
// over it since: looked at once more, and edited again where the edit is gone.
void settle(Context& context, const TagEdit& edit, QList<Entry>& batch) {
    for (Entry& entry : batch) {
        if (entry.state != State::Changed) {
            continue;
        }
        const auto current = context.store.readValue(entry.path);
        if (current && edit.apply(*current) != *current) {
            const QByteArray before = entry.before;
            editOne(context, edit, entry);
            entry.before = before;
        }
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
        const auto back = context.store.readValue(entry.path);
        entry.state = back == entry.target ? State::Changed : State::Unsettled;
        noteWritten(context, entry.path, back.value_or(entry.target));
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
    QList<Entry> files;
    files.reserve(paths.size());
    for (const QByteArray& path : paths) {
        files.append({0,
                      path,
                      context.store.readValue(path).value_or(QByteArray()),
                      {},
                      {},
                      State::Pending});
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
