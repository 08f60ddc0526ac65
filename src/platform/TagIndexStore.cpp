#include "platform/TagIndexStore.h"

#include "platform/PrivateFiles.h"
#include "platform/SqliteStatement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>
#include <QtEndian>

#include <fcntl.h>
#include <unistd.h>

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
using Database = std::unique_ptr<sqlite3, CloseDatabase>;

Database open(const QString& path, int flags) {
    sqlite3* db = nullptr;
    const int status = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    Database owned(db);
    return status == SQLITE_OK ? std::move(owned) : nullptr;
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
    if (!db ||
        SqliteStatement::singleInteger(db.get(), "PRAGMA application_id") != kApplicationId ||
        SqliteStatement::singleInteger(db.get(), "PRAGMA user_version") != kSchemaVersion) {
        return std::nullopt;
    }
    SqliteStatement meta(db.get(), "SELECT value FROM meta WHERE key = 'roots'");
    if (!meta.ok() || !meta.step() || meta.bytes(0) != joinedRoots(roots)) {
        return std::nullopt;
    }
    SqliteStatement files(db.get(), "SELECT path, tags FROM files");
    QList<Entry> entries;
    // Many files carry the same names: each list is unpacked once and shared.
    QHash<QByteArray, QStringList> lists;
    while (files.ok() && files.step()) {
        const QByteArray packed = files.bytes(1);
        auto list = lists.constFind(packed);
        if (list == lists.cend()) {
            list = lists.insert(packed, unpackNames(packed));
        }
        Entry entry{files.bytes(0), *list};
        if (!entry.path.isEmpty() && !entry.tags.isEmpty()) {
            entries.append(std::move(entry));
        }
    }
    // A file cut short or damaged midway is not half believed.
    return files.finished() ? std::optional(std::move(entries)) : std::nullopt;
}

bool TagIndexStore::save(const QList<QByteArray>& roots, const QList<Entry>& entries) const {
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
        SqliteStatement meta(db.get(), "INSERT INTO meta (key, value) VALUES ('roots', ?1)");
        if (!meta.ok() || !meta.bind(1, joinedRoots(roots)).run()) {
            return false;
        }
        SqliteStatement insert(db.get(), "INSERT INTO files (path, tags) VALUES (?1, ?2)");
        for (const Entry& entry : entries) {
            if (!insert.ok() || !insert.bind(1, entry.path).bind(2, packNames(entry.tags)).run()) {
                return false;
            }
        }
        if (sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
            return false;
        }
    }
    // A cache: no sync; the rename alone keeps a reader from seeing half a file.
    return std::rename(QFile::encodeName(fresh).constData(),
                       QFile::encodeName(m_path).constData()) == 0;
}
