#pragma once

#include <QColor>
#include <QPalette>

#include <algorithm>
#include <cmath>

// The few theme colours the views share: accent, control background, separator and the fainter
// text, kept readable whatever the theme.
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

// A colour laid over another, as the eye sees it.
inline QColor over(const QColor& top, const QColor& below) {
    const float a = top.alphaF();
    return QColor::fromRgbF(top.redF() * a + below.redF() * (1 - a),
                            top.greenF() * a + below.greenF() * (1 - a),
                            top.blueF() * a + below.blueF() * (1 - a));
}

// The contrast ratio of two opaque colours (1 to 21), as the accessibility guidelines define it.
inline double contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& color) {
        const auto channel = [](float c) {
            return c <= 0.04045f ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) +
               0.0722 * channel(color.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

inline constexpr double kReadable = 4.5;
// What the fainter text aims at: above the line, since small glyphs are drawn partly covered
// pixels, lighter than their colour.
inline constexpr double kFaintTarget = 5.0;

// Text that says less than the main text, yet reads at 4.5:1 or better on `background`: the
// palette's faint text where it does (some themes make it black at half opacity, unreadable on dark
// grey), else the main text mixed with the background only as far as it stays readable.
inline QColor secondaryText(const QPalette& palette, const QColor& background,
                            double emphasis = 0.7) {
    const QColor placeholder = over(palette.color(QPalette::PlaceholderText), background);
    if (emphasis >= 0.7 && contrast(placeholder, background) >= kFaintTarget) {
        return placeholder;
    }
    QColor text = palette.color(QPalette::WindowText);
    if (contrast(text, background) < contrast(palette.color(QPalette::Text), background)) {
        text = palette.color(QPalette::Text);
    }
    for (double amount = emphasis; amount < 1.0; amount += 0.05) {
        const QColor mixed = over(withAlpha(text, amount), background);
        if (contrast(mixed, background) >= kFaintTarget) {
            return mixed;
        }
    }
    return text;
}
inline QColor secondaryText(const QPalette& palette) {
    return secondaryText(palette, palette.color(QPalette::Window));
}

}  // namespace Colors
