#pragma once

#include <QRectF>

class QPainter;
class QPalette;
struct FileItem;

// Paints a file's tile: its icon and, below, its name on two lines at most, on an accent label
// when the file is selected.
namespace FileItemIcon {

void paint(QPainter& painter, const QRectF& tile, const FileItem& file, bool isSelected,
           const QPalette& palette);

}  // namespace FileItemIcon
