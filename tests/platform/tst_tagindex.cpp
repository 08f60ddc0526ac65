#include "LogCapture.h"
#include "TestHome.h"
#include "platform/FilePaths.h"
#include "platform/RecheckRounds.h"
#include "platform/TagIndex.h"
#include "platform/TagIndexCrawler.h"
#include "platform/TagIndexStore.h"
#include "platform/TagIndexTable.h"
#include "platform/TagNames.h"
#include "platform/XattrTagStore.h"
#include "services/FileWork.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

#include <sqlite3.h>

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstddef>
#include <iterator>
#include <random>
#include <thread>

class TestTagIndex : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { m_home = std::make_unique<TestHome>(); }
    void init();
    void matchesWholeNamesCaseInsensitively();
    void followsChangesAfterTheCrawl();
    void followsRenamedAndMovedFolders();
    void survivesLoopsHiddenAndUnreadableEntries();
    void remembersFilesTaggedOutsideItsFolders();
    void recheckesFoldersBeyondTheWatchLimit();
    void recheckRoundsCoverEveryFolderWithinTheInterval();
    void makesUpForEventsLostToAnOverflow();
    void survivesFoldersVanishingDuringTheCrawl();
    void followsVolumesMountedAndUnmounted();
    void linkedFoldersAndUnicodeSpellings();
    void refusedGetxattratFallsBackToPaths();
    void tagNamesFollowWritesDuringTheCrawl();
    void storedIndexAnswersBeforeTheCrawl();
    void storeKeepsNamesAndPathsExactly();
    void writesWhileTheCrawlIsCutShort();
    void storeIsACacheNeverTrusted_data();
    void storeIsACacheNeverTrusted();
    void filesDeeperThanThePathLimit();
    void ownWritesAreListedOnce();
    void randomChangesDuringTheCrawl_data();
    void randomChangesDuringTheCrawl();

private:
    QString root() const { return m_root; }
    QString touch(const QString& relative, const QByteArray& tags = QByteArray());
    static void setTags(const QString& path, const QByteArray& tags);
    // An index over the test's folder, its options changed by `tweak`; started unless told.
    std::unique_ptr<TagIndex> makeIndex(const std::function<void(TagIndex::Options&)>& tweak = {},
                                        bool start = true);
    // An index that keeps its store between runs; its crawl starts `crawlDelayMs` late.
    std::unique_ptr<TagIndex> makeStoredIndex(int crawlDelayMs = 0);
    QString storePath() const { return m_root + ".index.sqlite"; }
    QStringList query(TagIndex& index, const QString& name);

    std::unique_ptr<TestHome> m_home;
    QString m_root;
    int m_run = 0;
};

void TestTagIndex::init() {
    m_root = m_home->path(QString("tree%1").arg(++m_run));
    QDir().mkpath(m_root);
}

QString TestTagIndex::touch(const QString& relative, const QByteArray& tags) {
    const QString path = m_home->writeFile(m_root + "/" + relative, "x");
    if (!tags.isEmpty()) {
        setTags(path, tags);
    }
    return path;
}

void TestTagIndex::setTags(const QString& path, const QByteArray& tags) {
    // Another process writes the tags, as a file manager would.
    QProcess::execute("setfattr", {"-n", "user.xdg.tags", "-v", QString::fromUtf8(tags), path});
}

std::unique_ptr<TagIndex> TestTagIndex::makeIndex(
    const std::function<void(TagIndex::Options&)>& tweak, bool start) {
    TagIndex::Options options;
    options.roots = {QFile::encodeName(m_root)};
    options.outsideListPath = m_home->cacheDir() + "/tagged-elsewhere";
    if (tweak) {
        tweak(options);
    }
    auto index = std::make_unique<TagIndex>(options);
    if (start) {
        index->start();
    }
    return index;
}

std::unique_ptr<TagIndex> TestTagIndex::makeStoredIndex(int crawlDelayMs) {
    return makeIndex([&](TagIndex::Options& options) {
        options.storePath = storePath();
        options.crawlDelayMs = crawlDelayMs;
    });
}

QStringList TestTagIndex::query(TagIndex& index, const QString& name) {
    // Every answer comes once, on the main thread, and never before the call returns.
    std::optional<QStringList> result;
    int calls = 0;
    index.queryFilesWithTag(name, [&](const QList<QByteArray>& raw) {
        ++calls;
        QStringList paths;
        for (const QByteArray& rawPath : raw) {
            const QString path = QString::fromUtf8(rawPath);
            paths.append(path.startsWith(m_root + "/") ? path.mid(m_root.size() + 1) : path);
        }
        paths.sort();
        result = QThread::currentThread() == thread() ? paths : QStringList{"<another thread>"};
    });
    if (calls > 0) {
        return {"<answered in the call>"};
    }
    if (!QTest::qWaitFor([&] { return result.has_value(); }, 10000)) {
        return {"<no answer>"};
    }
    QCoreApplication::processEvents();
    return calls == 1 ? *result : QStringList{"<answered twice>"};
}

