#pragma once

#include <QRectF>

#include <utility>

// Where the icon grid puts its tiles: adaptive columns 110 to 130 points wide and 16 apart,
// rows 16 apart, 20 points of padding all round, each 110-point tile centred in its cell.
class GridGeometry {
public:
    static constexpr qreal kPadding = 20;
    static constexpr qreal kMinColumn = 110;
    static constexpr qreal kMaxColumn = 130;
    static constexpr qreal kSpacing = 16;
    static constexpr qreal kTile = 110;
    // The "Searching files…" line below the tiles while files load.
    static constexpr qreal kLoadingLine = 44;

    explicit GridGeometry(qreal width);

    // As many columns as fit at the minimum width, at least one.
    static qint64 columnsPerRow(qreal width);

    qint64 columns() const { return m_columns; }
    QRectF tileRect(qsizetype index) const;
    qreal contentHeight(qsizetype count) const;
    // The tile under a point, -1 for the background.
    qsizetype tileAt(const QPointF& point, qsizetype count) const;
    // The tiles that meet the band from `top` to `bottom`: [first, end).
    std::pair<qsizetype, qsizetype> tilesBetween(qreal top, qreal bottom, qsizetype count) const;

private:
    qreal m_width;
    qint64 m_columns;
    qreal m_columnWidth;
};
