#pragma once

#include "platform/TagValueCodec.h"

#include <QByteArray>
#include <QList>

#include <optional>
#include <system_error>

// A file's list of tags as stored with the file: one value, read and replaced whole. Paths are
// raw bytes. Implementations must be safe on any thread.
class FileTagStore {
public:
    virtual ~FileTagStore() = default;

    // The stored value; an empty value when the file has no tags, absent when the value could
    // not be read.
    virtual std::optional<QByteArray> readValue(const QByteArray& path) const = 0;

    // Replaces the value; an empty value removes it. Returns the system's error.
    virtual std::error_code writeValue(const QByteArray& path, const QByteArray& value) = 0;

    // The same for the path itself, never a link's target: a link has no tags of its own and
    // gets none, and only a regular file is written. For writes made without the user's word
    // (tags put back after another program's save), where a path must not lead elsewhere.
    virtual std::optional<QByteArray> readOwnValue(const QByteArray& path) const {
        return readValue(path);
    }
    virtual std::error_code writeOwnValue(const QByteArray& path, const QByteArray& value) {
        return writeValue(path, value);
    }

    // The names of the stored list, each as its raw UTF-8 bytes.
    std::optional<QList<QByteArray>> read(const QByteArray& path) const {
        const auto value = readValue(path);
        return value ? std::optional(TagValueCodec::decode(*value)) : std::nullopt;
    }
};
