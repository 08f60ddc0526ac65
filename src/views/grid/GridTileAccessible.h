#pragma once

#include <QAccessibleInterface>
#include <QPointer>

class IconGridView;

// One tile of the icon grid as a screen reader meets it: a list item named after its tag or
// file, selectable, with its place on screen. Reads the grid each time, so it never goes stale.
class GridTileAccessible : public QAccessibleInterface {
public:
    GridTileAccessible(IconGridView* grid, int row) : m_grid(grid), m_row(row) {}

    bool isValid() const override;
    QObject* object() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text kind) const override;
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override;
    int row() const { return m_row; }

private:
    QPointer<IconGridView> m_grid;
    int m_row;
};
