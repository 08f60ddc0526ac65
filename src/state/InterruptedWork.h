#pragma once

#include "model/TagNode.h"
#include "platform/FileJournal.h"

#include <QList>

#include <optional>

// What the journal holds from a session that ended before its file work was done (a crash, a
// kill, a logout, a quit with work queued): the operations to finish, in the order the user
// made them, and the tree with the renames whose tree side had not been saved yet.
struct InterruptedWork {
    QList<FileJournal::Operation> operations;
    // The tree with those renames made; absent when it needs none.
    std::optional<QList<TagNode>> tree;

    static InterruptedWork find(const FileJournal& journal, const QList<TagNode>& tree);
};
