#include "views/window/MainWindow.h"

#include "state/AppViewModel.h"
#include "views/column/ColumnBrowserView.h"
#include "views/common/Colors.h"
#include "views/common/FocusRing.h"
#include "views/common/SymbolGlyphs.h"
#include "views/editing/FileTagsDialog.h"
#include "views/editing/NewTagSheet.h"
#include "views/grid/IconGridView.h"
#include "views/window/PathBarView.h"
#include "views/window/PreviewWindow.h"
#include "views/window/StatusBarView.h"
#include "views/window/TagFinder.h"
#include "views/window/WindowInputBridge.h"
#include "views/window/WindowMenus.h"

#include <QAction>
#include <QButtonGroup>
#include <QContextMenuEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPointer>
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
    // The theme's separator colour, as the column dividers use, not the text's black.
    QPalette colors = line->palette();
    colors.setColor(QPalette::WindowText, Colors::separator(colors));
    line->setPalette(colors);
    return line;
}

}  // namespace

MainWindow::MainWindow(AppViewModel& model, QWidget* parent) : QMainWindow(parent), m_model(model) {
    setObjectName("mainWindow");
    resize(900, 600);
    setMinimumSize(600, 400);
    m_menus = new WindowMenus(m_model, *this);
    setupToolbar();
    setupContent();
    setupConnections();
    m_preview = new PreviewWindow(m_model, this);
    new WindowInputBridge(m_model, *this, *m_preview);
    refreshTitle();
    refreshViewMode();
    refreshTabOrder();
    // The desktop's other key for a context menu; the Menu key comes as a context menu event.
    auto* menuKey = new QAction("Open Menu", this);
    menuKey->setShortcut(Qt::SHIFT | Qt::Key_F10);
    connect(menuKey, &QAction::triggered, this, &MainWindow::openMenuForSelection);
    addAction(menuKey);
}

void MainWindow::setupToolbar() {
    QToolBar* bar = addToolBar("Toolbar");
    bar->setObjectName("toolbar");
    bar->setMovable(false);
    bar->setIconSize(QSize(16, 16));  // the size the symbols are drawn for
    bar->setFloatable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    // A right click or the Menu key here goes to the window, which shows no menu of toolbars.
    bar->setContextMenuPolicy(Qt::NoContextMenu);

    m_symbols.append({m_menus->back(), "chevron.left"});
    bar->addAction(m_menus->back());

    auto* leading = new QWidget(bar);
    leading->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(leading);

    auto* picker = new QWidget(bar);
    picker->setObjectName("viewMode");
    picker->setToolTip("View Mode");
    picker->setAccessibleName("View Mode");
    picker->setFixedWidth(100);
    auto* segments = new QHBoxLayout(picker);
    segments->setContentsMargins(0, 0, 0, 0);
    segments->setSpacing(0);
    auto* group = new QButtonGroup(picker);
    group->setExclusive(true);
    auto segment = [&](const char* symbol, const QString& tip, const QString& name) {
        auto* button = new QToolButton(picker);
        button->setObjectName(name);
        m_symbols.append({button, symbol});
        button->setToolTip(tip);
        button->setAccessibleName(tip);
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

    m_symbols.append({m_menus->newTag(), "plus"});
    recolorSymbols();
    bar->addAction(m_menus->newTag());
    // Toolbar buttons take no focus by default; here Tab reaches them as every other control.
    m_backButton = bar->widgetForAction(m_menus->back());
    m_newTagButton = bar->widgetForAction(m_menus->newTag());
    m_backButton->setFocusPolicy(Qt::TabFocus);
    m_newTagButton->setFocusPolicy(Qt::TabFocus);
}

void MainWindow::recolorSymbols() {
    const QColor text = palette().color(QPalette::WindowText);
    for (const auto& [item, symbol] : std::as_const(m_symbols)) {
        const QIcon icon = SymbolGlyphs::icon(symbol, text);
        if (auto* action = qobject_cast<QAction*>(item)) {
            action->setIcon(icon);
        } else if (auto* button = qobject_cast<QToolButton*>(item)) {
            button->setIcon(icon);
        }
    }
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        recolorSymbols();  // the desktop went light or dark
    }
}

