// Failures said in plain words, and nothing claimed that did not happen: a full disk under the
// journal or the tree, a read-only state folder, files that cannot be changed. The full and
// read-only disks are small file systems mounted in the test's own mount namespace.
#include "FakeServices.h"
#include "FileTags.h"
#include "LogCapture.h"
#include "ModelFixture.h"
#include "TestTree.h"
#include "model/HierarchyFile.h"
#include "platform/FileJournal.h"

#include <QDir>
#include <QGuiApplication>
#include <QtTest>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool g_canMount = false;

// Before any thread starts: a mount namespace of the test's own, so that its small file
// systems are seen by nothing else and go with the process.
void enterOwnMountNamespace() {
    const uid_t uid = getuid();
    const gid_t gid = getgid();
    if (unshare(uid == 0 ? CLONE_NEWNS : CLONE_NEWNS | CLONE_NEWUSER) != 0) {
        return;
    }
    if (uid != 0) {
        const auto write = [](const char* path, const QByteArray& text) {
            QFile file(path);
            return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
        };
        write("/proc/self/setgroups", "deny");
        if (!write("/proc/self/uid_map", "0 " + QByteArray::number(uid) + " 1") ||
            !write("/proc/self/gid_map", "0 " + QByteArray::number(gid) + " 1")) {
            return;
        }
    }
    g_canMount = mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// A file system of 512 KiB at `path`, read-only when asked.
bool mountSmall(const QString& path, bool readOnly = false) {
    QDir().mkpath(path);
    return mount("tmpfs", QFile::encodeName(path).constData(), "tmpfs", readOnly ? MS_RDONLY : 0,
                 "size=512k,mode=0700") == 0;
}

void unmount(const QString& path) {
    umount2(QFile::encodeName(path).constData(), MNT_DETACH);
}

// Fills the file system holding `folder` to the last byte.
void fill(const QString& folder) {
    QFile filler(folder + "/filler");
    if (filler.open(QIODevice::WriteOnly)) {
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.write(QByteArray(1, 'x'));
        filler.flush();
    }
}

void makeRoom(const QString& folder) {
    QFile::remove(folder + "/filler");
}

}  // namespace

class TestFailures : public QObject, public ModelFixture {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void fullDiskRefusesBeforeAnythingIsWritten_data();
    void fullDiskRefusesBeforeAnythingIsWritten();
    void fullDiskDuringWorkKeepsItsUndo();
    void readOnlyStateFolderRefusesChangesToFiles();
    void journalIsPrivateAndNeverALink();
    void statusLinesSayWhatChanged_data();
    void statusLinesSayWhatChanged();

private:
    QString stateFolder() const { return QFileInfo(FileJournal::defaultPath()).absolutePath(); }
    void startWithJournal();
    void renameTag(const QUuid& id, const QString& name);

    std::unique_ptr<FileJournal> m_journal;
};

void TestFailures::initTestCase() {
    createHome();
    if (!g_canMount) {
        QSKIP("no mount namespace of our own here: the full-disk tests need small file systems");
    }
}

void TestFailures::init() {
    QDir(m_home->dataDir()).removeRecursively();
    QVERIFY(mountSmall(stateFolder()));
    QVERIFY(mountSmall(m_home->dataDir()));
    createModel();
}

void TestFailures::cleanup() {
    destroyModel();
    m_journal.reset();
    unmount(stateFolder());
    unmount(m_home->dataDir());
}

void TestFailures::startWithJournal() {
    destroyModel();
    m_journal = std::make_unique<FileJournal>(FileJournal::defaultPath());
    m_services = std::make_unique<FakeServices>();
    m_services->query.autoAnswerFolder = m_folder;
    AppViewModel::Services services = m_services->services();
    services.journal = m_journal.get();
    m_model = std::make_unique<AppViewModel>(services, AppViewModel::Startup::Empty);
}

void TestFailures::renameTag(const QUuid& id, const QString& name) {
    m_model->beginRename(*AppViewModel::findTag(id, m_model->hierarchy()));
    m_model->setInlineEditingText(name);
    m_model->commitInlineEdit();
}

void TestFailures::fullDiskRefusesBeforeAnythingIsWritten_data() {
    QTest::addColumn<QString>("full");  // "state" (the journal's) or "data" (the tree's)
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("said");
    QTest::newRow("rename") << "state"
                            << "rename"
                            << "Couldn\u2019t Rename \u201cA\u201d: the disk is full.";
    QTest::newRow("drop") << "state"
                          << "drop"
                          << "Couldn\u2019t Tag 2 Files: the disk is full.";
    QTest::newRow("undo of a drop") << "state"
                                    << "undo"
                                    << "Couldn\u2019t Undo Tag 2 Files: the disk is full.";
    QTest::newRow("rename, tree full") << "data"
                                       << "rename"
                                       << "Couldn\u2019t Rename \u201cA\u201d: the disk is full.";
    QTest::newRow("new tag") << "data"
                             << "create"
                             << "Couldn\u2019t create the tag \u201cN\u201d: the disk is full.";
    QTest::newRow("delete") << "data"
                            << "delete"
                            << "Couldn\u2019t Delete \u201cA\u201d: the disk is full.";
}

