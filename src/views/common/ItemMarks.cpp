#include "views/common/ItemMarks.h"

#include "views/common/Colors.h"

#include <QPainter>
#include <QPainterPath>
#include <QPalette>

namespace ItemMarks {

void paintMenuMark(QPainter& painter, const QRectF& item, const QPalette& palette) {
    constexpr qreal kPen = 1.5;
    constexpr qreal kRadius = 5;
    QPainterPath path;
    path.addRoundedRect(item.adjusted(kPen / 2, kPen / 2, -kPen / 2, -kPen / 2), kRadius, kRadius);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Colors::accent(palette), kPen));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    painter.restore();
}

}  // namespace ItemMarks
