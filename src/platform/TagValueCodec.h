#pragma once

#include <QByteArray>
#include <QList>

// The text of the user.xdg.tags attribute: entries joined by ",". Other desktop tools have no
// escape for a comma inside a name, so Orvane writes a comma as "\," and doubles a backslash
// only where it would otherwise be misread (before a comma, before another backslash, at the
// end of a name): plain names and names with single backslashes are byte-identical with what
// those tools write. Lists are edited entry by entry, so an entry Orvane does not touch keeps
// its exact bytes.
namespace TagValueCodec {

// The value's entries with their exact bytes (blanks, escapes, empty entries), split at the
// commas that no backslash escapes; an empty value has none.
QList<QByteArray> entries(const QByteArray& value);

// The name an entry stands for: the two escapes undone (a backslash before anything else is
// kept) and the blanks around it trimmed; empty for an empty entry.
QByteArray entryName(const QByteArray& entry);

// Entries as one value. An entry ending in a lone backslash (only ever the last one another
// program wrote) stays last, since before a comma its backslash would escape it.
QByteArray join(QList<QByteArray> entries);

// A name as Orvane writes it into a list.
QByteArray encodeName(const QByteArray& name);

// The names of a value, empty entries dropped.
QList<QByteArray> decode(const QByteArray& value);

// Names as a whole new value.
QByteArray encode(const QList<QByteArray>& names);

}  // namespace TagValueCodec
