#include "TagEdits.h"
#include "TestHome.h"
#include "platform/FilePaths.h"
#include "platform/TagValueCodec.h"
#include "platform/XattrTagStore.h"
#include "services/FileTagging.h"

#include <QtTest>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace FileTagging;

class TestFileTags : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { m_home = std::make_unique<TestHome>(); }
    void codecRoundTrip_data();
    void codecRoundTrip();
    void codecReadsOtherToolsValues_data();
    void codecReadsOtherToolsValues();
    void removeTag_data();
    void removeTag();
    void addTag_data();
    void addTag();
    void replaceTagIsOneWrite();
    void emptyListRemovesTheAttribute();
    void unwritableAndVanishedFiles();
    void invalidUtf8SurvivesUnrelatedChanges();
    void oddFileNamesTravelThroughUrls();
    void valuesOverOneKiB();
    void unchangedListsKeepTheirBytes();
    void symlinkedFilesKeepTheTargetsTags();
    void editsKeepOtherEntriesBytes_data();
    void editsKeepOtherEntriesBytes();

private:
    QUrl file(const QString& name, const QByteArray& value = QByteArray());
    QByteArray rawValue(const QUrl& url) {
        return XattrTagStore::readAttribute(FilePaths::rawPathFromUrl(url), true)
            .value_or("<error>");
    }
    std::unique_ptr<TestHome> m_home;
    XattrTagStore m_store;
};

QUrl TestFileTags::file(const QString& name, const QByteArray& value) {
    const QString path = m_home->writeFile("files/" + name, "content");
    const QByteArray raw = QFile::encodeName(path);
    removexattr(raw.constData(), "user.xdg.tags");
    if (!value.isNull()) {
        setxattr(raw.constData(), "user.xdg.tags", value.constData(), value.size(), 0);
    }
    return QUrl::fromLocalFile(path);
}

void TestFileTags::codecRoundTrip_data() {
    QTest::addColumn<QList<QByteArray>>("names");
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("plain") << QList<QByteArray>{"Work", "Red"} << QByteArray("Work,Red");
    QTest::newRow("comma") << QList<QByteArray>{"a,b", "c"} << QByteArray("a\\,b,c");
    QTest::newRow("backslash") << QList<QByteArray>{"a\\", "b\\,c"}
                               << QByteArray("a\\\\,b\\\\\\,c");
    QTest::newRow("non-ascii") << QList<QByteArray>{"Café", "東京"} << QByteArray("Café,東京");
    // A backslash that cannot be misread is written once, as KDE writes it.
    QTest::newRow("single backslash inside")
        << QList<QByteArray>{"C:\\temp", "a\\\\b"} << QByteArray("C:\\temp,a\\\\\\b");
}

void TestFileTags::codecRoundTrip() {
    QFETCH(QList<QByteArray>, names);
    QFETCH(QByteArray, value);
    QCOMPARE(TagValueCodec::encode(names), value);
    QCOMPARE(TagValueCodec::decode(value), names);
}

void TestFileTags::codecReadsOtherToolsValues_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QList<QByteArray>>("names");
    QTest::newRow("blank after comma")
        << QByteArray("Work, Red ,\tBlue") << QList<QByteArray>{"Work", "Red", "Blue"};
    QTest::newRow("empty parts") << QByteArray(",,Work,,") << QList<QByteArray>{"Work"};
    QTest::newRow("lone backslash kept")
        << QByteArray("C:\\temp,x\\") << QList<QByteArray>{"C:\\temp", "x\\"};
    QTest::newRow("empty") << QByteArray() << QList<QByteArray>{};
}

void TestFileTags::codecReadsOtherToolsValues() {
    QFETCH(QByteArray, value);
    QFETCH(QList<QByteArray>, names);
    QCOMPARE(TagValueCodec::decode(value), names);
}

