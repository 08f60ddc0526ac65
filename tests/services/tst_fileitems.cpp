#include "TestHome.h"
#include "platform/XattrTagStore.h"
#include "services/FileItems.h"

#include <QDir>
#include <QtTest>

#include <sys/xattr.h>

class TestFileItems : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { m_home = std::make_unique<TestHome>(); }
    void recordsDescribeTheFile();
    void filterComparesExactly_data();
    void filterComparesExactly();
    void sortIsCaseInsensitiveAndStable();
    void partsCoverTheListOnce_data();
    void partsCoverTheListOnce();

private:
    QByteArray make(const QString& name, const QByteArray& tags) {
        const QString path = m_home->writeFile("items/" + name, "x");
        setxattr(QFile::encodeName(path).constData(), "user.xdg.tags", tags.constData(),
                 tags.size(), 0);
        return QFile::encodeName(path);
    }
    std::unique_ptr<TestHome> m_home;
    XattrTagStore m_store;
};

void TestFileItems::recordsDescribeTheFile() {
    const QByteArray pdf = make("report final.pdf", "Work,Red");
    QDir().mkpath(m_home->path("items/Folder"));
    const QByteArray folder = QFile::encodeName(m_home->path("items/Folder"));
    const QByteArray missing = QFile::encodeName(m_home->path("items/gone.txt"));
    const auto items =
        FileItems::makeFileItems({pdf, folder, missing}, std::nullopt, {"Work"}, m_store);
    QCOMPARE(items.size(), 3);  // without a required set nothing is filtered
    QCOMPARE(items[0].name, QString("Folder"));
    QVERIFY(items[0].isDirectory);
    QVERIFY(items[0].id.endsWith("/items/Folder/"));
    QCOMPARE(items[0].iconName, QString("inode-directory"));
    QCOMPARE(items[1].name, QString("gone.txt"));
    QVERIFY(!items[1].isDirectory && items[1].tags.isEmpty());
    QCOMPARE(items[2].name, QString("report final.pdf"));
    QCOMPARE(items[2].tags, QStringList({"Work", "Red"}));
    QVERIFY(items[2].id.startsWith("file:///") && items[2].id.endsWith("report%20final.pdf"));
    QCOMPARE(items[2].iconName, QString("application-pdf"));
}

void TestFileItems::filterComparesExactly_data() {
    QTest::addColumn<QByteArray>("tags");
    QTest::addColumn<bool>("kept");
    QTest::newRow("carries both") << QByteArray("Projects,Client") << true;
    QTest::newRow("and more") << QByteArray("Projects,Client,Other") << true;
    QTest::newRow("and one below") << QByteArray("Projects,Client,Invoices") << false;
    QTest::newRow("only one") << QByteArray("Client") << false;
    QTest::newRow("other case") << QByteArray("Projects,client") << false;
    QTest::newRow("untagged") << QByteArray() << false;
}

void TestFileItems::filterComparesExactly() {
    QFETCH(QByteArray, tags);
    QFETCH(bool, kept);
    const QByteArray url = make("filtered.txt", tags);
    const auto items =
        FileItems::makeFileItems({url}, QSet<QString>{"Projects", "Client"}, {"Invoices"}, m_store);
    QCOMPARE(items.size(), kept ? 1 : 0);
}

void TestFileItems::sortIsCaseInsensitiveAndStable() {
    QList<FileItem> items;
    for (const char* name : {"beta", "Alpha", "alpha", "ALPHA", "apple", "Banana"}) {
        items.append(FileItem::make(QByteArray("/x/") + name, false, {}, {}));
    }
    FileItems::sortByName(items);
    QStringList names;
    for (const FileItem& item : items) {
        names.append(item.name);
    }
    QCOMPARE(names, QStringList({"Alpha", "alpha", "ALPHA", "apple", "Banana", "beta"}));
}

void TestFileItems::partsCoverTheListOnce_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<qsizetype>>("sizes");  // sorted
    QTest::newRow("within the first part") << 64 << QList<qsizetype>{64};
    QTest::newRow("one past it") << 65 << QList<qsizetype>{1, 64};
    QTest::newRow("first and full parts") << 64 + 2 * 256 << QList<qsizetype>{64, 256, 256};
    QTest::newRow("a short last part") << 600 << QList<qsizetype>{64, 24, 256, 256};
}

void TestFileItems::partsCoverTheListOnce() {
    QFETCH(int, count);
    QFETCH(QList<qsizetype>, sizes);
    QList<QByteArray> paths;
    for (int i = 0; i < count; ++i) {
        paths.append(QFile::encodeName(m_home->path(QString("parts/missing-%1").arg(i))));
    }
    QList<qsizetype> seen;
    QSet<QString> names;
    FileItems::makeFileItemsInParts(
        paths, std::nullopt, {}, m_store, 3, 64, 256,
        [&](QList<FileItem> part) {
            seen.append(part.size());
            for (const FileItem& item : part) {
                names.insert(item.name);
            }
        },
        [] { return false; });
    std::sort(seen.begin(), seen.end());
    std::sort(sizes.begin(), sizes.end());
    QCOMPARE(seen, sizes);
    QCOMPARE(names.size(), count);
}

QTEST_GUILESS_MAIN(TestFileItems)
#include "tst_fileitems.moc"
