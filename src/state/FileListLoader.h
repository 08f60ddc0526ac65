#pragma once

#include "model/FileItem.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QThreadPool>
#include <QUuid>

#include <atomic>
#include <functional>
#include <optional>

class FileTagStore;
class TaggedFileQuery;

// Loads the files listed under a tag: asks the index for the paths carrying its name, then reads
// every file's tags on a thread of its own to keep those that belong in the list. A long list
// arrives in parts, the first soon. Only the newest load of a tag is delivered: an earlier one,
// started before the tree or the files changed, may finish later and must not replace it.
class FileListLoader : public QObject {
    Q_OBJECT

public:
    // The names a listed file must carry (absent: any) and those it must not.
    struct Filter {
        std::optional<QSet<QString>> required;
        QSet<QString> excluded;
    };
    // Runs on the loader's thread (the user interface's) with part or all of a tag's list.
    using Delivery = std::function<void(const QUuid& id, QList<FileItem> files, bool complete)>;

    FileListLoader(TaggedFileQuery& query, FileTagStore& store, Delivery deliver,
                   QObject* parent = nullptr);
    ~FileListLoader() override;

    // `filter` is asked when the index answers, so that it sees the tree as it is then.
    void load(const QUuid& id, const QString& name, std::function<Filter()> filter);
    // Loads running now were asked before whatever made their answers stale.
    void forgetRunningLoads() { m_newestLoad.clear(); }
    void waitUntilDone() { m_pool.waitForDone(); }
    // At a quit: the lists stop being checked and nothing more is delivered.
    void stop();

private:
    // Whether `load` is the newest load of the tag: only its answer counts.
    bool isNewest(const QUuid& id, quint64 load) const { return m_newestLoad.value(id) == load; }
    void check(const QUuid& id, const QList<QByteArray>& paths, const Filter& filter, quint64 load);

    TaggedFileQuery& m_query;
    FileTagStore& m_store;
    Delivery m_deliver;
    QThreadPool m_pool;  // reads the files of opened tags, beside the file work
    std::atomic_bool m_stop = false;
    quint64 m_lastLoad = 0;
    QHash<QUuid, quint64> m_newestLoad;  // the running load of each tag whose answer counts
};
