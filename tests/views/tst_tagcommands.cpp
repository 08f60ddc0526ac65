#include "DropEvents.h"
#include "WindowFixture.h"
#include "model/TagTree.h"
#include "state/AppViewModel.h"
#include "views/column/SingleColumnView.h"
#include "views/common/ItemDrag.h"
#include "views/common/TagFindList.h"
#include "views/common/TagNameEditor.h"
#include "views/editing/FileTagsDialog.h"
#include "views/editing/MoveToDialog.h"
#include "views/window/MainWindow.h"
#include "views/window/TagFinder.h"

#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QTreeWidget>
#include <QtTest>

// Finding a tag, typing to select, untagging files, a file's tags and nesting without a drag:
// each command from its keys in the real window, with both views alive.
class TestTagCommands : public QObject, public WindowFixture {
    Q_OBJECT

private slots:
    void initTestCase() { createHome(); }
    void init() { createWindow(); }
    void cleanup() { destroyWindow(); }
    void findOpensTheChosenTag_data() { bothViews(); }
    void findOpensTheChosenTag();
    void typedLettersSelectByName_data() { bothViews(); }
    void typedLettersSelectByName();
    void deleteTakesTheOpenedTagOffTheSelectedFiles_data();
    void deleteTakesTheOpenedTagOffTheSelectedFiles();
    void tagsDialogAppliesTheDifferencesAsOneStep();
    void tagsDialogFromOutsideWhileRenaming_data() { bothViews(); }
    void tagsDialogFromOutsideWhileRenaming();
    void moveToNestsWithoutADrag();
    void wheelScrollsWholeRows();
    void dropsCopyOrLinkNeverMove_data();
    void dropsCopyOrLinkNeverMove();

private:
    void bothViews() {
        QTest::addColumn<bool>("icons");
        QTest::newRow("icons") << true;
        QTest::newRow("columns") << false;
    }
    QWidget* focus() const { return QApplication::focusWidget(); }
    QWidget* view() const {
        return m_window->findChild<QWidget*>(
            m_model->viewMode() == ViewMode::Icon ? "iconGrid" : "columnBrowser");
    }
    void typeInFocus(const QString& text) {
        for (const QChar c : text) {
            QTest::keyClick(focus(), c.toLatin1());
        }
    }
    // Opens the tag and selects its file "g.txt"; the file's path.
    QString selectFileOf(const QUuid& tag, bool icons);
};

QString TestTagCommands::selectFileOf(const QUuid& tag, bool icons) {
    m_model->setViewMode(icons ? ViewMode::Icon : ViewMode::Column);
    m_model->showTag(tag);
    settle();
    for (const FileItem& file : m_model->filesPerTag().value(tag)) {
        if (file.name == "g.txt") {
            m_model->setSelectedFileIDs({file.id});
            return file.url.toLocalFile();
        }
    }
    return {};
}

void TestTagCommands::findOpensTheChosenTag() {
    QFETCH(bool, icons);
    m_model->setViewMode(icons ? ViewMode::Icon : ViewMode::Column);
    const QUuid cafe = add("Café", m_b);
    add("Cafeteria");
    add("Le Café");
    add("Décor");
    view()->setFocus();
    QWidget* before = focus();
    QTest::keyClick(m_window.get(), Qt::Key_F, Qt::ControlModifier);
    auto* field = qobject_cast<QLineEdit*>(focus());
    QVERIFY(field && field->objectName() == "findField");
    auto* results = m_window->findChild<QListWidget*>("findResults");
    const auto shown = [results] {
        QStringList texts;
        for (int row = 0; row < results->count(); ++row) {
            texts.append(results->item(row)->text());
        }
        return texts;
    };
    // Accents aside: "deco" finds "Décor".
    typeInFocus("deco");
    QCOMPARE(shown(), QStringList{"Décor"});
    field->clear();
    // Case aside, anywhere in the tree, each with its path; names that begin with the text
    // first, then the shallower.
    typeInFocus("CAFE");
    QCOMPARE(shown(), QStringList({"Cafeteria", "Alpha \u203a Beta \u203a Café", "Le Café"}));
    QTest::keyClick(field, Qt::Key_Down);
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(m_model->navigationPath(), QList<QUuid>({m_a, m_b, cafe}));
    QVERIFY(!m_window->finder().isVisible());
    QCOMPARE(focus(), view());

    // Escape gives the focus back, changing nothing.
    QTest::keyClick(m_window.get(), Qt::Key_F, Qt::ControlModifier);
    typeInFocus("alp");
    QTest::keyClick(focus(), Qt::Key_Escape);
    QVERIFY(!m_window->finder().isVisible());
    QCOMPARE(focus(), before);
    QCOMPARE(m_model->navigationPath().size(), 3);
}

