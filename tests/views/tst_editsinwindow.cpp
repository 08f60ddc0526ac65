// Editing, clicking and dragging in the real window, with both views alive and one hidden, as
// a user does it: real mouse and key events, real files.
#include "DropEvents.h"
#include "WindowFixture.h"
#include "state/AppViewModel.h"
#include "views/column/ColumnBrowserView.h"
#include "views/column/ColumnLayoutView.h"
#include "views/column/ColumnModel.h"
#include "views/column/SingleColumnView.h"
#include "views/common/TagNameEditor.h"
#include "views/editing/TagIconMenu.h"
#include "views/grid/IconGridView.h"

#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QToolButton>
#include <QtTest>

// Scrolls a view the moment it takes the focus.
class FocusScroll : public QObject {
public:
    explicit FocusScroll(QScrollBar* bar) : m_bar(bar) {}
    bool scrolled = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusIn) {
            m_bar->setValue(m_bar->value() + 1);
            scrolled = true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QScrollBar* m_bar;
};

class TestEditsInWindow : public QObject, public WindowFixture {
    Q_OBJECT

private slots:
    void initTestCase() { createHome(); }
    void init();
    void cleanup();
    void renameTypedDuringReloadsIsNeverCommitted();
    void viewScrollingAsItTakesTheFocusBackEndsTheRename();
    void gridRenamesByClickF2AndMenu();
    void switchingViewsKeepsTheEditUncommitted();
    void pressesThatBecomeDragsChangeNothing();
    void doubleClickOnSelectedTileEnters();
    void contextMenusMarkTheirItem();
    void ampersandsInNamesStayVisible();
    void undoAndRedoFromTheEditMenuAndKeys();

private:
    SingleColumnView* column(int k) const {
        return m_window->columnBrowser().layoutView().columns().value(k);
    }
    IconGridView* grid() const { return m_window->findChild<IconGridView*>("iconGrid"); }
    QPoint rowCenter(int k, int row) const {
        return column(k)->visualRect(column(k)->rows().index(row)).center();
    }
    void clickRow(int k, int row) {
        QTest::mouseClick(column(k)->viewport(), Qt::LeftButton, {}, rowCenter(k, row));
    }
    void clickTile(qsizetype tile) {
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, grid()->tileRect(tile).center());
    }
    // The name fields that are open (not closed and waiting to be deleted) under a widget.
    static QList<TagNameEditor*> openFields(QWidget* under) {
        QList<TagNameEditor*> open;
        for (TagNameEditor* field : under->findChildren<TagNameEditor*>()) {
            if (!field->isHidden()) {
                open.append(field);
            }
        }
        return open;
    }
    // Waits until the field has the focus, as the user would before typing.
    TagNameEditor* focusedField() {
        TagNameEditor* field = nullptr;
        [&] { QTRY_VERIFY((field = qobject_cast<TagNameEditor*>(QApplication::focusWidget()))); }();
        return field;
    }
    // Runs `inMenu` once the context menu that `open` brings up is showing, then closes it.
    void withContextMenu(const std::function<void()>& open,
                         const std::function<void(QMenu&)>& inMenu) {
        bool ran = false;
        QTimer::singleShot(0, this, [&] {
            QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            inMenu(*menu);
            menu->close();
            ran = true;
        });
        open();
        QTRY_VERIFY(ran);
        // The offscreen platform has no window manager to give the window back its activation.
        m_window->activateWindow();
        QTRY_VERIFY(m_window->isActiveWindow());
    }
    void sendContextMenu(QWidget* viewport, const QPoint& at) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &event);
    }
    QString nameOf(const QUuid& id) const {
        const TagNode* tag = AppViewModel::findTag(id, m_model->hierarchy());
        return tag ? tag->name : QString();
    }
};

void TestEditsInWindow::init() {
    createWindow(false);
}

void TestEditsInWindow::cleanup() {
    destroyWindow();
}

