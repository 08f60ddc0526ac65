#include "platform/FileJournal.h"

#include "platform/Log.h"
#include "platform/PrivateFiles.h"
#include "platform/SqliteStatement.h"
#include "platform/WriteErrors.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sqlite3.h>

#include <cerrno>

namespace {

constexpr int kSchemaVersion = 2;

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS operations(id INTEGER PRIMARY KEY, kind INTEGER NOT NULL,"
    " edit TEXT NOT NULL, planned INTEGER NOT NULL DEFAULT 0,"
    " finished INTEGER NOT NULL DEFAULT 0, undoes INTEGER NOT NULL DEFAULT 0,"
    " tree TEXT NOT NULL DEFAULT '');"
    "CREATE TABLE IF NOT EXISTS files(op INTEGER NOT NULL, seq INTEGER NOT NULL,"
    " path BLOB NOT NULL, before BLOB NOT NULL, target BLOB NOT NULL, after BLOB,"
    " state INTEGER NOT NULL DEFAULT 0, seen BLOB, PRIMARY KEY(op, seq)) WITHOUT ROWID;";

// Version 1 had neither undo operations, the tree's side of a rename, nor what a file held
// before a write.
const char* const kUpgradeFrom1 =
    "ALTER TABLE operations ADD COLUMN undoes INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE operations ADD COLUMN tree TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE files ADD COLUMN seen BLOB;";

QString stamp() {
    return QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
}

QByteArray treeToJson(const std::optional<FileJournal::TreeRename>& tree) {
    if (!tree) {
        return {};
    }
    const QJsonObject object{{"tag", tree->tag.toString(QUuid::WithoutBraces).toUpper()},
                             {"from", tree->from},
                             {"to", tree->to}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<FileJournal::TreeRename> treeFromJson(const QByteArray& json) {
    const QJsonObject object = QJsonDocument::fromJson(json).object();
    const QUuid tag = QUuid::fromString(object["tag"].toString());
    if (tag.isNull()) {
        return std::nullopt;
    }
    return FileJournal::TreeRename{tag, object["from"].toString(), object["to"].toString()};
}

}  // namespace

QString FileJournal::defaultPath() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state)) {
        state = QDir::homePath() + "/.local/state";
    }
    return state + "/Orvane/journal.sqlite";
}

FileJournal::FileJournal(const QString& path, Earlier earlier) : m_earlier(earlier) {
    if (path == ":memory:") {
        openAt(path);
        return;
    }
    m_folder = QFileInfo(path).absolutePath();
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(name.constData(), &info) == 0 && S_ISLNK(info.st_mode)) {
        // Whatever the link points at is not ours to write: the link goes aside.
        const QString aside = path + ".link-" + stamp();
        QFile::rename(path, aside);
        Log::line("fileJournal: the journal was a link; kept aside as " + aside);
    }
    if (PrivateFiles::makeFolder(m_folder)) {
        // Created here with the user's rights only; SQLite gives its WAL files the same.
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
        }
        for (const char* suffix : {"", "-wal", "-shm"}) {
            PrivateFiles::restrict(path + suffix);
        }
    }
    Opening opening = openAt(path);
    if (opening == Opening::Foreign) {
        // Never a reason not to start: the damaged file is kept for whoever wants to look.
        const QString aside = path + ".damaged-" + stamp();
        QFile::rename(path, aside);
        QFile::remove(path + "-wal");
        QFile::remove(path + "-shm");
        Log::line("fileJournal: the journal was damaged; kept aside as " + aside);
        opening = openAt(path);
    }
    if (opening == Opening::Opened) {
        return;
    }
    m_problem = m_lastError.isEmpty()
                    ? QStringLiteral("the folder %1 is not writable").arg(m_folder)
                    : m_lastError;
    Log::line("fileJournal: cannot keep a journal at " + path + " (" + m_problem +
              "); changes to files are refused this session");
    openAt(":memory:");
}

FileJournal::~FileJournal() {
    sqlite3_close(m_db);
}

