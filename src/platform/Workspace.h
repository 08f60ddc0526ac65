#pragma once

#include <QUrl>

// Opening a file with its default application and showing it in the file manager. Neither
// reports back; the desktop tells the user about a failure.
class Workspace {
public:
    virtual ~Workspace() = default;
    virtual void open(const QUrl& url) = 0;
    virtual void reveal(const QUrl& url) = 0;
};
