#include "views/common/TagIconPainter.h"

#include "model/IconCatalog.h"
#include "model/TagColors.h"
#include "model/TagNode.h"
#include "views/common/SymbolGlyphs.h"

#include <QBuffer>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>

namespace TagIconPainter {
namespace {

// A luggage-tag outline in a unit square: a body with a pointed left end and a hole.
QPainterPath tagShape(const QRectF& frame) {
    const qreal w = frame.width();
    const qreal h = frame.height();
    const qreal x = frame.x();
    const qreal y = frame.y();
    QPainterPath body;
    body.moveTo(x + 0.02 * w, y + 0.5 * h);
    body.lineTo(x + 0.32 * w, y + 0.16 * h);
    body.lineTo(x + 0.90 * w, y + 0.16 * h);
    body.quadTo(x + 0.98 * w, y + 0.16 * h, x + 0.98 * w, y + 0.24 * h);
    body.lineTo(x + 0.98 * w, y + 0.76 * h);
    body.quadTo(x + 0.98 * w, y + 0.84 * h, x + 0.90 * w, y + 0.84 * h);
    body.lineTo(x + 0.32 * w, y + 0.84 * h);
    body.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(QPointF(x + 0.30 * w, y + 0.5 * h), 0.075 * w, 0.075 * h);
    return body.subtracted(hole);
}

}  // namespace

QImage customImage(const QByteArray& data) {
    // Tags are drawn on every repaint: each custom image is decoded once, and no larger than
    // an icon is ever drawn, however large the image in the tree file is.
    constexpr int kLargestSide = 128;
    static QHash<QByteArray, QImage> cache;
    auto it = cache.find(data);
    if (it == cache.end()) {
        if (cache.size() > 512) {
            cache.clear();
        }
        it = cache.insert(data, IconCatalog::decodeImage(data, kLargestSide));
    }
    return *it;
}

void paintDefault(QPainter& painter, const QRectF& frame, const QColor& color) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawPath(tagShape(frame));
    painter.restore();
}

void paint(QPainter& painter, const QRectF& frame, const TagNode& tag) {
    const QColor color = TagColors::displayColor(tag);
    switch (IconCatalog::iconVariant(tag)) {
        case IconCatalog::IconVariant::CustomImage:
            painter.save();
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(frame, customImage(*tag.customIconData));
            painter.restore();
            return;
        case IconCatalog::IconVariant::Symbol: {
            const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
            const QPixmap glyph =
                SymbolGlyphs::pixmap(*tag.iconName, color, qRound(frame.width()), ratio);
            if (!glyph.isNull()) {
                painter.drawPixmap(frame.toRect(), glyph);
                return;
            }
            break;  // a symbol without a glyph falls back to the default tag
        }
        case IconCatalog::IconVariant::Default:
            break;
    }
    paintDefault(painter, frame, color);
}

QIcon defaultIcon(const QColor& color, int size) {
    QIcon icon;
    for (const qreal ratio : {1.0, 2.0}) {
        QPixmap image(QSize(size, size) * ratio);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        paintDefault(painter, QRectF(0, 0, size, size), color);
        painter.end();
        icon.addPixmap(image);
    }
    return icon;
}

QPixmap pixmap(const TagNode& tag, int size, qreal devicePixelRatio) {
    QPixmap image(QSize(size, size) * devicePixelRatio);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paint(painter, QRectF(0, 0, size, size), tag);
    return image;
}

}  // namespace TagIconPainter
