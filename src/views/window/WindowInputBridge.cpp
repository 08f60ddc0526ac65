#include "views/window/WindowInputBridge.h"

#include "state/AppViewModel.h"
#include "views/window/PreviewWindow.h"

#include <QAbstractButton>
#include <QAbstractItemView>
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

WindowInputBridge::WindowInputBridge(AppViewModel& model, QWidget& window, PreviewWindow& preview)
    : QObject(&window), m_model(model), m_window(window), m_preview(preview) {
    qApp->installEventFilter(this);
    connect(&m_model, &AppViewModel::selectedFileIDsChanged, this,
            &WindowInputBridge::refreshPreview);
}

void WindowInputBridge::refreshPreview() {
    if (m_preview.isVisible()) {
        m_preview.setItems(m_model.selectedFileURLs());
    }
}

bool WindowInputBridge::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched == QApplication::focusWidget()) {
        return handleKey(event);
    }
    if (event->type() == QEvent::KeyPress && !QApplication::focusWidget() && watched == &m_window) {
        return handleKey(event);
    }
    if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType()) {
        handlePress(watched, event);
    }
    return false;
}

bool WindowInputBridge::handleKey(QEvent* event) {
    QWidget* focus = QApplication::focusWidget();
    // A text field keeps its keys; a focused button keeps Space and the arrows, which move
    // between the view mode's segments.
    if (QApplication::activeWindow() != &m_window || isTextField(focus) ||
        qobject_cast<QAbstractButton*>(focus)) {
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
        case Qt::Key_Space: {
            if (isTyping()) {
                return typeAhead(*key, focus);  // a space within a name being typed
            }
            if (key->modifiers() & Qt::ControlModifier) {
                return false;
            }
            const QList<QUrl> urls = m_model.selectedFileURLs();
            if (urls.isEmpty()) {
                return false;
            }
            if (m_preview.isVisible()) {
                m_preview.hide();
            } else {
                m_preview.setItems(urls);
                if (!m_preview.isVisible()) {
                    m_preview.move(m_window.geometry().center() - m_preview.rect().center());
                }
                m_preview.show();
            }
            return true;
        }
        case Qt::Key_Escape:
            if (!m_preview.isVisible()) {
                return false;
            }
            m_preview.hide();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Return opens what is selected while the tags have the focus, as in a file manager.
            if (!qobject_cast<QAbstractScrollArea*>(focus) || !m_model.canOpenSelection()) {
                return false;
            }
            m_model.openSelection();
            break;
        case Qt::Key_Left:
            m_model.moveLeft();
            break;
        case Qt::Key_Right:
            m_model.moveRight();
            break;
        case Qt::Key_Down:
            m_model.moveDown();
            break;
        case Qt::Key_Up:
            m_model.moveUp();
            break;
        default:
            if (!typeAhead(*key, focus)) {
                return false;
            }
    }
    refreshPreview();
    return true;
}

bool WindowInputBridge::isTyping() const {
    return !m_typed.isEmpty() && m_typedTimer.isValid() &&
           m_typedTimer.elapsed() <= QApplication::keyboardInputInterval();
}

bool WindowInputBridge::typeAhead(const QKeyEvent& key, QWidget* focus) {
    // Letters typed in the tags select by name, as in a file manager; a pause starts afresh.
    const QString text = key.text();
    if (!qobject_cast<QAbstractScrollArea*>(focus) || text.isEmpty() || !text.front().isPrint() ||
        (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) ||
        (m_typed.isEmpty() && text.front().isSpace())) {
        return false;
    }
    if (!isTyping()) {
        m_typed.clear();
    }
    m_typedTimer.start();
    m_typed += text;
    m_model.selectByPrefix(m_typed);
    return true;
}

void WindowInputBridge::handlePress(QObject* watched, QEvent* event) {
    if (!m_model.inlineEditingTagID() || QApplication::activeWindow() != &m_window) {
        return;
    }
    // The item views end the edit themselves when the click comes (on release), and know
    // whether it landed on the tag being renamed.
    if (qobject_cast<QAbstractItemView*>(watched->parent())) {
        return;
    }
    auto* field = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    if (!field || field->window() != &m_window) {
        return;
    }
    const QPoint global = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
    if (!field->rect().contains(field->mapFromGlobal(global))) {
        m_model.commitInlineEdit();  // a click elsewhere is the user ending the edit
    }
}
