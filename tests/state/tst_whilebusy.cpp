// Edits made while Orvane is busy: during the first crawl, past the watch limit, queued behind
// other work at a quit, and between a journal entry and the tree's save. Real index, real
// journal, real files.
#include "FileTags.h"
#include "LogCapture.h"
#include "Session.h"
#include "TestTree.h"
#include "model/HierarchyCodec.h"
#include "model/HierarchyFile.h"
#include "model/TagTree.h"

#include <QDir>
#include <QtTest>

namespace {

QStringList rootNames(const AppViewModel& model) {
    QStringList names;
    for (const TagNode& tag : model.hierarchy()) {
        names.append(tag.name);
    }
    return names;
}

}  // namespace

class TestWhileBusy : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { m_home = std::make_unique<TestHome>(); }
    void init();
    void renameDuringTheFirstCrawlReachesEveryFile_data();
    void renameDuringTheFirstCrawlReachesEveryFile();
    void renamePastTheWatchLimitReachesEveryFile();
    void workQueuedAtQuitIsFinishedInOrder_data();
    void workQueuedAtQuitIsFinishedInOrder();
    void treeSideOfAnInterruptedRenameIsFinished();
    void deletedTagIsNotMergedBack();

private:
    // Files in their own folder, each tagged `tags`.
    QStringList files(const QString& folder, int count, const QByteArray& tags);
    QUuid rename(AppViewModel& model, const QString& from, const QString& to);

    std::unique_ptr<TestHome> m_home;
    int m_run = 0;
};

void TestWhileBusy::init() {
    forgetEarlierRuns(*m_home);
    QDir(m_home->home()).removeRecursively();
    QDir().mkpath(m_home->home());
}

QStringList TestWhileBusy::files(const QString& folder, int count, const QByteArray& tags) {
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        paths.append(
            writeTaggedFile(*m_home, QString("%1/%2/f%3").arg(folder).arg(++m_run).arg(i), tags));
    }
    return paths;
}

QUuid TestWhileBusy::rename(AppViewModel& model, const QString& from, const QString& to) {
    for (const TagNode& tag : model.hierarchy()) {
        if (tag.name == from) {
            const QUuid id = tag.id;
            model.beginRename(tag);
            model.setInlineEditingText(to);
            model.commitInlineEdit();
            return id;
        }
    }
    return {};
}

void TestWhileBusy::renameDuringTheFirstCrawlReachesEveryFile_data() {
    QTest::addColumn<bool>("stored");
    QTest::newRow("the last run's index kept") << true;
    QTest::newRow("no index kept") << false;
}

void TestWhileBusy::renameDuringTheFirstCrawlReachesEveryFile() {
    QFETCH(bool, stored);
    QVERIFY(!HierarchyFile::save({TagNode::make("A", 0)}));
    QStringList tagged = files("known", 40, "x,A");
    if (stored) {
        Session last(*m_home);
        last.settle();
    }
    tagged += files("tagged-while-closed", 30, "A,y");

    // The user renames at once, before the crawl has looked anywhere.
    Session session(*m_home, {.crawlDelayMs = 300});
    QVERIFY(!rename(*session.model, "A", "B").isNull());
    session.settle();
    for (const QString& path : std::as_const(tagged)) {
        QVERIFY2(!raw(path).contains("A"), qPrintable(path + ": " + raw(path)));
        QVERIFY2(raw(path).contains("B"), qPrintable(path));
    }
    // The crawl found A on files it reached before the rename did: A is not merged back.
    QCOMPARE(rootNames(*session.model), QStringList({"B", "x", "y"}));
}

void TestWhileBusy::renamePastTheWatchLimitReachesEveryFile() {
    QVERIFY(!HierarchyFile::save({TagNode::make("A", 0)}));
    files("deep", 1, "");  // the folders exist before the crawl
    Session session(*m_home, {.watchLimit = 1});
    session.settle();
    // Tagged in folders without a watch, after the crawl and long before the next round.
    const QStringList tagged = files("deep", 25, "A");
    rename(*session.model, "A", "B");
    session.settle();
    for (const QString& path : tagged) {
        QCOMPARE(raw(path), QByteArray("B"));
    }
}

