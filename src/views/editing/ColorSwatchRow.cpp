#include "views/editing/ColorSwatchRow.h"

#include "model/TagColors.h"

#include <QHelpEvent>
#include <QKeyEvent>
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
    // The keyboard chooses too: Tab reaches the row, the arrows move the choice.
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName("Color");
    refreshName();
}

void ColorSwatchRow::refreshName() {
    for (const auto& swatch : TagColors::finderColorPalette()) {
        if (swatch.index == m_colorIndex) {
            setAccessibleDescription(swatch.name);
        }
    }
}

void ColorSwatchRow::keyPressEvent(QKeyEvent* event) {
    const auto& palette = TagColors::finderColorPalette();
    qsizetype position = 0;
    for (qsizetype i = 0; i < palette.size(); ++i) {
        position = palette[i].index == m_colorIndex ? i : position;
    }
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Up:
            position = std::max<qsizetype>(0, position - 1);
            break;
        case Qt::Key_Right:
        case Qt::Key_Down:
            position = std::min<qsizetype>(palette.size() - 1, position + 1);
            break;
        case Qt::Key_Home:
            position = 0;
            break;
        case Qt::Key_End:
            position = palette.size() - 1;
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    setColorIndex(palette[position].index);
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
    refreshName();
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
        if (hasFocus() && index == m_colorIndex) {
            painter.setPen(QPen(this->palette().color(QPalette::Highlight), 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(scaled.adjusted(-2, -2, 2, 2));  // where the arrows act
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
