#pragma once

#include <QByteArray>

// Checks made on property-list bytes before the parser sees them: the parser aborts on text with
// an embedded NUL character and overflows its stack freeing lists nested tens of thousands deep.
namespace PropertyListScreen {

// Deeper than any list a tag store writes, far shallower than what hurts the parser.
inline constexpr int kMaxDepth = 256;

bool acceptsXml(const QByteArray& bytes);
bool acceptsBinary(const QByteArray& bytes);

}  // namespace PropertyListScreen