void TestTagIndex::matchesWholeNamesCaseInsensitively() {
    touch("a/bare.txt", "Work");
    touch("a/b/coloured.txt", "WORK\n4");
    touch("c/longer.txt", "Workshop,Work stuff");
    touch("c/other.txt", "Red,Zeta");
    touch("accents.txt", "Café");
    // A value longer than the crawl's first read holds.
    QStringList many;
    for (int i = 0; i < 60; ++i) {
        many.append(QString("long-tag-name-%1").arg(i, 6, 10, QChar('0')));
    }
    touch("c/long.txt", (many.join(',') + ",Work").toUtf8());
    touch("folder/inner.txt");
    setTags(m_root + "/folder", "Work");
    // KDE's nested tags: each name along a path, and the path itself, find the file.
    touch("k/path.txt", "Projects/Client");
    touch("k/old.txt", "/Projects/Client/2024");
    touch("k/odd.txt", "a//b,x/");
    auto index = makeIndex();
    QCOMPARE(query(*index, "client"), QStringList({"k/old.txt", "k/path.txt"}));
    QCOMPARE(query(*index, "2024"), QStringList({"k/old.txt"}));
    QCOMPARE(query(*index, "/projects/Client"), QStringList({"k/old.txt", "k/path.txt"}));
    QCOMPARE(query(*index, "/Client"), QStringList());
    QCOMPARE(query(*index, "x"), QStringList());
    QCOMPARE(query(*index, "a//b"), QStringList({"k/odd.txt"}));
    QCOMPARE(query(*index, "work"),
             QStringList({"a/b/coloured.txt", "a/bare.txt", "c/long.txt", "folder"}));
    QCOMPARE(query(*index, "Work\n4"), QStringList({"a/b/coloured.txt"}));
    QCOMPARE(query(*index, "café"), QStringList({"accents.txt"}));
    QCOMPARE(query(*index, "Cafe"), QStringList());
    QCOMPARE(query(*index, "Wor"), QStringList());
    QCOMPARE(query(*index, ""), QStringList());
}

void TestTagIndex::followsChangesAfterTheCrawl() {
    const QString kept = touch("d/kept.txt", "Live");
    const QString doomed = touch("d/doomed.txt", "Live");
    auto index = makeIndex();
    QCOMPARE(query(*index, "live"), QStringList({"d/doomed.txt", "d/kept.txt"}));

    const QString later = touch("d/e/later.txt");
    setTags(later, "Live,Other");
    QFile::remove(doomed);
    setTags(kept, "Gone");
    QCOMPARE(query(*index, "live"), QStringList({"d/e/later.txt"}));
    QCOMPARE(query(*index, "gone"), QStringList({"d/kept.txt"}));

    // A program that saves by replacing the file drops its tags.
    const QString replacement = m_root + "/d/kept.txt.new";
    QFile::copy(kept, replacement);
    ::rename(QFile::encodeName(replacement).constData(), QFile::encodeName(kept).constData());
    QCOMPARE(query(*index, "gone"), QStringList());

    // The application's own writes count at once.
    const QString mine = touch("d/mine.txt");
    setxattr(QFile::encodeName(mine).constData(), "user.xdg.tags", "Mine", 4, 0);
    index->noteTagsWritten(QFile::encodeName(mine), "Mine");
    QCOMPARE(query(*index, "mine"), QStringList({"d/mine.txt"}));
}

void TestTagIndex::followsRenamedAndMovedFolders() {
    touch("projects/2024/report.txt", "Report");
    touch("projects/2024/deep/er/notes.txt", "Report");
    QDir().mkpath(m_root + "/archive");
    auto index = makeIndex();
    QCOMPARE(query(*index, "report").size(), 2);
    QVERIFY(QDir().rename(m_root + "/projects/2024", m_root + "/projects/old"));
    QCOMPARE(query(*index, "report"),
             QStringList({"projects/old/deep/er/notes.txt", "projects/old/report.txt"}));
    QVERIFY(QDir().rename(m_root + "/projects/old", m_root + "/archive/2024"));
    QCOMPARE(query(*index, "report"),
             QStringList({"archive/2024/deep/er/notes.txt", "archive/2024/report.txt"}));
    // Moved out of the indexed folders: forgotten; moved back in: found again.
    const QString outside = m_home->path("outside-" + QString::number(m_run));
    QVERIFY(QDir().rename(m_root + "/archive/2024", outside));
    QCOMPARE(query(*index, "report"), QStringList());
    QVERIFY(QDir().rename(outside, m_root + "/back"));
    QCOMPARE(query(*index, "report"), QStringList({"back/deep/er/notes.txt", "back/report.txt"}));
    QVERIFY(QDir(m_root + "/back").removeRecursively());
    QCOMPARE(query(*index, "report"), QStringList());
}

