#pragma once

#include <QHash>
#include <QStyledItemDelegate>
#include <QUuid>

#include <optional>

class AppViewModel;
class GridModel;

// Paints the icon grid's tiles from the view model's state: a tag as a coloured folder with its
// child count, a file as its icon, each with its name and selected look. The grid tells it what
// only the grid knows: the tag whose name field is open, the drop emphasis of each tag and the
// tile a context menu is open for.
class GridTileDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    GridTileDelegate(AppViewModel& model, GridModel& tiles, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    void setEditedTag(std::optional<QUuid> id) { m_edited = id; }
    void setDropEmphasis(const QHash<QUuid, qreal>& emphasis) { m_emphasis = emphasis; }
    qreal dropEmphasis(const QUuid& id) const { return m_emphasis.value(id, 0); }
    void setMenuRow(int row) { m_menuRow = row; }

private:
    AppViewModel& m_model;
    GridModel& m_tiles;
    std::optional<QUuid> m_edited;
    QHash<QUuid, qreal> m_emphasis;
    int m_menuRow = -1;
};
