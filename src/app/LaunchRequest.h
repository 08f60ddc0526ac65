#pragma once

#include <QByteArray>
#include <QList>

// What a start from a file manager asks of the window: `--show FILE` (the file at its deepest
// tag) or `--tag-dialog FILE…` (the tag dialog for the files). A window already running does it
// itself; otherwise the new window does.
struct LaunchRequest {
    QByteArray show;
    QList<QByteArray> tagDialog;

    // Paths made absolute against the current folder.
    static LaunchRequest parse(int argc, char* argv[]);
    bool isEmpty() const { return show.isEmpty() && tagDialog.isEmpty(); }
    // Hands the request to the window on the session bus; false when none runs there.
    bool sendToRunningWindow() const;
};
