#pragma once

#include <QMainWindow>
#include <QPointer>

class AppViewModel;
class ColumnBrowserView;
class IconGridView;
class NewTagSheet;
class PathBarView;
class PreviewWindow;
class TagFinder;
class WindowMenus;
class QStackedWidget;
class QToolButton;

// The application's one window: menu bar, toolbar (Back, view mode, New Tag), path bar, the
// two presentations of the tree, the status line and the new-tag sheet. Reads the view model and
// forwards input; keeps nothing of its own.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(AppViewModel& model, QWidget* parent = nullptr);

    ColumnBrowserView& columnBrowser() const { return *m_columns; }
    NewTagSheet* newTagSheet() const;
    PreviewWindow& preview() const;
    TagFinder& finder() const { return *m_finder; }
    // The context menu of the selected item in the view showing, opened from the keyboard.
    void openMenuForSelection();
    // Asked from outside (a file manager, the command line): the window to the front, and the
    // Tags dialog for files that need not be listed, once they are read.
    void bringToFront();
    void openTagDialogFor(const QList<QByteArray>& files);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void setupToolbar();
    void setupContent();
    void setupConnections();
    void refreshTabOrder();
    void refreshTitle();
    void refreshViewMode();
    void refreshSheet();
    // The toolbar's symbols, drawn in the palette's text colour.
    void recolorSymbols();

    AppViewModel& m_model;
    WindowMenus* m_menus = nullptr;
    QWidget* m_backButton = nullptr;
    QWidget* m_newTagButton = nullptr;
    PathBarView* m_pathBar = nullptr;
    QToolButton* m_iconMode = nullptr;
    QToolButton* m_columnMode = nullptr;
    QStackedWidget* m_content = nullptr;
    IconGridView* m_grid = nullptr;
    ColumnBrowserView* m_columns = nullptr;
    QPointer<NewTagSheet> m_sheet;
    PreviewWindow* m_preview = nullptr;
    TagFinder* m_finder = nullptr;
    QList<std::pair<QObject*, const char*>> m_symbols;
};
