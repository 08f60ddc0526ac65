// Undo and redo: each step takes back its tree change and, through the journal, what it did to
// files, entry by entry, after the work it takes back.
#include "platform/FileJournal.h"
#include "state/AppViewModel.h"
#include "state/FileWorkStatus.h"

#include <QPointer>

using FileWorkStatus::kUndoing;

void AppViewModel::pushUndoStep(UndoHistory::Step step) {
    m_history.push(std::move(step));
    emit historyChanged();
}

std::optional<QString> AppViewModel::undoLabel() const {
    const auto* step = m_history.nextUndo();
    return step ? std::optional("Undo " + step->label) : std::nullopt;
}

std::optional<QString> AppViewModel::redoLabel() const {
    const auto* step = m_history.nextRedo();
    return step ? std::optional("Redo " + step->label) : std::nullopt;
}

void AppViewModel::undo() {
    takeBack(true);
}

void AppViewModel::redo() {
    takeBack(false);
}

void AppViewModel::takeBack(bool undo) {
    const UndoHistory::Step* found = undo ? m_history.nextUndo() : m_history.nextRedo();
    if (!found) {
        return;
    }
    cancelInlineEdit();
    const UndoHistory::Step step = *found;
    const QString label = (undo ? "Undo " : "Redo ") + step.label;
    // The files' side first, in the journal: what it takes back is finished first, whether
    // now or at the next start.
    qint64 op = 0;
    FileJournal::Operation operation;
    if (step.files) {
        operation = UndoHistory::filesOperation(step, undo, *m_journal);
        op = m_journal->begin(operation);
        if (!op) {
            refuse(label, m_journal->lastError());
            return;
        }
    }
    if (!step.tree.isEmpty()) {
        QList<TagNode> tree = m_hierarchy;
        undo ? step.tree.undo(tree) : step.tree.redo(tree);
        const QList<TagNode> before = m_hierarchy;
        setHierarchy(std::move(tree));
        if (!saveHierarchy()) {
            setHierarchy(before);
            if (op) {
                m_journal->finish(op);
            }
            refuse(label, m_lastSaveError);
            return;
        }
        keepNavigationInTree();
    }
    undo ? m_history.stepBack(op) : m_history.stepForward(op);
    emit historyChanged();
    if (op) {
        noteNamesLeaving(operation);
        QPointer<AppViewModel> self(this);
        enqueueOperation(op, kUndoing,
                         [self](const FileWork::Summary&) { self->reloadAfterFileWork(); });
    } else {
        reloadAfterFileWork();
    }
}