void TestTagIndex::survivesLoopsHiddenAndUnreadableEntries() {
    touch("loop/real.txt", "Found");
    touch(".hidden/secret.txt", "Found");
    touch("locked/inside.txt", "Found");
    QFile::link(m_root + "/loop", m_root + "/loop/again");
    QFile::link(m_root + "/loop/real.txt", m_root + "/link.txt");
    QFile::setPermissions(m_root + "/locked", QFileDevice::Permissions());
    auto index = makeIndex();
    const QStringList found = query(*index, "found");
    QFile::setPermissions(m_root + "/locked",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QVERIFY(found.contains("loop/real.txt"));
    QVERIFY(!found.contains(".hidden/secret.txt"));
    QVERIFY(found.size() <= 2);  // root reads the locked folder anyway
    QCOMPARE(found.filter("again").size(), 0);
}

void TestTagIndex::remembersFilesTaggedOutsideItsFolders() {
    const QString elsewhere = m_home->writeFile(m_home->path("elsewhere/far.txt"), "x");
    setxattr(QFile::encodeName(elsewhere).constData(), "user.xdg.tags", "Far", 3, 0);
    {
        auto index = makeIndex();
        QCOMPARE(query(*index, "far"), QStringList());
        index->noteTagsWritten(QFile::encodeName(elsewhere), "Far");
        QCOMPARE(query(*index, "far").size(), 1);
    }
    auto restarted = makeIndex();
    const QStringList found = query(*restarted, "far");
    QCOMPARE(found.size(), 1);
    QVERIFY(found.first().endsWith("elsewhere/far.txt"));
    // Its tags are read again at each query.
    setxattr(QFile::encodeName(elsewhere).constData(), "user.xdg.tags", "Near", 4, 0);
    QCOMPARE(query(*restarted, "far"), QStringList());
    QCOMPARE(query(*restarted, "near").size(), 1);
    // Cleared by another program, it is no longer listed.
    removexattr(QFile::encodeName(elsewhere).constData(), "user.xdg.tags");
    QCOMPARE(query(*restarted, "near"), QStringList());
}

void TestTagIndex::recheckesFoldersBeyondTheWatchLimit() {
    for (int i = 0; i < 400; ++i) {
        touch(QString("w%1/f.txt").arg(i), i == 0 ? "Limit" : "");
    }
    LogCapture log;
    auto rounds = makeIndex(
        [](TagIndex::Options& options) {
            options.watchLimit = 1;
            options.recheckIntervalMs = 1500;  // three rounds of 134 for the whole tree
            options.recheckRoundMs = 500;
        },
        false);
    TagIndex& index = *rounds;
    bool told = false;
    index.setWatchLimitHandler([&] { told = true; });
    index.start();
    QCOMPARE(query(index, "limit"), QStringList({"w0/f.txt"}));
    QTRY_VERIFY(told);
    QCOMPARE(log.lines().filter(QRegularExpression("watch limit reached; 40[01] folders")).size(),
             1);
    setTags(m_root + "/w1/f.txt", "Limit");
    touch("w399/new/d.txt", "Limit");
    // A query does not wait for the unwatched folders (it would have found w1)...
    QCOMPARE(query(index, "limit"), QStringList({"w0/f.txt"}));
    // ...which the rounds look at again.
    QTRY_COMPARE_WITH_TIMEOUT(query(index, "limit"),
                              QStringList({"w0/f.txt", "w1/f.txt", "w399/new/d.txt"}), 10000);
    QFile::remove(m_root + "/w1/f.txt");
    QTRY_COMPARE_WITH_TIMEOUT(query(index, "limit").size(), 2, 10000);
    QCOMPARE(log.lines().filter("watch limit").size(), 1);

    // The rounds keep their pace: a round of 134 folders now and then, not one after another
    // (which would keep a core busy for as long as Orvane runs).
    for (int i = 2; i < 400; ++i) {
        const QByteArray path = QFile::encodeName(m_root + QString("/w%1/f.txt").arg(i));
        QCOMPARE(setxattr(path.constData(), "user.xdg.tags", "Paced", 5, 0), 0);
    }
    QTest::qWait(100);
    QVERIFY(query(index, "paced").size() <= 300);  // two rounds at the most, not all three
    QTRY_COMPARE_WITH_TIMEOUT(query(index, "paced").size(), 398, 10000);
}

void TestTagIndex::recheckRoundsCoverEveryFolderWithinTheInterval() {
    // 52,501 unwatched folders, rounds every 2 s: all of them within two minutes, in rounds of
    // equal size; a round cut short by a query goes on at once where it stopped.
    QSet<int> unwatched;
    for (int folder = 0; folder < 52501; ++folder) {
        unwatched.insert(folder);
    }
    RecheckRounds rounds(120000, 2000);
    rounds.start(0);
    QSet<int> seen;
    int count = 0;
    for (qint64 now = 2000; seen.size() < unwatched.size(); now += 2000, ++count) {
        QVERIFY(rounds.isDue(now));
        const QList<int> folders = rounds.take(now, unwatched);
        QCOMPARE(rounds.waitMs(now), 2000);
        QVERIFY(folders.size() <= 876);
        if (count == 0) {
            rounds.giveBack(folders.mid(100), now);
            QCOMPARE(rounds.waitMs(now), 0);
            const QList<int> resumed = rounds.take(now, unwatched);
            QCOMPARE(resumed.mid(0, 776), folders.mid(100));
            seen.unite(QSet<int>(resumed.cbegin(), resumed.cend()));
        }
        seen.unite(QSet<int>(folders.cbegin(), folders.cend()));
    }
    QVERIFY(count <= 60);
}

void TestTagIndex::makesUpForEventsLostToAnOverflow() {
    // More changes than the system queues for a busy reader (an untar, a sync): the events
    // past the queue's limit are lost, and what they said must be found again.
    int limit = 16384;
    QFile limits("/proc/sys/fs/inotify/max_queued_events");
    if (limits.open(QIODevice::ReadOnly)) {
        limit = limits.readAll().trimmed().toInt();
    }
    const int count = limit + 2000;
    QList<QByteArray> paths;
    for (int i = 0; i < count; ++i) {
        paths.append(QFile::encodeName(touch(QString("d%1/f%2").arg(i % 4).arg(i))));
    }
    // The reader is busy while the changes come.
    auto busy = makeIndex([](TagIndex::Options& options) { options.eventDelayMs = 3000; });
    TagIndex& index = *busy;
    index.waitUntilReady();
    QTRY_VERIFY(index.isIdle());  // the first change wakes it, and it reads late
    for (const QByteArray& path : std::as_const(paths)) {
        QCOMPARE(setxattr(path.constData(), "user.xdg.tags", "Burst", 5, 0), 0);
    }
    QTRY_COMPARE_WITH_TIMEOUT(query(index, "burst").size(), count, 20000);
}

void TestTagIndex::survivesFoldersVanishingDuringTheCrawl() {
    for (int i = 0; i < 150; ++i) {
        for (int j = 0; j < 8; ++j) {
            touch(QString("bulk%1/sub%2/file%3.txt").arg(i).arg(j % 3).arg(j),
                  j == 0 ? "Bulk" : "");
        }
    }
    auto index = makeIndex();
    // Folders go and permissions change while the crawl runs.
    for (int i = 0; i < 150; i += 2) {
        QDir(m_root + QString("/bulk%1").arg(i)).removeRecursively();
        QFile::setPermissions(m_root + QString("/bulk%1").arg(i + 1), QFileDevice::Permissions());
    }
    const QStringList found = query(*index, "bulk");
    for (int i = 1; i < 150; i += 2) {
        QFile::setPermissions(m_root + QString("/bulk%1").arg(i), QFileDevice::ReadOwner |
                                                                      QFileDevice::WriteOwner |
                                                                      QFileDevice::ExeOwner);
    }
    QVERIFY(found.size() <= 75);
    for (const QString& path : found) {
        QVERIFY2(QFileInfo::exists(m_root + "/" + path), qPrintable(path));
    }
    touch("bulk1/late.txt", "Bulk");
    QVERIFY(query(*index, "bulk").contains("bulk1/late.txt"));
}

void TestTagIndex::followsVolumesMountedAndUnmounted() {
    const QString media = m_root + "/media";
    const QString stick = media + "/STICK";
    QDir().mkpath(stick);
    QDir().mkpath(m_root + "/home");
    auto volumes = makeIndex([&](TagIndex::Options& options) {
        options.roots = {QFile::encodeName(m_root + "/home"), QFile::encodeName(media)};
        options.volumeRoots = {QFile::encodeName(media)};
    });
    TagIndex& index = *volumes;
    QCOMPARE(query(index, "travel"), QStringList());
    if (QProcess::execute("mount", {"-t", "tmpfs", "orvane-test", stick}) != 0) {
        QSKIP("mounting needs privileges this run does not have");
    }
    auto unmount = qScopeGuard([&] { QProcess::execute("umount", {stick}); });
    const QString photo = stick + "/photo.jpg";
    m_home->writeFile(photo, "x");
    setTags(photo, "Travel");
    QTRY_COMPARE(query(index, "travel"), QStringList({"media/STICK/photo.jpg"}));
    unmount.dismiss();
    QCOMPARE(QProcess::execute("umount", {stick}), 0);
    QTRY_COMPARE(query(index, "travel"), QStringList());
}

void TestTagIndex::linkedFoldersAndUnicodeSpellings() {
    const QString real = touch("real/f.txt", "Work");
    touch("composed.txt", "Caf\u00e9");
    touch("decomposed.txt", "Cafe\u0301");
    QVERIFY(QFile::link(m_root + "/real", m_root + "/linked"));
    auto index = makeIndex();
    // Written through the linked folder, the file is still the one the crawl found.
    index->noteTagsWritten(QFile::encodeName(m_root + "/linked/f.txt"), "Work,More");
    QCOMPARE(query(*index, "work"), QStringList({"real/f.txt"}));
    QCOMPARE(query(*index, "more"), QStringList({"real/f.txt"}));
    Q_UNUSED(real);
    // Both Unicode spellings of a name are that name, whichever is asked for.
    const QStringList both = {"composed.txt", "decomposed.txt"};
    QCOMPARE(query(*index, QString::fromUtf8("caf\u00e9")), both);
    QCOMPARE(query(*index, QString::fromUtf8("CAFE\u0301")), both);
}

void TestTagIndex::refusedGetxattratFallsBackToPaths() {
    touch("sandbox/in.txt", "Boxed");
    const QByteArray folder = QFile::encodeName(m_root + "/sandbox");
    // A child process refuses getxattrat with EPERM, as container sandboxes refuse calls they
    // do not know, and must still see the tags.
    const pid_t child = fork();
    if (child == 0) {
        sock_filter filter[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 464, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EPERM & SECCOMP_RET_DATA)),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        };
        sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
        if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
            prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
            _exit(3);
        }
        for (const TagIndexCrawler::Entry& entry : TagIndexCrawler::list(folder).taggedFiles) {
            if (entry.tags == QStringList({"Boxed"})) {
                _exit(0);
            }
        }
        _exit(1);
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
}

