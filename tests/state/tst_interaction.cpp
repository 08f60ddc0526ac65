#include "ModelFixture.h"
#include "platform/FilePaths.h"
#include "services/DropRoutine.h"
#include "state/AppViewModel.h"

#include <QMimeData>
#include <QtTest>

#include <sys/stat.h>
#include <sys/xattr.h>

class TestInteraction : public QObject, public ModelFixture {
    Q_OBJECT

private slots:
    void initTestCase() { createHome(); }
    void init();
    void cleanup() { destroyModel(); }
    void fileClicksSelectOpenAndCloseColumns();
    void tagTileClicksSelectRenameAndEnter();
    void columnTagClicksOpenThenRename();
    void highlightAndSelectedUrls();
    void dropRoutineRules();
    void dropOnTagAddsThePathAndMovesTags();
    void dropOnColumnsLiftsFiles();

private:
    std::unique_ptr<QMimeData> mime(const QList<QUrl>& urls, const QString& text = QString()) {
        auto data = std::make_unique<QMimeData>();
        if (!urls.isEmpty())
            data->setUrls(urls);
        if (!text.isNull())
            data->setText(text);
        return data;
    }

    QUuid m_projects, m_client, m_invoices;
};

void TestInteraction::init() {
    createModel();
    m_projects = add("Projects");
    m_client = add("Client", m_projects);
    m_invoices = add("Invoices", m_client);
}

void TestInteraction::fileClicksSelectOpenAndCloseColumns() {
    file("a.txt", "Projects");
    file("b.txt", "Projects");
    m_model->openTag(m_projects, 0);
    m_model->openTag(m_client, 1);
    m_model->openTag(m_invoices, 2);
    settle();
    const QList<FileItem> files = m_model->filesPerTag().value(m_projects);
    QCOMPARE(files.size(), 2);
    ManualClock& clock = m_services->clock;

    m_model->clickFile(files[0], 1, false);
    QCOMPARE(m_model->navigationPath().size(), 1);  // columns right of the file closed
    QCOMPARE(m_model->selectedFileIDs(), QSet<QString>({files[0].id}));
    clock.time += 0.30;
    m_model->clickFile(files[0], 1, false);
    QCOMPARE(m_services->workspace.opened, QList<QUrl>({files[0].url}));
    clock.time += 0.30;  // the double click consumed the memory: a fresh single click
    m_model->clickFile(files[0], 1, false);
    clock.time += 0.35;
    m_model->clickFile(files[0], 1, false);
    QCOMPARE(m_services->workspace.opened.size(), 1);
    clock.time += 0.1;
    m_model->clickFile(files[1], 1, false);
    QCOMPARE(m_model->selectedFileIDs(), QSet<QString>({files[1].id}));
    clock.time += 1;
    m_model->clickFile(files[0], 1, false, AppViewModel::SelectMode::Toggle);
    QCOMPARE(m_model->selectedFileIDs().size(), 2);
    clock.time += 1;
    m_model->clickFile(files[1], 1, false, AppViewModel::SelectMode::Toggle);
    QCOMPARE(m_model->selectedFileIDs(), QSet<QString>({files[0].id}));

    // From the grid the path stays.
    m_model->openTag(m_client, 1);
    settle();
    clock.time += 1;
    m_model->clickFile(files[0], 0, true);
    QCOMPARE(m_model->navigationPath().size(), 2);

    // Exactly 0.35 s apart is no double click.
    clock.time = 0.0;
    m_model->clickFile(files[1], 0, true);
    clock.time = 0.35;
    m_model->clickFile(files[1], 0, true);
    QCOMPARE(m_services->workspace.opened.size(), 1);
}

void TestInteraction::tagTileClicksSelectRenameAndEnter() {
    m_model->setViewMode(ViewMode::Icon);
    const TagNode projects = m_model->hierarchy()[0];
    ManualClock& clock = m_services->clock;
    m_model->clickTag(projects);
    QCOMPARE(m_model->selectedTagID(), m_projects);
    clock.time += 0.5;
    m_model->clickTag(projects);  // slower second click: rename
    QCOMPARE(m_model->inlineEditingTagID(), m_projects);
    QCOMPARE(m_model->inlineEditingText(), QString("Projects"));
    m_model->setInlineEditingText("Renamed");
    clock.time += 0.1;
    m_model->clickGridBackground();  // a click commits the edit first
    QCOMPARE(m_model->hierarchy()[0].name, QString("Renamed"));
    QVERIFY(!m_model->selectedTagID());
    clock.time += 1;
    m_model->clickTag(m_model->hierarchy()[0]);
    clock.time += 0.2;
    m_model->clickTag(m_model->hierarchy()[0]);
    QCOMPARE(m_model->navigationPath(), QList<QUuid>({m_projects}));  // double click enters
    QVERIFY(!m_model->selectedTagID());
}

