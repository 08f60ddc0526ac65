#include "state/InterruptedWork.h"

#include "model/TagTree.h"

InterruptedWork InterruptedWork::find(const FileJournal& journal, const QList<TagNode>& tree) {
    InterruptedWork work;
    work.operations = journal.unfinished();
    // A rename's tree side is journaled with it: a crash before the tree was saved leaves the
    // tag to be renamed here, in the order the renames were made.
    QList<TagNode> renamed = tree;
    bool changed = false;
    for (const FileJournal::Operation& operation : std::as_const(work.operations)) {
        if (const auto& rename = operation.tree) {
            TagTree::update(renamed, rename->tag, [&](TagNode& node) {
                if (node.name == rename->from) {
                    node.name = rename->to;
                    changed = true;
                }
            });
        }
    }
    if (changed) {
        work.tree = std::move(renamed);
    }
    return work;
}
