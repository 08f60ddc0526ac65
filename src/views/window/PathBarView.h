#pragma once

#include <QWidget>

class AppViewModel;
class QHBoxLayout;
class QToolButton;

// Where the user is in the tree: a "Tags" chip and one chip per tag of the path, separated by
// chevrons; the current chip is emphasised. Clicking a chip navigates there.
class PathBarView : public QWidget {
    Q_OBJECT

public:
    explicit PathBarView(AppViewModel& model, QWidget* parent = nullptr);
    // The chips from "Tags" to the current tag, in the order Tab visits them.
    QList<QWidget*> chips() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void rebuild();
    // Cuts the tag chips' names with "…" when the path is wider than the bar, the leftmost
    // first, so that the last chips stay readable.
    void fitChips();

    AppViewModel& m_model;
    QHBoxLayout* m_row;
    QToolButton* m_root = nullptr;
    QList<std::pair<QToolButton*, QString>> m_chips;  // each tag chip with its full name
};