namespace {

// Changes a folder tree at random as fast as it can: folders renamed, moved, created and deleted,
// tagged files created, renamed and deleted. Keeps its own list of the folders it made.
class TreeChanger {
public:
    TreeChanger(const QString& root, unsigned seed) : m_root(root), m_random(seed) {
        for (int i = 0; i < 40; ++i) {
            makeFolder(i < 8 ? QString("f%1").arg(i) : pick() + QString("/f%1").arg(i));
        }
    }

    int run(const std::atomic_bool& stop) {
        int changes = 0;
        while (!stop) {
            change();
            ++changes;
        }
        return changes;
    }

    void makeFolder(const QString& folder) {
        if (!QDir().mkdir(m_root + "/" + folder)) {
            return;
        }
        m_folders.append(folder);
        for (int i = 0; i < 6; ++i) {
            makeFile(folder);
        }
    }

private:
    QString pick() {
        return m_folders[std::uniform_int_distribution<qsizetype>(0,
                                                                  m_folders.size() - 1)(m_random)];
    }

    void makeFile(const QString& folder) {
        const QByteArray path =
            QFile::encodeName(m_root + "/" + folder + QString("/n%1").arg(++m_made));
        QFile file(QFile::decodeName(path));
        if (file.open(QIODevice::WriteOnly) && m_random() % 3) {
            setxattr(path.constData(), "user.xdg.tags", "Rand", 4, 0);
        }
    }

