#include "views/grid/GridModel.h"

#include "state/AppViewModel.h"
#include "views/common/SameItems.h"

namespace {

QList<TagNode> levelTags(AppViewModel& model) {
    const auto current = model.currentTag();
    return current ? model.sortedChildren(current->children, current->id)
                   : model.sortedChildren(model.hierarchy(), std::nullopt);
}

}  // namespace

GridModel::GridModel(AppViewModel& model, QObject* parent)
    : QAbstractListModel(parent),
      m_model(model),
      m_tags(levelTags(model)),
      m_files(model.currentFiles()) {}

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_tags.size() + m_files.size());
}

const TagNode* GridModel::tagAt(int row) const {
    return row >= 0 && row < m_tags.size() ? &m_tags[row] : nullptr;
}

const FileItem* GridModel::fileAt(int row) const {
    const qsizetype index = row - m_tags.size();
    return row >= 0 && index >= 0 && index < m_files.size() ? &m_files[index] : nullptr;
}

int GridModel::rowOfTag(const QUuid& id) const {
    for (qsizetype i = 0; i < m_tags.size(); ++i) {
        if (m_tags[i].id == id) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    const TagNode* tag = tagAt(index.row());
    const FileItem* file = fileAt(index.row());
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return tag ? tag->name : file ? file->name : QVariant();
        case Qt::AccessibleDescriptionRole:
            return tag ? QStringLiteral("Tag") : file ? QStringLiteral("File") : QVariant();
        case Qt::ToolTipRole:
            // Names are cut to two lines on a tile; a file's tooltip tells its folder too.
            return tag ? tag->name : file ? file->url.toLocalFile() : QVariant();
        default:
            return {};
    }
}

void GridModel::refresh() {
    QList<TagNode> tags = levelTags(m_model);
    QList<FileItem> files = m_model.currentFiles();
    const bool sameTiles = sameItems(tags, m_tags) && sameItems(files, m_files);
    if (!sameTiles) {
        beginResetModel();
    }
    m_tags = std::move(tags);
    m_files = std::move(files);
    if (!sameTiles) {
        endResetModel();
    } else if (rowCount() > 0) {
        emit dataChanged(index(0), index(rowCount() - 1));
    }
}
