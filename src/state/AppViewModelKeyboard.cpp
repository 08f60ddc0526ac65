// The arrow keys: moving the focus through tags and files in both view modes.
#include "state/AppViewModel.h"

void AppViewModel::moveUp() {
    if (m_viewMode == ViewMode::Column) {
        moveInColumns(-1);
    } else {
        moveInGrid(-m_iconGridColumnsPerRow);
    }
}

void AppViewModel::moveDown() {
    if (m_viewMode == ViewMode::Column) {
        moveInColumns(1);
    } else {
        moveInGrid(m_iconGridColumnsPerRow);
    }
}

void AppViewModel::moveLeft() {
    if (m_viewMode == ViewMode::Icon) {
        moveInGrid(-1);
    } else if (!m_selectedFileIDs.isEmpty()) {
        setSelectedFileIDs({});
    } else {
        goBack();
    }
}

void AppViewModel::moveRight() {
    if (m_viewMode == ViewMode::Icon) {
        moveInGrid(1);
        return;
    }
    if (!m_selectedFileIDs.isEmpty()) {
        return;
    }
    const qsizetype length = m_navigationPath.size();
    const QList<TagNode> tags = sortedTagsForColumn(length);
    if (!tags.isEmpty()) {
        openTag(tags.first().id, length);
        return;
    }
    const QList<FileItem> files =
        length > 0 ? m_filesPerTag.value(m_navigationPath.last()) : QList<FileItem>();
    if (!files.isEmpty()) {
        selectOnlyFile(files.first().id);
    }
}

void AppViewModel::selectOnlyFile(const QString& id) {
    setSelectedFileIDs({id});
}

AppViewModel::GridItems AppViewModel::gridItems() {
    const auto current = currentTag();
    GridItems items;
    items.tags = current ? sortedChildren(current->children, current->id)
                         : sortedChildren(m_hierarchy, std::nullopt);
    items.files = m_currentFiles;
    return items;
}

void AppViewModel::moveInGrid(qint64 step) {
    const GridItems items = gridItems();
    const qsizetype count = items.tags.size() + items.files.size();
    if (count == 0) {
        return;
    }
    std::optional<qsizetype> focus;
    for (qsizetype i = 0; m_selectedTagID && i < items.tags.size(); ++i) {
        if (items.tags[i].id == *m_selectedTagID) {
            focus = i;
            break;
        }
    }
    if (!focus && !m_selectedFileIDs.isEmpty()) {
        const QString selected = *m_selectedFileIDs.cbegin();
        for (qsizetype i = 0; i < items.files.size(); ++i) {
            if (items.files[i].id == selected) {
                focus = items.tags.size() + i;
                break;
            }
        }
    }
    if (!focus) {
        selectGridItem(step < 1 ? count - 1 : 0);
        return;
    }
    const qint64 target = *focus + step;
    if (target < 0 || target >= count) {
        return;
    }
    const qint64 perRow = std::max<qint64>(1, m_iconGridColumnsPerRow);
    if ((step == 1 || step == -1) && *focus / perRow != target / perRow) {
        return;  // left and right never leave the row
    }
    selectGridItem(target);
}

void AppViewModel::selectGridItem(qsizetype index) {
    const GridItems items = gridItems();
    if (index < 0 || index >= items.tags.size() + items.files.size()) {
        return;
    }
    if (index < items.tags.size()) {
        setSelectedFileIDs({});
        setSelectedTagID(items.tags[index].id);
    } else {
        setSelectedTagID(std::nullopt);
        selectOnlyFile(items.files[index - items.tags.size()].id);
    }
}

QList<FileItem> AppViewModel::filesOfColumn(qsizetype column) const {
    if (column < 1 || column - 1 >= m_navigationPath.size()) {
        return {};
    }
    return m_filesPerTag.value(m_navigationPath[column - 1]);
}

void AppViewModel::moveInColumns(qint64 step) {
    if (m_navigationPath.isEmpty()) {
        const QList<TagNode> roots = sortedTagsForColumn(0);
        if (!roots.isEmpty()) {
            openTag(roots.first().id, 0);
        }
        return;
    }
    // Moves within one column's tags then files, clamped at both ends.
    auto moveTo = [&](qsizetype column, const QList<TagNode>& tags, const QList<FileItem>& files,
                      qsizetype position) {
        qint64 target = std::min<qint64>(position + step, tags.size() + files.size() - 1);
        target = std::max<qint64>(target, 0);
        if (target < tags.size()) {
            openTag(tags[target].id, column);
        } else {
            selectOnlyFile(files[target - tags.size()].id);
            truncateNavigationPath(column);
        }
    };
    if (!m_selectedFileIDs.isEmpty()) {
        const QString selected = *m_selectedFileIDs.cbegin();
        for (qsizetype column = m_navigationPath.size(); column >= 1; --column) {
            const QList<FileItem> files = filesOfColumn(column);
            for (qsizetype j = 0; j < files.size(); ++j) {
                if (files[j].id == selected) {
                    const QList<TagNode> tags = sortedTagsForColumn(column);
                    moveTo(column, tags, files, tags.size() + j);
                    return;
                }
            }
        }
        return;
    }
    const qsizetype column = m_navigationPath.size() - 1;
    const QList<TagNode> tags = sortedTagsForColumn(column);
    const QList<FileItem> files = filesOfColumn(column);
    for (qsizetype i = 0; i < tags.size(); ++i) {
        if (tags[i].id == m_navigationPath.last()) {
            moveTo(column, tags, files, i);
            return;
        }
    }
}