    void replacePrefix(const QString& from, const QString& to) {
        for (QString& folder : m_folders) {
            if (folder == from || folder.startsWith(from + "/")) {
                folder = to + folder.mid(from.size());
            }
        }
    }

    void change() {
        if (m_folders.size() < 4) {
            makeFolder(QString("g%1").arg(++m_made));
            return;
        }
        const QString folder = pick();
        const QString parent =
            folder.contains('/') ? folder.left(folder.lastIndexOf('/')) : QString();
        const QString inParent = parent.isEmpty() ? QString() : parent + "/";
        switch (m_random() % 6) {
            case 0: {  // renamed in place
                const QString to = inParent + QString("r%1").arg(++m_made);
                if (QDir().rename(m_root + "/" + folder, m_root + "/" + to)) {
                    replacePrefix(folder, to);
                }
                break;
            }
            case 1: {  // moved under another folder, never into itself
                const QString target = pick();
                if (target == folder || target.startsWith(folder + "/")) {
                    break;
                }
                const QString to = target + QString("/m%1").arg(++m_made);
                if (QDir().rename(m_root + "/" + folder, m_root + "/" + to)) {
                    replacePrefix(folder, to);
                }
                break;
            }
            case 2:
                makeFolder(folder + QString("/c%1").arg(++m_made));
                break;
            case 3:
                if (m_random() % 3 == 0) {
                    QDir(m_root + "/" + folder).removeRecursively();
                    m_folders.removeIf([&](const QString& f) {
                        return f == folder || f.startsWith(folder + "/");
                    });
                }
                break;
            case 4:
                makeFile(folder);
                break;
            default: {
                const QStringList files = QDir(m_root + "/" + folder).entryList(QDir::Files);
                if (!files.isEmpty()) {
                    const QString file = m_root + "/" + folder + "/" + files.first();
                    m_random() % 2 ? (void)QFile::remove(file)
                                   : (void)QFile::rename(file, file + "x");
                }
            }
        }
    }

    QString m_root;
    std::mt19937 m_random;
    QStringList m_folders;
    int m_made = 0;
};

}  // namespace

