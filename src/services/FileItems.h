#pragma once

#include "services/FileItem.h"

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

// Sorts by name, locale-aware, case-insensitive and stable.
void sortByName(QList<FileItem>& items);

// The icon theme name for a file's type, found from its name alone (never its content) and
// looked up once per type.
QString iconNameFor(const QString& fileName, bool isDirectory);

}  // namespace FileItems