void MainWindow::setupContent() {
    auto* central = new QWidget(this);
    auto* stack = new QVBoxLayout(central);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    m_pathBar = new PathBarView(m_model, central);
    stack->addWidget(m_pathBar);
    stack->addWidget(divider(central));
    m_content = new QStackedWidget(central);
    m_content->setObjectName("content");
    // Both presentations are built once and stay; the mode only decides which one shows.
    m_grid = new IconGridView(m_model, m_content);
    m_columns = new ColumnBrowserView(m_model, m_content);
    m_content->addWidget(m_grid);
    m_content->addWidget(m_columns);
    new FocusRing(*m_grid);
    new FocusRing(*m_columns);
    stack->addWidget(m_content, 1);
    stack->addWidget(divider(central));
    stack->addWidget(new StatusBarView(m_model, central));
    setCentralWidget(central);
    m_finder = new TagFinder(m_model, *m_content);
    connect(m_menus->findTag(), &QAction::triggered, m_finder, &TagFinder::open);
}

void MainWindow::setupConnections() {
    // After the path bar has made its chips for the change.
    connect(&m_model, &AppViewModel::navigationPathChanged, this, &MainWindow::refreshTabOrder);
    connect(&m_model, &AppViewModel::hierarchyChanged, this, &MainWindow::refreshTabOrder);
    connect(&m_model, &AppViewModel::navigationPathChanged, this, &MainWindow::refreshTitle);
    connect(&m_model, &AppViewModel::hierarchyChanged, this, &MainWindow::refreshTitle);
    connect(&m_model, &AppViewModel::viewModeChanged, this, &MainWindow::refreshViewMode);
    connect(&m_model, &AppViewModel::showNewTagSheetChanged, this, &MainWindow::refreshSheet);
}

void MainWindow::refreshTabOrder() {
    // Toolbar, path bar, then the content; chips made later would otherwise come last.
    QList<QWidget*> chain = {m_backButton, m_iconMode, m_columnMode, m_newTagButton};
    chain += m_pathBar->chips();
    chain += {m_grid, m_columns};
    for (qsizetype i = 1; i < chain.size(); ++i) {
        setTabOrder(chain[i - 1], chain[i]);
    }
}

void MainWindow::refreshTitle() {
    const auto tag = m_model.currentTag();
    setWindowTitle(tag ? tag->name : QStringLiteral("Tags"));
}

void MainWindow::refreshViewMode() {
    const bool icon = m_model.viewMode() == ViewMode::Icon;
    m_content->setCurrentWidget(icon ? static_cast<QWidget*>(m_grid) : m_columns);
    m_iconMode->setChecked(icon);
    m_columnMode->setChecked(!icon);
    // Tab stops at the chosen segment only, as at a group of radio buttons; the arrows move
    // between the two.
    m_iconMode->setFocusPolicy(icon ? Qt::TabFocus : Qt::ClickFocus);
    m_columnMode->setFocusPolicy(icon ? Qt::ClickFocus : Qt::TabFocus);
    // The keys act on the tags: the shown view takes the focus, unless a name is being typed.
    if (!qobject_cast<QLineEdit*>(focusWidget())) {
        m_content->currentWidget()->setFocus();
    }
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

void MainWindow::openMenuForSelection() {
    if (m_model.viewMode() == ViewMode::Icon) {
        m_grid->openMenuForSelection();
    } else {
        m_columns->openMenuForSelection();
    }
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    // The Menu key pressed with the focus on the toolbar or path bar: the selection's menu, not
    // a menu of toolbars.
    if (event->reason() == QContextMenuEvent::Keyboard) {
        openMenuForSelection();
    }
}

void MainWindow::bringToFront() {
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::openTagDialogFor(const QList<QByteArray>& files) {
    QPointer<MainWindow> self(this);
    m_model.readFiles(files, [self](const QList<FileItem>& items) {
        if (self) {
            self->bringToFront();
            FileTagsDialog::openFor(self->m_model, items, self);
        }
    });
}
