#include "views/grid/FileItemIcon.h"

#include "model/FileItem.h"
#include "views/common/Colors.h"
#include "views/common/FileIcons.h"
#include "views/common/TwoLineText.h"

#include <QPainter>
#include <QPainterPath>

namespace FileItemIcon {

void paint(QPainter& painter, const QRectF& tile, const FileItem& file, bool isSelected,
           const QPalette& palette) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box(tile.center().x() - 40, tile.top() + 6, 80, 64);
    QRectF iconRect(0, 0, 56, 56);
    iconRect.moveCenter(box.center());
    FileIcons::forIconName(file.iconName, file.isDirectory).paint(&painter, iconRect.toRect());

    QFont font = painter.font();
    font.setPixelSize(12);
    painter.setFont(font);
    const QString text = twoLineText(file.name, font, 96);
    const QRectF bounds =
        painter.fontMetrics().boundingRect(QRect(0, 0, 96, 100), Qt::AlignHCenter, text);
    QRectF label(0, 0, bounds.width() + 8, bounds.height() + 4);
    label.moveTopLeft(QPointF(tile.center().x() - label.width() / 2, box.bottom() + 6));
    if (isSelected) {
        QPainterPath background;
        background.addRoundedRect(label, 4, 4);
        painter.fillPath(background, Colors::accent(palette));
    }
    painter.setPen(palette.color(isSelected ? QPalette::HighlightedText : QPalette::Text));
    painter.drawText(label, Qt::AlignCenter, text);
    painter.restore();
}

}  // namespace FileItemIcon
