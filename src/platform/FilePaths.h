#pragma once

#include <QByteArray>
#include <QUrl>

// File URLs carry a file's path as raw bytes (percent-encoded), so names that are not valid
// UTF-8 survive the trip from the index to a tag write.
namespace FilePaths {

QUrl urlFromRawPath(const QByteArray& path);
QByteArray rawPathFromUrl(const QUrl& url);

}  // namespace FilePaths
