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
    void dividersDragByMouseAndClamp();
    void columnsAreReusedWhenTheCountChanges();

private:
    void drag(QPoint from, QPoint to);

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
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
}

void TestColumnLayout::drag(QPoint from, QPoint to) {
    QWidget* handle = m_view->childAt(from);
    QVERIFY(handle && !qobject_cast<SingleColumnView*>(handle->parentWidget()));
    QCOMPARE(handle->cursor().shape(), Qt::SizeHorCursor);
    QTest::mousePress(handle, Qt::LeftButton, {}, handle->mapFrom(m_view.get(), from));
    const QPointF local = handle->mapFrom(m_view.get(), QPointF(to));
    QMouseEvent move(QEvent::MouseMove, local, handle->mapToGlobal(local), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &move);
    QVERIFY(m_reported.isEmpty());  // reported only when the drag ends
    QTest::mouseRelease(handle, Qt::LeftButton, {}, handle->mapFrom(m_view.get(), to));
}

void TestColumnLayout::dividersDragByMouseAndClamp() {
    // A press 4 points right of divider 1 lands on its handle; dragging divider n widens every
    // column by 1/n of the distance.
    drag({224, 50}, {284, 50});
    QCOMPARE(m_reported, QList<qreal>({280.0}));
    QWidget* inside = m_view->childAt(QPoint(285, 50));  // five points away: the column's
    QVERIFY(inside &&
            (m_view->columns()[1]->isAncestorOf(inside) || inside == m_view->columns()[1]));
    m_reported.clear();
    drag({560, 50}, {620, 50});
    QCOMPARE(m_reported, QList<qreal>({310.0}));
    m_reported.clear();
    drag({312, 50}, {900, 50});
    QCOMPARE(m_reported, QList<qreal>({400.0}));
    QCOMPARE(m_view->columns()[1]->geometry(), QRect(400, 0, 399, 400));
    m_reported.clear();
    drag({402, 50}, {0, 50});
    QCOMPARE(m_reported, QList<qreal>({150.0}));
}

void TestColumnLayout::columnsAreReusedWhenTheCountChanges() {
    m_view->update(4, *m_model, 220);
    QPointer<SingleColumnView> first = m_view->columns()[0];
    QPointer<SingleColumnView> third = m_view->columns()[2];
    m_view->update(2, *m_model, 240);
    QCOMPARE(m_view->columns().size(), 2);
    QTRY_VERIFY(!third);
    m_view->update(4, *m_model, 240);
    QCOMPARE(m_view->columns()[0], first.data());
    QCOMPARE(m_view->columns()[3]->column(), 3);
    QCOMPARE(m_view->columns()[1]->geometry(), QRect(240, 0, 239, 400));
}

QTEST_MAIN(TestColumnLayout)
#include "tst_columnlayout.moc"
