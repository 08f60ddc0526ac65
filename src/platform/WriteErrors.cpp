#include "platform/WriteErrors.h"

#include <cerrno>
#include <cstring>

namespace WriteErrors {

QString describe(int error, const QString& folder) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
            return QStringLiteral("the disk is full");
        case EROFS:
        case EACCES:
        case EPERM:
            return QStringLiteral("the folder %1 is not writable").arg(folder);
        default:
            return QString::fromUtf8(std::strerror(error)).toLower();
    }
}

}  // namespace WriteErrors
