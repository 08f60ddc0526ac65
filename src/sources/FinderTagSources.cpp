#include "sources/FinderTagSources.h"

#include "platform/Log.h"
#include "sources/FinderTagParsing.h"
#include "sources/PropertyList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <plist/plist.h>
#include <sqlite3.h>

#include <dirent.h>

#include <algorithm>

namespace FinderTagSources {
namespace {

const QString kStoreName = "com.apple.kvs/com.apple.KeyValueService-Production.sqlite";
const QString kSyncedStore = "/Library/SyncedPreferences/" + kStoreName;
const QString kAppSupportStore = "/Library/Application Support/" + kStoreName;
const QString kFinderPlist = "Library/SyncedPreferences/com.apple.finder.plist";

struct QueryCandidate {
    const char* table;
    const char* column;
};
constexpr QueryCandidate kCandidates[] = {
    {"ZSYDMANAGEDKEYVALUE", "ZPLISTDATAVALUE"},
    {"ZSYDMANAGEDKEYVALUE", "ZPLISTDATAVLUE"},
    {"ZSYSDMANAGEDKEYVALUE", "ZPLISTDATAVALUE"},
};

QString homePath() {
    QString home = QDir::homePath();
    while (home.size() > 1 && home.endsWith(u'/')) {
        home.chop(1);
    }
    return home;
}

// A plain existence test, as lstat sees it: readability is not checked.
bool exists(const QString& path) {
    return QFileInfo::exists(path);
}

// Entry names in the order the system lists them, hidden ones included; absent when the folder
// cannot be listed.
std::optional<QStringList> listEntries(const QString& path) {
    DIR* dir = opendir(QFile::encodeName(path).constData());
    if (!dir) {
        return std::nullopt;
    }
    QStringList names;
    while (const dirent* entry = readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..") {
            names.append(QFile::decodeName(name));
        }
    }
    closedir(dir);
    return names;
}

QString finderPlistPath() {
    return QDir(homePath()).filePath(kFinderPlist);
}

std::optional<QByteArray> readWholeFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    return bytes;
}

std::optional<FinderTagList> parseInDatabase(sqlite3* db, const QueryCandidate& candidate) {
    const QByteArray sql = QByteArray("SELECT ") + candidate.column + " FROM " + candidate.table +
                           " WHERE ZKEY='FinderTagDict' LIMIT 1;";
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return std::nullopt;
    }
    std::optional<FinderTagList> result;
    if (sqlite3_step(statement) == SQLITE_ROW) {
        const void* blob = sqlite3_column_blob(statement, 0);
        const int size = sqlite3_column_bytes(statement, 0);
        if (blob && size > 0) {
            result = FinderTagParsing::parseFinderTagDictPlist(
                QByteArray(static_cast<const char*>(blob), size));
        }
    }
    sqlite3_finalize(statement);
    return result;
}

// An optional sign and decimal digits only, within 64 bits.
std::optional<qint64> parseDecimal(const QString& text) {
    QStringView digits = text;
    if (digits.startsWith(u'+') || digits.startsWith(u'-')) {
        digits = digits.mid(1);
    }
    if (digits.isEmpty() || !std::all_of(digits.begin(), digits.end(),
                                         [](QChar c) { return c >= u'0' && c <= u'9'; })) {
        return std::nullopt;
    }
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok ? std::optional(value) : std::nullopt;
}

QString joinedKeys(plist_t dictionary) {
    return PropertyList::keys(dictionary).join(", ");
}

}  // namespace

FinderTagList readAllFinderTags() {
    Log::line(QStringLiteral("readAllFinderTags: starting\u2026"));
    if (auto tags = readAllFinderTagsFromSQLite(); tags && !tags->isEmpty()) {
        Log::line(QStringLiteral("readAllFinderTags: got %1 tags from SQLite").arg(tags->size()));
        return *tags;
    }
    Log::line("readAllFinderTags: SQLite returned nothing, trying legacy plist");
    if (auto tags = readAllFinderTagsFromLegacyPlist(); tags && !tags->isEmpty()) {
        Log::line(
            QStringLiteral("readAllFinderTags: got %1 tags from legacy plist").arg(tags->size()));
        return *tags;
    }
    Log::line("readAllFinderTags: legacy plist also returned nothing");
    return {};
}

