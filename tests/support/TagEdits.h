#pragma once

#include "platform/FilePaths.h"
#include "services/FileTagging.h"
#include "platform/TagEdit.h"

#include <QUrl>

// One edit of one file's list by URL, as the tests of the attribute format spell them.
inline std::error_code addTags(FileTagStore& store, const QStringList& names, const QUrl& url) {
    return FileTagging::edit(store, FilePaths::rawPathFromUrl(url), TagEdit::add(names)).error;
}

inline std::error_code removeTag(FileTagStore& store, const QString& name, const QUrl& url) {
    return FileTagging::edit(store, FilePaths::rawPathFromUrl(url), TagEdit::remove({name})).error;
}

inline std::error_code replaceTag(FileTagStore& store, const QString& from, const QString& to,
                                  const QUrl& url) {
    return FileTagging::edit(store, FilePaths::rawPathFromUrl(url), TagEdit::rename(from, to))
        .error;
}
