// File work through the journal: cut short by a kill or a logout and finished at the next
// start, undone and redone byte for byte, and kept whole beside another writer.
#include "FileTags.h"
#include "LogCapture.h"
#include "ModelFixture.h"
#include "Session.h"
#include "TestTree.h"
#include "platform/FileJournal.h"
#include "platform/TagIndex.h"
#include "platform/XattrTagStore.h"
#include "services/FileWork.h"

#include <QDir>
#include <QtTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>

#include <unistd.h>
#include <csignal>

namespace {

std::atomic_bool g_stop = false;

}  // namespace

class TestFileWork : public QObject, public ModelFixture {
    Q_OBJECT

private slots:
    void initTestCase() { createHome(); }
    void init() { createModel(); }
    void cleanup() { destroyModel(); }
    void cutShortRenameIsFinishedAtNextStart_data();
    void cutShortRenameIsFinishedAtNextStart();
    void startFinishesWhatTheJournalHolds();
    void damagedJournalIsKeptAside();
    void undoAndRedoOfDropsRestoreExactBytes();
    void undoOfRenameAndMergeGivesFilesTheirNames();
    void undoWaitsForTheWorkItTakesBack();
    void anotherWriterLosesNothingOfOurs_data();
    void anotherWriterLosesNothingOfOurs();
    void tagsSurviveOtherProgramsSaves_data();
    void tagsSurviveOtherProgramsSaves();
    void longWorkShowsItsProgress();

private:
    QStringList manyFiles(int count, QList<QByteArray>* values);
};

QStringList TestFileWork::manyFiles(int count, QList<QByteArray>* values) {
    // Names other programs wrote, bytes that are not UTF-8, and a KDE name ending in a
    // backslash, around the name being renamed.
    const QList<QByteArray> shapes = {"A,Old,B", "Old", " lead,Old,\xff\xfe", "x\\y,OLD,Old,end\\"};
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString path = file(QString("many/f%1").arg(i));
        setRaw(path, shapes[i % shapes.size()]);
        paths.append(path);
        values->append(shapes[i % shapes.size()]);
    }
    return paths;
}

void TestFileWork::cutShortRenameIsFinishedAtNextStart_data() {
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("midBatch");  // else after the first batch is recorded
    QTest::addColumn<bool>("undone");    // the user took the rename back before the signal
    QTest::newRow("killed") << int(SIGKILL) << false << false;
    QTest::newRow("logout") << int(SIGTERM) << false << false;
    QTest::newRow("killed mid-batch, undone") << int(SIGKILL) << true << true;
    QTest::newRow("logout mid-batch, undone") << int(SIGTERM) << true << true;
}

