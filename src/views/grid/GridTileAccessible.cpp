#include "views/grid/GridTileAccessible.h"

#include "state/AppViewModel.h"
#include "views/grid/GridModel.h"
#include "views/grid/IconGridView.h"

bool GridTileAccessible::isValid() const {
    return m_grid && m_row < m_grid->tiles().rowCount();
}

QAccessibleInterface* GridTileAccessible::parent() const {
    return QAccessible::queryAccessibleInterface(m_grid.data());
}

QString GridTileAccessible::text(QAccessible::Text kind) const {
    if (!isValid()) {
        return {};
    }
    const QModelIndex index = m_grid->tiles().index(m_row);
    switch (kind) {
        case QAccessible::Name:
            return index.data(Qt::AccessibleTextRole).toString();
        case QAccessible::Description:
            return index.data(Qt::AccessibleDescriptionRole).toString();
        default:
            return {};
    }
}

QRect GridTileAccessible::rect() const {
    if (!isValid()) {
        return {};
    }
    const QRect tile = m_grid->tileRect(m_row);
    return QRect(m_grid->viewport()->mapToGlobal(tile.topLeft()), tile.size());
}

QAccessible::State GridTileAccessible::state() const {
    QAccessible::State state;
    state.selectable = true;
    if (!isValid()) {
        state.invalid = true;
        return state;
    }
    const GridModel& tiles = m_grid->tiles();
    const TagNode* tag = tiles.tagAt(m_row);
    const FileItem* file = tiles.fileAt(m_row);
    state.selected = (tag && tag->id == m_grid->viewModel().selectedTagID()) ||
                     (file && m_grid->viewModel().selectedFileIDs().contains(file->id));
    state.invisible = !m_grid->viewport()->rect().intersects(m_grid->tileRect(m_row));
    return state;
}
