#include "views/window/MainWindow.h"

#include "state/AppViewModel.h"
#include "views/column/ColumnBrowserView.h"
#include "views/common/MenuText.h"
#include "views/common/SymbolGlyphs.h"
#include "views/editing/NewTagSheet.h"
#include "views/grid/IconGridView.h"
#include "views/window/PathBarView.h"
#include "views/window/PreviewWindow.h"
#include "views/window/StatusBarView.h"
#include "views/window/WindowInputBridge.h"

#include <QAction>
#include <QButtonGroup>
#include <QFrame>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QStackedWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QFrame* divider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(1);
    return line;
}

}  // namespace

MainWindow::MainWindow(AppViewModel& model, QWidget* parent) : QMainWindow(parent), m_model(model) {
    setObjectName("mainWindow");
    resize(900, 600);
    setMinimumSize(600, 400);
    setupMenus();
    setupToolbar();
    setupContent();
    setupShortcuts();
    setupConnections();
    m_preview = new PreviewWindow(m_model, this);
    new WindowInputBridge(m_model, *this, *m_preview);
    refreshTitle();
    refreshViewMode();
}

void MainWindow::setupMenus() {
    QMenu* edit = menuBar()->addMenu("Edit");
    m_undo = edit->addAction("Undo");
    m_undo->setObjectName("undo");
    m_undo->setShortcut(QKeySequence::Undo);
    connect(m_undo, &QAction::triggered, &m_model, &AppViewModel::undo);
    m_redo = edit->addAction("Redo");
    m_redo->setObjectName("redo");
    m_redo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    connect(m_redo, &QAction::triggered, &m_model, &AppViewModel::redo);
    connect(&m_model, &AppViewModel::historyChanged, this, &MainWindow::refreshHistory);
    refreshHistory();

    QMenu* view = menuBar()->addMenu("View");
    m_matchAllTags = view->addAction("Match All Tags");
    m_matchAllTags->setObjectName("matchAllTags");
    m_matchAllTags->setCheckable(true);
    m_matchAllTags->setChecked(m_model.matchAllTags());
    m_matchAllTags->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M));
    m_matchAllTags->setShortcutContext(Qt::WindowShortcut);
    connect(m_matchAllTags, &QAction::triggered, &m_model, &AppViewModel::applyMatchAllTags);
}

void MainWindow::refreshHistory() {
    // The items name what they would take back, as the desktop's applications do.
    const auto undo = m_model.undoLabel();
    const auto redo = m_model.redoLabel();
    m_undo->setText(menuText(undo.value_or("Undo")));
    m_undo->setEnabled(undo.has_value());
    m_redo->setText(menuText(redo.value_or("Redo")));
    m_redo->setEnabled(redo.has_value());
}

void MainWindow::setupToolbar() {
    QToolBar* bar = addToolBar("Toolbar");
    bar->setObjectName("toolbar");
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    const QColor text = palette().color(QPalette::WindowText);

    m_back = bar->addAction(SymbolGlyphs::icon("chevron.left", text), "Back");
    m_back->setObjectName("back");
    connect(m_back, &QAction::triggered, &m_model, &AppViewModel::goBack);

    auto* leading = new QWidget(bar);
    leading->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(leading);

    auto* picker = new QWidget(bar);
    picker->setObjectName("viewMode");
    picker->setToolTip("View Mode");
    picker->setFixedWidth(100);
    auto* segments = new QHBoxLayout(picker);
    segments->setContentsMargins(0, 0, 0, 0);
    segments->setSpacing(0);
    auto* group = new QButtonGroup(picker);
    group->setExclusive(true);
    auto segment = [&](const char* symbol, const QString& tip, const QString& name) {
        auto* button = new QToolButton(picker);
        button->setObjectName(name);
        button->setIcon(SymbolGlyphs::icon(symbol, text));
        button->setToolTip(tip);
        button->setCheckable(true);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        group->addButton(button);
        segments->addWidget(button);
        return button;
    };
    m_iconMode = segment("square.grid.2x2", "Icon View", "iconViewSegment");
    m_columnMode = segment("rectangle.split.3x1", "Column View", "columnViewSegment");
    connect(m_iconMode, &QToolButton::clicked, this,
            [this] { m_model.setViewMode(ViewMode::Icon); });
    connect(m_columnMode, &QToolButton::clicked, this,
            [this] { m_model.setViewMode(ViewMode::Column); });
    bar->addWidget(picker);

    auto* trailing = new QWidget(bar);
    trailing->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(trailing);

    m_newTag = bar->addAction(SymbolGlyphs::icon("plus", text), "New Tag");
    m_newTag->setObjectName("newTag");
    m_newTag->setShortcut(QKeySequence::New);
    connect(m_newTag, &QAction::triggered, &m_model, &AppViewModel::requestNewTag);
}

