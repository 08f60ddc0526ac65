#pragma once

#include <QAccessibleWidget>
#include <QHash>

class IconGridView;

// The icon grid as a list of its tiles for screen readers; Qt knows nothing of the grid's own
// layout. The tiles' interfaces are made when first asked for and kept until the grid goes.
class IconGridAccessible : public QAccessibleWidget {
public:
    explicit IconGridAccessible(IconGridView* grid);
    ~IconGridAccessible() override;

    // Makes the grid's interface for Qt's accessibility; installed once.
    static void install();

    QString text(QAccessible::Text kind) const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;

private:
    IconGridView* grid() const;

    mutable QHash<int, QAccessible::Id> m_tiles;
};
