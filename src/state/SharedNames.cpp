#include "state/SharedNames.h"

#include "model/TagTree.h"
#include "platform/TagNames.h"

#include <QSet>

namespace SharedNames {

namespace {

struct Placed {
    QUuid id;
    QString key;
    QStringList ancestors;
};

void place(const QList<TagNode>& nodes, QStringList& ancestors, QList<Placed>& all) {
    for (const TagNode& node : nodes) {
        all.append({node.id, TagNames::exactKey(node.name), ancestors});
        ancestors.append(node.name);
        place(node.children, ancestors, all);
        ancestors.removeLast();
    }
}

QList<Placed> everyTag(const QList<TagNode>& tree) {
    QList<Placed> all;
    QStringList ancestors;
    place(tree, ancestors, all);
    return all;
}

bool within(const QStringList& names, const QStringList& others) {
    QSet<QString> keys;
    for (const QString& name : others) {
        keys.insert(TagNames::exactKey(name));
    }
    return std::all_of(names.cbegin(), names.cend(), [&](const QString& name) {
        return keys.contains(TagNames::exactKey(name));
    });
}

// The ancestors of the other tags named as `tag` that a file of `tag` need not carry: a file
// carrying them belongs to one of those.
QList<QStringList> othersAncestors(const QList<Placed>& all, const Placed& tag,
                                   const QSet<QUuid>& skipped) {
    QList<QStringList> lists;
    for (const Placed& other : all) {
        if (other.key == tag.key && other.id != tag.id && !skipped.contains(other.id) &&
            !within(other.ancestors, tag.ancestors)) {
            lists.append(other.ancestors);
        }
    }
    return lists;
}

}  // namespace

std::optional<TagEdit::Guard> forRename(const QList<TagNode>& tree, const QUuid& id) {
    const QList<Placed> all = everyTag(tree);
    const auto tag =
        std::find_if(all.cbegin(), all.cend(), [&](const Placed& p) { return p.id == id; });
    if (tag == all.cend()) {
        return std::nullopt;
    }
    const bool shared = std::any_of(all.cbegin(), all.cend(), [&](const Placed& other) {
        return other.key == tag->key && other.id != id;
    });
    if (!shared) {
        return std::nullopt;
    }
    return TagEdit::Guard{TagTree::find(id, tree)->name, tag->ancestors,
                          othersAncestors(all, *tag, {})};
}

QList<TagEdit::Guard> forLift(const QList<TagNode>& tree, const QUuid& id) {
    const TagNode* lifted = TagTree::find(id, tree);
    if (!lifted) {
        return {};
    }
    const QList<Placed> all = everyTag(tree);
    QSet<QUuid> subtree;
    for (const Placed& inside : everyTag(lifted->children)) {
        subtree.insert(inside.id);
    }
    QList<TagEdit::Guard> guards;
    for (const Placed& tag : all) {
        if (!subtree.contains(tag.id)) {
            continue;
        }
        if (const QList<QStringList> others = othersAncestors(all, tag, subtree);
            !others.isEmpty()) {
            guards.append({TagTree::find(tag.id, tree)->name, {}, others});
        }
    }
    return guards;
}

}  // namespace SharedNames
