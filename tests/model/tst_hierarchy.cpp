#include "TestHome.h"
#include "model/HierarchyCodec.h"
#include "model/HierarchyFile.h"
#include "model/TagNode.h"
#include "model/TagTree.h"

#include <sys/resource.h>
#include <QFile>
#include <QtTest>

#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

class TestHierarchy : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { m_home = std::make_unique<TestHome>(); }
    void writerProducesExactLayout();
    void roundTripKeepsEveryField();
    void readerRefusesBrokenTrees_data();
    void readerRefusesBrokenTrees();
    void hostileNestingIsRefusedAtOnce();
    void readerAcceptsNullsUnknownMembersAndLowerCaseIds();
    void equalityAndHashCoverEveryField();
    void saveReplacesFileAndFailedSaveKeepsIt();
    void readerKeepsExactlyTheDeepestTree();
    void saveSyncsBeforeItReplaces();

private:
    std::unique_ptr<TestHome> m_home;
};

static TagNode node(const char* id, const QString& name, qint64 color) {
    TagNode n;
    n.id = QUuid::fromString(QString::fromLatin1(id));
    n.name = name;
    n.colorIndex = color;
    return n;
}

void TestHierarchy::writerProducesExactLayout() {
    TagNode root = node("6f1c2a3b-0d4e-4f5a-8b6c-7d8e9f0a1b2c", "Projects", 4);
    root.iconName = "folder.fill";
    root.customColorHex = "FF8000";
    root.customIconData = QByteArray("\xff\xfe\xfd", 3);
    root.children.append(node("00000000-0000-4000-8000-00000000000A", "Client/A", 0));

    const QByteArray expected =
        "[\n"
        "  {\n"
        "    \"children\" : [\n"
        "      {\n"
        "        \"children\" : [\n"
        "\n"
        "        ],\n"
        "        \"colorIndex\" : 0,\n"
        "        \"id\" : \"00000000-0000-4000-8000-00000000000A\",\n"
        "        \"name\" : \"Client\\/A\"\n"
        "      }\n"
        "    ],\n"
        "    \"colorIndex\" : 4,\n"
        "    \"customColorHex\" : \"FF8000\",\n"
        "    \"customIconData\" : \"\\/\\/79\",\n"
        "    \"iconName\" : \"folder.fill\",\n"
        "    \"id\" : \"6F1C2A3B-0D4E-4F5A-8B6C-7D8E9F0A1B2C\",\n"
        "    \"name\" : \"Projects\"\n"
        "  }\n"
        "]";
    QCOMPARE(HierarchyCodec::encode({root}), expected);
    QCOMPARE(HierarchyCodec::encode({}), QByteArray("[\n\n]"));
}

void TestHierarchy::roundTripKeepsEveryField() {
    TagNode root = TagNode::make(QString::fromUtf8("Café \"quoted\" / 東京 \\ \t"), -3);
    QByteArray image;
    for (int i = 0; i < 256; ++i) {
        image.append(static_cast<char>(i));
    }
    root.customIconData = image;
    root.iconName = "tag.fill";
    TagNode child = TagNode::make("Kind", 99);
    child.customColorHex = "zzzzzz";
    child.children.append(TagNode::make("Grandchild", 1));
    root.children.append(child);
    // Control characters (pasted into a name) must still give a file JSON readers accept.
    const QList<TagNode> forest{root, TagNode::make(QString("Second\x01\x1f\x7f"), 7)};

    const QByteArray bytes = HierarchyCodec::encode(forest);
    QVERIFY(bytes.contains("Caf\xc3\xa9"));  // non-ASCII text is written as UTF-8
    const auto decoded = HierarchyCodec::decode(bytes);
    QVERIFY(decoded.has_value());
    QCOMPARE(*decoded, forest);
}

