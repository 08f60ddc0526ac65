#include "platform/TagIndexStore.h"

#include "platform/PrivateFiles.h"
#include "platform/SqliteStatement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include <sqlite3.h>

#include <memory>

namespace {

constexpr int kApplicationId = 0x4f52564e;  // "ORVN": tells our file from another program's
constexpr int kSchemaVersion = 2;           // 1 kept whole paths and no keys: read whole at start

struct CloseDatabase {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;

Database openDatabase(const QString& path, int flags) {
    sqlite3* db = nullptr;
    const int status = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    Database owned(db);
    return status == SQLITE_OK ? std::move(owned) : nullptr;
}

QByteArray joinedRoots(const QList<QByteArray>& roots) {
    QByteArray joined;
    for (const QByteArray& root : roots) {
        joined += root + '\0';
    }
    return joined;
}

// Each file that carries a key, as its folder's path and its own name.
constexpr const char* kLookup =
    "SELECT folders.path, files.name FROM keys JOIN files ON files.id = keys.file "
    "JOIN folders ON folders.id = files.folder WHERE keys.key = ?1";

}  // namespace

QString TagIndexStore::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           "/Orvane/index.sqlite";
}

TagIndexStore::Reader::~Reader() {
    sqlite3_close_v2(m_db);
}

std::unique_ptr<TagIndexStore::Reader> TagIndexStore::open(const QList<QByteArray>& roots) const {
    if (!QFileInfo(m_path).isFile()) {
        return nullptr;
    }
    Database db = openDatabase(m_path, SQLITE_OPEN_READONLY);
    if (!db ||
        SqliteStatement::singleInteger(db.get(), "PRAGMA application_id") != kApplicationId ||
        SqliteStatement::singleInteger(db.get(), "PRAGMA user_version") != kSchemaVersion) {
        return nullptr;
    }
    SqliteStatement meta(db.get(), "SELECT value FROM meta WHERE key = 'roots'");
    if (!meta.ok() || !meta.step() || meta.bytes(0) != joinedRoots(roots)) {
        return nullptr;
    }
    const auto count =
        SqliteStatement::singleInteger(db.get(), "SELECT value FROM meta WHERE key = 'files'");
    // Every table a question needs is there: a file cut short fails here, not halfway.
    if (!count || !SqliteStatement(db.get(), kLookup).ok() ||
        !SqliteStatement(db.get(), "SELECT name FROM names").ok()) {
        return nullptr;
    }
    return std::unique_ptr<Reader>(new Reader(db.release(), *count));
}

std::optional<QList<QByteArray>> TagIndexStore::Reader::pathsWithKey(const QString& key) const {
    SqliteStatement lookup(m_db, kLookup);
    QList<QByteArray> paths;
    lookup.bind(1, key.toUtf8());
    while (lookup.ok() && lookup.step()) {
        QByteArray path = lookup.bytes(0);
        if (!path.endsWith('/')) {
            path += '/';
        }
        paths.append(path + lookup.bytes(1));
    }
    return lookup.finished() ? std::optional(std::move(paths)) : std::nullopt;
}

std::optional<QStringList> TagIndexStore::Reader::names() const {
    SqliteStatement select(m_db, "SELECT name FROM names");
    QStringList names;
    while (select.ok() && select.step()) {
        names.append(QString::fromUtf8(select.bytes(0)));
    }
    return select.finished() ? std::optional(std::move(names)) : std::nullopt;
}

bool TagIndexStore::save(const QList<QByteArray>& roots, const QList<Entry>& entries,
                         const QStringList& names) const {
    // It lists every tagged path of the user: readable by the user alone.
    PrivateFiles::makeFolder(QFileInfo(m_path).absolutePath());
    const QString fresh = m_path + ".new";
    QFile::remove(fresh);
    const int fd = ::open(QFile::encodeName(fresh).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    {
        const Database db = openDatabase(fresh, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
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
            "CREATE TABLE folders (id INTEGER PRIMARY KEY, path BLOB NOT NULL);"
            "CREATE TABLE files (id INTEGER PRIMARY KEY, folder INTEGER NOT NULL,"
            "                    name BLOB NOT NULL);"
            "CREATE TABLE keys (key BLOB NOT NULL, file INTEGER NOT NULL);"
            "CREATE TABLE names (name BLOB NOT NULL);";
        if (sqlite3_exec(db.get(), setup.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
            return false;
        }
        SqliteStatement meta(db.get(),
                             "INSERT INTO meta (key, value) VALUES ('roots', ?1), ('files', ?2)");
        if (!meta.ok() || !meta.bind(1, joinedRoots(roots)).bind(2, qint64(entries.size())).run()) {
            return false;
        }
        SqliteStatement folder(db.get(), "INSERT INTO folders (id, path) VALUES (?1, ?2)");
        SqliteStatement file(db.get(), "INSERT INTO files (id, folder, name) VALUES (?1, ?2, ?3)");
        SqliteStatement key(db.get(), "INSERT INTO keys (key, file) VALUES (?1, ?2)");
        if (!folder.ok() || !file.ok() || !key.ok()) {
            return false;
        }
        QHash<QByteArray, qint64> folders;
        qint64 id = 0;
        for (const Entry& entry : entries) {
            const qsizetype slash = entry.path.lastIndexOf('/');
            if (slash < 0) {
                continue;  // not a full path: nothing to find it by
            }
            const QByteArray folderPath = entry.path.left(std::max<qsizetype>(slash, 1));
            auto known = folders.constFind(folderPath);
            if (known == folders.cend()) {
                known = folders.insert(folderPath, folders.size());
                if (!folder.bind(1, *known).bind(2, folderPath).run()) {
                    return false;
                }
            }
            if (!file.bind(1, ++id).bind(2, *known).bind(3, entry.path.mid(slash + 1)).run()) {
                return false;
            }
            for (const QString& each : entry.keys) {
                if (!key.bind(1, each.toUtf8()).bind(2, id).run()) {
                    return false;
                }
            }
        }
        SqliteStatement name(db.get(), "INSERT INTO names (name) VALUES (?1)");
        for (const QString& each : names) {
            if (!name.ok() || !name.bind(1, each.toUtf8()).run()) {
                return false;
            }
        }
        // Made once all rows are in: a sort, not a hundred thousand insertions into a tree.
        if (sqlite3_exec(db.get(), "CREATE INDEX keys_by_key ON keys (key, file); COMMIT", nullptr,
                         nullptr, nullptr) != SQLITE_OK) {
            return false;
        }
    }
    // A cache: no sync; the rename alone keeps a reader from seeing half a file.
    return std::rename(QFile::encodeName(fresh).constData(),
                       QFile::encodeName(m_path).constData()) == 0;
}
