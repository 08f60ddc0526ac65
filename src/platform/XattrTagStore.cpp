#include "platform/XattrTagStore.h"

#include <sys/xattr.h>

#include <cerrno>

namespace {

constexpr const char* kAttribute = "user.xdg.tags";

}  // namespace

std::optional<QByteArray> XattrTagStore::readAttribute(const QByteArray& path, bool followLinks) {
    auto get = [&](char* buffer, size_t size) {
        return followLinks ? getxattr(path.constData(), kAttribute, buffer, size)
                           : lgetxattr(path.constData(), kAttribute, buffer, size);
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

std::error_code XattrTagStore::writeValue(const QByteArray& path, const QByteArray& value) {
    if (value.isEmpty()) {
        if (removexattr(path.constData(), kAttribute) != 0 && errno != ENODATA) {
            return {errno, std::generic_category()};
        }
        return {};
    }
    if (setxattr(path.constData(), kAttribute, value.constData(), static_cast<size_t>(value.size()),
                 0) != 0) {
        return {errno, std::generic_category()};
    }
    return {};
}