void TestWhileBusy::workQueuedAtQuitIsFinishedInOrder_data() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QByteArray>("renamedFiles");
    QTest::addColumn<QByteArray>("droppedFiles");
    QTest::addColumn<QStringList>("tree");
    QTest::newRow("rename, undo") << "rename undo" << QByteArray("A,z") << QByteArray("")
                                  << QStringList{"A"};
    QTest::newRow("rename, drop on it")
        << "rename drop" << QByteArray("B,z") << QByteArray("B") << QStringList{"B"};
    QTest::newRow("rename, drop, undo, undo, redo")
        << "rename drop undo undo redo" << QByteArray("B,z") << QByteArray("") << QStringList{"B"};
    QTest::newRow("rename, another program's save")
        << "rename save" << QByteArray("B,z") << QByteArray("") << QStringList{"B"};
}

void TestWhileBusy::workQueuedAtQuitIsFinishedInOrder() {
    QFETCH(QString, steps);
    QFETCH(QByteArray, renamedFiles);
    QFETCH(QByteArray, droppedFiles);
    QFETCH(QStringList, tree);
    QVERIFY(!HierarchyFile::save({TagNode::make("A", 0)}));
    const QStringList renamed = files("r", 1500, "A,z");
    const QStringList dropped = files("d", 20, "");
    const QString saved = files("s", 1, "z").first();
    {
        Session session(*m_home, {.writeDelayMicroseconds = 400});
        session.settle();
        AppViewModel& model = *session.model;
        QUuid tag;
        for (const QString& step : steps.split(' ')) {
            if (step == "rename") {
                tag = rename(model, "A", "B");
            } else if (step == "drop") {
                QList<QUrl> urls;
                for (const QString& path : dropped) {
                    urls.append(QUrl::fromLocalFile(path));
                }
                model.applyTags(urls, {"B"}, {});
            } else if (step == "save") {
                // An editor's save; its tags are put back behind the rename.
                writeTaggedFile(*m_home, saved + ".new", "");
                ::rename(QFile::encodeName(saved + ".new"), QFile::encodeName(saved));
                QTRY_VERIFY(session.journal->unfinished().last().kind ==
                            FileJournal::Kind::Restore);
            } else {
                step == "undo" ? model.undo() : model.redo();
            }
        }
        // Ctrl+Q once the first batch of the rename is written.
        const qint64 first = session.journal->unfinished().first().id;
        QTRY_VERIFY(session.journal->entries(first, true).size() <
                    session.journal->entries(first, false).size());
        session.quit();
        QVERIFY(std::any_of(renamed.cbegin(), renamed.cend(),
                            [&](const QString& path) { return raw(path) != renamedFiles; }));
    }
    Session next(*m_home);
    next.settle();
    for (const QString& path : renamed) {
        QCOMPARE(raw(path), renamedFiles);
    }
    for (const QString& path : dropped) {
        QCOMPARE(raw(path), droppedFiles);
    }
    QCOMPARE(rootNames(*next.model), tree + QStringList{"z"});
    QCOMPARE(raw(saved), QByteArray("z"));
}

void TestWhileBusy::treeSideOfAnInterruptedRenameIsFinished() {
    // A crash after the rename was journaled and before the tree was saved.
    TagNode tag = TagNode::make("Old", 0);
    QVERIFY(!HierarchyFile::save({tag}));
    const QStringList tagged = files("t", 3, "Old");
    {
        FileJournal journal(FileJournal::defaultPath());
        QVERIFY(journal.begin({.edit = TagEdit::rename("Old", "New"),
                               .tree = FileJournal::TreeRename{tag.id, "Old", "New"}}));
    }
    LogCapture log;
    Session session(*m_home);
    session.settle();
    QCOMPARE(rootNames(*session.model), QStringList({"New"}));
    QCOMPARE(HierarchyCodec::decode(HierarchyFile::read().bytes)->first().name, QString("New"));
    for (const QString& path : tagged) {
        QCOMPARE(raw(path), QByteArray("New"));
    }
}

void TestWhileBusy::deletedTagIsNotMergedBack() {
    QVERIFY(!HierarchyFile::save({TagNode::make("Gone", 0), TagNode::make("Kept", 0)}));
    files("g", 5, "Gone,Kept,Found");
    Session session(*m_home, {.crawlDelayMs = 300});
    session.model->deleteTag(session.model->hierarchy().first().id);
    session.settle();
    QCOMPARE(rootNames(*session.model), QStringList({"Kept", "Found"}));
    session.model->undo();
    QCOMPARE(rootNames(*session.model), QStringList({"Gone", "Kept", "Found"}));
}

QTEST_MAIN(TestWhileBusy)
#include "tst_whilebusy.moc"
