// Creating, renaming, deleting, moving and decorating tags.
#include "model/TagTree.h"
#include "platform/FileJournal.h"
#include "platform/TagNames.h"
#include "platform/TagPaths.h"
#include "state/AppViewModel.h"
#include "state/FileWorkQueue.h"
#include "state/SharedNames.h"
#include "state/TagArguments.h"

#include <QPointer>

namespace {

QString quoted(const QString& name) {
    return QStringLiteral("\u201c%1\u201d").arg(name);
}

}  // namespace

bool AppViewModel::editTree(const QString& label, const QList<QUuid>& ids,
                            const std::function<void(QList<TagNode>&)>& change, qint64 files,
                            std::optional<FileJournal::TreeRename> rename) {
    const QList<TagNode> before = m_hierarchy;
    QList<TagNode> tree = m_hierarchy;
    change(tree);
    if (tree == before && !files) {
        return false;
    }
    setHierarchy(std::move(tree));
    if (!saveHierarchy()) {
        setHierarchy(before);
        refuse(label, m_lastSaveError);
        return false;
    }
    pushUndoStep({label, TreeChange::between(before, m_hierarchy, ids), files, rename});
    return true;
}

void AppViewModel::updateTag(QUuid id, const QString& label,
                             const std::function<void(TagNode&)>& change) {
    const TagNode* tag = findTag(id, m_hierarchy);
    if (!tag) {
        return;
    }
    editTree(label.arg(quoted(tag->name)), {id},
             [&](QList<TagNode>& tree) { TagTree::update(tree, id, change); });
}

bool AppViewModel::canCreateTag(std::optional<QUuid> parentID) const {
    return !parentID || TagTree::levelOf(*parentID, m_hierarchy) < TagTree::kMaxLevels;
}

void AppViewModel::createTag(const QString& name, qint64 colorIndex,
                             std::optional<QUuid> parentID) {
    if (!canCreateTag(parentID)) {
        return;  // a deeper tree would be refused when it is read back
    }
    const TagNode node = TagNode::make(name, colorIndex);
    editTree("New Tag " + quoted(TagNames::trimmed(name)), {node.id}, [&](QList<TagNode>& tree) {
        TagTree::append(tree, parentID.value_or(QUuid()), node);
    });
}

std::optional<QString> AppViewModel::newTagParentName() const {
    const TagNode* parent = m_newTagParentID ? findTag(*m_newTagParentID, m_hierarchy) : nullptr;
    return parent ? std::optional(parent->name) : std::nullopt;
}

std::optional<QUuid> AppViewModel::columnTagID(qsizetype column) const {
    if (column < 1 || column > m_navigationPath.size()) {
        return std::nullopt;
    }
    return m_navigationPath[column - 1];
}

void AppViewModel::requestNewTag() {
    requestNewTagUnder(m_navigationPath.isEmpty() ? std::nullopt
                                                  : std::optional(m_navigationPath.last()));
}

void AppViewModel::requestNewTagInColumn(qsizetype column) {
    requestNewTagUnder(columnTagID(column));
}

void AppViewModel::requestNewTagUnder(std::optional<QUuid> parentID) {
    if (!canCreateTag(parentID)) {
        return;
    }
    // The parent first: the sheet reads it when it opens.
    setNewTagParentID(parentID);
    setShowNewTagSheet(true);
}

void AppViewModel::beginRename(const TagNode& tag) {
    // The text first: a view that opens its field on the id change reads it at once.
    setInlineEditingText(tag.name);
    setInlineEditingTagID(tag.id);
}

void AppViewModel::cancelInlineEdit() {
    setInlineEditingTagID(std::nullopt);
    setInlineEditingText(QString());
}

void AppViewModel::renameTag(QUuid id, const QString& newName) {
    const QString trimmed = TagNames::trimmed(newName);
    if (trimmed.isEmpty()) {
        return;
    }
    updateTag(id, "Rename %1", [&](TagNode& node) { node.name = trimmed; });
}

