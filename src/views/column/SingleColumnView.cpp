#include "views/column/SingleColumnView.h"

#include "state/AppViewModel.h"
#include "views/column/ColumnModel.h"
#include "views/column/ColumnRowDelegate.h"
#include "views/common/Colors.h"
#include "views/common/ItemDrag.h"
#include "views/common/ItemMenus.h"
#include "views/common/NameFieldHost.h"
#include "views/grid/GridEmptyState.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>

SingleColumnView::SingleColumnView(AppViewModel& model, qsizetype column, QWidget* parent)
    : ItemView(model, parent),
      m_column(column),
      m_rows(new ColumnModel(model, column, this)),
      m_delegate(new ColumnRowDelegate(model, *m_rows, this)),
      m_nameField(new NameFieldHost(
          model, *this, [this](const QUuid& id) { return nameFieldRect(id); },
          Qt::AlignLeft | Qt::AlignVCenter)) {
    setObjectName(QStringLiteral("column%1").arg(column));
    setModel(m_rows);
    setItemDelegate(m_delegate);
    setFocusPolicy(Qt::NoFocus);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setLayoutMode(QListView::Batched);
    setBatchSize(500);
    setupConnections();
    setAccessibleName(m_rows->title());
}

void SingleColumnView::setupConnections() {
    const auto refresh = [this] {
        m_rows->refresh();
        setSpinning(m_rows->isLoading());
        setAccessibleName(m_rows->title());
    };
    for (auto signal : {&AppViewModel::hierarchyChanged, &AppViewModel::navigationPathChanged,
                        &AppViewModel::filesPerTagChanged, &AppViewModel::loadingTagIDsChanged}) {
        connect(&m_model, signal, this, refresh);
    }
    for (auto signal :
         {&AppViewModel::selectedFileIDsChanged, &AppViewModel::dragTargetTagIDChanged}) {
        connect(&m_model, signal, viewport(), qOverload<>(&QWidget::update));
    }
    connect(&m_model, &AppViewModel::inlineEditingTagIDChanged, this, [this] {
        if (const auto editing = m_model.inlineEditingTagID(); editing && isVisible()) {
            if (const int row = m_rows->rowOfTag(*editing); row >= 0) {
                scrollTo(m_rows->index(row));
            }
        }
        viewport()->update();
    });
}

void SingleColumnView::updateGeometries() {
    QListView::updateGeometries();
    // A wheel notch moves the desktop's number of lines (three) by whole rows, not by pixels.
    verticalScrollBar()->setSingleStep(ColumnRowDelegate::kSpacing + ColumnRowDelegate::kRowHeight);
    // The rows were laid out again (a reload, a resize): the name field follows its row.
    m_nameField->sync();
}

std::optional<QRect> SingleColumnView::nameFieldRect(const QUuid& id) const {
    const int row = m_rows->rowOfTag(id);
    if (row < 0) {
        return std::nullopt;
    }
    return ColumnRowDelegate::nameRect(visualRect(m_rows->index(row))).adjusted(-4, 1, 0, -1);
}

bool SingleColumnView::isEditing(const QUuid& id) const {
    return m_nameField->editedTag() == id;
}

int SingleColumnView::rowAt(const QPoint& point) const {
    const QModelIndex index = indexAt(point);
    return index.isValid() ? index.row() : -1;
}

ItemDrag::PressedItem SingleColumnView::itemAt(const QPoint& point) const {
    const int row = rowAt(point);
    ItemDrag::PressedItem item;
    if (const TagNode* tag = m_rows->tagAt(row)) {
        item.tag = *tag;
    } else if (const FileItem* file = m_rows->fileAt(row)) {
        item.file = *file;
    }
    return item;
}

void SingleColumnView::clicked(const ItemDrag::PressedItem& item, Qt::KeyboardModifiers modifiers) {
    if (item.tag) {
        m_model.clickColumnTag(*item.tag, m_column, isEditing(item.tag->id));
    } else if (item.file) {
        m_model.clickFile(*item.file, m_column, false, ItemDrag::selectMode(modifiers));
    } else {
        m_model.clickColumnBackground();
    }
}

