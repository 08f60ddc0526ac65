#pragma once

#include "services/TagEdit.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <mutex>
#include <optional>

struct sqlite3;

// The plan and progress of every change Orvane makes to files, kept in an SQLite database in
// WAL mode so that work cut short by a crash or a logout is finished at the next start. A plan
// is committed (and synced) before the first file is touched; progress is recorded in batches,
// with the exact bytes of each file's list before and after, which is what undo restores. Safe
// from any thread.
class FileJournal {
public:
    enum class Kind {
        Edit = 0,     // apply a TagEdit to each file's list as it is when its turn comes
        Restore = 1,  // put `target` back where the file still holds `expected`
    };
    enum class State {
        Pending = 0,
        Changed = 1,
        Unchanged = 2,         // already as intended
        Failed = 3,            // unreadable, unwritable or gone
        ChangedElsewhere = 4,  // a restore found bytes another program wrote
        Unsettled = 5,         // another program kept writing over each attempt
    };
    struct Entry {
        qint64 seq = 0;
        QByteArray path;
        QByteArray before;  // the list before (empty: none); for a restore, the bytes expected
        QByteArray target;  // a restore's bytes to put back
        QByteArray after;   // what was written
        State state = State::Pending;
    };
    struct Operation {
        qint64 id = 0;
        Kind kind = Kind::Edit;
        TagEdit edit;
        bool planned = false;  // false: its files were not known yet (a rename still asking)
    };

    // A damaged or foreign file is moved aside (logged) and a fresh journal made; ":memory:"
    // keeps it for this session only. Finished work of earlier sessions is dropped.
    explicit FileJournal(const QString& path);
    ~FileJournal();
    FileJournal(const FileJournal&) = delete;
    FileJournal& operator=(const FileJournal&) = delete;

    // $XDG_STATE_HOME/Orvane/journal.sqlite
    static QString defaultPath();

    // An operation whose files are not known yet; `plan` adds them.
    qint64 begin(Kind kind, const TagEdit& edit);
    // Records the files, durably, in one transaction. Returns false when it could not.
    bool plan(qint64 op, const QList<Entry>& files);
    // Progress: each entry's state and bytes, by seq, in one transaction.
    void record(qint64 op, const QList<Entry>& outcomes);
    void finish(qint64 op);

    QList<Operation> unfinished() const;
    std::optional<Operation> operation(qint64 op) const;
    QList<Entry> entries(qint64 op, bool pendingOnly) const;

private:
    bool openAt(const QString& path);
    bool exec(const char* sql) const;

    sqlite3* m_db = nullptr;
    mutable std::recursive_mutex m_mutex;
};
