// Random sequences of the user's edits, undos, quits, logouts, kills and restarts, against a
// simple model of what the user confirmed: Orvane's core runs in a child process (the session
// driver) with a slowed crawl and slowed writes, and another program writes names of its own on
// the same files all the while. After each session no name the user removed is back in the
// tree; after a last, quiet session every file and the tree are what the model says.
//
// Seeds 1-4 run in `make test`; ORVANE_CONCURRENCY_SEEDS=N runs N seeds (a long run), from
// ORVANE_CONCURRENCY_FIRST_SEED (1).
#include "FileTags.h"
#include "Session.h"
#include "TestHome.h"
#include "TestTree.h"
#include "model/HierarchyCodec.h"
#include "model/HierarchyFile.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>

#include <sys/xattr.h>

#include <atomic>
#include <csignal>
#include <mutex>
#include <thread>

namespace {

using Names = QSet<QString>;

bool isOthers(const QString& name) {
    return name.startsWith("O");
}

// What the user confirmed, as sets of names: the tree (names are unique here) and Orvane's
// names on every file, with the session's undo history.
class UserModel {
public:
    struct Tag {
        int id;
        QString name;
        int parent;  // -1: the root level
    };
    struct Change {
        Names before;
        Names after;
    };
    using FileChanges = QHash<QString, Change>;

    QList<Tag> tags;
    QHash<QString, Names> files;

    const Tag* named(const QString& name) const {
        for (const Tag& tag : tags) {
            if (tag.name == name) {
                return &tag;
            }
        }
        return nullptr;
    }
    Tag* byId(int id) {
        for (Tag& tag : tags) {
            if (tag.id == id) {
                return &tag;
            }
        }
        return nullptr;
    }
    QList<int> subtree(int id) const {
        QList<int> ids = {id};
        for (qsizetype i = 0; i < ids.size(); ++i) {
            for (const Tag& tag : tags) {
                if (tag.parent == ids[i]) {
                    ids.append(tag.id);
                }
            }
        }
        return ids;
    }
    QStringList pathNames(int id) {
        QStringList names;
        for (Tag* tag = byId(id); tag; tag = tag->parent < 0 ? nullptr : byId(tag->parent)) {
            names.prepend(tag->name);
        }
        return names;
    }

    void rename(int id, const QString& to) {
        const QString from = byId(id)->name;
        record([=, this](bool undo) { byId(id)->name = undo ? from : to; },
               changeFiles(files.keys(), [&](Names names) {
                   if (names.remove(from)) {
                       names.insert(to);
                   }
                   return names;
               }));
        byId(id)->name = to;
    }
    void create(const QString& name, int parent, int id) {
        tags.append({id, name, parent});
        record([=, this](bool undo) {
            if (undo) {
                tags.removeIf([&](const Tag& tag) { return tag.id == id; });
            } else {
                tags.append({id, name, parent});
            }
        });
    }
    void remove(int id) {
        QList<Tag> gone;
        for (const int each : subtree(id)) {
            gone.append(*byId(each));
        }
        const auto take = [this, gone](bool undo) {
            for (const Tag& tag : gone) {
                tags.removeIf([&](const Tag& t) { return t.id == tag.id; });
            }
            if (undo) {
                tags += gone;
            }
        };
        take(false);
        record(take);
    }
    void move(int id, int parent) {
        const int from = byId(id)->parent;
        byId(id)->parent = parent;
        record([=, this](bool undo) { byId(id)->parent = undo ? from : parent; });
    }
    void drop(int id, const QStringList& paths) {
        const QStringList names = pathNames(id);
        record({}, changeFiles(paths, [&](Names now) {
                   for (const QString& name : names) {
                       now.insert(name);
                   }
                   return now;
               }));
    }
    void lift(int id, const QStringList& paths) {
        Names names;
        for (const int each : subtree(id)) {
            names.insert(byId(each)->name);
        }
        record({}, changeFiles(paths, [&](Names now) { return now - names; }));
    }
    void undo() { takeBack(true); }
    void redo() { takeBack(false); }
    void restart() {
        m_steps.clear();
        m_done = 0;
    }

private:
    struct Step {
        std::function<void(bool undo)> tree;
        std::optional<FileChanges> files;
    };
    FileChanges changeFiles(const QStringList& paths, const std::function<Names(Names)>& change) {
        FileChanges changes;
        for (const QString& path : paths) {
            const Names after = change(files[path]);
            if (after != files[path]) {
                changes.insert(path, {files[path], after});
                files[path] = after;
            }
        }
        return changes;
    }
    void record(std::function<void(bool)> tree, std::optional<FileChanges> fileChanges = {}) {
        m_steps.resize(m_done);
        m_steps.append({std::move(tree), std::move(fileChanges)});
        ++m_done;
    }
    void takeBack(bool undo) {
        if (undo ? m_done == 0 : m_done == m_steps.size()) {
            return;
        }
        Step& step = m_steps[undo ? --m_done : m_done++];
        if (step.tree) {
            step.tree(undo);
        }
        if (step.files) {
            // What the change added goes, what it removed comes back: the undo's own change is
            // what the next undo or redo of the step takes back.
            FileChanges next;
            for (auto it = step.files->cbegin(); it != step.files->cend(); ++it) {
                Names& now = files[it.key()];
                const Names result = (now - (it->after - it->before)) | (it->before - it->after);
                if (result != now) {
                    next.insert(it.key(), {now, result});
                    now = result;
                }
            }
            step.files = next;
        }
    }

