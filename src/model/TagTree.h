#pragma once

#include "model/TagNode.h"

#include <QStringList>

#include <functional>

// Walks over a forest of tags held by value. Look-ups return the first match of a depth-first,
// pre-order walk.
namespace TagTree {

// The deepest tree the file keeps: a tag may sit at most this many levels down, the root level
// being the first. The reader refuses deeper files, so the editor never makes one.
inline constexpr int kMaxLevels = 256;

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

// The ids of the tag's ancestors, outermost first; empty for a root tag or an unknown id.
QList<QUuid> ancestorIDs(const QUuid& id, const QList<TagNode>& nodes);

// The level of the tag (1 for a root tag), 0 when it is not in the forest.
int levelOf(const QUuid& id, const QList<TagNode>& nodes);

// The levels a subtree spans: 1 for a tag without children.
int height(const TagNode& node);

// Gives a fresh id to every node whose id is null or repeats an earlier node's (in pre-order),
// so that no operation aimed at one tag can reach another; the number of nodes changed.
int makeIdsUnique(QList<TagNode>& nodes);

}  // namespace TagTree
