#include "LogCapture.h"
#include "PlistBuilder.h"
#include "TestHome.h"
#include "sources/FinderTagParsing.h"
#include "sources/FinderTagSources.h"
#include "sources/PropertyList.h"
#include "sources/PropertyListScreen.h"

#include <QDir>
#include <QtTest>

#include <cmath>

#include <plist/plist.h>
#include <sqlite3.h>

using namespace FinderTagSources;
using namespace PlistBuilder;

namespace {

const QString kStore = "com.apple.kvs/com.apple.KeyValueService-Production.sqlite";
const QString kSynced = "Library/SyncedPreferences/" + kStore;
const QString kAppSupport = "Library/Application Support/" + kStore;
const QString kFinderPlist = "Library/SyncedPreferences/com.apple.finder.plist";

void makeDatabase(const QString& path, const char* table, const char* column,
                  const QByteArray& blob) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    const QByteArray create =
        QByteArray("CREATE TABLE ") + table + " (ZKEY TEXT, " + column + " BLOB);";
    QCOMPARE(sqlite3_exec(db, create.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    const QByteArray insert = QByteArray("INSERT INTO ") + table + " VALUES ('FinderTagDict', ?);";
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, insert.constData(), -1, &statement, nullptr);
    sqlite3_bind_blob(statement, 1, blob.constData(), static_cast<int>(blob.size()),
                      SQLITE_TRANSIENT);
    QCOMPARE(sqlite3_step(statement), SQLITE_DONE);
    sqlite3_finalize(statement);
    sqlite3_close(db);
}

}  // namespace

class TestFinderTagSources : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup() { QDir(m_home->path("Library")).removeRecursively(); }
    void eachQueryCandidateIsTried_data();
    void eachQueryCandidateIsTried();
    void eachPlistShapeIsFound_data();
    void eachPlistShapeIsFound();
    void entryColourRules();
    void emptyTagArrayFallsThroughToLegacyPlist();
    void sqliteLogLinesAreExact();
    void unreadableDaemonContainersStillTriesTheRest();
    void containersAreSearchedByName();
    void legacyPlistLogLinesAreExact();
    void favoritesParseNamesAndColours();
    void hostileStoresAreRefused();
    void nestingIsCheckedBeforeParsing_data();
    void nestingIsCheckedBeforeParsing();

private:
    std::unique_ptr<TestHome> m_home;
};

void TestFinderTagSources::init() {
    if (!m_home) {
        m_home = std::make_unique<TestHome>();
    }
}

void TestFinderTagSources::eachQueryCandidateIsTried_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");
    QTest::newRow("first") << "ZSYDMANAGEDKEYVALUE"
                           << "ZPLISTDATAVALUE";
    QTest::newRow("second, misspelt column") << "ZSYDMANAGEDKEYVALUE"
                                             << "ZPLISTDATAVLUE";
    QTest::newRow("third, other table") << "ZSYSDMANAGEDKEYVALUE"
                                        << "ZPLISTDATAVALUE";
}

void TestFinderTagSources::eachQueryCandidateIsTried() {
    QFETCH(QString, table);
    QFETCH(QString, column);
    const QByteArray blob =
        serialize(wrap("FinderTags", tagArray({entry("Work", 4)})), Format::Binary);
    makeDatabase(m_home->path(kAppSupport), table.toUtf8(), column.toUtf8(), blob);
    const auto tags = readAllFinderTagsFromSQLite();
    QVERIFY(tags.has_value());
    QCOMPARE(*tags, FinderTagList({{"Work", 4}}));
}

void TestFinderTagSources::eachPlistShapeIsFound_data() {
    QTest::addColumn<int>("shape");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("logLine");
    for (int format : {int(Format::Binary), int(Format::Xml)}) {
        const char* suffix = format == int(Format::Binary) ? " binary" : " xml";
        QTest::newRow(QByteArray("top level") + suffix)
            << 0 << format << "[Orvane]   found FinderTags at top level";
        QTest::newRow(QByteArray("under value") + suffix)
            << 1 << format << "[Orvane]   found FinderTags under value";
        QTest::newRow(QByteArray("under values") + suffix)
            << 2 << format << "[Orvane]   found FinderTags under values.FinderTagDict.value";
    }
}