    QList<Step> m_steps;
    qsizetype m_done = 0;
};

// Another program tagging the same files with names of its own ("O1".."O3"), reading and
// writing each list as KDE does, now and then held up in between as on a loaded machine. It checks
// its own writes a little later and makes them again where a writer beside it wrote over them in
// the same instant, as a program that cares would.
class OtherProgram {
public:
    explicit OtherProgram(QStringList paths, quint32 seed)
        : m_paths(std::move(paths)), m_random(seed) {}
    ~OtherProgram() { stop(); }

    void start() {
        m_running = true;
        m_thread = std::thread([this] { run(); });
    }
    void stop() {
        m_running = false;
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    Names intended(const QString& path) {
        std::lock_guard lock(m_mutex);
        return m_intended.value(path);
    }

private:
    void write(const QString& path) {
        const QByteArray raw = QFile::encodeName(path);
        const QByteArray value = XattrTagStore::readAttribute(raw, false).value_or(QByteArray());
        QList<QByteArray> entries = TagValueCodec::entries(value);
        entries.removeIf([](const QByteArray& entry) {
            return isOthers(QString::fromUtf8(TagValueCodec::entryName(entry)));
        });
        for (const QString& name : intended(path)) {
            entries.append(name.toUtf8());
        }
        const QByteArray next = TagValueCodec::join(entries);
        if (m_random.bounded(4) == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(m_random.bounded(1, 10)));
        }
        if (next != value) {
            next.isEmpty() ? removexattr(raw.constData(), "user.xdg.tags")
                           : setxattr(raw.constData(), "user.xdg.tags", next.constData(),
                                      static_cast<size_t>(next.size()), 0);
        }
    }
    void run() {
        QList<std::pair<qint64, QString>> checks;  // when to look again, and where
        QElapsedTimer clock;
        clock.start();
        while (m_running) {
            const QString path = m_paths[m_random.bounded(m_paths.size())];
            {
                std::lock_guard lock(m_mutex);
                const QString name = QString("O%1").arg(m_random.bounded(1, 4));
                Names& names = m_intended[path];
                if (!names.remove(name)) {
                    names.insert(name);
                }
            }
            write(path);
            checks.append({clock.elapsed() + 150, path});
            for (auto it = checks.begin(); it != checks.end();) {
                if (it->first > clock.elapsed()) {
                    ++it;
                    continue;
                }
                Names others;
                for (const QString& name : namesOn(it->second)) {
                    if (isOthers(name)) {
                        others.insert(name);
                    }
                }
                if (others != intended(it->second)) {
                    write(it->second);
                }
                it = checks.erase(it);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(15));
        }
        // The last writes are checked once more before the program ends.
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        for (const auto& [when, path] : checks) {
            write(path);
        }
    }

    QStringList m_paths;
    QRandomGenerator m_random;
    std::mutex m_mutex;
    QHash<QString, Names> m_intended;
    std::atomic_bool m_running = false;
    std::thread m_thread;
};

// The session driver, a child process over the test's home.
class Driver {
public:
    Driver(const QString& program, const QStringList& arguments) {
        m_process.setProgram(program);
        m_process.setArguments(arguments);
        // The driver's diagnostics are kept for a failure's report only.
        m_process.setStandardErrorFile(QDir::tempPath() + "/orvane-session-driver.log",
                                       QIODevice::Append);
        m_process.start();
        m_ok = m_process.waitForStarted(10000) && line() == "ready";
    }
    ~Driver() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }
    bool ok() const { return m_ok; }
    // Sends a command and waits for its word.
    QString send(const QString& command) {
        m_process.write((command + "\n").toUtf8());
        return line();
    }
    void signal(int number) {
        ::kill(static_cast<pid_t>(m_process.processId()), number);
        m_process.waitForFinished(20000);
    }
    int exitCode() const {
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }

private:
    QString line() {
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(20000)) {
                return "<no answer>";
            }
        }
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }

    QProcess m_process;
    bool m_ok = false;
};

}  // namespace

