#pragma once

#include "platform/FileTagStore.h"

// Tags in the user.xdg.tags extended attribute, the one the desktop's file managers use.
// Links are followed, as the file managers do.
class XattrTagStore final : public FileTagStore {
public:
    std::optional<QByteArray> readValue(const QByteArray& path) const override;
    std::error_code writeValue(const QByteArray& path, const QByteArray& value) override;
    std::optional<QByteArray> readOwnValue(const QByteArray& path) const override;
    std::error_code writeOwnValue(const QByteArray& path, const QByteArray& value) override;

    // The raw attribute value; an empty value when absent, nothing on another error.
    static std::optional<QByteArray> readAttribute(const QByteArray& path, bool followLinks);
};
