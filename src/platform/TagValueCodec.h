#pragma once

#include <QByteArray>
#include <QList>

// The text of the user.xdg.tags attribute: names joined by ",". Other desktop tools have no
// escape for a comma inside a name, so a comma is written as "\," and a backslash as "\\";
// plain names stay byte-identical with what those tools write.
namespace TagValueCodec {

// Splits at unescaped commas, undoes the two escapes (a backslash before anything else is
// kept), trims blanks around each name (older tools wrote ", ") and drops empty names.
QList<QByteArray> decode(const QByteArray& value);

QByteArray encode(const QList<QByteArray>& names);

}  // namespace TagValueCodec
