// Changes to files: journaled when the user makes them, run one after another on the file
// thread, shown in the status bar, finished after a crash, and undoable.
#include "platform/FileJournal.h"
#include "platform/FilePaths.h"
#include "platform/Log.h"
#include "platform/TagNames.h"
#include "services/FileWork.h"
#include "state/AppViewModel.h"
#include "state/FileListLoader.h"
#include "state/FileWorkQueue.h"
#include "state/FileWorkStatus.h"
#include "state/HiddenFilesCheck.h"
#include "state/InterruptedWork.h"
#include "state/TagArguments.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>

namespace {

constexpr int kProgressAfterMs = 500;
constexpr int kStatusShownMs = 6000;

}  // namespace

using namespace FileWorkStatus;

void AppViewModel::setFileWorkStatus(const QString& text) {
    // A button belongs to the words it came with.
    if (!m_statusAction.isEmpty()) {
        m_hiddenFiles.clear();
        assign(m_statusAction, QString(), &AppViewModel::statusActionChanged);
    }
    assign(m_fileWorkStatus, text, &AppViewModel::fileWorkStatusChanged);
}

void AppViewModel::sayHiddenFiles(const QUuid& id) {
    const QStringList path = pathNames(id);
    if (path.size() < 2) {
        return;
    }
    QPointer<AppViewModel> self(this);
    m_hiddenFilesCheck->check(path, [self, id, path](const QList<QByteArray>& hidden) {
        if (!self || hidden.isEmpty() || self->pathNames(id) != path) {
            return;  // nothing hidden, or the tag has moved on since
        }
        const QString parent = path[path.size() - 2];
        self->setFileWorkStatus(
            hidden.size() == 1
                ? QStringLiteral("1 file tagged \u201c%1\u201d is not tagged \u201c%2\u201d")
                      .arg(path.last(), parent)
                : QStringLiteral("%1 files tagged \u201c%2\u201d are not tagged \u201c%3\u201d")
                      .arg(number(hidden.size()), path.last(), parent));
        self->m_statusTimer.stop();  // it stays until the user has read it and chosen
        self->m_hiddenFiles = hidden;
        self->m_hiddenFilesPath = path;
        self->assign(self->m_statusAction, QStringLiteral("Tag Them"),
                     &AppViewModel::statusActionChanged);
    });
}

void AppViewModel::runStatusAction() {
    if (m_statusAction.isEmpty()) {
        return;
    }
    QList<QUrl> files;
    for (const QByteArray& path : std::as_const(m_hiddenFiles)) {
        files.append(FilePaths::urlFromRawPath(path));
    }
    const QStringList path = m_hiddenFilesPath;
    setFileWorkStatus(QString());
    // With paths chosen, the tag's plain name gives way to its path entry.
    const auto names = m_nestedTagStyle.namesFor(path);
    const bool asPath = names.adding.size() == 1 && path.size() > 1;
    applyEdit(
        files,
        TagEdit{
            names.adding, asPath ? QStringList{path.last()} : QStringList(), {}, {}, {}, {}, {}},
        names.note);
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
    m_treeSaves.wait();
}

bool AppViewModel::isFileWorkIdle() const {
    return m_fileWork->isIdle();
}

void AppViewModel::shutDown() {
    m_lists->stop();
    m_hiddenFilesCheck->stop();
    m_fileWork->stop();
    m_treeSaves.wait();  // the merged names are on disk before the process ends
}

