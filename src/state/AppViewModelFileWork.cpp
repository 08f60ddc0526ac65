// Changes to files: journaled when the user makes them, run one after another on the file
// thread, shown in the status bar, finished after a crash, and undoable.
#include "model/TagTree.h"
#include "platform/FileJournal.h"
#include "platform/FilePaths.h"
#include "platform/Log.h"
#include "platform/TagNames.h"
#include "services/FileWork.h"
#include "state/AppViewModel.h"
#include "state/FileListLoader.h"
#include "state/FileWorkQueue.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <QPointer>

#include <cerrno>
#include <cstring>

namespace {

constexpr int kProgressAfterMs = 500;
constexpr int kStatusShownMs = 6000;

QString number(qsizetype n) {
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(static_cast<qlonglong>(n));
}

QString files(qsizetype n) {
    return n == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(number(n));
}

using Verb = AppViewModel::FileVerb;

constexpr Verb kRenaming{"Renaming tag on %1 of %2 files\u2026", "Renamed tag on %1"};
constexpr Verb kTagging{"Tagging %1 of %2 files\u2026", "Tagged %1"};
constexpr Verb kUntagging{"Removing tags from %1 of %2 files\u2026", "Removed tags from %1"};
constexpr Verb kUndoing{"Restoring %1 of %2 files\u2026", "Restored %1"};
constexpr Verb kKeeping{"Keeping tags on %1 of %2 files\u2026", "Kept tags on %1"};
constexpr Verb kFinishing{"Finishing an interrupted change on %1 of %2 files\u2026",
                          "Finished an interrupted change on %1"};

// Why files could not be changed, in the words of the status line.
QString failureReason(int error) {
    switch (error) {
        case EROFS:
        case EACCES:
        case EPERM:
            return QStringLiteral("read-only");
        case ENOENT:
        case ENOTDIR:
            return QStringLiteral("gone");
        case E2BIG:
        case ERANGE:
            return QStringLiteral("the tag list is too long for the file system");
        case ENOSPC:
        case EDQUOT:
            return QStringLiteral("no room left on the file system");
        case ENOTSUP:
            return QStringLiteral("this drive cannot store tags");
        case ENAMETOOLONG:
            return QStringLiteral("the path is too long");
        default:
            return QString::fromUtf8(std::strerror(error)).toLower();
    }
}

// The names a drop or lift changed on the files, for its status line.
QString namesText(const QStringList& names) {
    return names.size() <= 3 ? names.join(", ") : QStringLiteral("%1 tags").arg(names.size());
}

QString summaryText(const Verb& verb, const FileWork::Summary& summary) {
    QStringList parts;
    parts.append(QString::fromUtf8(verb.done).arg(files(summary.changed)));
    if (summary.changedElsewhere > 0) {
        parts.append(summary.changedElsewhere == 1
                         ? QStringLiteral("1 file changed elsewhere was left as it is")
                         : QStringLiteral("%1 files changed elsewhere were left as they are")
                               .arg(number(summary.changedElsewhere)));
    }
    // One clause per reason, the most common first.
    QList<std::pair<qsizetype, QString>> failures;
    QHash<QString, qsizetype> byReason;
    for (auto it = summary.failures.cbegin(); it != summary.failures.cend(); ++it) {
        byReason[failureReason(it.key())] += it.value();
    }
    for (auto it = byReason.cbegin(); it != byReason.cend(); ++it) {
        failures.append({it.value(), it.key()});
    }
    std::sort(failures.begin(), failures.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    for (const auto& [count, reason] : std::as_const(failures)) {
        parts.append(QStringLiteral("%1 could not be changed (%2)").arg(number(count), reason));
    }
    if (summary.unsettled > 0) {
        parts.append(QStringLiteral("%1 kept being changed by another program")
                         .arg(number(summary.unsettled)));
    }
    if (summary.unrecorded) {
        parts.append(
            QStringLiteral("the journal could not keep up (a crash now would not be "
                           "finished)"));
    }
    return parts.join("; ");
}

}  // namespace

void AppViewModel::setFileWorkStatus(const QString& text) {
    assign(m_fileWorkStatus, text, &AppViewModel::fileWorkStatusChanged);
}

void AppViewModel::refuse(const QString& label, const QString& reason) {
    Log::line(QStringLiteral("fileWork: refused %1: %2").arg(label, reason));
    // Labels are the Edit menu's ("New Tag “X”", "Rename “X”"); a noun reads as a verb here.
    static const QString kNewTag = QStringLiteral("New Tag ");
    const QString action =
        label.startsWith(kNewTag) ? "create the tag " + label.mid(kNewTag.size()) : label;
    setFileWorkStatus(QStringLiteral("Couldn\u2019t %1: %2.").arg(action, reason));
    m_statusTimer.start(kStatusShownMs);
}

void AppViewModel::waitForFileWork() {
    m_fileWork->waitUntilIdle();
    m_lists->waitUntilDone();
    QCoreApplication::processEvents();
}

bool AppViewModel::isFileWorkIdle() const {
    return m_fileWork->isIdle();
}

void AppViewModel::shutDown() {
    m_lists->stop();
    m_fileWork->stop();
}

void AppViewModel::enqueueOperation(qint64 op, const Verb& verb,
                                    std::function<void(const FileWork::Summary&)> then,
                                    std::function<void()> started) {
    QPointer<AppViewModel> self(this);
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    FileWorkQueue::Handlers handlers;
    handlers.started = std::move(started);
    handlers.progress = [self, timer, verb](qsizetype done, qsizetype total) {
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
    };
    handlers.done = [self, timer, verb, then](const FileWork::Summary& summary) {
        if (!self || summary.stopped) {
            return;
        }
        if (summary.unplanned) {
            self->setFileWorkStatus(QStringLiteral("Couldn\u2019t change the files: %1; it is "
                                                   "tried again at the next start.")
                                        .arg(self->m_journal->lastError()));
            self->m_statusTimer.start(kStatusShownMs);
            return;
        }
        const bool tell = timer->elapsed() >= kProgressAfterMs || summary.failed ||
                          summary.changedElsewhere || summary.unsettled || summary.unrecorded;
        if (tell) {
            self->setFileWorkStatus(summaryText(verb, summary));
            self->m_statusTimer.start(kStatusShownMs);
        }
        if (then) {
            then(summary);
        }
    };
    m_fileWork->enqueue(op, std::move(handlers));
}

void AppViewModel::reloadAfterFileWork() {
    // The index has the writes before it answers the next query.
    clearFileCache();
    loadFilesForCurrentTag();
}

void AppViewModel::renameOnFiles(qint64 op) {
    QPointer<AppViewModel> self(this);
    enqueueOperation(op, kRenaming,
                     [self](const FileWork::Summary&) { self->reloadAfterFileWork(); });
}

void AppViewModel::noteNamesLeaving(const FileJournal::Operation& operation) {
    QStringList names = operation.edit.removing;
    if (!operation.edit.renameFrom.isEmpty()) {
        names.append(operation.edit.renameFrom);
    }
    m_nameMerge.noteLeaving(names);
}

void AppViewModel::applyTags(const QList<QUrl>& urls, const QStringList& adding,
                             const QStringList& removing) {
    if (urls.isEmpty() || (adding.isEmpty() && removing.isEmpty())) {
        return;
    }
    QList<QByteArray> paths;
    for (const QUrl& url : urls) {
        if (const QByteArray path = FilePaths::rawPathFromUrl(url); !path.isEmpty()) {
            paths.append(path);
        }
    }
    const QList<FileJournal::Entry> plan = FileWork::planOf(paths);
    const QString count = plan.size() == 1 ? QStringLiteral("1 File")
                                           : QStringLiteral("%1 Files").arg(number(plan.size()));
    const QString label = adding.isEmpty() ? "Remove Tags from " + count : "Tag " + count;
    FileJournal::Operation operation;
    operation.edit = TagEdit{adding, removing, {}, {}};
    const qint64 op = m_journal->begin(operation, plan);
    if (!op) {
        refuse(label, m_journal->lastError());
        return;
    }
    noteNamesLeaving(operation);
    pushUndoStep({label, {}, op, std::nullopt});
    QPointer<AppViewModel> self(this);
    enqueueOperation(op, adding.isEmpty() ? kUntagging : kTagging,
                     [self, adding](const FileWork::Summary& summary) {
                         // One short line says what the drop changed, unless the summary has
                         // worse news.
                         if (!summary.failed && !summary.changedElsewhere && !summary.unsettled &&
                             !summary.unrecorded) {
                             const QStringList& names =
                                 adding.isEmpty() ? summary.namesRemoved : summary.namesAdded;
                             QString text;
                             if (summary.changed == 0) {
                                 text = adding.isEmpty()
                                            ? QStringLiteral("The files did not have those tags")
                                            : "The files already had " + namesText(adding);
                             } else if (adding.isEmpty()) {
                                 text = QStringLiteral("Removed %1 from %2")
                                            .arg(namesText(names), files(summary.changed));
                             } else {
                                 text = QStringLiteral("Tagged %1 with %2")
                                            .arg(files(summary.changed), namesText(names));
                             }
                             self->setFileWorkStatus(text);
                             self->m_statusTimer.start(kStatusShownMs);
                         }
                         self->reloadAfterFileWork();
                     });
}

void AppViewModel::keepTagsThroughSave(const QByteArray& path, const QByteArray& value) {
    // Put back only where the new file is still untagged; journaled like any other change. A
    // put-back still waiting for its turn reads the file then: a later save needs no other.
    if (m_restoresWaiting.contains(path)) {
        return;
    }
    FileJournal::Operation operation;
    operation.kind = FileJournal::Kind::Restore;
    const qint64 op = m_journal->begin(operation, {{.path = path, .target = value}});
    if (!op) {
        Log::line("fileWork: could not keep the tags of " + QString::fromUtf8(path) +
                  " through another program's save: " + m_journal->lastError());
        return;
    }
    m_restoresWaiting.insert(path);
    QPointer<AppViewModel> self(this);
    enqueueOperation(
        op, kKeeping,
        [path](const FileWork::Summary& summary) {
            if (summary.changed > 0) {
                Log::line("fileWork: kept the tags of " + QString::fromUtf8(path) +
                          " through another program's save");
            }
        },
        [self, path] { self->m_restoresWaiting.remove(path); });
}

bool AppViewModel::finishInterruptedWork() {
    const QList<FileJournal::Operation> unfinished = m_journal->unfinished();
    if (unfinished.isEmpty()) {
        return false;
    }
    // A rename's tree side is journaled with it: a crash before the tree was saved leaves the
    // tag to be renamed here, in the order the renames were made.
    QList<TagNode> tree = m_hierarchy;
    bool renamed = false;
    for (const FileJournal::Operation& operation : unfinished) {
        noteNamesLeaving(operation);
        if (const auto& rename = operation.tree) {
            TagTree::update(tree, rename->tag, [&](TagNode& node) {
                if (node.name == rename->from) {
                    node.name = rename->to;
                    renamed = true;
                }
            });
        }
    }
    if (renamed) {
        setHierarchy(std::move(tree));
        saveHierarchy();
    }
    auto total = std::make_shared<FileWork::Summary>();
    for (const FileJournal::Operation& operation : unfinished) {
        enqueueOperation(operation.id, kFinishing,
                         [total](const FileWork::Summary& summary) { *total += summary; });
    }
    QPointer<AppViewModel> self(this);
    m_fileWork->enqueueStep([self, total](const std::function<void()>& next) {
        Log::line(QStringLiteral("fileJournal: finished %1 files left unfinished by the last "
                                 "session")
                      .arg(total->changed + total->unchanged + total->unsettled));
        if (self) {
            self->reloadAfterFileWork();
        }
        next();
    });
    return true;
}

// Undo and redo.

void AppViewModel::pushUndoStep(UndoHistory::Step step) {
    m_history.push(std::move(step));
    emit historyChanged();
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
    takeBack(true);
}

void AppViewModel::redo() {
    takeBack(false);
}

void AppViewModel::takeBack(bool undo) {
    const UndoHistory::Step* found = undo ? m_history.nextUndo() : m_history.nextRedo();
    if (!found) {
        return;
    }
    cancelInlineEdit();
    const UndoHistory::Step step = *found;
    const QString label = (undo ? "Undo " : "Redo ") + step.label;
    // The files' side first, in the journal: what it takes back is finished first, whether
    // now or at the next start.
    qint64 op = 0;
    FileJournal::Operation operation;
    if (step.files) {
        operation.kind = FileJournal::Kind::Undo;
        operation.undoes = step.files;
        // What it takes back, in names, kept with it: the operations it takes back may be gone
        // from the journal by the time a later start finishes it.
        if (const auto taken = m_journal->operation(step.files)) {
            operation.edit = taken->edit.inverted();
        }
        if (step.rename) {
            operation.tree =
                undo ? FileJournal::TreeRename{step.rename->tag, step.rename->to, step.rename->from}
                     : *step.rename;
        }
        op = m_journal->begin(operation);
        if (!op) {
            refuse(label, m_journal->lastError());
            return;
        }
    }
    if (!step.tree.isEmpty()) {
        QList<TagNode> tree = m_hierarchy;
        undo ? step.tree.undo(tree) : step.tree.redo(tree);
        const QList<TagNode> before = m_hierarchy;
        setHierarchy(std::move(tree));
        if (!saveHierarchy()) {
            setHierarchy(before);
            if (op) {
                m_journal->finish(op);
            }
            refuse(label, m_lastSaveError);
            return;
        }
        keepNavigationInTree();
    }
    undo ? m_history.stepBack(op) : m_history.stepForward(op);
    emit historyChanged();
    if (op) {
        noteNamesLeaving(operation);
        QPointer<AppViewModel> self(this);
        enqueueOperation(op, kUndoing,
                         [self](const FileWork::Summary&) { self->reloadAfterFileWork(); });
    } else {
        reloadAfterFileWork();
    }
}