void MainWindow::setupContent() {
    auto* central = new QWidget(this);
    auto* stack = new QVBoxLayout(central);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    stack->addWidget(new PathBarView(m_model, central));
    stack->addWidget(divider(central));
    m_content = new QStackedWidget(central);
    m_content->setObjectName("content");
    // Both presentations are built once and stay; the mode only decides which one shows.
    m_grid = new IconGridView(m_model, m_content);
    m_columns = new ColumnBrowserView(m_model, m_content);
    m_content->addWidget(m_grid);
    m_content->addWidget(m_columns);
    stack->addWidget(m_content, 1);
    stack->addWidget(divider(central));
    stack->addWidget(new StatusBarView(m_model, central));
    setCentralWidget(central);
}

void MainWindow::setupShortcuts() {
    // The keys the desktop's file managers use: F2 renames, Ctrl+1 and Ctrl+2 switch views,
    // Ctrl+Q quits.
    auto* rename = new QAction("Rename", this);
    rename->setShortcut(Qt::Key_F2);
    connect(rename, &QAction::triggered, &m_model, &AppViewModel::beginRenameOfSelection);
    auto* icons = new QAction("Icon View", this);
    icons->setShortcut(Qt::CTRL | Qt::Key_1);
    connect(icons, &QAction::triggered, this, [this] { m_model.setViewMode(ViewMode::Icon); });
    auto* columns = new QAction("Column View", this);
    columns->setShortcut(Qt::CTRL | Qt::Key_2);
    connect(columns, &QAction::triggered, this, [this] { m_model.setViewMode(ViewMode::Column); });
    auto* quit = new QAction("Quit", this);
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, &QWidget::close);
    addActions({rename, icons, columns, quit});
}

void MainWindow::setupConnections() {
    connect(&m_model, &AppViewModel::navigationPathChanged, this, &MainWindow::refreshTitle);
    connect(&m_model, &AppViewModel::hierarchyChanged, this, &MainWindow::refreshTitle);
    connect(&m_model, &AppViewModel::viewModeChanged, this, &MainWindow::refreshViewMode);
    connect(&m_model, &AppViewModel::showNewTagSheetChanged, this, &MainWindow::refreshSheet);
    connect(&m_model, &AppViewModel::matchAllTagsChanged, this,
            [this] { m_matchAllTags->setChecked(m_model.matchAllTags()); });
}

void MainWindow::refreshTitle() {
    const auto tag = m_model.currentTag();
    setWindowTitle(tag ? tag->name : QStringLiteral("Tags"));
    m_back->setEnabled(!m_model.navigationPath().isEmpty());
    // A tag at the deepest level the tree keeps can have no children.
    m_newTag->setEnabled(m_model.canCreateTag(tag ? std::optional(tag->id) : std::nullopt));
}

void MainWindow::refreshViewMode() {
    const bool icon = m_model.viewMode() == ViewMode::Icon;
    m_content->setCurrentWidget(icon ? m_grid : static_cast<QWidget*>(m_columns));
    m_iconMode->setChecked(icon);
    m_columnMode->setChecked(!icon);
}

void MainWindow::refreshSheet() {
    if (m_model.showNewTagSheet() && !m_sheet) {
        // A fresh sheet each time: empty name, no colour.
        m_sheet = new NewTagSheet(m_model, this);
        m_sheet->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_sheet, &QDialog::finished, this, [this] {
            m_sheet = nullptr;  // it deletes itself; the next request makes a new one
            m_model.setShowNewTagSheet(false);
        });
        m_sheet->open();
    } else if (!m_model.showNewTagSheet() && m_sheet) {
        m_sheet->close();
    }
}

NewTagSheet* MainWindow::newTagSheet() const {
    return m_sheet.data();
}

PreviewWindow& MainWindow::preview() const {
    return *m_preview;
}
