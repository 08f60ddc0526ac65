#include "FakeServices.h"
#include "LogCapture.h"
#include "PlistBuilder.h"
#include "TestHome.h"
#include "model/HierarchyCodec.h"
#include "model/HierarchyFile.h"
#include "state/AppViewModel.h"
#include "state/TreeSaves.h"

#include <QDir>
#include <QElapsedTimer>
#include <QtTest>

#include <sys/stat.h>
#include <sys/xattr.h>

using namespace PlistBuilder;

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { m_home = std::make_unique<TestHome>(); }
    void init();
    void freshStartMergesSystemTags();
    void aMergeSavedBehindNeverLandsOverAnEdit();
    void namesAnywhereInTheTreeAreNotDuplicated();
    void favoritesFallbackSuggestsFullDiskAccess();
    void tagsOnFilesJoinTheTreeWithoutABanner();
    void afterTheCrawlOnlyChangedListsReload();
    void namesGoneFromFilesLeaveAgain_data();
    void namesGoneFromFilesLeaveAgain();
    void damagedFileIsKeptAsideBeforeTheFirstSave();
    void sortedChildrenAreStable();
    void repeatedAndEmptyIdsGetFreshOnes();
    void hostileTreeFilesAreNeverOverwritten_data();
    void hostileTreeFilesAreNeverOverwritten();
    void linkedTreeFileIsSavedAtItsTarget();

private:
    void writeSystemTags(std::initializer_list<plist_t> entries) {
        m_home->writeFile("Library/SyncedPreferences/com.apple.finder.plist",
                          serialize(legacyShape(tagArray(entries)), Format::Xml));
    }
    std::unique_ptr<AppViewModel> start() {
        return std::make_unique<AppViewModel>(m_services.services(),
                                              AppViewModel::Startup::LoadHierarchy);
    }
    static QStringList loadLines(const QStringList& lines) {
        return lines.filter("[Orvane] loadHierarchy:");
    }

    std::unique_ptr<TestHome> m_home;
    FakeServices m_services;
};

void TestStartup::init() {
    QDir(m_home->dataDir()).removeRecursively();
    QDir(m_home->path("Library")).removeRecursively();
}

void TestStartup::freshStartMergesSystemTags() {
    writeSystemTags({entry("Red"), entry("Work", 4), entry("")});
    LogCapture log;
    const auto model = start();
    QCOMPARE(model->hierarchy().size(), 2);
    QCOMPARE(model->hierarchy()[0].name, QString("Red"));
    QCOMPARE(model->hierarchy()[0].colorIndex, 6);
    QCOMPARE(model->hierarchy()[1].name, QString("Work"));
    QCOMPARE(model->hierarchy()[1].colorIndex, 4);
    QVERIFY(model->hierarchy()[0].id != model->hierarchy()[1].id);
    QVERIFY(model->hierarchy()[1].children.isEmpty() && !model->hierarchy()[1].iconName);
    QVERIFY(!model->suggestFullDiskAccess());
    QCOMPARE(loadLines(log.lines()),
             QStringList({"[Orvane] loadHierarchy: starting",
                          "[Orvane] loadHierarchy: no saved hierarchy file",
                          "[Orvane] loadHierarchy: existing tag names in hierarchy: 0",
                          "[Orvane] loadHierarchy: readAllFinderTags returned 2 tags",
                          "[Orvane] loadHierarchy: merged 2 new system tags (already had 0)",
                          "[Orvane] loadHierarchy: done. Root-level tags now: 2"}));
    const auto saved = HierarchyFile::read();
    QCOMPARE(HierarchyCodec::decode(saved.bytes).value(), model->hierarchy());

    // The next start loads the same tree and merges nothing new.
    LogCapture again;
    const auto second = start();
    QCOMPARE(second->hierarchy(), model->hierarchy());
    QVERIFY(again.lines().contains(
        "[Orvane] loadHierarchy: loaded 2 root nodes from disk (2 total tag names in tree)"));
    QVERIFY(
        again.lines().contains("[Orvane] loadHierarchy: merged 0 new system tags (already had 2)"));
}

