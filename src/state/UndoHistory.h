#pragma once

#include "model/TreeChange.h"
#include "platform/FileJournal.h"

#include <QList>
#include <QString>

#include <optional>

// The session's undoable steps, newest last. A step may change the tree, the files, or both
// (a rename); its file part is a journal operation.
class UndoHistory {
public:
    static constexpr qsizetype kLimit = 200;

    struct Step {
        QString label;  // "Rename “Beta”", shown as "Undo Rename “Beta”"
        TreeChange tree;
        // The journal operation that undo or redo takes back next: the step's own, then each
        // undo's or redo's, so that redo restores exactly what undo restored. 0: no files.
        qint64 files = 0;
        // A rename's tree side as the step made it, journaled with each undo and redo.
        std::optional<FileJournal::TreeRename> rename;
    };

    // A new step; the steps that could be redone are dropped.
    void push(Step step);
    const Step* nextUndo() const;
    const Step* nextRedo() const;
    // Moves past the step, which takes back `files` next (the undo's or redo's own operation).
    void stepBack(qint64 files);
    void stepForward(qint64 files);
    void clear();
    // The journal operation that takes back a step's files (`undo`) or makes them again: what it
    // takes back is kept with it in names, as the operations it takes back may be gone from the
    // journal by the time a later start finishes it.
    static FileJournal::Operation filesOperation(const Step& step, bool undo,
                                                 const FileJournal& journal);

private:
    QList<Step> m_steps;
    qsizetype m_done = 0;  // steps before this index can be undone
};
