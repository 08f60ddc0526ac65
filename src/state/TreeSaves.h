#pragma once

#include "model/TagNode.h"

#include <QList>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <mutex>
#include <optional>

// The tree's saves in the order they were asked for. An edit saves at once, on the asking
// thread, and hears whether it could; a save nothing waits on (the names found on files,
// merged at start) is written in the background, where its `fsync` does not stall the window,
// and is skipped when a later save came first, so that it never lands over an edit.
class TreeSaves {
public:
    TreeSaves();
    ~TreeSaves();  // waits for a save under way
    TreeSaves(const TreeSaves&) = delete;
    TreeSaves& operator=(const TreeSaves&) = delete;

    // After any background save under way. The problem, if it could not.
    std::optional<QString> save(const QList<TagNode>& tree);
    void saveInBackground(QList<TagNode> tree);
    // Until the saves asked for are on disk (tests, and a quit).
    void wait();

private:
    std::mutex m_writing;
    std::atomic<quint64> m_latest = 0;
    QThreadPool m_thread;
};