std::optional<FinderTagList> readAllFinderTagsFromSQLite() {
    const QString home = homePath();
    Log::line("readAllFinderTagsFromSQLite: home = " + home);
    QStringList candidates = {home + kSyncedStore, home + kAppSupportStore};

    const QString daemonContainers = home + "/Library/Daemon Containers";
    if (!exists(daemonContainers)) {
        Log::line("readAllFinderTagsFromSQLite: Daemon Containers path does not exist");
    } else if (const auto entries = listEntries(daemonContainers); !entries) {
        Log::line(QStringLiteral(
            "readAllFinderTagsFromSQLite: Daemon Containers not readable (permission denied). "
            "Grant Full Disk Access in System Settings \u2192 Privacy & Security to load all "
            "Finder tags."));
    } else {
        Log::line(QStringLiteral("readAllFinderTagsFromSQLite: Daemon Containers has %1 dir(s)")
                      .arg(entries->size()));
        for (const QString& entry : *entries) {
            const QString path = daemonContainers + "/" + entry + "/Data/" + kStoreName;
            if (exists(path)) {
                candidates.append(path);
                Log::line("  found: " + path);
            }
        }
    }

    const QString containers = home + "/Library/Containers";
    if (exists(containers)) {
        for (const QString& entry : listEntries(containers).value_or(QStringList())) {
            if (entry.contains("kvs") || entry.startsWith("com.apple")) {
                const QString path =
                    containers + "/" + entry + "/Data/Library/Application Support/" + kStoreName;
                if (exists(path)) {
                    candidates.append(path);
                }
            }
        }
    }

    Log::line(
        QStringLiteral("readAllFinderTagsFromSQLite: checking %1 path(s)").arg(candidates.size()));
    for (const QString& path : candidates) {
        const bool found = exists(path);
        Log::line(QStringLiteral("  %1: %2").arg(found ? "exists" : "missing", path));
        if (!found) {
            continue;
        }
        if (auto tags = readFinderTagDictFromDatabase(path)) {
            Log::line(QStringLiteral("readAllFinderTagsFromSQLite: success at path above, %1 tags")
                          .arg(tags->size()));
            return tags;
        }
        Log::line(QStringLiteral("  \u2192 sqlite read/parse failed for this path"));
    }
    Log::line("readAllFinderTagsFromSQLite: no path succeeded");
    return std::nullopt;
}

std::optional<FinderTagList> readFinderTagDictFromDatabase(const QString& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        return std::nullopt;
    }
    for (const QueryCandidate& candidate : kCandidates) {
        if (auto tags = parseInDatabase(db, candidate)) {
            sqlite3_close(db);
            return tags;
        }
    }
    sqlite3_close(db);
    return std::nullopt;
}

std::optional<FinderTagList> readAllFinderTagsFromLegacyPlist() {
    const QString path = finderPlistPath();
    Log::line("readAllFinderTagsFromLegacyPlist: " + path);
    const bool found = exists(path);
    Log::line(QStringLiteral("  file exists: ") + (found ? "true" : "false"));
    if (!found) {
        return std::nullopt;
    }
    const auto bytes = readWholeFile(path);
    if (!bytes) {
        Log::line("  failed to read data");
        return std::nullopt;
    }
    Log::line(QStringLiteral("  read %1 bytes").arg(bytes->size()));
    const auto plist = PropertyList::fromBytes(*bytes);
    if (!plist || !PropertyList::isDictionary(plist->root())) {
        Log::line("  failed to parse as plist");
        return std::nullopt;
    }
    const plist_t root = plist->root();
    const plist_t values = PropertyList::member(root, "values");
    if (!PropertyList::isDictionary(values)) {
        Log::line("  plist has no 'values' key (top-level keys: " + joinedKeys(root) + ")");
        return std::nullopt;
    }
    const plist_t dict = PropertyList::member(values, "FinderTagDict");
    if (!PropertyList::isDictionary(dict)) {
        Log::line("  values has no 'FinderTagDict' (values keys: " + joinedKeys(values) + ")");
        return std::nullopt;
    }
    const plist_t value = PropertyList::member(dict, "value");
    if (!PropertyList::isDictionary(value)) {
        Log::line("  FinderTagDict has no 'value'");
        return std::nullopt;
    }
    const plist_t array = PropertyList::member(value, "FinderTags");
    if (!PropertyList::isArrayOfDictionaries(array)) {
        Log::line("  value has no 'FinderTags' (value keys: " + joinedKeys(value) + ")");
        return std::nullopt;
    }
    const uint32_t count = plist_array_get_size(array);
    Log::line(QStringLiteral("  FinderTags count: %1").arg(count));
    FinderTagList tags;
    for (uint32_t i = 0; i < count; ++i) {
        if (auto tag = FinderTagParsing::parseFinderTagEntry(
                plist_array_get_item(array, i), FinderTagParsing::EntryVariant::LegacyPlist)) {
            tags.append(std::move(*tag));
        }
    }
    return tags;
}

FinderTagList readFavoriteFinderTags() {
    const auto bytes = readWholeFile(finderPlistPath());
    if (!bytes) {
        return {};
    }
    const auto plist = PropertyList::fromBytes(*bytes);
    if (!plist) {
        return {};
    }
    const plist_t array = PropertyList::member(plist->root(), "FavoriteTagNames");
    if (!array || plist_get_node_type(array) != PLIST_ARRAY) {
        return {};
    }
    QStringList texts;
    const uint32_t count = plist_array_get_size(array);
    for (uint32_t i = 0; i < count; ++i) {
        const auto text = PropertyList::text(plist_array_get_item(array, i));
        if (!text) {
            return {};
        }
        texts.append(*text);
    }
    FinderTagList tags;
    for (const QString& text : texts) {
        const QStringList parts = text.split(u'\n');
        if (text.isEmpty() || parts.first().isEmpty()) {
            continue;
        }
        const QString& name = parts.first();
        qint64 color = finderColorIndexByName(name);
        if (parts.size() >= 2) {
            if (const auto number = parseDecimal(parts[1])) {
                color = *number;
            }
        }
        tags.append({name, color});
    }
    return tags;
}

}  // namespace FinderTagSources
