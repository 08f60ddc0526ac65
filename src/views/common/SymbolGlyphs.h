#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

// Symbols named like "tag.fill", drawn with a fitting glyph of the Material Design icons font.
namespace SymbolGlyphs {

// The font's ligature name for a symbol name; empty when the font has no fitting glyph.
QString glyphFor(const QString& symbol);

// The glyph drawn in `color`, `size` points square; a null pixmap when there is no glyph.
QPixmap pixmap(const QString& symbol, const QColor& color, int size, qreal devicePixelRatio = 1);
QIcon icon(const QString& symbol, const QColor& color, int size = 16);

}  // namespace SymbolGlyphs
