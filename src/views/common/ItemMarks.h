#pragma once

#include <QRectF>

class QPainter;
class QPalette;

// Marks both views draw over their items.
namespace ItemMarks {

// The outline around the row or tile a context menu is open for.
void paintMenuMark(QPainter& painter, const QRectF& item, const QPalette& palette);

}  // namespace ItemMarks
