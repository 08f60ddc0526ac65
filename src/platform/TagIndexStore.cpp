#include "platform/TagIndexStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtEndian>

#include <cstdio>
#include <cstring>

#include <sqlite3.h>

#include <memory>

namespace {

constexpr int kApplicationId = 0x4f52564e;  // "ORVN": tells our file from another program's
constexpr int kSchemaVersion = 1;

struct CloseDatabase {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct FinishStatement {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;
using Statement = std::unique_ptr<sqlite3_stmt, FinishStatement>;

Database open(const QString& path, int flags) {
    sqlite3* db = nullptr;
    const int status = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    Database owned(db);
    return status == SQLITE_OK ? std::move(owned) : nullptr;
}

Statement prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    return Statement(statement);
}

std::optional<qint64> single(sqlite3* db, const char* sql) {
    const Statement statement = prepare(db, sql);
    if (!statement || sqlite3_step(statement.get()) != SQLITE_ROW) {
        return std::nullopt;
    }
    return sqlite3_column_int64(statement.get(), 0);
}

QByteArray blob(sqlite3_stmt* statement, int column) {
    const auto* data = static_cast<const char*>(sqlite3_column_blob(statement, column));
    return data ? QByteArray(data, sqlite3_column_bytes(statement, column)) : QByteArray();
}

bool bind(sqlite3_stmt* statement, int index, const QByteArray& bytes) {
    return sqlite3_bind_blob(statement, index, bytes.constData(), static_cast<int>(bytes.size()),
                             SQLITE_TRANSIENT) == SQLITE_OK;
}

// Each name as its UTF-8 length (4 bytes) and bytes: names may hold commas, line feeds, NULs.
QByteArray packNames(const QStringList& names) {
    QByteArray packed;
    for (const QString& name : names) {
        const QByteArray bytes = name.toUtf8();
        const quint32 size = qToLittleEndian(static_cast<quint32>(bytes.size()));
        packed.append(reinterpret_cast<const char*>(&size), sizeof size);
        packed.append(bytes);
    }
    return packed;
}

// A damaged list ends at its first length that runs past the bytes.
QStringList unpackNames(const QByteArray& packed) {
    QStringList names;
    qsizetype at = 0;
    while (packed.size() - at >= 4) {
        quint32 size = 0;
        std::memcpy(&size, packed.constData() + at, sizeof size);
        size = qFromLittleEndian(size);
        at += 4;
        if (size > static_cast<quint64>(packed.size() - at)) {
            break;
        }
        names.append(QString::fromUtf8(packed.constData() + at, size));
        at += size;
    }
    return names;
}

QByteArray joinedRoots(const QList<QByteArray>& roots) {
    QByteArray joined;
    for (const QByteArray& root : roots) {
        joined += root + '\0';
    }
    return joined;
}

}  // namespace

QString TagIndexStore::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           "/Orvane/index.sqlite";
}

std::optional<QList<TagIndexStore::Entry>> TagIndexStore::load(
    const QList<QByteArray>& roots) const {
    if (!QFileInfo::exists(m_path)) {
        return std::nullopt;
    }
    const Database db = open(m_path, SQLITE_OPEN_READONLY);
    if (!db || single(db.get(), "PRAGMA application_id") != kApplicationId ||
        single(db.get(), "PRAGMA user_version") != kSchemaVersion) {
        return std::nullopt;
    }
    const Statement meta = prepare(db.get(), "SELECT value FROM meta WHERE key = 'roots'");
    if (!meta || sqlite3_step(meta.get()) != SQLITE_ROW ||
        blob(meta.get(), 0) != joinedRoots(roots)) {
        return std::nullopt;
    }
    const Statement files = prepare(db.get(), "SELECT path, tags FROM files");
    if (!files) {
        return std::nullopt;
    }
    QList<Entry> entries;
    int status = SQLITE_ROW;
    while ((status = sqlite3_step(files.get())) == SQLITE_ROW) {
        Entry entry{blob(files.get(), 0), unpackNames(blob(files.get(), 1))};
        if (!entry.path.isEmpty() && !entry.tags.isEmpty()) {
            entries.append(std::move(entry));
        }
    }
    // A file cut short or damaged midway is not half believed.
    return status == SQLITE_DONE ? std::optional(std::move(entries)) : std::nullopt;
}

bool TagIndexStore::save(const QList<QByteArray>& roots, const QList<Entry>& entries) const {
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    const QString fresh = m_path + ".new";
    QFile::remove(fresh);
    {
        const Database db = open(fresh, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        if (!db) {
            return false;
        }
        const std::string setup =
            "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
            "PRAGMA application_id=" +
            std::to_string(kApplicationId) +
            "; PRAGMA user_version=" + std::to_string(kSchemaVersion) +
            "; BEGIN;"
            "CREATE TABLE meta (key TEXT PRIMARY KEY, value BLOB);"
            "CREATE TABLE files (path BLOB NOT NULL, tags BLOB NOT NULL);";
        if (sqlite3_exec(db.get(), setup.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
            return false;
        }
        const Statement meta =
            prepare(db.get(), "INSERT INTO meta (key, value) VALUES ('roots', ?1)");
        if (!meta || !bind(meta.get(), 1, joinedRoots(roots)) ||
            sqlite3_step(meta.get()) != SQLITE_DONE) {
            return false;
        }
        const Statement insert =
            prepare(db.get(), "INSERT INTO files (path, tags) VALUES (?1, ?2)");
        for (const Entry& entry : entries) {
            if (!insert || !bind(insert.get(), 1, entry.path) ||
                !bind(insert.get(), 2, packNames(entry.tags)) ||
                sqlite3_step(insert.get()) != SQLITE_DONE) {
                return false;
            }
            sqlite3_reset(insert.get());
        }
        if (sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
            return false;
        }
    }
    // A cache: no sync; the rename alone keeps a reader from seeing half a file.
    return std::rename(QFile::encodeName(fresh).constData(),
                       QFile::encodeName(m_path).constData()) == 0;
}