void AppViewModel::commitInlineEdit() {
    if (!m_inlineEditingTagID) {
        return;
    }
    const QUuid id = *m_inlineEditingTagID;
    const QString trimmed = TagNames::trimmed(m_inlineEditingText);
    const TagNode* tag = findTag(id, m_hierarchy);
    if (trimmed.isEmpty() || !tag) {
        cancelInlineEdit();
        return;
    }
    setInlineEditingTagID(std::nullopt);
    renameEverywhere(id, trimmed);
}

void AppViewModel::renameFromScript(const QString& tag, const QString& newName, Finished finished) {
    auto found = TagArguments::find(m_hierarchy, tag);
    if (const QString* problem = std::get_if<QString>(&found)) {
        finished(*problem);
        return;
    }
    const QString trimmed = TagNames::trimmed(newName);
    if (trimmed.isEmpty()) {
        finished(QStringLiteral("a tag needs a name"));
        return;
    }
    cancelInlineEdit();
    renameEverywhere(std::get<QUuid>(found), trimmed, std::move(finished));
}

void AppViewModel::renameEverywhere(const QUuid& id, const QString& trimmed, Finished finished) {
    const QString oldName = findTag(id, m_hierarchy)->name;
    if (oldName == trimmed) {
        if (finished) {
            finished({});
        }
        return;
    }
    // The files' side is in the journal, with the tree's, before the tree says the new name:
    // a crash in between renames both at the next start.
    const QString label = "Rename " + quoted(oldName);
    FileJournal::Operation operation;
    operation.edit = TagEdit::rename(oldName, trimmed);
    // KDE's path entries through the tag are renamed too ("Projects/Client/2024").
    operation.edit.pathFrom = pathNames(id);
    operation.edit.pathTo = operation.edit.pathFrom;
    operation.edit.pathTo.last() = trimmed;
    // Another tag of the old name keeps it on its files.
    const auto shared = SharedNames::forRename(m_hierarchy, id);
    if (shared) {
        operation.edit.guards = {*shared};
    }
    operation.tree = FileJournal::TreeRename{id, oldName, trimmed};
    const qint64 op = m_journal->begin(operation);
    if (!op) {
        refuse(label, m_journal->lastError());
        if (finished) {
            finished(m_fileWorkStatus);
        }
        return;
    }
    if (!editTree(
            label, {id},
            [&](QList<TagNode>& tree) {
                TagTree::update(tree, id, [&](TagNode& node) { node.name = trimmed; });
            },
            op, operation.tree)) {
        m_journal->finish(op);  // the tree could not be saved: nothing was done
        if (finished) {
            finished(m_fileWorkStatus);
        }
        return;
    }
    noteNamesLeaving(operation);
    renameOnFiles(op, shared ? oldName : QString(), std::move(finished));
}

void AppViewModel::deleteTag(QUuid id) {
    const TagNode* tag = findTag(id, m_hierarchy);
    if (!tag) {
        return;
    }
    const TagNode deleted = *tag;
    const QString label = "Delete " + quoted(deleted.name);
    // Plain names stay on the files; KDE's path entries of the branch are taken off them.
    const QStringList path = pathNames(id);
    const qint64 op = beginPathWork(label, TagEdit::movePath(path, {}));
    if (op < 0) {
        return;
    }
    if (!editTree(
            label, {id}, [&](QList<TagNode>& tree) { TagTree::remove(tree, id); }, op)) {
        m_journal->finish(op);
        return;
    }
    // The tags the names made are not brought back this session.
    m_nameMerge.noteLeaving(allTagNames({deleted}));
    m_nameMerge.notePathLeaving(path);
    rewritePathsOnFiles(op);
    keepNavigationInTree();
}

void AppViewModel::keepNavigationInTree() {
    // Ids of a deleted tag and of its subtree would name no tag any more: the path ends above
    // the first of them.
    qsizetype position = -1;
    for (qsizetype i = 0; i < m_navigationPath.size() && position < 0; ++i) {
        if (!findTag(m_navigationPath[i], m_hierarchy)) {
            position = i;
        }
    }
    if (position < 0) {
        return;
    }
    removeCachedFiles(m_navigationPath.mid(position));
    setNavigationPath(m_navigationPath.first(position));
    setSelectedTagID(std::nullopt);
    clearSelection();
    loadFilesForCurrentTag();
}