void TestStartup::aMergeSavedBehindNeverLandsOverAnEdit() {
    // The merge's save runs on a thread of its own; an edit saved right after it, while it may
    // still be writing, is what the file holds at the end, every time.
    const auto saved = [] { return HierarchyCodec::decode(HierarchyFile::read().bytes).value(); };
    QList<TagNode> merged;
    for (int i = 0; i < 2000; ++i) {
        merged.append(TagNode::make(QString("name %1").arg(i), 0));
    }
    const QList<TagNode> edit = merged.mid(0, 1);
    TreeSaves saves;
    for (int round = 0; round < 20; ++round) {
        saves.saveInBackground(merged);
        if (round % 2 == 0) {
            QThread::usleep(500 * round);  // the edit comes while the merge writes, or before
        }
        QCOMPARE(saves.save(edit), std::nullopt);
        saves.wait();
        QCOMPARE(saved(), edit);
    }
    saves.saveInBackground(merged);  // alone, it lands
    saves.wait();
    QCOMPARE(saved().size(), 2000);
}

void TestStartup::namesAnywhereInTheTreeAreNotDuplicated() {
    TagNode projects = TagNode::make("Projects", 0);
    projects.children.append(TagNode::make("Work", 2));
    projects.children.append(TagNode::make("Work", 3));
    HierarchyFile::save({projects, TagNode::make("home", 0)});
    writeSystemTags({entry("Work"), entry("Home"), entry("Projects")});
    LogCapture log;
    const auto model = start();
    QCOMPARE(model->hierarchy().size(), 3);
    QCOMPARE(model->hierarchy()[2].name, QString("Home"));  // case matters
    QVERIFY(log.lines().contains(
        "[Orvane] loadHierarchy: loaded 2 root nodes from disk (4 total tag names in tree)"));
    QVERIFY(log.lines().contains("[Orvane] loadHierarchy: existing tag names in hierarchy: 3"));
    QVERIFY(
        log.lines().contains("[Orvane] loadHierarchy: merged 1 new system tags (already had 3)"));

    // A name spelled decomposed, as the system lists it, is merged once, not at every start;
    // a composed spelling of it is the same name.
    HierarchyFile::save({});
    writeSystemTags({entry("Cafe\u0301"), entry("Caf\u00e9")});
    QCOMPARE(start()->hierarchy().size(), 1);
    QCOMPARE(start()->hierarchy().size(), 1);
}

void TestStartup::favoritesFallbackSuggestsFullDiskAccess() {
    plist_t names = plist_new_array();
    plist_array_append_item(names, plist_new_string("Green"));
    plist_array_append_item(names, plist_new_string("Client\n4"));
    m_home->writeFile("Library/SyncedPreferences/com.apple.finder.plist",
                      serialize(wrap("FavoriteTagNames", names), Format::Binary));
    LogCapture log;
    const auto model = start();
    QVERIFY(model->suggestFullDiskAccess());
    QCOMPARE(model->hierarchy().size(), 2);
    QCOMPARE(model->hierarchy()[1].colorIndex, 4);
    QVERIFY(log.lines().contains("[Orvane] loadHierarchy: using favorites fallback (2 tags)"));
    QVERIFY(log.lines().filter("merged").isEmpty());
}

void TestStartup::tagsOnFilesJoinTheTreeWithoutABanner() {
    TagNode root = TagNode::make("Root", 2);
    root.children.append(TagNode::make("Existing", 1));
    HierarchyFile::save({root, TagNode::make("Caf\u00e9", 3)});
    m_services.query.tagNamesOnFiles = {"zeta", "Alpha", "Cafe\u0301", "existing", "Existing"};
    LogCapture log;
    const auto model = start();
    QVERIFY(!model->suggestFullDiskAccess());  // no ~/Library: nothing to grant access to
    model->waitForFileWork();
    QStringList roots;
    for (const TagNode& node : model->hierarchy()) {
        roots.append(node.name);
    }
    // Appended at the root in name order; a name anywhere in the tree, in any spelling, once.
    QCOMPARE(roots, QStringList({"Root", "Caf\u00e9", "Alpha", "existing", "zeta"}));
    QCOMPARE(model->hierarchy()[2].colorIndex, 0);
    QCOMPARE(HierarchyCodec::decode(HierarchyFile::read().bytes).value(), model->hierarchy());
    QVERIFY(log.lines().contains(
        "[Orvane] loadHierarchy: merged 3 new tags found on your files (5 names on files)"));
    m_services.query.tagNamesOnFiles.clear();
}

