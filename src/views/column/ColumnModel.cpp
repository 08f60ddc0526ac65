#include "views/column/ColumnModel.h"

#include "state/AppViewModel.h"
#include "views/common/SameItems.h"

ColumnModel::ColumnModel(AppViewModel& model, qsizetype column, QObject* parent)
    : QAbstractListModel(parent), m_model(model), m_column(column) {
    m_tags = m_model.sortedTagsForColumn(m_column);
    m_files = filesForColumn();
    m_loading = isLoadingColumn();
}

QList<FileItem> ColumnModel::filesForColumn() const {
    const QList<QUuid>& path = m_model.navigationPath();
    if (m_column < 1 || m_column > path.size()) {
        return {};
    }
    return m_model.filesPerTag().value(path[m_column - 1]);
}

bool ColumnModel::isLoadingColumn() const {
    const QList<QUuid>& path = m_model.navigationPath();
    return m_column >= 1 && m_column <= path.size() &&
           m_model.loadingTagIDs().contains(path[m_column - 1]);
}

QString ColumnModel::title() const {
    const auto id = m_model.columnTagID(m_column);
    const TagNode* tag = id ? AppViewModel::findTag(*id, m_model.hierarchy()) : nullptr;
    return tag ? tag->name : QStringLiteral("Tags");
}

int ColumnModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) {
        return 0;
    }
    return static_cast<int>(1 + m_tags.size() + (m_files.isEmpty() ? 0 : 1 + m_files.size()) +
                            (m_loading ? 1 : 0));
}

ColumnModel::Kind ColumnModel::kind(int row) const {
    if (row <= 0) {
        return Kind::TopStrip;
    }
    qsizetype rest = row - 1;
    if (rest < m_tags.size()) {
        return Kind::Tag;
    }
    rest -= m_tags.size();
    if (!m_files.isEmpty()) {
        if (rest == 0) {
            return Kind::Header;
        }
        if (rest - 1 < m_files.size()) {
            return Kind::File;
        }
        rest -= 1 + m_files.size();
    }
    return Kind::Loading;
}

const TagNode* ColumnModel::tagAt(int row) const {
    return kind(row) == Kind::Tag ? &m_tags[row - 1] : nullptr;
}

const FileItem* ColumnModel::fileAt(int row) const {
    return kind(row) == Kind::File ? &m_files[row - 2 - m_tags.size()] : nullptr;
}

int ColumnModel::rowOfTag(const QUuid& id) const {
    for (qsizetype i = 0; i < m_tags.size(); ++i) {
        if (m_tags[i].id == id) {
            return static_cast<int>(i + 1);
        }
    }
    return -1;
}

QVariant ColumnModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    if (role == KindRole) {
        return static_cast<int>(kind(index.row()));
    }
    if (role == Qt::ToolTipRole) {
        // Long names are cut in the middle on their row.
        if (const TagNode* tag = tagAt(index.row())) {
            return tag->name;
        }
        if (const FileItem* file = fileAt(index.row())) {
            return file->url.toLocalFile();
        }
        return {};
    }
    if (role == Qt::AccessibleTextRole && kind(index.row()) == Kind::TopStrip) {
        return title();
    }
    if (role == Qt::AccessibleTextRole && kind(index.row()) == Kind::Loading) {
        return QStringLiteral("Loading");
    }
    if (role == Qt::AccessibleDescriptionRole) {
        return tagAt(index.row())    ? QStringLiteral("Tag")
               : fileAt(index.row()) ? QStringLiteral("File")
                                     : QVariant();
    }
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
        if (const TagNode* tag = tagAt(index.row())) {
            return tag->name;
        }
        if (const FileItem* file = fileAt(index.row())) {
            return file->name;
        }
        if (kind(index.row()) == Kind::Header) {
            return QStringLiteral("Files");
        }
    }
    return {};
}

void ColumnModel::refresh() {
    QList<TagNode> tags = m_model.sortedTagsForColumn(m_column);
    QList<FileItem> files = filesForColumn();
    const bool loading = isLoadingColumn();
    const bool sameRows =
        loading == m_loading && sameItems(tags, m_tags) && sameItems(files, m_files);
    if (!sameRows) {
        beginResetModel();
    }
    m_tags = std::move(tags);
    m_files = std::move(files);
    m_loading = loading;
    if (!sameRows) {
        endResetModel();
    } else {
        emit dataChanged(index(0), index(rowCount() - 1));
    }
}
