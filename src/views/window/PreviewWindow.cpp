#include "views/window/PreviewWindow.h"

#include "state/AppViewModel.h"
#include "views/common/FileIcons.h"
#include "views/common/SymbolGlyphs.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

PreviewWindow::PreviewWindow(AppViewModel& model, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_model(model) {
    setObjectName("previewWindow");
    setWindowTitle("Preview");
    setAttribute(Qt::WA_ShowWithoutActivating);
    resize(640, 520);
    setupWidgets();
}

void PreviewWindow::setupWidgets() {
    auto* column = new QVBoxLayout(this);
    auto* header = new QHBoxLayout;
    const QColor text = palette().color(QPalette::WindowText);
    m_previous = new QToolButton(this);
    m_previous->setIcon(SymbolGlyphs::icon("chevron.left", text));
    m_next = new QToolButton(this);
    m_next->setIcon(SymbolGlyphs::icon("chevron.right", text));
    m_title = new QLabel(this);
    m_title->setObjectName("previewTitle");
    m_title->setAlignment(Qt::AlignCenter);
    m_counter = new QLabel(this);
    header->addWidget(m_previous);
    header->addWidget(m_title, 1);
    header->addWidget(m_counter);
    header->addWidget(m_next);
    column->addLayout(header);
    connect(m_previous, &QToolButton::clicked, this, [this] { step(-1); });
    connect(m_next, &QToolButton::clicked, this, [this] { step(1); });

    m_pages = new QStackedWidget(this);
    m_image = new QLabel(m_pages);
    m_image->setAlignment(Qt::AlignCenter);
    m_image->setMinimumSize(1, 1);
    m_text = new QPlainTextEdit(m_pages);
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_text->setFocusPolicy(Qt::NoFocus);
    m_entries = new QListWidget(m_pages);
    m_entries->setFocusPolicy(Qt::NoFocus);
    auto* infoPage = new QWidget(m_pages);
    auto* infoColumn = new QVBoxLayout(infoPage);
    m_infoIcon = new QLabel(infoPage);
    m_infoIcon->setAlignment(Qt::AlignCenter);
    m_info = new QLabel(infoPage);
    m_info->setObjectName("previewInfo");
    m_info->setAlignment(Qt::AlignCenter);
    infoColumn->addStretch(1);
    infoColumn->addWidget(m_infoIcon);
    infoColumn->addWidget(m_info);
    infoColumn->addStretch(1);
    m_loading = new QLabel(QStringLiteral("Loading\u2026"), m_pages);
    m_loading->setAlignment(Qt::AlignCenter);
    for (QWidget* page :
         {static_cast<QWidget*>(m_image), static_cast<QWidget*>(m_text),
          static_cast<QWidget*>(m_entries), infoPage, static_cast<QWidget*>(m_loading)}) {
        m_pages->addWidget(page);
    }
    column->addWidget(m_pages, 1);
}

void PreviewWindow::setItems(const QList<QUrl>& urls) {
    const QUrl current = m_items.value(m_index);
    m_items = urls;
    const int kept = static_cast<int>(m_items.indexOf(current));
    m_index = kept >= 0 ? kept : 0;
    showCurrent();
}

void PreviewWindow::step(int delta) {
    if (m_items.isEmpty()) {
        return;
    }
    m_index = std::clamp(m_index + delta, 0, static_cast<int>(m_items.size()) - 1);
    showCurrent();
}

void PreviewWindow::showCurrent() {
    m_previous->setEnabled(m_index > 0);
    m_next->setEnabled(m_index + 1 < m_items.size());
    m_counter->setText(m_items.size() > 1
                           ? QStringLiteral("%1 of %2").arg(m_index + 1).arg(m_items.size())
                           : QString());
    m_shown.reset();
    if (m_items.isEmpty()) {
        // Nothing selected: no name of a file that is no longer shown.
        m_title->clear();
        setWindowTitle(QStringLiteral("Preview"));
        m_info->setText(QStringLiteral("No Selection"));
        m_infoIcon->clear();
        m_pages->setCurrentWidget(m_info->parentWidget());
        return;
    }
    const QUrl url = m_items[m_index];
    // A folder's URL may end in a slash; its title is its name, like a file's.
    const QString name = url.adjusted(QUrl::StripTrailingSlash).fileName();
    m_title->setText(name.isEmpty() ? url.toLocalFile() : name);
    setWindowTitle(m_title->text());
    m_pages->setCurrentWidget(m_loading);
    m_model.loadPreview(url, this, [this, url](const FilePreview& preview) {
        // A later step may have moved on while this one loaded.
        if (m_items.value(m_index) == url) {
            display(preview);
        }
    });
}

void PreviewWindow::display(const FilePreview& preview) {
    m_shown = preview;
    switch (preview.kind) {
        case FilePreview::Kind::Image:
        case FilePreview::Kind::Pdf:
            m_pages->setCurrentWidget(m_image);
            fitImage();
            break;
        case FilePreview::Kind::Text:
            m_text->setPlainText(preview.text);
            m_pages->setCurrentWidget(m_text);
            break;
        case FilePreview::Kind::Folder:
            m_entries->clear();
            m_entries->addItems(preview.entries);
            m_pages->setCurrentWidget(m_entries);
            break;
        case FilePreview::Kind::Other:
        case FilePreview::Kind::Missing: {
            const bool folder = preview.iconName == "inode-directory";
            m_infoIcon->setPixmap(
                FileIcons::forIconName(preview.iconName, folder).pixmap(128, 128));
            const QLocale locale;
            m_info->setText(
                preview.kind == FilePreview::Kind::Missing
                    ? preview.name
                    : QStringList({preview.name, preview.typeName,
                                   locale.formattedDataSize(preview.size),
                                   locale.toString(preview.modified, QLocale::LongFormat)})
                          .join('\n'));
            m_pages->setCurrentIndex(3);
            break;
        }
    }
    emit previewShown();
}

void PreviewWindow::fitImage() {
    if (!m_shown || m_shown->image.isNull()) {
        return;
    }
    const QSize room = m_pages->size() * devicePixelRatioF();
    QPixmap pixmap = QPixmap::fromImage(
        m_shown->image.size().width() > room.width() ||
                m_shown->image.size().height() > room.height()
            ? m_shown->image.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)
            : m_shown->image);
    pixmap.setDevicePixelRatio(devicePixelRatioF());
    m_image->setPixmap(pixmap);
}

void PreviewWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitImage();
}

void PreviewWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Left:
            step(-1);
            return;
        case Qt::Key_Right:
            step(1);
            return;
        case Qt::Key_Space:
        case Qt::Key_Escape:
            hide();
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}
