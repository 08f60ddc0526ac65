#include "platform/XattrTagStore.h"

#include "platform/LongPaths.h"

#include <sys/stat.h>
#include <sys/xattr.h>

#include <cerrno>

namespace {

constexpr const char* kAttribute = "user.xdg.tags";

}  // namespace

std::optional<QByteArray> XattrTagStore::readAttribute(const QByteArray& longPath,
                                                       bool followLinks) {
    const LongPaths::Path path(longPath);
    if (path.isEmpty()) {
        return std::nullopt;
    }
    auto get = [&](char* buffer, size_t size) {
        return followLinks ? getxattr(path.get(), kAttribute, buffer, size)
                           : lgetxattr(path.get(), kAttribute, buffer, size);
    };
    char small[1024];
    ssize_t length = get(small, sizeof small);
    if (length >= 0) {
        return QByteArray(small, length);
    }
    // A value larger than the small buffer: ask for its size and read again, a few times in
    // case it grows in between.
    for (int attempt = 0; attempt < 4 && errno == ERANGE; ++attempt) {
        const ssize_t size = get(nullptr, 0);
        if (size < 0) {
            break;
        }
        QByteArray value(size, Qt::Uninitialized);
        length = get(value.data(), static_cast<size_t>(size));
        if (length >= 0) {
            value.truncate(length);
            return value;
        }
    }
    if (errno == ENODATA || errno == ENOTSUP) {
        return QByteArray();
    }
    return std::nullopt;
}

std::optional<QByteArray> XattrTagStore::readValue(const QByteArray& path) const {
    return readAttribute(path, true);
}

namespace {

std::error_code write(const QByteArray& longPath, const QByteArray& value, bool followLinks) {
    const LongPaths::Path path(longPath);
    if (path.isEmpty()) {
        return {errno, std::generic_category()};
    }
    if (value.isEmpty()) {
        const int removed = followLinks ? removexattr(path.get(), kAttribute)
                                        : lremovexattr(path.get(), kAttribute);
        if (removed != 0 && errno != ENODATA) {
            return {errno, std::generic_category()};
        }
        return {};
    }
    const auto size = static_cast<size_t>(value.size());
    const int set = followLinks ? setxattr(path.get(), kAttribute, value.constData(), size, 0)
                                : lsetxattr(path.get(), kAttribute, value.constData(), size, 0);
    return set != 0 ? std::error_code(errno, std::generic_category()) : std::error_code();
}

}  // namespace

std::error_code XattrTagStore::writeValue(const QByteArray& path, const QByteArray& value) {
    return write(path, value, true);
}

std::optional<QByteArray> XattrTagStore::readOwnValue(const QByteArray& path) const {
    return readAttribute(path, false);
}

std::error_code XattrTagStore::writeOwnValue(const QByteArray& path, const QByteArray& value) {
    // lsetxattr cannot give a link user attributes, so a link swapped in after this check is
    // refused by the system too.
    struct stat info {};
    if (lstat(LongPaths::Path(path).get(), &info) != 0) {
        return {errno, std::generic_category()};
    }
    if (!S_ISREG(info.st_mode)) {
        return std::make_error_code(std::errc::operation_not_permitted);
    }
    return write(path, value, false);
}
