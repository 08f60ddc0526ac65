#include "FakeServices.h"
#include "TestHome.h"
#include "state/AppViewModel.h"
#include "views/column/ColumnLayoutView.h"
#include "views/column/SingleColumnView.h"

#include <QtTest>

class TestColumnLayout : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { m_home = std::make_unique<TestHome>(); }
    void init();
    void cleanup() {
        m_view.reset();
        m_model.reset();
    }
    void geometryOfColumnsAndDividers();
    void hitZones_data();
    void hitZones();
    void dragDividesByIndexAndClamps_data();
    void dragDividesByIndexAndClamps();
    void dragWithRealMouseEvents();
    void columnsAreReusedWhenTheCountChanges();
    void zeroHeightPlacesNothing();

private:
    std::unique_ptr<TestHome> m_home;
    FakeServices m_services;
    std::unique_ptr<AppViewModel> m_model;
    std::unique_ptr<ColumnLayoutView> m_view;
    QList<qreal> m_reported;
};

void TestColumnLayout::init() {
    m_model = std::make_unique<AppViewModel>(m_services.services(), AppViewModel::Startup::Empty);
    m_view = std::make_unique<ColumnLayoutView>();
    m_view->resize(900, 400);
    m_view->update(3, *m_model, 220);
    m_reported.clear();
    m_view->onColumnWidthChanged = [this](qreal width) { m_reported.append(width); };
}

void TestColumnLayout::geometryOfColumnsAndDividers() {
    const auto& columns = m_view->columns();
    QCOMPARE(columns.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(columns[i]->geometry(), QRect(i * 220, 0, 219, 400));
        QCOMPARE(columns[i]->column(), i);
    }
    // The one-point divider lines are the gaps at x = 219, 439 and 659.
    QImage image(m_view->size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    for (SingleColumnView* column : columns) {
        column->hide();
    }
    m_view->render(&image);
    const QRgb separator = m_view->palette().color(QPalette::Mid).rgb();
    for (const int x : {219, 439, 659}) {
        QCOMPARE(image.pixel(x, 100), separator);
    }
    QVERIFY(image.pixel(218, 100) != separator);
}

void TestColumnLayout::hitZones_data() {
    QTest::addColumn<qreal>("x");
    QTest::addColumn<int>("divider");
    QTest::newRow("exactly 4 before") << 216.0 << 1;
    QTest::newRow("on the divider") << 220.0 << 1;
    QTest::newRow("exactly 4 after") << 224.0 << 1;
    QTest::newRow("4.5 after") << 224.5 << 0;
    QTest::newRow("4.5 before") << 215.5 << 0;
    QTest::newRow("second") << 436.0 << 2;
    QTest::newRow("after the last") << 664.0 << 3;
    QTest::newRow("inside a column") << 100.0 << 0;
}

void TestColumnLayout::hitZones() {
    QFETCH(qreal, x);
    QFETCH(int, divider);
    QCOMPARE(m_view->dividerAt(x).value_or(0), divider);
}

void TestColumnLayout::dragDividesByIndexAndClamps_data() {
    QTest::addColumn<qreal>("start");
    QTest::addColumn<qreal>("distance");
    QTest::addColumn<qreal>("width");
    QTest::newRow("divider 2 right by 60") << 440.0 << 60.0 << 250.0;
    QTest::newRow("divider 1 right by 500") << 220.0 << 500.0 << 400.0;
    QTest::newRow("divider 1 left by 500") << 220.0 << -500.0 << 150.0;
    QTest::newRow("divider 3 left by 30") << 660.0 << -30.0 << 210.0;
}

void TestColumnLayout::dragDividesByIndexAndClamps() {
    QFETCH(qreal, start);
    QFETCH(qreal, distance);
    QFETCH(qreal, width);
    QVERIFY(m_view->beginDrag(start));
    m_view->dragTo(start + distance / 2);
    m_view->dragTo(start + distance);
    QCOMPARE(m_view->columnWidth(), width);
    QVERIFY(m_reported.isEmpty());  // reported only when the drag ends
    m_view->endDrag();
    QCOMPARE(m_reported, QList<qreal>({width}));
    m_view->dragTo(start);  // no drag in progress: nothing
    m_view->endDrag();
    QCOMPARE(m_view->columnWidth(), width);
    QCOMPARE(m_reported.size(), 1);
}

void TestColumnLayout::dragWithRealMouseEvents() {
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    // A press 4 points right of divider 1 lands on its handle and drags.
    QWidget* handle = m_view->childAt(224, 50);
    QVERIFY(handle && !qobject_cast<SingleColumnView*>(handle->parentWidget()));
    QCOMPARE(handle->cursor().shape(), Qt::SizeHorCursor);
    QTest::mousePress(handle, Qt::LeftButton, {}, handle->mapFrom(m_view.get(), QPoint(224, 50)));
    QMouseEvent move(QEvent::MouseMove, handle->mapFrom(m_view.get(), QPointF(284, 50)),
                     handle->mapToGlobal(handle->mapFrom(m_view.get(), QPointF(284, 50))),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &move);
    QCOMPARE(m_view->columnWidth(), 280.0);
    QTest::mouseRelease(handle, Qt::LeftButton, {}, handle->mapFrom(m_view.get(), QPoint(284, 50)));
    QCOMPARE(m_reported, QList<qreal>({280.0}));
    // Five points away the press goes to the column.
    QWidget* inside = m_view->childAt(QPoint(qRound(280 + 5.0), 50));
    QVERIFY(inside);
    QVERIFY(m_view->columns()[1]->isAncestorOf(inside) || inside == m_view->columns()[1]);
}

void TestColumnLayout::columnsAreReusedWhenTheCountChanges() {
    m_view->update(4, *m_model, 220);
    QPointer<SingleColumnView> first = m_view->columns()[0];
    QPointer<SingleColumnView> second = m_view->columns()[1];
    QPointer<SingleColumnView> third = m_view->columns()[2];
    m_view->update(2, *m_model, 240);
    QCOMPARE(m_view->columns().size(), 2);
    QTRY_VERIFY(!third);
    m_view->update(4, *m_model, 240);
    QCOMPARE(m_view->columns()[0], first.data());
    QCOMPARE(m_view->columns()[1], second.data());
    QCOMPARE(m_view->columns()[3]->column(), 3);
    QCOMPARE(m_view->columns()[1]->geometry(), QRect(240, 0, 239, 400));
}

void TestColumnLayout::zeroHeightPlacesNothing() {
    ColumnLayoutView flat;
    flat.resize(500, 0);
    flat.update(2, *m_model, 220);
    QCOMPARE(flat.columns()[1]->geometry().x(), 0);  // never placed
}

QTEST_MAIN(TestColumnLayout)
#include "tst_columnlayout.moc"
