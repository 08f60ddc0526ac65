#pragma once

#include "model/FileItem.h"
#include "model/TagNode.h"

#include <QAbstractListModel>

class AppViewModel;

// The rows of one column, read from the view model: a top strip, the column's tags, then (when
// it has files) a "Files" header and its files, then a loading row while its files load. A
// bridge for the list view; the view model stays the owner of everything shown.
class ColumnModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum class Kind { TopStrip, Tag, Header, File, Loading };
    enum Role { KindRole = Qt::UserRole + 1 };

    ColumnModel(AppViewModel& model, qsizetype column, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    Kind kind(int row) const;
    const TagNode* tagAt(int row) const;
    const FileItem* fileAt(int row) const;
    int rowOfTag(const QUuid& id) const;
    qsizetype column() const { return m_column; }
    bool isLoading() const { return m_loading; }
    // What a screen reader calls the column: the tag it lists the children of, or "Tags".
    QString title() const;

    // Re-reads the view model: a reset when the rows changed, otherwise a repaint of them all.
    void refresh();

    QList<FileItem> filesForColumn() const;
    bool isLoadingColumn() const;

private:
    AppViewModel& m_model;
    qsizetype m_column;
    QList<TagNode> m_tags;
    QList<FileItem> m_files;
    bool m_loading = false;
};
