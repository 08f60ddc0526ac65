#include "views/grid/IconGridView.h"

#include "state/AppViewModel.h"
#include "views/common/Colors.h"
#include "views/common/ItemDrag.h"
#include "views/common/SymbolGlyphs.h"
#include "views/common/TagIconPainter.h"
#include "views/common/TagNameEditor.h"
#include "views/editing/TagColorMenu.h"
#include "views/editing/TagIconMenu.h"
#include "views/grid/FileItemIcon.h"
#include "views/grid/GridGeometry.h"
#include "views/grid/TagFolderIcon.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QHelpEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QToolTip>
#include <QVariantAnimation>

const QString IconGridView::kSearchingText = QStringLiteral("Searching files\u2026");

namespace {

constexpr int kLoadingLine = 44;

}  // namespace

IconGridView::IconGridView(AppViewModel& model, QWidget* parent)
    : QAbstractScrollArea(parent), m_model(model), m_dropAnimation(new QVariantAnimation(this)) {
    setObjectName("iconGrid");
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    QPalette colors = palette();
    colors.setColor(QPalette::Base, Colors::controlBackground(palette()));
    setPalette(colors);
    verticalScrollBar()->setSingleStep(20);
    m_dropAnimation->setDuration(150);
    m_dropAnimation->setEasingCurve(QEasingCurve::InOutQuad);
    m_dropAnimation->setStartValue(0.0);
    m_dropAnimation->setEndValue(1.0);
    connect(m_dropAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        const qreal progress = value.toReal();
        for (auto it = m_emphasis.begin(); it != m_emphasis.end(); ++it) {
            it.value() = it.key() == m_shownDropTarget ? std::max(it.value(), progress)
                                                       : std::min(it.value(), 1.0 - progress);
        }
        viewport()->update();
    });
    setupConnections();
    refresh();
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
        syncEditor();
        viewport()->update();
    });
    // The spinner beside "Searching files…" turns while files load.
    auto* spinner = new QTimer(this);
    spinner->setInterval(80);
    connect(spinner, &QTimer::timeout, viewport(), qOverload<>(&QWidget::update));
    connect(&m_model, &AppViewModel::isLoadingFilesChanged, spinner,
            [this, spinner] { m_model.isLoadingFiles() ? spinner->start() : spinner->stop(); });
}

GridGeometry IconGridView::geometry() const {
    return GridGeometry(viewport()->width());
}

void IconGridView::refresh() {
    const auto current = m_model.currentTag();
    m_tags = current ? m_model.sortedChildren(current->children, current->id)
                     : m_model.sortedChildren(m_model.hierarchy(), std::nullopt);
    m_files = m_model.currentFiles();
    relayout();
    syncEditor();
    viewport()->update();
}

