#pragma once

#include "platform/Clock.h"
#include "platform/LocalPreviewSource.h"
#include "platform/TaggedFileQuery.h"
#include "platform/Workspace.h"
#include "platform/XattrTagStore.h"
#include "state/AppViewModel.h"

#include <QHash>
#include <QList>
#include <QObject>

// A query whose answers the test releases, in any order; or, in automatic mode, answers from
// the real files' tags under a folder.
class FakeQuery : public QObject, public TaggedFileQuery {
public:
    struct Pending {
        QString name;
        Completion completion;
    };
    void queryFilesWithTag(const QString& name, Completion completion) override;
    void queryAllTagNames(NamesCompletion completion, bool crawled) override;
    void noteTagsWritten(const QByteArray& path, const QByteArray& value) override;
    void setRefreshedHandler(RefreshedHandler handler) override { refreshed = std::move(handler); }

    // Answers query `index` (in asking order) once, on the next turn of the event loop.
    void release(qsizetype index, const QList<QUrl>& urls);
    void releasePaths(qsizetype index, const QList<QByteArray>& paths);
    QStringList askedNames() const;
    qsizetype pendingCount() const;

    // When set, every query is answered at once with the files under this folder whose tags
    // match the name case-insensitively.
    QString autoAnswerFolder;
    QList<std::pair<QByteArray, QStringList>> notes;
    // The names the index would find on the user's files.
    QStringList tagNamesOnFiles;
    bool lastNamesCrawled = false;  // the last names query would not take the last run's names
    // What the view model asked to hear when the index's crawl is done.
    RefreshedHandler refreshed;

private:
    QList<Pending> m_pending;
    QList<bool> m_released;
};

class FakeWorkspace : public Workspace {
public:
    void open(const QUrl& url) override { opened.append(url); }
    void reveal(const QUrl& url) override { revealed.append(url); }
    QList<QUrl> opened;
    QList<QUrl> revealed;
};

class ManualClock : public Clock {
public:
    double now() const override { return time; }
    double time = 1000.0;
};

// The services a view model needs, with the real xattr store.
struct FakeServices {
    XattrTagStore store;
    FakeQuery query;
    FakeWorkspace workspace;
    ManualClock clock;
    LocalPreviewSource previews;
    AppViewModel::Services services() { return {store, query, workspace, clock, previews}; }
};
