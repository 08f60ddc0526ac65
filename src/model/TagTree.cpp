#include "model/TagTree.h"

namespace TagTree {

const TagNode* find(const QUuid& id, const QList<TagNode>& nodes) {
    for (const TagNode& node : nodes) {
        if (node.id == id) {
            return &node;
        }
        if (const TagNode* found = find(id, node.children)) {
            return found;
        }
    }
    return nullptr;
}

namespace {

void collectNames(const QList<TagNode>& nodes, QStringList& names) {
    for (const TagNode& node : nodes) {
        names.append(node.name);
        collectNames(node.children, names);
    }
}

}  // namespace

QStringList allNames(const QList<TagNode>& nodes) {
    QStringList names;
    collectNames(nodes, names);
    return names;
}

bool ancestorNames(const QUuid& id, const QList<TagNode>& nodes, QStringList& names) {
    for (const TagNode& node : nodes) {
        if (node.id == id) {
            return true;
        }
        names.append(node.name);
        if (ancestorNames(id, node.children, names)) {
            return true;
        }
        names.removeLast();
    }
    return false;
}

bool update(QList<TagNode>& nodes, const QUuid& id, const std::function<void(TagNode&)>& change) {
    bool found = false;
    for (TagNode& node : nodes) {
        if (node.id == id) {
            change(node);
            found = true;
        }
        found = update(node.children, id, change) || found;
    }
    return found;
}

void remove(QList<TagNode>& nodes, const QUuid& id) {
    nodes.removeIf([&](const TagNode& node) { return node.id == id; });
    for (TagNode& node : nodes) {
        remove(node.children, id);
    }
}

bool append(QList<TagNode>& nodes, const QUuid& parentID, const TagNode& node) {
    if (parentID.isNull()) {
        nodes.append(node);
        return true;
    }
    for (TagNode& candidate : nodes) {
        if (candidate.id == parentID) {
            candidate.children.append(node);
            return true;
        }
        if (append(candidate.children, parentID, node)) {
            return true;
        }
    }
    return false;
}

}  // namespace TagTree
