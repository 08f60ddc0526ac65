#pragma once

#include <QList>
#include <QWidget>

#include <functional>
#include <optional>

class AppViewModel;
class DividerHandle;
class SingleColumnView;

// Columns of one shared width side by side, a one-point divider after each, and dividers that
// can be dragged to resize every column at once. Column i spans x = i·w … (i+1)·w − 1; divider
// j (1-based) lies at x = j·w and takes the pointer within 4 points either side. The width is
// reported once, when a drag ends.
class ColumnLayoutView : public QWidget {
    Q_OBJECT

public:
    static constexpr qreal kDividerThickness = 1.0;
    static constexpr qreal kDividerReach = 4.0;

    explicit ColumnLayoutView(QWidget* parent = nullptr);

    // Adds or removes columns at the end only; existing columns are kept as they are.
    void update(qsizetype columnCount, AppViewModel& model, qreal columnWidth);

    qreal columnWidth() const { return m_columnWidth; }
    qreal minColumnWidth = 150.0;
    qreal maxColumnWidth = 400.0;
    std::function<void(qreal)> onColumnWidthChanged;
    const QList<SingleColumnView*>& columns() const { return m_columns; }

    // The divider (1-based) whose zone holds x, in this view's coordinates.
    std::optional<int> dividerAt(qreal x) const;

    // The drag state machine; the handles over the dividers drive it too.
    bool beginDrag(qreal x);
    void dragTo(qreal x);
    void endDrag();
    bool isDragging() const { return m_draggingDivider.has_value(); }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void relayout();

    QList<SingleColumnView*> m_columns;
    QList<DividerHandle*> m_handles;
    qreal m_columnWidth = 220.0;
    std::optional<int> m_draggingDivider;
    qreal m_dragStartX = 0;
    qreal m_dragStartWidth = 0;
};
