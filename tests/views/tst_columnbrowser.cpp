#include "DropEvents.h"
#include "ModelFixture.h"
#include "state/AppViewModel.h"
#include "views/column/ColumnBrowserView.h"
#include "views/column/ColumnLayoutView.h"
#include "views/column/ColumnModel.h"
#include "views/column/SingleColumnView.h"

#include <QAbstractItemModelTester>
#include <QBuffer>
#include <QMimeData>
#include <QScrollBar>
#include <QtTest>

#include <sys/xattr.h>

class TestColumnBrowser : public QObject, public ModelFixture {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void columnsFollowThePath();
    void rowsOpenAndSelect();
    void dropsOnRowsAndBackgrounds();
    void renderingShowsSelectionDropTargetAndChevron();
    void iconPrecedenceIsVisible();
    void newColumnScrollsIntoView();

private:
    SingleColumnView* column(int k) { return m_browser->layoutView().columns().value(k); }
    QRect rowRect(int k, int row) {
        SingleColumnView* view = column(k);
        return view->visualRect(view->rows().index(row));
    }
    void click(int k, int row, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(column(k)->viewport(), Qt::LeftButton, modifiers,
                          rowRect(k, row).center());
    }
    QImage grab(int k) {
        SingleColumnView* view = column(k);
        QImage image(view->viewport()->size(), QImage::Format_ARGB32);
        view->viewport()->render(&image);
        return image;
    }

    std::unique_ptr<ColumnBrowserView> m_browser;
    QUuid m_projects, m_client, m_other;
};

void TestColumnBrowser::initTestCase() {
    m_home = std::make_unique<TestHome>();
}

void TestColumnBrowser::init() {
    createModel();
    m_projects = add("Projects");
    m_client = add("Client", m_projects);
    add("Invoices", m_client);
    m_other = add("Other");
    m_browser = std::make_unique<ColumnBrowserView>(*m_model);
    m_browser->resize(800, 500);
    m_browser->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_browser.get()));
}

void TestColumnBrowser::cleanup() {
    m_browser.reset();
    destroyModel();
}

void TestColumnBrowser::columnsFollowThePath() {
    QCOMPARE(m_browser->layoutView().columns().size(), 1);
    QAbstractItemModelTester tester(&column(0)->rows(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(column(0)->rows().rowCount(), 3);  // top strip, Other, Projects
    QCOMPARE(column(0)->rows().tagAt(1)->name, QString("Other"));
    file("a.txt", "Projects");
    m_model->openTag(m_projects, 0);
    m_model->openTag(m_client, 1);
    QCOMPARE(m_browser->layoutView().columns().size(), 3);
    settle();
    ColumnModel& rows = column(1)->rows();
    QCOMPARE(rows.kind(1), ColumnModel::Kind::Tag);
    QCOMPARE(rows.kind(2), ColumnModel::Kind::Header);
    QCOMPARE(rows.fileAt(3)->name, QString("a.txt"));
    QCOMPARE(column(2)->rows().rowCount(), 2);  // Invoices only: no files, no header
    m_model->goBack();
    QTRY_COMPARE(m_browser->layoutView().columns().size(), 2);
}

void TestColumnBrowser::rowsOpenAndSelect() {
    file("b.txt", "Projects");
    click(0, 2);  // Projects
    QCOMPARE(m_model->navigationPath(), QList<QUuid>({m_projects}));
    settle();
    // Renaming in place is tested in the real window (tst_editsinwindow).
    settle();
    const int fileRow = 3;
    QCOMPARE(column(1)->rows().kind(fileRow), ColumnModel::Kind::File);
    click(1, fileRow);
    QCOMPARE(m_model->selectedFileIDs().size(), 1);
    m_services->clock.time += 1;
    click(1, fileRow, Qt::ControlModifier);
    QVERIFY(m_model->selectedFileIDs().isEmpty());
}

void TestColumnBrowser::dropsOnRowsAndBackgrounds() {
    const QString a = file("c.txt", "");
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(a)});
    QVERIFY(sendDrop(column(0)->viewport(), rowRect(0, 2).center(), &files));  // on Projects
    QTRY_COMPARE(tagsOf(a), QByteArray("Projects"));

    // A tag dropped on a row moves under it; on a file row it is refused.
    m_model->openTag(m_projects, 0);
    settle();
    QMimeData tag;
    tag.setText(tagIdText(m_other));
    const QRect fileRow = rowRect(1, 3);
    QCOMPARE(column(1)->rows().kind(3), ColumnModel::Kind::File);
    QVERIFY(!sendDrop(column(1)->viewport(), fileRow.center(), &tag));
    QVERIFY(sendDrop(column(0)->viewport(), rowRect(0, 2).center(), &tag));
    QTRY_COMPARE(m_model->hierarchy().size(), 1);

    // The empty area of column 0 lifts the file out of every tree tag.
    QVERIFY(sendDrop(column(0)->viewport(), QPoint(50, 300), &files));
    QTRY_COMPARE(tagsOf(a), QByteArray());
}

