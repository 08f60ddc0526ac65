// KDE's nested tags ("Projects/Client" in one entry) in a whole session: real index, real
// journal, real files.
#include "FileTags.h"
#include "Session.h"
#include "TestTree.h"
#include "model/HierarchyFile.h"
#include "model/TagTree.h"

#include <QDir>
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
    void pathsJoinTheTreeAndListTheirFiles();
    void pathEntriesFollowEditsAndTheirUndo();
    void pathsGoneFromFilesLeaveAgain();

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

void TestNestedTags::pathsJoinTheTreeAndListTheirFiles() {
    QVERIFY(!HierarchyFile::save({TagNode::make("Photos", 0)}));
    file("deep", "Projects/Client/2024");
    file("old-kde", "/Projects/Client");
    file("names", "Client,Projects");
    file("trip", "Photos/2024/Trip");
    file("odd", "a//b,c/");
    Session session(*m_home);
    session.settle();
    // A path the tree has in part is completed; a name a path nests is no root tag of its own;
    // an entry that does not split cleanly is a plain name.
    QCOMPARE(shape(session.model->hierarchy()),
             QString("Photos(2024(Trip)) Projects(Client(2024)) a//b c/"));
    AppViewModel& model = *session.model;
    QVERIFY(model.matchAllTags());
    QCOMPARE(shownNames(model, {"Projects", "Client"}), QStringList({"names", "old-kde"}));
    QCOMPARE(shownNames(model, {"Projects", "Client", "2024"}), QStringList({"deep"}));
    model.setMatchAllTags(false);
    QCOMPARE(shownNames(model, {"Projects", "Client"}), QStringList({"deep", "names", "old-kde"}));
    QCOMPARE(shownNames(model, {"Photos"}), QStringList({"trip"}));
}

void TestNestedTags::pathEntriesFollowEditsAndTheirUndo() {
    const QString deep = file("deep", "Projects/Client/2024,Projects/Clients,Other");
    const QString old = file("old-kde", "/Projects/Client");
    const QString names = file("names", "Projects,Client");
    Session session(*m_home);
    session.settle();
    AppViewModel& model = *session.model;
    const QUuid client = tagAt(model, {"Projects", "Client"});
    const QUuid archive = addTag(model, "Archive");

    model.beginRename(*AppViewModel::findTag(client, model.hierarchy()));
    model.setInlineEditingText("Job");
    model.commitInlineEdit();
    session.settle();
    QCOMPARE(raw(deep), QByteArray("Projects/Job/2024,Projects/Clients,Other"));
    QCOMPARE(raw(old), QByteArray("/Projects/Job"));
    QCOMPARE(raw(names), QByteArray("Projects,Job"));

    model.moveTag(client, archive);
    session.settle();
    QCOMPARE(raw(deep), QByteArray("Archive/Job/2024,Projects/Clients,Other"));
    QCOMPARE(raw(old), QByteArray("/Archive/Job"));
    QCOMPARE(raw(names), QByteArray("Projects,Job"));  // plain names stay as they are

    model.deleteTag(client);
    session.settle();
    QCOMPARE(raw(deep), QByteArray("Projects/Clients,Other"));
    QCOMPARE(raw(old), QByteArray());  // no list left
    // Neither the old paths nor the deleted branch come back with the names on files.
    QCOMPARE(shape(model.hierarchy()), QString("Projects(Clients) Other Archive"));

    for (const QByteArray& expected : {QByteArray("Archive/Job/2024,Projects/Clients,Other"),
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

QTEST_GUILESS_MAIN(TestNestedTags)
#include "tst_nestedtags.moc"
