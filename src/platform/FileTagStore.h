#pragma once

#include <QByteArray>
#include <QList>

#include <optional>
#include <system_error>

// A file's ordered list of tag names, each as the raw UTF-8 bytes stored with the file, read
// and replaced whole. Paths are raw bytes. Implementations must be safe on any thread.
class FileTagStore {
public:
    virtual ~FileTagStore() = default;

    // An empty list when the file has no tags; absent when the list could not be read.
    virtual std::optional<QList<QByteArray>> read(const QByteArray& path) const = 0;

    // Replaces the whole list; an empty list removes it. Returns the system's error.
    virtual std::error_code write(const QByteArray& path, const QList<QByteArray>& names) = 0;
};