void SingleColumnView::dragMoveEvent(QDragMoveEvent* event) {
    const int row = rowAt(event->position().toPoint());
    const TagNode* tag = m_rows->tagAt(row);
    hover(tag ? std::optional(tag->id) : std::nullopt);
    // File rows take files only; tag rows and the background take tags too.
    const QMimeData& data = *event->mimeData();
    if (data.hasUrls() || (!m_rows->fileAt(row) && data.hasFormat("text/plain"))) {
        ItemDrag::acceptAsCopy(*event);
    } else {
        event->ignore();
    }
}

bool SingleColumnView::dropped(const QPoint& point, const QMimeData& data) {
    const int row = rowAt(point);
    if (const TagNode* tag = m_rows->tagAt(row)) {
        const QUuid target = tag->id;
        return m_model.handleTagDrop(data, target);
    }
    if (m_rows->fileAt(row)) {
        return m_model.handleCurrentFilesDrop(data);
    }
    return m_model.handleColumnDrop(data, m_column);
}

void SingleColumnView::paintEvent(QPaintEvent* event) {
    m_delegate->setHighlightedTag(m_model.highlightedTagID(m_column));
    ItemView::paintEvent(event);
    // An empty home: the same help as the icon view gives.
    if (m_column == 0 && m_model.hierarchy().isEmpty()) {
        QPainter painter(viewport());
        GridEmptyState::paint(painter, viewport()->rect(), false, palette(), devicePixelRatioF());
    }
}

void SingleColumnView::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Keyboard) {
        event->ignore();  // the browser opens the selected row's menu, in whichever column
        return;
    }
    showMenuAt(rowAt(viewport()->mapFrom(this, event->pos())), event->globalPos());
}

void SingleColumnView::showMenuAt(int row, const QPoint& globalPos) {
    // The row the menu acts on is marked while the menu is open.
    m_delegate->setMenuRow(row);
    viewport()->update();
    if (m_rows->tagAt(row)) {
        showTagMenu(row, globalPos);
    } else if (m_rows->fileAt(row)) {
        showFileMenu(row, globalPos);
    } else {
        showColumnMenu(globalPos);
    }
    m_delegate->setMenuRow(-1);
    viewport()->update();
}

bool SingleColumnView::openMenuForSelection() {
    const auto opened = m_model.highlightedTagID(m_column);
    for (int row = 0; row < m_rows->rowCount(); ++row) {
        const TagNode* tag = m_rows->tagAt(row);
        const FileItem* file = m_rows->fileAt(row);
        if ((tag && tag->id == opened) || (file && m_model.selectedFileIDs().contains(file->id))) {
            scrollTo(m_rows->index(row));
            showMenuAt(row, viewport()->mapToGlobal(visualRect(m_rows->index(row)).center()));
            return true;
        }
    }
    return false;
}

void SingleColumnView::showTagMenu(int row, const QPoint& globalPos) {
    const TagNode tag = *m_rows->tagAt(row);
    QPointer<AppViewModel> model(&m_model);
    const qsizetype column = m_column;
    ItemMenus::execTagMenu(
        this, m_model, tag, [model, id = tag.id, column] { model->openTag(id, column); },
        globalPos);
}

void SingleColumnView::showFileMenu(int row, const QPoint& globalPos) {
    ItemMenus::execFileMenu(this, m_model, *m_rows->fileAt(row), globalPos);
}

void SingleColumnView::showColumnMenu(const QPoint& globalPos) {
    QMenu menu(this);
    QAction* newTag =
        menu.addAction("New Tag", this, [this] { m_model.requestNewTagInColumn(m_column); });
    newTag->setEnabled(m_model.canCreateTag(m_model.columnTagID(m_column)));
    menu.exec(globalPos);
}
