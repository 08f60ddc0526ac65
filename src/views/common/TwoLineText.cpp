#include "views/common/TwoLineText.h"

#include <QFontMetrics>
#include <QTextLayout>

QString twoLineText(const QString& text, const QFont& font, int width) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine first = layout.createLine();
    if (!first.isValid()) {
        layout.endLayout();
        return text;
    }
    first.setLineWidth(width);
    const int firstEnd = first.textStart() + first.textLength();
    layout.endLayout();
    if (firstEnd >= text.size()) {
        return text;
    }
    return text.left(firstEnd).trimmed() + "\n" +
           QFontMetrics(font).elidedText(text.mid(firstEnd), Qt::ElideMiddle, width);
}