void IconGridView::relayout() {
    const qsizetype count = m_tags.size() + m_files.size();
    const qreal height =
        geometry().contentHeight(count) + (m_model.isLoadingFiles() ? kLoadingLine : 0);
    verticalScrollBar()->setRange(0, std::max(0, qCeil(height) - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    if (m_editor && m_editorTag) {
        for (qsizetype i = 0; i < m_tags.size(); ++i) {
            if (m_tags[i].id == *m_editorTag) {
                m_editor->setGeometry(TagFolderIcon::nameFieldRect(tileRect(i)).toRect());
            }
        }
    }
}

bool IconGridView::isShowingEmptyState() const {
    return m_tags.isEmpty() && m_files.isEmpty() && !m_model.isLoadingFiles();
}

QRect IconGridView::tileRect(qsizetype index) const {
    return geometry().tileRect(index).translated(0, -verticalScrollBar()->value()).toRect();
}

qsizetype IconGridView::tileAt(const QPoint& point) const {
    if (isShowingEmptyState()) {
        return -1;
    }
    return geometry().tileAt(QPointF(point) + QPointF(0, verticalScrollBar()->value()),
                             m_tags.size() + m_files.size());
}

const TagNode* IconGridView::tagAt(qsizetype tile) const {
    return tile >= 0 && tile < m_tags.size() ? &m_tags[tile] : nullptr;
}

const FileItem* IconGridView::fileAt(qsizetype tile) const {
    const qsizetype index = tile - m_tags.size();
    return tile >= 0 && index >= 0 && index < m_files.size() ? &m_files[index] : nullptr;
}

void IconGridView::syncEditor() {
    const auto editing = m_model.inlineEditingTagID();
    qsizetype tile = -1;
    for (qsizetype i = 0; editing && i < m_tags.size(); ++i) {
        if (m_tags[i].id == *editing) {
            tile = i;
        }
    }
    // Only the grid on screen edits: the column browser has its own field.
    if (tile < 0 || !isVisible()) {
        if (m_editor) {
            m_editor->hide();
            m_editor->deleteLater();
        }
        m_editorTag.reset();
        return;
    }
    if (m_editor && m_editorTag == editing) {
        return;
    }
    if (m_editor) {
        m_editor->deleteLater();
    }
    m_editor = new TagNameEditor(m_model, viewport());
    m_editor->setAlignment(Qt::AlignCenter);
    m_editorTag = editing;
    m_editor->setGeometry(TagFolderIcon::nameFieldRect(tileRect(tile)).toRect());
    m_editor->show();
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
        paintEmptyState(painter);
        return;
    }
    const GridGeometry grid = geometry();
    const qreal offset = verticalScrollBar()->value();
    const qsizetype count = m_tags.size() + m_files.size();
    const qint64 perRow = grid.columns();
    const qint64 firstRow = std::max<qint64>(0, static_cast<qint64>((offset - 20) / 126));
    const qint64 lastRow = static_cast<qint64>((offset + viewport()->height()) / 126) + 1;
    for (qsizetype i = firstRow * perRow; i < count && i < (lastRow + 1) * perRow; ++i) {
        const QRectF tile = grid.tileRect(i).translated(0, -offset);
        if (const TagNode* tag = tagAt(i)) {
            TagFolderIcon::paint(painter, tile, *tag, m_model.selectedTagID() == tag->id,
                                 m_editorTag == tag->id, dropEmphasis(tag->id), palette());
        } else if (const FileItem* file = fileAt(i)) {
            FileItemIcon::paint(painter, tile, *file, m_model.selectedFileIDs().contains(file->id),
                                palette());
        }
    }
    if (m_model.isLoadingFiles()) {
        const qreal top = grid.contentHeight(count) - offset;
        const QRectF line(0, top, viewport()->width(), kLoadingLine);
        QFont font = painter.font();
        font.setPixelSize(12);
        painter.setFont(font);
        const int textWidth = painter.fontMetrics().horizontalAdvance(kSearchingText);
        const QRectF arc(line.center().x() - textWidth / 2.0 - 22, line.center().y() - 7, 14, 14);
        const int angle = static_cast<int>((QDateTime::currentMSecsSinceEpoch() / 4) % 360);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(
            QPen(palette().color(QPalette::PlaceholderText), 2, Qt::SolidLine, Qt::RoundCap));
        painter.drawArc(arc, -angle * 16, 270 * 16);
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(line.adjusted(0, 0, 0, 0), Qt::AlignCenter, kSearchingText);
    }
}

void IconGridView::paintEmptyState(QPainter& painter) {
    const bool inTag = m_model.currentTag().has_value();
    const QRect area = viewport()->rect().adjusted(40, 40, -40, -40);
    QColor faint = palette().color(QPalette::Text);
    faint.setAlphaF(0.25f);
    const QString title = inTag ? QStringLiteral("Empty") : QStringLiteral("No Tags Yet");
    const QString message =
        inTag ? QStringLiteral("Drag files here to tag them, or create sub-tags with +.")
              : QStringLiteral(
                    "Click the + button to create a tag, or your existing\nFinder tags "
                    "will appear here automatically.");
    QFont titleFont = painter.font();
    titleFont.setPixelSize(17);
    QFont captionFont = painter.font();
    captionFont.setPixelSize(10);
    const int titleHeight = QFontMetrics(titleFont).height();
    const int messageHeight = QFontMetrics(captionFont).height() * (inTag ? 1 : 2);
    const int total = 48 + 12 + titleHeight + 12 + messageHeight;
    int y = area.center().y() - total / 2;
    const QRectF icon(area.center().x() - 24, y, 48, 48);
    if (inTag) {
        painter.drawPixmap(icon.toRect(),
                           SymbolGlyphs::pixmap("folder.fill", faint, 48, devicePixelRatioF()));
    } else {
        TagIconPainter::paintDefault(painter, icon, faint);
    }
    y += 48 + 12;
    painter.setFont(titleFont);
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(QRect(area.left(), y, area.width(), titleHeight), Qt::AlignCenter, title);
    y += titleHeight + 12;
    painter.setFont(captionFont);
    QColor tertiary = palette().color(QPalette::Text);
    tertiary.setAlphaF(0.45f);
    painter.setPen(tertiary);
    painter.drawText(QRect(area.left(), y, area.width(), messageHeight), Qt::AlignCenter, message);
}

void IconGridView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    m_model.setIconGridColumnsPerRow(GridGeometry::columnsPerRow(viewport()->width()));
    relayout();
}

void IconGridView::showEvent(QShowEvent* event) {
    QAbstractScrollArea::showEvent(event);
    syncEditor();
}

void IconGridView::hideEvent(QHideEvent* event) {
    QAbstractScrollArea::hideEvent(event);
    syncEditor();
}

void IconGridView::scrollContentsBy(int, int) {
    relayout();
    viewport()->update();
}