void TestFileWork::cutShortRenameIsFinishedAtNextStart() {
    QFETCH(int, signal);
    QFETCH(bool, midBatch);
    QFETCH(bool, undone);
    QList<QByteArray> before;
    const QStringList paths = manyFiles(5000, &before);
    QList<QByteArray> rawPaths;
    for (const QString& path : paths) {
        rawPaths.append(QFile::encodeName(path));
    }
    const QString journalPath = m_folder + "/journal.sqlite";
    const QString donePath = m_folder + "/done";
    QVERIFY(QFile(donePath).open(QIODevice::WriteOnly));

    int progress[2];
    QVERIFY(pipe(progress) == 0);
    const pid_t child = fork();
    if (child == 0) {
        // The application's side: plan, then write, telling the first batch or the 200th file.
        signal == SIGTERM ? (void)std::signal(SIGTERM, [](int) { g_stop = true; })
                          : (void)std::signal(SIGTERM, SIG_DFL);
        class TellingStore : public SlowStore {
        public:
            std::error_code writeValue(const QByteArray& path, const QByteArray& value) override {
                const std::error_code error = SlowStore::writeValue(path, value);
                if (++writes == 200 && tell >= 0) {
                    [[maybe_unused]] auto n = write(tell, "w", 1);
                }
                return error;
            }
            int writes = 0;
            int tell = -1;
        } store;
        store.tell = midBatch ? progress[1] : -1;
        FakeQuery query;
        FileJournal journal(journalPath);
        FileWork::Context context{store, journal, query, g_stop, [&](qsizetype, qsizetype) {
                                      if (!midBatch) {
                                          [[maybe_unused]] auto n = write(progress[1], "b", 1);
                                      }
                                  }};
        // Work finished earlier this session: the next start clears it, and only it.
        SlowStore untold;
        FileWork::Context quiet{untold, journal, query, g_stop, {}};
        const qint64 done = journal.begin({.edit = TagEdit::add({"Done"})});
        FileWork::planEdit(journal, done, {QFile::encodeName(donePath)});
        FileWork::run(quiet, done);
        const qint64 op = journal.begin({.edit = TagEdit::rename("Old", "New")});
        FileWork::planEdit(journal, op, rawPaths);
        if (undone) {
            journal.begin({.kind = FileJournal::Kind::Undo, .undoes = op});
        }
        FileWork::run(context, op);
        _exit(0);
    }
    close(progress[1]);
    char byte = 0;
    QCOMPARE(read(progress[0], &byte, 1), 1);
    kill(child, signal);
    int status = 0;
    waitpid(child, &status, 0);
    close(progress[0]);
    qsizetype renamed = 0;
    for (const QString& path : paths) {
        renamed += raw(path).contains("New");
    }
    QVERIFY2(renamed >= (midBatch ? 200 : FileWork::kBatch) && renamed < paths.size(),
             qPrintable(QString::number(renamed)));
    if (undone) {
        // Another program adds a name of its own before the next start.
        for (const QString& path : paths) {
            setRaw(path, TagEdit::add({"Theirs"}).apply(raw(path)));
        }
    }

    // The next start finishes what the journal holds, in order.
    XattrTagStore store;
    FakeQuery query;
    FileJournal journal(journalPath);
    const auto unfinished = journal.unfinished();
    QCOMPARE(unfinished.size(), undone ? 2 : 1);
    std::atomic_bool stop = false;
    FileWork::Context context{store, journal, query, stop, {}};
    for (const FileJournal::Operation& operation : unfinished) {
        if (!operation.planned) {
            QVERIFY(FileWork::planUndo(journal, operation.id, operation.undoes));
        }
        FileWork::run(context, operation.id);
    }
    QVERIFY(journal.unfinished().isEmpty());
    for (qsizetype i = 0; i < paths.size(); ++i) {
        QByteArray expected = before[i];
        if (undone) {
            expected = TagEdit::add({"Theirs"}).apply(expected);  // as before, with theirs
        } else if (expected == "x\\y,OLD,Old,end\\") {
            expected = "x\\y,OLD,New,end\\";  // the other spelling is another name
        } else {
            expected.replace("Old", "New");
        }
        QCOMPARE(raw(paths[i]), expected);
    }
}

void TestFileWork::startFinishesWhatTheJournalHolds() {
    const QString a = file("a.txt", "Old,Keep");
    const QString b = file("b.txt", "Old");
    const QString untouched = file("c.txt", "Old");
    {
        // A session that planned a rename and ended before writing, and one that ended while
        // still asking which files carry a name.
        XattrTagStore store;
        FakeQuery query;
        FileJournal journal(FileJournal::defaultPath());
        std::atomic_bool stop = false;
        FileWork::Context context{store, journal, query, stop, {}};
        const qint64 planned = journal.begin({.edit = TagEdit::rename("Old", "New")});
        FileWork::planEdit(journal, planned, {QFile::encodeName(a), QFile::encodeName(b)});
        journal.begin({.edit = TagEdit::rename("Keep", "Kept")});
    }
    LogCapture log;
    FileJournal journal(FileJournal::defaultPath());
    AppViewModel::Services services = m_services->services();
    services.journal = &journal;
    AppViewModel model(services, AppViewModel::Startup::LoadHierarchy);
    model.waitForFileWork();
    QCOMPARE(raw(a), QByteArray("New,Kept"));
    QCOMPARE(raw(b), QByteArray("New"));
    QCOMPARE(raw(untouched), QByteArray("Old"));  // not in the plan
    QVERIFY(journal.unfinished().isEmpty());
    QVERIFY2(log.lines().contains(
                 "[Orvane] fileJournal: finished 3 files left unfinished by the last session"),
             qPrintable(log.lines().join('\n')));
}

