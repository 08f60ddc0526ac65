#pragma once

#include <QStyledItemDelegate>
#include <QUuid>

#include <optional>

class AppViewModel;
class ColumnModel;

// Paints a column's rows (tag rows, the "Files" header, file rows, the loading row) from the
// view model's state.
class ColumnRowDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    static constexpr int kRowHeight = 24;
    static constexpr int kSpacing = 1;
    static constexpr int kTopStrip = 6;

    ColumnRowDelegate(AppViewModel& model, ColumnModel& rows, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The row's own rectangle inside the item rectangle (without the spacing above it).
    static QRect rowRect(const QRect& itemRect);

    // The column's opened tag, worked out once per paint rather than once per row.
    void setHighlightedTag(std::optional<QUuid> id) { m_highlighted = id; }
    // The row a context menu is open for, marked with an outline; -1 for none.
    void setMenuRow(int row) { m_menuRow = row; }
    static QRect nameRect(const QRect& itemRect);

private:
    void paintTagRow(QPainter& painter, const QStyleOptionViewItem& option, int row) const;
    void paintFileRow(QPainter& painter, const QStyleOptionViewItem& option, int row) const;
    void paintHeader(QPainter& painter, const QStyleOptionViewItem& option) const;
    void paintLoading(QPainter& painter, const QStyleOptionViewItem& option) const;

    AppViewModel& m_model;
    ColumnModel& m_rows;
    std::optional<QUuid> m_highlighted;
    int m_menuRow = -1;
};
