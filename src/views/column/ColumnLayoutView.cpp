#include "views/column/ColumnLayoutView.h"

#include "views/column/SingleColumnView.h"
#include "views/common/Colors.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

// A transparent strip over a divider's zone: it shows the resize cursor and hands presses and
// drags to the layout, in front of the columns it overlaps.
class DividerHandle : public QWidget {
public:
    explicit DividerHandle(ColumnLayoutView& layout) : QWidget(&layout), m_layout(layout) {
        setCursor(Qt::SizeHorCursor);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) {
            m_layout.beginDrag(mapTo(&m_layout, event->position()).x());
        }
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        m_layout.dragTo(mapTo(&m_layout, event->position()).x());
    }
    void mouseReleaseEvent(QMouseEvent*) override { m_layout.endDrag(); }

private:
    ColumnLayoutView& m_layout;
};

ColumnLayoutView::ColumnLayoutView(QWidget* parent) : QWidget(parent) {
    setObjectName("columnLayout");
}

void ColumnLayoutView::update(qsizetype columnCount, AppViewModel& model, qreal columnWidth) {
    m_columnWidth = columnWidth;
    while (m_columns.size() > columnCount) {
        // Later, not now: the event that shortened the path may still be running in it.
        SingleColumnView* column = m_columns.takeLast();
        column->hide();
        column->deleteLater();
        delete m_handles.takeLast();
    }
    while (m_columns.size() < columnCount) {
        auto* column = new SingleColumnView(model, m_columns.size(), this);
        m_columns.append(column);
        m_handles.append(new DividerHandle(*this));
        column->show();
    }
    relayout();
}

std::optional<int> ColumnLayoutView::dividerAt(qreal x) const {
    for (int j = 1; j <= m_columns.size(); ++j) {
        if (std::abs(x - j * m_columnWidth) <= kDividerReach) {
            return j;
        }
    }
    return std::nullopt;
}

bool ColumnLayoutView::beginDrag(qreal x) {
    const auto divider = dividerAt(x);
    if (!divider) {
        return false;
    }
    m_draggingDivider = divider;
    m_dragStartX = x;
    m_dragStartWidth = m_columnWidth;
    return true;
}

void ColumnLayoutView::dragTo(qreal x) {
    if (!m_draggingDivider) {
        return;
    }
    // Dividing by the divider's index keeps it under the pointer: every column to its left
    // grows or shrinks by the same amount.
    const qreal width = m_dragStartWidth + (x - m_dragStartX) / *m_draggingDivider;
    m_columnWidth = std::max(std::min(width, maxColumnWidth), minColumnWidth);
    relayout();
}

void ColumnLayoutView::endDrag() {
    if (!m_draggingDivider) {
        return;
    }
    m_draggingDivider.reset();
    if (onColumnWidthChanged) {
        onColumnWidthChanged(m_columnWidth);
    }
}

void ColumnLayoutView::relayout() {
    const int h = height();
    if (h <= 0) {
        return;
    }
    for (qsizetype i = 0; i < m_columns.size(); ++i) {
        const qreal left = i * m_columnWidth;
        m_columns[i]->setGeometry(QRectF(left, 0, m_columnWidth - kDividerThickness, h).toRect());
        const qreal divider = (i + 1) * m_columnWidth;
        m_handles[i]->setGeometry(
            QRectF(divider - kDividerReach, 0, 2 * kDividerReach + 1, h).toRect());
        m_handles[i]->raise();
    }
    QWidget::update();
}

void ColumnLayoutView::resizeEvent(QResizeEvent*) {
    relayout();
}

void ColumnLayoutView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (int j = 1; j <= m_columns.size(); ++j) {
        painter.fillRect(
            QRectF(j * m_columnWidth - kDividerThickness, 0, kDividerThickness, height()),
            Colors::separator(palette()));
    }
}

void ColumnLayoutView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !beginDrag(event->position().x())) {
        QWidget::mousePressEvent(event);
    }
}

void ColumnLayoutView::mouseMoveEvent(QMouseEvent* event) {
    dragTo(event->position().x());
}

void ColumnLayoutView::mouseReleaseEvent(QMouseEvent*) {
    endDrag();
}
