#pragma once

#include <QStringList>
#include <QUrl>

#include <system_error>

class FileTagStore;

// Reading and changing one file's tag names. Names compare exactly (case-sensitive, canonically
// equivalent Unicode equal). A file's other names keep their stored bytes and order, and a
// list that would not change is not written at all. A list that cannot be read is never
// overwritten: the write is refused with the read error.
namespace FileTagging {

// Never fails: an unreadable list is empty.
QStringList readTagNames(const FileTagStore& store, const QUrl& url);

std::error_code removeTag(FileTagStore& store, const QString& name, const QUrl& url);
std::error_code removeTags(FileTagStore& store, const QStringList& names, const QUrl& url);

// Appends the names the file lacks, keeping its existing order.
std::error_code addTags(FileTagStore& store, const QStringList& names, const QUrl& url);

// Replaces every occurrence of one name by another in one write (no duplicate when the file
// already carries the new name).
std::error_code replaceTag(FileTagStore& store, const QString& oldName, const QString& newName,
                           const QUrl& url);

// The names written by the last successful change; used to keep the tag index current.
QStringList decodeNames(const QList<QByteArray>& raw);

// Canonical form for exact name comparison.
QString comparable(const QString& name);

}  // namespace FileTagging
