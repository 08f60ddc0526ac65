#include "state/NameMerge.h"

#include "model/TagTree.h"
#include "platform/TagNames.h"
#include "platform/TagPaths.h"

namespace {

const TagNode* childNamed(const QList<TagNode>& level, const QString& name) {
    const QString key = TagNames::exactKey(name);
    for (const TagNode& node : level) {
        if (TagNames::exactKey(node.name) == key) {
            return &node;
        }
    }
    return nullptr;
}

}  // namespace

void NameMerge::noteLeaving(const QStringList& names) {
    for (const QString& name : names) {
        m_leaving.insert(TagNames::exactKey(name));
    }
}

void NameMerge::notePathLeaving(const QStringList& path) {
    m_leaving.insert(TagPaths::key(path));
}

int NameMerge::joinPath(QList<TagNode>& tree, const QStringList& path, bool confirmed) {
    for (qsizetype length = 1; length <= path.size(); ++length) {
        if (m_leaving.contains(TagPaths::key(path.first(length)))) {
            return 0;
        }
    }
    if (path.size() > TagTree::kMaxLevels) {
        return 0;  // deeper than the tree file keeps
    }
    // The part of the path the tree has already, then a new tag for each name after it.
    QUuid parent;
    const QList<TagNode>* level = &tree;
    qsizetype known = 0;
    while (known < path.size()) {
        const TagNode* node = childNamed(*level, path[known]);
        if (!node) {
            break;
        }
        parent = node->id;
        level = &node->children;
        ++known;
    }
    for (qsizetype i = known; i < path.size(); ++i) {
        const TagNode node = TagNode::make(path[i], 0);
        TagTree::append(tree, parent, node);
        if (!confirmed) {
            m_unconfirmed.insert(node.id, {path[i], TagPaths::key(path.first(i + 1))});
        }
        parent = node.id;
    }
    return path.size() > known ? 1 : 0;
}

int NameMerge::join(QList<TagNode>& tree, const QList<FinderTag>& tags, bool confirmed) {
    // Paths first: a name that a path nests is then found in the tree, not made a root tag.
    int appended = 0;
    for (const FinderTag& tag : tags) {
        if (const auto path = TagPaths::segments(tag.name)) {
            appended += joinPath(tree, *path, confirmed);
        }
    }
    QSet<QString> existing = namesIn(tree);
    for (const FinderTag& tag : tags) {
        // A name the list repeats, in any spelling, is in the tree once it has been appended.
        if (TagPaths::segments(tag.name)) {
            continue;
        }
        const QString key = TagNames::exactKey(tag.name);
        if (tag.name.isEmpty() || existing.contains(key) || m_leaving.contains(key)) {
            continue;
        }
        existing.insert(key);
        tree.append(TagNode::make(tag.name, tag.colorIndex));
        if (!confirmed) {
            m_unconfirmed.insert(tree.last().id, {tag.name, key});
        }
        ++appended;
    }
    return appended;
}

qsizetype NameMerge::takeBack(QList<TagNode>& tree, const QStringList& crawledNames,
                              std::optional<QUuid> editing) {
    QSet<QString> onFiles;
    for (const QString& name : crawledNames) {
        onFiles.insert(TagNames::exactKey(name));
        if (const auto path = TagPaths::segments(name)) {
            for (qsizetype length = 1; length <= path->size(); ++length) {
                onFiles.insert(TagPaths::key(path->first(length)));
            }
        }
    }
    const qsizetype gone = takeBackFrom(tree, onFiles, editing);
    m_unconfirmed.clear();
    return gone;
}

qsizetype NameMerge::takeBackFrom(QList<TagNode>& level, const QSet<QString>& onFiles,
                                  const std::optional<QUuid>& editing) const {
    // Deepest first: a tag a path added leaves with the tags it held, if they all leave.
    qsizetype gone = 0;
    for (TagNode& tag : level) {
        gone += takeBackFrom(tag.children, onFiles, editing);
    }
    const qsizetype before = level.size();
    level.removeIf([&](const TagNode& tag) {
        const auto added = m_unconfirmed.constFind(tag.id);
        return added != m_unconfirmed.cend() && added->name == tag.name &&
               !onFiles.contains(added->key) && tag.children.isEmpty() && tag.colorIndex == 0 &&
               !tag.iconName && !tag.customIconData && !tag.customColorHex && editing != tag.id;
    });
    return gone + before - level.size();
}

QSet<QString> NameMerge::namesIn(const QList<TagNode>& tree) {
    QSet<QString> names;
    for (const QString& name : TagTree::allNames(tree)) {
        names.insert(TagNames::exactKey(name));
    }
    return names;
}
