#include "state/UndoHistory.h"

void UndoHistory::push(Step step) {
    m_steps.resize(m_done);
    m_steps.append(std::move(step));
    if (m_steps.size() > kLimit) {
        m_steps.removeFirst();
    }
    m_done = m_steps.size();
}

const UndoHistory::Step* UndoHistory::nextUndo() const {
    return m_done > 0 ? &m_steps[m_done - 1] : nullptr;
}

const UndoHistory::Step* UndoHistory::nextRedo() const {
    return m_done < m_steps.size() ? &m_steps[m_done] : nullptr;
}

void UndoHistory::stepBack(qint64 files) {
    m_steps[--m_done].files = files;
}

void UndoHistory::stepForward(qint64 files) {
    m_steps[m_done++].files = files;
}

void UndoHistory::clear() {
    m_steps.clear();
    m_done = 0;
}

FileJournal::Operation UndoHistory::filesOperation(const Step& step, bool undo,
                                                   const FileJournal& journal) {
    FileJournal::Operation operation;
    operation.kind = FileJournal::Kind::Undo;
    operation.undoes = step.files;
    if (const auto taken = journal.operation(step.files)) {
        operation.edit = taken->edit.inverted();
    }
    if (step.rename) {
        operation.tree =
            undo ? FileJournal::TreeRename{step.rename->tag, step.rename->to, step.rename->from}
                 : *step.rename;
    }
    return operation;
}
