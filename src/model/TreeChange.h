#pragma once

#include "model/TagNode.h"

#include <QList>

#include <optional>

// What one edit changed in the tag tree, node by node: the edited tags as they stood before and
// after (their place and their own fields; a tag that came or went with its whole subtree).
// Undo and redo change only those tags, so that tags added to the tree since (names merged from
// the files, other edits' results) stay as they are.
class TreeChange {
public:
    // The tags `ids` as they stand in `before` and in `after`.
    static TreeChange between(const QList<TagNode>& before, const QList<TagNode>& after,
                              const QList<QUuid>& ids);

    bool isEmpty() const { return m_tags.isEmpty(); }
    void undo(QList<TagNode>& tree) const;
    void redo(QList<TagNode>& tree) const;

private:
    struct Place {
        QUuid parent;  // null: the root level
        qsizetype index = 0;
        TagNode node;  // with its subtree as it was
    };
    struct Tag {
        QUuid id;
        std::optional<Place> before;
        std::optional<Place> after;
    };
    static void putTag(QList<TagNode>& tree, const Tag& tag, const std::optional<Place>& to,
                       const std::optional<Place>& from);

    QList<Tag> m_tags;
};
