#pragma once

#include "platform/FileTagStore.h"

// Tags in the user.xdg.tags extended attribute, the one the desktop's file managers use.
class XattrTagStore final : public FileTagStore {
public:
    std::optional<QList<QByteArray>> read(const QByteArray& path) const override;
    std::error_code write(const QByteArray& path, const QList<QByteArray>& names) override;

    // The raw attribute value; an empty value when absent, nothing on another error.
    static std::optional<QByteArray> readValue(const QByteArray& path, bool followLinks);
};
