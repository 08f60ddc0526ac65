#include "platform/PrivateFiles.h"

#include <QFile>

#include <sys/stat.h>

#include <cerrno>

namespace PrivateFiles {

bool makeFolder(const QString& path) {
    const QByteArray full = QFile::encodeName(path);
    for (qsizetype slash = full.indexOf('/', 1); slash > 0; slash = full.indexOf('/', slash + 1)) {
        ::mkdir(full.left(slash).constData(), 0700);  // parents that exist stay as they are
    }
    if (::mkdir(full.constData(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    struct stat info {};
    if (::stat(full.constData(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return false;
    }
    if ((info.st_mode & 077) != 0) {
        ::chmod(full.constData(), info.st_mode & 0700);
    }
    return true;
}

void restrict(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(name.constData(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 077)) {
        ::chmod(name.constData(), info.st_mode & 0600);
    }
}

}  // namespace PrivateFiles
