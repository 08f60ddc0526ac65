#include "views/common/ItemDrag.h"

#include "model/FileItem.h"
#include "model/TagNode.h"
#include "state/AppViewModel.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QWidget>

namespace ItemDrag {

void start(QWidget* source, const PressedItem& item) {
    if (!item.tag && !item.file) {
        return;
    }
    auto* data = new QMimeData;
    if (item.tag) {
        data->setText(tagIdText(item.tag->id));
    } else {
        data->setUrls({item.file->url});
    }
    auto* drag = new QDrag(source);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::CopyAction);
}

bool mayAccept(const QMimeData& data) {
    return data.hasUrls() || data.hasFormat("text/plain");
}

bool acceptAsCopy(QDropEvent& event) {
    for (const Qt::DropAction action : {Qt::CopyAction, Qt::LinkAction}) {
        if (event.possibleActions() & action) {
            event.setDropAction(action);
            event.accept();
            return true;
        }
    }
    event.ignore();
    return false;
}

AppViewModel::SelectMode selectMode(Qt::KeyboardModifiers modifiers) {
    return modifiers & Qt::ControlModifier ? AppViewModel::SelectMode::Toggle
                                           : AppViewModel::SelectMode::Replace;
}

void Press::begin(const QMouseEvent& event, PressedItem item) {
    if (event.button() != Qt::LeftButton) {
        m_at.reset();
        return;
    }
    m_at = event.position().toPoint();
    m_item = std::move(item);
    m_modifiers = event.modifiers();
}

std::optional<PressedItem> Press::dragStarts(const QMouseEvent& event) {
    if (!m_at || !(event.buttons() & Qt::LeftButton) ||
        (event.position().toPoint() - *m_at).manhattanLength() <
            QApplication::startDragDistance()) {
        return std::nullopt;
    }
    m_at.reset();
    return m_item;
}

std::optional<PressedItem> Press::clickEnds(const QMouseEvent& event) {
    if (!m_at || event.button() != Qt::LeftButton) {
        return std::nullopt;
    }
    m_at.reset();
    return m_item;
}

void Hover::over(AppViewModel& model, std::optional<QUuid> tag) {
    if (tag == m_tag) {
        return;
    }
    if (m_tag) {
        model.dragLeft(*m_tag);
    }
    m_tag = tag;
    if (m_tag) {
        model.dragEntered(*m_tag);
    }
}

}  // namespace ItemDrag