void TestHierarchy::readerRefusesBrokenTrees_data() {
    QTest::addColumn<QByteArray>("json");
    // A root holding one child whose members are `members` (its id first unless told).
    auto child = [](const QByteArray& members, bool withId = true) {
        const QByteArray id = withId ? R"("id":"6F1C2A3B-0D4E-4F5A-8B6C-7D8E9F0A1B2C",)" : "";
        return R"([{"id":"00000000-0000-4000-8000-00000000000A","name":"r","colorIndex":0,)"
               R"("children":[{)" +
               id + members + "}]}]";
    };
    const QByteArray rest = R"(,"colorIndex":1,"children":[])";
    QTest::newRow("not an array") << QByteArray(R"({"id":"x"})");
    QTest::newRow("truncated") << child(R"("name":"c")" + rest).chopped(3);
    QTest::newRow("child without children") << child(R"("name":"c","colorIndex":1)");
    QTest::newRow("child without id") << child(R"("name":"c")" + rest, false);
    QTest::newRow("child without name") << child(R"("colorIndex":1,"children":[])");
    QTest::newRow("child without colour") << child(R"("name":"c","children":[])");
    QTest::newRow("malformed uuid")
        << child(R"("id":"6F1C2A3B-0D4E-4F5A-8B6C-7D8E9F0A1B2","name":"c")" + rest, false);
    QTest::newRow("braced uuid") << child(
        R"("id":"{6F1C2A3B-0D4E-4F5A-8B6C-7D8E9F0A1B2C}","name":"c")" + rest, false);
    QTest::newRow("bad base64") << child(R"("name":"c","customIconData":"ab$d")" + rest);
    QTest::newRow("unpadded base64") << child(R"("name":"c","customIconData":"abc")" + rest);
    QTest::newRow("colour as text") << child(R"("name":"c","colorIndex":"1","children":[])");
    QTest::newRow("colour beyond 64 bits")
        << child(R"("name":"c","colorIndex":18446744073709551615,"children":[])");
    QTest::newRow("colour as fraction") << child(R"("name":"c","colorIndex":1.5,"children":[])");
    QTest::newRow("name as number") << child(R"("name":3)" + rest);
    QTest::newRow("icon name as number") << child(R"("name":"c","iconName":5)" + rest);
    QTest::newRow("children as object") << child(R"("name":"c","colorIndex":1,"children":{})");
    QTest::newRow("invalid utf-8") << QByteArray(
        "[{\"id\":\"00000000-0000-4000-8000-00000000000A\",\"name\":\"\xff\",\"colorIndex\":0,"
        "\"children\":[]}]");
    QTest::newRow("hostile nesting") << QByteArray(100000, '[') + QByteArray(100000, ']');
    QTest::newRow("empty file") << QByteArray();
}

void TestHierarchy::readerRefusesBrokenTrees() {
    QFETCH(QByteArray, json);
    QVERIFY(!HierarchyCodec::decode(json).has_value());
}

void TestHierarchy::hostileNestingIsRefusedAtOnce() {
    // Four million nested arrays would take seconds and gigabytes to parse; a file like that
    // must not stall the start. It is refused before anything is built: in a child process
    // that may not grow by more than 64 MB (not under the address sanitizer, which reserves
    // the address space it needs up front).
    const QByteArray json = QByteArray(4'000'000, '[') + QByteArray(4'000'000, ']');
#ifdef __SANITIZE_ADDRESS__
    QVERIFY(!HierarchyCodec::decode(json).has_value());
#else
    const pid_t child = fork();
    if (child == 0) {
        QFile statm("/proc/self/statm");
        statm.open(QIODevice::ReadOnly);
        const rlim_t used = statm.readAll().split(' ').value(0).toULongLong() *
                            static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
        const rlimit limit{used + (64u << 20), used + (64u << 20)};
        setrlimit(RLIMIT_AS, &limit);
        try {
            _exit(HierarchyCodec::decode(json).has_value() ? 1 : 0);
        } catch (...) {
            _exit(2);  // out of memory: it was being built
        }
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0, "the nesting was parsed");
#endif
}

void TestHierarchy::readerAcceptsNullsUnknownMembersAndLowerCaseIds() {
    const QByteArray json = R"( [ { "id" : "6f1c2a3b-0d4e-4f5a-8b6c-7d8e9f0a1b2c", "name" : "a\/b",
        "colorIndex" : 9, "children" : [ ], "iconName" : null, "customColorHex" : null,
        "extra" : {"anything": [1, 2]} } ] )";
    const auto decoded = HierarchyCodec::decode(json);
    QVERIFY(decoded.has_value());
    QCOMPARE(decoded->size(), 1);
    const TagNode& n = decoded->first();
    QCOMPARE(n.name, QString("a/b"));
    QCOMPARE(n.colorIndex, 9);
    QVERIFY(!n.iconName && !n.customColorHex && !n.customIconData);
    const QByteArray again = HierarchyCodec::encode(*decoded);
    QVERIFY(again.contains("\"id\" : \"6F1C2A3B-0D4E-4F5A-8B6C-7D8E9F0A1B2C\""));
    QVERIFY(!again.contains("extra"));
    QVERIFY(!again.contains("null"));
}

