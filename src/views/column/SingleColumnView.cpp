#include "views/column/SingleColumnView.h"

#include "state/AppViewModel.h"
#include "views/column/ColumnModel.h"
#include "views/column/ColumnRowDelegate.h"
#include "views/common/Colors.h"
#include "views/common/ItemDrag.h"
#include "views/editing/TagColorMenu.h"
#include "views/editing/TagIconMenu.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QTimer>

SingleColumnView::SingleColumnView(AppViewModel& model, qsizetype column, QWidget* parent)
    : QListView(parent),
      m_model(model),
      m_column(column),
      m_rows(new ColumnModel(model, column, this)),
      m_delegate(new ColumnRowDelegate(model, *m_rows, this)),
      m_spinner(new QTimer(this)) {
    setObjectName(QStringLiteral("column%1").arg(column));
    setModel(m_rows);
    setItemDelegate(m_delegate);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setLayoutMode(QListView::Batched);
    setBatchSize(500);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    viewport()->setAcceptDrops(true);
    QPalette colors = palette();
    colors.setColor(QPalette::Base, Colors::controlBackground(palette()));
    setPalette(colors);
    m_spinner->setInterval(80);
    connect(m_spinner, &QTimer::timeout, viewport(), qOverload<>(&QWidget::update));
    setupConnections();
    syncEditor();
}

void SingleColumnView::setupConnections() {
    const auto refresh = [this] {
        m_rows->refresh();
        m_rows->isLoading() ? m_spinner->start() : m_spinner->stop();
        syncEditor();
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
        syncEditor();
        viewport()->update();
    });
}

void SingleColumnView::syncEditor() {
    const auto editing = m_model.inlineEditingTagID();
    const int row = editing ? m_rows->rowOfTag(*editing) : -1;
    const QModelIndex wanted = row >= 0 ? m_rows->index(row) : QModelIndex();
    if (m_editorIndex.isValid() && m_editorIndex != wanted) {
        closePersistentEditor(m_editorIndex);
        m_editorIndex = QPersistentModelIndex();
    }
    if (wanted.isValid() && !m_editorIndex.isValid()) {
        m_editorIndex = wanted;
        openPersistentEditor(wanted);
        scrollTo(wanted);
    }
}

int SingleColumnView::rowAt(const QPoint& point) const {
    const QModelIndex index = indexAt(point);
    return index.isValid() ? index.row() : -1;
}

void SingleColumnView::mousePressEvent(QMouseEvent* event) {
    const int row = rowAt(event->position().toPoint());
    m_press.begin(event->position().toPoint(), row);
    if (event->button() != Qt::LeftButton) {
        return;
    }
    if (const TagNode* tag = m_rows->tagAt(row)) {
        // A copy: committing a pending rename rebuilds the rows the pointer points into.
        const TagNode clicked = *tag;
        m_model.clickColumnTag(clicked, m_column, m_model.inlineEditingTagID() == clicked.id);
    } else if (const FileItem* file = m_rows->fileAt(row)) {
        const FileItem clicked = *file;
        m_model.commitInlineEdit();
        m_model.clickFile(clicked, m_column, false, ItemDrag::selectMode(event->modifiers()));
    } else {
        m_model.clickColumnBackground();
    }
}

void SingleColumnView::mouseDoubleClickEvent(QMouseEvent* event) {
    // The view model tells double clicks apart itself, by time.
    mousePressEvent(event);
}

void SingleColumnView::mouseMoveEvent(QMouseEvent* event) {
    const auto row = m_press.dragStarts(*event);
    if (!row) {
        return;
    }
    const TagNode* tag = m_rows->tagAt(static_cast<int>(*row));
    if (!tag || m_model.inlineEditingTagID() != tag->id) {
        ItemDrag::start(this, tag, m_rows->fileAt(static_cast<int>(*row)));
    }
}

void SingleColumnView::mouseReleaseEvent(QMouseEvent*) {
    m_press.end();
}

void SingleColumnView::dragEnterEvent(QDragEnterEvent* event) {
    if (ItemDrag::mayAccept(*event->mimeData())) {
        event->acceptProposedAction();
    }
}

void SingleColumnView::dragMoveEvent(QDragMoveEvent* event) {
    const int row = rowAt(event->position().toPoint());
    const TagNode* tag = m_rows->tagAt(row);
    m_hover.over(m_model, tag ? std::optional(tag->id) : std::nullopt);
    // File rows take files only; tag rows and the background take tags too.
    const QMimeData& data = *event->mimeData();
    if (data.hasUrls() || (!m_rows->fileAt(row) && data.hasFormat("text/plain"))) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void SingleColumnView::dragLeaveEvent(QDragLeaveEvent*) {
    m_hover.leave(m_model);
}

void SingleColumnView::dropEvent(QDropEvent* event) {
    m_hover.leave(m_model);
    const int row = rowAt(event->position().toPoint());
    bool accepted = false;
    if (const TagNode* tag = m_rows->tagAt(row)) {
        const QUuid target = tag->id;
        accepted = m_model.handleTagDrop(*event->mimeData(), target);
    } else if (m_rows->fileAt(row)) {
        accepted = m_model.handleCurrentFilesDrop(*event->mimeData());
    } else {
        accepted = m_model.handleColumnDrop(*event->mimeData(), m_column);
    }
    event->setDropAction(Qt::CopyAction);
    event->setAccepted(accepted);
}

void SingleColumnView::paintEvent(QPaintEvent* event) {
    m_delegate->setHighlightedTag(m_model.highlightedTagID(m_column));
    QListView::paintEvent(event);
}

void SingleColumnView::contextMenuEvent(QContextMenuEvent* event) {
    const int row = rowAt(viewport()->mapFrom(this, event->pos()));
    if (m_rows->tagAt(row)) {
        showTagMenu(row, event->globalPos());
    } else if (m_rows->fileAt(row)) {
        showFileMenu(row, event->globalPos());
    } else {
        showColumnMenu(event->globalPos());
    }
}

void SingleColumnView::showTagMenu(int row, const QPoint& globalPos) {
    const TagNode tag = *m_rows->tagAt(row);
    QMenu menu(this);
    QPointer<AppViewModel> model(&m_model);
    const qsizetype column = m_column;
    menu.addAction("Open", this, [model, tag, column] {
        if (model)
            model->openTag(tag.id, column);
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
    menu.exec(globalPos);
}

void SingleColumnView::showFileMenu(int row, const QPoint& globalPos) {
    const FileItem file = *m_rows->fileAt(row);
    QMenu menu(this);
    menu.addAction("Open", this, [this, file] { m_model.openFile(file); });
    menu.addAction("Show in Finder", this, [this, file] { m_model.revealFile(file); });
    menu.exec(globalPos);
}

void SingleColumnView::showColumnMenu(const QPoint& globalPos) {
    QMenu menu(this);
    menu.addAction("New Tag", this, [this] {
        const QList<QUuid>& path = m_model.navigationPath();
        m_model.setNewTagParentID(m_column >= 1 && path.size() >= m_column
                                      ? std::optional(path[m_column - 1])
                                      : std::nullopt);
        m_model.setShowNewTagSheet(true);
    });
    menu.exec(globalPos);
}
