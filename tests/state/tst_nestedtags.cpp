// KDE's nested tags ("Projects/Client" in one entry) in a whole session: real index, real
// journal, real files.
#include "FileTags.h"
#include "Session.h"
#include "TestTree.h"
#include "model/HierarchyFile.h"
#include "model/TagTree.h"
#include "platform/Preferences.h"

#include <QDir>
#include <QMimeData>
#include <QtTest>

namespace {

// The tree as one line: "Projects(Client(2024)) a//b".
QString shape(const QList<TagNode>& nodes) {
    QStringList parts;
    for (const TagNode& node : nodes) {
        parts.append(node.children.isEmpty() ? node.name
                                             : node.name + "(" + shape(node.children) + ")");
    }
    return parts.join(' ');
}

// The tag at the end of `path`, from the root down.
QUuid tagAt(const AppViewModel& model, const QStringList& path) {
    const QList<TagNode>* level = &model.hierarchy();
    QUuid id;
    for (const QString& name : path) {
        const auto it = std::find_if(level->cbegin(), level->cend(),
                                     [&](const TagNode& node) { return node.name == name; });
        if (it == level->cend()) {
            return {};
        }
        id = it->id;
        level = &it->children;
    }
    return id;
}

// Renames as the user does, in the tag's field, and waits for the files.
void renameTo(Session& session, const QUuid& id, const QString& name) {
    session.model->beginRename(*AppViewModel::findTag(id, session.model->hierarchy()));
    session.model->setInlineEditingText(name);
    session.model->commitInlineEdit();
    session.settle();
}

QStringList shownNames(AppViewModel& model, const QStringList& path) {
    for (qsizetype i = 0; i < path.size(); ++i) {
        model.openTag(tagAt(model, path.first(i + 1)), i);
    }
    if (!QTest::qWaitFor([&] { return !model.isLoadingFiles(); }, 10000)) {
        return {"<still loading>"};
    }
    QStringList names;
    for (const FileItem& item : model.currentFiles()) {
        names.append(item.name);
    }
    names.sort();
    return names;
}

}  // namespace

class TestNestedTags : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { m_home = std::make_unique<TestHome>(); }
    void init();
    void pathsJoinListAndFollowEdits();
    void pathsGoneFromFilesLeaveAgain();
    void firstStartChoosesTheFormFilesHold_data();
    void firstStartChoosesTheFormFilesHold();
    void dropsWriteTheChosenForm();
    void filesHiddenByNestingAreSaidAndTagged_data();
    void filesHiddenByNestingAreSaidAndTagged();
    void sharedNamesStayWithTheOtherTag();

private:
    QString file(const QString& name, const QByteArray& tags) {
        return writeTaggedFile(*m_home, "files/" + name, tags);
    }
    std::unique_ptr<TestHome> m_home;
};

void TestNestedTags::init() {
    forgetEarlierRuns(*m_home);
    QDir(m_home->home()).removeRecursively();
    QDir().mkpath(m_home->home());
}

void TestNestedTags::pathsJoinListAndFollowEdits() {
    QVERIFY(!HierarchyFile::save({TagNode::make("Photos", 0)}));
    const QString deep = file("deep", "Projects/Client/2024,Projects/Clients,Other");
    const QString old = file("old-kde", "/Projects/Client");
    const QString names = file("names", "Client,Projects");
    file("trip", "Photos/2024/Trip");
    file("odd", "a//b,c/");
    Session session(*m_home);
    session.settle();
    AppViewModel& model = *session.model;
    // A path the tree has in part is completed; a name a path nests is no root tag of its own;
    // an entry that does not split cleanly is a plain name.
    QCOMPARE(shape(model.hierarchy()),
             QString("Photos(2024(Trip)) Projects(Client(2024) Clients) a//b c/ Other"));
    QVERIFY(model.matchAllTags());
    QCOMPARE(shownNames(model, {"Projects", "Client"}), QStringList({"names", "old-kde"}));
    QCOMPARE(shownNames(model, {"Projects", "Client", "2024"}), QStringList({"deep"}));
    model.setMatchAllTags(false);
    QCOMPARE(shownNames(model, {"Projects", "Client"}), QStringList({"deep", "names", "old-kde"}));
    QCOMPARE(shownNames(model, {"Photos"}), QStringList({"trip"}));

    const QUuid client = tagAt(model, {"Projects", "Client"});
    QVERIFY(!client.isNull());
    renameTo(session, client, "Job");
    QCOMPARE(raw(deep), QByteArray("Projects/Job/2024,Projects/Clients,Other"));
    QCOMPARE(raw(old), QByteArray("/Projects/Job"));
    QCOMPARE(raw(names), QByteArray("Job,Projects"));
    model.moveTag(client, tagAt(model, {"Photos"}));
    session.settle();
    QCOMPARE(raw(deep), QByteArray("Photos/Job/2024,Projects/Clients,Other"));
    QCOMPARE(raw(old), QByteArray("/Photos/Job"));
    QCOMPARE(raw(names), QByteArray("Job,Projects"));  // plain names stay as they are
    model.deleteTag(client);
    session.settle();
    QCOMPARE(raw(deep), QByteArray("Projects/Clients,Other"));
    QCOMPARE(raw(old), QByteArray());  // no list left
    // Neither the old paths nor the deleted branch come back with the names on files.
    QCOMPARE(shape(model.hierarchy()),
             QString("Photos(2024(Trip)) Projects(Clients) a//b c/ Other"));

    for (const QByteArray& expected : {QByteArray("Photos/Job/2024,Projects/Clients,Other"),
                                       QByteArray("Projects/Job/2024,Projects/Clients,Other"),
                                       QByteArray("Projects/Client/2024,Projects/Clients,Other")}) {
        model.undo();
        session.settle();
        QCOMPARE(raw(deep), expected);
    }
    QCOMPARE(raw(old), QByteArray("/Projects/Client"));
    QCOMPARE(tagAt(model, {"Projects", "Client"}), client);
}

