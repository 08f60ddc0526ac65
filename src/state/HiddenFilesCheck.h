#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <QThreadPool>

#include <atomic>
#include <functional>

class FileTagStore;
class TaggedFileQuery;

// After a tag is nested under others: which of the files carrying its name lack a name along
// its new path, and so no longer show under it (Match All Tags lists a file only where it
// carries every name of the path). Users arrive with flat tags; nesting one must not hide its
// files without a word. The files are read on a thread of its own; only the newest check is
// answered.
class HiddenFilesCheck : public QObject {
    Q_OBJECT

public:
    using Done = std::function<void(const QList<QByteArray>& hidden)>;

    HiddenFilesCheck(TaggedFileQuery& query, FileTagStore& store, QObject* parent = nullptr);
    ~HiddenFilesCheck() override;

    // `path`: the tag's names from the root down, its own last. `done` runs on this object's
    // thread, unless a newer check has started.
    void check(const QStringList& path, Done done);
    void stop();

private:
    TaggedFileQuery& m_query;
    FileTagStore& m_store;
    QThreadPool m_pool;
    std::atomic_bool m_stop = false;
    quint64 m_last = 0;
};