void TestTagCommands::typedLettersSelectByName() {
    QFETCH(bool, icons);
    m_model->setViewMode(icons ? ViewMode::Icon : ViewMode::Column);
    const QUuid boston = add("Boston");
    const QUuid bravo = add("Bravo");
    const QUuid zulu = add("Zulu");
    view()->setFocus();
    const auto selected = [&] {
        return icons ? m_model->selectedTagID()
                     : (m_model->navigationPath().isEmpty()
                            ? std::nullopt
                            : std::optional(m_model->navigationPath().last()));
    };
    QTest::keyClick(view(), Qt::Key_B);
    QCOMPARE(selected(), boston);
    QTest::keyClick(view(), Qt::Key_B);  // the same letter again: the next that begins with it
    QCOMPARE(selected(), bravo);
    QTest::keyClick(view(), Qt::Key_B);
    QCOMPARE(selected(), boston);
    QTest::qWait(QApplication::keyboardInputInterval() + 50);
    QTest::keyClick(view(), Qt::Key_Z);
    QCOMPARE(selected(), zulu);
    QTest::qWait(QApplication::keyboardInputInterval() + 50);
    typeInFocus("br");
    QCOMPARE(selected(), bravo);
    QTest::qWait(QApplication::keyboardInputInterval() + 50);
    QTest::keyClick(view(), Qt::Key_Q);  // no name begins with it: the selection stays
    QCOMPARE(selected(), bravo);
}

void TestTagCommands::deleteTakesTheOpenedTagOffTheSelectedFiles_data() {
    QTest::addColumn<bool>("icons");
    QTest::addColumn<QByteArray>("tags");
    QTest::addColumn<bool>("onBeta");
    QTest::addColumn<QByteArray>("left");
    QTest::newRow("icons, a name")
        << true << QByteArray("Alpha,Keep") << false << QByteArray("Keep");
    QTest::newRow("columns, a name")
        << false << QByteArray("Alpha,Keep") << false << QByteArray("Keep");
    // KDE's path entry through the tag loses it and keeps its parent.
    QTest::newRow("columns, a path")
        << false << QByteArray("Alpha/Beta,Keep") << true << QByteArray("Alpha,Keep");
}

void TestTagCommands::deleteTakesTheOpenedTagOffTheSelectedFiles() {
    QFETCH(bool, icons);
    QFETCH(QByteArray, tags);
    QFETCH(bool, onBeta);
    QFETCH(QByteArray, left);
    const QString path = file("g.txt", tags);
    QCOMPARE(selectFileOf(onBeta ? m_b : m_a, icons), path);
    const QString name = onBeta ? "Beta" : "Alpha";
    QCOMPARE(action("removeFromFiles")->text(), "Remove \u201c" + name + "\u201d from 1 File");
    QVERIFY(!action("delete")->isEnabled());
    view()->setFocus();
    QTest::keyClick(view(), Qt::Key_Delete);
    m_model->waitForFileWork();
    QCOMPARE(tagsOf(path), left);
    QVERIFY(AppViewModel::findTag(onBeta ? m_b : m_a, m_model->hierarchy()));
    QCOMPARE(m_model->fileWorkStatus(), "Removed " + name + " from 1 file");
    settle();
    const auto listed = m_model->filesPerTag().value(onBeta ? m_b : m_a);
    QVERIFY(std::none_of(listed.cbegin(), listed.cend(),
                         [&](const FileItem& item) { return item.url.toLocalFile() == path; }));
    QTest::keyClick(m_window.get(), Qt::Key_Z, Qt::ControlModifier);
    m_model->waitForFileWork();
    QCOMPARE(tagsOf(path), tags);
}