void TestFileTags::removeTag_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("absent name") << QByteArray("B,A") << "C" << QByteArray("B,A");
    QTest::newRow("twice around another") << QByteArray("A,B,A") << "A" << QByteArray("B");
    QTest::newRow("other letter case") << QByteArray("Work") << "work" << QByteArray("Work");
    QTest::newRow("canonically equal")
        << QByteArray("Cafe\xcc\x81,x") << QString::fromUtf8("Café") << QByteArray("x");
    QTest::newRow("last name") << QByteArray("A") << "A" << QByteArray();
}

void TestFileTags::removeTag() {
    QFETCH(QByteArray, before);
    QFETCH(QString, name);
    QFETCH(QByteArray, after);
    const QUrl url = file("remove.txt", before);
    QVERIFY(!::removeTag(m_store, name, url));
    QCOMPARE(rawValue(url), after);
}

void TestFileTags::addTag_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("to untagged") << QByteArray() << QStringList{"Projects", "Client"}
                                 << QByteArray("Projects,Client");
    QTest::newRow("keeps order, no duplicate")
        << QByteArray("Z,Client") << QStringList{"Projects", "Client"}
        << QByteArray("Z,Client,Projects");
    QTest::newRow("case differs") << QByteArray("work") << QStringList{"Work"}
                                  << QByteArray("work,Work");
    QTest::newRow("comma in name")
        << QByteArray("a") << QStringList{"x,y"} << QByteArray("a,x\\,y");
    // Appended after it, the lone backslash would escape the new comma and swallow the name.
    QTest::newRow("last entry ends in a backslash")
        << QByteArray("a, C:\\") << QStringList{"New"} << QByteArray("a,New, C:\\");
}

void TestFileTags::addTag() {
    QFETCH(QByteArray, before);
    QFETCH(QStringList, names);
    QFETCH(QByteArray, after);
    const QUrl url = file("add.txt", before.isEmpty() ? QByteArray() : before);
    QVERIFY(!addTags(m_store, names, url));
    QCOMPARE(rawValue(url), after);
    QCOMPARE(readTagNames(m_store, url),
             QString::fromUtf8(after).isEmpty()
                 ? QStringList()
                 : FileTagging::decodeNames(TagValueCodec::decode(after)));
}

void TestFileTags::replaceTagIsOneWrite() {
    const QUrl url = file("rename.txt", "A,Alpha,B");
    QVERIFY(!replaceTag(m_store, "Alpha", "Beta", url));
    QCOMPARE(rawValue(url), QByteArray("A,Beta,B"));
    const QUrl both = file("both.txt", "Alpha,Beta,C");
    QVERIFY(!replaceTag(m_store, "Alpha", "Beta", both));
    QCOMPARE(rawValue(both), QByteArray("Beta,C"));
}

void TestFileTags::emptyListRemovesTheAttribute() {
    const QUrl url = file("empty.txt", "Only");
    QVERIFY(!::removeTag(m_store, "Only", url));
    const QByteArray path = FilePaths::rawPathFromUrl(url);
    QCOMPARE(getxattr(path.constData(), "user.xdg.tags", nullptr, 0), -1);
    QCOMPARE(errno, ENODATA);
    QVERIFY(!::removeTag(m_store, "Only", url));  // nothing to remove: no error
}