void TestTagIndex::filesDeeperThanThePathLimit() {
    // Folders made one inside the other, until their path is longer than any call takes.
    const QByteArray part(200, 'd');
    int folder = ::open(QFile::encodeName(m_root).constData(), O_PATH | O_DIRECTORY);
    QByteArray deep = QFile::encodeName(m_root);
    while (deep.size() < PATH_MAX + 300) {
        QVERIFY(::mkdirat(folder, part.constData(), 0755) == 0);
        const int inner = ::openat(folder, part.constData(), O_PATH | O_DIRECTORY);
        ::close(folder);
        folder = inner;
        deep += '/' + part;
    }
    const auto tagAt = [&](const char* name, const QByteArray& tags) {
        const int file = ::openat(folder, name, O_CREAT | O_WRONLY, 0644);
        QVERIFY(::fsetxattr(file, "user.xdg.tags", tags.constData(), tags.size(), 0) == 0);
        ::close(file);
    };
    tagAt("crawled.txt", "Deep");
    auto index = makeIndex();
    index->waitUntilReady();
    const QString relative = QString::fromUtf8(deep.mid(QFile::encodeName(m_root).size() + 1));
    QCOMPARE(query(*index, "Deep"), QStringList({relative + "/crawled.txt"}));
    tagAt("later.txt", "Deep,Later");  // seen by its folder's watch
    QTRY_COMPARE(query(*index, "Later").size(), 1);

    XattrTagStore store;
    QVERIFY(!store.writeValue(deep + "/crawled.txt", "Deep,More"));
    QCOMPARE(store.readValue(deep + "/crawled.txt"), std::optional<QByteArray>("Deep,More"));
    ::close(folder);
}

void TestTagIndex::ownWritesAreListedOnce() {
    // A folder dragged from Orvane's own list (its URL ends in a slash) and a file dropped
    // through a link to it.
    QDir().mkpath(m_root + "/docs");
    touch("real.txt");
    QVERIFY(QFile::link(m_root + "/real.txt", m_root + "/link.txt"));
    auto index = makeIndex();
    index->waitUntilReady();
    XattrTagStore store;
    FileJournal journal(":memory:");
    std::atomic_bool stop = false;
    FileWork::Context context{store, journal, *index, stop, {}};
    const QList<QByteArray> dropped = {
        FilePaths::rawPathFromUrl(QUrl::fromLocalFile(m_root + "/docs/")),
        QFile::encodeName(m_root + "/link.txt")};
    const qint64 op = journal.begin({.edit = TagEdit::add({"Dropped"})});
    QVERIFY(FileWork::planEdit(journal, op, dropped));
    FileWork::run(context, op);
    QCOMPARE(query(*index, "Dropped"), QStringList({"docs", "real.txt"}));
}

void TestTagIndex::randomChangesDuringTheCrawl_data() {
    QTest::addColumn<unsigned>("seed");
    for (const unsigned seed : {1u, 2u, 3u, 4u}) {
        QTest::newRow(qPrintable(QString("seed %1").arg(seed))) << seed;
    }
}

void TestTagIndex::randomChangesDuringTheCrawl() {
    QFETCH(unsigned, seed);
    TreeChanger changer(m_root, seed);
    for (int i = 0; i < 600; ++i) {
        changer.makeFolder(QString("bulk%1").arg(i));
    }
    std::atomic_bool stop = false;
    int changes = 0;
    std::thread changing([&] { changes = changer.run(stop); });
    auto crawled = makeIndex([](TagIndex::Options& options) { options.crawlThreads = 2; });
    TagIndex& index = *crawled;
    index.waitUntilReady();
    stop = true;
    changing.join();
    QVERIFY(changes > 0);

    // A fresh walk of what is on disk now.
    QStringList expected;
    qsizetype folders = 1;
    QDirIterator walk(m_root, QDir::AllEntries | QDir::NoDotAndDotDot,
                      QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QString path = walk.next();
        if (walk.fileInfo().isDir()) {
            ++folders;
        } else if (getxattr(QFile::encodeName(path).constData(), "user.xdg.tags", nullptr, 0) > 0) {
            expected.append(path.mid(m_root.size() + 1));
        }
    }
    expected.sort();
    const QStringList found = query(index, "rand");
    QCOMPARE(found, expected);
    QCOMPARE(index.folderCount(), folders);
    QCOMPARE(index.watchedFolderCount(), folders);
}