void IconGridView::mousePressEvent(QMouseEvent* event) {
    const qsizetype tile = tileAt(event->position().toPoint());
    m_press.begin(event->position().toPoint(), tile);
    if (event->button() != Qt::LeftButton) {
        return;
    }
    if (const TagNode* tag = tagAt(tile)) {
        const TagNode clicked = *tag;  // committing a rename rebuilds the list it points into
        const bool wasEditing = m_model.inlineEditingTagID() == clicked.id;
        m_model.commitInlineEdit();
        if (!wasEditing) {
            m_model.clickTag(clicked);
        }
    } else if (const FileItem* file = fileAt(tile)) {
        const FileItem clicked = *file;
        m_model.commitInlineEdit();
        m_model.clickFile(clicked, 0, true, ItemDrag::selectMode(event->modifiers()));
    } else {
        m_model.clickGridBackground();
    }
}

void IconGridView::mouseDoubleClickEvent(QMouseEvent* event) {
    // The view model tells double clicks apart itself, by time.
    mousePressEvent(event);
}

void IconGridView::mouseMoveEvent(QMouseEvent* event) {
    if (const auto tile = m_press.dragStarts(*event)) {
        ItemDrag::start(this, tagAt(*tile), fileAt(*tile));
    }
}

void IconGridView::mouseReleaseEvent(QMouseEvent*) {
    m_press.end();
}

void IconGridView::dragEnterEvent(QDragEnterEvent* event) {
    if (ItemDrag::mayAccept(*event->mimeData())) {
        event->acceptProposedAction();
    }
}

void IconGridView::dragMoveEvent(QDragMoveEvent* event) {
    const qsizetype tile = tileAt(event->position().toPoint());
    const TagNode* tag = tagAt(tile);
    m_hover.over(m_model, tag ? std::optional(tag->id) : std::nullopt);
    const QMimeData& data = *event->mimeData();
    bool acceptable = false;
    if (tag) {
        acceptable = ItemDrag::mayAccept(data);
    } else if (!fileAt(tile)) {
        acceptable = data.hasUrls() && m_model.currentTag().has_value();  // the background
    }
    acceptable ? event->acceptProposedAction() : event->ignore();
}

void IconGridView::dragLeaveEvent(QDragLeaveEvent*) {
    m_hover.leave(m_model);
}

void IconGridView::dropEvent(QDropEvent* event) {
    m_hover.leave(m_model);
    const qsizetype tile = tileAt(event->position().toPoint());
    bool accepted = false;
    if (const TagNode* tag = tagAt(tile)) {
        const QUuid target = tag->id;
        accepted = m_model.handleTagDrop(*event->mimeData(), target);
    } else if (!fileAt(tile)) {
        accepted = m_model.handleCurrentFilesDrop(*event->mimeData());
    }
    event->setDropAction(Qt::CopyAction);
    event->setAccepted(accepted);
}

bool IconGridView::viewportEvent(QEvent* event) {
    // Names are cut to two lines on a tile; the tooltip shows the whole name (and a file's
    // folder).
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const qsizetype tile = tileAt(help->pos());
        if (const TagNode* tag = tagAt(tile)) {
            QToolTip::showText(help->globalPos(), tag->name, viewport(), tileRect(tile));
        } else if (const FileItem* file = fileAt(tile)) {
            QToolTip::showText(help->globalPos(), file->url.toLocalFile(), viewport(),
                               tileRect(tile));
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void IconGridView::contextMenuEvent(QContextMenuEvent* event) {
    const qsizetype tile = tileAt(viewport()->mapFrom(this, event->pos()));
    QMenu menu(this);
    if (const TagNode* found = tagAt(tile)) {
        const TagNode tag = *found;
        QPointer<AppViewModel> model(&m_model);
        menu.addAction("Open", this, [model, id = tag.id] {
            if (model)
                model->enterTag(id);
        });
        menu.addSeparator();
        menu.addAction("Rename", this, [model, tag] {
            if (model)
                model->beginRename(tag);
        });
        menu.addMenu(new TagColorMenu(m_model, tag, &menu));
        menu.addMenu(new TagIconMenu(m_model, tag.id, &menu));
        menu.addSeparator();
        menu.addAction("Delete", this, [model, id = tag.id] {
            if (model)
                model->deleteTag(id);
        });
    } else if (const FileItem* found = fileAt(tile)) {
        const FileItem file = *found;
        menu.addAction("Open", this, [this, file] { m_model.openFile(file); });
        menu.addAction("Show in Finder", this, [this, file] { m_model.revealFile(file); });
    } else {
        menu.addAction("New Tag", this, [this] {
            const QList<QUuid>& path = m_model.navigationPath();
            m_model.setNewTagParentID(path.isEmpty() ? std::nullopt : std::optional(path.last()));
            m_model.setShowNewTagSheet(true);
        });
    }
    menu.exec(event->globalPos());
}
