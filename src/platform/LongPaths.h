#pragma once

#include <QByteArray>

// Paths longer than the system's limit (PATH_MAX, 4,096 bytes) are refused by every call that
// takes a path. Such a file is reached through its folder, opened a part of the path at a time.
namespace LongPaths {

// open(2) for a path of any length; -1 with errno set when it fails.
int open(const QByteArray& path, int flags);

// A path the system takes for the same file: the path itself when it is short enough, else the
// file's name inside its opened folder (/proc/self/fd/N/name). Empty, with errno set, when the
// folder cannot be opened.
class Path {
public:
    explicit Path(const QByteArray& path);
    ~Path();
    Path(const Path&) = delete;
    Path& operator=(const Path&) = delete;

    const char* get() const { return m_path.constData(); }
    bool isEmpty() const { return m_path.isEmpty(); }

private:
    int m_folder = -1;
    QByteArray m_path;
};

}  // namespace LongPaths
