#pragma once

#include "platform/RecheckRounds.h"
#include "platform/ReplaceGuard.h"
#include "platform/TagIndexCrawler.h"
#include "platform/TagIndexStore.h"
#include "platform/TaggedFileQuery.h"

#include <QObject>

#include <QHash>
#include <QSet>
#include <QThreadPool>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

class TagIndexTable;
struct inotify_event;

// The application's own metadata index: a crawl of the home folder and the removable volumes
// on worker threads, kept live with inotify, plus the files the application tagged elsewhere
// (remembered in the cache folder). Lives on the user interface thread; its own thread does
// all disk work and answers queries on the user interface thread.
class TagIndex final : public QObject, public TaggedFileQuery {
    Q_OBJECT

public:
    struct Options {
        QList<QByteArray> roots;
        // Roots where removable volumes are mounted: walked again whenever a volume comes or
        // goes.
        QList<QByteArray> volumeRoots;
        QString outsideListPath;  // where the files tagged outside the roots are remembered
        QString storePath;        // what the index knew at the end of the last run; empty: none
        int crawlThreads = 2;
        int watchLimit = -1;  // a lower limit than the kernel's, for tests
        // Folders without a watch (past the system's limit) are listed again in rounds, in
        // the background, the longest unchecked first: all of them within the interval.
        int recheckIntervalMs = 120000;
        int recheckRoundMs = 2000;
        int crawlDelayMs = 0;  // for tests: the crawl starts this long after the store is read
        // For tests: events are read this long after they come, as on a loaded machine.
        int eventDelayMs = 0;
    };
    // $HOME, /run/media/$USER and /media/$USER; the list and the store in the cache folder.
    static Options defaultOptions();

    explicit TagIndex(Options options, QObject* parent = nullptr);
    ~TagIndex() override;

    // Reads the store and starts the first crawl, in the background. Until the crawl is done,
    // queries are answered from the store when there is one, else they wait for the crawl.
    void start();

    void queryFilesWithTag(const QString& name, Completion completion) override;
    void queryEveryFileWithTag(const QString& name, Completion completion) override;
    void queryAllTagNames(NamesCompletion completion, bool crawled) override;
    void noteTagsWritten(const QByteArray& path, const QByteArray& value) override;
    void setTagsReplacedHandler(ReplacedHandler handler) override;
    void setWatchLimitHandler(std::function<void()> handler) override;
    void setRefreshedHandler(RefreshedHandler handler) override;

    // Ends the crawl and the watching at once; the store is written if the index was complete.
    // Called at a quit; the index answers nothing afterwards.
    void stop();

    // Blocks until the first crawl is done (benchmarks and tests).
    void waitUntilReady();
    // True while the index's thread waits for news with everything applied (tests).
    bool isIdle() const { return m_idle; }
    qsizetype folderCount() const;
    qsizetype taggedFileCount() const;
    qsizetype watchedFolderCount() const;

private:
    struct PendingQuery {
        QString name;
        Completion completion;
    };
    struct PendingNote {
        QByteArray path;
        QStringList names;
        QByteArray value;  // the attribute's bytes when known
    };