void TestTagCommands::tagsDialogAppliesTheDifferencesAsOneStep() {
    const QUuid gamma = add("Gamma");
    const QString one = file("one.txt", "Alpha,Gamma,Loose");
    const QString two = file("two.txt", "Alpha");
    m_model->setViewMode(ViewMode::Column);
    m_model->showTag(m_a);
    settle();
    QSet<QString> both;
    for (const FileItem& item : m_model->filesPerTag().value(m_a)) {
        if (item.url.toLocalFile() == one || item.url.toLocalFile() == two) {
            both.insert(item.id);
        }
    }
    QCOMPARE(both.size(), 2);
    m_model->setSelectedFileIDs(both);
    QTest::keyClick(m_window.get(), Qt::Key_T, Qt::ControlModifier);
    auto* dialog = m_window->findChild<FileTagsDialog*>();
    QVERIFY(dialog && dialog->isVisible());
    QTreeWidget& tree = dialog->tags();
    QTreeWidgetItem* alpha = tree.topLevelItem(0);
    QTreeWidgetItem* beta = alpha->child(0);
    QCOMPARE(alpha->checkState(0), Qt::Checked);
    QCOMPARE(beta->checkState(0), Qt::Unchecked);
    QCOMPARE(tree.topLevelItem(1)->data(0, Qt::UserRole).toUuid(), gamma);
    QCOMPARE(tree.topLevelItem(1)->checkState(0), Qt::PartiallyChecked);
    QListWidget& others = dialog->otherNames();
    QCOMPARE(others.count(), 1);
    QCOMPARE(others.item(0)->text(), "Loose");
    QCOMPARE(others.item(0)->checkState(), Qt::PartiallyChecked);
    // The find field hides what does not match, keeping the found tag's ancestors.
    QTest::keyClicks(dialog->findChild<QLineEdit*>("findField"), "bet");
    QVERIFY(!alpha->isHidden() && !beta->isHidden() && tree.topLevelItem(1)->isHidden());
    beta->setCheckState(0, Qt::Checked);
    others.item(0)->setCheckState(Qt::Unchecked);
    QTest::keyClick(dialog->findChild<QLineEdit*>("findField"), Qt::Key_Return);
    m_model->waitForFileWork();
    // Gamma, left partly checked, stays as each file had it.
    QCOMPARE(tagsOf(one), QByteArray("Alpha,Gamma,Beta"));
    QCOMPARE(tagsOf(two), QByteArray("Alpha,Beta"));
    QCOMPARE(m_model->undoLabel(), "Undo Tag 2 Files");
    m_window->activateWindow();  // the window manager's part once the dialog has gone
    QTRY_VERIFY(QApplication::activeWindow() == m_window.get());
    QTest::keyClick(m_window.get(), Qt::Key_Z, Qt::ControlModifier);
    m_model->waitForFileWork();
    QCOMPARE(tagsOf(one), QByteArray("Alpha,Gamma,Loose"));
    QCOMPARE(tagsOf(two), QByteArray("Alpha"));
}

// A file manager's "Tag with Orvane…" comes while a tag's name is typed in the view showing:
// the dialog works on a file no list holds, the field and the name typed outlast it and the
// list's reload, and the hidden view takes no focus.
void TestTagCommands::tagsDialogFromOutsideWhileRenaming() {
    QFETCH(bool, icons);
    m_model->setViewMode(icons ? ViewMode::Icon : ViewMode::Column);
    const QString outside = file("outside.txt", "Loose");
    settle();
    m_model->beginRename(*AppViewModel::findTag(m_a, m_model->hierarchy()));
    QTRY_VERIFY(qobject_cast<TagNameEditor*>(focus()));
    QTest::keyClick(focus(), Qt::Key_A, Qt::ControlModifier);
    typeInFocus("Renamed");

    m_window->openTagDialogFor({QFile::encodeName(outside)});
    FileTagsDialog* dialog = nullptr;
    QTRY_VERIFY((dialog = m_window->findChild<FileTagsDialog*>()) && dialog->isVisible());
    QCOMPARE(dialog->otherNames().item(0)->text(), "Loose");
    dialog->tags().topLevelItem(0)->setCheckState(0, Qt::Checked);
    QTest::keyClick(dialog->findChild<QLineEdit*>("findField"), Qt::Key_Return);
    m_model->waitForFileWork();
    settle();
    QCOMPARE(tagsOf(outside), QByteArray("Loose,Alpha"));
    QCOMPARE(m_model->undoLabel(), "Undo Tag 1 File");

    m_window->activateWindow();
    QTRY_VERIFY(QApplication::activeWindow() == m_window.get());
    QWidget* hidden = m_window->findChild<QWidget*>(icons ? "columnBrowser" : "iconGrid");
    QVERIFY(!hidden->isVisible() && !hidden->isAncestorOf(focus()));
    auto* field = qobject_cast<TagNameEditor*>(focus());
    QVERIFY(field && field->text() == "Renamed");
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(m_model->hierarchy()[0].name, "Renamed");
}

