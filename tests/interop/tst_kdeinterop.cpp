// Tags shared with KDE: its own library (through the kdetags helper) and Orvane edit the same
// files, and each must read what the other wrote.
#include "TagEdits.h"
#include "TestHome.h"
#include "platform/TagValueCodec.h"
#include "platform/XattrTagStore.h"
#include "services/FileTagging.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QtTest>

#include <sys/xattr.h>

namespace {

const QString kHelper = QStringLiteral(KDETAGS_PATH);

}  // namespace

class TestKdeInterop : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void kdeNamesSurviveOrvaneEdits_data();
    void kdeNamesSurviveOrvaneEdits();
    void orvaneNamesReadTheSameInKde_data();
    void orvaneNamesReadTheSameInKde();
    void documentedDifferences();
    void kdePathsFollowOrvaneEdits();

private:
    QUrl file(const QString& name);
    static QByteArray rawValue(const QUrl& url);
    static QStringList kdeRead(const QUrl& url);
    static void kdeWrite(const QUrl& url, const QStringList& names);

    std::unique_ptr<TestHome> m_home;
    XattrTagStore m_store;
    int m_files = 0;
};

void TestKdeInterop::initTestCase() {
    if (kHelper.isEmpty() || !QFileInfo(kHelper).isExecutable()) {
        QSKIP(
            "KDE's tag library (Debian libkf5filemetadata-dev) could not be installed, so "
            "the kdetags helper was not built; nothing to compare with");
    }
    m_home = std::make_unique<TestHome>();
}

QUrl TestKdeInterop::file(const QString& name) {
    return QUrl::fromLocalFile(
        m_home->writeFile(QString("files/%1-%2").arg(++m_files).arg(name), "x"));
}

QByteArray TestKdeInterop::rawValue(const QUrl& url) {
    return XattrTagStore::readAttribute(QFile::encodeName(url.toLocalFile()), false).value_or("?");
}

QStringList TestKdeInterop::kdeRead(const QUrl& url) {
    QProcess helper;
    helper.start(kHelper, {"read", url.toLocalFile()});
    if (!helper.waitForFinished(10000) || helper.exitCode() != 0) {
        return {"<kdetags failed>"};
    }
    QStringList names;
    for (const QJsonValue& value :
         QJsonDocument::fromJson(helper.readAllStandardOutput()).array()) {
        names.append(value.toString());
    }
    return names;
}

void TestKdeInterop::kdeWrite(const QUrl& url, const QStringList& names) {
    const QByteArray json =
        QJsonDocument(QJsonArray::fromStringList(names)).toJson(QJsonDocument::Compact);
    QCOMPARE(QProcess::execute(kHelper, {"write", url.toLocalFile(), QString::fromUtf8(json)}), 0);
}

// Names KDE writes that Orvane would spell differently: a leading blank, backslashes before
// letters and before each other, and, last, one ending in a backslash.
static const QStringList kKdeNames = {"C:\\temp", " lead",      "x\\\\y", "Café",
                                      "Work",     "semi;colon", "end\\"};

void TestKdeInterop::kdeNamesSurviveOrvaneEdits_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QStringList>("kdeReadsAfter");
    QStringList added = kKdeNames;
    added.insert(added.size() - 1, "New");  // the backslash-ended entry stays last
    QStringList removed = kKdeNames;
    removed.removeAll("Work");
    QStringList renamed = kKdeNames;
    renamed.replace(renamed.indexOf("Work"), "Done");
    QTest::newRow("add") << "add" << added;
    QTest::newRow("remove") << "remove" << removed;
    QTest::newRow("rename") << "rename" << renamed;
}

