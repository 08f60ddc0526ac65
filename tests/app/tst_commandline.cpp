// `orvane COMMAND …` through the real binary, in a home of its own: what it prints, its exit
// code and what it leaves on the files.
#include "FileTags.h"
#include "TestHome.h"
#include "app/DesktopServices.h"
#include "app/OrvaneBus.h"
#include "model/HierarchyFile.h"
#include "model/TagNode.h"
#include "platform/FileJournal.h"

#include <QDBusConnection>
#include <QDir>
#include <QSignalSpy>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/xattr.h>
#include <filesystem>

class CommandLineTest : public QObject {
    Q_OBJECT

    struct Result {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };

    Result orvane(const QStringList& arguments, const QByteArray& input = {}) {
        QProcess process;
        process.setWorkingDirectory(m_home->home());
        process.start(ORVANE_PATH, arguments);
        process.write(input);
        process.closeWriteChannel();
        // The event loop turns meanwhile: a window in this process answers on the bus.
        if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 60000)) {
            process.kill();
            process.waitForFinished();
        }
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardOutput(), process.readAllStandardError()};
    }

    // One home for all: the tree's folder is looked up once per process.
    std::unique_ptr<TestHome> m_home = std::make_unique<TestHome>();

    QProcess m_bus;

private slots:
    // A session bus of the test's own: the window's side is published there, and the commands
    // started here find it; the user's bus is never touched.
    void initTestCase() {
        m_bus.start("dbus-daemon", {"--session", "--print-address", "--nofork"});
        QVERIFY2(m_bus.waitForStarted() && m_bus.waitForReadyRead(10000),
                 "dbus-daemon (Debian's dbus-daemon) could not start");
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.readLine().trimmed());
    }

    void cleanupTestCase() {
        m_bus.terminate();
        m_bus.waitForFinished();
    }

    void init() {
        QFile::remove(FileJournal::defaultPath());
        // "Work" twice in the tree: a bare name must not pick one of them.
        TagNode projects = TagNode::make("Projects", 1);
        projects.children = {TagNode::make("Client", 2), TagNode::make("Work", 3)};
        TagNode personal = TagNode::make("Personal", 4);
        personal.children = {TagNode::make("Work", 5)};
        QVERIFY(!HierarchyFile::save({projects, personal}));
        setRaw(m_home->writeFile("a", {}), "Projects,Client");
        setRaw(m_home->writeFile("b", {}), "Client\n3");
        setRaw(m_home->writeFile("c", {}), {});
    }

    void cleanup() { QDBusConnection::sessionBus().unregisterService(OrvaneBus::kService); }

    void commands_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<QByteArray>("aAfter");  // the attribute of file "a" afterwards

        const QByteArray before = "Projects,Client";
        QTest::newRow("tags of one file: a name a line")
            << QStringList{"tags", "a"} << 0 << QByteArray("Projects\nClient\n") << "" << before;
        QTest::newRow("tags: the Finder's colour is not part of the name")
            << QStringList{"tags", "b"} << 0 << QByteArray("Client\n") << "" << before;
        QTest::newRow("tags -0") << QStringList{"tags", "-0", "a"} << 0
                                 << QByteArray("Projects\0Client\0", 16) << "" << before;
        QTest::newRow("tags --count")
            << QStringList{"tags", "a", "--count"} << 0 << QByteArray("2\n") << "" << before;
        QTest::newRow("tags of several files")
            << QStringList{"tags", "a", "c"} << 0 << QByteArray("a: Projects, Client\nc: \n") << ""
            << before;
        QTest::newRow("tags --json") << QStringList{"tags", "--json", "a", "c"} << 0
                                     << QByteArray(R"({"a":["Projects","Client"],"c":[]})"
                                                   "\n")
                                     << "" << before;
        QTest::newRow("tags of a missing file: said, the others printed")
            << QStringList{"tags", "nosuch", "a"} << 1 << QByteArray("a: Projects, Client\n")
            << "orvane: nosuch: no such file or directory" << before;
        const QByteArray a = QFile::encodeName(m_home->path("a")) + '\n';
        const QByteArray b = QFile::encodeName(m_home->path("b")) + '\n';
        QTest::newRow("files: any case, a colour ignored")
            << QStringList{"files", "client"} << 0 << a + b << "" << before;
        QTest::newRow("files: a tree path is every name along it")
            << QStringList{"files", "Projects/Client"} << 0 << a << "" << before;
        QTest::newRow("files: and, not, or and parentheses")
            << QStringList{"files", "(Client", "and", "not", "Projects)", "or", "Nothing"} << 0
            << b << "" << before;
        QTest::newRow("files --json")
            << QStringList{"files", "--json", "Projects"} << 0
            << "[\"" + a.trimmed() + "\"]\n" << "" << before;
        QTest::newRow("files: a query cut short is a usage error")
            << QStringList{"files", "Client", "or"} << 2 << QByteArray()
            << "orvane: usage: orvane files QUERY: a name is missing at the end" << before;
        QTest::newRow("untagged: the files without tags")
            << QStringList{"untagged"} << 0 << QByteArray("c\n") << "" << before;
        QTest::newRow("tree: every path") << QStringList{"tree"} << 0
                                          << QByteArray(
                                                 "Projects\nProjects/Client\nProjects/"
                                                 "Work\nPersonal\nPersonal/Work\n")
                                          << "" << before;
        QTest::newRow("tree --json")
            << QStringList{"tree", "--json"} << 0
            << QByteArray(R"([{"children":[{"name":"Client"},{"name":"Work"}],"name":"Projects"},)"
                          R"({"children":[{"name":"Work"}],"name":"Personal"}])"
                          "\n")
            << "" << before;
        QTest::newRow("tag: a nested tag brings its ancestors, case as in the tree")
            << QStringList{"tag", "c", "a", "-t", "personal/work"} << 0 << QByteArray() << ""
            << QByteArray("Projects,Client,Personal,Work");
        QTest::newRow("tag: a name not in the tree stands alone")
            << QStringList{"tag", "a", "-t", "Loose", "Client"} << 0 << QByteArray() << ""
            << QByteArray("Projects,Client,Loose");
        QTest::newRow("tag: a name twice in the tree is refused, nothing written")
            << QStringList{"tag", "a", "-t", "Work"} << 1 << QByteArray()
            << "orvane: \"Work\" is in the tree more than once; give its path, such as "
               "\"Projects/Work\""
            << before;
        QTest::newRow("tag: a missing file is said, the others tagged")
            << QStringList{"tag", "nosuch", "a", "-t", "Loose"} << 1 << QByteArray()
            << "orvane: nosuch: no such file" << QByteArray("Projects,Client,Loose");
        // procfs, like FAT and some network mounts, has no extended attributes.
        QTest::newRow("tag on a drive without tags: said so")
            << QStringList{"tag", "/proc/self/comm", "a", "-t", "Loose"} << 1 << QByteArray()
            << "orvane: Tagged 1 file; 1 could not be changed (this drive cannot store tags)"
            << QByteArray("Projects,Client,Loose");
        QTest::newRow("an unknown option: usage, nothing written")
            << QStringList{"tag", "a", "--bogus", "-t", "Loose"} << 2 << QByteArray()
            << "orvane: unknown option --bogus" << before;
        QTest::newRow("rename: the tree's tag and its files")
            << QStringList{"rename", "projects/client", "Customer"} << 0 << QByteArray() << ""
            << QByteArray("Projects,Customer");
        QTest::newRow("rename of a name twice in the tree is refused")
            << QStringList{"rename", "Work", "Job"} << 1 << QByteArray()
            << "orvane: \"Work\" is in the tree more than once" << before;
        QTest::newRow("rename of a tag the tree lacks is refused")
            << QStringList{"rename", "Nope", "Job"} << 1 << QByteArray()
            << "orvane: \"Nope\" is not in the tree" << before;
        QTest::newRow("untag: the tag's own name goes")
            << QStringList{"untag", "a", "-t", "Client"} << 0 << QByteArray() << ""
            << QByteArray("Projects");
    }

    void commands() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, out);
        QFETCH(QString, err);
        QFETCH(QByteArray, aAfter);
        const Result result = orvane(arguments);
        QCOMPARE(result.out, out);
        QVERIFY2(err.isEmpty() ? result.err.isEmpty() : result.err.contains(err.toUtf8()),
                 result.err.constData());
        QCOMPARE(result.exitCode, exitCode);
        QCOMPARE(raw(m_home->path("a")), aAfter);
    }

    // An answer that could not be written (a full disk) is a failure, not a silent success.
    void answerNotWrittenIsAnError() {
        QProcess process;
        process.setWorkingDirectory(m_home->home());
        process.setStandardOutputFile("/dev/full");
        process.start(ORVANE_PATH, {"tags", "a"});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(process.readAllStandardError().contains(
            "orvane: standard output: no space left on device"));
    }

    // Tags kept through a copy to a drive without them: byte for byte, names that are not
    // UTF-8 included, and a file tagged otherwise since is left unless forced.
    void exportAndImportRoundTrip() {
        const QByteArray odd = "/sub/caf\xe9";  // a Latin-1 file name, not UTF-8
        const QByteArray oddValue("Na\xefve,Projects/Client\n", 21);
        const QTemporaryDir copy;
        for (const QString& folder : {m_home->home(), copy.path()}) {
            QDir().mkpath(folder + "/sub");
            QFile file;
            const QByteArray path = QFile::encodeName(folder) + odd;
            QVERIFY(file.open(::open(path.constData(), O_CREAT | O_WRONLY, 0644),
                              QIODevice::WriteOnly, QFile::AutoCloseHandle));
            QVERIFY(folder == copy.path() ||
                    setxattr(path.constData(), "user.xdg.tags", oddValue.constData(), 21, 0) == 0);
        }
        setRaw(m_home->writeFile("sub/.hidden", {}), "Hidden");
        const Result exported = orvane({"export", "."});
        QCOMPARE(exported.exitCode, 0);
        QCOMPARE(exported.out.count('\n'), 4);  // a, b and the two in sub
        QVERIFY(exported.out.contains("path_base64"));

        for (const char* name : {"a", "b", "c", "sub/.hidden"}) {
            QVERIFY(QFile::copy(m_home->path(name), copy.path() + "/" + name));
        }
        setRaw(copy.path() + "/a", "Other");
        QFile file(m_home->path("tags.jsonl"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(exported.out);
        file.close();

        Result imported = orvane({"import", "tags.jsonl", "--into", copy.path()});
        QCOMPARE(imported.exitCode, 1);
        QVERIFY(imported.err.contains("orvane: a: has other tags now; left as it is"));
        QCOMPARE(XattrTagStore::readAttribute(QFile::encodeName(copy.path()) + odd, false),
                 oddValue);
        QCOMPARE(raw(copy.path() + "/sub/.hidden"), QByteArray("Hidden"));
        QCOMPARE(raw(copy.path() + "/a"), QByteArray("Other"));
        QCOMPARE(raw(copy.path() + "/c"), QByteArray());

        imported = orvane({"import", "-", "--into", copy.path(), "--force"}, exported.out);
        QCOMPARE(imported.exitCode, 0);
        QCOMPARE(raw(copy.path() + "/a"), raw(m_home->path("a")));

        // A line that would lead out of the folder is refused, not followed.
        imported = orvane({"import", "-", "--into", copy.path() + "/sub"},
                          R"({"path":"../c","value":"WA=="})"
                          "\n");
        QCOMPARE(imported.exitCode, 1);
        QCOMPARE(raw(copy.path() + "/c"), QByteArray());
        // QDir cannot remove a name that is not UTF-8.
        for (const QString& folder : {m_home->home(), copy.path()}) {
            std::filesystem::remove_all(QFile::encodeName(folder + "/sub").toStdString());
        }
    }

    // With the window running, the command line goes through it: one index, one journal, one
    // undo; and `--show` opens the running window at the file.
    void windowAnswersTheCommandLine() {
        QVERIFY(QDBusConnection::sessionBus().isConnected());
        TagIndex::Options options;
        options.roots = {QFile::encodeName(m_home->home())};
        options.outsideListPath = m_home->cacheDir() + "/outside";
        DesktopServices services(options);
        AppViewModel model(services.services(), AppViewModel::Startup::LoadHierarchy);
        OrvaneBus bus(model, services.index);
        QVERIFY(bus.publish());
        services.index.waitUntilReady();

        Result result = orvane({"tag", "c", "-t", "Client"});
        QVERIFY2(result.exitCode == 0, result.err.constData());
        QCOMPARE(raw(m_home->path("c")), QByteArray("Projects,Client"));
        QCOMPARE(model.undoLabel(), QString("Undo Tag 1 File"));
        model.undo();
        model.waitForFileWork();
        QCOMPARE(raw(m_home->path("c")), QByteArray());

        result = orvane({"tag", "c", "-t", "Work"});
        QCOMPARE(result.exitCode, 1);
        QVERIFY(result.err.contains("\"Work\" is in the tree more than once"));
        result = orvane({"tag", "/proc/self/comm", "-t", "Loose"});
        QCOMPARE(result.exitCode, 1);
        QVERIFY(result.err.contains("(this drive cannot store tags)"));

        result = orvane({"files", "Client"});
        QCOMPARE(result.out, QFile::encodeName(m_home->path("a")) + '\n' +
                                 QFile::encodeName(m_home->path("b")) + '\n');

        result = orvane({"rename", "Client", "Customer"});
        QVERIFY2(result.exitCode == 0, result.err.constData());
        QCOMPARE(model.hierarchy()[0].children[0].name, QString("Customer"));
        QCOMPARE(raw(m_home->path("a")), QByteArray("Projects,Customer"));
        QCOMPARE(model.undoLabel(), QString("Undo Rename \u201cClient\u201d"));
        model.undo();
        model.waitForFileWork();
        QCOMPARE(raw(m_home->path("a")), QByteArray("Projects,Client"));

        QSignalSpy raised(&bus, &OrvaneBus::raiseRequested);
        QCOMPARE(orvane({"--show", "a"}).exitCode, 0);
        QCOMPARE(raised.size(), 1);
        QSignalSpy dialog(&bus, &OrvaneBus::tagDialogRequested);
        QCOMPARE(orvane({"--tag-dialog", "c", "a"}).exitCode, 0);
        QCOMPARE(dialog.size(), 1);
        QCOMPARE(dialog[0][0].value<QList<QByteArray>>(),
                 (QList<QByteArray>{QFile::encodeName(m_home->path("c")),
                                    QFile::encodeName(m_home->path("a"))}));
        const TagNode& client = model.hierarchy()[0].children[0];
        QCOMPARE(model.navigationPath().last(), client.id);
        QCOMPARE(model.selectedFileIDs(),
                 QSet<QString>{QUrl::fromLocalFile(m_home->path("a")).toString()});
        model.shutDown();
    }

    // The window's undo needs its finished work in the journal: a command run beside it must
    // not clear that, and its own change is journaled.
    void commandsKeepTheWindowsJournal() {
        FileJournal window(FileJournal::defaultPath());
        const qint64 done = window.begin({.edit = TagEdit::add({"Earlier"})});
        QVERIFY(done != 0 && window.finish(done));
        QCOMPARE(orvane({"tag", "c", "-t", "Loose"}).exitCode, 0);
        QVERIFY(window.operation(done));
        QCOMPARE(window.operation(done + 1)->edit.adding, QStringList{"Loose"});
        QCOMPARE(window.entries(done + 1, false).first().after, QByteArray("Loose"));
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_commandline.moc"