void TestNestedTags::pathsGoneFromFilesLeaveAgain() {
    const QString stale = file("stale", "Old/Stale/Deeper");
    file("kept", "Old/Kept");
    {
        Session last(*m_home);
        last.settle();
    }
    // While Orvane was closed, another program took the path off its file, and the tree
    // was lost; the next start's first names come from the last run's index.
    setRaw(stale, "");
    QVERIFY(!HierarchyFile::save({}));
    Session session(*m_home, {.crawlDelayMs = 2000});
    QTRY_COMPARE(shape(session.model->hierarchy()), QString("Old(Kept Stale(Deeper))"));
    session.settle();
    QTRY_COMPARE(shape(session.model->hierarchy()), QString("Old(Kept)"));
}

void TestNestedTags::firstStartChoosesTheFormFilesHold_data() {
    QTest::addColumn<QByteArrayList>("values");
    QTest::addColumn<bool>("paths");
    QTest::newRow("KDE's paths") << QByteArrayList{"A/B", "/C/D", "A,B"} << true;
    QTest::newRow("nested names") << QByteArrayList{"A/B", "A,B", "A,B,C"} << false;
    QTest::newRow("no nested tags") << QByteArrayList{"A", "B"} << false;
}

void TestNestedTags::firstStartChoosesTheFormFilesHold() {
    QFETCH(QByteArrayList, values);
    QFETCH(bool, paths);
    QFile::remove(Preferences::filePath());
    TagNode a = TagNode::make("A", 0);
    a.children = {TagNode::make("B", 0), TagNode::make("C", 0)};
    QVERIFY(!HierarchyFile::save({a}));
    for (qsizetype i = 0; i < values.size(); ++i) {
        file(QString::number(i), values[i]);
    }
    Session session(*m_home);
    session.settle();
    QTRY_COMPARE(session.model->writesNestedTagsAsPaths(), paths);
    QVERIFY(Preferences::nestedTags().has_value());  // chosen once, for later starts
}

void TestNestedTags::dropsWriteTheChosenForm() {
    TagNode projects = TagNode::make("Projects", 0);
    projects.children = {TagNode::make("Client", 0), TagNode::make("a/b", 0)};
    QVERIFY(!HierarchyFile::save({projects}));
    const QString one = file("one", "Other");
    const QString two = file("two", "");
    Session session(*m_home);
    session.settle();
    AppViewModel& model = *session.model;
    model.chooseNestedTagsAsPaths(true);
    QVERIFY(Preferences::nestedTags() == Preferences::NestedTags::Paths);
    const auto drop = [&](const QString& path, const QStringList& tag) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        QVERIFY(model.handleTagDrop(data, tagAt(model, tag)));
        session.settle();
    };
    drop(one, {"Projects", "Client"});
    QCOMPARE(raw(one), QByteArray("Other,Projects/Client"));
    drop(one, {"Projects"});  // a root tag is a name in either form
    QCOMPARE(raw(one), QByteArray("Other,Projects/Client,Projects"));
    // A name with a "/" would read back as a path: written as names, and said.
    drop(two, {"Projects", "a/b"});
    QCOMPARE(raw(two), QByteArray("Projects,a/b"));
    QVERIFY2(model.fileWorkStatus().contains("\u201ca/b\u201d holds a \u201c/\u201d"),
             qPrintable(model.fileWorkStatus()));
    model.chooseNestedTagsAsPaths(false);
    drop(two, {"Projects", "Client"});
    QCOMPARE(raw(two), QByteArray("Projects,a/b,Client"));
}

