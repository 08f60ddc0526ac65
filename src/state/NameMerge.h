#pragma once

#include "model/TagNode.h"
#include "sources/FinderTag.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>
#include <QUuid>

#include <optional>

// The names on the user's files (and in the system's tag lists) joined to the tree. A name the
// tree lacks, in any Unicode spelling, becomes a root tag. Names given before the crawl has
// confirmed them are remembered, and leave again when the crawl finds them on no file, unless
// the user has made something of the tag since. A name that an edit of this session is taking
// off files never joins: it would bring back what the user renamed away, deleted or undid.
class NameMerge {
public:
    // Names an edit is taking off files from now on.
    void noteLeaving(const QStringList& names);
    // Path entries through `path` that an edit is rewriting or taking off files.
    void notePathLeaving(const QStringList& path);

    // Appends the names `tree` lacks, in the order given, in one change; returns how many. A
    // path entry ("Projects/Client") adds the part of its path the tree lacks, nested.
    // Unless `confirmed`, the tags added wait for the crawl's word (`takeBack`).
    int join(QList<TagNode>& tree, const QList<FinderTag>& tags, bool confirmed);

    // The crawl's word: waiting tags whose names it found on no file leave `tree`, unless they
    // were renamed, coloured, given an icon or tags inside since, or are `editing`. Returns
    // how many left.
    qsizetype takeBack(QList<TagNode>& tree, const QStringList& crawledNames,
                       std::optional<QUuid> editing);

    // The tree's names, one key per name however it is spelt.
    static QSet<QString> namesIn(const QList<TagNode>& tree);

private:
    struct Added {
        QString name;  // the name it was added with
        QString key;   // what must be on a file for it to stay
    };
    int joinPath(QList<TagNode>& tree, const QStringList& path, bool confirmed);
    qsizetype takeBackFrom(QList<TagNode>& level, const QSet<QString>& onFiles,
                           const std::optional<QUuid>& editing) const;

    QSet<QString> m_leaving;
    QHash<QUuid, Added> m_unconfirmed;
};
