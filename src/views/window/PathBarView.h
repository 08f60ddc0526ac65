#pragma once

#include <QUuid>
#include <QWidget>

class AppViewModel;
class QHBoxLayout;
class QLabel;
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
    void changeEvent(QEvent* event) override;

private:
    void rebuild();
    // When the path is wider than the bar, folds the chips after "Tags" into one "…" chip
    // whose menu opens them, the leftmost first, so that "Tags" and the current tag stay whole.
    void fitChips();
    QLabel* separator();

    struct Chip {
        QToolButton* button;
        QLabel* separator;  // the chevron before it
        QString name;
        QUuid id;
    };
    AppViewModel& m_model;
    QHBoxLayout* m_row;
    QToolButton* m_root = nullptr;
    QToolButton* m_more = nullptr;
    QLabel* m_moreSeparator = nullptr;
    QList<Chip> m_chips;
};
