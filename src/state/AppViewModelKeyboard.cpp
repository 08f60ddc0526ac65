// The arrow keys and typed names: moving the focus through tags and files in both view modes.
#include "platform/TagNames.h"
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

std::optional<qsizetype> AppViewModel::gridFocus(const GridItems& items) const {
    for (qsizetype i = 0; m_selectedTagID && i < items.tags.size(); ++i) {
        if (items.tags[i].id == *m_selectedTagID) {
            return i;
        }
    }
    if (!m_selectedFileIDs.isEmpty()) {
        const QString selected = *m_selectedFileIDs.cbegin();
        for (qsizetype i = 0; i < items.files.size(); ++i) {
            if (items.files[i].id == selected) {
                return items.tags.size() + i;
            }
        }
    }
    return std::nullopt;
}

void AppViewModel::moveInGrid(qint64 step) {
    const GridItems items = gridItems();
    const qsizetype count = items.tags.size() + items.files.size();
    if (count == 0) {
        return;
    }
    const std::optional<qsizetype> focus = gridFocus(items);
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

AppViewModel::ColumnFocus AppViewModel::columnFocus() {
    // The selected file's column (the rightmost that lists it), else the last opened tag's.
    if (!m_selectedFileIDs.isEmpty()) {
        const QString selected = *m_selectedFileIDs.cbegin();
        for (qsizetype column = m_navigationPath.size(); column >= 1; --column) {
            const QList<FileItem> files = filesOfColumn(column);
            for (qsizetype j = 0; j < files.size(); ++j) {
                if (files[j].id == selected) {
                    QList<TagNode> tags = sortedTagsForColumn(column);
                    const qsizetype position = tags.size() + j;
                    return {column, std::move(tags), files, position};
                }
            }
        }
        return {-1, {}, {}, std::nullopt};
    }
    if (m_navigationPath.isEmpty()) {
        return {0, sortedTagsForColumn(0), {}, std::nullopt};
    }
    const qsizetype column = m_navigationPath.size() - 1;
    ColumnFocus focus{column, sortedTagsForColumn(column), filesOfColumn(column), std::nullopt};
    for (qsizetype i = 0; i < focus.tags.size(); ++i) {
        if (focus.tags[i].id == m_navigationPath.last()) {
            focus.position = i;
        }
    }
    return focus;
}

void AppViewModel::selectInColumn(const ColumnFocus& focus, qsizetype index) {
    if (index < focus.tags.size()) {
        openTag(focus.tags[index].id, focus.column);
    } else {
        selectOnlyFile(focus.files[index - focus.tags.size()].id);
        truncateNavigationPath(focus.column);
    }
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
    const ColumnFocus focus = columnFocus();
    if (!focus.position) {
        return;
    }
    qint64 target =
        std::min<qint64>(*focus.position + step, focus.tags.size() + focus.files.size() - 1);
    selectInColumn(focus, std::max<qint64>(target, 0));
}

void AppViewModel::selectByPrefix(const QString& typed) {
    if (typed.isEmpty()) {
        return;
    }
    // The same letter typed again steps to the next item it begins, as in a file manager.
    const bool repeated = typed.count(typed.front()) == typed.size();
    const QString prefix = TagNames::searchKey(repeated ? typed.left(1) : typed);
    QStringList names;
    std::optional<qsizetype> focus;
    ColumnFocus column;
    if (m_viewMode == ViewMode::Column) {
        column = columnFocus();
        if (column.column < 0) {
            return;
        }
        focus = column.position;
        for (const TagNode& tag : column.tags) {
            names.append(tag.name);
        }
        for (const FileItem& file : column.files) {
            names.append(file.name);
        }
    } else {
        const GridItems items = gridItems();
        focus = gridFocus(items);
        for (const TagNode& tag : items.tags) {
            names.append(tag.name);
        }
        for (const FileItem& file : items.files) {
            names.append(file.name);
        }
    }
    const qsizetype count = names.size();
    const qsizetype start = focus ? *focus + (repeated ? 1 : 0) : 0;
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype index = (start + i) % count;
        if (TagNames::searchKey(names[index]).startsWith(prefix)) {
            if (m_viewMode == ViewMode::Column) {
                selectInColumn(column, index);
            } else {
                selectGridItem(index);
            }
            return;
        }
    }
}
