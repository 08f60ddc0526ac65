#pragma once

#include <QColor>
#include <QList>
#include <QString>

#include <optional>

struct TagNode;

// The numbered tag colours, the palette offered to the user and the hex conversions.
namespace TagColors {

struct PaletteEntry {
    QString name;
    QColor color;
    qint64 index;
};

// The display colour of a colour index; 0 and any unknown index give the system gray, which is
// kept distinct from the plain gray of index 1.
QColor colorForIndex(qint64 index);

// Seven choices: None, Green, Purple, Blue, Yellow, Red, Orange (index 1 is not offered).
const QList<PaletteEntry>& finderColorPalette();

// Six hex digits, blanks around and any "#" ignored; absent when malformed.
std::optional<QColor> colorFromHex(const QString& text);

// "RRGGBB", upper case, components truncated toward zero; "808080" for an invalid colour.
QString hexFromColor(const QColor& color);

// The custom hex colour when it parses, otherwise the colour of the index.
QColor displayColor(const TagNode& node);

}  // namespace TagColors
