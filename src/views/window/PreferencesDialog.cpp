#include "views/window/PreferencesDialog.h"

#include "state/AppViewModel.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

PreferencesDialog::PreferencesDialog(AppViewModel& model, QWidget* parent)
    : QDialog(parent), m_model(model) {
    setWindowTitle("Preferences");
    auto* nested = new QGroupBox("Write nested tags as", this);
    m_names = new QRadioButton("separate names (Orvane, macOS)", nested);
    m_paths = new QRadioButton("paths (KDE Dolphin)", nested);
    m_names->setObjectName("nestedTagsAsNames");
    m_paths->setObjectName("nestedTagsAsPaths");
    auto* choices = new QVBoxLayout(nested);
    choices->addWidget(m_names);
    choices->addWidget(m_paths);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(nested);
    layout->addWidget(buttons);
    connect(m_paths, &QRadioButton::toggled, &m_model, &AppViewModel::chooseNestedTagsAsPaths);
    connect(&m_model, &AppViewModel::writesNestedTagsAsPathsChanged, this,
            &PreferencesDialog::refresh);
    refresh();
}

void PreferencesDialog::refresh() {
    (m_model.writesNestedTagsAsPaths() ? m_paths : m_names)->setChecked(true);
}
