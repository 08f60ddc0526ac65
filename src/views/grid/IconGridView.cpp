#include "views/grid/IconGridView.h"

IconGridView::IconGridView(AppViewModel& model, QWidget* parent)
    : QWidget(parent), m_model(model) {
    setObjectName("iconGrid");
}
