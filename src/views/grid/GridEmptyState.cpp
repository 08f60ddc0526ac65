#include "views/grid/GridEmptyState.h"

#include "views/common/Colors.h"
#include "views/common/SymbolGlyphs.h"
#include "views/common/TagIconPainter.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPalette>

namespace GridEmptyState {
namespace {

constexpr int kMargin = 40;
constexpr int kIcon = 48;
constexpr int kGap = 12;
constexpr int kTitlePixels = 17;
constexpr int kCaptionPixels = 10;
constexpr float kIconAlpha = 0.25f;
constexpr int kMessageFlags = Qt::AlignCenter | Qt::TextWordWrap;
constexpr double kCaptionEmphasis = 0.45;  // fainter than the title, as far as it stays readable

}  // namespace

void paint(QPainter& painter, const QRect& bounds, bool inTag, const QPalette& palette,
           qreal devicePixelRatio) {
    const QRect area = bounds.adjusted(kMargin, kMargin, -kMargin, -kMargin);
    QColor faint = palette.color(QPalette::Text);
    faint.setAlphaF(kIconAlpha);
    const QString title = inTag ? QStringLiteral("Empty") : QStringLiteral("No Tags Yet");
    const QString message =
        inTag ? QStringLiteral("Drag files here to tag them, or create sub-tags with +.")
              : QStringLiteral(
                    "Click the + button to create a tag, or the tags already\non your files "
                    "will appear here automatically.");
    QFont titleFont = painter.font();
    titleFont.setPixelSize(kTitlePixels);
    QFont captionFont = painter.font();
    captionFont.setPixelSize(kCaptionPixels);
    const int titleHeight = QFontMetrics(titleFont).height();
    // The help wraps further where the width is less (a column).
    const QRect messageBox(area.left(), 0, area.width(), area.height());
    const int messageHeight =
        QFontMetrics(captionFont).boundingRect(messageBox, kMessageFlags, message).height();
    const int total = kIcon + kGap + titleHeight + kGap + messageHeight;
    int y = area.center().y() - total / 2;
    const QRectF icon(area.center().x() - kIcon / 2.0, y, kIcon, kIcon);
    if (inTag) {
        painter.drawPixmap(icon.toRect(),
                           SymbolGlyphs::pixmap("folder.fill", faint, kIcon, devicePixelRatio));
    } else {
        TagIconPainter::paintDefault(painter, icon, faint);
    }
    y += kIcon + kGap;
    painter.setFont(titleFont);
    const QColor background = Colors::controlBackground(palette);
    painter.setPen(Colors::secondaryText(palette, background));
    painter.drawText(QRect(area.left(), y, area.width(), titleHeight), Qt::AlignCenter, title);
    y += titleHeight + kGap;
    painter.setFont(captionFont);
    painter.setPen(Colors::secondaryText(palette, background, kCaptionEmphasis));
    painter.drawText(QRect(area.left(), y, area.width(), messageHeight), kMessageFlags, message);
}

}  // namespace GridEmptyState
