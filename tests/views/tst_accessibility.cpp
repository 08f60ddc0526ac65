#include "WindowFixture.h"
#include "state/AppViewModel.h"
#include "views/window/MainWindow.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QToolBar>
#include <QtTest>

// What a screen reader and a keyboard-only user meet in the real window.
class TestAccessibility : public QObject, public WindowFixture {
    Q_OBJECT

private slots:
    void initTestCase() { createHome(); }
    void init() { createWindow(); }
    void cleanup() { destroyWindow(); }
    void controlsAndItemsHaveNamesAndRoles();
    void tabMovesFromToolbarToPathBarToContent();

private:
    // Every interface under the window, depth first, as "Role:Name" for the named ones.
    static void walk(QAccessibleInterface* node, QList<QAccessibleInterface*>& out) {
        out.append(node);
        for (int i = 0; i < node->childCount(); ++i) {
            if (QAccessibleInterface* child = node->child(i)) {
                walk(child, out);
            }
        }
    }
    QAccessibleInterface* find(const QString& objectName) {
        return QAccessible::queryAccessibleInterface(m_window->findChild<QObject*>(objectName));
    }
    static QStringList childNames(QAccessibleInterface* node) {
        QStringList names;
        for (int i = 0; i < node->childCount(); ++i) {
            names.append(node->child(i)->text(QAccessible::Name));
        }
        return names;
    }
};

void TestAccessibility::controlsAndItemsHaveNamesAndRoles() {
    m_model->setViewMode(ViewMode::Icon);
    m_model->openTag(m_a, 0);
    settle();
    m_model->setSelectedFileIDs({m_model->currentFiles().first().id});

    // Every button and every item in the window says what it is.
    QList<QAccessibleInterface*> all;
    walk(QAccessible::queryAccessibleInterface(m_window.get()), all);
    int items = 0;
    for (QAccessibleInterface* node : all) {
        auto* button = qobject_cast<QAbstractButton*>(node->object());
        const bool item = node->role() == QAccessible::ListItem;
        if ((button && button->isVisible() && button->objectName() != "qt_toolbar_ext_button") ||
            item) {
            QVERIFY2(!node->text(QAccessible::Name).isEmpty(),
                     qPrintable(QString("role %1").arg(node->role())));
            items += item;
        }
    }
    QVERIFY(items >= 2 + 5);  // the grid's two tiles; the columns' rows

    QAccessibleInterface* grid = find("iconGrid");
    QCOMPARE(grid->role(), QAccessible::List);
    QCOMPARE(grid->text(QAccessible::Name), QString("Alpha"));
    QCOMPARE(childNames(grid), QStringList({"Beta", "f.txt"}));
    QAccessibleInterface* file = grid->child(1);
    QCOMPARE(file->role(), QAccessible::ListItem);
    QCOMPARE(file->text(QAccessible::Description), QString("File"));
    QVERIFY(file->state().selected && !grid->child(0)->state().selected);
    QCOMPARE(grid->indexOfChild(file), 1);
    QVERIFY(file->rect().isValid());

    QAccessibleInterface* column = find("column1");
    QCOMPARE(column->role(), QAccessible::List);
    QCOMPARE(column->text(QAccessible::Name), QString("Alpha"));
    QCOMPARE(childNames(column), QStringList({"Alpha", "Beta", "Files", "f.txt"}));
    QCOMPARE(find("column0")->text(QAccessible::Name), QString("Tags"));
}

void TestAccessibility::tabMovesFromToolbarToPathBarToContent() {
    m_model->setViewMode(ViewMode::Icon);
    m_model->enterTag(m_a);
    settle();
    m_window->findChild<QWidget*>("iconViewSegment")->setFocus(Qt::TabFocusReason);
    QStringList visited;
    for (int i = 0; i < 9; ++i) {
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus);
        visited.append(QAccessible::queryAccessibleInterface(focus)->text(QAccessible::Name));
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    // The view mode is one stop, at its checked segment, as a group of radio buttons is.
    QCOMPARE(visited, QStringList({"Icon View", "New Tag", "Tags", "Alpha", "Alpha", "Back",
                                   "Icon View", "New Tag", "Tags"}));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);  // past the "Alpha" chip
    QWidget* grid = m_window->findChild<QWidget*>("iconGrid");
    QCOMPARE(QApplication::focusWidget(), grid);
    // A view reached with Tab shows a ring; the path chips show theirs by style.
    QVERIFY(grid->findChild<QWidget*>("focusRing")->isVisible());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    QCOMPARE(m_model->selectedFileIDs().size(), 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(m_services->workspace.opened, QList<QUrl>{QUrl::fromLocalFile(m_folder + "/f.txt")});

    // In the columns, Tab from Back lands on the checked segment, and the arrows change the mode.
    m_model->setViewMode(ViewMode::Column);
    QVERIFY(!grid->findChild<QWidget*>("focusRing")->isVisible());
    m_window->findChild<QToolBar*>("toolbar")
        ->widgetForAction(m_window->findChild<QAction*>("back"))
        ->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QString("columnViewSegment"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
    QCOMPARE(m_model->viewMode(), ViewMode::Icon);
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