void TestNestedTags::filesHiddenByNestingAreSaidAndTagged_data() {
    QTest::addColumn<bool>("paths");
    QTest::addColumn<QByteArray>("tagged");
    QTest::newRow("names") << false << QByteArray("x,Acme,Client");
    QTest::newRow("paths") << true << QByteArray("x,Client/Acme");
}

void TestNestedTags::filesHiddenByNestingAreSaidAndTagged() {
    QFETCH(bool, paths);
    QFETCH(QByteArray, tagged);
    QVERIFY(!HierarchyFile::save({TagNode::make("Acme", 0), TagNode::make("Client", 0)}));
    const QStringList flat = {file("a", "x,Acme"), file("b", "x,acme"), file("c", "x,Acme")};
    const QString nested = file("d", "Client,Acme");
    Session session(*m_home);
    session.settle();
    AppViewModel& model = *session.model;
    model.chooseNestedTagsAsPaths(paths);
    // A file whose name differs in case is not listed under the tag either, and is not counted:
    // tagging it would not show it.
    model.moveTag(tagAt(model, {"Acme"}), tagAt(model, {"Client"}));
    session.settle();
    QTRY_COMPARE(model.statusAction(), QString("Tag Them"));
    QCOMPARE(model.fileWorkStatus(),
             QString("2 files tagged \u201cAcme\u201d are not tagged \u201cClient\u201d"));
    model.runStatusAction();
    session.settle();
    QCOMPARE(raw(flat[0]), tagged);
    QCOMPARE(raw(flat[1]), QByteArray("x,acme"));
    QCOMPARE(raw(nested), QByteArray("Client,Acme"));
    QVERIFY(model.statusAction().isEmpty());
    model.undo();
    session.settle();
    QCOMPARE(raw(flat[2]), QByteArray("x,Acme"));
}

void TestNestedTags::sharedNamesStayWithTheOtherTag() {
    TagNode personal = TagNode::make("Personal", 0);
    personal.children = {TagNode::make("Work", 0)};
    TagNode projects = TagNode::make("Projects", 0);
    projects.children = {TagNode::make("Work", 0)};
    QVERIFY(!HierarchyFile::save({personal, projects}));
    const QString mine = file("personal", "Personal,Work");
    const QString job = file("projects", "Projects,Work");
    const QString kde = file("kde", "Projects/Work");
    const QString both = file("both", "Personal,Projects,Work");
    const QString lifted = file("lifted", "Projects,Work,x");
    const QString liftedKde = file("lifted-kde", "Projects/Work/2024,x");
    Session session(*m_home);
    session.settle();
    AppViewModel& model = *session.model;
    const QUuid work = tagAt(model, {"Projects", "Work"});

    // Lifted out of Projects › Work onto Projects: Personal › Work keeps its file.
    model.setMatchAllTags(false);
    shownNames(model, {"Projects", "Work"});
    QMimeData data;
    data.setUrls(
        {QUrl::fromLocalFile(both), QUrl::fromLocalFile(lifted), QUrl::fromLocalFile(liftedKde)});
    QVERIFY(model.handleColumnDrop(data, 1));
    session.settle();
    QCOMPARE(raw(both), QByteArray("Personal,Projects,Work"));
    QCOMPARE(raw(lifted), QByteArray("Projects,x"));
    QCOMPARE(raw(liftedKde), QByteArray("Projects,x"));  // a path is cut back to where it lands

    renameTo(session, work, "Job");
    QCOMPARE(raw(job), QByteArray("Projects,Job"));
    QCOMPARE(raw(kde), QByteArray("Projects/Job"));
    QCOMPARE(raw(mine), QByteArray("Personal,Work"));
    QCOMPARE(raw(both), QByteArray("Personal,Projects,Work"));
    QVERIFY2(model.fileWorkStatus().endsWith("; 2 files kept \u201cWork\u201d for the other tag"),
             qPrintable(model.fileWorkStatus()));
}

QTEST_GUILESS_MAIN(TestNestedTags)
#include "tst_nestedtags.moc"
