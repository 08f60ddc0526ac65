#pragma once

#include "services/FileWork.h"

#include <QList>
#include <QObject>
#include <QThreadPool>

#include <atomic>
#include <functional>

class FileJournal;
class FileTagStore;
class TaggedFileQuery;

// The changes to files, run one journal operation at a time in the order the user made them,
// on one worker thread. Every operation is in the journal before it is queued, so that what a
// quit or a crash leaves is finished at the next start in the same order. An operation without
// a plan is planned when its turn comes: a rename against the complete index, an undo from what
// the operation it takes back changed. Lives on the user interface thread.
class FileWorkQueue : public QObject {
    Q_OBJECT

public:
    struct Handlers {
        // When its turn comes, on the user interface thread.
        std::function<void()> started;
        // After each batch, on the worker thread.
        std::function<void(qsizetype done, qsizetype total)> progress;
        // A rename waits for the index to have looked at every file.
        std::function<void()> waiting;
        // When the operation is done or stopped, on the user interface thread.
        std::function<void(const FileWork::Summary&)> done;
    };

    FileWorkQueue(FileTagStore& store, TaggedFileQuery& query, FileJournal& journal,
                  QObject* parent = nullptr);
    ~FileWorkQueue() override;

    void enqueue(qint64 op, Handlers handlers);
    // Runs `step` on the user interface thread in its turn; it calls `next` when it is done.
    void enqueueStep(std::function<void(std::function<void()> next)> step);

    bool isIdle() const { return m_jobs.isEmpty(); }
    // At a quit or a logout: the running batch is finished and recorded, nothing more is
    // started; the journal keeps the rest for the next start.
    void stop();
    bool isStopped() const { return m_stop; }
    // Tests: runs the event loop until everything queued is done.
    void waitUntilIdle();
    // How long after a batch's writes its files are looked at again.
    void setLateLook(std::chrono::milliseconds lateLook) { m_lateLook = lateLook; }

signals:
    void idle();

private:
    void add(std::function<void()> job);
    void next();
    void start(qint64 op, const Handlers& handlers);
    void runOnWorker(qint64 op, const Handlers& handlers, std::function<bool()> plan);

    FileTagStore& m_store;
    TaggedFileQuery& m_query;
    FileJournal& m_journal;
    QThreadPool m_worker;
    QList<std::function<void()>> m_jobs;  // the first one is running
    std::atomic_bool m_stop = false;
    std::chrono::milliseconds m_lateLook = FileWork::Context::kLateLook;
};