void TestFileWork::damagedJournalIsKeptAside() {
    const QString path = m_folder + "/state/journal.sqlite";
    QDir().mkpath(m_folder + "/state");
    for (const QByteArray& damage :
         {QByteArray("not a database at all"), QByteArray("SQLite format 3\0garbage", 24)}) {
        QFile bad(path);
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write(damage.repeated(200));
        bad.close();
        LogCapture log;
        FileJournal journal(path);
        QVERIFY(journal.begin({.edit = TagEdit::add({"x"})}) > 0);
        QCOMPARE(QDir(m_folder + "/state").entryList({"journal.sqlite.damaged-*"}).size(), 1);
        QVERIFY(
            log.lines().join('\n').contains("fileJournal: the journal was damaged; kept aside"));
        QDir(m_folder + "/state").removeRecursively();
        QDir().mkpath(m_folder + "/state");
    }
}

void TestFileWork::undoAndRedoOfDropsRestoreExactBytes() {
    const QUuid projects = add("Projects");
    const QString plain = file("plain.txt");
    const QString foreign = file("foreign.txt");
    setRaw(foreign, QByteArray(" lead,C:\\temp,\xff\xfe,x\\\\y,end\\", 25));
    const QString elsewhere = file("elsewhere.txt", "Mine");
    const QList<QString> files = {plain, foreign, elsewhere};
    QList<QByteArray> before;
    for (const QString& path : files) {
        before.append(raw(path));
    }
    m_model->applyTags(
        {QUrl::fromLocalFile(plain), QUrl::fromLocalFile(foreign), QUrl::fromLocalFile(elsewhere)},
        {"Projects"}, {});
    m_model->waitForFileWork();
    QCOMPARE(m_model->fileWorkStatus(), QString("Tagged 3 files with Projects"));
    QCOMPARE(m_model->undoLabel(), QString("Undo Tag 3 Files"));
    QList<QByteArray> after;
    for (const QString& path : files) {
        after.append(raw(path));
        QVERIFY(after.last().contains("Projects"));
    }
    setRaw(elsewhere, "Mine,Projects,Theirs");  // another program, between the drop and the undo

    // Exact bytes where the files hold what the drop wrote; around another program's entries,
    // the drop's own entry taken off.
    m_model->undo();
    m_model->waitForFileWork();
    QCOMPARE(raw(plain), before[0]);
    QCOMPARE(getxattr(QFile::encodeName(plain).constData(), "user.xdg.tags", nullptr, 0), -1);
    QCOMPARE(raw(foreign), before[1]);
    QCOMPARE(raw(elsewhere), QByteArray("Mine,Theirs"));
    QCOMPARE(m_model->redoLabel(), QString("Redo Tag 3 Files"));

    m_model->redo();
    m_model->waitForFileWork();
    QCOMPARE(raw(plain), after[0]);
    QCOMPARE(raw(foreign), after[1]);
    QCOMPARE(raw(elsewhere), QByteArray("Mine,Projects,Theirs"));
    Q_UNUSED(projects);
}

void TestFileWork::undoOfRenameAndMergeGivesFilesTheirNames() {
    const QUuid alpha = add("Alpha");
    const QUuid beta = add("Beta");
    const QString onlyAlpha = file("a.txt", "x,Alpha");
    const QString both = file("b.txt", "Beta,Alpha,y");
    // Renaming Alpha onto Beta merges the two names on every file.
    const QList<TagNode> tree = m_model->hierarchy();
    m_model->beginRename(*AppViewModel::findTag(alpha, m_model->hierarchy()));
    m_model->setInlineEditingText("Beta");
    m_model->commitInlineEdit();
    m_model->waitForFileWork();
    QCOMPARE(raw(onlyAlpha), QByteArray("x,Beta"));
    QCOMPARE(raw(both), QByteArray("Beta,y"));
    QCOMPARE(m_model->undoLabel(), QString("Undo Rename \u201cAlpha\u201d"));

    m_model->undo();
    m_model->waitForFileWork();
    QCOMPARE(m_model->hierarchy(), tree);
    QCOMPARE(raw(onlyAlpha), QByteArray("x,Alpha"));
    QCOMPARE(raw(both), QByteArray("Beta,Alpha,y"));

    m_model->redo();
    m_model->waitForFileWork();
    QCOMPARE(AppViewModel::findTag(alpha, m_model->hierarchy())->name, QString("Beta"));
    QCOMPARE(raw(both), QByteArray("Beta,y"));
    Q_UNUSED(beta);
}

