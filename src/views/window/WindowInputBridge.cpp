#include "views/window/WindowInputBridge.h"

#include "state/AppViewModel.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace {

bool isTextField(const QWidget* widget) {
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QTextEdit*>(widget) ||
           qobject_cast<const QPlainTextEdit*>(widget) ||
           qobject_cast<const QAbstractSpinBox*>(widget);
}

}  // namespace

WindowInputBridge::WindowInputBridge(AppViewModel& model, QWidget& window)
    : QObject(&window), m_model(model), m_window(window) {
    qApp->installEventFilter(this);
}

bool WindowInputBridge::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched == QApplication::focusWidget()) {
        return handleKey(event);
    }
    if (event->type() == QEvent::KeyPress && !QApplication::focusWidget() &&
        watched == &m_window) {
        return handleKey(event);
    }
    if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType()) {
        handlePress(event);
    }
    return false;
}

bool WindowInputBridge::handleKey(QEvent* event) {
    QWidget* focus = QApplication::focusWidget();
    if (QApplication::activeWindow() != &m_window || isTextField(focus)) {
        return false;
    }
    switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Left: m_model.moveLeft(); return true;
        case Qt::Key_Right: m_model.moveRight(); return true;
        case Qt::Key_Down: m_model.moveDown(); return true;
        case Qt::Key_Up: m_model.moveUp(); return true;
        default: return false;
    }
}

void WindowInputBridge::handlePress(QEvent* event) {
    if (!m_model.inlineEditingTagID() || QApplication::activeWindow() != &m_window) {
        return;
    }
    auto* field = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    if (!field || field->window() != &m_window) {
        return;
    }
    const QPoint global = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
    if (!field->rect().contains(field->mapFromGlobal(global))) {
        field->clearFocus();  // the field commits as it loses the focus
    }
}