void TestEditsInWindow::renameTypedDuringReloadsIsNeverCommitted() {
    const QString tagged = file("f.txt", "Alpha,Beta");
    clickRow(0, 1);  // Alpha (row 0 is the top strip)
    settle();
    clickRow(1, 1);  // Beta opens
    settle();
    clickRow(1, 1);  // the opened tag again: rename
    QTest::keyClicks(focusedField(), "Beta2");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(nameOf(m_b), QString("Beta2"));
    m_model->waitForFileWork();  // its lists reload before the next reloads start
    QCOMPARE(tagsOf(tagged), QByteArray("Alpha,Beta2"));

    // A second rename is typed, not confirmed, while other file work ends and the lists
    // reload.
    bool reloaded = false;
    connect(m_model.get(), &AppViewModel::filesPerTagChanged, this,
            [&] { reloaded = reloaded || m_model->filesPerTag().isEmpty(); });
    clickRow(1, 1);
    TagNameEditor* field = focusedField();
    QTest::keyClicks(field, "Zq");
    m_model->applyTags({QUrl::fromLocalFile(file("g.txt"))}, {"Alpha"}, {});
    QTRY_VERIFY_WITH_TIMEOUT(reloaded, 4000);
    settle();
    QCOMPARE(nameOf(m_b), QString("Beta2"));
    QCOMPARE(openFields(m_window.get()), QList<TagNameEditor*>({field}));
    QCOMPARE(field->text(), QString("Zq"));
    QVERIFY(field->hasFocus());

    // Match All Tags reloads every list; a file list arriving late resets the rows again.
    QTest::keyClick(field, Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(!m_model->matchAllTags());
    settle();
    m_services->query.autoAnswerFolder.clear();
    const qsizetype asked = m_services->query.askedNames().size();
    QTest::keyClick(field, Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
    QTRY_VERIFY(m_services->query.askedNames().size() > asked);
    for (qsizetype i = asked; i < m_services->query.askedNames().size(); ++i) {
        m_services->query.release(i, {QUrl::fromLocalFile(tagged)});
    }
    settle();
    QCOMPARE(nameOf(m_b), QString("Beta2"));
    QCOMPARE(tagsOf(tagged), QByteArray("Alpha,Beta2"));
    QCOMPARE(openFields(m_window.get()), QList<TagNameEditor*>({field}));

    // Return is the user's word.
    m_services->query.autoAnswerFolder = m_folder;
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(nameOf(m_b), QString("Zq"));
    QTRY_COMPARE(tagsOf(tagged), QByteArray("Alpha,Zq"));
}

void TestEditsInWindow::viewScrollingAsItTakesTheFocusBackEndsTheRename() {
    // Return ends the rename and gives the column the focus; the column scrolls to its
    // current row as it takes it (here made certain), which asks where the field goes again.
    clickRow(0, 1);
    settle();
    clickRow(0, 1);  // the opened tag again: rename
    TagNameEditor* field = focusedField();
    QTest::keyClicks(field, "Alpha2");
    QScrollBar* bar = column(0)->verticalScrollBar();
    bar->setRange(0, 100);
    FocusScroll scroll(bar);
    column(0)->installEventFilter(&scroll);
    QTest::keyClick(field, Qt::Key_Return);
    QVERIFY(scroll.scrolled);
    QCOMPARE(nameOf(m_a), QString("Alpha2"));
    settle();
    QCOMPARE(openFields(m_window.get()), QList<TagNameEditor*>());
}

void TestEditsInWindow::gridRenamesByClickF2AndMenu() {
    QTest::keyClick(m_window.get(), Qt::Key_1, Qt::ControlModifier);
    QCOMPARE(m_model->viewMode(), ViewMode::Icon);
    ManualClock& clock = m_services->clock;
    clickTile(0);
    clock.time += 0.5;
    clickTile(0);  // a second, slower click on the selected tile
    TagNameEditor* field = focusedField();
    QVERIFY(grid()->isAncestorOf(field));
    QVERIFY(openFields(&m_window->columnBrowser()).isEmpty());  // the hidden view opens none
    QTest::keyClicks(field, "Gamma");
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(nameOf(m_a), QString("Gamma"));

    QTest::keyClick(m_window.get(), Qt::Key_F2);  // the selected tile
    field = focusedField();
    QVERIFY(grid()->isAncestorOf(field));
    QTest::keyClicks(field, "Delta");
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(nameOf(m_a), QString("Delta"));

    withContextMenu([&] { sendContextMenu(grid()->viewport(), grid()->tileRect(0).center()); },
                    [](QMenu& menu) {
                        for (QAction* action : menu.actions()) {
                            if (action->text() == "Rename") {
                                action->trigger();
                            }
                        }
                    });
    field = focusedField();
    QTest::keyClicks(field, "Epsilon");
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(nameOf(m_a), QString("Epsilon"));
    QVERIFY(openFields(m_window.get()).isEmpty());
}

void TestEditsInWindow::switchingViewsKeepsTheEditUncommitted() {
    clickRow(0, 1);
    clickRow(0, 1);  // rename Alpha in the column view
    TagNameEditor* field = focusedField();
    QTest::keyClicks(field, "Half");
    QTest::keyClick(field, Qt::Key_1, Qt::ControlModifier);  // to the icon view
    QCOMPARE(m_model->viewMode(), ViewMode::Icon);
    QCOMPARE(nameOf(m_a), QString("Alpha"));
    QCOMPARE(m_model->inlineEditingText(), QString("Half"));
    // The grid shows Alpha's children, where Alpha is not: no field anywhere, nothing committed.
    QVERIFY(openFields(m_window.get()).isEmpty());
    QTest::keyClick(m_window.get(), Qt::Key_2, Qt::ControlModifier);  // back: the field again
    field = focusedField();
    QCOMPARE(field->text(), QString("Half"));
    QTest::keyClick(field, Qt::Key_Escape);
    QCOMPARE(nameOf(m_a), QString("Alpha"));

    // A click on the row being renamed, beside its field, keeps the name and opens no new field.
    clickRow(0, 1);
    QTest::keyClicks(focusedField(), "Whole");
    const QRect row = column(0)->visualRect(column(0)->rows().index(1));
    QTest::mouseClick(column(0)->viewport(), Qt::LeftButton, {},
                      QPoint(row.right() - 3, row.center().y()));
    QCOMPARE(nameOf(m_a), QString("Whole"));
    QVERIFY(!m_model->inlineEditingTagID());
}

void TestEditsInWindow::pressesThatBecomeDragsChangeNothing() {
    file("shallow.txt", "Alpha");
    clickRow(0, 1);
    settle();
    clickRow(1, 1);
    settle();
    const QList<QUuid> path = {m_a, m_b};
    QCOMPARE(m_model->navigationPath(), path);
    auto drag = [](QWidget* viewport, const QPoint& from) {
        QTest::mousePress(viewport, Qt::LeftButton, {}, from);
        QTest::mouseMove(viewport, from + QPoint(40, 0));
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, from + QPoint(40, 0));
    };

    // A file pressed for a drag keeps the deeper columns it may be dropped into.
    const int fileRow = column(1)->rows().rowCount() - 1;
    QCOMPARE(column(1)->rows().fileAt(fileRow)->name, QString("shallow.txt"));
    drag(column(1)->viewport(), rowCenter(1, fileRow));
    QCOMPARE(m_model->navigationPath(), path);
    QVERIFY(m_model->selectedFileIDs().isEmpty());

    // The opened tag can be dragged: the press neither renames it nor changes the path.
    QTest::mousePress(column(1)->viewport(), Qt::LeftButton, {}, rowCenter(1, 1));
    QVERIFY(!m_model->inlineEditingTagID());
    QTest::mouseRelease(column(1)->viewport(), Qt::LeftButton, {}, rowCenter(1, 1));
    QVERIFY(m_model->inlineEditingTagID());  // without a drag it is a click: rename
    QTest::keyClick(focusedField(), Qt::Key_Escape);
    drag(column(1)->viewport(), rowCenter(1, 1));
    QVERIFY(!m_model->inlineEditingTagID());
    QCOMPARE(m_model->navigationPath(), path);
    // Dropped on the first column, it becomes a root tag and stays opened at its new place.
    QMimeData tag;
    tag.setText(tagIdText(m_b));
    QWidget* roots = column(0)->viewport();
    QVERIFY(sendDrop(roots, QPoint(20, roots->height() - 5), &tag));
    QTRY_COMPARE(m_model->hierarchy().size(), 2);
    QCOMPARE(m_model->navigationPath(), QList<QUuid>({m_b}));
}

void TestEditsInWindow::doubleClickOnSelectedTileEnters() {
    m_model->setViewMode(ViewMode::Icon);
    ManualClock& clock = m_services->clock;
    clickTile(0);
    clock.time += 1;
    // Through the window, so that the platform turns the second press into a double click.
    QTest::mouseDClick(m_window->windowHandle(), Qt::LeftButton, {},
                       grid()->viewport()->mapTo(m_window.get(), grid()->tileRect(0).center()));
    QCOMPARE(m_model->navigationPath(), QList<QUuid>({m_a}));
    QVERIFY(!m_model->inlineEditingTagID());
    QCOMPARE(nameOf(m_a), QString("Alpha"));

    // With its name field already open, a double click on the tile enters it too.
    m_model->goBack();
    clickTile(0);
    clock.time += 1;
    clickTile(0);
    QVERIFY(m_model->inlineEditingTagID());
    clock.time += 1;
    QTest::mouseDClick(m_window->windowHandle(), Qt::LeftButton, {},
                       grid()->viewport()->mapTo(m_window.get(), grid()->tileRect(0).center()));
    QCOMPARE(m_model->navigationPath(), QList<QUuid>({m_a}));
    QVERIFY(!m_model->inlineEditingTagID());
}

void TestEditsInWindow::contextMenusMarkTheirItem() {
    auto shot = [](QWidget* viewport) {
        QImage image(viewport->size(), QImage::Format_ARGB32);
        viewport->render(&image);
        return image;
    };
    QWidget* rows = column(0)->viewport();
    const QImage before = shot(rows);
    QImage during;
    withContextMenu([&] { sendContextMenu(rows, rowCenter(0, 1)); },
                    [&](QMenu&) { during = shot(rows); });
    QVERIFY(during != before);
    QCOMPARE(shot(rows), before);

    m_model->setViewMode(ViewMode::Icon);
    QWidget* tiles = grid()->viewport();
    QTRY_VERIFY(!grid()->verticalScrollBar()->isVisible());
    const QImage gridBefore = shot(tiles);
    withContextMenu([&] { sendContextMenu(tiles, grid()->tileRect(0).center()); },
                    [&](QMenu&) { during = shot(tiles); });
    QVERIFY(during != gridBefore);
    QCOMPARE(shot(tiles), gridBefore);
}

void TestEditsInWindow::ampersandsInNamesStayVisible() {
    m_model->renameTag(m_a, "R&D");
    m_model->openTag(m_a, 0);
    QToolButton* chip = m_window->findChild<QToolButton*>("pathChip");
    QCOMPARE(chip->text(), QString("R&&D"));
    QCOMPARE(chip->toolTip(), QString("R&D"));
    TagIconMenu menu(*m_model, m_a);
    QStringList shown;
    for (QAction* action : menu.actions()) {
        if (action->menu()) {
            for (QAction* item : action->menu()->actions()) {
                shown.append(item->text());
            }
        }
    }
    QVERIFY(shown.contains("Europe && Africa"));
    QVERIFY(!shown.contains("Europe & Africa"));
}

void TestEditsInWindow::undoAndRedoFromTheEditMenuAndKeys() {
    const QString tagged = file("f.txt", "Alpha");
    auto* undo = m_window->findChild<QAction*>("undo");
    auto* redo = m_window->findChild<QAction*>("redo");
    QCOMPARE(undo->text(), QString("Undo New Tag \u201cBeta\u201d"));
    QVERIFY(!redo->isEnabled());
    clickRow(0, 1);  // Alpha opens
    settle();
    QTest::keyClick(m_window.get(), Qt::Key_F2);
    QTest::keyClicks(focusedField(), "Gamma");
    // In the name field Ctrl+Z belongs to the text being typed, not to the tree.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(nameOf(m_a), QString("Alpha"));
    QTest::keyClicks(QApplication::focusWidget(), "Gamma");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    m_model->waitForFileWork();
    QCOMPARE(nameOf(m_a), QString("Gamma"));
    QCOMPARE(tagsOf(tagged), QByteArray("Gamma"));
    QCOMPARE(undo->text(), QString("Undo Rename \u201cAlpha\u201d"));
    QVERIFY(undo->isEnabled());

    QTest::keyClick(m_window.get(), Qt::Key_Z, Qt::ControlModifier);
    m_model->waitForFileWork();
    QCOMPARE(nameOf(m_a), QString("Alpha"));
    QCOMPARE(tagsOf(tagged), QByteArray("Alpha"));
    QCOMPARE(redo->text(), QString("Redo Rename \u201cAlpha\u201d"));
    QCOMPARE(undo->text(), QString("Undo New Tag \u201cBeta\u201d"));

    QTest::keyClick(m_window.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    m_model->waitForFileWork();
    QCOMPARE(nameOf(m_a), QString("Gamma"));
    QCOMPARE(tagsOf(tagged), QByteArray("Gamma"));

    // Deleting the opened tag and taking it back: the same ids, so it opens again.
    m_model->deleteTag(m_a);
    QVERIFY(m_model->navigationPath().isEmpty());
    QCOMPARE(undo->text(), QString("Undo Delete \u201cGamma\u201d"));
    undo->trigger();
    QCOMPARE(nameOf(m_b), QString("Beta"));
    clickRow(0, 1);
    settle();
    QCOMPARE(m_model->navigationPath(), QList<QUuid>({m_a}));
}

QTEST_MAIN(TestEditsInWindow)
#include "tst_editsinwindow.moc"
