#pragma once

#include <QWidget>

class QVariantAnimation;

// The palette as a row of 22-point circles; the chosen one is scaled by 1.15 and ringed, with
// a 0.12 s ease-in-out change. Clicking a swatch chooses it, as do the arrow keys.
class ColorSwatchRow : public QWidget {
    Q_OBJECT

public:
    static constexpr int kDiameter = 22;
    static constexpr int kSpacing = 8;

    explicit ColorSwatchRow(QWidget* parent = nullptr);

    qint64 colorIndex() const { return m_colorIndex; }
    void setColorIndex(qint64 index);
    QRect swatchRect(int position) const;
    QSize sizeHint() const override;

signals:
    void colorIndexChanged(qint64 index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    // The accessible description says the chosen colour's name.
    void refreshName();

    qint64 m_colorIndex = 0;
    qint64 m_previousIndex = 0;
    qreal m_progress = 1.0;  // of the change from the previous choice to the current one
    QVariantAnimation* m_animation;
};