FileJournal::Opening FileJournal::openAt(const QString& path) {
    sqlite3_close(m_db);
    m_db = nullptr;
    const int opened = sqlite3_open_v2(
        QFile::encodeName(path).constData(), &m_db,
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX | SQLITE_OPEN_NOFOLLOW,
        nullptr);
    if (opened != SQLITE_OK || sqlite3_db_readonly(m_db, "main") == 1) {
        m_lastError = QStringLiteral("the folder %1 is not writable").arg(m_folder);
        return Opening::Failed;
    }
    const auto single = [this](const char* sql) {
        return SqliteStatement::singleInteger(m_db, sql);
    };
    const auto found = single("PRAGMA user_version");
    const auto tables = single("SELECT count(*) FROM sqlite_master");
    if (!found || !tables) {
        const int code = sqlite3_errcode(m_db);
        if (code == SQLITE_NOTADB || code == SQLITE_CORRUPT) {
            return Opening::Foreign;
        }
        noteError();
        return Opening::Failed;
    }
    const bool fresh = *found == 0 && *tables == 0;
    if (!fresh && *found != 1 && *found != kSchemaVersion) {
        return Opening::Foreign;  // another program's database, or a version this one cannot read
    }
    const auto run = [this](const char* sql) {
        if (exec(sql)) {
            return true;
        }
        noteError();
        return false;
    };
    // Each commit synced: an operation must be on disk before the first file changes. An
    // empty journal costs a start-up no more than these reads.
    if (!run("PRAGMA synchronous=FULL") || !run("PRAGMA journal_mode=WAL")) {
        return Opening::Failed;
    }
    const std::string version = "PRAGMA user_version=" + std::to_string(kSchemaVersion);
    if (fresh) {
        return run(kSchema) && run(version.c_str()) ? Opening::Opened : Opening::Failed;
    }
    if (*found == 1 && (!run(kUpgradeFrom1) || !run(version.c_str()))) {
        return Opening::Failed;
    }
    // Finished work of earlier sessions has no use: undo lives for one session. An undo left
    // unfinished still needs what it takes back.
    if (m_earlier == Earlier::Keep) {
        return Opening::Opened;
    }
    const auto finished = single("SELECT count(*) FROM operations WHERE finished=1");
    const bool cleared =
        finished &&
        (*finished == 0 ||
         run("CREATE TEMP TABLE dropped AS SELECT id FROM operations WHERE finished=1 AND id"
             " NOT IN (SELECT undoes FROM operations WHERE finished=0);"
             "DELETE FROM files WHERE op IN (SELECT id FROM dropped);"
             "DELETE FROM operations WHERE id IN (SELECT id FROM dropped);"
             "DROP TABLE dropped;"));
    return cleared ? Opening::Opened : Opening::Failed;
}