void TestStartup::afterTheCrawlOnlyChangedListsReload() {
    // The first answers come from the index's store; when its crawl is done it names the
    // answers that changed, and names first seen on files join the tree.
    TagNode alpha = TagNode::make("Alpha", 1);
    alpha.children.append(TagNode::make("Beta", 2));
    HierarchyFile::save({alpha});
    const QString folder = m_home->path("files");
    QDir(folder).removeRecursively();
    m_home->writeFile("files/old.txt", "x");
    setxattr(QFile::encodeName(folder + "/old.txt").constData(), "user.xdg.tags", "Alpha,Beta", 10,
             0);
    m_services.query.autoAnswerFolder = folder;
    m_services.query.tagNamesOnFiles = {"Alpha", "Beta"};
    const auto model = start();
    model->waitForFileWork();
    model->setMatchAllTags(false);
    model->openTag(alpha.id, 0);
    model->openTag(alpha.children[0].id, 1);
    QTRY_VERIFY(model->loadingTagIDs().isEmpty() && model->filesPerTag().size() == 2);

    m_home->writeFile("files/new.txt", "x");
    setxattr(QFile::encodeName(folder + "/new.txt").constData(), "user.xdg.tags", "Alpha,Beta", 10,
             0);
    m_services.query.tagNamesOnFiles = {"Alpha", "Beta", "Gamma"};
    const qsizetype asked = m_services.query.askedNames().size();
    LogCapture log;
    m_services.query.refreshed({"Alpha"});
    QTRY_COMPARE(model->filesPerTag().value(alpha.id).size(), 2);
    model->waitForFileWork();
    QTRY_COMPARE(model->hierarchy().size(), 2);
    QCOMPARE(model->hierarchy()[1].name, QString("Gamma"));
    QVERIFY(m_services.query.lastNamesCrawled);
    QCOMPARE(m_services.query.askedNames().mid(asked), QStringList({"Alpha"}));
    QCOMPARE(model->filesPerTag().value(alpha.children[0].id).size(), 1);  // not reloaded
    QVERIFY(log.lines().contains(
        "[Orvane] loadHierarchy: merged 1 new tags found on your files (3 names on files)"));
    m_services.query.autoAnswerFolder.clear();
    m_services.query.tagNamesOnFiles.clear();
}

void TestStartup::namesGoneFromFilesLeaveAgain_data() {
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<bool>("kept");
    QTest::newRow("untouched") << "" << false;
    QTest::newRow("on files after all") << "carried" << true;
    QTest::newRow("coloured") << "colour" << true;
    QTest::newRow("renamed") << "rename" << true;
    QTest::newRow("its rename field open") << "editing" << true;
    QTest::newRow("given a tag inside") << "child" << true;
}

void TestStartup::namesGoneFromFilesLeaveAgain() {
    // The names at start are the index's from the last run; another program took "Stale" off
    // every file while Orvane was closed, which the crawl shows.
    QFETCH(QString, meanwhile);
    QFETCH(bool, kept);
    HierarchyFile::save({TagNode::make("Kept", 0)});
    m_services.query.tagNamesOnFiles = {"Alpha", "Stale"};
    const auto model = start();
    model->waitForFileWork();
    QTRY_COMPARE(model->hierarchy().size(), 3);
    const QUuid stale = model->hierarchy()[2].id;
    QCOMPARE(model->hierarchy()[2].name, QString("Stale"));
    model->openTag(stale, 0);
    if (meanwhile == "colour") {
        model->setColorIndex(3, stale);
    } else if (meanwhile == "rename") {
        model->renameTag(stale, "Stale Too");
    } else if (meanwhile == "child") {
        model->createTag("Inside", 0, stale);
    } else if (meanwhile == "editing") {
        model->beginRename(*AppViewModel::findTag(stale, model->hierarchy()));
    }
    m_services.query.tagNamesOnFiles =
        meanwhile == "carried" ? QStringList{"Alpha", "Stale"} : QStringList{"Alpha"};
    LogCapture log;
    m_services.query.refreshed({});
    model->waitForFileWork();
    QTRY_VERIFY(m_services.query.lastNamesCrawled);
    QTRY_VERIFY(!log.lines().filter("merged 0 new tags").isEmpty());
    QCOMPARE(AppViewModel::findTag(stale, model->hierarchy()) != nullptr, kept);
    QCOMPARE(model->hierarchy()[1].name, QString("Alpha"));  // on files: stays
    QCOMPARE(model->navigationPath().contains(stale), kept);
    QCOMPARE(HierarchyCodec::decode(HierarchyFile::read().bytes).value(), model->hierarchy());
    QCOMPARE(log.lines().contains(
                 "[Orvane] loadHierarchy: removed 1 tags no longer found on your files"),
             !kept);
    m_services.query.tagNamesOnFiles.clear();
}

