#include "model/TagColors.h"

#include "model/TagNode.h"

namespace TagColors {
namespace {

const QColor kSystemGray(142, 142, 147);
const QColor kGray(128, 128, 128);
const QColor kGreen(52, 199, 89);
const QColor kPurple(175, 82, 222);
const QColor kBlue(0, 122, 255);
const QColor kYellow(255, 204, 0);
const QColor kRed(255, 59, 48);
const QColor kOrange(255, 149, 0);

bool isHexDigit(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// The hexadecimal scanner this format was first read with also took a single leading "+", and
// a "-" followed only by zeros; both are kept so that stored values read the same everywhere.
std::optional<quint32> parseHex6(const QString& digits) {
    QStringView body = digits;
    bool negative = false;
    if (body.startsWith(u'+') || body.startsWith(u'-')) {
        negative = body.startsWith(u'-');
        body = body.mid(1);
    }
    if (body.isEmpty()) {
        return std::nullopt;
    }
    quint32 value = 0;
    for (const QChar c : body) {
        if (!isHexDigit(c)) {
            return std::nullopt;
        }
        value = value * 16 + static_cast<quint32>(QString(c).toUInt(nullptr, 16));
    }
    if (negative && value != 0) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

QColor colorForIndex(qint64 index) {
    switch (index) {
        case 1:
            return kGray;
        case 2:
            return kGreen;
        case 3:
            return kPurple;
        case 4:
            return kBlue;
        case 5:
            return kYellow;
        case 6:
            return kRed;
        case 7:
            return kOrange;
        default:
            return kSystemGray;
    }
}

const QList<PaletteEntry>& finderColorPalette() {
    static const QList<PaletteEntry> palette = {
        {"None", kSystemGray, 0}, {"Green", kGreen, 2}, {"Purple", kPurple, 3}, {"Blue", kBlue, 4},
        {"Yellow", kYellow, 5},   {"Red", kRed, 6},     {"Orange", kOrange, 7},
    };
    return palette;
}

std::optional<QColor> colorFromHex(const QString& text) {
    QString digits = text.trimmed();
    digits.remove(u'#');
    if (digits.size() != 6) {
        return std::nullopt;
    }
    const auto value = parseHex6(digits);
    if (!value) {
        return std::nullopt;
    }
    return QColor::fromRgbF(((*value >> 16) & 0xFF) / 255.0f, ((*value >> 8) & 0xFF) / 255.0f,
                            (*value & 0xFF) / 255.0f, 1.0f);
}

QString hexFromColor(const QColor& color) {
    if (!color.isValid()) {
        return QStringLiteral("808080");
    }
    const QColor rgb = color.toRgb();
    // Components outside 0…1 are clamped so that the result is always six digits.
    auto channel = [](float component) {
        return std::clamp(static_cast<int>(component * 255.0f), 0, 255);
    };
    return QString::asprintf("%02X%02X%02X", channel(rgb.redF()), channel(rgb.greenF()),
                             channel(rgb.blueF()));
}

QColor displayColor(const TagNode& node) {
    if (node.customColorHex) {
        if (const auto color = colorFromHex(*node.customColorHex)) {
            return *color;
        }
    }
    return colorForIndex(node.colorIndex);
}

}  // namespace TagColors
