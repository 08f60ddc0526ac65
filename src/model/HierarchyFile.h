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

enum class ReadStatus { Missing, Unreadable, Read };
struct ReadResult {
    ReadStatus status = ReadStatus::Missing;
    QByteArray bytes;
};
ReadResult read();

// Replaces the file in one step (temporary file, then rename); false when that failed, in
// which case the previous file is untouched.
bool save(const QList<TagNode>& forest);

// Copies the current file to a new, never-reused name beside it
// ("hierarchy.json.unreadable-<UTC time>[-n]") and returns that path.
std::optional<QString> keepCopyAside();

}  // namespace HierarchyFile
