#pragma once

#include <functional>

#include "model/FileItem.h"

#include <QList>
#include <QSet>

#include <optional>

class FileTagStore;

namespace FileItems {

// Reads each file's kind and tags and builds the sorted list. With `requiredTagNames` a file is
// kept only when its names (compared exactly) hold every required name and no excluded one;
// without it nothing is filtered. Reads the disk: call it off the user interface thread.
QList<FileItem> makeFileItems(const QList<QByteArray>& paths,
                              const std::optional<QSet<QString>>& requiredTagNames,
                              const QSet<QString>& excludedTagNames, const FileTagStore& store);

// The same for a long list, checked in parts on `threads` threads, so that a cold disk serves
// several reads at once: a first part of `firstPartSize` files, about a window's worth, that is
// read soonest, then parts of `partSize`. `part` runs on the calling thread with each part's items
// (unsorted: the caller sorts what it shows) as soon as it is done; `stop` ends the work early.
void makeFileItemsInParts(const QList<QByteArray>& paths,
                          const std::optional<QSet<QString>>& requiredTagNames,
                          const QSet<QString>& excludedTagNames, const FileTagStore& store,
                          int threads, qsizetype firstPartSize, qsizetype partSize,
                          const std::function<void(QList<FileItem>)>& part,
                          const std::function<bool()>& stop);

// Sorts by name, locale-aware, case-insensitive and stable.
void sortByName(QList<FileItem>& items);

// The icon theme name for a file's type, found from its name alone (never its content) and
// looked up once per type.
QString iconNameFor(const QString& fileName, bool isDirectory);

}  // namespace FileItems
