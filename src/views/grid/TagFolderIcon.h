#pragma once

#include <QRectF>

class QPainter;
class QPalette;
struct TagNode;

// Paints a tag's tile: its icon in its colour with a child-count badge, its name below, the
// selected background, and the drop emphasis (scale and coloured glow, by `dropEmphasis` from
// 0 to 1).
namespace TagFolderIcon {

void paint(QPainter& painter, const QRectF& tile, const TagNode& tag, bool isSelected,
           bool isEditing, qreal dropEmphasis, const QPalette& palette);

// The name field's place while the tag is renamed.
QRectF nameFieldRect(const QRectF& tile);
// The icon box, 80 by 64, above the name.
QRectF iconBox(const QRectF& tile);

}  // namespace TagFolderIcon