void TestKdeInterop::kdeNamesSurviveOrvaneEdits() {
    QFETCH(QString, operation);
    QFETCH(QStringList, kdeReadsAfter);
    const QUrl url = file("kde");
    kdeWrite(url, kKdeNames);
    QCOMPARE(kdeRead(url), kKdeNames);
    const QList<QByteArray> before = TagValueCodec::entries(rawValue(url));

    std::error_code error;
    if (operation == "add") {
        error = addTags(m_store, {"New"}, url);
    } else if (operation == "remove") {
        error = removeTag(m_store, "Work", url);
    } else {
        error = replaceTag(m_store, "Work", "Done", url);
    }
    QVERIFY(!error);

    // Every entry Orvane did not touch keeps its bytes.
    const QList<QByteArray> after = TagValueCodec::entries(rawValue(url));
    for (const QByteArray& entry : before) {
        if (entry != "Work") {
            QVERIFY2(after.contains(entry), entry.constData());
        }
    }
    QCOMPARE(kdeRead(url), kdeReadsAfter);
}

void TestKdeInterop::orvaneNamesReadTheSameInKde_data() {
    QTest::addColumn<QStringList>("names");
    QTest::newRow("plain") << QStringList{"Projects", "Client"};
    QTest::newRow("blanks inside") << QStringList{"My Project", "Q3 2026 plan"};
    QTest::newRow("single backslashes") << QStringList{"C:\\temp", "a\\b\\c"};
    QTest::newRow("outside ASCII") << QStringList{"Café", "日本語", "☃ snow"};
    QTest::newRow("a nested tag as KDE's path") << QStringList{"Projects/Client", "Other"};
}

void TestKdeInterop::orvaneNamesReadTheSameInKde() {
    QFETCH(QStringList, names);
    const QUrl url = file("orvane");
    QVERIFY(!addTags(m_store, names, url));
    QCOMPARE(kdeRead(url), names);
    QCOMPARE(FileTagging::readTagNames(m_store, url), names);
}

void TestKdeInterop::documentedDifferences() {
    // KDE has no escape: a comma inside a name Orvane wrote splits it in two there.
    const QUrl comma = file("comma");
    QVERIFY(!addTags(m_store, {"x,y"}, comma));
    QCOMPARE(rawValue(comma), QByteArray("x\\,y"));
    QCOMPARE(kdeRead(comma), QStringList({"x\\", "y"}));
    QCOMPARE(FileTagging::readTagNames(m_store, comma), QStringList({"x,y"}));

    // The same bytes written by KDE as a name ending in a backslash and another name.
    const QUrl trailing = file("trailing");
    kdeWrite(trailing, {"x\\", "y"});
    QCOMPARE(rawValue(trailing), QByteArray("x\\,y"));
    QCOMPARE(FileTagging::readTagNames(m_store, trailing), QStringList({"x,y"}));

    // Backslashes Orvane doubles (at the end of a name, or two in a row) stay doubled in KDE.
    const QUrl doubled = file("doubled");
    QVERIFY(!addTags(m_store, {"end\\", "two\\\\in a row"}, doubled));
    QCOMPARE(kdeRead(doubled), QStringList({"end\\\\", "two\\\\\\in a row"}));
    QCOMPARE(FileTagging::readTagNames(m_store, doubled),
             QStringList({"end\\", "two\\\\in a row"}));
}

void TestKdeInterop::kdePathsFollowOrvaneEdits() {
    // KDE's tag dialog writes one entry per nested tag; before KDE 25.04 with a leading "/".
    const QUrl url = file("paths");
    kdeWrite(url, {"Projects/Client/2024", "/Projects/Client", "Photos"});
    const auto edit = [&](const QStringList& from, const QStringList& to) {
        const TagEdit move = TagEdit::movePath(from, to);
        return FileTagging::edit(m_store, FilePaths::rawPathFromUrl(url), move).error;
    };
    QVERIFY(!edit({"Projects", "Client"}, {"Projects", "Job"}));
    QCOMPARE(kdeRead(url), QStringList({"Projects/Job/2024", "/Projects/Job", "Photos"}));
    QVERIFY(!edit({"Projects", "Job"}, {"Archive", "Job"}));
    QCOMPARE(kdeRead(url), QStringList({"Archive/Job/2024", "/Archive/Job", "Photos"}));
    QVERIFY(!edit({"Archive", "Job"}, {}));
    QCOMPARE(kdeRead(url), QStringList({"Photos"}));
}

QTEST_GUILESS_MAIN(TestKdeInterop)
#include "tst_kdeinterop.moc"
