#pragma once

#include <QDialog>

class AppViewModel;
class QRadioButton;

// Edit → Preferences: choices that apply at once and are kept for later sessions.
class PreferencesDialog : public QDialog {
    Q_OBJECT

public:
    PreferencesDialog(AppViewModel& model, QWidget* parent);

private:
    void refresh();

    AppViewModel& m_model;
    QRadioButton* m_names = nullptr;
    QRadioButton* m_paths = nullptr;
};
