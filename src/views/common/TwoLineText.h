#pragma once

#include <QFont>
#include <QString>

// A name broken into at most two lines of `width` points; the second line is shortened in the
// middle when the rest does not fit.
QString twoLineText(const QString& text, const QFont& font, int width);