class TestConcurrency : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { m_home = std::make_unique<TestHome>(); }
    void randomSessionsMatchTheModel_data();
    void randomSessionsMatchTheModel();

private:
    // The tree as the driver saved it: (name, parent name) of every tag.
    static QSet<std::pair<QString, QString>> savedTree();
    static QSet<std::pair<QString, QString>> modelTree(const UserModel& model);

    std::unique_ptr<TestHome> m_home;
};

QSet<std::pair<QString, QString>> TestConcurrency::savedTree() {
    QSet<std::pair<QString, QString>> pairs;
    const auto forest =
        HierarchyCodec::decode(HierarchyFile::read().bytes).value_or(QList<TagNode>());
    std::function<void(const QList<TagNode>&, const QString&)> walk =
        [&](const QList<TagNode>& nodes, const QString& parent) {
            for (const TagNode& node : nodes) {
                pairs.insert({node.name, parent});
                walk(node.children, node.name);
            }
        };
    walk(forest, QString());
    return pairs;
}

QSet<std::pair<QString, QString>> TestConcurrency::modelTree(const UserModel& model) {
    QSet<std::pair<QString, QString>> pairs;
    for (const UserModel::Tag& tag : model.tags) {
        QString parent;
        for (const UserModel::Tag& other : model.tags) {
            if (other.id == tag.parent) {
                parent = other.name;
            }
        }
        pairs.insert({tag.name, parent});
    }
    return pairs;
}

void TestConcurrency::randomSessionsMatchTheModel_data() {
    QTest::addColumn<quint32>("seed");
    const int seeds = qEnvironmentVariableIntValue("ORVANE_CONCURRENCY_SEEDS");
    const int first = std::max(1, qEnvironmentVariableIntValue("ORVANE_CONCURRENCY_FIRST_SEED"));
    for (quint32 seed = first; seed < quint32(first + (seeds > 0 ? seeds : 4)); ++seed) {
        QTest::newRow(qPrintable(QString("seed %1").arg(seed))) << seed;
    }
}

