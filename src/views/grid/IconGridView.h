#pragma once

#include <QWidget>

class AppViewModel;

// One level of the tree as a grid of tiles.
class IconGridView : public QWidget {
    Q_OBJECT

public:
    explicit IconGridView(AppViewModel& model, QWidget* parent = nullptr);

private:
    AppViewModel& m_model;
};
