#pragma once

#include "model/TagNode.h"

#include <QList>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>

// The session's undoable steps, newest last. A step may change the tree, the files, or both
// (a rename); its file part is a journal operation, known once its work has been planned.
class UndoHistory {
public:
    static constexpr qsizetype kLimit = 200;

    using FileOperation = std::shared_ptr<std::atomic<qint64>>;  // 0 until planned
    struct Step {
        QString label;  // "Rename “Beta”", shown as "Undo Rename “Beta”"
        std::optional<QList<TagNode>> treeBefore;
        std::optional<QList<TagNode>> treeAfter;
        // What undo or redo takes back next: the step's own operation, then each undo's or
        // redo's, so that redo restores exactly what undo restored.
        FileOperation files;
    };

    // A new step; the steps that could be redone are dropped.
    void push(Step step);
    const Step* nextUndo() const;
    const Step* nextRedo() const;
    // Moves past the step and returns it.
    Step takeUndo();
    Step takeRedo();
    void clear();

private:
    QList<Step> m_steps;
    qsizetype m_done = 0;  // steps before this index can be undone
};