void TestColumnBrowser::renderingShowsSelectionDropTargetAndChevron() {
    const QRect other = rowRect(0, 1);
    const QRect projects = rowRect(0, 2);
    const QImage plain = grab(0);
    const QColor background = plain.pixelColor(other.left() + 60, other.center().y() + 8);
    // Projects has children: a chevron near its right edge; Other has none.
    auto inkNearRight = [&](const QImage& image, const QRect& row) {
        int ink = 0;
        for (int x = row.right() - 22; x < row.right() - 8; ++x) {
            for (int y = row.top() + 4; y < row.bottom() - 4; ++y) {
                ink += image.pixelColor(x, y) != image.pixelColor(row.right() - 30, row.top() + 3);
            }
        }
        return ink;
    };
    QVERIFY(inkNearRight(plain, projects) > 0);
    QCOMPARE(inkNearRight(plain, other), 0);

    m_model->openTag(m_projects, 0);
    const QColor selected = grab(0).pixelColor(projects.left() + 150, projects.top() + 3);
    QVERIFY(selected != background);
    m_model->dragEntered(m_projects);
    const QColor target = grab(0).pixelColor(projects.left() + 150, projects.top() + 3);
    QVERIFY(target != selected);  // the stronger drop-target fill wins
    QVERIFY(qAbs(target.lightness() - background.lightness()) >
            qAbs(selected.lightness() - background.lightness()));
}

void TestColumnBrowser::iconPrecedenceIsVisible() {
    const QRect row = rowRect(0, 1);  // Other
    const QPoint iconCentre(row.left() + 10 + 8, row.center().y());
    auto iconColor = [&] { return grab(0).pixelColor(iconCentre); };
    m_model->setColorIndex(4, m_other);
    const QColor plainTag = iconColor();
    QImage red(8, 8, QImage::Format_ARGB32);
    red.fill(QColor(250, 0, 0));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    red.save(&buffer, "PNG");
    m_model->setIconName("circle.fill", m_other);
    const QColor symbol = iconColor();
    QCOMPARE(symbol.blue() > symbol.red(), true);  // tinted with the tag's blue
    m_model->setCustomIconData(png, m_other);
    const QColor custom = iconColor();
    QVERIFY(custom.red() > 200 && custom.green() < 60);  // the image's own colours
    m_model->setCustomIconData(std::nullopt, m_other);
    QCOMPARE(iconColor(), plainTag);
}

void TestColumnBrowser::newColumnScrollsIntoView() {
    m_model->setColumnWidth(300);
    m_model->openTag(m_projects, 0);
    m_model->openTag(m_client, 1);
    m_model->openTag(AppViewModel::findTag(m_client, m_model->hierarchy())->children[0].id, 2);
    QScrollBar* bar = m_browser->horizontalScrollBar();
    QTRY_VERIFY(bar->maximum() > 0);
    QTRY_COMPARE(bar->value(), bar->maximum());
}

QTEST_MAIN(TestColumnBrowser)
#include "tst_columnbrowser.moc"