void AppViewModel::moveTag(QUuid id, std::optional<QUuid> newParentID) {
    const TagNode* found = findTag(id, m_hierarchy);
    if (!found) {
        return;
    }
    const TagNode node = *found;
    if (newParentID && (*newParentID == id || findTag(*newParentID, node.children))) {
        return;  // a tag cannot move into itself or below itself
    }
    // An unknown parent would drop the tag with its subtree; a move past the deepest level
    // would be refused when the tree is read back.
    const int parentLevel = newParentID ? TagTree::levelOf(*newParentID, m_hierarchy) : 0;
    if ((newParentID && parentLevel == 0) ||
        parentLevel + TagTree::height(node) > TagTree::kMaxLevels) {
        return;
    }
    const QStringList from = pathNames(id);
    QStringList to = newParentID ? pathNames(*newParentID) : QStringList();
    to.append(node.name);
    const QString label = "Move " + quoted(node.name);
    // KDE's path entries follow the tag: "Projects/Client/2024" becomes "Archive/Client/2024".
    const qint64 op = TagPaths::startsWith(to, from) && to.size() == from.size()
                          ? 0
                          : beginPathWork(label, TagEdit::movePath(from, to));
    if (op < 0) {
        return;
    }
    if (!editTree(
            label, {id},
            [&](QList<TagNode>& tree) {
                TagTree::remove(tree, id);
                TagTree::append(tree, newParentID.value_or(QUuid()), node);
            },
            op)) {
        if (op) {
            m_journal->finish(op);
        }
        return;
    }
    if (op) {
        m_nameMerge.notePathLeaving(from);
        rewritePathsOnFiles(op);
    }
    followMovedTag(id);
    // Once the files' path entries have moved too, and not before, their names tell.
    QPointer<AppViewModel> self(this);
    m_fileWork->enqueueStep([self, id](const std::function<void()>& next) {
        if (self) {
            self->sayHiddenFiles(id);
        }
        next();
    });
}

qint64 AppViewModel::beginPathWork(const QString& label, const TagEdit& edit) {
    FileJournal::Operation operation;
    operation.edit = edit;
    const qint64 op = m_journal->begin(operation);
    if (!op) {
        refuse(label, m_journal->lastError());
        return -1;
    }
    return op;
}

void AppViewModel::followMovedTag(const QUuid& id) {
    // An opened tag that moved stays opened, at its new place: the path up to it becomes its
    // new chain of ancestors, and the lists reload, since the names they match changed.
    const qsizetype position = m_navigationPath.indexOf(id);
    if (position < 0) {
        return;
    }
    QList<QUuid> path = TagTree::ancestorIDs(id, m_hierarchy);
    path += m_navigationPath.mid(position);
    if (path == m_navigationPath) {
        return;
    }
    clearFileCache();
    setNavigationPath(std::move(path));
    clearSelection();
    loadFilesForCurrentTag();
}

void AppViewModel::setColorIndex(qint64 colorIndex, QUuid tagID) {
    updateTag(tagID, "Set Color of %1", [&](TagNode& node) {
        node.colorIndex = colorIndex;
        node.customColorHex.reset();
    });
}

void AppViewModel::setCustomColorHex(std::optional<QString> hex, QUuid tagID) {
    updateTag(tagID, "Set Color of %1", [&](TagNode& node) { node.customColorHex = hex; });
}

void AppViewModel::setIconName(std::optional<QString> iconName, QUuid tagID) {
    updateTag(tagID, "Set Icon of %1", [&](TagNode& node) {
        node.iconName = iconName;
        node.customIconData.reset();
    });
}

void AppViewModel::setCustomIconData(std::optional<QByteArray> data, QUuid tagID) {
    updateTag(tagID, "Set Icon of %1", [&](TagNode& node) {
        if (data) {
            node.iconName.reset();
        }
        node.customIconData = data;
    });
}
