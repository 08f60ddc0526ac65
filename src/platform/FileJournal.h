#pragma once

#include "platform/TagEdit.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>

#include <mutex>
#include <optional>

struct sqlite3;

// The plan and progress of every change Orvane makes to files, kept in an SQLite database in
// WAL mode so that work cut short by a crash or a logout is finished at the next start. An
// operation is committed (and synced) when the user makes it, before its turn comes and before
// the first file is touched; progress is recorded in batches, with the exact bytes of each
// file's list before and after, which is what undo restores. Safe from any thread.
class FileJournal {
public:
    enum class Kind {
        Edit = 0,     // apply a TagEdit to each file's list as it is when its turn comes
        Restore = 1,  // put `target` back where the file still holds `before` (no links)
        Undo = 2,     // take back what operation `undoes` changed, planned when its turn comes;
                      // its edit says in names what it takes back (the other's, inverted)
    };
    enum class State {
        Pending = 0,
        Changed = 1,
        Unchanged = 2,         // already as intended
        Failed = 3,            // unreadable, unwritable or gone
        ChangedElsewhere = 4,  // a restore found bytes another program wrote
        Unsettled = 5,         // another program kept writing over each attempt
        Writing = 6,           // about to be written: `seen` and `after` are recorded first
    };
    struct Entry {
        qint64 seq = 0;
        QByteArray path = {};
        QByteArray before = {};  // the list before (empty: none); for a restore, the bytes expected
        QByteArray target = {};  // a restore's bytes to put back
        QByteArray after = {};   // what was written
        State state = State::Pending;
        int error = 0;  // the system's error of a failed file, this session only
        // What the file held when it was about to be written; with `after`, what it was to
        // hold. A crash between the write and its record leaves both to tell what happened.
        QByteArray seen = {};
    };
    // The tree's side of a rename: the tag that carries `to` once the files do. Kept with the
    // operation, so that a crash between the journal and the tree's save is finished in both.
    struct TreeRename {
        QUuid tag;
        QString from;
        QString to;
        bool operator==(const TreeRename&) const = default;
    };
    struct Operation {
        qint64 id = 0;
        Kind kind = Kind::Edit;
        TagEdit edit = {};
        bool planned = false;  // false: its files are not known yet (a rename, an undo)
        qint64 undoes = 0;
        std::optional<TreeRename> tree = std::nullopt;
    };

    // A damaged or foreign file is moved aside (logged) and a fresh journal made; a link in its
    // place is moved aside, never written through. ":memory:" keeps it for this session only.
    // Finished work of earlier sessions is dropped.
    // Another process that shares the journal with a running window (the command line) keeps
    // the finished work of earlier sessions: the window's undo may still need it.
    enum class Earlier { Drop, Keep };
    explicit FileJournal(const QString& path, Earlier earlier = Earlier::Drop);
    ~FileJournal();
    FileJournal(const FileJournal&) = delete;
    FileJournal& operator=(const FileJournal&) = delete;

    // $XDG_STATE_HOME/Orvane/journal.sqlite
    static QString defaultPath();

    // Why no journal could be kept on disk ("the folder … is not writable"): changes to files
    // are then refused, as a kill would lose them. Empty when the journal is usable.
    const QString& problem() const { return m_problem; }
    // Why the last write failed, in words for the user ("the disk is full").
    QString lastError() const;

    // A new operation (its id and `planned` are ignored), committed and synced; with `files`
    // it is planned in the same transaction. 0 when it could not be written.
    qint64 begin(const Operation& operation, const QList<Entry>& files = {});
    // Records the files, durably, in one transaction. Returns false when it could not.
    bool plan(qint64 op, const QList<Entry>& files);
    // Before a batch is written: what each file holds and is to hold (state Writing).
    bool intend(qint64 op, const QList<Entry>& intents);
    // Progress: each entry's state and bytes, by seq, in one transaction. What cannot be
    // written (a full disk) is kept in memory for this session, so that undo still knows it.
    bool record(qint64 op, const QList<Entry>& outcomes);
    bool finish(qint64 op);

    QList<Operation> unfinished() const;
    std::optional<Operation> operation(qint64 op) const;
    // With `pendingOnly`, the entries not done yet: pending, or written without a record.
    QList<Entry> entries(qint64 op, bool pendingOnly) const;

private:
    enum class Opening { Opened, Foreign, Failed };
    Opening openAt(const QString& path);
    bool exec(const char* sql) const;
    void noteError();
    bool insertFiles(qint64 op, const QList<Entry>& files);

    sqlite3* m_db = nullptr;
    QString m_folder;
    Earlier m_earlier = Earlier::Drop;
    QString m_problem;
    QString m_lastError;
    // Outcomes and ends that could not be written, by operation and seq.
    // One transaction of updates to entries of `op`: state (or each entry's own), `second`, after.
    bool updateEntries(const char* sql, qint64 op, const QList<Entry>& entries,
                       QByteArray Entry::*second, std::optional<State> state);

    QHash<qint64, QHash<qint64, Entry>> m_unrecorded;
    QSet<qint64> m_finishedUnrecorded;
    mutable std::recursive_mutex m_mutex;
};
