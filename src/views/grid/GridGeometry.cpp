#include "views/grid/GridGeometry.h"

#include <algorithm>
#include <cmath>

GridGeometry::GridGeometry(qreal width) : m_width(width), m_columns(columnsPerRow(width)) {
    const qreal available = std::max<qreal>(0, width - 2 * kPadding);
    const qreal share = (available - (m_columns - 1) * kSpacing) / m_columns;
    m_columnWidth = std::clamp(share, kMinColumn, kMaxColumn);
}

qint64 GridGeometry::columnsPerRow(qreal width) {
    const qreal available = width - 2 * kPadding;
    if (available > kMinColumn) {
        return std::max<qint64>(
            1, static_cast<qint64>((available + kSpacing) / (kMinColumn + kSpacing)));
    }
    return 1;
}

QRectF GridGeometry::tileRect(qsizetype index) const {
    const qint64 row = index / m_columns;
    const qint64 column = index % m_columns;
    const qreal cellLeft = kPadding + column * (m_columnWidth + kSpacing);
    const qreal left = cellLeft + (m_columnWidth - kTile) / 2;
    const qreal top = kPadding + row * (kTile + kSpacing);
    return QRectF(left, top, kTile, kTile);
}

qreal GridGeometry::contentHeight(qsizetype count) const {
    const qint64 rows = (count + m_columns - 1) / m_columns;
    return 2 * kPadding + rows * kTile + std::max<qint64>(0, rows - 1) * kSpacing;
}

qsizetype GridGeometry::tileAt(const QPointF& point, qsizetype count) const {
    if (point.y() < kPadding || point.x() < kPadding) {
        return -1;
    }
    const qint64 row = static_cast<qint64>((point.y() - kPadding) / (kTile + kSpacing));
    const qint64 column = static_cast<qint64>((point.x() - kPadding) / (m_columnWidth + kSpacing));
    if (column >= m_columns) {
        return -1;
    }
    const qsizetype index = row * m_columns + column;
    return index < count && tileRect(index).contains(point) ? index : -1;
}

std::pair<qsizetype, qsizetype> GridGeometry::tilesBetween(qreal top, qreal bottom,
                                                           qsizetype count) const {
    const qreal pitch = kTile + kSpacing;
    const qint64 firstRow = std::max<qint64>(0, static_cast<qint64>((top - kPadding) / pitch));
    const qint64 lastRow = std::max<qint64>(0, static_cast<qint64>((bottom - kPadding) / pitch));
    const qsizetype first = std::min<qsizetype>(count, firstRow * m_columns);
    const qsizetype end = std::min<qsizetype>(count, (lastRow + 1) * m_columns);
    return {first, end};
}
