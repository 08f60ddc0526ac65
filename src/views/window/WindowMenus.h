#pragma once

#include <QObject>

class AppViewModel;
class QAction;
class PreferencesDialog;
class QMainWindow;
class QMenu;

// The window's menu bar in the desktop's usual order (File, Edit, View, Go, Help), every item
// with its key. Items act on the selection and are disabled when they cannot. New Tag and Back
// are shared with the toolbar.
class WindowMenus : public QObject {
    Q_OBJECT

public:
    WindowMenus(AppViewModel& model, QMainWindow& window);

    QAction* newTag() const { return m_newTag; }
    QAction* back() const { return m_back; }
    QAction* findTag() const { return m_findTag; }

private:
    void setupFileMenu();
    void setupEditMenu();
    void setupViewMenu();
    void setupGoMenu();
    void setupHelpMenu();
    void refresh();
    void refreshHistory();
    void rebuildTagSubmenus();
    void showShortcuts();
    void showAbout();
    void showPreferences();
    void showMoveTo();
    QAction* addItem(QMenu* menu, const QString& text, const char* name, const QKeySequence& key);

    AppViewModel& m_model;
    QMainWindow& m_window;
    QMenu* m_edit = nullptr;
    QAction* m_newTag = nullptr;
    QAction* m_open = nullptr;
    QAction* m_reveal = nullptr;
    QAction* m_undo = nullptr;
    QAction* m_redo = nullptr;
    QAction* m_rename = nullptr;
    QAction* m_delete = nullptr;
    QAction* m_findTag = nullptr;
    QAction* m_moveTo = nullptr;
    QAction* m_fileTags = nullptr;
    QAction* m_removeFromFiles = nullptr;
    QMenu* m_colorMenu = nullptr;
    QMenu* m_iconMenu = nullptr;
    QAction* m_asIcons = nullptr;
    QAction* m_asColumns = nullptr;
    QAction* m_matchAllTags = nullptr;
    QAction* m_back = nullptr;
    PreferencesDialog* m_preferences = nullptr;
};
