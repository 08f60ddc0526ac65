#include "state/FileWorkQueue.h"

#include "platform/FileJournal.h"
#include "platform/TaggedFileQuery.h"

#include <QCoreApplication>
#include <QPointer>

FileWorkQueue::FileWorkQueue(FileTagStore& store, TaggedFileQuery& query, FileJournal& journal,
                             QObject* parent)
    : QObject(parent), m_store(store), m_query(query), m_journal(journal) {
    m_worker.setMaxThreadCount(1);
}

FileWorkQueue::~FileWorkQueue() {
    stop();
}

void FileWorkQueue::enqueue(qint64 op, Handlers handlers) {
    add([this, op, handlers = std::move(handlers)] { start(op, handlers); });
}

void FileWorkQueue::enqueueStep(std::function<void(std::function<void()>)> step) {
    QPointer<FileWorkQueue> self(this);
    add([self, step = std::move(step)] {
        step([self] {
            if (self) {
                self->next();
            }
        });
    });
}

void FileWorkQueue::add(std::function<void()> job) {
    if (m_stop) {
        return;  // the journal has it for the next start
    }
    m_jobs.append(std::move(job));
    if (m_jobs.size() == 1) {
        const auto first = m_jobs.first();  // it may finish, and be removed, before returning
        first();
    }
}

void FileWorkQueue::next() {
    if (m_jobs.isEmpty()) {
        return;
    }
    m_jobs.removeFirst();
    if (m_stop) {
        m_jobs.clear();
    }
    if (m_jobs.isEmpty()) {
        emit idle();
        return;
    }
    const auto job = m_jobs.first();
    job();
}

void FileWorkQueue::start(qint64 op, const Handlers& handlers) {
    if (handlers.started) {
        handlers.started();
    }
    const auto operation = m_journal.operation(op);
    if (!operation) {
        next();
        return;
    }
    if (operation->planned) {
        runOnWorker(op, handlers, nullptr);
        return;
    }
    if (operation->kind == FileJournal::Kind::Undo) {
        FileJournal& journal = m_journal;
        const qint64 undoes = operation->undoes;
        runOnWorker(op, handlers,
                    [&journal, op, undoes] { return FileWork::planUndo(journal, op, undoes); });
        return;
    }
    if (operation->edit.lookedUpName().isEmpty()) {
        m_journal.finish(op);  // nothing to plan it from
        next();
        return;
    }
    // The files that carry the old name now, every one of them: the index answers when it has
    // looked everywhere.
    if (handlers.waiting) {
        handlers.waiting();
    }
    QPointer<FileWorkQueue> self(this);
    m_query.queryEveryFileWithTag(operation->edit.lookedUpName(),
                                  [self, op, handlers](const QList<QByteArray>& paths) {
                                      if (!self || self->m_stop) {
                                          return;  // planned again at the next start
                                      }
                                      FileJournal& journal = self->m_journal;
                                      self->runOnWorker(op, handlers, [&journal, op, paths] {
                                          return FileWork::planEdit(journal, op, paths);
                                      });
                                  });
}

void FileWorkQueue::runOnWorker(qint64 op, const Handlers& handlers, std::function<bool()> plan) {
    QPointer<FileWorkQueue> self(this);
    m_worker.start([self, op, handlers, plan, &store = m_store, &query = m_query,
                    &journal = m_journal, &stop = m_stop, lateLook = m_lateLook] {
        FileWork::Summary summary;
        if (!plan || plan()) {
            FileWork::Context context{store, journal, query, stop, handlers.progress, lateLook};
            summary = FileWork::run(context, op);
        } else {
            summary.unplanned = true;
        }
        QMetaObject::invokeMethod(
            self.data(),
            [self, summary, handlers] {
                if (!self) {
                    return;
                }
                if (handlers.done) {
                    handlers.done(summary);
                }
                self->next();
            },
            Qt::QueuedConnection);
    });
}

void FileWorkQueue::stop() {
    m_stop = true;
    m_worker.waitForDone();
    m_jobs.clear();
}

void FileWorkQueue::waitUntilIdle() {
    while (!m_jobs.isEmpty() && !m_stop) {
        m_worker.waitForDone();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    m_worker.waitForDone();
    QCoreApplication::processEvents();
}
