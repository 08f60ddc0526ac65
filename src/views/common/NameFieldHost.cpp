#include "views/common/NameFieldHost.h"

#include "state/AppViewModel.h"
#include "views/common/TagNameEditor.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QScrollBar>

NameFieldHost::NameFieldHost(AppViewModel& model, QAbstractScrollArea& view, Placement placement,
                             Qt::Alignment alignment)
    : QObject(&view),
      m_model(model),
      m_view(view),
      m_placement(std::move(placement)),
      m_alignment(alignment) {
    connect(&m_model, &AppViewModel::inlineEditingTagIDChanged, this, &NameFieldHost::sync);
    connect(m_view.verticalScrollBar(), &QScrollBar::valueChanged, this, &NameFieldHost::sync);
    m_view.installEventFilter(this);
}

bool NameFieldHost::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_view) {
        switch (event->type()) {
            case QEvent::Show:
            case QEvent::Hide:
            case QEvent::Resize:
                sync();
                break;
            default:
                break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void NameFieldHost::sync() {
    const auto editing = m_model.inlineEditingTagID();
    // Only the view on screen edits: a hidden view's field would take the focus from the
    // visible one and end its edit.
    const auto place = editing && m_view.isVisible() ? m_placement(*editing) : std::nullopt;
    if (!place) {
        close();
        return;
    }
    if (m_field && m_tag != editing) {
        close();
    }
    if (!m_field) {
        m_field = new TagNameEditor(m_model, m_view.viewport());
        m_field->setAlignment(m_alignment);
        m_tag = editing;
    }
    m_field->setGeometry(*place);
    m_field->show();
}

TagNameEditor* NameFieldHost::field() const {
    return m_field.data();
}

std::optional<QUuid> NameFieldHost::editedTag() const {
    return m_field ? m_tag : std::nullopt;
}

void NameFieldHost::close() {
    // Taken out first: the view taking the focus back may scroll (to its current row), and the
    // scroll asks for the field's place again, from inside this call.
    const QPointer<TagNameEditor> field = std::exchange(m_field, nullptr);
    m_tag.reset();
    if (field) {
        // The keys go back to the view the name was typed in, not to whatever control comes
        // next in the window.
        if (field->hasFocus() && m_view.isVisible()) {
            m_view.setFocus(Qt::OtherFocusReason);
        }
        field->dismiss();
    }
}
