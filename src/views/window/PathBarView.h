#pragma once

#include <QWidget>

class AppViewModel;
class QHBoxLayout;

// Where the user is in the tree: a "Tags" chip and one chip per tag of the path, separated by
// chevrons; the current chip is emphasised. Clicking a chip navigates there.
class PathBarView : public QWidget {
    Q_OBJECT

public:
    explicit PathBarView(AppViewModel& model, QWidget* parent = nullptr);

private:
    void rebuild();

    AppViewModel& m_model;
    QHBoxLayout* m_row;
};
