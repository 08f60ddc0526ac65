#pragma once

#include "model/TagNode.h"

#include <QStringList>

// How a drop writes a nested tag onto files: each name along its path (Orvane's and the
// Finder's way), or one path entry "Projects/Client" (KDE Dolphin's). The user's choice; until
// there is one, the first names the index finds on files choose the form they hold most.
class NestedTagStyle {
public:
    NestedTagStyle();

    bool writesPaths() const { return m_paths; }
    // Keeps the choice for later sessions; false (and nothing changed) when it cannot be kept.
    bool choose(bool paths);
    // Without a choice yet: paths when the names on files hold more path entries than names of
    // the tree's nested tags, kept as the choice. True when it chose.
    bool chooseFrom(const QStringList& namesOnFiles, const QList<TagNode>& tree);

    struct Names {
        QStringList adding;
        QString note;  // why the path was written as names, for the status line
    };
    // What a drop on the tag at the end of `path` (names from the root down) writes.
    Names namesFor(const QStringList& path) const;

private:
    bool m_chosen = false;  // read once: the file is not asked again at every merge
    bool m_paths = false;
};
