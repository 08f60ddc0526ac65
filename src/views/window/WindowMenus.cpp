#include "views/window/WindowMenus.h"

#include "state/AppViewModel.h"
#include "views/common/MenuText.h"
#include "views/editing/FileTagsDialog.h"
#include "views/editing/MoveToDialog.h"
#include "views/editing/TagColorMenu.h"
#include "views/editing/TagIconMenu.h"
#include "views/window/PreferencesDialog.h"

#include <QActionGroup>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// Keys that act on items without a menu item of their own.
const std::pair<const char*, const char*> kItemKeys[] = {
    {"Move the selection", "Arrow keys"},
    {"Open the selected files, or the selected tag", "Return"},
    {"Preview the selected files", "Space"},
    {"Close the preview", "Space, Escape, Return"},
    {"Select the next item whose name begins with the letters typed", "Letters"},
    {"Open the menu of the selected item", "Menu, Shift+F10"},
    {"Move between toolbar, path bar and tags", "Tab, Shift+Tab"},
};

}  // namespace

WindowMenus::WindowMenus(AppViewModel& model, QMainWindow& window)
    : QObject(&window), m_model(model), m_window(window) {
    setupFileMenu();
    setupEditMenu();
    setupViewMenu();
    setupGoMenu();
    setupHelpMenu();
    for (auto changed : {&AppViewModel::selectedTagIDChanged, &AppViewModel::selectedFileIDsChanged,
                         &AppViewModel::navigationPathChanged, &AppViewModel::hierarchyChanged,
                         &AppViewModel::viewModeChanged, &AppViewModel::matchAllTagsChanged}) {
        connect(&m_model, changed, this, &WindowMenus::refresh);
    }
    connect(&m_model, &AppViewModel::historyChanged, this, &WindowMenus::refreshHistory);
    refresh();
    refreshHistory();
}

QAction* WindowMenus::addItem(QMenu* menu, const QString& text, const char* name,
                              const QKeySequence& key) {
    QAction* action = menu->addAction(text);
    action->setObjectName(name);
    action->setShortcut(key);
    // Keys work wherever the focus is in the window, not only while the menu is open.
    action->setShortcutContext(Qt::WindowShortcut);
    return action;
}

void WindowMenus::setupFileMenu() {
    QMenu* file = m_window.menuBar()->addMenu("&File");
    m_newTag = addItem(file, "New Tag", "newTag", QKeySequence::New);
    connect(m_newTag, &QAction::triggered, &m_model, &AppViewModel::requestNewTag);
    file->addSeparator();
    // Return opens, where the tags have the focus; a window-wide key would take it from fields.
    m_open = addItem(file, "Open\tReturn", "open", {});
    connect(m_open, &QAction::triggered, &m_model, &AppViewModel::openSelection);
    m_reveal = addItem(file, "Open Containing Folder", "openContainingFolder", {});
    connect(m_reveal, &QAction::triggered, &m_model, &AppViewModel::revealSelection);
    file->addSeparator();
    m_fileTags = addItem(file, "Tags\u2026", "fileTags", QKeySequence(Qt::CTRL | Qt::Key_T));
    connect(m_fileTags, &QAction::triggered, this,
            [this] { FileTagsDialog::openFor(m_model, &m_window); });
    // Delete takes the opened tag off the selected files; with no file selected it deletes the
    // tag (Edit → Delete), so only one of the two is ever enabled.
    m_removeFromFiles = addItem(file, "Remove from Files", "removeFromFiles", QKeySequence::Delete);
    connect(m_removeFromFiles, &QAction::triggered, &m_model,
            &AppViewModel::removeTagFromSelectedFiles);
    file->addSeparator();
    QAction* quit = addItem(file, "Quit", "quit", QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, &m_window, &QWidget::close);
}

