#include "ModelFixture.h"
#include "state/AppViewModel.h"

#include <QtTest>

#include <sys/xattr.h>

class TestNavigation : public QObject, public ModelFixture {
    Q_OBJECT

private slots:
    void initTestCase() { createHome(); }
    void init();
    void cleanup() { destroyModel(); }
    void openTagCutsThePathAndItsCache();
    void backElementAndRoot();
    void staleResultsOnlyFillTheCache();
    void matchAllTagsListsTheDeepestLevel();
    void statusText();
    void rootIsNeverLoading();
    void longListsShowTheirFirstFilesWhileLoading();

private:
    QUrl url(const QString& name, const QByteArray& tags) {
        return QUrl::fromLocalFile(file(name, tags));
    }
    QStringList names(const QList<FileItem>& files) {
        QStringList result;
        for (const FileItem& f : files)
            result.append(f.name);
        return result;
    }

    QUuid m_a, m_b, m_c, m_d;
};

void TestNavigation::init() {
    createModel();
    m_services->query.autoAnswerFolder.clear();  // answers are released by each test
    m_a = add("A");
    m_b = add("B", m_a);
    m_c = add("C", m_b);
    m_d = add("D", m_c);
}

void TestNavigation::openTagCutsThePathAndItsCache() {
    m_services->query.autoAnswerFolder = m_folder;
    m_model->openTag(m_a, 0);
    m_model->openTag(m_b, 1);
    m_model->openTag(m_c, 2);
    m_model->openTag(m_d, 3);
    QTRY_COMPARE(m_model->filesPerTag().size(), 4);
    QCOMPARE(m_model->navigationPath(), QList<QUuid>({m_a, m_b, m_c, m_d}));

    const QUuid other = add("Other", m_b);
    m_model->openTag(other, 2);
    QTRY_VERIFY(m_model->loadingTagIDs().isEmpty());
    QCOMPARE(m_model->navigationPath(), QList<QUuid>({m_a, m_b, other}));
    QVERIFY(!m_model->filesPerTag().contains(m_c) && !m_model->filesPerTag().contains(m_d));
    QVERIFY(m_model->filesPerTag().contains(m_a));

    m_model->openTag(m_d, 7);  // beyond the path: appended
    QCOMPARE(m_model->navigationPath().size(), 4);
    QTRY_VERIFY(m_model->loadingTagIDs().isEmpty());
    m_model->openTag(m_b, 0);
    QCOMPARE(m_model->navigationPath(), QList<QUuid>({m_b}));
    QTRY_COMPARE(m_model->filesPerTag().keys(), QList<QUuid>({m_b}));
    QVERIFY(m_model->selectedFileIDs().isEmpty());
}

void TestNavigation::backElementAndRoot() {
    m_services->query.autoAnswerFolder = m_folder;
    QSignalSpy path(m_model.get(), &AppViewModel::navigationPathChanged);
    m_model->goBack();
    QCOMPARE(path.count(), 0);
    QCOMPARE(m_services->query.askedNames().size(), 0);

    m_model->openTag(m_a, 0);
    m_model->openTag(m_b, 1);
    m_model->openTag(m_c, 2);
    m_model->navigateToPathElement(QUuid::createUuid());
    QCOMPARE(m_model->navigationPath().size(), 3);
    m_model->navigateToPathElement(m_a);
    QCOMPARE(m_model->navigationPath(), QList<QUuid>({m_a}));
    m_model->enterTag(m_b);
    QCOMPARE(m_model->navigationPath(), QList<QUuid>({m_a, m_b}));
    QTRY_VERIFY(m_model->loadingTagIDs().isEmpty());
    m_model->goBack();
    QCOMPARE(m_model->navigationPath(), QList<QUuid>({m_a}));
    QTRY_VERIFY(!m_model->isLoadingFiles());
    QVERIFY(!m_model->filesPerTag().contains(m_b));
    m_model->truncateNavigationPath(5);
    QCOMPARE(m_model->navigationPath().size(), 1);
    m_model->truncateNavigationPath(0);
    QVERIFY(m_model->navigationPath().isEmpty());
    m_model->openTag(m_a, 0);
    m_model->navigateToRoot();
    QVERIFY(m_model->navigationPath().isEmpty() && m_model->filesPerTag().isEmpty());
    QVERIFY(!m_model->currentTag());
}

