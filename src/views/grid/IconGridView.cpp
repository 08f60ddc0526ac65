#include "views/grid/IconGridView.h"

#include "state/AppViewModel.h"
#include "views/common/Colors.h"
#include "views/common/ItemMenus.h"
#include "views/common/NameFieldHost.h"
#include "views/grid/GridEmptyState.h"
#include "views/grid/GridGeometry.h"
#include "views/grid/GridModel.h"
#include "views/grid/GridTileDelegate.h"
#include "views/grid/IconGridAccessible.h"
#include "views/grid/TagFolderIcon.h"

#include <QContextMenuEvent>
#include <QDateTime>
#include <QHelpEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>
#include <QToolTip>
#include <QVariantAnimation>

const QString IconGridView::kSearchingText = QStringLiteral("Searching files\u2026");

namespace {

constexpr int kDropAnimationMs = 150;
constexpr int kScrollStep = 20;

}  // namespace

IconGridView::IconGridView(AppViewModel& model, QWidget* parent)
    : ItemView(model, parent),
      m_tiles(new GridModel(model, this)),
      m_delegate(new GridTileDelegate(model, *m_tiles, this)),
      m_nameField(new NameFieldHost(
          model, *this, [this](const QUuid& id) { return nameFieldRect(id); }, Qt::AlignCenter)),
      m_dropAnimation(new QVariantAnimation(this)) {
    setObjectName("iconGrid");
    IconGridAccessible::install();
    setModel(m_tiles);
    setItemDelegate(m_delegate);
    // The window's keyboard bridge moves the selection; the view takes no keys itself.
    // Tab reaches the grid; the keys themselves go to the view model through the window.
    setFocusPolicy(Qt::TabFocus);
    verticalScrollBar()->setSingleStep(kScrollStep);
    m_dropAnimation->setDuration(kDropAnimationMs);
    m_dropAnimation->setEasingCurve(QEasingCurve::InOutQuad);
    m_dropAnimation->setStartValue(0.0);
    m_dropAnimation->setEndValue(1.0);
    connect(m_dropAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        const qreal progress = value.toReal();
        for (auto it = m_emphasis.begin(); it != m_emphasis.end(); ++it) {
            it.value() = it.key() == m_shownDropTarget ? std::max(it.value(), progress)
                                                       : std::min(it.value(), 1.0 - progress);
        }
        m_delegate->setDropEmphasis(m_emphasis);
        viewport()->update();
    });
    setupConnections();
}

void IconGridView::setupConnections() {
    for (auto signal : {&AppViewModel::hierarchyChanged, &AppViewModel::navigationPathChanged,
                        &AppViewModel::currentFilesChanged, &AppViewModel::isLoadingFilesChanged}) {
        connect(&m_model, signal, this, &IconGridView::refresh);
    }
    for (auto signal :
         {&AppViewModel::selectedTagIDChanged, &AppViewModel::selectedFileIDsChanged}) {
        connect(&m_model, signal, viewport(), qOverload<>(&QWidget::update));
    }
    connect(&m_model, &AppViewModel::dragTargetTagIDChanged, this,
            &IconGridView::animateDropTarget);
    connect(&m_model, &AppViewModel::inlineEditingTagIDChanged, this, [this] {
        if (const auto editing = m_model.inlineEditingTagID(); editing && isVisible()) {
            if (const int row = m_tiles->rowOfTag(*editing); row >= 0) {
                scrollTo(m_tiles->index(row));
            }
        }
        viewport()->update();
    });
    // The spinner beside "Searching files…" turns while files load.
    connect(&m_model, &AppViewModel::isLoadingFilesChanged, this,
            [this] { setSpinning(m_model.isLoadingFiles()); });
}

GridGeometry IconGridView::geometry() const {
    return GridGeometry(viewport()->width());
}

void IconGridView::refresh() {
    m_tiles->refresh();
    updateGeometries();
    viewport()->update();
}

