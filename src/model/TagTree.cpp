#include "model/TagTree.h"

#include <QSet>

#include <algorithm>

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

// The tag's ancestors, outermost first; false (and `chain` unchanged) when it is not there.
bool collectAncestors(const QUuid& id, const QList<TagNode>& nodes, QList<const TagNode*>& chain) {
    for (const TagNode& node : nodes) {
        if (node.id == id) {
            return true;
        }
        chain.append(&node);
        if (collectAncestors(id, node.children, chain)) {
            return true;
        }
        chain.removeLast();
    }
    return false;
}

}  // namespace

QStringList allNames(const QList<TagNode>& nodes) {
    QStringList names;
    collectNames(nodes, names);
    return names;
}

bool ancestorNames(const QUuid& id, const QList<TagNode>& nodes, QStringList& names) {
    QList<const TagNode*> chain;
    if (!collectAncestors(id, nodes, chain)) {
        return false;
    }
    for (const TagNode* node : chain) {
        names.append(node->name);
    }
    return true;
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

QList<QUuid> ancestorIDs(const QUuid& id, const QList<TagNode>& nodes) {
    QList<const TagNode*> chain;
    collectAncestors(id, nodes, chain);
    QList<QUuid> ids;
    for (const TagNode* node : chain) {
        ids.append(node->id);
    }
    return ids;
}

int levelOf(const QUuid& id, const QList<TagNode>& nodes) {
    for (const TagNode& node : nodes) {
        if (node.id == id) {
            return 1;
        }
        if (const int below = levelOf(id, node.children)) {
            return below + 1;
        }
    }
    return 0;
}

int height(const TagNode& node) {
    int tallest = 0;
    for (const TagNode& child : node.children) {
        tallest = std::max(tallest, height(child));
    }
    return tallest + 1;
}

namespace {

void renewIds(QList<TagNode>& nodes, QSet<QUuid>& seen, int& renewed) {
    for (TagNode& node : nodes) {
        if (node.id.isNull() || seen.contains(node.id)) {
            node.id = QUuid::createUuid();
            ++renewed;
        }
        seen.insert(node.id);
        renewIds(node.children, seen, renewed);
    }
}

}  // namespace

int makeIdsUnique(QList<TagNode>& nodes) {
    QSet<QUuid> seen;
    int renewed = 0;
    renewIds(nodes, seen, renewed);
    return renewed;
}

}  // namespace TagTree