void TestFinderTagSources::eachPlistShapeIsFound() {
    QFETCH(int, shape);
    QFETCH(int, format);
    QFETCH(QString, logLine);
    plist_t array = tagArray({entry("Red"), entry("Home", 7)});
    plist_t root = shape == 0   ? wrap("FinderTags", array)
                   : shape == 1 ? wrap("value", wrap("FinderTags", array))
                                : legacyShape(array);
    LogCapture log;
    const auto tags = FinderTagParsing::parseFinderTagDictPlist(serialize(root, Format(format)));
    QVERIFY(tags.has_value());
    QCOMPARE(*tags, FinderTagList({{"Red", 6}, {"Home", 7}}));
    QVERIFY2(log.lines().contains(logLine), qPrintable(log.lines().join("\n")));
}

void TestFinderTagSources::entryColourRules() {
    plist_t floatEntry = entry("Blue-ish");
    plist_dict_set_item(floatEntry, "l", plist_new_real(3.7));
    plist_t floatNamed = entry("Green");
    plist_dict_set_item(floatNamed, "l", plist_new_real(3.7));
    plist_t textColour = entry("Yellow");
    plist_dict_set_item(textColour, "l", plist_new_string("4"));
    // Not-a-number and a value beyond 64 bits are no colour: the name decides.
    plist_t notANumber = entry("Orange");
    plist_dict_set_item(notANumber, "l", plist_new_real(std::nan("")));
    plist_t huge = entry("Purple");
    plist_dict_set_item(huge, "l", plist_new_real(1e19));
    plist_t array =
        tagArray({entry("Red"), entry("red"), entry("Anything", 4), entry("", 4), entry(nullptr, 2),
                  entry("ByC", {}, 5), entry("Both", 1, 5), floatEntry, floatNamed, textColour,
                  entry("Negative", -2), notANumber, huge});
    plist_t copy = plist_copy(array);
    const auto fromDatabase = FinderTagParsing::parseFinderTagDictPlist(
        serialize(wrap("FinderTags", array), Format::Binary));
    QVERIFY(fromDatabase.has_value());
    QCOMPARE(*fromDatabase, FinderTagList({{"Red", 6},
                                           {"red", 0},
                                           {"Anything", 4},
                                           {"ByC", 5},
                                           {"Both", 1},
                                           {"Blue-ish", 3},
                                           {"Green", 3},
                                           {"Yellow", 5},
                                           {"Negative", -2},
                                           {"Orange", 7},
                                           {"Purple", 3}}));

    // The legacy file takes only integers: the fraction falls through to the name table.
    m_home->writeFile(kFinderPlist, serialize(legacyShape(copy), Format::Xml));
    const auto legacy = readAllFinderTagsFromLegacyPlist();
    QVERIFY(legacy.has_value());
    QCOMPARE(legacy->at(5), FinderTag({"Blue-ish", 0}));
    QCOMPARE(legacy->at(6), FinderTag({"Green", 2}));
}

void TestFinderTagSources::emptyTagArrayFallsThroughToLegacyPlist() {
    makeDatabase(m_home->path(kSynced), "ZSYDMANAGEDKEYVALUE", "ZPLISTDATAVALUE",
                 serialize(wrap("FinderTags", plist_new_array()), Format::Binary));
    m_home->writeFile(kFinderPlist,
                      serialize(legacyShape(tagArray({entry("Legacy", 2)})), Format::Binary));
    LogCapture log;
    QCOMPARE(readAllFinderTags(), FinderTagList({{"Legacy", 2}}));
    const QStringList lines = log.lines();
    QVERIFY(lines.contains("[Orvane] readAllFinderTagsFromSQLite: success at path above, 0 tags"));
    QVERIFY(
        lines.contains("[Orvane] readAllFinderTags: SQLite returned nothing, trying legacy plist"));
    QVERIFY(lines.contains("[Orvane] readAllFinderTags: got 1 tags from legacy plist"));
}

