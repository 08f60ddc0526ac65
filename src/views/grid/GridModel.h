#pragma once

#include "model/FileItem.h"
#include "model/TagNode.h"

#include <QAbstractListModel>

class AppViewModel;

// The tiles of the icon grid, read from the view model: the current level's tags in name order,
// then the current tag's files. A bridge for the grid view; the view model stays the owner of
// everything shown.
class GridModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit GridModel(AppViewModel& model, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    const TagNode* tagAt(int row) const;
    const FileItem* fileAt(int row) const;
    int rowOfTag(const QUuid& id) const;
    qsizetype tagCount() const { return m_tags.size(); }
    qsizetype fileCount() const { return m_files.size(); }

    // Re-reads the view model: a reset when the tiles changed, otherwise a repaint of them all.
    void refresh();

private:
    AppViewModel& m_model;
    QList<TagNode> m_tags;
    QList<FileItem> m_files;
};
