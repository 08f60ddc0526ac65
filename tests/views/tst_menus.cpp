#include "WindowFixture.h"
#include "state/AppViewModel.h"
#include "views/column/ColumnBrowserView.h"
#include "views/column/ColumnLayoutView.h"
#include "views/column/ColumnModel.h"
#include "views/column/SingleColumnView.h"
#include "views/grid/IconGridView.h"
#include "views/window/MainWindow.h"

#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QScrollBar>
#include <QtTest>

// The menu bar and the keyboard's ways into the menus, in the real window with both views.
class TestMenus : public QObject, public WindowFixture {
    Q_OBJECT

private slots:
    void initTestCase() { createHome(); }
    void init() { createWindow(); }
    void cleanup() { destroyWindow(); }
    void menusInTheDesktopsOrderAndTheirKeys();
    void tagItemsFollowTheSelectedTag();
    void fileItemsActOnTheSelectedFiles();
    void keysStayWithTheViewAfterARename_data();
    void keysStayWithTheViewAfterARename();
    void deleteKeyInTheRenameFieldEditsTheName();
    void setColorFromTheEditMenu();
    void menuKeysOpenTheSelectedItemsMenu_data();
    void menuKeysOpenTheSelectedItemsMenu();

private:
    QMenu* menu(const QString& title) {
        for (QAction* item : m_window->menuBar()->actions()) {
            if (QString(item->text()).remove('&') == title) {
                return item->menu();
            }
        }
        return nullptr;
    }
    // Presses the keys and returns the texts of the menu they open, closing it.
    QStringList menuOpenedBy(const QKeySequence& keys);
};

void TestMenus::menusInTheDesktopsOrderAndTheirKeys() {
    QStringList titles;
    for (QAction* item : m_window->menuBar()->actions()) {
        titles.append(QString(item->text()).remove('&'));
    }
    QCOMPARE(titles, QStringList({"File", "Edit", "View", "Go", "Help"}));
    // Every item shows a key, also those taken from the platform's standard keys (which some
    // platforms leave empty).
    for (const char* name : {"newTag", "quit", "undo", "redo", "rename", "delete", "back",
                             "findTag", "fileTags", "removeFromFiles", "moveTo"}) {
        QVERIFY2(!action(name)->shortcut().isEmpty(), name);
    }
    QVERIFY(action("open")->text().endsWith("\tReturn"));  // Return opens, where the tags are
    // The keys work from the window, whatever has the focus.
    QTest::keyClick(m_window.get(), Qt::Key_1, Qt::ControlModifier);
    QCOMPARE(m_model->viewMode(), ViewMode::Icon);
    QVERIFY(action("asIcons")->isChecked());
    QTest::keyClick(m_window.get(), Qt::Key_2, Qt::ControlModifier);
    QCOMPARE(m_model->viewMode(), ViewMode::Column);
    QVERIFY(action("asColumns")->isChecked());

    // Ctrl+, opens Preferences; a click on a choice applies it.
    QTest::keyClick(m_window.get(), Qt::Key_Comma, Qt::ControlModifier);
    auto* paths = m_window->findChild<QRadioButton*>("nestedTagsAsPaths");
    QVERIFY(paths && paths->isVisible());
    QVERIFY(m_window->findChild<QRadioButton*>("nestedTagsAsNames")->isChecked());
    QTest::mouseClick(paths, Qt::LeftButton, {}, QPoint(8, paths->height() / 2));
    QVERIFY(m_model->writesNestedTagsAsPaths());
    m_model->chooseNestedTagsAsPaths(false);
    QVERIFY(!paths->isChecked());
}

