#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

struct TagNode;

// Where the tag tree lives on disk and how it is replaced. All calls are synchronous and small.
namespace HierarchyFile {

// "<XDG data home>/Orvane"; computed once per process.
QString dataDirectory();

// The hierarchy file's path. Creates the data folder first; a failure there is ignored and
// shows up in the following read or write.
QString hierarchyFilePath();

// The largest tree file read: far beyond any real tree, small enough to read at start.
inline constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

enum class ReadStatus { Missing, Unreadable, Read };
struct ReadResult {
    ReadStatus status = ReadStatus::Missing;
    QByteArray bytes;
    QString problem;  // why an existing file could not be read, for the user
};
// Reads only a regular file (through a link) of at most kMaxFileBytes; anything else (a
// FIFO, a device, a folder) is unreadable, never waited on.
ReadResult read();

// Replaces the file in one step (temporary file, then rename). A linked file is replaced at its
// target. When that failed the previous file is untouched and the answer says why, in words
// for the user.
std::optional<QString> save(const QList<TagNode>& forest);

// Copies the current file to a new, never-reused name beside it
// ("hierarchy.json.unreadable-<UTC time>[-n]") and returns that path.
std::optional<QString> keepCopyAside();

}  // namespace HierarchyFile
