#pragma once

#include <QByteArray>
#include <QUrl>

// File URLs carry a file's path as raw bytes (percent-encoded), so names that are not valid
// UTF-8 survive the trip from the index to a tag write.
namespace FilePaths {

QUrl urlFromRawPath(const QByteArray& path);
// The path without a trailing slash (a folder's URL has one); empty for a URL that is not a
// local file.
QByteArray rawPathFromUrl(const QUrl& url);
// A path given on the command line, made absolute against the current folder; not resolved, so
// a link is written through as a drop of it is.
QByteArray absolute(const QByteArray& path);

}  // namespace FilePaths
