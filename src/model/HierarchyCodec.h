#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

struct TagNode;

// The JSON form of the tag tree. The writer produces one exact byte layout (sorted keys,
// two-space indentation, " : ", escaped solidus) so that saved files are stable and diffable;
// the reader accepts any valid JSON and is all-or-nothing.
namespace HierarchyCodec {

QByteArray encode(const QList<TagNode>& forest);

// Absent when anything in the tree breaks the format; never a partial forest.
std::optional<QList<TagNode>> decode(const QByteArray& bytes);

// Trees deeper than TagTree::kMaxLevels are refused by the reader, so a hostile file cannot
// exhaust the stack.

}  // namespace HierarchyCodec
