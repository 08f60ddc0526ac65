#pragma once

#include "model/TagNode.h"
#include "platform/TagEdit.h"

#include <optional>

// Two tags may share a name (Personal › Work, Projects › Work), while a file carries the name
// once. An edit of one of them must leave the name on the files that belong to the other: the
// guards here say which.
namespace SharedNames {

// Renaming the tag renames its name only on files carrying its ancestors' names, and not on
// files that carry another tag of that name's ancestors; none when no other tag has the name.
std::optional<TagEdit::Guard> forRename(const QList<TagNode>& tree, const QUuid& id);

// Lifting files out of the tag's subtree (its descendants' names taken off) keeps a name on a
// file that carries the ancestors of another tag of that name outside the subtree.
QList<TagEdit::Guard> forLift(const QList<TagNode>& tree, const QUuid& id);

}  // namespace SharedNames
