#include "platform/LocalPreviewSource.h"

#include "platform/FilePaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeDatabase>
#include <QPainter>
#include <QPdfDocument>
#include <QPointer>
#include <QStringDecoder>

namespace {

// Text when it decodes cleanly: by its byte-order mark, else as UTF-8 (a character cut at the
// end of what was read is no fault of the file's), else, with no NUL bytes, as Latin-1.
std::optional<QString> decodeText(const QByteArray& bytes, bool cutShort) {
    if (const auto encoding = QStringConverter::encodingForData(bytes)) {
        QStringDecoder decoder(*encoding);
        return QString(decoder(bytes));
    }
    if (bytes.contains('\0')) {
        return std::nullopt;  // binary
    }
    for (int cut = 0; cut <= (cutShort ? 3 : 0) && cut < bytes.size(); ++cut) {
        QStringDecoder utf8(QStringConverter::Utf8);
        const QString text = utf8(bytes.chopped(cut));
        if (!utf8.hasError()) {
            return text;
        }
    }
    QStringDecoder latin1(QStringConverter::Latin1);
    return QString(latin1(bytes));
}

QImage readImage(const QString& path) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (!reader.canRead()) {
        return {};
    }
    QSize size = reader.size();
    if (size.isValid() && (size.width() > LocalPreviewSource::kMaxImageSide ||
                           size.height() > LocalPreviewSource::kMaxImageSide)) {
        size.scale(LocalPreviewSource::kMaxImageSide, LocalPreviewSource::kMaxImageSide,
                   Qt::KeepAspectRatio);
        reader.setScaledSize(size);
    }
    return reader.read();
}

}  // namespace

LocalPreviewSource::LocalPreviewSource() {
    m_pool.setMaxThreadCount(1);
}

LocalPreviewSource::~LocalPreviewSource() {
    m_pool.waitForDone();
}

void LocalPreviewSource::load(const QUrl& url, QObject* receiver, Completion completion) {
    // The result goes through the relay, which outlives every task (the destructor waits for
    // them); whether the receiver still exists is asked on its own thread only.
    QPointer<QObject> target(receiver);
    QObject* relay = &m_relay;
    m_pool.start([url, target, completion, relay] {
        FilePreview preview = read(url);
        QMetaObject::invokeMethod(
            relay,
            [target, completion, preview = std::move(preview)] {
                if (target) {
                    completion(preview);
                }
            },
            Qt::QueuedConnection);
    });
}

FilePreview LocalPreviewSource::read(const QUrl& url) {
    FilePreview preview;
    preview.url = url;
    const QString path = QFile::decodeName(FilePaths::rawPathFromUrl(url));
    const QFileInfo info(path);
    preview.name = info.fileName();
    if (!info.exists()) {
        return preview;
    }
    preview.size = info.size();
    preview.modified = info.lastModified();
    static const QMimeDatabase mimeDatabase;
    const QMimeType type = info.isDir()
                               ? mimeDatabase.mimeTypeForName("inode/directory")
                               : mimeDatabase.mimeTypeForFile(info, QMimeDatabase::MatchExtension);
    preview.typeName = type.comment();
    preview.iconName = type.iconName();
    preview.kind = FilePreview::Kind::Other;

    if (info.isDir()) {
        QDir dir(path);
        const QStringList entries = dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot,
                                                  QDir::Name | QDir::IgnoreCase | QDir::DirsFirst);
        preview.kind = FilePreview::Kind::Folder;
        preview.entries = entries.mid(0, kMaxEntries);
        preview.truncated = entries.size() > kMaxEntries;
        return preview;
    }
    if (!info.isFile() || !info.isReadable()) {
        return preview;
    }
    const QString mime = type.name();
    if (mime.startsWith("image/")) {
        preview.image = readImage(path);
        if (!preview.image.isNull()) {
            preview.kind = FilePreview::Kind::Image;
        }
        return preview;
    }
    if (mime == "application/pdf") {
        QPdfDocument document;
        if (document.load(path) == QPdfDocument::Error::None && document.pageCount() > 0) {
            QSizeF page = document.pagePointSize(0);
            page.scale(1200, 1200, Qt::KeepAspectRatio);
            // Pages are rendered with a transparent background; on paper they are white.
            const QImage rendered = document.render(0, page.toSize());
            if (!rendered.isNull()) {
                preview.image = QImage(rendered.size(), QImage::Format_RGB32);
                preview.image.fill(Qt::white);
                QPainter(&preview.image).drawImage(0, 0, rendered);
            }
            preview.pageCount = document.pageCount();
            if (!preview.image.isNull()) {
                preview.kind = FilePreview::Kind::Pdf;
            }
        }
        return preview;
    }
    if (type.inherits("text/plain") || mime.startsWith("text/") || mime.contains("json") ||
        mime.contains("xml") || mime.contains("script")) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.read(kMaxTextBytes);
            const bool cutShort = file.size() > bytes.size();
            if (const auto text = decodeText(bytes, cutShort)) {
                preview.kind = FilePreview::Kind::Text;
                preview.text = *text;
                preview.truncated = cutShort;
            }
        }
    }
    return preview;
}
