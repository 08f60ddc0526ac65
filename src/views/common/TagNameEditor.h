#pragma once

#include <QLineEdit>

class AppViewModel;

// The in-place name field of a tag: edits the view model's inline text; Return commits,
// Escape cancels, and the user moving the focus elsewhere in the window commits. Anything
// else that takes the field away (a reload, a hidden view, another window) never commits.
// Takes the focus 0.15 s after it appears.
class TagNameEditor : public QLineEdit {
    Q_OBJECT

public:
    explicit TagNameEditor(AppViewModel& model, QWidget* parent = nullptr);

    // Closes the field without committing; it deletes itself.
    void dismiss();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    AppViewModel& m_model;
    bool m_dismissed = false;
    bool m_hadFocus = false;
};