bool FileJournal::exec(const char* sql) const {
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

void FileJournal::noteError() {
    const int code = sqlite3_extended_errcode(m_db) & 0xff;
    const int system = sqlite3_system_errno(m_db);
    if (code == SQLITE_FULL) {
        m_lastError = WriteErrors::describe(ENOSPC, m_folder);
    } else if (code == SQLITE_READONLY) {
        m_lastError = WriteErrors::describe(EROFS, m_folder);
    } else if (system != 0) {
        m_lastError = WriteErrors::describe(system, m_folder);
    } else {
        m_lastError = QStringLiteral("the journal could not be written (%1)")
                          .arg(QString::fromUtf8(sqlite3_errstr(code)));
    }
}

QString FileJournal::lastError() const {
    std::lock_guard lock(m_mutex);
    return m_problem.isEmpty() ? m_lastError : m_problem;
}

bool FileJournal::insertFiles(qint64 op, const QList<Entry>& files) {
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
    return ok && planned.bind(1, op).run();
}

qint64 FileJournal::begin(const Operation& operation, const QList<Entry>& files) {
    std::lock_guard lock(m_mutex);
    if (!m_problem.isEmpty()) {
        return 0;
    }
    if (!exec("BEGIN IMMEDIATE")) {
        noteError();
        return 0;
    }
    SqliteStatement insert(m_db,
                           "INSERT INTO operations(kind, edit, undoes, tree) VALUES(?, ?, ?, ?)");
    bool ok = insert.bind(1, static_cast<qint64>(operation.kind))
                  .bind(2, QJsonDocument(operation.edit.toJson()).toJson(QJsonDocument::Compact))
                  .bind(3, operation.undoes)
                  .bind(4, treeToJson(operation.tree))
                  .run();
    const qint64 op = ok ? sqlite3_last_insert_rowid(m_db) : 0;
    ok = ok && (files.isEmpty() || insertFiles(op, files));
    if (ok && exec("COMMIT")) {
        return op;
    }
    noteError();
    exec("ROLLBACK");
    return 0;
}

bool FileJournal::plan(qint64 op, const QList<Entry>& files) {
    std::lock_guard lock(m_mutex);
    if (!exec("BEGIN IMMEDIATE")) {
        noteError();
        return false;
    }
    if (insertFiles(op, files) && exec("COMMIT")) {
        return true;
    }
    noteError();
    exec("ROLLBACK");
    return false;
}

bool FileJournal::updateEntries(const char* sql, qint64 op, const QList<Entry>& entries,
                                QByteArray Entry::*second, std::optional<State> state) {
    // As progress: a crash of the application loses nothing the system holds; progress lost
    // with the power is only done again, and the edits give the same result.
    exec("PRAGMA synchronous=NORMAL");
    bool ok = exec("BEGIN IMMEDIATE");
    SqliteStatement update(m_db, sql);
    for (qsizetype i = 0; ok && i < entries.size(); ++i) {
        const Entry& entry = entries[i];
        ok = update.bind(1, static_cast<qint64>(state.value_or(entry.state)))
                 .bind(2, entry.*second)
                 .bind(3, entry.after)
                 .bind(4, op)
                 .bind(5, entry.seq)
                 .run();
    }
    ok = ok && exec("COMMIT");
    if (!ok) {
        noteError();
        exec("ROLLBACK");
    }
    exec("PRAGMA synchronous=FULL");
    return ok;
}

bool FileJournal::intend(qint64 op, const QList<Entry>& intents) {
    std::lock_guard lock(m_mutex);
    return updateEntries("UPDATE files SET state=?, seen=?, after=? WHERE op=? AND seq=?", op,
                         intents, &Entry::seen, State::Writing);
}

bool FileJournal::record(qint64 op, const QList<Entry>& outcomes) {
    std::lock_guard lock(m_mutex);
    const bool ok =
        updateEntries("UPDATE files SET state=?, before=?, after=? WHERE op=? AND seq=?", op,
                      outcomes, &Entry::before, std::nullopt);
    // Failed files keep their error in memory either way: it is said this session only.
    QHash<qint64, Entry>& kept = m_unrecorded[op];
    for (const Entry& outcome : outcomes) {
        if (!ok || outcome.error != 0) {
            kept.insert(outcome.seq, outcome);
        }
    }
    if (kept.isEmpty()) {
        m_unrecorded.remove(op);
    }
    return ok;
}

bool FileJournal::finish(qint64 op) {
    std::lock_guard lock(m_mutex);
    SqliteStatement update(m_db, "UPDATE operations SET finished=1, planned=1 WHERE id=?");
    if (update.bind(1, op).run()) {
        return true;
    }
    noteError();
    m_finishedUnrecorded.insert(op);
    return false;
}

namespace {

FileJournal::Operation readOperation(SqliteStatement& row) {
    FileJournal::Operation operation;
    operation.id = row.integer(0);
    const qint64 kind = row.integer(1);
    operation.kind = kind == 1   ? FileJournal::Kind::Restore
                     : kind == 2 ? FileJournal::Kind::Undo
                                 : FileJournal::Kind::Edit;
    operation.edit = TagEdit::fromJson(QJsonDocument::fromJson(row.bytes(2)).object());
    operation.planned = row.integer(3) != 0;
    operation.undoes = row.integer(4);
    operation.tree = treeFromJson(row.bytes(5));
    return operation;
}

}  // namespace

QList<FileJournal::Operation> FileJournal::unfinished() const {
    std::lock_guard lock(m_mutex);
    QList<Operation> result;
    SqliteStatement select(m_db,
                           "SELECT id, kind, edit, planned, undoes, tree FROM operations WHERE "
                           "finished=0 ORDER BY id");
    while (select.ok() && select.step()) {
        Operation operation = readOperation(select);
        if (!m_finishedUnrecorded.contains(operation.id)) {
            result.append(std::move(operation));
        }
    }
    return result;
}

std::optional<FileJournal::Operation> FileJournal::operation(qint64 op) const {
    std::lock_guard lock(m_mutex);
    SqliteStatement select(
        m_db, "SELECT id, kind, edit, planned, undoes, tree FROM operations WHERE id=?");
    if (select.ok() && select.bind(1, op).step()) {
        return readOperation(select);
    }
    return std::nullopt;
}

QList<FileJournal::Entry> FileJournal::entries(qint64 op, bool pendingOnly) const {
    std::lock_guard lock(m_mutex);
    const QHash<qint64, Entry> kept = m_unrecorded.value(op);
    QList<Entry> result;
    SqliteStatement select(m_db,
                           "SELECT seq, path, before, target, after, state, seen FROM files "
                           "WHERE op=? ORDER BY seq");
    select.bind(1, op);
    while (select.ok() && select.step()) {
        Entry entry{select.integer(0),
                    select.bytes(1),
                    select.bytes(2),
                    select.bytes(3),
                    select.bytes(4),
                    static_cast<State>(select.integer(5)),
                    0,
                    select.bytes(6)};
        if (const auto it = kept.constFind(entry.seq); it != kept.cend()) {
            entry = *it;
        }
        if (!pendingOnly || entry.state == State::Pending || entry.state == State::Writing) {
            result.append(std::move(entry));
        }
    }
    return result;
}
