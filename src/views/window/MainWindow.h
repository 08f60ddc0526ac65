#pragma once

#include <QMainWindow>

class AppViewModel;
class QListWidget;
class QPushButton;

// The application's window: the tags of the current level on the left, the files of the
// current tag on the right. Reads the view model and forwards input; keeps no state.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(AppViewModel& model, QWidget* parent = nullptr);

private:
    void setupWidgets();
    void setupConnections();
    void refreshTags();
    void refreshFiles();
    void refreshTitle();

    AppViewModel& m_model;
    QPushButton* m_back = nullptr;
    QListWidget* m_tags = nullptr;
    QListWidget* m_files = nullptr;
};
