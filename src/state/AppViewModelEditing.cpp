// Creating, renaming, deleting, moving and decorating tags.
#include "model/TagNames.h"
#include "model/TagTree.h"
#include "platform/FilePaths.h"
#include "platform/FileTagStore.h"
#include "platform/TaggedFileQuery.h"
#include "services/FileTagging.h"
#include "state/AppViewModel.h"

#include <QPointer>
#include <QTimer>

namespace {

constexpr int kReloadAfterRenameMs = 1500;

}  // namespace

void AppViewModel::updateTag(const QUuid& id, const std::function<void(TagNode&)>& change) {
    QList<TagNode> tree = m_hierarchy;
    TagTree::update(tree, id, change);
    setHierarchy(std::move(tree));
    saveHierarchy();
}

void AppViewModel::createTag(const QString& name, qint64 colorIndex,
                             std::optional<QUuid> parentID) {
    QList<TagNode> tree = m_hierarchy;
    if (TagTree::append(tree, parentID.value_or(QUuid()), TagNode::make(name, colorIndex))) {
        setHierarchy(std::move(tree));
    }
    saveHierarchy();
}

std::optional<QString> AppViewModel::newTagParentName() const {
    const TagNode* parent = m_newTagParentID ? findTag(*m_newTagParentID, m_hierarchy) : nullptr;
    return parent ? std::optional(parent->name) : std::nullopt;
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

void AppViewModel::renameTag(const QUuid& id, const QString& newName) {
    const QString trimmed = trimmedTagName(newName);
    if (trimmed.isEmpty()) {
        return;
    }
    updateTag(id, [&](TagNode& node) { node.name = trimmed; });
}

void AppViewModel::commitInlineEdit() {
    if (!m_inlineEditingTagID) {
        return;
    }
    const QUuid id = *m_inlineEditingTagID;
    const QString trimmed = trimmedTagName(m_inlineEditingText);
    if (trimmed.isEmpty()) {
        cancelInlineEdit();
        return;
    }
    const TagNode* tag = findTag(id, m_hierarchy);
    const std::optional<QString> oldName = tag ? std::optional(tag->name) : std::nullopt;
    renameTag(id, trimmed);
    setInlineEditingTagID(std::nullopt);
    if (oldName && *oldName != trimmed) {
        renameOnFiles(*oldName, trimmed);
    }
}

void AppViewModel::renameOnFiles(const QString& oldName, const QString& newName) {
    const QList<FileItem> snapshot = m_currentFiles;
    QPointer<AppViewModel> self(this);
    m_services.query.queryFilesWithTag(oldName, [=](const QList<QByteArray>& paths) {
        if (!self) {
            return;
        }
        // Thousands of files must not freeze the window: the writes run on the file thread,
        // each one a single read-modify-write, so a failure never leaves a file with neither
        // name.
        FileTagStore& store = self->m_services.tagStore;
        TaggedFileQuery& query = self->m_services.query;
        self->m_fileWork.start([=, &store, &query] {
            for (const QByteArray& path : paths) {
                const QUrl url = FilePaths::urlFromRawPath(path);
                if (!FileTagging::replaceTag(store, oldName, newName, url)) {
                    query.noteTagsWritten(path, FileTagging::readTagNames(store, url));
                }
            }
            if (!self) {
                return;
            }
            QMetaObject::invokeMethod(
                self.data(),
                [=] {
                    if (!self) {
                        return;
                    }
                    if (self->m_currentFiles.isEmpty()) {
                        self->setCurrentFiles(snapshot);
                    }
                    QTimer::singleShot(kReloadAfterRenameMs, self.data(), [self] {
                        self->clearFileCache();
                        self->loadFilesForCurrentTag();
                    });
                },
                Qt::QueuedConnection);
        });
    });
}

void AppViewModel::deleteTag(const QUuid& id) {
    QList<TagNode> tree = m_hierarchy;
    TagTree::remove(tree, id);
    setHierarchy(std::move(tree));
    // Ids of the deleted tag and of its subtree would name no tag any more: the path ends
    // above the first of them.
    qsizetype position = -1;
    for (qsizetype i = 0; i < m_navigationPath.size() && position < 0; ++i) {
        if (!findTag(m_navigationPath[i], m_hierarchy)) {
            position = i;
        }
    }
    if (position >= 0) {
        removeCachedFiles(m_navigationPath.mid(position));
        setNavigationPath(m_navigationPath.first(position));
    }
    saveHierarchy();
    if (position >= 0) {
        setSelectedTagID(std::nullopt);
        clearSelection();
        loadFilesForCurrentTag();
    }
}

void AppViewModel::moveTag(const QUuid& id, std::optional<QUuid> newParentID) {
    const TagNode* found = findTag(id, m_hierarchy);
    if (!found) {
        return;
    }
    const TagNode node = *found;
    if (newParentID && (*newParentID == id || findTag(*newParentID, node.children))) {
        return;  // a tag cannot move into itself or below itself
    }
    QList<TagNode> tree = m_hierarchy;
    TagTree::remove(tree, id);
    TagTree::append(tree, newParentID.value_or(QUuid()), node);
    setHierarchy(std::move(tree));
    saveHierarchy();
}

void AppViewModel::setColorIndex(qint64 colorIndex, const QUuid& tagID) {
    updateTag(tagID, [&](TagNode& node) {
        node.colorIndex = colorIndex;
        node.customColorHex.reset();
    });
}

void AppViewModel::setCustomColorHex(std::optional<QString> hex, const QUuid& tagID) {
    updateTag(tagID, [&](TagNode& node) { node.customColorHex = hex; });
}

void AppViewModel::setIconName(std::optional<QString> iconName, const QUuid& tagID) {
    updateTag(tagID, [&](TagNode& node) {
        node.iconName = iconName;
        node.customIconData.reset();
    });
}

void AppViewModel::setCustomIconData(std::optional<QByteArray> data, const QUuid& tagID) {
    updateTag(tagID, [&](TagNode& node) {
        if (data) {
            node.iconName.reset();
        }
        node.customIconData = data;
    });
}