void TestStartup::damagedFileIsKeptAsideBeforeTheFirstSave() {
    const QByteArray damaged = "[{\"id\": \"not a uuid\", \"name\": \"Everything I had\"}";
    m_home->writeFile(HierarchyFile::hierarchyFilePath(), damaged);
    writeSystemTags({entry("Work")});
    LogCapture log;
    const auto model = start();
    QCOMPARE(model->hierarchy().size(), 1);
    const QStringList kept = QDir(m_home->dataDir()).entryList({"hierarchy.json.unreadable-*"});
    QCOMPARE(kept.size(), 1);
    QFile copy(m_home->dataDir() + "/" + kept.first());
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), damaged);
    QVERIFY(log.lines().contains("[Orvane] loadHierarchy: kept the unreadable hierarchy file as " +
                                 copy.fileName()));
    QVERIFY(HierarchyCodec::decode(HierarchyFile::read().bytes).has_value());

    // Damaged again: a second copy, the first one untouched.
    m_home->writeFile(HierarchyFile::hierarchyFilePath(), "garbage");
    start();
    QCOMPARE(QDir(m_home->dataDir()).entryList({"hierarchy.json.unreadable-*"}).size(), 2);
    QVERIFY(copy.seek(0));
    QCOMPARE(copy.readAll(), damaged);

    // No copy can be made (every name it may take is in use): the file is not replaced.
    m_home->writeFile(HierarchyFile::hierarchyFilePath(), "garbage again");
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (int second = -1; second < 10; ++second) {  // room for a slow start on a loaded machine
        const QString stamp = now.addSecs(second).toString("yyyyMMdd'T'HHmmss'Z'");
        for (int attempt = 0; attempt < 1000; ++attempt) {
            QFile(HierarchyFile::hierarchyFilePath() + ".unreadable-" + stamp +
                  (attempt ? "-" + QString::number(attempt) : QString()))
                .open(QIODevice::WriteOnly);
        }
    }
    start()->createTag("Made anyway", 0, std::nullopt);
    QCOMPARE(HierarchyFile::read().bytes, QByteArray("garbage again"));
}

void TestStartup::sortedChildrenAreStable() {
    auto model =
        std::make_unique<AppViewModel>(m_services.services(), AppViewModel::Startup::Empty);
    auto names = [](const QList<TagNode>& nodes) {
        QStringList result;
        for (const TagNode& node : nodes)
            result.append(node.name);
        return result;
    };
    model->createTag("beta", 0, std::nullopt);
    model->createTag("Alpha", 0, std::nullopt);
    model->createTag("alpha", 0, std::nullopt);
    QCOMPARE(names(model->sortedTagsForColumn(0)), QStringList({"Alpha", "alpha", "beta"}));
    const QUuid upper = model->hierarchy()[1].id;
    model->moveTag(upper, std::nullopt);  // Alpha now stands after alpha
    QCOMPARE(names(model->sortedTagsForColumn(0)), QStringList({"alpha", "Alpha", "beta"}));
}

void TestStartup::repeatedAndEmptyIdsGetFreshOnes() {
    // A hand-merged file: two tags share an id, one has the empty id.
    const QString shared = "6F9619FF-8B86-D011-B42D-00C04FC964FF";
    const QString zero = "00000000-0000-0000-0000-000000000000";
    auto node = [](const QString& id, const QString& name, const QString& children = "") {
        return QString(R"({"id":"%1","name":"%2","colorIndex":0,"children":[%3]})")
            .arg(id, name, children);
    };
    const QString kept = QUuid::createUuid().toString(QUuid::WithoutBraces);
    QDir().mkpath(m_home->dataDir());
    QFile saved(m_home->dataDir() + "/hierarchy.json");
    QVERIFY(saved.open(QIODevice::WriteOnly));
    saved.write(("[" + node(shared, "First", node(zero, "Zero")) + "," +
                 node(shared, "Second", node(kept, "Kept")) + "]")
                    .toUtf8());
    saved.close();
    LogCapture log;
    auto model = start();
    QCOMPARE(loadLines(log.lines()).filter("fresh id").size(), 1);
    QVERIFY(loadLines(log.lines()).filter("fresh id").first().contains("gave 2 tags"));
    const QList<TagNode>& tree = model->hierarchy();
    QCOMPARE(tree.size(), 2);
    QCOMPARE(tree[0].id, QUuid(shared));
    QVERIFY(tree[1].id != tree[0].id);
    QVERIFY(!tree[0].children[0].id.isNull());
    // Moving one no longer takes the other with it.
    model->moveTag(tree[0].id, tree[1].id);
    QCOMPARE(model->hierarchy().size(), 1);
    QCOMPARE(model->hierarchy()[0].name, QString("Second"));
    QCOMPARE(model->hierarchy()[0].children.size(), 2);
    // And opening the former zero id opens that tag, not the root level.
    const QUuid former = model->hierarchy()[0].children[1].children[0].id;
    model->openTag(former, 0);
    QCOMPARE(model->currentTag()->name, QString("Zero"));
}