void IconGridView::updateGeometries() {
    const qreal height = geometry().contentHeight(m_tiles->rowCount()) +
                         (m_model.isLoadingFiles() ? GridGeometry::kLoadingLine : 0);
    verticalScrollBar()->setRange(0, std::max(0, qCeil(height) - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    QAbstractItemView::updateGeometries();
    m_nameField->sync();
}

int IconGridView::verticalOffset() const {
    return verticalScrollBar()->value();
}

qsizetype IconGridView::tagCount() const {
    return m_tiles->tagCount();
}

qsizetype IconGridView::fileCount() const {
    return m_tiles->fileCount();
}

qreal IconGridView::dropEmphasis(const QUuid& id) const {
    return m_delegate->dropEmphasis(id);
}

bool IconGridView::isShowingEmptyState() const {
    return m_tiles->rowCount() == 0 && !m_model.isLoadingFiles();
}

QRect IconGridView::tileRect(qsizetype index) const {
    return geometry().tileRect(index).translated(0, -verticalOffset()).toRect();
}

QRect IconGridView::visualRect(const QModelIndex& index) const {
    return index.isValid() ? tileRect(index.row()) : QRect();
}

qsizetype IconGridView::tileAt(const QPoint& point) const {
    if (isShowingEmptyState()) {
        return -1;
    }
    return geometry().tileAt(QPointF(point) + QPointF(0, verticalOffset()), m_tiles->rowCount());
}

QModelIndex IconGridView::indexAt(const QPoint& point) const {
    const qsizetype tile = tileAt(point);
    return tile >= 0 ? m_tiles->index(static_cast<int>(tile)) : QModelIndex();
}

void IconGridView::scrollTo(const QModelIndex& index, ScrollHint) {
    if (!index.isValid()) {
        return;
    }
    const QRect tile = tileRect(index.row());
    if (tile.top() < 0) {
        verticalScrollBar()->setValue(verticalOffset() + tile.top());
    } else if (tile.bottom() > viewport()->height()) {
        verticalScrollBar()->setValue(verticalOffset() + tile.bottom() - viewport()->height());
    }
}

std::optional<QRect> IconGridView::nameFieldRect(const QUuid& id) const {
    const int row = m_tiles->rowOfTag(id);
    if (row < 0) {
        return std::nullopt;
    }
    return TagFolderIcon::nameFieldRect(tileRect(row)).toRect();
}

ItemDrag::PressedItem IconGridView::itemAt(const QPoint& point) const {
    const int tile = static_cast<int>(tileAt(point));
    ItemDrag::PressedItem item;
    if (const TagNode* tag = m_tiles->tagAt(tile)) {
        item.tag = *tag;
    } else if (const FileItem* file = m_tiles->fileAt(tile)) {
        item.file = *file;
    }
    return item;
}

void IconGridView::animateDropTarget() {
    const auto target = m_model.dragTargetTagID();
    if (target == m_shownDropTarget) {
        return;
    }
    if (m_shownDropTarget && !m_emphasis.contains(*m_shownDropTarget)) {
        m_emphasis.insert(*m_shownDropTarget, 1.0);
    }
    m_shownDropTarget = target;
    if (target && !m_emphasis.contains(*target)) {
        m_emphasis.insert(*target, 0.0);
    }
    m_dropAnimation->stop();
    m_dropAnimation->start();
}

void IconGridView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), Colors::controlBackground(palette()));
    if (isShowingEmptyState()) {
        GridEmptyState::paint(painter, viewport()->rect(), m_model.currentTag().has_value(),
                              palette(), devicePixelRatioF());
        return;
    }
    m_delegate->setEditedTag(m_nameField->editedTag());
    const GridGeometry grid = geometry();
    const qreal offset = verticalOffset();
    const auto [first, end] =
        grid.tilesBetween(offset, offset + viewport()->height(), m_tiles->rowCount());
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    for (qsizetype i = first; i < end; ++i) {
        option.rect = tileRect(i);
        m_delegate->paint(&painter, option, m_tiles->index(static_cast<int>(i)));
    }
    if (m_model.isLoadingFiles()) {
        paintLoadingLine(painter, grid);
    }
}

void IconGridView::paintLoadingLine(QPainter& painter, const GridGeometry& grid) {
    constexpr int kTextPixels = 12;
    constexpr qreal kArc = 14;
    constexpr qreal kArcGap = 8;
    const qreal top = grid.contentHeight(m_tiles->rowCount()) - verticalOffset();
    const QRectF line(0, top, viewport()->width(), GridGeometry::kLoadingLine);
    QFont font = painter.font();
    font.setPixelSize(kTextPixels);
    painter.setFont(font);
    const int textWidth = painter.fontMetrics().horizontalAdvance(kSearchingText);
    const QRectF arc(line.center().x() - textWidth / 2.0 - kArcGap - kArc,
                     line.center().y() - kArc / 2, kArc, kArc);
    const int angle = static_cast<int>((QDateTime::currentMSecsSinceEpoch() / 4) % 360);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Colors::secondaryText(palette(), Colors::controlBackground(palette())), 2,
                        Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(arc, -angle * 16, 270 * 16);
    painter.restore();
    painter.setPen(Colors::secondaryText(palette(), Colors::controlBackground(palette())));
    painter.drawText(line, Qt::AlignCenter, kSearchingText);
}