void TestFailures::fullDiskRefusesBeforeAnythingIsWritten() {
    QFETCH(QString, full);
    QFETCH(QString, action);
    QFETCH(QString, said);
    startWithJournal();
    const QUuid a = add("A");
    const QString one = file("one.txt", "A,x");
    const QString two = file("two.txt", "y");
    const QList<QUrl> both = {QUrl::fromLocalFile(one), QUrl::fromLocalFile(two)};
    if (action == "undo") {
        m_model->applyTags(both, {"A"}, {});
        m_model->waitForFileWork();
    }
    const QList<TagNode> tree = m_model->hierarchy();
    const QByteArray before[] = {raw(one), raw(two)};
    const std::optional<QString> undo = m_model->undoLabel();
    LogCapture log;

    fill(full == "state" ? stateFolder() : m_home->dataDir());
    if (action == "rename") {
        renameTag(a, "B");
    } else if (action == "drop") {
        m_model->applyTags(both, {"A"}, {});
    } else if (action == "undo") {
        m_model->undo();
    } else if (action == "create") {
        m_model->createTag("N", 0, std::nullopt);
    } else {
        m_model->deleteTag(a);
    }
    m_model->waitForFileWork();
    QCOMPARE(m_model->fileWorkStatus(), said);
    QCOMPARE(m_model->hierarchy(), tree);
    QCOMPARE(raw(one), before[0]);
    QCOMPARE(raw(two), before[1]);
    QCOMPARE(m_model->undoLabel(), undo);
    QVERIFY(m_journal->unfinished().isEmpty());

    // With room again, the same action goes through.
    makeRoom(full == "state" ? stateFolder() : m_home->dataDir());
    if (action == "rename") {
        renameTag(a, "B");
        m_model->waitForFileWork();
        QCOMPARE(raw(one), QByteArray("B,x"));
    }
}

void TestFailures::fullDiskDuringWorkKeepsItsUndo() {
    // The disk fills while a rename runs: its progress cannot be recorded, but the files are
    // renamed, and undo, once there is room, takes every one of them back.
    class FillingStore : public FileTagStore {
    public:
        std::optional<QByteArray> readValue(const QByteArray& path) const override {
            return real.readValue(path);
        }
        std::error_code writeValue(const QByteArray& path, const QByteArray& value) override {
            if (!folder.isEmpty()) {
                fill(folder);
                folder.clear();
            }
            return real.writeValue(path, value);
        }
        QString folder;
        XattrTagStore real;
    } store;
    m_journal = std::make_unique<FileJournal>(FileJournal::defaultPath());
    AppViewModel::Services services = m_services->services();
    AppViewModel model({store, services.query, services.workspace, services.clock,
                        services.previews, m_journal.get()},
                       AppViewModel::Startup::Empty);
    const QUuid a = addTag(model, "A");
    QStringList paths;
    for (int i = 0; i < 1200; ++i) {
        paths.append(file(QString("many/f%1").arg(i), "A"));
    }
    store.folder = stateFolder();
    model.beginRename(*AppViewModel::findTag(a, model.hierarchy()));
    model.setInlineEditingText("B");
    model.commitInlineEdit();
    model.waitForFileWork();
    QCOMPARE(model.fileWorkStatus(),
             QString("Renamed tag on 1,200 files; the journal could not keep up (a crash now "
                     "would not be finished)"));
    QCOMPARE(raw(paths.last()), QByteArray("B"));

    model.undo();
    QCOMPARE(model.fileWorkStatus(),
             QString("Couldn\u2019t Undo Rename \u201cA\u201d: the disk is full."));
    QCOMPARE(AppViewModel::findTag(a, model.hierarchy())->name, QString("B"));
    makeRoom(stateFolder());
    model.undo();
    model.waitForFileWork();
    QCOMPARE(AppViewModel::findTag(a, model.hierarchy())->name, QString("A"));
    for (const QString& path : std::as_const(paths)) {
        QCOMPARE(raw(path), QByteArray("A"));
    }
}