    void threadMain();
    // What the last run kept (see TagIndexStore): opened, not read; asked a name at a time.
    void openStore();
    // False when it must wait for the crawl; the caller holds m_queueMutex.
    bool answerFromStore(const PendingQuery& query);
    bool answerNamesFromStore(const NamesCompletion& completion);
    // Stops asking a store that failed to read; the caller holds m_queueMutex.
    void closeStoreIfFailed(const std::shared_ptr<TagIndexStore::Reader>& reader, bool read);
    // After the first crawl: tells which answers given from the store have changed.
    void reportRefreshed();
    void saveStore();
    // The application wrote to files: until the store is written again, a crash (or a quit
    // before the crawl is done) must not leave it to tell the next start the names as they
    // were before. Any thread.
    void dropStore();
    void crawlEverything();
    void recrawlVolumes();
    void crawlFrom(const QList<std::pair<int, QByteArray>>& starts);
    void drainEvents();
    void catchUp();
    void handleEvent(const inotify_event& event);
    // The application's writes, each at the folder the crawl knows it by.
    void applyNotes(QList<PendingNote> notes);
    void applyNote(const PendingNote& note);
    // False when the note's folder is not one the crawl found (or its file is hidden).
    bool applyNoteInCrawledFolder(const PendingNote& note);
    void keepTagsOfReplacedFile(int folder, const QByteArray& name, const QByteArray& path);
    // The path with its folder resolved to its real place (the file's own name kept).
    static QByteArray realPath(const QByteArray& path);
    // A folder's real place; the path itself when it cannot be resolved (not there yet).
    static QByteArray realFolder(const QByteArray& path);
    void recheckRound();
    // A query, or a write of the application's own, waits to be applied (any thread).
    bool answersWaiting();
    // Lists every unwatched folder and every file outside the crawled folders again.
    void recheckEverything();
    static qint64 steadyNow();
    // Lists the folder again and brings its entries in the table up to date.
    void resyncFolder(int folder, const QByteArray& path);
    void recheckOutsideFiles();
    void answer(const PendingQuery& query);
    // For a query asked while the thread sleeps: answered on the asking thread.
    bool eventsPending() const;
    bool answerAtOnce(const PendingQuery& query);
    // Whether the path lies where the crawl looks (under a root, nothing hidden on the way).
    bool isCrawledPlace(const QByteArray& path) const;
    // Writes the list of files tagged elsewhere when it changed.
    void saveOutsideList();
    void wake();

    Options m_options;
    std::unique_ptr<TagIndexTable> m_table;
    mutable std::mutex m_tableMutex;
    QSet<int> m_unwatched;
    QSet<int> m_missed;
    QHash<int, SeenBefore> m_seenTwice;
    QSet<int> m_stale;                   // folders whose events named paths that were already gone
    QHash<quint32, int> m_movedFolders;  // inotify move cookie -> folder awaiting its new place
    QList<QByteArray> m_outsideList;
    QSet<QByteArray> m_outsideSet;
    bool m_outsideListChanged = false;
    int m_inotifyFd = -1;
    int m_wakeFd = -1;
    int m_mountsFd = -1;
    bool m_watchLimitLogged = false;

    std::mutex m_queueMutex;
    std::condition_variable m_readyChanged;
    bool m_ready = false;
    QList<PendingQuery> m_queries;
    QList<PendingQuery> m_completeQueries;  // answered after every unwatched folder is listed
    QList<NamesCompletion> m_nameQueries;
    ReplacedHandler m_replacedHandler;
    std::function<void()> m_watchLimitHandler;
    bool m_watchLimitTold = false;
    RecheckRounds m_rounds;
    ReplaceGuard m_replaceGuard;  // the tags of files that went, for the files in their place
    QList<PendingNote> m_notes;

    // The last run's store (absent when there was none usable, or once the crawl is done),
    // asked on a thread of its own so that neither the window nor the crawl waits for it; what
    // was answered from it, to be checked against the crawl. Under m_queueMutex.
    std::shared_ptr<TagIndexStore::Reader> m_storeReader;
    QThreadPool m_storeLookups;
    QHash<QString, QList<QByteArray>> m_storedAnswers;
    bool m_namesFromStore = false;
    RefreshedHandler m_refreshedHandler;
    std::atomic_bool m_crawled = false;  // the last whole crawl ran to its end
    // Writes to files since the store was written; the store on disk is removed at the first.
    std::atomic<quint64> m_writes = 0;
    std::atomic<quint64> m_writesStored = 0;
    std::optional<quint64> m_versionStored;  // the table's version the store on disk holds

    std::atomic_bool m_stop = false;
    std::atomic_bool m_idle = false;  // the thread waits in poll with everything applied
    std::atomic_int m_watchesLeft = -1;
    std::thread m_thread;
};