void TestMenus::tagItemsFollowTheSelectedTag() {
    const QStringList tagItems = {"rename", "delete"};
    m_model->setViewMode(ViewMode::Icon);
    for (const QString& name : tagItems) {
        QVERIFY(!action(name)->isEnabled());
    }
    QVERIFY(!menu("Edit")->findChild<QMenu*>()->menuAction()->isEnabled());
    QVERIFY(!action("open")->isEnabled());
    m_model->selectGridItem(0);  // the Alpha tile
    for (const QString& name : tagItems) {
        QVERIFY(action(name)->isEnabled());
    }
    QVERIFY(action("open")->isEnabled());
    QVERIFY(!action("openContainingFolder")->isEnabled());

    QTest::keyClick(m_window.get(), Qt::Key_Delete);
    QVERIFY(!AppViewModel::findTag(m_a, m_model->hierarchy()));
    QVERIFY(!action("delete")->isEnabled());
    QTest::keyClick(m_window.get(), Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(AppViewModel::findTag(m_a, m_model->hierarchy()));

    // In the columns the opened tag is the selected row; Open has nothing more to open.
    m_model->setViewMode(ViewMode::Column);
    QVERIFY(!action("rename")->isEnabled());
    m_model->openTag(m_a, 0);
    QVERIFY(action("rename")->isEnabled());
    QVERIFY(!action("open")->isEnabled());
    QTest::keyClick(m_window.get(), Qt::Key_F2);
    QCOMPARE(m_model->inlineEditingTagID(), m_a);
}

void TestMenus::fileItemsActOnTheSelectedFiles() {
    m_model->setViewMode(ViewMode::Icon);
    m_model->enterTag(m_a);
    settle();
    QVERIFY(!action("openContainingFolder")->isEnabled());
    m_model->selectGridItem(1);  // after the Beta tile, the file
    QVERIFY(action("openContainingFolder")->isEnabled());
    QVERIFY(!action("rename")->isEnabled());
    action("open")->trigger();
    action("openContainingFolder")->trigger();
    const QUrl url = QUrl::fromLocalFile(m_folder + "/f.txt");
    QCOMPARE(m_services->workspace.opened, QList<QUrl>{url});
    QCOMPARE(m_services->workspace.revealed, QList<QUrl>{url});

    // In the columns, with the opened tag's file selected, the tag keys have nothing to act on
    // (Delete takes the tag off the file instead).
    m_model->setViewMode(ViewMode::Column);
    m_model->openTag(m_a, 0);
    settle();
    m_model->setSelectedFileIDs({url.toString()});
    QVERIFY(!action("delete")->isEnabled() && !action("rename")->isEnabled());
    QTest::keyClick(m_window.get(), Qt::Key_F2);
    QVERIFY(AppViewModel::findTag(m_a, m_model->hierarchy()));
    QVERIFY(!m_model->inlineEditingTagID());
}

void TestMenus::keysStayWithTheViewAfterARename_data() {
    QTest::addColumn<bool>("icons");
    QTest::addColumn<int>("ending");
    QTest::newRow("icons, Return") << true << int(Qt::Key_Return);
    QTest::newRow("icons, Escape") << true << int(Qt::Key_Escape);
    QTest::newRow("columns, Return") << false << int(Qt::Key_Return);
    QTest::newRow("columns, Escape") << false << int(Qt::Key_Escape);
}

void TestMenus::keysStayWithTheViewAfterARename() {
    QFETCH(bool, icons);
    QFETCH(int, ending);
    const QUuid gamma = add("Gamma");
    m_model->setViewMode(icons ? ViewMode::Icon : ViewMode::Column);
    icons ? m_model->selectGridItem(0) : m_model->openTag(m_a, 0);
    QTest::keyClick(m_window.get(), Qt::Key_F2);
    QLineEdit* field = nullptr;
    QTRY_VERIFY((field = qobject_cast<QLineEdit*>(QApplication::focusWidget())));
    QTest::keyClicks(field, "Aa");
    QTest::keyClick(field, Qt::Key(ending));
    QTRY_VERIFY(!m_model->inlineEditingTagID());
    QCOMPARE(m_model->navigationPath().size(), icons ? 0 : 1);  // Return opened nothing
    QWidget* content = m_window->findChild<QWidget*>("content");
    QTRY_VERIFY(content->isAncestorOf(QApplication::focusWidget()));
    // The arrows move through the tags again.
    const auto selected = [&] {
        return icons ? m_model->selectedTagID() : std::optional(m_model->navigationPath().last());
    };
    const auto before = selected();
    QTest::keyClick(QApplication::focusWidget(), icons ? Qt::Key_Right : Qt::Key_Down);
    QVERIFY(selected() != before);
    QVERIFY(selected() == gamma || selected() == m_a);

    // With the focus taken away, a click on a tag brings the keys back to the view.
    m_window->findChild<QWidget*>("iconViewSegment")->setFocus();
    if (icons) {
        auto* grid = m_window->findChild<IconGridView*>("iconGrid");
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->tileRect(1).center());
    } else {
        SingleColumnView* first = m_window->columnBrowser().layoutView().columns().first();
        QTest::mouseClick(first->viewport(), Qt::LeftButton, {},
                          first->visualRect(first->rows().index(2)).center());
    }
    QTRY_VERIFY(content->isAncestorOf(QApplication::focusWidget()));
}

void TestMenus::deleteKeyInTheRenameFieldEditsTheName() {
    m_model->setViewMode(ViewMode::Icon);
    m_model->selectGridItem(0);
    QTest::keyClick(m_window.get(), Qt::Key_F2);
    QLineEdit* field = nullptr;
    QTRY_VERIFY((field = qobject_cast<QLineEdit*>(QApplication::focusWidget())));
    field->setCursorPosition(0);
    QTest::keyClick(field, Qt::Key_Delete);
    QCOMPARE(field->text(), QString("lpha"));
    QVERIFY(AppViewModel::findTag(m_a, m_model->hierarchy()));
}

