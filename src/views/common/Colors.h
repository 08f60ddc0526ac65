#pragma once

#include <QColor>
#include <QPalette>

// The few theme colours the views share: accent, control background and separator.
namespace Colors {

inline QColor accent(const QPalette& palette) {
    return palette.color(QPalette::Highlight);
}
inline QColor controlBackground(const QPalette& palette) {
    return palette.color(QPalette::Base);
}
inline QColor separator(const QPalette& palette) {
    return palette.color(QPalette::Mid);
}
inline QColor withAlpha(QColor color, qreal alpha) {
    color.setAlphaF(static_cast<float>(alpha));
    return color;
}

}  // namespace Colors