void WindowMenus::setupEditMenu() {
    m_edit = m_window.menuBar()->addMenu("&Edit");
    m_undo = addItem(m_edit, "Undo", "undo", QKeySequence::Undo);
    connect(m_undo, &QAction::triggered, &m_model, &AppViewModel::undo);
    m_redo = addItem(m_edit, "Redo", "redo", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    connect(m_redo, &QAction::triggered, &m_model, &AppViewModel::redo);
    m_edit->addSeparator();
    m_rename = addItem(m_edit, "Rename", "rename", Qt::Key_F2);
    connect(m_rename, &QAction::triggered, &m_model, &AppViewModel::beginRenameOfSelection);
    m_delete = addItem(m_edit, "Delete", "delete", QKeySequence::Delete);
    connect(m_delete, &QAction::triggered, &m_model, &AppViewModel::deleteSelectedTag);
    m_moveTo = addItem(m_edit, "Move To\u2026", "moveTo", QKeySequence(Qt::CTRL | Qt::Key_M));
    connect(m_moveTo, &QAction::triggered, this, &WindowMenus::showMoveTo);
    m_edit->addSeparator();
    m_findTag = addItem(m_edit, "Find Tag", "findTag", QKeySequence::Find);
    m_edit->addSeparator();
    // Filled for the selected tag when the menu opens: the catalogue is not built per click.
    m_colorMenu = m_edit->addMenu("Set Color");
    m_iconMenu = m_edit->addMenu("Set Icon");
    connect(m_edit, &QMenu::aboutToShow, this, &WindowMenus::rebuildTagSubmenus);
    m_edit->addSeparator();
    QAction* preferences =
        addItem(m_edit, "Preferences\u2026", "preferences", QKeySequence(Qt::CTRL | Qt::Key_Comma));
    preferences->setMenuRole(QAction::PreferencesRole);
    connect(preferences, &QAction::triggered, this, &WindowMenus::showPreferences);
}

void WindowMenus::showPreferences() {
    if (!m_preferences) {
        m_preferences = new PreferencesDialog(m_model, &m_window);
    }
    m_preferences->show();
    m_preferences->raise();
    m_preferences->activateWindow();
}

void WindowMenus::showMoveTo() {
    if (const TagNode* tag = m_model.selectedTag()) {
        MoveToDialog::openFor(m_model, tag->id, &m_window);
    }
}

void WindowMenus::setupViewMenu() {
    QMenu* view = m_window.menuBar()->addMenu("&View");
    auto* modes = new QActionGroup(view);
    m_asIcons = addItem(view, "as Icons", "asIcons", Qt::CTRL | Qt::Key_1);
    m_asColumns = addItem(view, "as Columns", "asColumns", Qt::CTRL | Qt::Key_2);
    for (QAction* mode : {m_asIcons, m_asColumns}) {
        mode->setCheckable(true);
        modes->addAction(mode);
    }
    connect(m_asIcons, &QAction::triggered, this, [this] { m_model.setViewMode(ViewMode::Icon); });
    connect(m_asColumns, &QAction::triggered, this,
            [this] { m_model.setViewMode(ViewMode::Column); });
    view->addSeparator();
    m_matchAllTags = addItem(view, "Match All Tags", "matchAllTags",
                             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M));
    m_matchAllTags->setCheckable(true);
    connect(m_matchAllTags, &QAction::triggered, &m_model, &AppViewModel::applyMatchAllTags);
}

void WindowMenus::setupGoMenu() {
    QMenu* go = m_window.menuBar()->addMenu("&Go");
    m_back = addItem(go, "Back", "back", QKeySequence(Qt::ALT | Qt::Key_Left));
    connect(m_back, &QAction::triggered, &m_model, &AppViewModel::goBack);
}

void WindowMenus::setupHelpMenu() {
    QMenu* help = m_window.menuBar()->addMenu("&Help");
    QAction* keys = addItem(help, "Keyboard Shortcuts", "keyboardShortcuts",
                            QKeySequence(Qt::CTRL | Qt::Key_Question));
    connect(keys, &QAction::triggered, this, &WindowMenus::showShortcuts);
    QAction* about = addItem(help, "About Orvane", "about", {});
    about->setMenuRole(QAction::AboutRole);
    connect(about, &QAction::triggered, this, &WindowMenus::showAbout);
}

