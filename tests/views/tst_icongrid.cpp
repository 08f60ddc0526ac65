#include "DropEvents.h"
#include "ModelFixture.h"
#include "state/AppViewModel.h"
#include "views/common/TagIconPainter.h"
#include "views/grid/IconGridView.h"

#include <QBuffer>
#include <QMimeData>
#include <QtTest>

#include <sys/xattr.h>

class TestIconGrid : public QObject, public ModelFixture {
    Q_OBJECT

private slots:
    void initTestCase() { createHome(); }
    void init();
    void cleanup();
    void widthSetsTheViewModelsCount();
    void emptyStatesAndLoading();
    void dropsOnTilesAndBackground();
    void dropMarkerIsHandedBetweenTiles();
    void badgeCountsDirectChildren();
    void tenThousandFilesAreNotWidgets();
    void hugeCustomImagesAreDecodedAsIcons();

private:
    std::unique_ptr<IconGridView> m_grid;
};

void TestIconGrid::init() {
    createModel();
    m_model->setViewMode(ViewMode::Icon);
    m_grid = std::make_unique<IconGridView>(*m_model);
    m_grid->resize(700, 500);
    m_grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_grid.get()));
}

void TestIconGrid::cleanup() {
    m_grid.reset();
    destroyModel();
}

void TestIconGrid::widthSetsTheViewModelsCount() {
    QSignalSpy changed(m_model.get(), &AppViewModel::iconGridColumnsPerRowChanged);
    m_grid->resize(402 + (m_grid->width() - m_grid->viewport()->width()), 500);
    QTRY_COMPARE(m_model->iconGridColumnsPerRow(), 3);
    const int before = changed.count();
    m_grid->resize(m_grid->width() + 5, 500);  // still three: no new signal
    QTest::qWait(10);
    QCOMPARE(changed.count(), before);
}

void TestIconGrid::emptyStatesAndLoading() {
    QVERIFY(m_grid->isShowingEmptyState());  // no tags yet
    const QUuid a = add("A");
    QVERIFY(!m_grid->isShowingEmptyState());
    m_services->query.autoAnswerFolder.clear();  // the answer waits
    m_model->enterTag(a);
    QVERIFY(m_model->isLoadingFiles());
    QVERIFY(!m_grid->isShowingEmptyState());  // an empty grid and "Searching files…"
    m_services->query.release(0, {});
    QTRY_VERIFY(!m_model->isLoadingFiles());
    QVERIFY(m_grid->isShowingEmptyState());
}

void TestIconGrid::dropsOnTilesAndBackground() {
    const QUuid a = add("A");
    const QUuid b = add("B", a);
    add("C", b);
    const QString path = file("drop.txt", "");
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(path)});
    QVERIFY(!sendDrop(m_grid->viewport(), QPoint(650, 450), &files));  // the root refuses
    m_model->enterTag(a);
    m_model->enterTag(b);
    QTRY_VERIFY(!m_model->isLoadingFiles());
    QVERIFY(sendDrop(m_grid->viewport(), m_grid->tileRect(0).center(), &files));  // onto C
    QTRY_COMPARE(tagsOf(path), QByteArray("A,B,C"));
    const QString other = file("bg.txt", "");
    QMimeData more;
    more.setUrls({QUrl::fromLocalFile(other)});
    QVERIFY(sendDrop(m_grid->viewport(), QPoint(650, 450), &more));
    QTRY_COMPARE(tagsOf(other), QByteArray("A,B"));
    QMimeData tag;
    tag.setText(tagIdText(a));
    QVERIFY(!sendDrop(m_grid->viewport(), QPoint(650, 450), &tag));  // the background takes no tags
}

void TestIconGrid::dropMarkerIsHandedBetweenTiles() {
    const QUuid a = add("A");
    const QUuid b = add("B");
    QMimeData tag;
    tag.setText(tagIdText(a));
    sendHover(m_grid->viewport(), m_grid->tileRect(0).center(), &tag);
    QCOMPARE(m_model->dragTargetTagID(), a);
    QTRY_COMPARE(m_grid->dropEmphasis(a), 1.0);  // scaled up over 0.15 s
    QDragMoveEvent overB(m_grid->tileRect(1).center(), Qt::CopyAction, &tag, Qt::LeftButton, {});
    QApplication::sendEvent(m_grid->viewport(), &overB);
    QCOMPARE(m_model->dragTargetTagID(), b);
    QTRY_COMPARE(m_grid->dropEmphasis(a), 0.0);
    QTRY_COMPARE(m_grid->dropEmphasis(b), 1.0);
    m_model->dragLeft(a);  // A reporting late keeps B marked
    QCOMPARE(m_model->dragTargetTagID(), b);
    QDragLeaveEvent leave;
    QApplication::sendEvent(m_grid->viewport(), &leave);
    QVERIFY(!m_model->dragTargetTagID());
}

void TestIconGrid::badgeCountsDirectChildren() {
    const QUuid a = add("A");
    const QUuid b = add("B");
    for (int i = 0; i < 3; ++i) {
        const QUuid child = add(QString("c%1").arg(i), b);
        add("grandchild", child);
    }
    Q_UNUSED(a);
    auto badgeInk = [&](qsizetype tile) {
        QImage image(m_grid->viewport()->size(), QImage::Format_ARGB32);
        m_grid->viewport()->render(&image);
        const QRect rect = m_grid->tileRect(tile);
        // The badge sits at the top-right corner of the icon box, above the tile's top.
        int ink = 0;
        for (int x = rect.center().x() + 25; x < rect.center().x() + 45; ++x) {
            for (int y = rect.top() + 2; y < rect.top() + 10; ++y) {
                ink += image.pixelColor(x, y) != image.pixelColor(rect.left() + 2, rect.top() + 2);
            }
        }
        return ink;
    };
    QCOMPARE(badgeInk(0), 0);  // A: no children, no badge
    QVERIFY(badgeInk(1) > 10);
}

void TestIconGrid::tenThousandFilesAreNotWidgets() {
    const QUuid a = add("Many");
    for (int i = 0; i < 2000; ++i) {
        file(QString("n%1.txt").arg(i), "Many");
    }
    const int widgetsBefore = static_cast<int>(m_grid->findChildren<QWidget*>().size());
    m_model->enterTag(a);
    QTRY_COMPARE_WITH_TIMEOUT(m_grid->fileCount(), 2000, 20000);
    QCOMPARE(m_grid->findChildren<QWidget*>().size(), widgetsBefore);
}

void TestIconGrid::hugeCustomImagesAreDecodedAsIcons() {
    // A 4000 by 4000 picture in the tree file: decoded once, and only as large as an icon.
    QImage huge(4000, 4000, QImage::Format_RGB32);
    huge.fill(Qt::darkCyan);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(huge.save(&buffer, "PNG"));
    const QUuid id = add("Pictured");
    m_model->setCustomIconData(png, id);
    QImage image(m_grid->viewport()->size(), QImage::Format_ARGB32);
    m_grid->viewport()->render(&image);
    const QImage icon = TagIconPainter::customImage(png);
    QVERIFY(icon.width() <= 128 && icon.height() <= 128);
    QVERIFY(!icon.isNull());
}

QTEST_MAIN(TestIconGrid)
#include "tst_icongrid.moc"
