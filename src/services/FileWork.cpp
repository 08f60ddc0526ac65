#include "services/FileWork.h"

#include "platform/FileTagStore.h"
#include "platform/TagNames.h"
#include "platform/TaggedFileQuery.h"
#include "services/FileTagging.h"

#include <QSet>

#include <cerrno>
#include <chrono>
#include <thread>

namespace FileWork {
namespace {

// Another program writing the same list at the same moment gets this many chances to let the
// change through before the file is given up on.
constexpr int kAttempts = 4;
using Clock = std::chrono::steady_clock;

using Entry = FileJournal::Entry;
using State = FileJournal::State;
using Kind = FileJournal::Kind;

// What one file's list becomes, given its plan and what it holds now; absent where it must be
// left as it is (a restore finding another program's bytes).
using Change = std::function<std::optional<QByteArray>(const Entry& plan, const QByteArray& now)>;

Change changeFor(const FileJournal::Operation& operation) {
    switch (operation.kind) {
        case Kind::Edit:
            return [edit = operation.edit](const Entry&, const QByteArray& now) {
                return std::optional(edit.apply(now));
            };
        case Kind::Undo:
            // Exactly the old bytes where the file holds what was written; else the change
            // taken back entry by entry, around what other programs wrote since.
            return [](const Entry& plan, const QByteArray& now) {
                if (now == plan.before) {
                    return std::optional(plan.target);
                }
                return std::optional(TagEdit::takeBack(now, plan.target, plan.before));
            };
        case Kind::Restore:
            return [](const Entry& plan, const QByteArray& now) -> std::optional<QByteArray> {
                if (now == plan.target || now == plan.before) {
                    return plan.target;
                }
                return std::nullopt;
            };
    }
    return {};
}

void noteWritten(Context& context, const QByteArray& path, const QByteArray& value) {
    context.query.noteTagsWritten(path, value);
}

// Read, change and write with nothing in between: the window in which another program's write
// can be lost is as short as it can be without a lock.
void changeOne(Context& context, const Change& change, bool ownOnly, const Entry& plan,
               Entry& entry) {
    errno = 0;
    const auto now =
        ownOnly ? context.store.readOwnValue(plan.path) : context.store.readValue(plan.path);
    if (!now) {
        entry.state = State::Failed;
        entry.error = errno != 0 ? errno : EIO;
        return;
    }
    const std::optional<QByteArray> next = change(plan, *now);
    if (plan.state == State::Writing && *now != plan.seen && next == *now) {
        // Written before a crash and not recorded (another program may have added to it
        // since): the change as it was made is in the journal, for an undo to take back.
        entry.before = plan.seen;
        entry.after = plan.after;
        entry.state = State::Changed;
        return;
    }
    entry.before = *now;
    if (!next) {
        entry.after = *now;
        entry.state = State::ChangedElsewhere;  // not Orvane's bytes any more: left alone
        return;
    }
    entry.after = *next;
    if (*next == *now) {
        entry.state = State::Unchanged;
        return;
    }
    const std::error_code error = ownOnly ? context.store.writeOwnValue(plan.path, *next)
                                          : context.store.writeValue(plan.path, *next);
    if (error) {
        entry.after = *now;
        entry.state = State::Failed;
        entry.error = error.value();
        return;
    }
    entry.state = State::Changed;
    entry.error = 0;
    noteWritten(context, plan.path, *next);
}

// Another program that read a list before it was written here may have written its own change
// over it since: each written list is read back once the batch is done, and changed again (a
// few times at most) where the change is gone.
void settle(Context& context, const Change& change, const QList<Entry>& plans,
            QList<Entry>& batch) {
    QList<qsizetype> suspect;
    for (qsizetype i = 0; i < batch.size(); ++i) {
        if (batch[i].state == State::Changed) {
            suspect.append(i);
        }
    }
    for (int attempt = 0; attempt < kAttempts && !suspect.isEmpty(); ++attempt) {
        QList<qsizetype> again;
        for (const qsizetype i : std::as_const(suspect)) {
            Entry& entry = batch[i];
            const auto now = context.store.readValue(entry.path);
            if (!now || *now == entry.after || change(plans[i], *now) == *now) {
                continue;  // gone since, or still holding the change (with whatever was added)
            }
            const QByteArray before = entry.before;
            changeOne(context, change, false, plans[i], entry);
            entry.before = before;
            if (entry.state == State::Changed) {
                again.append(i);
            }
        }
        suspect = again;
    }
    for (const qsizetype i : std::as_const(suspect)) {
        batch[i].state = State::Unsettled;
    }
}

void addOnce(QStringList& names, const QString& name) {
    if (!names.contains(name)) {
        names.append(name);
    }
}

QStringList namesOf(const QByteArray& value) {
    QStringList names;
    for (const QString& name : FileTagging::decodeNames(TagValueCodec::decode(value))) {
        names.append(TagNames::exactKey(name));
    }
    return names;
}

// What each file of a batch holds and is to hold, in the journal before the first of them is
// written: a crash between a write and its record then still tells what the file held, which
// is what an undo queued behind needs.
bool intend(Context& context, const Change& change, qint64 op, const QList<Entry>& plans) {
    QList<Entry> intents;
    for (const Entry& plan : plans) {
        if (plan.state != State::Pending) {
            continue;  // its intent from before a crash stands
        }
        const auto now = context.store.readValue(plan.path);
        const auto next = now ? change(plan, *now) : std::nullopt;
        if (next && *next != *now) {
            Entry intent = plan;
            intent.seen = *now;
            intent.after = *next;
            intents.append(intent);
        }
    }
    return intents.isEmpty() || context.journal.intend(op, intents);
}

void count(Summary& summary, const Entry& entry) {
    switch (entry.state) {
        case State::Changed: {
            ++summary.changed;
            const QStringList before = namesOf(entry.before);
            const QStringList after = namesOf(entry.after);
            for (const QString& name : after) {
                if (!before.contains(name)) {
                    addOnce(summary.namesAdded, name);
                }
            }
            for (const QString& name : before) {
                if (!after.contains(name)) {
                    addOnce(summary.namesRemoved, name);
                }
            }
            break;
        }
        case State::Unchanged:
            ++summary.unchanged;
            break;
        case State::Failed:
            ++summary.failed;
            ++summary.failures[entry.error];
            break;
        case State::ChangedElsewhere:
            ++summary.changedElsewhere;
            break;
        case State::Unsettled:
            ++summary.unsettled;
            break;
        case State::Pending:
        case State::Writing:
            break;
    }
}

// The files a batch changed, with their plans, kept for the late look.
struct Written {
    QList<Entry> plans;
    QList<Entry> entries;
    Clock::time_point at;
};

Written writtenOf(const QList<Entry>& plans, const QList<Entry>& batch) {
    Written written{{}, {}, Clock::now()};
    for (qsizetype i = 0; i < batch.size(); ++i) {
        if (batch[i].state == State::Changed) {
            written.plans.append(plans[i]);
            written.entries.append(batch[i]);
        }
    }
    return written;
}

// Settles the written files of each batch again once its late look is due, and records what
// it made again or had to give up on. With `all`, every batch is looked at, waited for where it
// is not due yet; when stopping, nothing is waited for.
void lookAgain(Context& context, const Change& change, qint64 op, QList<Written>& owed, bool all,
               Summary& summary) {
    while (!owed.isEmpty() &&
           (all || context.stop || Clock::now() >= owed.first().at + context.lateLook)) {
        Written written = owed.takeFirst();
        for (auto now = Clock::now(); !context.stop && now < written.at + context.lateLook;
             now = Clock::now()) {
            std::this_thread::sleep_for(std::min<Clock::duration>(
                written.at + context.lateLook - now, std::chrono::milliseconds(10)));
        }
        const QList<Entry> before = written.entries;
        settle(context, change, written.plans, written.entries);
        QList<Entry> changed;
        for (qsizetype i = 0; i < before.size(); ++i) {
            const Entry& entry = written.entries[i];
            if (entry.state != before[i].state || entry.after != before[i].after) {
                changed.append(entry);
            }
            if (entry.state != State::Changed) {
                --summary.changed;
                count(summary, entry);
            }
        }
        if (!changed.isEmpty()) {
            summary.unrecorded = !context.journal.record(op, changed) || summary.unrecorded;
        }
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
    for (auto it = other.failures.cbegin(); it != other.failures.cend(); ++it) {
        failures[it.key()] += it.value();
    }
    for (const QString& name : other.namesAdded) {
        addOnce(namesAdded, name);
    }
    for (const QString& name : other.namesRemoved) {
        addOnce(namesRemoved, name);
    }
    stopped = stopped || other.stopped;
    unrecorded = unrecorded || other.unrecorded;
    unplanned = unplanned || other.unplanned;
    return *this;
}

QList<Entry> planOf(const QList<QByteArray>& paths) {
    // Each file's list before is recorded with the batch that changes it, not read twice: the
    // edits are safe to make again, so the plan needs only which files and what change.
    QList<Entry> files;
    files.reserve(paths.size());
    QSet<QByteArray> seen;
    for (const QByteArray& path : paths) {
        if (!seen.contains(path)) {
            seen.insert(path);
            files.append({.path = path});
        }
    }
    return files;
}

bool planEdit(FileJournal& journal, qint64 op, const QList<QByteArray>& paths) {
    return journal.plan(op, planOf(paths));
}

bool planUndo(FileJournal& journal, qint64 undo, qint64 undoes) {
    QList<Entry> files;
    for (const Entry& entry : journal.entries(undoes, false)) {
        if (entry.state == State::Changed && entry.before != entry.after) {
            files.append({.path = entry.path, .before = entry.after, .target = entry.before});
        }
    }
    return journal.plan(undo, files);
}

Summary run(Context& context, qint64 op) {
    Summary summary;
    const auto operation = context.journal.operation(op);
    if (!operation) {
        return summary;
    }
    const Change change = changeFor(*operation);
    const bool ownOnly = operation->kind == Kind::Restore;
    const QList<Entry> pending = context.journal.entries(op, true);
    summary.total = pending.size();
    QList<Entry> plans;
    QList<Entry> batch;
    QList<Written> owed;  // batches written, not looked at late yet
    for (qsizetype i = 0; i < pending.size(); ++i) {
        if (i % kBatch == 0 && !ownOnly) {
            summary.unrecorded =
                !intend(context, change, op, pending.mid(i, kBatch)) || summary.unrecorded;
        }
        plans.append(pending[i]);
        batch.append(pending[i]);
        changeOne(context, change, ownOnly, pending[i], batch.last());
        // A quit or a logout ends the batch at the file in hand: what is done is recorded, the
        // next start does the rest.
        if (batch.size() < kBatch && i + 1 < pending.size() && !context.stop) {
            continue;
        }
        if (!ownOnly) {
            settle(context, change, plans, batch);
        }
        for (const Entry& done : std::as_const(batch)) {
            count(summary, done);
        }
        summary.unrecorded = !context.journal.record(op, batch) || summary.unrecorded;
        if (!ownOnly) {
            if (Written written = writtenOf(plans, batch); !written.entries.isEmpty()) {
                owed.append(std::move(written));  // nothing written, nothing to wait for
            }
            lookAgain(context, change, op, owed, false, summary);
        }
        plans.clear();
        batch.clear();
        if (context.progress) {
            context.progress(i + 1, pending.size());
        }
        if (context.stop && i + 1 < pending.size()) {
            summary.stopped = true;
            return summary;
        }
    }
    lookAgain(context, change, op, owed, true, summary);
    summary.unrecorded = !context.journal.finish(op) || summary.unrecorded;
    return summary;
}

}  // namespace FileWork
