#include "views/grid/GridTileDelegate.h"

#include "state/AppViewModel.h"
#include "views/common/ItemMarks.h"
#include "views/grid/FileItemIcon.h"
#include "views/grid/GridGeometry.h"
#include "views/grid/GridModel.h"
#include "views/grid/TagFolderIcon.h"

#include <QPainter>

GridTileDelegate::GridTileDelegate(AppViewModel& model, GridModel& tiles, QObject* parent)
    : QStyledItemDelegate(parent), m_model(model), m_tiles(tiles) {}

QSize GridTileDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    const int side = static_cast<int>(GridGeometry::kTile);
    return {side, side};
}

void GridTileDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    const QRectF tile = option.rect;
    if (const TagNode* tag = m_tiles.tagAt(index.row())) {
        TagFolderIcon::paint(*painter, tile, *tag, m_model.selectedTagID() == tag->id,
                             m_edited == tag->id, dropEmphasis(tag->id), option.palette);
    } else if (const FileItem* file = m_tiles.fileAt(index.row())) {
        FileItemIcon::paint(*painter, tile, *file, m_model.selectedFileIDs().contains(file->id),
                            option.palette);
    }
    if (index.row() == m_menuRow) {
        ItemMarks::paintMenuMark(*painter, tile, option.palette);
    }
}
