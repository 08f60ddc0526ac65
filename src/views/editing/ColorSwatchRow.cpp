#include "views/editing/ColorSwatchRow.h"

#include "model/TagColors.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QVariantAnimation>

ColorSwatchRow::ColorSwatchRow(QWidget* parent)
    : QWidget(parent), m_animation(new QVariantAnimation(this)) {
    setObjectName("colorSwatches");
    m_animation->setDuration(120);
    m_animation->setEasingCurve(QEasingCurve::InOutQuad);
    m_animation->setStartValue(0.0);
    m_animation->setEndValue(1.0);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_progress = value.toReal();
        update();
    });
    setMinimumSize(sizeHint());
}

QSize ColorSwatchRow::sizeHint() const {
    const int count = static_cast<int>(TagColors::finderColorPalette().size());
    // Room for the chosen swatch's larger size on either side.
    return {count * kDiameter + (count - 1) * kSpacing + 4, kDiameter + 6};
}

QRect ColorSwatchRow::swatchRect(int position) const {
    return QRect(2 + position * (kDiameter + kSpacing), 3, kDiameter, kDiameter);
}

void ColorSwatchRow::setColorIndex(qint64 index) {
    if (index == m_colorIndex) {
        return;
    }
    m_previousIndex = m_colorIndex;
    m_colorIndex = index;
    m_animation->stop();
    m_animation->start();
    emit colorIndexChanged(index);
}

void ColorSwatchRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const auto& palette = TagColors::finderColorPalette();
    QColor ring = this->palette().color(QPalette::WindowText);
    for (int i = 0; i < palette.size(); ++i) {
        const qint64 index = palette[i].index;
        qreal chosen = index == m_colorIndex ? m_progress : 0.0;
        if (index == m_previousIndex && index != m_colorIndex) {
            chosen = 1.0 - m_progress;
        }
        const QRectF rect = swatchRect(i);
        const qreal scale = 1.0 + 0.15 * chosen;
        QRectF scaled(0, 0, rect.width() * scale, rect.height() * scale);
        scaled.moveCenter(rect.center());
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette[i].color);
        painter.drawEllipse(scaled);
        if (chosen > 0) {
            ring.setAlphaF(static_cast<float>(0.6 * chosen));
            painter.setPen(QPen(ring, 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(scaled.adjusted(1, 1, -1, -1));
        }
    }
}

void ColorSwatchRow::mousePressEvent(QMouseEvent* event) {
    const auto& palette = TagColors::finderColorPalette();
    for (int i = 0; i < palette.size(); ++i) {
        if (swatchRect(i).contains(event->position().toPoint())) {
            setColorIndex(palette[i].index);
            return;
        }
    }
}

bool ColorSwatchRow::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const auto& palette = TagColors::finderColorPalette();
        for (int i = 0; i < palette.size(); ++i) {
            if (swatchRect(i).contains(help->pos())) {
                QToolTip::showText(help->globalPos(), palette[i].name, this);
                return true;
            }
        }
        QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}