void TestInteraction::columnTagClicksOpenThenRename() {
    const TagNode projects = m_model->hierarchy()[0];
    m_model->clickColumnTag(projects, 0, false);
    QCOMPARE(m_model->navigationPath(), QList<QUuid>({m_projects}));
    m_model->clickColumnTag(projects, 0, true);
    QVERIFY(!m_model->inlineEditingTagID());
    m_model->clickColumnTag(projects, 0, false);
    QCOMPARE(m_model->inlineEditingTagID(), m_projects);
}

void TestInteraction::highlightAndSelectedUrls() {
    const QString a = file("h.txt", "Projects");
    m_model->openTag(m_projects, 0);
    m_model->openTag(m_client, 1);
    settle();
    QCOMPARE(m_model->highlightedTagID(0), m_projects);
    QCOMPARE(m_model->highlightedTagID(1), m_client);
    QVERIFY(!m_model->highlightedTagID(2));
    QVERIFY(!m_model->highlightedTagID(-1));
    FileItem item;
    for (const FileItem& f : m_model->filesPerTag().value(m_projects)) {
        if (f.name == "h.txt")
            item = f;
    }
    m_model->selectFile(item, AppViewModel::SelectMode::Replace);
    QVERIFY(!m_model->highlightedTagID(1));  // the selection sits in Projects' files
    QCOMPARE(m_model->highlightedTagID(0), m_projects);
    QCOMPARE(m_model->selectedFileURLs(), QList<QUrl>({QUrl::fromLocalFile(a)}));
    m_model->clearSelection();
    QVERIFY(m_model->selectedFileURLs().isEmpty());
}

void TestInteraction::dropRoutineRules() {
    const QString a = file("r1.txt");
    const QString b = file("r2.txt");
    const QUrl web("https://example.org/page");
    const QString id = tagIdText(m_client);
    QStringList calls;
    auto run = [&](const QMimeData& data, bool takesTags) -> bool {
        calls.clear();
        DropRoutine::TagHandler onTag;
        if (takesTags) {
            onTag = [&](const QUuid& tag) { calls.append("tag " + tagIdText(tag)); };
        }
        const bool accepted = DropRoutine::handle(
            data, this,
            [&](const QList<QUrl>& urls) {
                QStringList names;
                for (const QUrl& url : urls)
                    names.append(url.fileName());
                calls.append("files " + names.join(","));
            },
            onTag, [&] { calls.append("done"); });
        return accepted && calls.isEmpty();  // nothing is delivered before it returns
    };
    QVERIFY(run(
        *mime({QUrl::fromLocalFile(a), QUrl::fromLocalFile(a), web, QUrl::fromLocalFile(b)}, id),
        true));
    QTRY_COMPARE(calls, QStringList({"files r1.txt,r2.txt", "tag " + id, "done"}));
    QVERIFY(!run(*mime({}, id), false));  // text where no tags are taken
    QVERIFY(!run(*mime({web}), true));    // a web link alone
    QTest::qWait(10);
    QVERIFY(calls.isEmpty());
    QVERIFY(run(*mime({}, "not an id"), true));  // accepted, moves nothing
    QTRY_COMPARE(calls, QStringList({"done"}));
    QVERIFY(run(*mime({}, id.toLower()), true));
    QTRY_COMPARE(calls, QStringList({"tag " + id, "done"}));
    // Ids as other programs put them on the clipboard: with blanks and CR LF line ends.
    const QString other = tagIdText(m_invoices);
    QVERIFY(run(*mime({}, " " + id + "\r\n" + other + " \r\n"), true));
    QTRY_COMPARE(calls, QStringList({"tag " + id, "tag " + other, "done"}));
}

