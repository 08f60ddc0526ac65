#pragma once

#include <QScrollArea>

class AppViewModel;
class ColumnLayoutView;
class QPropertyAnimation;

// The horizontal strip of columns: one per opened tag plus the roots, scrolled to its right
// end (0.25 s, ease in and out) whenever the number of columns changes.
class ColumnBrowserView : public QScrollArea {
    Q_OBJECT

public:
    static constexpr qreal kMinColumnWidth = 150.0;
    static constexpr qreal kMaxColumnWidth = 400.0;

    explicit ColumnBrowserView(AppViewModel& model, QWidget* parent = nullptr);
    ColumnLayoutView& layoutView() const { return *m_layout; }
    // The menu of the selected row, else the last column's own menu.
    void openMenuForSelection();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void refresh();

    AppViewModel& m_model;
    ColumnLayoutView* m_layout;
    QPropertyAnimation* m_scroll;
    qsizetype m_columnCount = 0;
};
