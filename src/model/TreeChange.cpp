#include "model/TreeChange.h"

#include "model/TagTree.h"

#include <QSet>

#include <algorithm>

namespace {

bool locate(const QUuid& id, const QList<TagNode>& nodes, const QUuid& parent, QUuid& foundParent,
            qsizetype& index) {
    for (qsizetype i = 0; i < nodes.size(); ++i) {
        if (nodes[i].id == id) {
            foundParent = parent;
            index = i;
            return true;
        }
        if (locate(id, nodes[i].children, nodes[i].id, foundParent, index)) {
            return true;
        }
    }
    return false;
}

bool insertAt(QList<TagNode>& nodes, const QUuid& parent, qsizetype index, const TagNode& node) {
    if (parent.isNull()) {
        nodes.insert(std::clamp<qsizetype>(index, 0, nodes.size()), node);
        return true;
    }
    for (TagNode& candidate : nodes) {
        if (candidate.id == parent) {
            candidate.children.insert(std::clamp<qsizetype>(index, 0, candidate.children.size()),
                                      node);
            return true;
        }
        if (insertAt(candidate.children, parent, index, node)) {
            return true;
        }
    }
    return false;
}

void collectIds(const QList<TagNode>& nodes, QSet<QUuid>& ids) {
    for (const TagNode& node : nodes) {
        ids.insert(node.id);
        collectIds(node.children, ids);
    }
}

// A subtree put back leaves out the tags that are in the tree again by now: an id stays unique.
void dropPresent(QList<TagNode>& nodes, const QSet<QUuid>& present) {
    nodes.removeIf([&](const TagNode& node) { return present.contains(node.id); });
    for (TagNode& node : nodes) {
        dropPresent(node.children, present);
    }
}

void copyOwnFields(TagNode& to, const TagNode& from) {
    to.name = from.name;
    to.colorIndex = from.colorIndex;
    to.iconName = from.iconName;
    to.customIconData = from.customIconData;
    to.customColorHex = from.customColorHex;
}

}  // namespace

TreeChange TreeChange::between(const QList<TagNode>& before, const QList<TagNode>& after,
                               const QList<QUuid>& ids) {
    TreeChange change;
    const auto placeIn = [](const QList<TagNode>& tree, const QUuid& id) -> std::optional<Place> {
        Place place;
        if (!locate(id, tree, QUuid(), place.parent, place.index)) {
            return std::nullopt;
        }
        place.node = *TagTree::find(id, tree);
        return place;
    };
    for (const QUuid& id : ids) {
        Tag tag{id, placeIn(before, id), placeIn(after, id)};
        if (tag.before || tag.after) {
            change.m_tags.append(std::move(tag));
        }
    }
    return change;
}

void TreeChange::undo(QList<TagNode>& tree) const {
    for (auto it = m_tags.crbegin(); it != m_tags.crend(); ++it) {
        putTag(tree, *it, it->before, it->after);
    }
}

void TreeChange::redo(QList<TagNode>& tree) const {
    for (const Tag& tag : m_tags) {
        putTag(tree, tag, tag.after, tag.before);
    }
}

void TreeChange::putTag(QList<TagNode>& tree, const Tag& tag, const std::optional<Place>& to,
                        const std::optional<Place>& from) {
    if (!to) {
        TagTree::remove(tree, tag.id);
        return;
    }
    if (TagTree::find(tag.id, tree)) {
        // The tag's own fields as they were; its children are whatever they are now.
        TagTree::update(tree, tag.id, [&](TagNode& node) { copyOwnFields(node, to->node); });
        const bool moved = from && (from->parent != to->parent || from->index != to->index);
        if (!moved) {
            return;
        }
        TagNode node = *TagTree::find(tag.id, tree);
        TagTree::remove(tree, tag.id);
        if (!insertAt(tree, to->parent, to->index, node)) {
            tree.append(node);  // its old parent is gone: kept at the root level
        }
        return;
    }
    TagNode node = to->node;
    QSet<QUuid> present;
    collectIds(tree, present);
    dropPresent(node.children, present);
    if (!insertAt(tree, to->parent, to->index, node)) {
        tree.append(node);
    }
}
