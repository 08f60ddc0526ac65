#pragma once

#include <QObject>

class AppViewModel;
class QWidget;

// The window's keyboard and mouse bridge: outside text fields the arrow keys move the focus
// through tags and files; while a tag is renamed in place, a press outside the field ends the
// edit (the field commits) and still reaches what was pressed.
class WindowInputBridge : public QObject {
    Q_OBJECT

public:
    WindowInputBridge(AppViewModel& model, QWidget& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool handleKey(QEvent* event);
    void handlePress(QEvent* event);

    AppViewModel& m_model;
    QWidget& m_window;
};