void TestFileTags::unwritableAndVanishedFiles() {
    // A FIFO takes no user attributes, whoever asks; a vanished file has none to read.
    const QString fifo = m_home->path("files/pipe");
    QVERIFY(mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    const QUrl pipeUrl = QUrl::fromLocalFile(fifo);
    QVERIFY(readTagNames(m_store, pipeUrl).isEmpty());
    QVERIFY(addTags(m_store, {"Work"}, pipeUrl));
    // A read-only file: without the right to write, the write fails and the tags stay; with
    // it (root), the write succeeds. Either way the file's tags are what was reported.
    const QUrl readOnly = file("read-only.txt", "Keep");
    QFile::setPermissions(readOnly.toLocalFile(), QFileDevice::ReadOwner | QFileDevice::ReadOther);
    const std::error_code error = addTags(m_store, {"New"}, readOnly);
    QCOMPARE(rawValue(readOnly), error ? QByteArray("Keep") : QByteArray("Keep,New"));
    QFile::setPermissions(readOnly.toLocalFile(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QUrl gone = QUrl::fromLocalFile(m_home->path("files/never-was.txt"));
    QVERIFY(readTagNames(m_store, gone).isEmpty());
    QVERIFY(addTags(m_store, {"Work"}, gone));
    QVERIFY(replaceTag(m_store, "A", "B", gone));
}

void TestFileTags::invalidUtf8SurvivesUnrelatedChanges() {
    const QByteArray odd("\xff\xfe-latin1-\xe9");
    const QUrl url = file("bytes.txt", odd + ",Keep");
    QCOMPARE(readTagNames(m_store, url).size(), 2);
    QVERIFY(!addTags(m_store, {"Keep"}, url));  // nothing to add: not rewritten at all
    QVERIFY(!addTags(m_store, {"New"}, url));
    QCOMPARE(rawValue(url), odd + ",Keep,New");
    QVERIFY(!::removeTag(m_store, "Keep", url));
    QCOMPARE(rawValue(url), odd + ",New");
}

void TestFileTags::oddFileNamesTravelThroughUrls() {
    const QByteArray dir = QFile::encodeName(m_home->path("files"));
    for (const QByteArray& name :
         {QByteArray("bad-\xff-name"), QByteArray("sp ace%20#?.txt"), QByteArray("new\nline")}) {
        const QByteArray path = dir + "/" + name;
        const int fd = ::open(path.constData(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);
        const QUrl url = FilePaths::urlFromRawPath(path);
        QCOMPARE(FilePaths::rawPathFromUrl(url), path);
        QVERIFY(!addTags(m_store, {"Odd"}, url));
        QCOMPARE(readTagNames(m_store, url), QStringList{"Odd"});
        ::unlink(path.constData());  // a name the folder's clean-up could not spell
    }
}

void TestFileTags::valuesOverOneKiB() {
    // Sixty names of twenty characters: more than the first read's buffer holds.
    QStringList names;
    for (int i = 0; i < 60; ++i) {
        names.append(QString("long-tag-name-%1").arg(i, 6, 10, QChar('0')));
    }
    const QUrl url = file("long.txt", names.join(',').toUtf8());
    QVERIFY(rawValue(url).size() > 1024);
    QCOMPARE(readTagNames(m_store, url), names);
    QVERIFY(!addTags(m_store, {"One more"}, url));
    QCOMPARE(readTagNames(m_store, url), names + QStringList{"One more"});
    QVERIFY(!replaceTag(m_store, names[0], "Renamed", url));
    QCOMPARE(readTagNames(m_store, url).first(), QString("Renamed"));
}

void TestFileTags::unchangedListsKeepTheirBytes() {
    // Another program wrote blanks around its names; adding a name the file has already
    // changes nothing, not even the spelling of the list.
    const QUrl url = file("blanks.txt", " a , b");
    // Watched as a file manager watches it: a rewrite, even of the same bytes, would wake it.
    const int watcher = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(inotify_add_watch(watcher, QFile::encodeName(url.toLocalFile()).constData(),
                              IN_ATTRIB) >= 0);
    QVERIFY(!addTags(m_store, {"a"}, url));
    QVERIFY(!::removeTag(m_store, "absent", url));
    QVERIFY(!replaceTag(m_store, "absent", "other", url));
    QCOMPARE(rawValue(url), QByteArray(" a , b"));
    char events[4096];
    QCOMPARE(read(watcher, events, sizeof events), -1);
    QCOMPARE(errno, EAGAIN);
    // A real change is seen.
    QVERIFY(!addTags(m_store, {"c"}, url));
    QVERIFY(read(watcher, events, sizeof events) > 0);
    close(watcher);
}

void TestFileTags::symlinkedFilesKeepTheTargetsTags() {
    const QUrl target = file("target.txt", "Keep");
    const QString link = m_home->path("files/link.txt");
    QFile::remove(link);
    QVERIFY(QFile::link(target.toLocalFile(), link));
    const QUrl linkUrl = QUrl::fromLocalFile(link);
    QCOMPARE(readTagNames(m_store, linkUrl), QStringList({"Keep"}));
    QVERIFY(!addTags(m_store, {"New"}, linkUrl));
    QCOMPARE(rawValue(target), QByteArray("Keep,New"));
}

void TestFileTags::editsKeepOtherEntriesBytes_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QByteArray>("after");
    // As KDE wrote them: a lone backslash, a leading blank, bytes that are not UTF-8.
    const QByteArray kde("C:\\temp, lead,\xff\xfe");
    QTest::newRow("add") << kde << "+New" << kde + ",New";
    QTest::newRow("remove by its trimmed name")
        << kde << "-lead" << QByteArray("C:\\temp,\xff\xfe");
    QTest::newRow("rename another") << kde + ",Old"
                                    << "Old>Newer" << kde + ",Newer";
    QTest::newRow("rename in place") << QByteArray(" Old ,x") << "Old>New" << QByteArray("New,x");
    QTest::newRow("empty entries stay") << QByteArray("a,,b") << "+c" << QByteArray("a,,b,c");
    QTest::newRow("blanks stay on the rest") << QByteArray(" a , b") << "-b" << QByteArray(" a ");
    QTest::newRow("last name removed") << QByteArray(", x ,") << "-x" << QByteArray();
    QTest::newRow("ending backslash written doubled")
        << QByteArray("a") << "+x\\" << QByteArray("a,x\\\\");
    // KDE's path entries: "~from>to" gives the entries through `from` another beginning.
    QTest::newRow("path branch removed, whole names only")
        << QByteArray("Projects/Client/2024,Projects,Projects/Clients") << "~Projects/Client>"
        << QByteArray("Projects,Projects/Clients");
    QTest::newRow("path met again merges") << QByteArray("A/B,C/B") << "~A>C" << QByteArray("C/B");
    QTest::newRow("paths cut back to where the file is lifted")
        << QByteArray("A/B/C,A,x,/A/D") << "~A>A" << QByteArray("A,x");
    QTest::newRow("path whose every name goes")
        << QByteArray("A/B,A/C,/A/B/B,x") << "-A,B" << QByteArray("A/C,x");
    QTest::newRow("not a clean path, or another case")
        << QByteArray("Projects//Client,Projects/Client/,projects/client") << "~Projects/Client>"
        << QByteArray("Projects//Client,Projects/Client/,projects/client");
}

void TestFileTags::editsKeepOtherEntriesBytes() {
    QFETCH(QByteArray, before);
    QFETCH(QString, edit);
    QFETCH(QByteArray, after);
    const QUrl url = file("entries.txt", before);
    if (edit.startsWith('+')) {
        QVERIFY(!addTags(m_store, {edit.mid(1)}, url));
    } else if (edit.startsWith('-')) {
        QVERIFY(!FileTagging::edit(m_store, QFile::encodeName(url.toLocalFile()),
                                   TagEdit::remove(edit.mid(1).split(',')))
                     .error);
    } else if (edit.startsWith('~')) {
        const QStringList paths = edit.mid(1).split('>');
        const QStringList to = paths[1].isEmpty() ? QStringList() : paths[1].split('/');
        const TagEdit move = TagEdit::movePath(paths[0].split('/'), to);
        QVERIFY(!FileTagging::edit(m_store, QFile::encodeName(url.toLocalFile()), move).error);
    } else {
        const QStringList names = edit.split('>');
        QVERIFY(!replaceTag(m_store, names[0], names[1], url));
    }
    QCOMPARE(after.isEmpty() ? QByteArray() : rawValue(url), after);
    if (after.isEmpty()) {
        QCOMPARE(
            getxattr(QFile::encodeName(url.toLocalFile()).constData(), "user.xdg.tags", nullptr, 0),
            -1);
    }
}

QTEST_GUILESS_MAIN(TestFileTags)
#include "tst_filetags.moc"