void TestFinderTagSources::sqliteLogLinesAreExact() {
    const QString home = m_home->home();
    QDir().mkpath(home + "/Library/Daemon Containers/A/Data");
    QDir().mkpath(home + "/Library/Daemon Containers/B");
    const QString daemonStore = home + "/Library/Daemon Containers/A/Data/" + kStore;
    makeDatabase(
        daemonStore, "ZSYSDMANAGEDKEYVALUE", "ZPLISTDATAVALUE",
        serialize(wrap("FinderTags", tagArray({entry("Red"), entry("Work")})), Format::Binary));
    // A database whose blob is no property list fails and the next path is tried.
    makeDatabase(home + "/" + kSynced, "ZSYDMANAGEDKEYVALUE", "ZPLISTDATAVALUE", "not a plist");

    LogCapture log;
    QCOMPARE(readAllFinderTags(), FinderTagList({{"Red", 6}, {"Work", 0}}));
    const QStringList expected = {
        "[Orvane] readAllFinderTags: starting\u2026",
        "[Orvane] readAllFinderTagsFromSQLite: home = " + home,
        "[Orvane] readAllFinderTagsFromSQLite: Daemon Containers has 2 dir(s)",
        "[Orvane]   found: " + daemonStore,
        "[Orvane] readAllFinderTagsFromSQLite: checking 3 path(s)",
        "[Orvane]   exists: " + home + "/" + kSynced,
        // The other two candidates of that database do not prepare (no such column, table).
        "[Orvane]   parseFinderTagDictPlist: plist deserialize failed",
        "[Orvane]   \u2192 sqlite read/parse failed for this path",
        "[Orvane]   missing: " + home + "/" + kAppSupport,
        "[Orvane]   exists: " + daemonStore,
        "[Orvane]   parseFinderTagDictPlist: top-level keys: FinderTags",
        "[Orvane]   found FinderTags at top level",
        "[Orvane] readAllFinderTagsFromSQLite: success at path above, 2 tags",
        "[Orvane] readAllFinderTags: got 2 tags from SQLite",
    };
    QCOMPARE(log.lines(), expected);
}

void TestFinderTagSources::unreadableDaemonContainersStillTriesTheRest() {
    // A file where the folder should be: it exists but cannot be listed, even by root.
    m_home->writeFile("Library/Daemon Containers", "x");
    makeDatabase(m_home->path(kAppSupport), "ZSYDMANAGEDKEYVALUE", "ZPLISTDATAVALUE",
                 serialize(wrap("FinderTags", tagArray({entry("Work")})), Format::Xml));
    LogCapture log;
    QCOMPARE(readAllFinderTagsFromSQLite().value_or(FinderTagList()), FinderTagList({{"Work", 0}}));
    QCOMPARE(log.lines().count(
                 "[Orvane] readAllFinderTagsFromSQLite: Daemon Containers not readable (permission "
                 "denied). Grant Full Disk Access in System Settings \u2192 Privacy & Security to "
                 "load all Finder tags."),
             1);
}

void TestFinderTagSources::containersAreSearchedByName() {
    const QString tail = "/Data/Library/Application Support/" + kStore;
    const QByteArray blob =
        serialize(wrap("FinderTags", tagArray({entry("Found")})), Format::Binary);
    makeDatabase(m_home->path("Library/Containers/org.example.app" + tail), "ZSYDMANAGEDKEYVALUE",
                 "ZPLISTDATAVALUE", blob);
    QVERIFY(!readAllFinderTagsFromSQLite().has_value());
    makeDatabase(m_home->path("Library/Containers/my.kvs.helper" + tail), "ZSYDMANAGEDKEYVALUE",
                 "ZPLISTDATAVALUE", blob);
    QCOMPARE(readAllFinderTagsFromSQLite().value_or(FinderTagList()),
             FinderTagList({{"Found", 0}}));
}

