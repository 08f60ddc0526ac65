#include "platform/Workspace.h"
#include "state/AppViewModel.h"

// The menu bar's commands: each acts on what is selected, as the desktop's file managers do.

const TagNode* AppViewModel::selectedTag() const {
    // Selected files are the selection: no tag is, and tag commands have nothing to act on.
    if (!m_selectedFileIDs.isEmpty()) {
        return nullptr;
    }
    // The icon view's selected tile; in the columns the tag opened last is the selected row.
    const auto id = m_viewMode == ViewMode::Icon ? m_selectedTagID
                    : m_navigationPath.isEmpty() ? std::nullopt
                                                 : std::optional(m_navigationPath.last());
    return id ? findTag(*id, m_hierarchy) : nullptr;
}

bool AppViewModel::canOpenSelection() const {
    return !m_selectedFileIDs.isEmpty() || (m_viewMode == ViewMode::Icon && selectedTag());
}

void AppViewModel::openSelection() {
    const QList<QUrl> urls = selectedFileURLs();
    for (const QUrl& url : urls) {
        m_services.workspace.open(url);
    }
    if (urls.isEmpty() && m_viewMode == ViewMode::Icon) {
        if (const TagNode* tag = selectedTag()) {
            enterTag(tag->id);
        }
    }
}

void AppViewModel::revealSelection() {
    for (const QUrl& url : selectedFileURLs()) {
        m_services.workspace.reveal(url);
    }
}

void AppViewModel::beginRenameOfSelection() {
    if (const TagNode* tag = selectedTag()) {
        beginRename(*tag);
    }
}

void AppViewModel::deleteSelectedTag() {
    if (const TagNode* tag = selectedTag()) {
        deleteTag(tag->id);
    }
}
