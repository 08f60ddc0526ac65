#include "platform/LongPaths.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace LongPaths {

int open(const QByteArray& path, int flags) {
    if (path.size() < PATH_MAX) {
        return ::open(path.constData(), flags);
    }
    // Each part is shorter than the limit and ends at a slash; the parts before the last are
    // walked as plain folders.
    int folder = path.startsWith('/') ? ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC)
                                      : ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    qsizetype at = path.startsWith('/') ? 1 : 0;
    while (folder >= 0) {
        qsizetype end = path.size();
        if (end - at >= PATH_MAX) {
            end = path.lastIndexOf('/', at + PATH_MAX - 2);
            if (end <= at) {
                ::close(folder);
                errno = ENAMETOOLONG;
                return -1;
            }
        }
        const QByteArray part = path.mid(at, end - at);
        const bool last = end == path.size();
        const int next =
            ::openat(folder, part.constData(), last ? flags : O_PATH | O_DIRECTORY | O_CLOEXEC);
        const int error = errno;
        ::close(folder);
        if (last || next < 0) {
            errno = error;
            return next;
        }
        folder = next;
        at = end + 1;
    }
    return -1;
}

Path::Path(const QByteArray& path) {
    if (path.size() < PATH_MAX) {
        m_path = path;
        return;
    }
    const qsizetype slash = path.lastIndexOf('/');
    m_folder = open(path.left(std::max<qsizetype>(slash, 1)), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (m_folder >= 0) {
        m_path = "/proc/self/fd/" + QByteArray::number(m_folder) + path.mid(slash);
    }
}

Path::~Path() {
    if (m_folder >= 0) {
        ::close(m_folder);
    }
}

}  // namespace LongPaths
