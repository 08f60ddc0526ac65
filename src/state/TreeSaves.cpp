#include "state/TreeSaves.h"

#include "model/HierarchyFile.h"
#include "platform/Log.h"

TreeSaves::TreeSaves() {
    m_thread.setMaxThreadCount(1);
}

TreeSaves::~TreeSaves() {
    wait();
}

std::optional<QString> TreeSaves::save(const QList<TagNode>& tree) {
    ++m_latest;
    std::lock_guard lock(m_writing);
    return HierarchyFile::save(tree);
}

void TreeSaves::saveInBackground(QList<TagNode> tree) {
    const quint64 mine = ++m_latest;
    m_thread.start([this, mine, tree = std::move(tree)] {
        std::lock_guard lock(m_writing);
        if (m_latest != mine) {
            return;  // a later save holds a later tree
        }
        if (const auto problem = HierarchyFile::save(tree)) {
            Log::line("saveHierarchy: could not save the tree: " + *problem);
        }
    });
}

void TreeSaves::wait() {
    m_thread.waitForDone();
}
