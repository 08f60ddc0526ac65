#include "model/HierarchyFile.h"

#include "model/HierarchyCodec.h"
#include "model/TagNode.h"
#include "platform/SafeFileWrite.h"
#include "platform/WriteErrors.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace HierarchyFile {

QString dataDirectory() {
    static const QString directory =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Orvane";
    return directory;
}

QString hierarchyFilePath() {
    QDir().mkpath(dataDirectory());
    return dataDirectory() + "/hierarchy.json";
}

namespace {

ReadResult readRegularFile(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    // Non-blocking, so that a FIFO put in the file's place cannot hold up the start.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            struct stat link {};
            // A dangling link is a file the user made, not a missing one.
            return ::lstat(name.constData(), &link) == 0
                       ? ReadResult{ReadStatus::Unreadable, {}, "is a link to nothing"}
                       : ReadResult{ReadStatus::Missing, {}, {}};
        }
        return {ReadStatus::Unreadable, {}, QString("cannot be read (%1)").arg(strerror(errno))};
    }
    struct stat info {};
    ReadResult result{ReadStatus::Unreadable, {}, {}};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        result.problem = "is not a regular file";
    } else if (info.st_size > kMaxFileBytes) {
        result.problem = "is larger than 64 MB";
    } else {
        QByteArray bytes(static_cast<qsizetype>(info.st_size), Qt::Uninitialized);
        qsizetype done = 0;
        bool ok = true;
        // The file may change size while it is read: read what fstat promised, no more.
        while (done < bytes.size()) {
            const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                ok = got == 0;
                break;
            }
            done += got;
        }
        bytes.truncate(done);
        result = ok ? ReadResult{ReadStatus::Read, bytes, {}}
                    : ReadResult{ReadStatus::Unreadable,
                                 {},
                                 QString("cannot be read (%1)").arg(strerror(errno))};
    }
    ::close(fd);
    return result;
}

}  // namespace

ReadResult read() {
    return readRegularFile(hierarchyFilePath());
}

std::optional<QString> save(const QList<TagNode>& forest) {
    if (SafeFileWrite::replace(hierarchyFilePath(), HierarchyCodec::encode(forest))) {
        return std::nullopt;
    }
    return WriteErrors::describe(errno, dataDirectory());
}

std::optional<QString> keepCopyAside() {
    const QString source = hierarchyFilePath();
    const QString stamp = QDateTime::currentDateTimeUtc().toString("yyyyMMdd'T'HHmmss'Z'");
    const ReadResult current = readRegularFile(source);
    if (current.status != ReadStatus::Read) {
        return std::nullopt;
    }
    const QByteArray& bytes = current.bytes;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const QString target = source + ".unreadable-" + stamp +
                               (attempt == 0 ? QString() : "-" + QString::number(attempt));
        // Created only when the name is free: an earlier kept copy is never overwritten.
        switch (SafeFileWrite::createNew(target, bytes)) {
            case SafeFileWrite::Created::Yes:
                return target;
            case SafeFileWrite::Created::AlreadyExists:
                continue;
            case SafeFileWrite::Created::Failed:
                return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace HierarchyFile