void TestTagCommands::moveToNestsWithoutADrag() {
    const QUuid gamma = add("Gamma");
    m_model->setViewMode(ViewMode::Icon);
    m_model->selectGridItem(0);  // Alpha
    QTest::keyClick(m_window.get(), Qt::Key_M, Qt::ControlModifier);
    auto* dialog = m_window->findChild<MoveToDialog*>();
    QVERIFY(dialog && dialog->isVisible());
    // Neither Alpha nor what is below it is offered.
    auto* results = dialog->findChild<QListWidget*>("findResults");
    QStringList offered;
    for (int row = 0; row < results->count(); ++row) {
        offered.append(results->item(row)->text());
    }
    QCOMPARE(offered, QStringList({"Tags (top level)", "Gamma"}));
    QTest::keyClicks(dialog->list().field(), "gam");
    QTest::keyClick(dialog->list().field(), Qt::Key_Return);
    const TagNode* moved = AppViewModel::findTag(m_a, m_model->hierarchy());
    QVERIFY(moved);
    QCOMPARE(TagTree::ancestorIDs(m_a, m_model->hierarchy()), QList<QUuid>{gamma});
}

void TestTagCommands::wheelScrollsWholeRows() {
    for (int i = 0; i < 80; ++i) {
        add(QString("Tag %1").arg(i, 2, 10, QChar('0')));
    }
    m_model->setViewMode(ViewMode::Column);
    QCoreApplication::processEvents();
    auto* column = m_window->findChild<SingleColumnView*>("column0");
    QTRY_VERIFY(column->verticalScrollBar()->maximum() > 0);
    QWheelEvent wheel(QPointF(20, 20), column->viewport()->mapToGlobal(QPointF(20, 20)), {},
                      {0, -120}, Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(column->viewport(), &wheel);
    QCOMPARE(column->verticalScrollBar()->value(), QApplication::wheelScrollLines() * 25);
}

void TestTagCommands::dropsCopyOrLinkNeverMove_data() {
    QTest::addColumn<bool>("icons");
    QTest::addColumn<int>("offered");
    QTest::addColumn<int>("taken");
    const int all = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    for (const bool icons : {true, false}) {
        const char* view = icons ? "icons" : "columns";
        QTest::addRow("%s, all offered", view) << icons << all << int(Qt::CopyAction);
        QTest::addRow("%s, link only", view) << icons << int(Qt::LinkAction) << int(Qt::LinkAction);
        QTest::addRow("%s, move only", view)
            << icons << int(Qt::MoveAction) << int(Qt::IgnoreAction);
    }
}

void TestTagCommands::dropsCopyOrLinkNeverMove() {
    QFETCH(bool, icons);
    QFETCH(int, offered);
    QFETCH(int, taken);
    m_model->setViewMode(icons ? ViewMode::Icon : ViewMode::Column);
    QCoreApplication::processEvents();
    auto* target = icons ? m_window->findChild<QAbstractItemView*>("iconGrid")->viewport()
                         : m_window->findChild<SingleColumnView*>("column0")->viewport();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(m_folder + "/f.txt")});
    // Over the first tag, with the file manager proposing a move.
    const QPoint onTag = icons ? QPoint(40, 40) : QPoint(40, 18);
    QCOMPARE(int(acceptedAction(target, onTag, &data, Qt::DropActions(offered), Qt::MoveAction)),
             taken);
    // Offered a move only, a view refuses (asked of the rule itself: Qt's own handling of a
    // refused drag needs a drag in progress, which a test cannot start).
    QDragMoveEvent moveOnly(onTag, Qt::MoveAction, &data, Qt::LeftButton, {});
    QVERIFY(!ItemDrag::acceptAsCopy(moveOnly) && !moveOnly.isAccepted());
}

QTEST_MAIN(TestTagCommands)
#include "tst_tagcommands.moc"
