// Changes to files: journaled, run one after another on the file thread, shown in the status
// bar, finished after a crash, and undoable.
#include "platform/FileJournal.h"
#include "platform/FilePaths.h"
#include "platform/Log.h"
#include "platform/TaggedFileQuery.h"
#include "services/FileWork.h"
#include "state/AppViewModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <QPointer>
#include <QTimer>

namespace {

constexpr int kProgressAfterMs = 500;
constexpr int kStatusShownMs = 6000;
constexpr int kReloadAfterRenameMs = 1500;

QString number(qsizetype n) {
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(static_cast<qlonglong>(n));
}

using Verb = AppViewModel::FileVerb;

constexpr Verb kRenaming{"Renaming tag on %1 of %2 files\u2026", "Renamed tag on %1 files"};
constexpr Verb kTagging{"Tagging %1 of %2 files\u2026", "Tagged %1 files"};
constexpr Verb kUntagging{"Removing tags from %1 of %2 files\u2026", "Removed tags from %1 files"};
constexpr Verb kUndoing{"Restoring %1 of %2 files\u2026", "Restored %1 files"};
constexpr Verb kKeeping{"Keeping tags on %1 of %2 files\u2026", "Kept tags on %1 files"};
constexpr Verb kFinishing{"Finishing an interrupted change on %1 of %2 files\u2026",
                          "Finished an interrupted change on %1 files"};

// "Tagged 3 files with Projects, Client", "Removed Client from 2 files".
QString dropText(const TagEdit& edit, qsizetype changed) {
    const QStringList& names = edit.adding.isEmpty() ? edit.removing : edit.adding;
    const QString what =
        names.size() <= 3 ? names.join(", ") : QStringLiteral("%1 tags").arg(names.size());
    if (changed == 0) {
        return edit.adding.isEmpty() ? "The files did not have " + what
                                     : "The files already had " + what;
    }
    const QString files =
        changed == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(number(changed));
    return edit.adding.isEmpty() ? QStringLiteral("Removed %1 from %2").arg(what, files)
                                 : QStringLiteral("Tagged %1 with %2").arg(files, what);
}

QString summaryText(const Verb& verb, const FileWork::Summary& summary) {
    QStringList parts;
    parts.append(QString::fromUtf8(verb.done).arg(number(summary.changed + summary.unchanged)));
    if (summary.changedElsewhere > 0) {
        parts.append(summary.changedElsewhere == 1
                         ? QStringLiteral("1 file changed elsewhere was left as it is")
                         : QStringLiteral("%1 files changed elsewhere were left as they are")
                               .arg(number(summary.changedElsewhere)));
    }
    if (summary.failed > 0) {
        parts.append(QStringLiteral("%1 could not be changed (read-only or gone)")
                         .arg(number(summary.failed)));
    }
    if (summary.unsettled > 0) {
        parts.append(QStringLiteral("%1 kept being changed by another program")
                         .arg(number(summary.unsettled)));
    }
    return parts.join("; ");
}

}  // namespace

void AppViewModel::setFileWorkStatus(const QString& text) {
    assign(m_fileWorkStatus, text, &AppViewModel::fileWorkStatusChanged);
}

void AppViewModel::enqueueFileJob(std::function<void()> start) {
    m_fileJobs.append(std::move(start));
    if (m_fileJobs.size() == 1) {
        const auto job = m_fileJobs.first();  // it may finish, and be removed, before returning
        job();
    }
}

void AppViewModel::finishFileJob() {
    if (m_fileJobs.isEmpty()) {
        return;
    }
    m_fileJobs.removeFirst();
    if (!m_fileJobs.isEmpty() && !m_stopFileWork) {
        const auto job = m_fileJobs.first();
        job();
    }
}

