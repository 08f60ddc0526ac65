#include "WindowFixture.h"
#include "model/IconCatalog.h"
#include "model/TagColors.h"
#include "state/AppViewModel.h"
#include "views/column/ColumnBrowserView.h"
#include "views/column/ColumnLayoutView.h"
#include "views/column/SingleColumnView.h"
#include "views/common/Colors.h"
#include "views/common/SymbolGlyphs.h"
#include "views/editing/ColorSwatchRow.h"
#include "views/editing/NewTagSheet.h"
#include "views/editing/TagColorMenu.h"
#include "views/editing/TagIconMenu.h"
#include "views/window/MainWindow.h"

#include <QColorDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QtTest>

class TestMainWindow : public QObject, public WindowFixture {
    Q_OBJECT

private slots:
    void initTestCase() { createHome(); }
    void init();
    void cleanup();
    void titleBackAndViewMode();
    void newTagSheetTrimsAndCancels();
    void newTagSheetShowsTheParent();
    void matchAllTagsReloadsOnEveryToggle();
    void pathBarChipsAndEmphasis();
    void colourMenuAndPanel();
    void iconMenuAndCustomImages();
    void catalogueSymbolsHaveGlyphs();
    void arrowKeysAndOutsideClicks();
    void statusButtonTagsFilesANestingHid();

private:
    QAction* action(const QString& name) { return m_window->findChild<QAction*>(name); }
    NewTagSheet* openSheet() {
        action("newTag")->trigger();
        NewTagSheet* sheet = m_window->newTagSheet();
        return sheet;
    }
    QList<QToolButton*> chips() {
        QList<QToolButton*> result;
        QWidget* bar = m_window->findChild<QWidget*>("pathBar");
        for (QToolButton* button : bar->findChildren<QToolButton*>()) {
            if (!button->isHidden()) {
                result.append(button);
            }
        }
        std::sort(result.begin(), result.end(),
                  [](QToolButton* a, QToolButton* b) { return a->x() < b->x(); });
        return result;
    }
};

void TestMainWindow::init() {
    createWindow(false);
}

void TestMainWindow::cleanup() {
    destroyWindow();
}

void TestMainWindow::titleBackAndViewMode() {
    QCOMPARE(m_window->windowTitle(), QString("Tags"));
    QVERIFY(m_window->findChild<QWidget*>("fullDiskAccessBanner")->isHidden());  // not suggested
    QVERIFY(!action("back")->isEnabled());
    m_model->openTag(m_a, 0);
    QCOMPARE(m_window->windowTitle(), QString("Alpha"));
    QVERIFY(action("back")->isEnabled());
    m_model->renameTag(m_a, "Renamed");
    QCOMPARE(m_window->windowTitle(), QString("Renamed"));
    action("back")->trigger();
    QVERIFY(m_model->navigationPath().isEmpty());

    auto* content = m_window->findChild<QStackedWidget*>("content");
    auto* icon = m_window->findChild<QToolButton*>("iconViewSegment");
    auto* column = m_window->findChild<QToolButton*>("columnViewSegment");
    QWidget* columns = &m_window->columnBrowser();
    QCOMPARE(content->currentWidget(), columns);
    QTest::mouseClick(icon, Qt::LeftButton);
    QCOMPARE(m_model->viewMode(), ViewMode::Icon);
    QVERIFY(content->currentWidget() != columns);
    QTest::mouseClick(column, Qt::LeftButton);
    QCOMPARE(content->currentWidget(), columns);  // the same presentation, kept all along
}