void WindowMenus::refresh() {
    const TagNode* tag = m_model.selectedTag();
    // The selection's ids are enough: a selected file is always one that a list shows.
    const bool filesSelected = !m_model.selectedFileIDs().isEmpty();
    const auto current = m_model.currentTag();
    // A tag at the deepest level the tree keeps can have no children.
    m_newTag->setEnabled(m_model.canCreateTag(current ? std::optional(current->id) : std::nullopt));
    m_open->setEnabled(m_model.canOpenSelection());
    m_reveal->setEnabled(filesSelected);
    m_rename->setEnabled(tag != nullptr);
    m_delete->setEnabled(tag != nullptr);
    m_moveTo->setEnabled(tag != nullptr);
    m_fileTags->setEnabled(filesSelected);
    const QString removeLabel = m_model.removeFromFilesLabel();
    m_removeFromFiles->setText(removeLabel.isEmpty() ? QStringLiteral("Remove from Files")
                                                     : menuText(removeLabel));
    m_removeFromFiles->setEnabled(!removeLabel.isEmpty());
    m_colorMenu->menuAction()->setEnabled(tag != nullptr);
    m_iconMenu->menuAction()->setEnabled(tag != nullptr);
    m_asIcons->setChecked(m_model.viewMode() == ViewMode::Icon);
    m_asColumns->setChecked(m_model.viewMode() == ViewMode::Column);
    m_matchAllTags->setChecked(m_model.matchAllTags());
    m_back->setEnabled(!m_model.navigationPath().isEmpty());
}

void WindowMenus::refreshHistory() {
    // The items name what they would take back, as the desktop's applications do.
    const auto undo = m_model.undoLabel();
    const auto redo = m_model.redoLabel();
    m_undo->setText(menuText(undo.value_or("Undo")));
    m_undo->setEnabled(undo.has_value());
    m_redo->setText(menuText(redo.value_or("Redo")));
    m_redo->setEnabled(redo.has_value());
}

void WindowMenus::rebuildTagSubmenus() {
    const TagNode* tag = m_model.selectedTag();
    auto replace = [this](QMenu*& slot, QMenu* fresh) {
        m_edit->insertMenu(slot->menuAction(), fresh);
        m_edit->removeAction(slot->menuAction());
        slot->deleteLater();
        slot = fresh;
    };
    replace(m_colorMenu,
            tag ? new TagColorMenu(m_model, *tag, m_edit) : new QMenu("Set Color", m_edit));
    replace(m_iconMenu,
            tag ? new TagIconMenu(m_model, tag->id, m_edit) : new QMenu("Set Icon", m_edit));
    m_colorMenu->menuAction()->setEnabled(tag != nullptr);
    m_iconMenu->menuAction()->setEnabled(tag != nullptr);
}

void WindowMenus::showShortcuts() {
    QDialog dialog(&m_window);
    dialog.setWindowTitle("Keyboard Shortcuts");
    auto* table = new QTableWidget(0, 2, &dialog);
    table->setObjectName("shortcutTable");
    table->setHorizontalHeaderLabels({"Action", "Keys"});
    table->verticalHeader()->hide();
    table->setShowGrid(false);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setFocusPolicy(Qt::NoFocus);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto addRow = [table](const QString& action, const QString& keys) {
        const int row = table->rowCount();
        table->insertRow(row);
        table->setItem(row, 0, new QTableWidgetItem(action));
        table->setItem(row, 1, new QTableWidgetItem(keys));
    };
    for (QAction* menu : m_window.menuBar()->actions()) {
        for (QAction* item : menu->menu()->actions()) {
            if (!item->shortcut().isEmpty()) {
                // Undo and Redo by their plain names, not what they would take back now.
                const QString text = item == m_undo   ? QStringLiteral("Undo")
                                     : item == m_redo ? QStringLiteral("Redo")
                                                      : QString(item->text()).remove('&');
                addRow(text, item->shortcut().toString(QKeySequence::NativeText));
            }
        }
    }
    for (const auto& [action, keys] : kItemKeys) {
        addRow(action, keys);
    }
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(table);
    layout->addWidget(buttons);
    dialog.resize(460, 420);
    dialog.exec();
}

void WindowMenus::showAbout() {
    QMessageBox::about(&m_window, "About Orvane",
                       QString("<b>Orvane %1</b><p>Arrange the tags on your files in a tree and "
                               "browse the files under each tag.</p>")
                           .arg(QApplication::applicationVersion()));
}