void AppViewModel::waitForFileWork() {
    while (!m_fileJobs.isEmpty() && !m_stopFileWork) {
        m_fileWork.waitForDone();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    m_fileWork.waitForDone();
    QCoreApplication::processEvents();
}

void AppViewModel::stopFileWork() {
    // The running batch finishes and is recorded; the journal has the rest for the next start.
    m_stopFileWork = true;
    m_fileWork.waitForDone();
    m_fileJobs.clear();
}

void AppViewModel::runFileOperation(UndoHistory::FileOperation handle,
                                    std::function<qint64(FileWork::Context&)> prepare,
                                    const Verb& verb,
                                    std::function<void(const FileWork::Summary&)> then) {
    QPointer<AppViewModel> self(this);
    FileTagStore& store = m_services.tagStore;
    TaggedFileQuery& query = m_services.query;
    FileJournal& journal = *m_journal;
    const std::atomic_bool& stop = m_stopFileWork;
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    m_fileWork.start([=, &store, &query, &journal, &stop] {
        FileWork::Context context{
            store, journal, query, stop, [self, timer, verb](qsizetype done, qsizetype total) {
                if (timer->elapsed() < kProgressAfterMs) {
                    return;
                }
                QMetaObject::invokeMethod(
                    self.data(),
                    [self, verb, done, total] {
                        if (self) {
                            self->setFileWorkStatus(
                                QString::fromUtf8(verb.progress).arg(number(done), number(total)));
                        }
                    },
                    Qt::QueuedConnection);
            }};
        const qint64 op = prepare(context);
        if (handle) {
            *handle = op;
        }
        const FileWork::Summary summary = op ? FileWork::run(context, op) : FileWork::Summary();
        QMetaObject::invokeMethod(
            self.data(),
            [self, summary, timer, verb, then] {
                if (!self) {
                    return;
                }
                const bool tell = timer->elapsed() >= kProgressAfterMs || summary.failed ||
                                  summary.changedElsewhere || summary.unsettled;
                if (tell && !summary.stopped) {
                    self->setFileWorkStatus(summaryText(verb, summary));
                    self->m_statusTimer.start(kStatusShownMs);
                }
                if (then) {
                    then(summary);
                }
                self->finishFileJob();
            },
            Qt::QueuedConnection);
    });
}

UndoHistory::FileOperation AppViewModel::renameOnFiles(const QString& oldName, qint64 op) {
    // Renames reach the files in the order they were made: a rename's query must see the
    // names the previous rename wrote, or A→B then B→C would leave the files on B.
    auto handle = std::make_shared<std::atomic<qint64>>(op);
    QPointer<AppViewModel> self(this);
    enqueueFileJob([self, handle, oldName, op] {
        if (!self) {
            return;
        }
        self->m_services.query.queryFilesWithTag(
            oldName, [self, handle, op](const QList<QByteArray>& paths) {
                if (!self) {
                    return;
                }
                self->runFileOperation(
                    handle,
                    [op, paths](FileWork::Context& context) {
                        return FileWork::planEdit(context, op, paths) ? op : 0;
                    },
                    kRenaming, [self](const FileWork::Summary&) { self->reloadAfterRename(); });
            });
    });
    return handle;
}

void AppViewModel::reloadAfterRename() {
    // The lists reload once the files carry the new name; the index may note the writes a
    // moment after they land.
    QTimer::singleShot(kReloadAfterRenameMs, this, [this] {
        clearFileCache();
        loadFilesForCurrentTag();
    });
}

void AppViewModel::applyTags(const QList<QUrl>& urls, const QStringList& adding,
                             const QStringList& removing) {
    if (urls.isEmpty() || (adding.isEmpty() && removing.isEmpty())) {
        return;
    }
    const TagEdit edit{adding, removing, {}, {}};
    QList<QByteArray> paths;
    for (const QUrl& url : urls) {
        if (const QByteArray path = FilePaths::rawPathFromUrl(url); !path.isEmpty()) {
            paths.append(path);
        }
    }
    auto handle = std::make_shared<std::atomic<qint64>>(0);
    const QString files = paths.size() == 1 ? QStringLiteral("1 File")
                                            : QStringLiteral("%1 Files").arg(number(paths.size()));
    pushUndoStep({adding.isEmpty() ? "Remove Tags from " + files : "Tag " + files, std::nullopt,
                  std::nullopt, handle});
    QPointer<AppViewModel> self(this);
    enqueueFileJob([self, handle, edit, paths] {
        if (!self) {
            return;
        }
        self->runFileOperation(
            handle,
            [edit, paths](FileWork::Context& context) -> qint64 {
                const qint64 op = context.journal.begin(FileJournal::Kind::Edit, edit);
                return op && FileWork::planEdit(context, op, paths) ? op : 0;
            },
            edit.adding.isEmpty() ? kUntagging : kTagging,
            [self, edit](const FileWork::Summary& summary) {
                // One short line says what the drop changed, unless the summary has worse news.
                if (!summary.failed && !summary.changedElsewhere && !summary.unsettled &&
                    !summary.stopped) {
                    self->setFileWorkStatus(dropText(edit, summary.changed));
                    self->m_statusTimer.start(kStatusShownMs);
                }
                self->clearFileCache();
                self->loadFilesForCurrentTag();
            });
    });
}

void AppViewModel::keepTagsThroughSave(const QByteArray& path, const QByteArray& value) {
    // Put back only where the new file is still untagged; journaled like any other change.
    enqueueFileJob([self = QPointer<AppViewModel>(this), path, value] {
        self->runFileOperation(
            nullptr,
            [path, value](FileWork::Context& context) -> qint64 {
                const qint64 op = context.journal.begin(FileJournal::Kind::Restore, {});
                const FileJournal::Entry entry{0, path, {}, value, {}, FileJournal::State::Pending};
                return op && context.journal.plan(op, {entry}) ? op : 0;
            },
            kKeeping,
            [path](const FileWork::Summary& summary) {
                if (summary.changed > 0) {
                    Log::line("fileWork: kept the tags of " + QString::fromUtf8(path) +
                              " through another program's save");
                }
            });
    });
}

bool AppViewModel::finishInterruptedWork() {
    const QList<FileJournal::Operation> unfinished = m_journal->unfinished();
    if (unfinished.isEmpty()) {
        return false;
    }
    auto total = std::make_shared<FileWork::Summary>();
    QPointer<AppViewModel> self(this);
    const auto add = [total](const FileWork::Summary& summary) { *total += summary; };
    for (const FileJournal::Operation& operation : unfinished) {
        const qint64 op = operation.id;
        if (operation.planned) {
            enqueueFileJob([self, op, add] {
                self->runFileOperation(
                    nullptr, [op](FileWork::Context&) { return op; }, kFinishing, add);
            });
        } else if (!operation.edit.renameFrom.isEmpty()) {
            // Cut short while it still asked which files carry the old name: asked again.
            const QString from = operation.edit.renameFrom;
            enqueueFileJob([self, op, from, add] {
                self->m_services.query.queryFilesWithTag(
                    from, [self, op, add](const QList<QByteArray>& paths) {
                        if (self) {
                            self->runFileOperation(
                                nullptr,
                                [op, paths](FileWork::Context& context) {
                                    return FileWork::planEdit(context, op, paths) ? op : 0;
                                },
                                kFinishing, add);
                        }
                    });
            });
        } else {
            m_journal->finish(op);  // nothing was written before its plan
        }
    }
    enqueueFileJob([self, total] {
        Log::line(QStringLiteral("fileJournal: finished %1 files left unfinished by the last "
                                 "session")
                      .arg(total->changed + total->unchanged + total->unsettled));
        self->clearFileCache();
        self->loadFilesForCurrentTag();
        self->finishFileJob();
    });
    return true;
}

// Undo and redo.

void AppViewModel::pushUndoStep(UndoHistory::Step step) {
    m_history.push(std::move(step));
    emit historyChanged();
}

void AppViewModel::recordTreeStep(const QString& label, const QList<TagNode>& before,
                                  UndoHistory::FileOperation files) {
    if (before == m_hierarchy && !files) {
        return;
    }
    pushUndoStep({label, before, m_hierarchy, std::move(files)});
}

std::optional<QString> AppViewModel::undoLabel() const {
    const auto* step = m_history.nextUndo();
    return step ? std::optional("Undo " + step->label) : std::nullopt;
}

std::optional<QString> AppViewModel::redoLabel() const {
    const auto* step = m_history.nextRedo();
    return step ? std::optional("Redo " + step->label) : std::nullopt;
}

void AppViewModel::undo() {
    if (!m_history.nextUndo()) {
        return;
    }
    cancelInlineEdit();
    const UndoHistory::Step step = m_history.takeUndo();
    emit historyChanged();
    takeBack(step.treeBefore, step.files);
}

void AppViewModel::redo() {
    if (!m_history.nextRedo()) {
        return;
    }
    cancelInlineEdit();
    const UndoHistory::Step step = m_history.takeRedo();
    emit historyChanged();
    takeBack(step.treeAfter, step.files);
}

void AppViewModel::takeBack(const std::optional<QList<TagNode>>& tree,
                            const UndoHistory::FileOperation& files) {
    if (tree) {
        setHierarchy(*tree);
        saveHierarchy();
        keepNavigationInTree();
    }
    if (files) {
        // Queued behind the work it takes back, which may still be running.
        QPointer<AppViewModel> self(this);
        enqueueFileJob([self, files] {
            self->runFileOperation(
                nullptr,
                [files](FileWork::Context& context) {
                    const qint64 restore = FileWork::planUndo(context.journal, *files);
                    *files = restore;  // what the next undo or redo of this step takes back
                    return restore;
                },
                kUndoing,
                [self](const FileWork::Summary&) {
                    self->clearFileCache();
                    self->loadFilesForCurrentTag();
                });
        });
    } else if (tree) {
        clearFileCache();
        loadFilesForCurrentTag();
    }
}
