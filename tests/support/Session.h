#pragma once

#include "FakeServices.h"
#include "TestHome.h"
#include "platform/FileJournal.h"
#include "platform/TagIndex.h"
#include "platform/XattrTagStore.h"
#include "state/AppViewModel.h"

#include <atomic>
#include <memory>

// The real store, each write slowed, so that work is still running when the test acts.
class SlowStore : public FileTagStore {
public:
    explicit SlowStore(int microseconds = 60) : microseconds(microseconds) {}
    std::optional<QByteArray> readValue(const QByteArray& path) const override;
    std::error_code writeValue(const QByteArray& path, const QByteArray& value) override;
    std::optional<QByteArray> readOwnValue(const QByteArray& path) const override;
    std::error_code writeOwnValue(const QByteArray& path, const QByteArray& value) override;
    std::atomic_int microseconds;

private:
    XattrTagStore m_real;
};

// One run of Orvane as the user starts it, on the real index over `home`'s home folder, the
// real journal and the store of the last run: the tree loaded, names on files merged and work
// cut short finished.
class Session {
public:
    struct Options {
        int crawlDelayMs = 0;
        int watchLimit = -1;
        int writeDelayMicroseconds = 0;
        bool loadHierarchy = true;
    };
    // Over `home`, the index's store and lists kept in `cacheDir`.
    Session(const QString& home, const QString& cacheDir, Options options);
    Session(const TestHome& home, Options options)
        : Session(home.home(), home.cacheDir(), options) {}
    explicit Session(const TestHome& home) : Session(home, Options{}) {}
    ~Session();

    // What a quit does: the batch in hand finished, the rest left to the journal.
    void quit();
    // Runs the event loop until the index has crawled, its answers are in and the file work
    // is done.
    void settle();

    SlowStore store;
    FakeWorkspace workspace;
    ManualClock clock;
    LocalPreviewSource previews;
    std::unique_ptr<TagIndex> index;
    std::unique_ptr<FileJournal> journal;
    std::unique_ptr<AppViewModel> model;
};

// Removes the tree, the journal and the index's store of earlier runs in this home.
void forgetEarlierRuns(const TestHome& home);
