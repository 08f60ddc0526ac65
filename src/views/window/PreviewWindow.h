#pragma once

#include "platform/FilePreview.h"

#include <QList>
#include <QUrl>
#include <QWidget>

#include <optional>

class AppViewModel;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QStackedWidget;
class QToolButton;

// The space-bar preview: the selected files in order, one at a time, with steps between them.
// Pictures, a PDF's first page, the start of a text and a folder's entries are shown; any
// other file shows its icon, name, kind, size and date. Loading happens off the user
// interface thread, so a huge or damaged file never stalls the window.
class PreviewWindow : public QWidget {
    Q_OBJECT

public:
    explicit PreviewWindow(AppViewModel& model, QWidget* parent = nullptr);

    // Shows the items, keeping the current one when it is still among them.
    void setItems(const QList<QUrl>& urls);
    const QList<QUrl>& items() const { return m_items; }
    int currentIndex() const { return m_index; }
    void step(int delta);
    // The preview on screen; absent while it loads.
    const std::optional<FilePreview>& shown() const { return m_shown; }

signals:
    void previewShown();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void setupWidgets();
    void showCurrent();
    void display(const FilePreview& preview);
    void fitImage();

    AppViewModel& m_model;
    QList<QUrl> m_items;
    int m_index = 0;
    std::optional<FilePreview> m_shown;
    QLabel* m_title = nullptr;
    QLabel* m_counter = nullptr;
    QToolButton* m_previous = nullptr;
    QToolButton* m_next = nullptr;
    QStackedWidget* m_pages = nullptr;
    QLabel* m_image = nullptr;
    QPlainTextEdit* m_text = nullptr;
    QListWidget* m_entries = nullptr;
    QLabel* m_infoIcon = nullptr;
    QLabel* m_info = nullptr;
    QLabel* m_loading = nullptr;
};