void TestNavigation::staleResultsOnlyFillTheCache() {
    const QUrl x = url("x.txt", "A");
    FakeQuery& query = m_services->query;
    m_model->setMatchAllTags(false);
    m_model->openTag(m_a, 0);  // query 0: A
    m_model->openTag(m_b, 1);  // query 1: B; A, still loading, is not asked again
    QCOMPARE(query.askedNames(), QStringList({"A", "B"}));
    QVERIFY(m_model->isLoadingFiles());
    QCOMPARE(m_model->loadingTagIDs(), QSet<QUuid>({m_a, m_b}));

    query.release(0, {x});  // A's answer comes while B is current
    QTRY_VERIFY(m_model->filesPerTag().contains(m_a));
    QVERIFY(m_model->isLoadingFiles());
    QVERIFY(m_model->currentFiles().isEmpty());
    QCOMPARE(m_model->loadingTagIDs(), QSet<QUuid>({m_b}));

    query.release(1, {x, x});
    QTRY_VERIFY(!m_model->isLoadingFiles());
    QCOMPARE(names(m_model->currentFiles()), QStringList({"x.txt", "x.txt"}));
    QCOMPARE(m_model->loadingTagIDs(), QSet<QUuid>());

    // After the cache is cleared, an answer to a load asked before it is stale: only the new
    // load's answer counts, whichever comes first.
    m_model->clearFileCache();
    m_model->loadFilesForCurrentTag();  // query 2: B, query 3: A
    m_model->clearFileCache();
    m_model->loadFilesForCurrentTag();  // query 4: B, query 5: A
    query.release(4, {x});
    query.release(5, {});
    query.release(2, {x, x, x});
    query.release(3, {x});
    QTRY_VERIFY(!m_model->isLoadingFiles());
    QTest::qWait(20);
    QCOMPARE(m_model->currentFiles().size(), 1);
    QCOMPARE(m_model->filesPerTag().value(m_a).size(), 0);
}

void TestNavigation::matchAllTagsListsTheDeepestLevel() {
    // Projects › Client › Invoices
    const QUuid projects = add("Projects");
    const QUuid client = add("Client", projects);
    add("Invoices", client);
    const QUrl both = url("both.txt", "Projects,Client");
    const QUrl deeper = url("deeper.txt", "Projects,Client,Invoices");
    const QUrl only = url("only.txt", "Client");
    const QUrl otherCase = url("case.txt", "projects,Client");

    m_model->openTag(projects, 0);
    m_model->openTag(client, 1);
    const qsizetype clientQuery = m_services->query.askedNames().lastIndexOf("Client");
    m_services->query.release(clientQuery, {both, deeper, only, otherCase});
    QTRY_VERIFY(!m_model->isLoadingFiles());
    QCOMPARE(names(m_model->currentFiles()), QStringList({"both.txt"}));

    m_model->setMatchAllTags(false);
    m_model->clearFileCache();
    m_model->loadFilesForCurrentTag();
    m_services->query.release(m_services->query.askedNames().lastIndexOf("Client"),
                              {both, deeper, only, otherCase});
    QTRY_VERIFY(!m_model->isLoadingFiles());
    QCOMPARE(names(m_model->currentFiles()),
             QStringList({"both.txt", "case.txt", "deeper.txt", "only.txt"}));
}

void TestNavigation::statusText() {
    QCOMPARE(m_model->statusText(), QString("1 tag, 0 folders, 0 files"));
    add("Second");
    add("Third");
    QCOMPARE(m_model->statusText(), QString("3 tags, 0 folders, 0 files"));
    QDir().mkpath(m_folder + "/Sub");
    setxattr(QFile::encodeName(m_folder + "/Sub").constData(), "user.xdg.tags", "C", 1, 0);
    m_model->setMatchAllTags(false);
    m_model->openTag(m_a, 0);
    m_model->openTag(m_b, 1);
    m_model->openTag(m_c, 2);
    m_services->query.release(m_services->query.askedNames().lastIndexOf("C"),
                              {QUrl::fromLocalFile(m_folder + "/Sub")});
    QTRY_VERIFY(!m_model->isLoadingFiles());
    QCOMPARE(m_model->statusText(), QString("1 tag, 1 folder, 0 files"));
}

void TestNavigation::rootIsNeverLoading() {
    m_model->openTag(m_a, 0);
    QVERIFY(m_model->isLoadingFiles());
    m_model->navigateToRoot();
    QVERIFY(!m_model->isLoadingFiles());
    m_services->query.release(0, {});
    QTRY_VERIFY(m_model->filesPerTag().contains(m_a));
    QVERIFY(!m_model->isLoadingFiles());
    QVERIFY(m_model->currentFiles().isEmpty());
}

void TestNavigation::longListsShowTheirFirstFilesWhileLoading() {
    m_services->query.autoAnswerFolder = m_folder;
    const QUuid many = add("Many");
    for (int i = 0; i < 1200; ++i) {
        file(QString("f%1.txt").arg(i, 4, 10, QChar('0')), "Many");
    }
    QList<qsizetype> shownWhileLoading;
    connect(m_model.get(), &AppViewModel::currentFilesChanged, this, [&] {
        if (m_model->isLoadingFiles() && !m_model->currentFiles().isEmpty()) {
            shownWhileLoading.append(m_model->currentFiles().size());
        }
    });
    m_model->openTag(many, 0);
    settle();
    QCOMPARE(m_model->currentFiles().size(), 1200);
    QVERIFY(!shownWhileLoading.isEmpty());
    QVERIFY(shownWhileLoading.first() < 1200);
    // Each part is shown in name order, as the whole list is.
    QCOMPARE(m_model->currentFiles().first().name, QString("f0000.txt"));
    QVERIFY(m_model->loadingTagIDs().isEmpty());
}

QTEST_MAIN(TestNavigation)
#include "tst_navigation.moc"
