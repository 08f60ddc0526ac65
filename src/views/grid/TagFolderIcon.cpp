#include "views/grid/TagFolderIcon.h"

#include "model/IconCatalog.h"
#include "model/TagColors.h"
#include "model/TagNode.h"
#include "views/common/Colors.h"
#include "views/common/SymbolGlyphs.h"
#include "views/common/TagIconPainter.h"
#include "views/common/TwoLineText.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace TagFolderIcon {

QRectF iconBox(const QRectF& tile) {
    return QRectF(tile.center().x() - 40, tile.top() + 6, 80, 64);
}

QRectF nameFieldRect(const QRectF& tile) {
    const QRectF box = iconBox(tile);
    return QRectF(tile.center().x() - 50, box.bottom() + 6, 100, 20);
}

namespace {

void paintIcon(QPainter& painter, const QRectF& box, const TagNode& tag, const QColor& color) {
    switch (IconCatalog::iconVariant(tag)) {
        case IconCatalog::IconVariant::CustomImage: {
            const QImage image = TagIconPainter::customImage(*tag.customIconData);
            QSizeF size = image.size();
            size.scale(52, 52, Qt::KeepAspectRatio);
            QRectF target(QPointF(), size);
            target.moveCenter(box.center());
            painter.drawImage(target, image);
            return;
        }
        case IconCatalog::IconVariant::Symbol: {
            const QPixmap glyph = SymbolGlyphs::pixmap(*tag.iconName, color, 56,
                                                       painter.device()->devicePixelRatioF());
            if (!glyph.isNull()) {
                QRectF target(0, 0, 56, 56);
                target.moveCenter(box.center());
                painter.drawPixmap(target.toRect(), glyph);
                return;
            }
            break;
        }
        case IconCatalog::IconVariant::Default:
            break;
    }
    QRectF target(0, 0, 56, 56);
    target.moveCenter(box.center());
    TagIconPainter::paintDefault(painter, target, color);
}

void paintBadge(QPainter& painter, const QRectF& box, qsizetype count, const QColor& color) {
    QFont font = painter.font();
    font.setPixelSize(10);
    font.setWeight(QFont::DemiBold);
    painter.setFont(font);
    const QString text = QString::asprintf("%lld", static_cast<long long>(count));
    const QSizeF textSize = painter.fontMetrics().size(Qt::TextSingleLine, text);
    const QSizeF size(textSize.width() + 10, textSize.height() + 2);
    const QRectF badge(box.right() - size.width() + 4, box.top() - 4, size.width(), size.height());
    QPainterPath capsule;
    capsule.addRoundedRect(badge, size.height() / 2, size.height() / 2);
    painter.fillPath(capsule, Colors::withAlpha(color, 0.85));
    painter.setPen(Qt::white);
    painter.drawText(badge, Qt::AlignCenter, text);
}

}  // namespace

void paint(QPainter& painter, const QRectF& tile, const TagNode& tag, bool isSelected,
           bool isEditing, qreal dropEmphasis, const QPalette& palette) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (isSelected) {
        QPainterPath background;
        background.addRoundedRect(tile, 8, 8);
        painter.fillPath(background, Colors::withAlpha(Colors::accent(palette), 0.20));
    }
    const QColor color = TagColors::displayColor(tag);
    const QRectF box = iconBox(tile);
    painter.save();
    const qreal scale = 1.0 + 0.12 * dropEmphasis;
    painter.translate(box.center());
    painter.scale(scale, scale);
    painter.translate(-box.center());
    if (dropEmphasis > 0) {
        // The glow: the tag's colour fading out 10 points beyond the icon.
        QRadialGradient glow(box.center(), 38);
        glow.setColorAt(0.6, Colors::withAlpha(color, 0.6 * dropEmphasis));
        glow.setColorAt(1.0, Colors::withAlpha(color, 0));
        painter.fillRect(box.adjusted(-10, -10, 10, 10), glow);
    }
    paintIcon(painter, box, tag, color);
    if (!tag.children.isEmpty()) {
        paintBadge(painter, box, tag.children.size(), color);
    }
    painter.restore();

    if (!isEditing) {
        QFont font = painter.font();
        font.setPixelSize(12);
        font.setWeight(QFont::Normal);
        painter.setFont(font);
        painter.setPen(palette.color(QPalette::Text));
        const QRectF name(tile.center().x() - 48, box.bottom() + 6, 96,
                          tile.bottom() - box.bottom() - 6);
        painter.drawText(name, Qt::AlignHCenter | Qt::AlignTop, twoLineText(tag.name, font, 96));
    }
    painter.restore();
}

}  // namespace TagFolderIcon
