#pragma once

#include <QRect>

class QPainter;
class QPalette;

// What the icon grid shows when a level has no tags and no files: a faint icon, a title and a
// line of help, centred.
namespace GridEmptyState {

// `inTag`: a tag is open (its level is empty), rather than the root having no tags at all.
void paint(QPainter& painter, const QRect& area, bool inTag, const QPalette& palette,
           qreal devicePixelRatio);

}  // namespace GridEmptyState