void TestTagIndex::tagNamesFollowWritesDuringTheCrawl() {
    QList<QByteArray> paths;
    for (int i = 0; i < 6000; ++i) {
        paths.append(QFile::encodeName(touch(QString("many/f%1").arg(i))));
        setxattr(paths.last().constData(), "user.xdg.tags", "x1,Old,x2", 9, 0);
    }
    touch("other/caf.txt", "Cafe\xcc\x81\n3");
    touch("other/caf2.txt", "CAF\xc3\x89");
    auto index = makeIndex();
    // Renamed on the files while the index crawls, as a rename finished at start-up is.
    XattrTagStore store;
    FileJournal journal(":memory:");
    std::atomic_bool stop = false;
    FileWork::Context context{store, journal, *index, stop, {}};
    const qint64 op = journal.begin({.edit = TagEdit::rename("Old", "New")});
    QVERIFY(FileWork::planEdit(journal, op, paths));
    FileWork::run(context, op);
    std::optional<QStringList> names;
    index->queryAllTagNames([&](const QStringList& found) { names = found; }, false);
    QTRY_VERIFY(names.has_value());
    names->sort();
    // One spelling per name (whichever the crawl met first), the colour suffix left out.
    QCOMPARE(names->size(), 4);
    QVERIFY(QStringList({"Cafe\u0301", "CAF\u00c9"}).contains(names->first()));
    QCOMPARE(names->mid(1), QStringList({"New", "x1", "x2"}));
}

void TestTagIndex::storedIndexAnswersBeforeTheCrawl() {
    touch("a.txt", "Keep");
    touch("b.txt", "Gone");
    touch("c.txt", "Same,Keep");
    makeIndex().reset();  // an index without a store keeps nothing
    QVERIFY(!QFile::exists(storePath()));
    {
        auto first = makeStoredIndex();
        first->waitUntilReady();
        QTRY_VERIFY(QFile::exists(storePath()));  // written after the crawl
        touch("late.txt", "Keep");
        first->noteTagsWritten(QFile::encodeName(m_root + "/late.txt"), "Keep");
        // Written files make it stale: a crash now must not leave it to the next start.
        QTRY_VERIFY(!QFile::exists(storePath()));
    }  // kept again at exit, with what the application wrote since
    QCOMPARE(TagIndexStore(storePath()).open({QFile::encodeName(m_root)})->fileCount(), 4);

    // Between the runs: one file loses a name and gains another; a new file.
    setTags(m_root + "/b.txt", "New");
    touch("d.txt", "Keep");
    LogCapture log;
    auto index = makeStoredIndex(1500);
    std::optional<QStringList> changed;
    index->setRefreshedHandler([&](const QStringList& names) { changed = names; });
    // Answered from the store: d.txt, which only the crawl finds, is not there yet.
    QCOMPARE(query(*index, "keep"), QStringList({"a.txt", "c.txt", "late.txt"}));
    QCOMPARE(query(*index, "Gone"), QStringList({"b.txt"}));
    QCOMPARE(query(*index, "Same"), QStringList({"c.txt"}));
    std::optional<QStringList> names;
    index->queryAllTagNames([&](const QStringList& all) { names = all; }, false);
    QTRY_VERIFY(names);
    names->sort();
    QCOMPARE(*names, QStringList({"Gone", "Keep", "Same"}));
    QVERIFY(!log.lines()
                 .filter("tagIndex: the last run's index of 4 tagged files opened in")
                 .isEmpty());

    // The crawl names the answers that changed; the lists it gives from then on are its own.
    QTRY_VERIFY_WITH_TIMEOUT(changed.has_value(), 10000);
    changed->sort();
    QCOMPARE(*changed, QStringList({"Gone", "keep"}));
    QCOMPARE(query(*index, "keep"), QStringList({"a.txt", "c.txt", "d.txt", "late.txt"}));
    QCOMPARE(query(*index, "Gone"), QStringList());
}

void TestTagIndex::writesWhileTheCrawlIsCutShort() {
    touch("known.txt", "Keep");
    makeStoredIndex()->waitUntilReady();  // kept at exit
    QVERIFY(QFile::exists(storePath()));
    // The application writes before the crawl has looked anywhere, then quits.
    auto index = makeStoredIndex(2000);
    const QString written = touch("sub/new.txt", "New");
    index->noteTagsWritten(QFile::encodeName(written), "New");
    QVERIFY(!QFile::exists(storePath()));  // what the last run kept is stale now
    index->stop();
    QVERIFY(!QFile::exists(storePath()));  // and nothing half known is kept instead
    // A file where the crawl looks is not taken for one tagged elsewhere.
    QFile list(m_home->cacheDir() + "/tagged-elsewhere");
    QVERIFY(!list.open(QIODevice::ReadOnly) ||
            !list.readAll().contains(QFile::encodeName(written)));
}