void TestMainWindow::newTagSheetTrimsAndCancels() {
    NewTagSheet* sheet = openSheet();
    QVERIFY(sheet && m_model->showNewTagSheet());
    QVERIFY(!m_model->newTagParentID());
    QVERIFY(!sheet->findChild<QLabel*>("parentLine"));
    auto* name = sheet->findChild<QLineEdit*>("tagName");
    auto* create = sheet->findChild<QPushButton*>("create");
    QTest::keyClicks(name, "   ");
    QVERIFY(!create->isEnabled());
    QTest::keyClick(name, Qt::Key_Return);
    QVERIFY(sheet->isVisible());
    QCOMPARE(m_model->hierarchy().size(), 1);
    name->clear();
    QTest::keyClicks(name, "  Work  ");
    QVERIFY(create->isEnabled());
    auto* swatches = sheet->findChild<ColorSwatchRow*>();
    QCOMPARE(swatches->colorIndex(), 0);
    QTest::mouseClick(swatches, Qt::LeftButton, {}, swatches->swatchRect(5).center());
    QCOMPARE(swatches->colorIndex(), 6);  // Red
    // The keyboard reaches the swatches too, and they say the colour chosen.
    sheet->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), sheet);
    name->setFocus();
    QTest::keyClick(name, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), swatches);
    QTest::keyClick(swatches, Qt::Key_Home);
    QTest::keyClick(swatches, Qt::Key_Right);
    QCOMPARE(swatches->colorIndex(), TagColors::finderColorPalette()[1].index);
    QCOMPARE(swatches->accessibleDescription(), TagColors::finderColorPalette()[1].name);
    QTest::keyClick(swatches, Qt::Key_End);
    QTest::keyClick(swatches, Qt::Key_Right);  // stays on the last
    QCOMPARE(swatches->colorIndex(), TagColors::finderColorPalette().last().index);
    QTest::keyClick(swatches, Qt::Key_Left);
    QCOMPARE(swatches->colorIndex(), 6);  // Red
    QVERIFY(sheet->width() >= 320);
    QTest::keyClick(name, Qt::Key_Return);
    QTRY_VERIFY(!m_window->newTagSheet());
    QVERIFY(!m_model->showNewTagSheet());
    QCOMPARE(m_model->hierarchy().size(), 2);
    QCOMPARE(m_model->hierarchy()[1].name, QString("Work"));
    QCOMPARE(m_model->hierarchy()[1].colorIndex, 6);

    sheet = openSheet();
    QTest::keyClicks(sheet->findChild<QLineEdit*>("tagName"), "Nope");
    QTest::keyClick(sheet->findChild<QLineEdit*>("tagName"), Qt::Key_Escape);
    QTRY_VERIFY(!m_model->showNewTagSheet());
    QCOMPARE(m_model->hierarchy().size(), 2);
    // A fresh sheet each time.
    sheet = openSheet();
    QVERIFY(sheet->findChild<QLineEdit*>("tagName")->text().isEmpty());
    QCOMPARE(sheet->findChild<ColorSwatchRow*>()->colorIndex(), 0);
    sheet->reject();
}

void TestMainWindow::newTagSheetShowsTheParent() {
    m_model->openTag(m_a, 0);
    NewTagSheet* sheet = openSheet();
    QCOMPARE(m_model->newTagParentID(), m_a);
    QCOMPARE(sheet->findChild<QLabel*>("parentLine")->text(),
             QString("Will be created inside \"Alpha\""));
    QTest::keyClicks(sheet->findChild<QLineEdit*>("tagName"), "Child");
    QTest::mouseClick(sheet->findChild<QPushButton*>("create"), Qt::LeftButton);
    QCOMPARE(AppViewModel::findTag(m_a, m_model->hierarchy())->children.size(), 2);
}