void TestMenus::setColorFromTheEditMenu() {
    m_model->setViewMode(ViewMode::Icon);
    m_model->selectGridItem(0);
    QMenu* edit = menu("Edit");
    emit edit->aboutToShow();
    QMenu* colors = nullptr;
    for (QAction* item : edit->actions()) {
        if (item->menu() && item->text() == "Set Color") {
            colors = item->menu();
        }
    }
    QVERIFY(colors && colors->menuAction()->isEnabled());
    QAction* red = nullptr;
    for (QAction* item : colors->actions()) {
        if (item->text() == "Red") {
            red = item;
        }
    }
    QVERIFY(red);
    red->trigger();
    QVERIFY(AppViewModel::findTag(m_a, m_model->hierarchy())->colorIndex != 0);
}

QStringList TestMenus::menuOpenedBy(const QKeySequence& keys) {
    QStringList texts;
    QTimer::singleShot(0, this, [&texts] {
        if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* item : popup->actions()) {
                if (!item->isSeparator()) {
                    texts.append(item->text());
                }
            }
            popup->close();
        }
    });
    if (keys == QKeySequence(Qt::Key_Menu)) {
        // The platform turns the Menu key into a context menu event for the focused widget.
        QWidget* focus = QApplication::focusWidget();
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5), QPoint(5, 5));
        QApplication::sendEvent(focus ? focus : m_window.get(), &event);
    } else {
        QTest::keySequence(m_window.get(), keys);
    }
    return texts;
}

void TestMenus::menuKeysOpenTheSelectedItemsMenu_data() {
    QTest::addColumn<bool>("icons");
    QTest::addColumn<int>("selection");  // 0: a tag, 1: a file, 2: nothing, 3: a tag, focus on a
                                         // button, 4: nothing, with tiles all over the view
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("expected");
    const QString tag = "Open,Rename,Set Color,Set Icon,Move To…,Delete";
    const QString file = "Open,Open Containing Folder,Tags…,Remove “Alpha” from 1 File";
    QTest::newRow("icons, tag, Menu key") << true << 0 << QKeySequence(Qt::Key_Menu) << tag;
    QTest::newRow("icons, file, Shift+F10") << true << 1 << QKeySequence("Shift+F10") << file;
    QTest::newRow("icons, nothing") << true << 2 << QKeySequence(Qt::Key_Menu) << "New Tag";
    QTest::newRow("icons, nothing, a tile in the middle")
        << true << 4 << QKeySequence(Qt::Key_Menu) << "New Tag";
    QTest::newRow("columns, tag, Shift+F10") << false << 0 << QKeySequence("Shift+F10") << tag;
    QTest::newRow("columns, file, Menu key") << false << 1 << QKeySequence(Qt::Key_Menu) << file;
    QTest::newRow("columns, nothing") << false << 2 << QKeySequence(Qt::Key_Menu) << "New Tag";
    QTest::newRow("focus on a button") << true << 3 << QKeySequence(Qt::Key_Menu) << tag;
}

void TestMenus::menuKeysOpenTheSelectedItemsMenu() {
    QFETCH(bool, icons);
    QFETCH(int, selection);
    QFETCH(QKeySequence, keys);
    QFETCH(QString, expected);
    m_model->setViewMode(icons ? ViewMode::Icon : ViewMode::Column);
    if (selection == 4) {
        for (int i = 0; i < 60; ++i) {
            add(QString("Tag %1").arg(i));
        }
        // Sized and scrolled until a tile lies under the middle of the view.
        auto* grid = m_window->findChild<IconGridView*>("iconGrid");
        const auto middle = [grid] { return grid->viewport()->rect().center(); };
        for (int width = 900; grid->tileAt(middle()) < 0 && width < 1100; width += 9) {
            m_window->resize(width, 600);
            QCoreApplication::processEvents();
            for (int y = 0; grid->tileAt(middle()) < 0 && y < 160; y += 8) {
                grid->verticalScrollBar()->setValue(y);
            }
        }
        QVERIFY(grid->tileAt(middle()) >= 0);
    } else if (selection == 3) {
        m_model->selectGridItem(0);
        m_window->findChild<QWidget*>("iconViewSegment")->setFocus();
    } else if (selection == 0 && icons) {
        m_model->selectGridItem(0);
    } else if (selection == 0) {
        m_model->openTag(m_a, 0);
    } else if (selection == 1) {
        m_model->openTag(m_a, 0);
        if (icons) {
            m_model->enterTag(m_a);
        }
        settle();
        m_model->setSelectedFileIDs({m_model->currentFiles().first().id});
    }
    QCOMPARE(menuOpenedBy(keys).join(','), expected);
}

QTEST_MAIN(TestMenus)
#include "tst_menus.moc"
