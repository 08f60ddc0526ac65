#include "state/NameMerge.h"

#include "model/TagTree.h"
#include "platform/TagNames.h"

void NameMerge::noteLeaving(const QStringList& names) {
    for (const QString& name : names) {
        m_leaving.insert(TagNames::exactKey(name));
    }
}

int NameMerge::join(QList<TagNode>& tree, const QList<FinderTag>& tags, bool confirmed) {
    QSet<QString> existing = namesIn(tree);
    int appended = 0;
    for (const FinderTag& tag : tags) {
        // A name the list repeats, in any spelling, is in the tree once it has been appended.
        const QString key = TagNames::exactKey(tag.name);
        if (tag.name.isEmpty() || existing.contains(key) || m_leaving.contains(key)) {
            continue;
        }
        existing.insert(key);
        tree.append(TagNode::make(tag.name, tag.colorIndex));
        if (!confirmed) {
            m_unconfirmed.insert(tree.last().id, tag.name);
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
    }
    const qsizetype before = tree.size();
    tree.removeIf([&](const TagNode& tag) {
        const auto added = m_unconfirmed.constFind(tag.id);
        return added != m_unconfirmed.cend() && *added == tag.name &&
               !onFiles.contains(TagNames::exactKey(tag.name)) && tag.children.isEmpty() &&
               tag.colorIndex == 0 && !tag.iconName && !tag.customIconData && !tag.customColorHex &&
               editing != tag.id;
    });
    m_unconfirmed.clear();
    return before - tree.size();
}

QSet<QString> NameMerge::namesIn(const QList<TagNode>& tree) {
    QSet<QString> names;
    for (const QString& name : TagTree::allNames(tree)) {
        names.insert(TagNames::exactKey(name));
    }
    return names;
}
