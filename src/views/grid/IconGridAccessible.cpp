#include "views/grid/IconGridAccessible.h"

#include "state/AppViewModel.h"
#include "views/grid/GridModel.h"
#include "views/grid/GridTileAccessible.h"
#include "views/grid/IconGridView.h"

namespace {

QAccessibleInterface* makeInterface(const QString& className, QObject* object) {
    auto* grid = qobject_cast<IconGridView*>(object);
    return className == QLatin1String("IconGridView") && grid ? new IconGridAccessible(grid)
                                                              : nullptr;
}

}  // namespace

IconGridAccessible::IconGridAccessible(IconGridView* grid)
    : QAccessibleWidget(grid, QAccessible::List) {}

IconGridAccessible::~IconGridAccessible() {
    for (const QAccessible::Id id : std::as_const(m_tiles)) {
        QAccessible::deleteAccessibleInterface(id);
    }
}

void IconGridAccessible::install() {
    static const bool installed = (QAccessible::installFactory(makeInterface), true);
    Q_UNUSED(installed);
}

IconGridView* IconGridAccessible::grid() const {
    return static_cast<IconGridView*>(widget());
}

QString IconGridAccessible::text(QAccessible::Text kind) const {
    if (kind == QAccessible::Name) {
        const auto tag = grid()->viewModel().currentTag();
        return tag ? tag->name : QStringLiteral("Tags");
    }
    return QAccessibleWidget::text(kind);
}

int IconGridAccessible::childCount() const {
    return grid()->isShowingEmptyState() ? 0 : grid()->tiles().rowCount();
}

QAccessibleInterface* IconGridAccessible::child(int index) const {
    if (index < 0 || index >= childCount()) {
        return nullptr;
    }
    if (const auto it = m_tiles.constFind(index); it != m_tiles.cend()) {
        return QAccessible::accessibleInterface(*it);
    }
    auto* tile = new GridTileAccessible(grid(), index);
    m_tiles.insert(index, QAccessible::registerAccessibleInterface(tile));
    return tile;
}

int IconGridAccessible::indexOfChild(const QAccessibleInterface* child) const {
    const auto* tile = dynamic_cast<const GridTileAccessible*>(child);
    return tile && tile->isValid() ? tile->row() : -1;
}

QAccessibleInterface* IconGridAccessible::childAt(int x, int y) const {
    const QPoint point = grid()->viewport()->mapFromGlobal(QPoint(x, y));
    return child(static_cast<int>(grid()->tileAt(point)));
}
