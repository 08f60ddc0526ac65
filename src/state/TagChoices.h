#pragma once

#include "model/FileItem.h"
#include "model/TagNode.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <QUuid>

// What the selected files carry, for the Tags dialog: each tag of the tree carried by all of
// them, some or none, and the names on them that the tree lacks. Read from the lists' snapshots,
// so the dialog opens without reading the disk.
class TagChoices {
public:
    enum class State { None, Some, All };

    TagChoices(const QList<TagNode>& tree, const QList<FileItem>& files);

    State stateOf(const QUuid& tagID) const { return m_tags.value(tagID, State::None); }
    // The names no tag of the tree has, in the order the files give them.
    const QStringList& otherNames() const { return m_otherNames; }
    State stateOf(const QString& otherName) const { return m_others.value(otherName, State::None); }
    qsizetype fileCount() const { return m_fileCount; }

private:
    qsizetype m_fileCount = 0;
    QHash<QUuid, State> m_tags;
    QStringList m_otherNames;
    QHash<QString, State> m_others;
};
