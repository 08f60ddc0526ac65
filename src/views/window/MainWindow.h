#pragma once

#include <QMainWindow>
#include <QPointer>

class AppViewModel;
class ColumnBrowserView;
class NewTagSheet;
class PreviewWindow;
class QAction;
class QStackedWidget;
class QToolButton;

// The application's one window: toolbar (Back, view mode, New Tag), path bar, the two
// presentations of the tree, the status line, the "Match All Tags" toggle and the new-tag
// sheet. Reads the view model and forwards input; keeps nothing of its own.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(AppViewModel& model, QWidget* parent = nullptr);

    ColumnBrowserView& columnBrowser() const { return *m_columns; }
    NewTagSheet* newTagSheet() const;
    PreviewWindow& preview() const;

private:
    void setupMenus();
    void refreshHistory();
    void setupToolbar();
    void setupContent();
    void setupShortcuts();
    void setupConnections();
    void refreshTitle();
    void refreshViewMode();
    void refreshSheet();

    AppViewModel& m_model;
    QAction* m_back = nullptr;
    QAction* m_newTag = nullptr;
    QAction* m_matchAllTags = nullptr;
    QAction* m_undo = nullptr;
    QAction* m_redo = nullptr;
    QToolButton* m_iconMode = nullptr;
    QToolButton* m_columnMode = nullptr;
    QStackedWidget* m_content = nullptr;
    QWidget* m_grid = nullptr;
    ColumnBrowserView* m_columns = nullptr;
    QPointer<NewTagSheet> m_sheet;
    PreviewWindow* m_preview = nullptr;
};