void TestStartup::hostileTreeFilesAreNeverOverwritten_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("problem");
    QTest::newRow("fifo") << "fifo"
                          << "is not a regular file";
    QTest::newRow("link to /dev/zero") << "zero"
                                       << "is not a regular file";
    QTest::newRow("folder") << "folder"
                            << "is not a regular file";
    QTest::newRow("too large") << "large"
                               << "is larger than 64 MB";
    QTest::newRow("dangling link") << "dangling"
                                   << "is a link to nothing";
}

void TestStartup::hostileTreeFilesAreNeverOverwritten() {
    QFETCH(QString, kind);
    QFETCH(QString, problem);
    const QString path = HierarchyFile::hierarchyFilePath();
    const QByteArray raw = QFile::encodeName(path);
    if (kind == "fifo") {
        QCOMPARE(mkfifo(raw.constData(), 0600), 0);
    } else if (kind == "zero") {
        QVERIFY(QFile::link("/dev/zero", path));
    } else if (kind == "folder") {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == "large") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(HierarchyFile::kMaxFileBytes + 1));  // sparse: no disk used
    } else {
        QVERIFY(QFile::link(m_home->path("nowhere/hierarchy.json"), path));
    }
    struct stat before {};
    QCOMPARE(lstat(raw.constData(), &before), 0);
    LogCapture log;
    QElapsedTimer timer;
    timer.start();
    const auto model = start();
    QVERIFY(timer.elapsed() < 5000);  // a FIFO is not waited on
    QVERIFY(model->hierarchy().isEmpty());
    model->createTag("Made anyway", 0, std::nullopt);
    // The user is told why nothing is kept, and the file is as it was.
    QVERIFY2(model->treeSaveProblem().contains(path) && model->treeSaveProblem().contains(problem),
             qPrintable(model->treeSaveProblem()));
    QCOMPARE(loadLines(log.lines()).filter("changes will not be saved").size(), 1);
    struct stat after {};
    QCOMPARE(lstat(raw.constData(), &after), 0);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_size, before.st_size);
    QVERIFY(QDir(m_home->dataDir()).entryList({"hierarchy.json.unreadable-*"}).isEmpty());
    if (kind == "folder") {
        QDir(path).removeRecursively();
    } else {
        QFile::remove(path);
    }
}

void TestStartup::linkedTreeFileIsSavedAtItsTarget() {
    // A dotfile manager keeps the real file elsewhere and links it in.
    const QString target = m_home->path("dotfiles/hierarchy.json");
    QDir().mkpath(QFileInfo(target).absolutePath());
    QVERIFY(!HierarchyFile::save({TagNode::make("Kept", 1)}));
    QVERIFY(QFile::rename(HierarchyFile::hierarchyFilePath(), target));
    QVERIFY(QFile::setPermissions(
        target, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup));
    QVERIFY(QFile::link(target, HierarchyFile::hierarchyFilePath()));
    const auto model = start();
    QCOMPARE(model->hierarchy().size(), 1);
    model->createTag("Added", 0, std::nullopt);
    QVERIFY(model->treeSaveProblem().isEmpty());
    QVERIFY(QFileInfo(HierarchyFile::hierarchyFilePath()).isSymLink());
    QFile saved(target);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(HierarchyCodec::decode(saved.readAll())->size(), 2);
    struct stat info {};
    QCOMPARE(stat(QFile::encodeName(target).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0640u);
    QFile::remove(HierarchyFile::hierarchyFilePath());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
