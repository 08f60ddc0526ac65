#pragma once

#include "views/common/ItemView.h"

#include <QListView>
#include <QPoint>
#include <QUuid>

#include <optional>

class AppViewModel;
class ColumnModel;
class ColumnRowDelegate;
class NameFieldHost;

// One column of the column browser: its tag rows, the "Files" section, the loading row, the
// clicks, drags, drops and context menus. Built once for its index and redrawn from the view
// model; rows are painted by a delegate, so a column of 10,000 files builds no widget per row.
class SingleColumnView : public ItemView<QListView> {
    Q_OBJECT

public:
    SingleColumnView(AppViewModel& model, qsizetype column, QWidget* parent = nullptr);

    qsizetype column() const { return m_column; }
    ColumnModel& rows() const { return *m_rows; }

    // The row under a point of the viewport, -1 for the empty area.
    int rowAt(const QPoint& point) const;
    // The menu of the selected file or the opened tag in this column, as the Menu key opens
    // it; false when neither is in this column.
    bool openMenuForSelection();
    void openColumnMenu() { showColumnMenu(mapToGlobal(rect().center())); }

protected:
    ItemDrag::PressedItem itemAt(const QPoint& point) const override;
    void clicked(const ItemDrag::PressedItem& item, Qt::KeyboardModifiers modifiers) override;
    bool dropped(const QPoint& point, const QMimeData& data) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void updateGeometries() override;

private:
    void setupConnections();
    bool isEditing(const QUuid& id) const;
    std::optional<QRect> nameFieldRect(const QUuid& id) const;
    void showMenuAt(int row, const QPoint& globalPos);  // row -1: the column's own menu
    void showTagMenu(int row, const QPoint& globalPos);
    void showFileMenu(int row, const QPoint& globalPos);
    void showColumnMenu(const QPoint& globalPos);

    qsizetype m_column;
    ColumnModel* m_rows;
    ColumnRowDelegate* m_delegate;
    NameFieldHost* m_nameField;
};
