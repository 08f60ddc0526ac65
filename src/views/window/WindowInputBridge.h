#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class AppViewModel;
class PreviewWindow;
class QKeyEvent;
class QWidget;

// The window's keyboard and mouse bridge: outside text fields the arrow keys move the focus
// through tags and files, letters select by name, and the space bar shows or hides the preview of
// the selected files (which then follows the selection); while a tag is renamed in place, a press
// outside the field ends the edit (the field commits) and still reaches what was pressed.
class WindowInputBridge : public QObject {
    Q_OBJECT

public:
    WindowInputBridge(AppViewModel& model, QWidget& window, PreviewWindow& preview);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool handleKey(QEvent* event);
    void handlePress(QObject* watched, QEvent* event);
    // False when the key is not a letter typed in the tags.
    bool typeAhead(const QKeyEvent& key, QWidget* focus);
    bool isTyping() const;

    void refreshPreview();

    AppViewModel& m_model;
    QWidget& m_window;
    PreviewWindow& m_preview;
    QString m_typed;
    QElapsedTimer m_typedTimer;
};
