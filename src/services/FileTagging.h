#pragma once

#include <QStringList>
#include <QUrl>

#include <system_error>

class FileTagStore;
struct TagEdit;

// Reading and changing one file's tag names. Names compare exactly (case-sensitive, canonically
// equivalent Unicode equal). A file's other names keep their stored bytes and order, and a
// list that would not change is not written at all. A list that cannot be read is never
// overwritten: the write is refused with the read error.
namespace FileTagging {

// Never fails: an unreadable list is empty.
QStringList readTagNames(const FileTagStore& store, const QUrl& url);

// One file's list read, edited and written back with nothing in between; not written at all
// when the edit changes nothing, and never written when it could not be read.
struct Edited {
    std::error_code error;  // reading or writing failed: the file is as it was
    QByteArray before;
    QByteArray after;
    bool written = false;
};
Edited edit(FileTagStore& store, const QByteArray& path, const TagEdit& edit);

// The names written by the last successful change; used to keep the tag index current.
QStringList decodeNames(const QList<QByteArray>& raw);

}  // namespace FileTagging
