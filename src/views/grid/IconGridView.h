#pragma once

#include "views/common/ItemView.h"

#include <QAbstractItemView>
#include <QHash>

#include <optional>

class AppViewModel;
class GridGeometry;
class GridModel;
class GridTileDelegate;
class NameFieldHost;
class QVariantAnimation;

// One level of the tree as a grid: the level's tags as tiles with their child counts, then its
// files. Like a column, it is a view over a list model with a delegate that paints each tile,
// so a level of 10,000 files costs no more than the tiles in view. Clicks, drags, drops and
// menus go to the view model; the tile layout is GridGeometry's.
class IconGridView : public ItemView<QAbstractItemView> {
    Q_OBJECT

public:
    static const QString kSearchingText;

    explicit IconGridView(AppViewModel& model, QWidget* parent = nullptr);

    GridModel& tiles() const { return *m_tiles; }
    AppViewModel& viewModel() const { return m_model; }
    // The tile under a point of the viewport: an index into tags then files, -1 for none.
    qsizetype tileAt(const QPoint& point) const;
    QRect tileRect(qsizetype index) const;
    bool isShowingEmptyState() const;
    qsizetype tagCount() const;
    qsizetype fileCount() const;
    qreal dropEmphasis(const QUuid& id) const;
    // The menu of the selected tile, else the background's, as the Menu key opens it.
    void openMenuForSelection();

    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;

protected:
    QModelIndex moveCursor(CursorAction, Qt::KeyboardModifiers) override { return {}; }
    int horizontalOffset() const override { return 0; }
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex&) const override { return false; }
    // The selection lives in the view model, not in the view.
    void setSelection(const QRect&, QItemSelectionModel::SelectionFlags) override {}
    QRegion visualRegionForSelection(const QItemSelection&) const override { return {}; }
    void updateGeometries() override;

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    ItemDrag::PressedItem itemAt(const QPoint& point) const override;
    void clicked(const ItemDrag::PressedItem& item, Qt::KeyboardModifiers modifiers) override;
    bool dropped(const QPoint& point, const QMimeData& data) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void setupConnections();
    void refresh();
    void animateDropTarget();
    void paintLoadingLine(QPainter& painter, const GridGeometry& grid);
    GridGeometry geometry() const;
    std::optional<QRect> nameFieldRect(const QUuid& id) const;
    void showMenuAt(const QPoint& point, const QPoint& globalPos);  // point: in the viewport
    void showBackgroundMenu(const QPoint& globalPos);

    GridModel* m_tiles;
    GridTileDelegate* m_delegate;
    NameFieldHost* m_nameField;
    std::optional<QUuid> m_shownDropTarget;
    QHash<QUuid, qreal> m_emphasis;
    QVariantAnimation* m_dropAnimation;
};
