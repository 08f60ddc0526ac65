#include "platform/FileJournal.h"

#include "platform/Log.h"
#include "platform/SqliteStatement.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QStandardPaths>

#include <sqlite3.h>

namespace {

constexpr int kSchemaVersion = 1;

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS operations(id INTEGER PRIMARY KEY, kind INTEGER NOT NULL,"
    " edit TEXT NOT NULL, planned INTEGER NOT NULL DEFAULT 0,"
    " finished INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE IF NOT EXISTS files(op INTEGER NOT NULL, seq INTEGER NOT NULL,"
    " path BLOB NOT NULL, before BLOB NOT NULL, target BLOB NOT NULL, after BLOB,"
    " state INTEGER NOT NULL DEFAULT 0, PRIMARY KEY(op, seq)) WITHOUT ROWID;";

}  // namespace

QString FileJournal::defaultPath() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state)) {
        state = QDir::homePath() + "/.local/state";
    }
    return state + "/Orvane/journal.sqlite";
}

FileJournal::FileJournal(const QString& path) {
    if (path != ":memory:") {
        QDir().mkpath(QFileInfo(path).absolutePath());
    }
    if (openAt(path)) {
        return;
    }
    if (path != ":memory:" && QFile::exists(path)) {
        // Never a reason not to start: the damaged file is kept for whoever wants to look.
        const QString aside =
            path + ".damaged-" + QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
        QFile::rename(path, aside);
        QFile::remove(path + "-wal");
        QFile::remove(path + "-shm");
        Log::line("fileJournal: the journal was damaged; kept aside as " + aside);
        if (openAt(path)) {
            return;
        }
    }
    Log::line("fileJournal: cannot keep a journal at " + path + "; keeping it in memory");
    openAt(":memory:");
}

FileJournal::~FileJournal() {
    sqlite3_close(m_db);
}

bool FileJournal::openAt(const QString& path) {
    sqlite3_close(m_db);
    m_db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        return false;
    }
    const auto single = [this](const char* sql) {
        return SqliteStatement::singleInteger(m_db, sql);
    };
    const auto found = single("PRAGMA user_version");
    const auto tables = single("SELECT count(*) FROM sqlite_master");
    if (!found || !tables) {
        return false;  // not a database
    }
    if (*found != kSchemaVersion && !(*found == 0 && *tables == 0)) {
        return false;  // another program's database, or a version this one cannot read
    }
    // Each commit synced: a plan must be on disk before the first file changes. An empty
    // journal costs a start-up no more than these reads.
    if (!exec("PRAGMA synchronous=FULL") || !exec("PRAGMA journal_mode=WAL")) {
        return false;
    }
    if (*found == 0) {
        return exec(kSchema) &&
               exec(("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str());
    }
    // Finished work of earlier sessions has no use: undo lives for one session.
    const auto finished = single("SELECT count(*) FROM operations WHERE finished=1");
    return finished &&
           (*finished == 0 ||
            exec("DELETE FROM files WHERE op IN (SELECT id FROM operations WHERE finished=1);"
                 "DELETE FROM operations WHERE finished=1;"));
}

bool FileJournal::exec(const char* sql) const {
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

qint64 FileJournal::begin(Kind kind, const TagEdit& edit) {
    std::lock_guard lock(m_mutex);
    SqliteStatement insert(m_db, "INSERT INTO operations(kind, edit) VALUES(?, ?)");
    insert.bind(1, static_cast<qint64>(kind))
        .bind(2, QJsonDocument(edit.toJson()).toJson(QJsonDocument::Compact));
    return insert.run() ? sqlite3_last_insert_rowid(m_db) : 0;
}

bool FileJournal::plan(qint64 op, const QList<Entry>& files) {
    std::lock_guard lock(m_mutex);
    if (!exec("BEGIN IMMEDIATE")) {
        return false;
    }
    SqliteStatement insert(
        m_db, "INSERT OR REPLACE INTO files(op, seq, path, before, target) VALUES(?,?,?,?,?)");
    bool ok = insert.ok();
    for (qsizetype i = 0; ok && i < files.size(); ++i) {
        ok = insert.bind(1, op)
                 .bind(2, i)
                 .bind(3, files[i].path)
                 .bind(4, files[i].before)
                 .bind(5, files[i].target)
                 .run();
    }
    SqliteStatement planned(m_db, "UPDATE operations SET planned=1 WHERE id=?");
    ok = ok && planned.bind(1, op).run();
    return exec(ok ? "COMMIT" : "ROLLBACK") && ok;
}

void FileJournal::record(qint64 op, const QList<Entry>& outcomes) {
    std::lock_guard lock(m_mutex);
    // Progress survives a crash of the application without a sync (the system holds it);
    // progress lost with the power is only done again, and the edits give the same result.
    exec("PRAGMA synchronous=NORMAL");
    exec("BEGIN IMMEDIATE");
    SqliteStatement update(m_db,
                           "UPDATE files SET state=?, before=?, after=? WHERE op=? AND seq=?");
    for (const Entry& outcome : outcomes) {
        update.bind(1, static_cast<qint64>(outcome.state))
            .bind(2, outcome.before)
            .bind(3, outcome.after)
            .bind(4, op)
            .bind(5, outcome.seq)
            .run();
    }
    exec("COMMIT");
    exec("PRAGMA synchronous=FULL");
}

void FileJournal::finish(qint64 op) {
    std::lock_guard lock(m_mutex);
    SqliteStatement update(m_db, "UPDATE operations SET finished=1, planned=1 WHERE id=?");
    update.bind(1, op).run();
}

namespace {

FileJournal::Operation readOperation(SqliteStatement& row) {
    FileJournal::Operation operation;
    operation.id = row.integer(0);
    operation.kind = row.integer(1) == 1 ? FileJournal::Kind::Restore : FileJournal::Kind::Edit;
    operation.edit = TagEdit::fromJson(QJsonDocument::fromJson(row.bytes(2)).object());
    operation.planned = row.integer(3) != 0;
    return operation;
}

}  // namespace

QList<FileJournal::Operation> FileJournal::unfinished() const {
    std::lock_guard lock(m_mutex);
    QList<Operation> result;
    SqliteStatement select(
        m_db, "SELECT id, kind, edit, planned FROM operations WHERE finished=0 ORDER BY id");
    while (select.ok() && select.step()) {
        result.append(readOperation(select));
    }
    return result;
}

std::optional<FileJournal::Operation> FileJournal::operation(qint64 op) const {
    std::lock_guard lock(m_mutex);
    SqliteStatement select(m_db, "SELECT id, kind, edit, planned FROM operations WHERE id=?");
    if (select.ok() && select.bind(1, op).step()) {
        return readOperation(select);
    }
    return std::nullopt;
}

QList<FileJournal::Entry> FileJournal::entries(qint64 op, bool pendingOnly) const {
    std::lock_guard lock(m_mutex);
    QList<Entry> result;
    SqliteStatement select(m_db, pendingOnly
                                     ? "SELECT seq, path, before, target, after, state FROM files "
                                       "WHERE op=? AND state=0 ORDER BY seq"
                                     : "SELECT seq, path, before, target, after, state FROM files "
                                       "WHERE op=? ORDER BY seq");
    select.bind(1, op);
    while (select.ok() && select.step()) {
        result.append({select.integer(0), select.bytes(1), select.bytes(2), select.bytes(3),
                       select.bytes(4), static_cast<State>(select.integer(5))});
    }
    return result;
}
