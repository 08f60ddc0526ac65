#pragma once

#include <QLineEdit>

class AppViewModel;

// The in-place name field of a tag: edits the view model's inline text; Return commits,
// Escape cancels, losing the focus commits. Takes the focus 0.15 s after it appears.
class TagNameEditor : public QLineEdit {
    Q_OBJECT

public:
    explicit TagNameEditor(AppViewModel& model, QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    AppViewModel& m_model;
};