void TestFailures::readOnlyStateFolderRefusesChangesToFiles() {
    unmount(stateFolder());
    QDir(stateFolder()).removeRecursively();
    QVERIFY(mountSmall(stateFolder(), true));
    LogCapture log;
    startWithJournal();
    QCOMPARE(m_journal->problem(), QString("the folder %1 is not writable").arg(stateFolder()));
    QCOMPARE(m_model->fileWorkProblem(),
             QString("Tags on files can\u2019t be changed this session: the folder %1 is not "
                     "writable.")
                 .arg(stateFolder()));
    const QUuid a = add("A");
    const QString tagged = file("f.txt", "A");
    renameTag(a, "B");
    QCOMPARE(AppViewModel::findTag(a, m_model->hierarchy())->name, QString("A"));
    QCOMPARE(raw(tagged), QByteArray("A"));
    QVERIFY(m_model->fileWorkStatus().startsWith("Couldn\u2019t Rename \u201cA\u201d: the folder"));
    m_model->applyTags({QUrl::fromLocalFile(tagged)}, {"C"}, {});
    QCOMPARE(raw(tagged), QByteArray("A"));
    // The tree alone is still the user's to change.
    m_model->setColorIndex(3, a);
    QCOMPARE(AppViewModel::findTag(a, m_model->hierarchy())->colorIndex, 3);
}

void TestFailures::journalIsPrivateAndNeverALink() {
    unmount(stateFolder());
    QDir(stateFolder()).removeRecursively();
    QVERIFY(QDir().mkpath(stateFolder()));  // as an older version left it: 0755
    const QString path = FileJournal::defaultPath();
    const QString elsewhere = m_folder + "/not-the-journal";
    QVERIFY(QFile::link(elsewhere, path));
    LogCapture log;
    const auto mode = [](const QString& file) {
        struct stat info {};
        ::stat(QFile::encodeName(file).constData(), &info);
        return info.st_mode & 0777;
    };
    FileJournal journal(path);
    QVERIFY(journal.begin({.edit = TagEdit::add({"x"})}) > 0);
    QVERIFY(!QFileInfo::exists(elsewhere));
    QVERIFY(!QFileInfo(path).isSymLink());
    QCOMPARE(QDir(stateFolder()).entryList({"journal.sqlite.link-*"}, QDir::System).size(), 1);
    QVERIFY(log.lines().join('\n').contains("fileJournal: the journal was a link; kept aside"));
    QCOMPARE(mode(stateFolder()), 0700u);
    QCOMPARE(mode(path), 0600u);
    QCOMPARE(mode(path + "-wal"), 0600u);
}

void TestFailures::statusLinesSayWhatChanged_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("said");
    QTest::newRow("one file") << "tag one"
                              << "Tagged 1 file with A";
    QTest::newRow("names taken off") << "lift"
                                     << "Removed A, B from 1 file";
    QTest::newRow("a file gone") << "tag gone"
                                 << "Tagged 1 file; 1 could not be changed (gone)";
    QTest::newRow("too long a list")
        << "tag long"
        << "Tagged 0 files; 2 could not be changed (the tag list is too long for the file system)";
    QTest::newRow("rename, some files not carrying it")
        << "rename"
        << "Renamed tag on 1 file; 1 could not be changed (gone)";
}

void TestFailures::statusLinesSayWhatChanged() {
    QFETCH(QString, action);
    QFETCH(QString, said);
    unmount(stateFolder());
    const QUuid a = add("A");
    const QString plain = file("plain.txt");
    const QString gone = m_folder + "/gone.txt";
    const QString tagged = file("tagged.txt", "A,B,x");
    if (action == "tag one") {
        m_model->applyTags({QUrl::fromLocalFile(plain)}, {"A"}, {});
    } else if (action == "lift") {
        m_model->applyTags({QUrl::fromLocalFile(tagged)}, {}, {"A", "B", "C", "D"});
    } else if (action == "tag gone") {
        m_model->applyTags({QUrl::fromLocalFile(plain), QUrl::fromLocalFile(gone)}, {"A"}, {});
    } else if (action == "tag long") {
        m_model->applyTags({QUrl::fromLocalFile(plain), QUrl::fromLocalFile(tagged)},
                           {"A", QString(70000, 'n')}, {});
    } else {
        // The index still lists a file that went meanwhile, and one that does not carry A.
        m_services->query.autoAnswerFolder.clear();
        renameTag(a, "Z");
        QTRY_COMPARE(m_services->query.pendingCount(), 1);
        m_services->query.release(0, {QUrl::fromLocalFile(tagged), QUrl::fromLocalFile(gone),
                                      QUrl::fromLocalFile(plain)});
    }
    m_model->waitForFileWork();
    QCOMPARE(m_model->fileWorkStatus(), said);
}

int main(int argc, char* argv[]) {
    enterOwnMountNamespace();
    QGuiApplication app(argc, argv);
    TestFailures test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_failures.moc"
