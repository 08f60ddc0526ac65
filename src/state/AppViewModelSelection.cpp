// Selection, clicks and file actions.
#include "platform/Clock.h"
#include "platform/FilePreview.h"
#include "platform/Workspace.h"
#include "state/AppViewModel.h"

namespace {

// A second click closer than this to the first is a double click.
constexpr double kDoubleClickInterval = 0.35;

}  // namespace

void AppViewModel::openFile(const FileItem& file) {
    m_services.workspace.open(file.url);
}

void AppViewModel::revealFile(const FileItem& file) {
    m_services.workspace.reveal(file.url);
}

void AppViewModel::loadPreview(const QUrl& url, QObject* receiver,
                               std::function<void(const FilePreview&)> done) {
    m_services.previews.load(url, receiver, std::move(done));
}

void AppViewModel::clickFile(const FileItem& file, qsizetype column, bool fromGrid,
                             SelectMode mode) {
    commitInlineEdit();
    const double now = m_services.clock.now();
    if (m_lastClickedFileID == file.id && m_lastClickTime &&
        now - *m_lastClickTime < kDoubleClickInterval) {
        openFile(file);
        m_lastClickedFileID.reset();
        m_lastClickTime.reset();
        return;
    }
    selectFile(file, mode);
    if (!fromGrid && m_viewMode == ViewMode::Column) {
        truncateNavigationPath(column);
    }
    m_lastClickedFileID = file.id;
    m_lastClickTime = now;
}

void AppViewModel::selectFile(const FileItem& file, SelectMode mode) {
    if (mode == SelectMode::Replace) {
        setSelectedFileIDs({file.id});
        return;
    }
    QSet<QString> selection = m_selectedFileIDs;
    if (!selection.remove(file.id)) {
        selection.insert(file.id);
    }
    setSelectedFileIDs(selection);
}

void AppViewModel::clickTag(const TagNode& tag) {
    const double now = m_services.clock.now();
    const bool isDoubleClick = m_lastClickedTagID == tag.id && m_lastTagClickTime &&
                               now - *m_lastTagClickTime < kDoubleClickInterval;
    const bool isEditingTag = m_inlineEditingTagID == tag.id;
    if (isDoubleClick) {
        // On a selected tile the first click of the pair started a rename: the pair means
        // "enter", so that rename is dropped, not committed.
        isEditingTag ? cancelInlineEdit() : commitInlineEdit();
        enterTag(tag.id);
        m_lastClickedTagID.reset();
        m_lastTagClickTime.reset();
        return;
    }
    commitInlineEdit();
    // A click on the tile being renamed only ends the rename (and may begin a double click).
    if (!isEditingTag) {
        if (m_selectedTagID == tag.id) {
            beginRename(tag);
        } else {
            setSelectedTagID(tag.id);
        }
    }
    m_lastClickedTagID = tag.id;
    m_lastTagClickTime = now;
}

void AppViewModel::clickColumnTag(const TagNode& tag, qsizetype column, bool isEditing) {
    commitInlineEdit();
    if (isEditing) {
        return;
    }
    if (highlightedTagID(column) == tag.id) {
        beginRename(tag);
    } else {
        openTag(tag.id, column);
    }
}

void AppViewModel::clickGridBackground() {
    commitInlineEdit();
    clearSelection();
}

void AppViewModel::clickColumnBackground() {
    commitInlineEdit();
}

std::optional<QUuid> AppViewModel::highlightedTagID(qsizetype column) const {
    if (column < 0 || column >= m_navigationPath.size()) {
        return std::nullopt;
    }
    if (!m_selectedFileIDs.isEmpty() && column > 0) {
        for (const FileItem& file : m_filesPerTag.value(m_navigationPath[column - 1])) {
            if (m_selectedFileIDs.contains(file.id)) {
                return std::nullopt;
            }
        }
    }
    return m_navigationPath[column];
}

QList<FileItem> AppViewModel::selectedFiles() const {
    if (m_selectedFileIDs.isEmpty()) {
        return {};
    }
    QHash<QString, FileItem> byID;
    auto collect = [&](const QList<FileItem>& files) {
        for (const FileItem& file : files) {
            if (m_selectedFileIDs.contains(file.id) && !byID.contains(file.id)) {
                byID.insert(file.id, file);
            }
        }
    };
    collect(m_currentFiles);
    for (const QList<FileItem>& files : m_filesPerTag) {
        collect(files);
    }
    QList<FileItem> selected;
    for (const QString& id : m_selectedFileIDs) {
        if (const auto it = byID.constFind(id); it != byID.cend()) {
            selected.append(*it);
        }
    }
    return selected;
}

QList<QUrl> AppViewModel::selectedFileURLs() const {
    QList<QUrl> urls;
    for (const FileItem& file : selectedFiles()) {
        urls.append(file.url);
    }
    return urls;
}