void IconGridView::resizeEvent(QResizeEvent* event) {
    QAbstractItemView::resizeEvent(event);
    m_model.setIconGridColumnsPerRow(GridGeometry::columnsPerRow(viewport()->width()));
    updateGeometries();
}

void IconGridView::scrollContentsBy(int, int) {
    // Tiles are placed from the scroll position at every paint; the name field follows it.
    m_nameField->sync();
    viewport()->update();
}

void IconGridView::clicked(const ItemDrag::PressedItem& item, Qt::KeyboardModifiers modifiers) {
    if (item.tag) {
        m_model.clickTag(*item.tag);
    } else if (item.file) {
        m_model.clickFile(*item.file, 0, true, ItemDrag::selectMode(modifiers));
    } else {
        m_model.clickGridBackground();
    }
}

void IconGridView::dragMoveEvent(QDragMoveEvent* event) {
    const int tile = static_cast<int>(tileAt(event->position().toPoint()));
    const TagNode* tag = m_tiles->tagAt(tile);
    hover(tag ? std::optional(tag->id) : std::nullopt);
    const QMimeData& data = *event->mimeData();
    bool acceptable = false;
    if (tag) {
        acceptable = ItemDrag::mayAccept(data);
    } else if (!m_tiles->fileAt(tile)) {
        acceptable = data.hasUrls() && m_model.currentTag().has_value();  // the background
    }
    if (acceptable) {
        ItemDrag::acceptAsCopy(*event);
    } else {
        event->ignore();
    }
}

bool IconGridView::dropped(const QPoint& point, const QMimeData& data) {
    const int tile = static_cast<int>(tileAt(point));
    if (const TagNode* tag = m_tiles->tagAt(tile)) {
        const QUuid target = tag->id;
        return m_model.handleTagDrop(data, target);
    }
    return !m_tiles->fileAt(tile) && m_model.handleCurrentFilesDrop(data);
}

bool IconGridView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        const QString tip = m_tiles->data(index, Qt::ToolTipRole).toString();
        if (!tip.isEmpty()) {
            QToolTip::showText(help->globalPos(), tip, viewport(), visualRect(index));
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return ItemView::viewportEvent(event);
}

void IconGridView::contextMenuEvent(QContextMenuEvent* event) {
    // The Menu key means the selected tile, not whatever lies under the pointer.
    if (event->reason() == QContextMenuEvent::Keyboard) {
        openMenuForSelection();
    } else {
        showMenuAt(viewport()->mapFrom(this, event->pos()), event->globalPos());
    }
}

void IconGridView::showMenuAt(const QPoint& point, const QPoint& globalPos) {
    const int tile = static_cast<int>(tileAt(point));
    // The tile the menu acts on is marked while the menu is open.
    m_delegate->setMenuRow(tile);
    viewport()->update();
    if (const TagNode* tag = m_tiles->tagAt(tile)) {
        QPointer<AppViewModel> model(&m_model);
        ItemMenus::execTagMenu(
            this, m_model, *tag, [model, id = tag->id] { model->enterTag(id); }, globalPos);
    } else if (const FileItem* file = m_tiles->fileAt(tile)) {
        ItemMenus::execFileMenu(this, m_model, *file, globalPos);
    } else {
        showBackgroundMenu(globalPos);
    }
    m_delegate->setMenuRow(-1);
    viewport()->update();
}

void IconGridView::openMenuForSelection() {
    for (qsizetype i = 0; i < tagCount() + fileCount(); ++i) {
        const TagNode* tag = m_tiles->tagAt(static_cast<int>(i));
        const FileItem* file = m_tiles->fileAt(static_cast<int>(i));
        if ((tag && tag->id == m_model.selectedTagID()) ||
            (file && m_model.selectedFileIDs().contains(file->id))) {
            scrollTo(m_tiles->index(static_cast<int>(i)));
            const QPoint at = tileRect(i).center();
            showMenuAt(at, viewport()->mapToGlobal(at));
            return;
        }
    }
    // Nothing selected: the menu of the place itself, whatever tile is under its middle.
    showBackgroundMenu(viewport()->mapToGlobal(viewport()->rect().center()));
}

void IconGridView::showBackgroundMenu(const QPoint& globalPos) {
    QMenu menu(this);
    QAction* newTag = menu.addAction("New Tag", this, [this] { m_model.requestNewTag(); });
    newTag->setEnabled(m_model.canCreateTag(m_model.columnTagID(m_model.navigationPath().size())));
    menu.exec(globalPos);
}
