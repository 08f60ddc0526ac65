#pragma once

#include <QDialog>

class AppViewModel;
class ColorSwatchRow;
class QLineEdit;
class QPushButton;

// The sheet that names a new tag and picks its colour. A fresh one is made each time it opens;
// the view model is touched only by Create.
class NewTagSheet : public QDialog {
    Q_OBJECT

public:
    explicit NewTagSheet(AppViewModel& model, QWidget* parent = nullptr);

    void create();

private:
    void setupWidgets();
    QString trimmedName() const;

    AppViewModel& m_model;
    QLineEdit* m_name = nullptr;
    ColorSwatchRow* m_swatches = nullptr;
    QPushButton* m_create = nullptr;
};