void TestFileWork::undoWaitsForTheWorkItTakesBack() {
    const QUuid old = add("Old");
    QStringList paths;
    for (int i = 0; i < 300; ++i) {
        paths.append(file(QString("w%1.txt").arg(i), "Old"));
    }
    m_model->beginRename(*AppViewModel::findTag(old, m_model->hierarchy()));
    m_model->setInlineEditingText("New");
    m_model->commitInlineEdit();
    m_model->undo();  // at once: the rename's files are still being asked for or written
    m_model->waitForFileWork();
    for (const QString& path : paths) {
        QCOMPARE(raw(path), QByteArray("Old"));
    }
    QCOMPARE(AppViewModel::findTag(old, m_model->hierarchy())->name, QString("Old"));
}

void TestFileWork::anotherWriterLosesNothingOfOurs_data() {
    QTest::addColumn<bool>("late");
    QTest::newRow("at once") << false;
    QTest::newRow("held up until after the read-back") << true;
}

void TestFileWork::anotherWriterLosesNothingOfOurs() {
    // Another program read each list just before Orvane wrote it, and writes its own change to
    // what it read just after, or once Orvane has read the list back: Orvane's change is gone
    // from the file until it is made again.
    QFETCH(bool, late);
    class RacingStore : public FileTagStore {
    public:
        std::optional<QByteArray> readValue(const QByteArray& path) const override {
            const auto value = m_real.readValue(path);
            if (m_held.contains(path)) {
                m_real.writeValue(path, m_held.take(path));
            }
            return value;
        }
        std::error_code writeValue(const QByteArray& path, const QByteArray& value) override {
            const QByteArray stale = m_real.readValue(path).value_or(QByteArray());
            const std::error_code error = m_real.writeValue(path, value);
            // Every fourth file, in every batch.
            if (++m_writes % 4 == 0 && !raced.contains(path)) {
                raced.insert(path);
                const QByteArray theirs = TagEdit::add({"Theirs"}).apply(stale);
                if (late) {
                    m_held.insert(path, theirs);
                } else {
                    m_real.writeValue(path, theirs);
                }
            }
            return error;
        }
        bool late = false;
        QSet<QByteArray> raced;

    private:
        mutable XattrTagStore m_real;
        mutable QHash<QByteArray, QByteArray> m_held;
        int m_writes = 0;
    };
    QList<QByteArray> paths;
    for (int i = 0; i < 1200; ++i) {
        paths.append(QFile::encodeName(file(QString("race%1.txt").arg(i), "Old")));
    }
    RacingStore store;
    store.late = late;
    FakeQuery query;
    FileJournal journal(":memory:");
    std::atomic_bool stop = false;
    FileWork::Context context{store, journal, query, stop, {}};
    const qint64 op = journal.begin({.edit = TagEdit::rename("Old", "New")});
    QVERIFY(FileWork::planEdit(journal, op, paths));
    const FileWork::Summary summary = FileWork::run(context, op);
    QCOMPARE(summary.changed, paths.size());
    QCOMPARE(summary.unsettled, 0);
    for (const QByteArray& path : paths) {
        const QByteArray expected = store.raced.contains(path) ? "New,Theirs" : "New";
        QCOMPARE(raw(QFile::decodeName(path)), expected);
    }
}

void TestFileWork::tagsSurviveOtherProgramsSaves_data() {
    QTest::addColumn<QString>("save");
    QTest::addColumn<QByteArray>("after");  // "tags": the file's own tags, given back
    QTest::newRow("new file renamed onto it") << "rename" << QByteArray("tags");
    QTest::newRow("moved aside, new file written") << "backup" << QByteArray("tags");
    QTest::newRow("deleted, written again") << "recreate" << QByteArray("tags");
    QTest::newRow("chmodded, then replaced") << "chmod rename" << QByteArray("tags");
    QTest::newRow("written in place, then replaced") << "write rename" << QByteArray("tags");
    QTest::newRow("100 saves a second") << "burst" << QByteArray("tags");
    QTest::newRow("a new file with tags of its own") << "own" << QByteArray("Theirs");
    QTest::newRow("tags removed on purpose") << "clear" << QByteArray();
    QTest::newRow("tags removed, then replaced") << "clear rename" << QByteArray();
    QTest::newRow("a link in its place") << "link" << QByteArray();
}

