#include "platform/FilePaths.h"

#include <QDir>
#include <QFile>

namespace FilePaths {

QUrl urlFromRawPath(const QByteArray& path) {
    if (QUtf8StringView(path).isValidUtf8()) {
        return QUrl::fromLocalFile(QString::fromUtf8(path));
    }
    return QUrl::fromEncoded("file://" + path.toPercentEncoding("/"), QUrl::StrictMode);
}

QByteArray rawPathFromUrl(const QUrl& url) {
    if (!url.isLocalFile()) {
        return {};
    }
    QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    // A folder's URL ends in a slash; its path is the folder's own, one entry in its parent.
    while (path.size() > 1 && path.endsWith('/')) {
        path.chop(1);
    }
    return path;
}

QByteArray absolute(const QByteArray& path) {
    return path.startsWith('/') ? path : QFile::encodeName(QDir::currentPath()) + '/' + path;
}

}  // namespace FilePaths
