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
    QTimer::singleShot(kFocusDelayMs, this, [this] {
        setFocus(Qt::OtherFocusReason);
        selectAll();
    });
}

void TagNameEditor::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        m_model.cancelInlineEdit();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TagNameEditor::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // Switching to another window or opening a menu is not the end of an edit.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason) {
        return;
    }
    // A commit with no edit pending does nothing, so a field closing after Escape is harmless.
    m_model.commitInlineEdit();
}