void TestTagIndex::storeKeepsNamesAndPathsExactly() {
    const QList<QByteArray> roots = {"/r\xff", "/media/x"};
    const QByteArray odd = "/r\xff/caf\xc3\xa9\xff.txt";
    const QList<TagIndexStore::Entry> entries = {
        {odd, TagIndexTable::keysFor({"a,b", "C:\\", "Red\n6", "Caf\u00e9", " lead"})},
        {"/media/x/plain", TagIndexTable::keysFor({"Work", QString("nul") + QChar(0) + "inside"})},
        {"/top", TagIndexTable::keysFor({"work"})},
    };
    const TagIndexStore store(storePath());
    QVERIFY(store.save(roots, entries, {"Work", "Caf\u00e9"}));
    QVERIFY((QFileInfo(storePath()).permissions().toInt() & 0x0077) == 0);  // the user's alone
    const auto reader = store.open(roots);
    QVERIFY(reader);
    QCOMPARE(reader->fileCount(), 3);
    // Found by every key a query can use: case and composition aside, a colour suffix aside.
    for (const char* name : {"A,B", "c:\\", "red", "RED\n6", "CAFE\u0301", " Lead"}) {
        QVERIFY2(reader->pathsWithKey(TagNames::matchKey(name)) == QList<QByteArray>{odd},
                 qPrintable(name));
    }
    QCOMPARE(reader->pathsWithKey(TagNames::matchKey(QString("NUL") + QChar(0) + "inside")),
             QList<QByteArray>{"/media/x/plain"});
    QCOMPARE(reader->pathsWithKey("work")->size(), 2);
    QCOMPARE(reader->pathsWithKey("lead"), QList<QByteArray>());
    QCOMPARE(reader->names(), QStringList({"Work", "Caf\u00e9"}));
    QVERIFY(!store.open({"/r\xff"}));    // kept for other roots
    QVERIFY(store.save(roots, {}, {}));  // replaced whole, not added to
    QCOMPARE(store.open(roots)->pathsWithKey("work"), QList<QByteArray>());
    QFile::remove(storePath());
}

void TestTagIndex::storeIsACacheNeverTrusted_data() {
    QTest::addColumn<QString>("damage");
    QTest::newRow("garbage") << "garbage";
    QTest::newRow("empty file") << "empty";
    QTest::newRow("cut in half") << "cut";
    QTest::newRow("damaged midway") << "midway";
    QTest::newRow("another program's database") << "foreign";
    QTest::newRow("a newer schema") << "newer";
    QTest::newRow("other roots") << "roots";
    QTest::newRow("a folder in its place") << "folder";
    QTest::newRow("damaged after it was opened") << "later";
}

void TestTagIndex::storeIsACacheNeverTrusted() {
    QFETCH(QString, damage);
    touch("real.txt", "Real");
    const QByteArray root = QFile::encodeName(m_root);
    QList<TagIndexStore::Entry> lies;
    for (int i = 0; i < 2000; ++i) {
        lies.append({root + "/lie" + QByteArray::number(i), {"real", "lie"}});
    }
    const TagIndexStore store(storePath());
    QVERIFY(store.save({damage == "roots" ? "/elsewhere" : root}, lies, {"Real", "Lie"}));
    QFile file(storePath());
    const auto sql = [&](const char* statement) {
        sqlite3* db = nullptr;
        sqlite3_open(QFile::encodeName(storePath()).constData(), &db);
        sqlite3_exec(db, statement, nullptr, nullptr, nullptr);
        sqlite3_close(db);
    };
    if (damage == "garbage") {
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, '\x5a'));
        file.close();
    } else if (damage == "empty") {
        QVERIFY(file.resize(0));
    } else if (damage == "cut") {
        QVERIFY(file.resize(file.size() / 2));
    } else if (damage == "midway") {
        // Readable at first: the reading stops on the damage, after many files.
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(file.size() * 3 / 4));
        file.write(QByteArray(8192, '\x5a'));
        file.close();
    } else if (damage == "foreign") {
        QFile::remove(storePath());
        sql("CREATE TABLE files (path BLOB, tags BLOB); INSERT INTO files VALUES ('/x', 'Real');");
    } else if (damage == "newer") {
        sql("PRAGMA user_version = 99");
    } else if (damage == "folder") {
        QFile::remove(storePath());
        QDir().mkpath(storePath());
    }
    // Known unsound from its head alone. A file damaged past its head may be opened: whatever it
    // answers is checked by the crawl, as any answer from the store is.
    QCOMPARE(bool(store.open({root})), damage == "midway" || damage == "later");

    LogCapture log;
    auto index = makeStoredIndex(damage == "later" ? 1500 : 0);
    if (damage == "later") {
        QTRY_VERIFY(!log.lines().filter("of 2000 tagged files opened in").isEmpty());
        QVERIFY(file.resize(4096));
        QCOMPARE(query(*index, "Real"), QStringList({"real.txt"}));  // waited for the crawl
        QCOMPARE(log.lines().filter("index could not be read; answers wait for the crawl").size(),
                 1);
    }
    // The index's answers after its crawl are the crawl's; it keeps a sound store.
    index->waitUntilReady();
    QCOMPARE(query(*index, "Real"), QStringList({"real.txt"}));
    if (damage != "folder") {
        index.reset();
        QCOMPARE(store.open({root})->fileCount(), 1);
    }
    QDir(storePath()).removeRecursively();
    QFile::remove(storePath());
}

QTEST_GUILESS_MAIN(TestTagIndex)
#include "tst_tagindex.moc"