void TestConcurrency::randomSessionsMatchTheModel() {
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    forgetEarlierRuns(*m_home);
    QDir(m_home->home()).removeRecursively();

    // The starting home: a small tree and files carrying some of its names.
    UserModel model;
    int nextId = 0;
    int nextName = 0;
    QList<TagNode> forest;
    for (int i = 0; i < 5; ++i) {
        model.tags.append({nextId++, QString("T%1").arg(i), i >= 3 ? 0 : -1});
    }
    {
        TagNode t0 = TagNode::make("T0", 0);
        t0.children = {TagNode::make("T3", 0), TagNode::make("T4", 0)};
        forest = {t0, TagNode::make("T1", 0), TagNode::make("T2", 0)};
        QVERIFY(!HierarchyFile::save(forest));
    }
    QStringList paths;
    for (int i = 0; i < 120; ++i) {
        QStringList names;
        for (int t = 0; t < 5; ++t) {
            if (random.bounded(3) == 0) {
                names.append(QString("T%1").arg(t));
            }
        }
        const QString path = writeTaggedFile(*m_home, QString("f%1/file%2").arg(i % 3).arg(i),
                                             names.join(',').toUtf8());
        paths.append(path);
        model.files[path] = Names(names.cbegin(), names.cend());
    }

    const QString driver = QCoreApplication::applicationDirPath() + "/session_driver";
    OtherProgram other(paths, seed);
    other.start();
    const int sessions = 3 + static_cast<int>(random.bounded(3));
    QStringList log;
    for (int session = 0; session < sessions; ++session) {
        // Some sessions write slowly enough for a kill to land in the middle of a batch.
        const int writeDelays[] = {0, 200, 1500};
        Driver run(driver, {"--crawl-delay-ms", QString::number(random.bounded(400)),
                            "--write-delay-us", QString::number(writeDelays[random.bounded(3)])});
        QVERIFY2(run.ok(), "the driver did not start");
        QSet<QString> namesInSession;
        for (const UserModel::Tag& tag : model.tags) {
            namesInSession.insert(tag.name);
        }
        const int commands = 3 + static_cast<int>(random.bounded(8));
        for (int c = 0; c < commands; ++c) {
            const auto pickTag = [&]() -> const UserModel::Tag* {
                return model.tags.isEmpty()
                           ? nullptr
                           : &model.tags[random.bounded(static_cast<int>(model.tags.size()))];
            };
            QStringList someFiles;
            for (int n = 1 + static_cast<int>(random.bounded(40)); n > 0; --n) {
                const QString path = paths[random.bounded(static_cast<int>(paths.size()))];
                if (!someFiles.contains(path)) {
                    someFiles.append(path);
                }
            }
            QString command;
            const int kind = static_cast<int>(random.bounded(100));
            const UserModel::Tag* tag = pickTag();
            if (kind < 22 && tag) {
                const QString to = QString("N%1").arg(nextName++);
                command = "rename " + tag->name + " " + to;
                model.rename(tag->id, to);
            } else if (kind < 40 && tag) {
                command = "drop " + tag->name + " " + someFiles.join(' ');
                model.drop(tag->id, someFiles);
            } else if (kind < 52 && tag) {
                command = "lift " + tag->name + " " + someFiles.join(' ');
                model.lift(tag->id, someFiles);
            } else if (kind < 58 && tag) {
                command = "delete " + tag->name;
                model.remove(tag->id);
            } else if (kind < 64 && tag) {
                // Only to a parent that is neither the tag, below it, nor where it is now.
                const QList<int> below = model.subtree(tag->id);
                const UserModel::Tag* parent = pickTag();
                const int to = parent && !below.contains(parent->id) ? parent->id : -1;
                if (to == tag->parent) {
                    continue;
                }
                command = "move " + tag->name + " " + (to < 0 ? "-" : model.byId(to)->name);
                model.move(tag->id, to);
            } else if (kind < 70) {
                const QString name = QString("N%1").arg(nextName++);
                const UserModel::Tag* parent = random.bounded(2) ? pickTag() : nullptr;
                command = "create " + name + " " + (parent ? parent->name : "-");
                model.create(name, parent ? parent->id : -1, nextId++);
            } else if (kind < 88) {
                command = "undo";
                model.undo();
            } else {
                command = "redo";
                model.redo();
            }
            for (const UserModel::Tag& each : model.tags) {
                namesInSession.insert(each.name);
            }
            log.append(QString(command).replace(m_home->home() + "/", QString()));
            QCOMPARE(run.send(command), QString("ok"));
            QTest::qWait(static_cast<int>(random.bounded(60)));
        }
        // The session ends as sessions do: a quit, a logout, or a kill while work runs.
        const int end = static_cast<int>(random.bounded(3));
        log.append(end == 0 ? "(quit)" : end == 1 ? "(logout)" : "(killed)");
        QTest::qWait(static_cast<int>(random.bounded(80)));  // in the middle of the work
        if (end == 0) {
            QCOMPARE(run.send("quit"), QString("ok"));
        } else {
            run.signal(end == 1 ? SIGTERM : SIGKILL);
        }
        model.restart();
        if (qEnvironmentVariableIsSet("ORVANE_CONCURRENCY_VERBOSE")) {
            QStringList dump;
            for (const auto& [name, parent] : savedTree()) {
                dump.append(parent + "/" + name);
            }
            dump.sort();
            log.append("tree: " + dump.join(" "));
        }
        // No name the user renamed away or deleted this session is in the tree.
        QSet<QString> removed = namesInSession;
        for (const UserModel::Tag& tag : model.tags) {
            removed.remove(tag.name);
        }
        for (const auto& [name, parent] : savedTree()) {
            QVERIFY2(!removed.contains(name),
                     qPrintable(name + " is back in the tree after: " + log.join("; ")));
        }
    }
    other.stop();

    // A last, quiet session finishes what was left and merges the names on the files.
    {
        Driver last(driver, {});
        QVERIFY(last.ok());
        QCOMPARE(last.send("wait"), QString("ok"));
        QCOMPARE(last.send("quit"), QString("ok"));
    }
    const QString steps = log.join("; ");
    if (qEnvironmentVariableIsSet("ORVANE_CONCURRENCY_VERBOSE")) {
        qInfo().noquote() << log.join('\n');
    }
    Names allNamesOnFiles;
    for (const QString& path : std::as_const(paths)) {
        Names ours;
        Names others;
        for (const QString& name : namesOn(path)) {
            (isOthers(name) ? others : ours).insert(name);
            allNamesOnFiles.insert(name);
        }
        QVERIFY2(
            ours == model.files[path],
            qPrintable(
                QString("%1: %2 instead of %3 after: %4")
                    .arg(
                        path, QStringList(ours.cbegin(), ours.cend()).join(','),
                        QStringList(model.files[path].cbegin(), model.files[path].cend()).join(','),
                        steps)));
        QCOMPARE(others, other.intended(path));
    }
    // The tree is the model's, and root tags merged for names on the files.
    const auto saved = savedTree();
    const auto expected = modelTree(model);
    for (const auto& pair : expected) {
        QVERIFY2(saved.contains(pair), qPrintable(pair.first + " is missing after: " + steps));
    }
    for (const auto& [name, parent] : saved - expected) {
        QVERIFY2(parent.isEmpty() && allNamesOnFiles.contains(name),
                 qPrintable(name + " is in the tree after: " + steps));
    }
}

QTEST_MAIN(TestConcurrency)
#include "tst_concurrency.moc"