void TestMainWindow::matchAllTagsReloadsOnEveryToggle() {
    m_model->openTag(m_a, 0);
    QTRY_VERIFY(!m_model->isLoadingFiles());
    QAction* toggle = action("matchAllTags");
    QVERIFY(toggle->isChecked());
    QCOMPARE(toggle->shortcut(), QKeySequence("Ctrl+Shift+M"));
    const qsizetype before = m_services->query.askedNames().size();
    QTest::keyClick(m_window.get(), Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(!m_model->matchAllTags());
    QTest::keyClick(m_window.get(), Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(m_model->matchAllTags());
    QCOMPARE(m_services->query.askedNames().size(), before + 2);
}

void TestMainWindow::pathBarChipsAndEmphasis() {
    // The lines between the bars are the theme's separator colour, not the text's.
    for (QFrame* line : m_window->findChildren<QFrame*>()) {
        if (line->frameShape() == QFrame::HLine) {
            QCOMPARE(line->palette().color(QPalette::WindowText),
                     Colors::separator(m_window->palette()));
        }
    }
    QCOMPARE(chips().size(), 1);
    QCOMPARE(chips()[0]->text(), QString("Tags"));
    QVERIFY(chips()[0]->property("current").toBool());
    const QUuid c = add("Gamma", m_b);
    m_model->openTag(m_a, 0);
    m_model->openTag(m_b, 1);
    m_model->openTag(c, 2);
    QList<QToolButton*> row = chips();
    QCOMPARE(row.size(), 4);
    QCOMPARE(row[3]->text(), QString("Gamma"));
    QVERIFY(!row[0]->property("current").toBool() && row[3]->property("current").toBool());
    QTest::mouseClick(row[1], Qt::LeftButton);
    QCOMPARE(m_model->navigationPath(), QList<QUuid>({m_a}));
    QTest::mouseClick(chips()[0], Qt::LeftButton);
    QVERIFY(m_model->navigationPath().isEmpty());

    // A path wider than the bar: the chips after "Tags" fold into one "…" chip whose menu opens
    // them; "Tags" and the current tag stay whole.
    QList<QUuid> deep;
    for (int i = 0; i < 11; ++i) {
        deep.append(add(QString("Level %1 with a rather long name").arg(i),
                        deep.isEmpty() ? std::nullopt : std::optional(deep.last())));
        m_model->openTag(deep.last(), i);
    }
    QTRY_VERIFY(chips().last()->geometry().right() <= chips().last()->parentWidget()->width());
    row = chips();
    QCOMPARE(row[0]->text(), QString("Tags"));
    QCOMPARE(row[1]->objectName(), QString("pathChipMore"));
    QCOMPARE(row.last()->text(), QString("Level 10 with a rather long name"));
    const QList<QAction*> folded = row[1]->menu()->actions();
    QCOMPARE(folded.size(), 11 - (row.size() - 2));  // every tag chip not shown is in the menu
    QCOMPARE(folded.first()->text(), QString("Level 0 with a rather long name"));
    folded[1]->trigger();
    QCOMPARE(m_model->navigationPath(), deep.mid(0, 2));
    QCOMPARE(chips().size(), 3);  // a short path shows whole again
}

void TestMainWindow::colourMenuAndPanel() {
    m_model->setCustomColorHex("123456", m_a);
    TagColorMenu menu(*m_model, m_model->hierarchy()[0]);
    QList<QAction*> actions = menu.actions();
    QCOMPARE(actions[1]->text(), QString("Green"));
    actions[1]->trigger();
    QCOMPARE(m_model->hierarchy()[0].colorIndex, 2);
    QVERIFY(!m_model->hierarchy()[0].customColorHex);

    // The panel starts from the tag's colour and reports only to the last tag it opened for.
    m_model->setCustomColorHex("123456", m_b);
    TagColorMenu::openColorPanel(*m_model, m_model->hierarchy()[0]);
    auto* panel = qApp->findChild<QColorDialog*>("colorPanel");
    if (!panel) {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* found = qobject_cast<QColorDialog*>(widget))
                panel = found;
        }
    }
    QVERIFY(panel);
    QVERIFY(!panel->testOption(QColorDialog::ShowAlphaChannel));
    QCOMPARE(TagColors::hexFromColor(panel->currentColor()),
             TagColors::hexFromColor(TagColors::colorForIndex(2)));
    TagColorMenu::openColorPanel(*m_model, m_model->hierarchy()[0].children[0]);
    QCOMPARE(TagColors::hexFromColor(panel->currentColor()), QString("123456"));
    emit panel->colorSelected(QColor(255, 0, 128));
    QTRY_COMPARE(m_model->hierarchy()[0].children[0].customColorHex, QString("FF0080"));
    QVERIFY(!m_model->hierarchy()[0].customColorHex);
    panel->close();
}