void TestInteraction::dropOnTagAddsThePathAndMovesTags() {
    // A sibling before Client adds nothing to Client's path.
    add("Another", m_projects);
    m_model->moveTag(m_client, m_projects);
    const QString a = file("d1.txt", "Keep");
    const QString fifo = m_folder + "/pipe-d";
    mkfifo(QFile::encodeName(fifo).constData(), 0600);
    const QUuid loose = add("Loose");
    auto data = mime({QUrl::fromLocalFile(fifo), QUrl::fromLocalFile(a)}, tagIdText(loose));
    QVERIFY(m_model->handleTagDrop(*data, m_client));
    QTRY_COMPARE(tagsOf(a), QByteArray("Keep,Projects,Client"));
    // The index hears of the write at once: a file outside its folders is found too.
    QTRY_VERIFY(std::any_of(m_services->query.notes.cbegin(), m_services->query.notes.cend(),
                            [&](const auto& note) {
                                return note.first == QFile::encodeName(a) &&
                                       note.second == QStringList({"Keep", "Projects", "Client"});
                            }));
    QTRY_VERIFY(AppViewModel::findTag(m_client, m_model->hierarchy())->children.size() == 2);
    QCOMPARE(m_model->hierarchy().size(), 1);

    // A tag dropped on its own descendant stays where it is.
    QVERIFY(m_model->handleTagDrop(*mime({}, tagIdText(m_projects)), m_invoices));
    QTest::qWait(20);
    QCOMPARE(m_model->hierarchy()[0].id, m_projects);

    QVERIFY(!m_model->handleCurrentFilesDrop(*mime({QUrl::fromLocalFile(a)})));  // at the root
    m_model->openTag(m_projects, 0);
    m_model->openTag(m_client, 1);
    m_model->openTag(m_invoices, 2);
    const QString b = file("d2.txt");
    QVERIFY(!m_model->handleCurrentFilesDrop(*mime({}, tagIdText(loose))));
    QVERIFY(m_model->handleCurrentFilesDrop(*mime({QUrl::fromLocalFile(b)})));
    QTRY_COMPARE(tagsOf(b), QByteArray("Projects,Client,Invoices"));
    QTRY_COMPARE(m_model->currentFiles().size(), 1);  // reloaded after the writes
}

void TestInteraction::dropOnColumnsLiftsFiles() {
    const QString a = file("c1.txt", "Projects,Client,Invoices,Elsewhere");
    m_model->openTag(m_projects, 0);
    m_model->openTag(m_client, 1);
    settle();
    QCOMPARE(m_model->dropTargetNames(2).adding, QStringList({"Projects", "Client"}));
    QCOMPARE(m_model->dropTargetNames(1).removing, QStringList({"Client", "Invoices"}));
    QCOMPARE(m_model->dropTargetNames(0).removing, QStringList({"Projects", "Client", "Invoices"}));
    QVERIFY(m_model->dropTargetNames(5).removing.isEmpty());

    QVERIFY(m_model->handleColumnDrop(*mime({QUrl::fromLocalFile(a)}), 1));
    QTRY_COMPARE(tagsOf(a), QByteArray("Projects,Elsewhere"));
    m_model->waitForFileWork();
    settle();
    // Listed under Projects now; selected there, then lifted out of every list, it is no
    // longer selected.
    const QList<FileItem> listed = m_model->filesPerTag().value(m_projects);
    QCOMPARE(listed.size(), 1);
    m_model->selectFile(listed[0], AppViewModel::SelectMode::Replace);
    QCOMPARE(m_model->selectedFileIDs().size(), 1);
    QVERIFY(m_model->handleColumnDrop(*mime({QUrl::fromLocalFile(a)}), 0));
    QTRY_COMPARE(tagsOf(a), QByteArray("Elsewhere"));
    m_model->waitForFileWork();
    settle();
    QVERIFY(m_model->selectedFileIDs().isEmpty());
    QVERIFY(m_model->handleColumnDrop(*mime({QUrl::fromLocalFile(a)}), 2));
    QTRY_COMPARE(tagsOf(a), QByteArray("Elsewhere,Projects,Client"));
    m_model->waitForFileWork();

    // A tag dropped on a column beyond the path belongs to no tag and stays.
    QVERIFY(m_model->handleColumnDrop(*mime({}, tagIdText(m_invoices)), 7));
    QTest::qWait(20);
    QCOMPARE(m_model->hierarchy().size(), 1);
    // A tag dropped on a column background moves under that column's tag.
    QVERIFY(m_model->handleColumnDrop(*mime({}, tagIdText(m_invoices)), 0));
    QTRY_COMPARE(m_model->hierarchy().size(), 2);
    QVERIFY(m_model->handleColumnDrop(*mime({}, tagIdText(m_invoices)), 1));
    QTRY_COMPARE(m_model->hierarchy().size(), 1);
    QCOMPARE(AppViewModel::findTag(m_projects, m_model->hierarchy())->children.size(), 2);
}

QTEST_MAIN(TestInteraction)
#include "tst_interaction.moc"