void TestFinderTagSources::legacyPlistLogLinesAreExact() {
    const QString path = m_home->path(kFinderPlist);
    {
        LogCapture log;
        QVERIFY(!readAllFinderTagsFromLegacyPlist());
        QCOMPARE(log.lines(), QStringList({"[Orvane] readAllFinderTagsFromLegacyPlist: " + path,
                                           "[Orvane]   file exists: false"}));
    }
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "values", wrap("Other", plist_new_dict()));
    plist_dict_set_item(root, "more", plist_new_bool(1));
    const QByteArray bytes = serialize(root, Format::Xml);
    m_home->writeFile(kFinderPlist, bytes);
    LogCapture log;
    QVERIFY(!readAllFinderTagsFromLegacyPlist());
    QCOMPARE(log.lines(),
             QStringList({"[Orvane] readAllFinderTagsFromLegacyPlist: " + path,
                          "[Orvane]   file exists: true",
                          QString("[Orvane]   read %1 bytes").arg(bytes.size()),
                          "[Orvane]   values has no 'FinderTagDict' (values keys: Other)"}));

    LogCapture empty;
    QCOMPARE(FinderTagParsing::parseFinderTagDictPlist(serialize(plist_new_dict(), Format::Binary)),
             std::nullopt);
    QCOMPARE(empty.lines(),
             QStringList({"[Orvane]   parseFinderTagDictPlist: top-level keys: ",
                          "[Orvane]   no FinderTags array found in plist structure"}));
}

void TestFinderTagSources::favoritesParseNamesAndColours() {
    plist_t names = plist_new_array();
    for (const char* text : {"Client\n4", "Green", "Odd\nq", "Blue\n", "\nSkipped", "",
                             "Many\n3\nx", "Huge\n99999999999999999999", "Signed\n-2"}) {
        plist_array_append_item(names, plist_new_string(text));
    }
    m_home->writeFile(kFinderPlist, serialize(wrap("FavoriteTagNames", names), Format::Binary));
    QCOMPARE(readFavoriteFinderTags(), FinderTagList({{"Client", 4},
                                                      {"Green", 2},
                                                      {"Odd", 0},
                                                      {"Blue", 4},
                                                      {"Many", 3},
                                                      {"Huge", 0},
                                                      {"Signed", -2}}));

    plist_t mixed = plist_new_array();
    plist_array_append_item(mixed, plist_new_string("Fine"));
    plist_array_append_item(mixed, plist_new_uint(3));
    m_home->writeFile(kFinderPlist, serialize(wrap("FavoriteTagNames", mixed), Format::Xml));
    QVERIFY(readFavoriteFinderTags().isEmpty());
}

