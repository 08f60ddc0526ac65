#include "views/common/FocusRing.h"

#include "views/common/Colors.h"

#include <QFocusEvent>
#include <QPainter>

namespace {

constexpr qreal kWidth = 2;

}  // namespace

FocusRing::FocusRing(QWidget& target) : QWidget(&target), m_target(target) {
    setObjectName("focusRing");
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
    target.installEventFilter(this);
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &m_target) {
        return false;
    }
    switch (event->type()) {
        case QEvent::FocusIn: {
            // Only the keyboard's way in shows it; a click shows where it landed already.
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) {
                setGeometry(m_target.rect());
                show();
                raise();
            }
            break;
        }
        case QEvent::FocusOut:
            hide();
            break;
        case QEvent::Resize:
            setGeometry(m_target.rect());
            break;
        default:
            break;
    }
    return false;
}

void FocusRing::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Colors::accent(palette()), kWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(
        QRectF(rect()).adjusted(kWidth / 2, kWidth / 2, -kWidth / 2, -kWidth / 2), 3, 3);
}
