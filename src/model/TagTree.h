#pragma once

#include "model/TagNode.h"

#include <QStringList>

#include <functional>

// Walks over a forest of tags held by value. Look-ups return the first match of a depth-first,
// pre-order walk.
namespace TagTree {

const TagNode* find(const QUuid& id, const QList<TagNode>& nodes);

// Every name of the forest, each node followed by its subtree; duplicates kept.
QStringList allNames(const QList<TagNode>& nodes);

// Appends the names of the tag's ancestors, outermost first, to `names`; false (and `names`
// unchanged) when the id is not in the forest.
bool ancestorNames(const QUuid& id, const QList<TagNode>& nodes, QStringList& names);

// Applies `change` to every node with the id; true when one was found.
bool update(QList<TagNode>& nodes, const QUuid& id, const std::function<void(TagNode&)>& change);

// Drops every node with the id, with its subtree.
void remove(QList<TagNode>& nodes, const QUuid& id);

// Appends at the root level (null parent) or to the parent's children; false when the parent
// is not in the forest.
bool append(QList<TagNode>& nodes, const QUuid& parentID, const TagNode& node);

}  // namespace TagTree
