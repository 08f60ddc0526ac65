#include "views/common/TagNameEditor.h"

#include "state/AppViewModel.h"
#include "views/common/Colors.h"

#include <QKeyEvent>
#include <QTimer>

namespace {

constexpr int kFocusDelayMs = 150;

}  // namespace

TagNameEditor::TagNameEditor(AppViewModel& model, QWidget* parent)
    : QLineEdit(parent), m_model(model) {
    setObjectName("tagNameEditor");
    setText(m_model.inlineEditingText());
    QFont font = this->font();
    font.setPixelSize(13);
    setFont(font);
    const QColor accent = Colors::accent(palette());
    setStyleSheet(QStringLiteral("QLineEdit { padding: 1px 3px; border: 1.5px solid %1; "
                                 "border-radius: 3px; background: %2; }")
                      .arg(accent.name(), Colors::controlBackground(palette()).name()));
    connect(this, &QLineEdit::textEdited, &m_model, &AppViewModel::setInlineEditingText);
    connect(&m_model, &AppViewModel::inlineEditingTextChanged, this, [this] {
        if (text() != m_model.inlineEditingText()) {
            setText(m_model.inlineEditingText());
        }
    });
    connect(this, &QLineEdit::returnPressed, &m_model, &AppViewModel::commitInlineEdit);
    // Selected at once, so that typing replaces the name however soon the focus arrives.
    selectAll();
    QTimer::singleShot(kFocusDelayMs, this, [this] {
        if (!m_dismissed && isVisible()) {
            setFocus(Qt::OtherFocusReason);
        }
    });
}

void TagNameEditor::dismiss() {
    m_dismissed = true;
    hide();
    deleteLater();
}

void TagNameEditor::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        m_model.cancelInlineEdit();
        return;
    }
    QLineEdit::keyPressEvent(event);
    // The line edit lets Return go on to its parent, the view, which would open the tag the
    // keys are given back to.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
    }
}

void TagNameEditor::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    // However the focus arrives (the timer, the window coming back after a menu), typing
    // first replaces the whole name.
    if (!m_hadFocus) {
        m_hadFocus = true;
        selectAll();
    }
}

void TagNameEditor::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // Only the user moving the focus ends an edit: a click or Tab to another control. A field
    // that is being closed or hidden (its view reloaded or switched away), another window or
    // a menu taking the focus leave the typed text uncommitted.
    const Qt::FocusReason reason = event->reason();
    const bool byUser = reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
                        reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
    if (!byUser || m_dismissed || !isVisible()) {
        return;
    }
    // A commit with no edit pending does nothing, so a field closing after Escape is harmless.
    m_model.commitInlineEdit();
}