void AppViewModel::enqueueOperation(qint64 op, const FileWorkStatus::Verb& verb,
                                    std::function<void(const FileWork::Summary&)> then,
                                    std::function<void()> started, Finished finished) {
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
                    self->setFileWorkStatus(progress(verb, done, total));
                }
            },
            Qt::QueuedConnection);
    };
    handlers.done = [self, timer, verb, then, finished](const FileWork::Summary& summary) {
        if (!self || summary.stopped) {
            return;
        }
        if (summary.unplanned) {
            self->setFileWorkStatus(QStringLiteral("Couldn\u2019t change the files: %1; it is "
                                                   "tried again at the next start.")
                                        .arg(self->m_journal->lastError()));
            self->m_statusTimer.start(kStatusShownMs);
            if (finished) {
                finished(self->m_fileWorkStatus);
            }
            return;
        }
        if (finished) {
            finished(hasTrouble(summary) ? FileWorkStatus::summary(verb, summary) : QString());
        }
        if (timer->elapsed() >= kProgressAfterMs || hasTrouble(summary)) {
            self->setFileWorkStatus(FileWorkStatus::summary(verb, summary));
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

void AppViewModel::renameOnFiles(qint64 op, const QString& sharedName, Finished finished) {
    QPointer<AppViewModel> self(this);
    enqueueOperation(
        op, kRenaming,
        [self, name = sharedName](const FileWork::Summary& summary) {
            // Files of the other tag of that name were left as they are: said, always.
            if (!name.isEmpty() && summary.unchanged > 0 && !hasTrouble(summary)) {
                self->setFileWorkStatus(
                    FileWorkStatus::summary(kRenaming, summary) + "; " +
                    (summary.unchanged == 1
                         ? QStringLiteral("1 file kept \u201c%1\u201d for the other tag").arg(name)
                         : QStringLiteral("%1 files kept \u201c%2\u201d for the other tag")
                               .arg(number(summary.unchanged), name)));
                self->m_statusTimer.start(kStatusShownMs);
            }
            self->reloadAfterFileWork();
        },
        {}, std::move(finished));
}

void AppViewModel::rewritePathsOnFiles(qint64 op) {
    QPointer<AppViewModel> self(this);
    enqueueOperation(op, kNesting,
                     [self](const FileWork::Summary&) { self->reloadAfterFileWork(); });
}

void AppViewModel::noteNamesLeaving(const FileJournal::Operation& operation) {
    QStringList names = operation.edit.removing;
    if (!operation.edit.renameFrom.isEmpty()) {
        names.append(operation.edit.renameFrom);
    }
    m_nameMerge.noteLeaving(names);
    if (!operation.edit.pathFrom.isEmpty()) {
        m_nameMerge.notePathLeaving(operation.edit.pathFrom);
    }
}

void AppViewModel::applyTags(const QList<QUrl>& urls, const QStringList& adding,
                             const QStringList& removing) {
    applyEdit(urls, TagEdit{adding, removing, {}, {}, {}, {}, {}});
}

void AppViewModel::applyEdit(const QList<QUrl>& urls, const TagEdit& edit, const QString& note,
                             Finished finished) {
    const QStringList& adding = edit.adding;
    if (urls.isEmpty() ||
        (adding.isEmpty() && edit.removing.isEmpty() && edit.pathFrom.isEmpty())) {
        if (finished) {
            finished({});
        }
        return;
    }
    QList<QByteArray> paths;
    for (const QUrl& url : urls) {
        if (const QByteArray path = FilePaths::rawPathFromUrl(url); !path.isEmpty()) {
            paths.append(path);
        }
    }
    const QList<FileJournal::Entry> plan = FileWork::planOf(paths);
    const QString count = fileCountLabel(plan.size());
    const QString label = adding.isEmpty() ? "Remove Tags from " + count : "Tag " + count;
    FileJournal::Operation operation;
    operation.edit = edit;
    const qint64 op = m_journal->begin(operation, plan);
    if (!op) {
        refuse(label, m_journal->lastError());
        if (finished) {
            finished(m_fileWorkStatus);
        }
        return;
    }
    noteNamesLeaving(operation);
    pushUndoStep({label, {}, op, std::nullopt});
    QPointer<AppViewModel> self(this);
    enqueueOperation(
        op, adding.isEmpty() ? kUntagging : kTagging,
        [self, edit, note](const FileWork::Summary& summary) {
            // One short line says what the drop changed, unless the summary has
            // worse news.
            if (!hasTrouble(summary)) {
                const QString said = dropSummary(edit, summary);
                self->setFileWorkStatus(note.isEmpty() ? said : said + "; " + note);
                self->m_statusTimer.start(kStatusShownMs);
            }
            self->reloadAfterFileWork();
        },
        {}, std::move(finished));
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
    InterruptedWork unfinished = InterruptedWork::find(*m_journal, m_hierarchy);
    if (unfinished.operations.isEmpty()) {
        return false;
    }
    for (const FileJournal::Operation& operation : std::as_const(unfinished.operations)) {
        noteNamesLeaving(operation);
    }
    if (unfinished.tree) {
        setHierarchy(std::move(*unfinished.tree));
        saveHierarchy();
    }
    auto total = std::make_shared<FileWork::Summary>();
    for (const FileJournal::Operation& operation : std::as_const(unfinished.operations)) {
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

void AppViewModel::editFromScript(const QList<QByteArray>& paths, const QStringList& tags,
                                  bool tagging, Finished finished) {
    auto edit = TagArguments::edit(m_hierarchy, tags, tagging, m_nestedTagStyle);
    if (const QString* problem = std::get_if<QString>(&edit)) {
        finished(*problem);
        return;
    }
    QList<QUrl> urls;
    for (const QByteArray& path : paths) {
        urls.append(FilePaths::urlFromRawPath(path));
    }
    applyEdit(urls, std::get<TagEdit>(edit), {}, std::move(finished));
}
