#pragma once

#include <QDateTime>
#include <QImage>
#include <QObject>
#include <QStringList>
#include <QUrl>

#include <functional>

// What the preview window shows for one file: a picture (images, a PDF's first page), the
// start of a text, a folder's entries, or, for anything else, the facts about the file.
struct FilePreview {
    enum class Kind { Image, Pdf, Text, Folder, Other, Missing };
    Kind kind = Kind::Missing;
    QUrl url;
    QString name;
    QString typeName;  // the file type's description
    QString iconName;
    qint64 size = 0;
    QDateTime modified;
    QImage image;  // Image and Pdf
    QString text;  // Text: the start of the file
    bool truncated = false;
    QStringList entries;  // Folder
    int pageCount = 0;    // Pdf
};

// Loads previews off the user interface thread; results come back on the receiver's thread.
class PreviewSource {
public:
    using Completion = std::function<void(const FilePreview&)>;
    virtual ~PreviewSource() = default;
    // Nothing is delivered once `receiver` is gone.
    virtual void load(const QUrl& url, QObject* receiver, Completion completion) = 0;
};