void TestFinderTagSources::hostileStoresAreRefused() {
    LogCapture log;
    // Deep nesting, a huge array of wrong types, garbage, and a truncated binary list.
    QByteArray deep = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
    for (int i = 0; i < 5000; ++i)
        deep += "<array>";
    for (int i = 0; i < 5000; ++i)
        deep += "</array>";
    deep += "</plist>";
    QVERIFY(!FinderTagParsing::parseFinderTagDictPlist(deep));
    plist_t wrong = plist_new_array();
    for (int i = 0; i < 100000; ++i) {
        plist_array_append_item(wrong, plist_new_uint(static_cast<uint64_t>(i)));
    }
    QVERIFY(!FinderTagParsing::parseFinderTagDictPlist(
        serialize(wrap("FinderTags", wrong), Format::Binary)));
    QVERIFY(!FinderTagParsing::parseFinderTagDictPlist("bplist00\xff\xff\xff"));
    // Text with a NUL character inside, which the plist library cannot hand back safely.
    static const char nulText[] =
        "<plist><dict><key>FinderTags</key><array><dict><key>n</key>"
        "<string>Red\0\0</string></dict></array></dict></plist>";
    const QByteArray nul(nulText, sizeof nulText - 1);
    QVERIFY(!FinderTagParsing::parseFinderTagDictPlist(nul));
    QVERIFY(!FinderTagParsing::parseFinderTagDictPlist(
        "<plist><dict><key>FinderTags</key><array><dict><key>n</key><string>R&#x0;d</string>"
        "</dict></array></dict></plist>"));
    QVERIFY(!FinderTagParsing::parseFinderTagDictPlist(QByteArray(4096, '\0')));
    // The same in a binary list, where a name outside ASCII is stored as UTF-16: "éAx" with
    // its A turned into a NUL character.
    QByteArray wide = serialize(wrap("FinderTags", tagArray({entry("\xc3\xa9"
                                                                   "Ax",
                                                                   1)})),
                                Format::Binary);
    const QByteArray utf16("\x00\xe9\x00\x41\x00\x78", 6);
    QCOMPARE(wide.count(utf16), 1);
    QVERIFY(FinderTagParsing::parseFinderTagDictPlist(wide).has_value());
    wide.replace(utf16, QByteArray("\x00\xe9\x00\x00\x00\x78", 6));
    QVERIFY(!FinderTagParsing::parseFinderTagDictPlist(wide));
    QByteArray truncated = serialize(wrap("FinderTags", tagArray({entry("A", 1)})), Format::Binary);
    truncated.chop(10);
    QVERIFY(!FinderTagParsing::parseFinderTagDictPlist(truncated).has_value() ||
            FinderTagParsing::parseFinderTagDictPlist(truncated)->size() <= 1);
    m_home->writeFile(kAppSupport, "SQLite format 3\0garbage garbage garbage");
    QVERIFY(!readAllFinderTagsFromSQLite().has_value());
    // The right table with the value stored as text or a number instead of a blob.
    const QString typed = m_home->path("Library/SyncedPreferences/" + kStore);
    QDir().mkpath(QFileInfo(typed).absolutePath());
    sqlite3* db = nullptr;
    sqlite3_open(typed.toUtf8().constData(), &db);
    sqlite3_exec(db,
                 "CREATE TABLE ZSYDMANAGEDKEYVALUE (ZKEY TEXT, ZPLISTDATAVALUE);"
                 "INSERT INTO ZSYDMANAGEDKEYVALUE VALUES ('FinderTagDict', 42);",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    QVERIFY(!readFinderTagDictFromDatabase(typed).has_value());
}

namespace {

// Arrays nested `levels` deep, written by hand so that no library has to build or free them;
// with `cycle` the innermost array refers back to the outermost.
QByteArray nestedBinary(int levels, bool cycle = false) {
    QByteArray bytes("bplist00");
    QList<quint32> offsets;
    for (int i = 0; i < levels; ++i) {
        offsets.append(static_cast<quint32>(bytes.size()));
        const bool last = i == levels - 1;
        if (last && !cycle) {
            bytes.append('\xA0');
            continue;
        }
        bytes.append('\xA1');
        const quint32 ref = last ? 0 : static_cast<quint32>(i + 1);
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.append(static_cast<char>((ref >> shift) & 0xFF));
    }
    const auto table = static_cast<quint64>(bytes.size());
    for (const quint32 offset : offsets)
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.append(static_cast<char>((offset >> shift) & 0xFF));
    QByteArray trailer(32, '\0');
    trailer[6] = 4;
    trailer[7] = 4;
    for (int i = 0; i < 8; ++i) {
        trailer[8 + i] = static_cast<char>((static_cast<quint64>(levels) >> (56 - 8 * i)) & 0xFF);
        trailer[24 + i] = static_cast<char>((table >> (56 - 8 * i)) & 0xFF);
    }
    return bytes + trailer;
}

QByteArray nestedXml(int levels, const QByteArray& open = "<array>") {
    return "<?xml version=\"1.0\"?><!DOCTYPE plist><plist version=\"1.0\">" +
           open.repeated(levels - 1) + QByteArray("</array>").repeated(levels - 1) + "</plist>";
}

}  // namespace

void TestFinderTagSources::nestingIsCheckedBeforeParsing_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("accepted");
    const int most = PropertyListScreen::kMaxDepth;
    QTest::newRow("binary at the limit") << nestedBinary(most) << true;
    QTest::newRow("binary one deeper") << nestedBinary(most + 1) << false;
    QTest::newRow("binary 200,000 deep") << nestedBinary(200000) << false;
    QTest::newRow("binary cycle") << nestedBinary(3, true) << false;
    QTest::newRow("xml at the limit") << nestedXml(most) << true;
    QTest::newRow("xml one deeper") << nestedXml(most + 1) << false;
    QTest::newRow("xml 200,000 deep") << nestedXml(200000) << false;
    QTest::newRow("xml opening tags hidden in quotes")
        << nestedXml(most + 1, "<array x=\"/>\">") << false;
    QTest::newRow("xml empty arrays side by side")
        << "<plist><array>" + QByteArray("<array/>").repeated(5000) + "</array></plist>" << true;
}

void TestFinderTagSources::nestingIsCheckedBeforeParsing() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, accepted);
    QCOMPARE(PropertyList::fromBytes(bytes).has_value(), accepted);
}

QTEST_GUILESS_MAIN(TestFinderTagSources)
#include "tst_findertagsources.moc"