void TestMainWindow::iconMenuAndCustomImages() {
    QImage wide(200, 100, QImage::Format_ARGB32);
    wide.fill(Qt::blue);
    const QString path = m_home->path("wide.png");
    QVERIFY(wide.save(path));
    const auto png = TagIconMenu::iconFromImageFile(path);
    QVERIFY(png);
    const QImage stored = QImage::fromData(*png, "PNG");
    QCOMPARE(stored.size(), QSize(64, 64));
    QVERIFY(!TagIconMenu::iconFromImageFile(m_home->writeFile("broken.png", "\x89PNG garbage")));
    QVERIFY(!TagIconMenu::iconFromImageFile(m_home->path("missing.png")));
    // The image dialog opens in the Pictures folder when there is one, else at home.
    QCOMPARE(TagIconMenu::imageFolder(), QDir::homePath());
    QDir().mkpath(m_home->path("Pictures"));
    QCOMPARE(TagIconMenu::imageFolder(), m_home->path("Pictures"));

    {
        TagIconMenu menu(*m_model, m_a);
        QMenu* symbols = menu.actions()[2]->menu();
        symbols->actions()[3]->trigger();  // Star
        QCOMPARE(m_model->hierarchy()[0].iconName, QString("star.fill"));
    }
    m_model->setCustomIconData(*png, m_a);
    TagIconMenu menu(*m_model, m_a);
    QCOMPARE(menu.actions().last()->text(), QString("Remove Custom Image"));
    menu.actions().last()->trigger();
    QVERIFY(!m_model->hierarchy()[0].customIconData && !m_model->hierarchy()[0].iconName);
    m_model->setIconName("heart.fill", m_a);
    m_model->setCustomIconData(*png, m_a);
    TagIconMenu again(*m_model, m_a);
    again.actions().first()->trigger();  // Default removes both
    QVERIFY(!m_model->hierarchy()[0].customIconData && !m_model->hierarchy()[0].iconName);
}

void TestMainWindow::catalogueSymbolsHaveGlyphs() {
    QStringList missing;
    QHash<QByteArray, QString> drawn;  // each picture with the symbol that drew it
    for (const auto& category : IconCatalog::iconCatalog()) {
        for (const auto& symbol : category.symbols) {
            if (SymbolGlyphs::glyphFor(symbol.symbol).isEmpty()) {
                missing.append(symbol.symbol);
                continue;
            }
            const QImage image = SymbolGlyphs::pixmap(symbol.symbol, Qt::black, 24).toImage();
            const QByteArray bits(reinterpret_cast<const char*>(image.constBits()),
                                  image.sizeInBytes());
            // No two symbols of the menu look the same.
            QVERIFY2(!drawn.contains(bits),
                     qPrintable(symbol.symbol + " draws as " + drawn.value(bits)));
            drawn.insert(bits, symbol.symbol);
        }
    }
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(", ")));
    QVERIFY(SymbolGlyphs::glyphFor("no.such.symbol").isEmpty());
}

void TestMainWindow::arrowKeysAndOutsideClicks() {
    QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : m_window.get();
    QTest::keyClick(focus, Qt::Key_Down);
    QCOMPARE(m_model->navigationPath(), QList<QUuid>({m_a}));
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : m_window.get(),
                    Qt::Key_Right);
    QCOMPARE(m_model->navigationPath(), QList<QUuid>({m_a, m_b}));

    // Renaming: arrows edit the text, a click elsewhere commits.
    m_model->beginRename(m_model->hierarchy()[0]);
    QLineEdit* editor = nullptr;
    QTRY_VERIFY((editor = m_window->findChild<QLineEdit*>("tagNameEditor")) && editor->hasFocus());
    QTest::keyClick(editor, Qt::Key_End);
    QTest::keyClick(editor, Qt::Key_Left);
    QCOMPARE(m_model->navigationPath().size(), 2);
    QTest::keyClicks(editor, "X");
    QCOMPARE(m_model->inlineEditingText(), QString("AlphXa"));
    QTest::mouseClick(editor, Qt::LeftButton, {}, QPoint(5, 5));  // inside: still editing
    QVERIFY(m_model->inlineEditingTagID());
    QWidget* status = m_window->findChild<QWidget*>("statusText");
    QTest::mouseClick(status, Qt::LeftButton);
    QVERIFY(!m_model->inlineEditingTagID());
    QCOMPARE(m_model->hierarchy()[0].name, QString("AlphXa"));
}

void TestMainWindow::statusButtonTagsFilesANestingHid() {
    const QUuid gamma = add("Gamma");
    const QString flat = file("g.txt", "Gamma");
    m_model->moveTag(gamma, m_a);
    auto* button = m_window->findChild<QPushButton*>("statusAction");
    QTRY_VERIFY(button->isVisible());
    QCOMPARE(button->text(), QString("Tag Them"));
    QCOMPARE(m_window->findChild<QLabel*>("statusText")->text(),
             QString("1 file tagged \u201cGamma\u201d is not tagged \u201cAlpha\u201d"));
    QTest::mouseClick(button, Qt::LeftButton);
    m_model->waitForFileWork();
    QCOMPARE(tagsOf(flat), QByteArray("Gamma,Alpha"));
    QVERIFY(!button->isVisible());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
