#include "platform/FilePaths.h"

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
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
}

}  // namespace FilePaths
