#pragma once

#include <QByteArray>
#include <QString>

// File writes that either complete or leave what was there before. Every byte is checked and
// synced; a short write (a full disk, a size limit) is a failure, never a truncated file.
namespace SafeFileWrite {

// Writes to a temporary file beside `path`, syncs it and renames it over `path`. On failure
// errno says why.
bool replace(const QString& path, const QByteArray& bytes);

// Creates `path` only if nothing is there yet.
enum class Created { Yes, AlreadyExists, Failed };
Created createNew(const QString& path, const QByteArray& bytes);

}  // namespace SafeFileWrite