void TestHierarchy::equalityAndHashCoverEveryField() {
    const TagNode base = node("6f1c2a3b-0d4e-4f5a-8b6c-7d8e9f0a1b2c", "A", 1);
    QList<TagNode> variants;
    for (int i = 0; i < 7; ++i) {
        variants.append(base);
    }
    variants[0].name = "a";
    variants[1].colorIndex = 2;
    variants[2].children.append(node("00000000-0000-4000-8000-00000000000A", "c", 0));
    variants[3].iconName = "tag.fill";
    variants[4].customIconData = QByteArray("x");
    variants[5].customColorHex = "000000";
    variants[6].id = QUuid::createUuid();
    for (const TagNode& variant : variants) {
        QVERIFY(!(variant == base));
        QVERIFY(qHash(variant) != qHash(base));
    }
    TagNode bytesA = base, bytesB = base;
    bytesA.customIconData = QByteArray("ab");
    bytesB.customIconData = QByteArray("ac");
    QVERIFY(!(bytesA == bytesB));

    TagNode ordered = base, reversed = base;
    const TagNode x = node("00000000-0000-4000-8000-00000000000A", "x", 0);
    const TagNode y = node("00000000-0000-4000-8000-00000000000B", "y", 0);
    ordered.children = {x, y};
    reversed.children = {y, x};
    QVERIFY(!(ordered == reversed));
    TagNode copy = ordered;
    QVERIFY(copy == ordered);
    QCOMPARE(qHash(copy), qHash(ordered));
}

void TestHierarchy::saveReplacesFileAndFailedSaveKeepsIt() {
    const QString path = HierarchyFile::hierarchyFilePath();
    QVERIFY(path.startsWith(m_home->dataDir()));
    QVERIFY(!HierarchyFile::save({TagNode::make("First", 1)}));
    const auto first = HierarchyFile::read();
    QCOMPARE(first.status, HierarchyFile::ReadStatus::Read);

    // A full disk, simulated with a file size limit that holds for root too: the save fails
    // and the old bytes stay.
    signal(SIGXFSZ, SIG_IGN);
    rlimit original{};
    getrlimit(RLIMIT_FSIZE, &original);
    rlimit tiny = original;
    tiny.rlim_cur = 16;
    setrlimit(RLIMIT_FSIZE, &tiny);
    const bool saved = !HierarchyFile::save({TagNode::make("Second", 2)});
    setrlimit(RLIMIT_FSIZE, &original);
    QVERIFY(!saved);
    QCOMPARE(HierarchyFile::read().bytes, first.bytes);
    // The temporary file of the failed write is gone.
    QCOMPARE(QDir(m_home->dataDir()).entryList(QDir::Files | QDir::Hidden),
             QStringList({"hierarchy.json"}));
}

void TestHierarchy::readerKeepsExactlyTheDeepestTree() {
    auto chain = [](int levels) {
        TagNode node = TagNode::make("leaf", 0);
        for (int level = 1; level < levels; ++level) {
            TagNode parent = TagNode::make("level", 0);
            parent.children.append(node);
            node = parent;
        }
        return QList<TagNode>{node};
    };
    const QList<TagNode> deepest = chain(TagTree::kMaxLevels);
    QCOMPARE(HierarchyCodec::decode(HierarchyCodec::encode(deepest)), deepest);
    QVERIFY(!HierarchyCodec::decode(HierarchyCodec::encode(chain(TagTree::kMaxLevels + 1))));
    QCOMPARE(TagTree::kMaxLevels, 256);
}

namespace {

// What the save asked of the kernel, in order: the test binary's own fsync and rename stand
// in for the C library's and pass the calls on.
QStringList g_fileCalls;

}  // namespace

extern "C" int fsync(int fd) {
    g_fileCalls.append("fsync");
    return static_cast<int>(syscall(SYS_fsync, fd));
}

extern "C" int rename(const char* from, const char* to) {
    g_fileCalls.append("rename");
    return static_cast<int>(syscall(SYS_renameat, AT_FDCWD, from, AT_FDCWD, to));
}

void TestHierarchy::saveSyncsBeforeItReplaces() {
    g_fileCalls.clear();
    QVERIFY(!HierarchyFile::save({TagNode::make("Synced", 1)}));
    // The new bytes reach the disk before they replace the old file, then the folder's entry.
    QCOMPARE(g_fileCalls, QStringList({"fsync", "rename", "fsync"}));
}

QTEST_GUILESS_MAIN(TestHierarchy)
#include "tst_hierarchy.moc"
