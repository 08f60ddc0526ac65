#include "platform/SafeFileWrite.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace SafeFileWrite {
namespace {

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written =
            ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            errno = written == 0 ? ENOSPC : errno;
            return false;
        }
        done += written;
    }
    return ::fsync(fd) == 0;
}

void syncFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Where a write to `path` lands: a link (as dotfile managers make) is followed to its target,
// so that the link stays a link.
QString resolvedTarget(const QString& path) {
    QString target = path;
    for (int hops = 0; hops < 40 && QFileInfo(target).isSymLink(); ++hops) {
        target = QFileInfo(target).symLinkTarget();
    }
    return target;
}

}  // namespace

bool replace(const QString& path, const QByteArray& bytes) {
    const QString resolved = resolvedTarget(path);
    const QByteArray target = QFile::encodeName(resolved);
    const QByteArray folder = QFile::encodeName(QFileInfo(resolved).absolutePath());
    QByteArray temporary =
        folder + "/." + QFile::encodeName(QFileInfo(resolved).fileName()) + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    // The new file keeps the old one's permissions (a shared or read-only tree stays so).
    struct stat old {};
    if (::stat(target.constData(), &old) == 0) {
        ::fchmod(fd, old.st_mode & 07777);
    }
    const bool written = writeAll(fd, bytes);
    int error = errno;
    const bool closed = ::close(fd) == 0;
    error = written && !closed ? errno : error;
    if (written && closed && ::rename(temporary.constData(), target.constData()) == 0) {
        syncFolder(folder);
        return true;
    }
    error = written && closed ? errno : error;
    ::unlink(temporary.constData());
    errno = error;  // the caller says why
    return false;
}

Created createNew(const QString& path, const QByteArray& bytes) {
    const QByteArray target = QFile::encodeName(path);
    const int fd = ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return errno == EEXIST ? Created::AlreadyExists : Created::Failed;
    }
    const bool written = writeAll(fd, bytes);
    if (::close(fd) != 0 || !written) {
        ::unlink(target.constData());
        return Created::Failed;
    }
    return Created::Yes;
}

}  // namespace SafeFileWrite
