#pragma once

#include <QWidget>

// A ring in the accent colour around a view that the keyboard's Tab has reached, as the
// desktop draws around its controls; it goes when the focus leaves.
class FocusRing : public QWidget {
    Q_OBJECT

public:
    explicit FocusRing(QWidget& target);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget& m_target;
};
