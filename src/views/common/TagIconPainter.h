#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPixmap>

class QPainter;
class QRectF;
struct TagNode;

// Draws a tag's icon by precedence: its custom image in its own colours, else its symbol tinted
// with its colour, else the default tag shape tinted with its colour.
namespace TagIconPainter {

void paint(QPainter& painter, const QRectF& frame, const TagNode& tag);

// The default tag shape ("DefaultTagIcon") filled with `color`.
void paintDefault(QPainter& painter, const QRectF& frame, const QColor& color);
QIcon defaultIcon(const QColor& color, int size = 16);

QPixmap pixmap(const TagNode& tag, int size, qreal devicePixelRatio = 1);

// A tag's custom image, decoded once and at most icon-sized (user interface thread only).
QImage customImage(const QByteArray& data);

}  // namespace TagIconPainter