void TestFileWork::tagsSurviveOtherProgramsSaves() {
    QFETCH(QString, save);
    QFETCH(QByteArray, after);
    const QByteArray tags(" lead,Work,\xff", 11);
    const QString path = file("saves/" + QString(QTest::currentDataTag()).replace(' ', '-'));
    const QString untagged = file("saves/elsewhere.txt");
    setRaw(path, tags);
    TagIndex::Options options;
    options.roots = {QFile::encodeName(m_folder)};
    options.outsideListPath = m_folder + "/elsewhere";
    // Events read a moment late, as on a loaded machine: a touch before the save is read when
    // the new file is already in place.
    options.eventDelayMs = 50;
    TagIndex index(options);
    index.start();
    index.waitUntilReady();
    AppViewModel::Services services = m_services->services();
    AppViewModel model(
        {services.tagStore, index, services.workspace, services.clock, services.previews},
        AppViewModel::Startup::Empty);
    LogCapture log;
    const auto writeNew = [](const QString& target) {
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("saved");
    };
    const auto renameOnto = [&] {
        writeNew(path + ".tmp");
        QVERIFY(::rename(QFile::encodeName(path + ".tmp"), QFile::encodeName(path)) == 0);
    };
    writeNew(path + ".tmp");
    for (const QString& step : save.split(' ')) {
        if (step == "rename") {
            QVERIFY(::rename(QFile::encodeName(path + ".tmp"), QFile::encodeName(path)) == 0);
        } else if (step == "backup") {
            QVERIFY(QFile::rename(path, path + "~"));
            writeNew(path);
        } else if (step == "recreate") {
            QVERIFY(QFile::remove(path));
            writeNew(path);
        } else if (step == "chmod") {
            QVERIFY(::chmod(QFile::encodeName(path), 0600) == 0);
        } else if (step == "write") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::Append));
            file.write("more");
        } else if (step == "burst") {
            for (int i = 0; i < 100; ++i) {
                renameOnto();
                QTest::qWait(10);
            }
        } else if (step == "own") {
            writeNew(path + ".tmp");
            setRaw(path + ".tmp", "Theirs");
            QVERIFY(::rename(QFile::encodeName(path + ".tmp"), QFile::encodeName(path)) == 0);
        } else if (step == "clear") {
            setRaw(path, QByteArray());
            QTest::qWait(100);  // the user's removal is seen before the editor saves
        } else if (step == "link") {
            QVERIFY(QFile::remove(path));
            QVERIFY(QFile::link(untagged, path));
        }
    }
    if (after == "tags") {
        QTRY_COMPARE(raw(path), tags);
    }
    index.waitUntilReady();
    QTest::qWait(200);  // a put-back that should not come would come by now
    model.waitForFileWork();
    QCOMPARE(raw(path), after == "tags" ? tags : after);
    QCOMPARE(raw(untagged), QByteArray());
    if (save == "backup") {
        QCOMPARE(raw(path + "~"), tags);
    }
    if (save == "link") {
        // Also when the link comes after the save was seen: the put-back never goes through it.
        FileJournal journal(":memory:");
        std::atomic_bool stop = false;
        FileWork::Context context{m_services->store, journal, index, stop, {}};
        FileWork::run(context, journal.begin({.kind = FileJournal::Kind::Restore},
                                             {{.path = QFile::encodeName(path), .target = tags}}));
        QCOMPARE(raw(untagged), QByteArray());
    }
}

void TestFileWork::longWorkShowsItsProgress() {
    for (int i = 0; i < 1500; ++i) {
        file(QString("slow/f%1").arg(i), "Old");
    }
    SlowStore store(600);
    AppViewModel::Services services = m_services->services();
    AppViewModel model(
        {store, services.query, services.workspace, services.clock, services.previews},
        AppViewModel::Startup::Empty);
    addTag(model, "Old");
    const QUuid id = model.hierarchy().first().id;
    QStringList seen;
    connect(&model, &AppViewModel::fileWorkStatusChanged, this,
            [&] { seen.append(model.fileWorkStatus()); });
    model.beginRename(*AppViewModel::findTag(id, model.hierarchy()));
    model.setInlineEditingText("New");
    model.commitInlineEdit();
    model.waitForFileWork();
    // After half a second the status line counts the files, then says what was done.
    QVERIFY2(seen.contains("Renaming tag on 1,000 of 1,500 files\u2026"),
             qPrintable(seen.join('|')));
    QCOMPARE(seen.last(), QString("Renamed tag on 1,500 files"));
}

QTEST_MAIN(TestFileWork)
#include "tst_filework.moc"
