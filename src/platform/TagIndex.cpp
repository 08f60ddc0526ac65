#include "platform/TagIndex.h"

#include "platform/Log.h"
#include "platform/LongPaths.h"
#include "platform/PrivateFiles.h"
#include "platform/TagIndexCrawler.h"
#include "platform/TagIndexStore.h"
#include "platform/TagIndexTable.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>

TagIndex::Options TagIndex::defaultOptions() {
    Options options;
    options.roots.append(QFile::encodeName(QDir::homePath()));
    const QByteArray user = qgetenv("USER");
    if (!user.isEmpty()) {
        // Kept even while missing: the folder appears with the first volume mounted there.
        options.volumeRoots = {"/run/media/" + user, "/media/" + user};
        options.roots.append(options.volumeRoots);
    }
    options.outsideListPath =
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
        "/Orvane/tagged-elsewhere";
    options.storePath = TagIndexStore::defaultPath();
    return options;
}

TagIndex::TagIndex(Options options, QObject* parent)
    : QObject(parent),
      m_options(std::move(options)),
      m_table(std::make_unique<TagIndexTable>()),
      m_rounds(m_options.recheckIntervalMs, m_options.recheckRoundMs) {
    m_storeLookups.setMaxThreadCount(1);
}

TagIndex::~TagIndex() {
    stop();
    if (m_inotifyFd >= 0) {
        close(m_inotifyFd);
    }
    if (m_wakeFd >= 0) {
        close(m_wakeFd);
    }
    if (m_mountsFd >= 0) {
        close(m_mountsFd);
    }
}

void TagIndex::stop() {
    m_stop = true;
    m_storeLookups.clear();
    wake();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    // The look-up under way ends before the descriptors it wakes the thread with are closed;
    // none starts once the index's thread has ended.
    m_storeLookups.waitForDone();
    m_readyChanged.notify_all();
}

void TagIndex::start() {
    if (m_thread.joinable()) {
        return;
    }
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_thread = std::thread([this] { threadMain(); });
}

void TagIndex::wake() {
    if (m_wakeFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(m_wakeFd, &one, sizeof one);
    }
}

void TagIndex::queryFilesWithTag(const QString& name, Completion completion) {
    PendingQuery query{name, std::move(completion)};
    {
        std::lock_guard lock(m_queueMutex);
        if (answerFromStore(query)) {
            return;
        }
        // With nothing left to apply (the thread asleep, no event, write or query waiting), the
        // table is up to date and answers here: no trip through the index's thread.
        if (!(m_ready && m_idle && m_queries.isEmpty() && m_notes.isEmpty() && !eventsPending() &&
              answerAtOnce(query))) {
            m_queries.append(std::move(query));
        }
    }
    wake();
}

void TagIndex::queryEveryFileWithTag(const QString& name, Completion completion) {
    {
        std::lock_guard lock(m_queueMutex);
        m_completeQueries.append({name, std::move(completion)});
    }
    wake();
}

bool TagIndex::eventsPending() const {
    pollfd events{m_inotifyFd, POLLIN, 0};
    return m_inotifyFd < 0 || poll(&events, 1, 0) != 0;
}

bool TagIndex::answerAtOnce(const PendingQuery& query) {
    {
        // Files tagged outside the crawled folders are read again before each answer, on the
        // index's thread.
        std::lock_guard lock(m_tableMutex);
        if (m_table->hasOutsideFiles()) {
            return false;
        }
    }
    answer(query);
    return true;
}

void TagIndex::queryAllTagNames(NamesCompletion completion, bool crawled) {
    {
        std::lock_guard lock(m_queueMutex);
        if (!crawled && answerNamesFromStore(completion)) {
            return;
        }
        m_nameQueries.append(std::move(completion));
    }
    wake();
}

void TagIndex::noteTagsWritten(const QByteArray& path, const QByteArray& value) {
    dropStore();
    // Decoded here, on the writer's thread. A write through a link changed the file it points
    // to; a path through a linked folder is resolved on the index's thread, and only when the
    // crawl does not know its folder.
    PendingNote note{path, TagIndexCrawler::decodeTags(value), value};
    struct stat info {};
    if (lstat(LongPaths::Path(path).get(), &info) == 0 && S_ISLNK(info.st_mode)) {
        note.path = realPath(path);
    }
    {
        std::lock_guard lock(m_queueMutex);
        m_notes.append(std::move(note));
    }
    wake();
}

void TagIndex::applyNotes(QList<PendingNote> notes) {
    QList<PendingNote> elsewhere;
    {
        std::lock_guard lock(m_tableMutex);
        for (PendingNote& note : notes) {
            // In a folder the crawl found, the path is a real one already.
            if (!applyNoteInCrawledFolder(note)) {
                elsewhere.append(std::move(note));
            }
        }
    }
    for (PendingNote& note : elsewhere) {
        note.path = realPath(note.path);  // not under the table's lock
        std::lock_guard lock(m_tableMutex);
        applyNote(note);
    }
}

void TagIndex::waitUntilReady() {
    std::unique_lock lock(m_queueMutex);
    m_readyChanged.wait(lock, [this] { return m_ready || m_stop; });
}

qsizetype TagIndex::folderCount() const {
    std::lock_guard lock(m_tableMutex);
    return m_table->folderCount();
}

qsizetype TagIndex::watchedFolderCount() const {
    std::lock_guard lock(m_tableMutex);
    return m_table->watchedFolderCount();
}

qsizetype TagIndex::taggedFileCount() const {
    std::lock_guard lock(m_tableMutex);
    return m_table->taggedFileCount();
}

void TagIndex::threadMain() {
    QFile list(m_options.outsideListPath);
    if (list.open(QIODevice::ReadOnly)) {
        for (const QByteArray& path : list.readAll().split('\0')) {
            if (const QByteArray real = realPath(path);  // earlier versions kept link paths
                !path.isEmpty() && !m_outsideSet.contains(real)) {
                m_outsideList.append(real);
                m_outsideSet.insert(real);
            }
        }
    }
    if (!m_options.volumeRoots.isEmpty()) {
        // The kernel flags this file whenever something is mounted or unmounted.
        m_mountsFd = open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    }
    openStore();
    if (m_options.crawlDelayMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(m_options.crawlDelayMs));
    }
    crawlEverything();
    catchUp();
    m_crawled = m_crawled && !m_stop;
    // Told before the index says it is ready: whoever waits for that finds the word given.
    reportRefreshed();
    {
        std::lock_guard lock(m_queueMutex);
        m_ready = true;
    }
    m_readyChanged.notify_all();
    saveStore();
    // The crawl's listings and the store's copy of the table are freed by now; their pages go
    // back to the system (freed memory of the crawl's threads is otherwise kept for reuse).
    malloc_trim(0);

    while (!m_stop) {
        // Everything that happened before a query was asked is applied before it is answered:
        // the kernel queued its events, and the application's own writes sit in m_notes.
        catchUp();
        QList<PendingNote> notes;
        QList<PendingQuery> queries;
        QList<PendingQuery> completeQueries;
        QList<NamesCompletion> nameQueries;
        {
            std::lock_guard lock(m_queueMutex);
            notes.swap(m_notes);
            queries.swap(m_queries);
            completeQueries.swap(m_completeQueries);
            nameQueries.swap(m_nameQueries);
        }
        applyNotes(std::move(notes));
        saveOutsideList();
        if (!queries.isEmpty() || !completeQueries.isEmpty()) {
            recheckOutsideFiles();
            for (const PendingQuery& query : queries) {
                answer(query);
            }
        }
        if (!completeQueries.isEmpty()) {
            recheckEverything();
            for (const PendingQuery& query : completeQueries) {
                answer(query);
            }
        }
        for (const NamesCompletion& completion : std::as_const(nameQueries)) {
            QStringList names;
            {
                std::lock_guard lock(m_tableMutex);
                names = m_table->tagNames();
            }
            QMetaObject::invokeMethod(
                this, [completion, names] { completion(names); }, Qt::QueuedConnection);
        }
        // Queries never wait for unwatched folders: those are looked at in rounds.
        int timeout = -1;
        if (!m_unwatched.isEmpty()) {
            if (m_rounds.isDue(steadyNow())) {
                recheckRound();
            }
            timeout = m_rounds.waitMs(steadyNow());
        }
        pollfd fds[3] = {{m_inotifyFd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}, {m_mountsFd, POLLPRI, 0}};
        m_idle = true;
        const int polled = poll(fds, m_mountsFd >= 0 ? 3 : 2, timeout);
        m_idle = false;
        if (polled < 0 && errno != EINTR) {
            break;
        }
        if (m_options.eventDelayMs > 0 && (fds[0].revents & POLLIN)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(m_options.eventDelayMs));
        }
        if (m_mountsFd >= 0 && (fds[2].revents & (POLLPRI | POLLERR))) {
            recrawlVolumes();
        }
        if (fds[1].revents & POLLIN) {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = read(m_wakeFd, &count, sizeof count);
        }
    }
    // At exit: the application's last writes, then the store for the next start.
    QList<PendingNote> notes;
    {
        std::lock_guard lock(m_queueMutex);
        notes.swap(m_notes);
    }
    applyNotes(std::move(notes));
    saveOutsideList();
    saveStore();
}

void TagIndex::recrawlVolumes() {
    QList<std::pair<int, QByteArray>> starts;
    {
        std::lock_guard lock(m_tableMutex);
        for (const int root : m_table->roots()) {
            const QByteArray rootPath = m_table->folderPath(root);
            if (std::any_of(
                    m_options.volumeRoots.cbegin(), m_options.volumeRoots.cend(),
                    [&](const QByteArray& volumes) { return realFolder(volumes) == rootPath; })) {
                QList<int> watches;
                m_table->removeFolder(root, &watches);
                for (const int watch : watches) {
                    inotify_rm_watch(m_inotifyFd, watch);
                }
            }
        }
        for (const QByteArray& volumes : std::as_const(m_options.volumeRoots)) {
            const QByteArray real = realFolder(volumes);
            starts.append({m_table->addRoot(real), real});
        }
    }
    crawlFrom(starts);
}

void TagIndex::crawlEverything() {
    QElapsedTimer timer;
    timer.start();
    // Only a crawl run to its end makes a store worth keeping.
    m_crawled = false;
    if (m_inotifyFd >= 0) {
        close(m_inotifyFd);
    }
    m_inotifyFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    m_watchesLeft = m_options.watchLimit;
    QList<std::pair<int, QByteArray>> starts;
    {
        std::lock_guard lock(m_tableMutex);
        m_table->clear();
        m_unwatched.clear();
        m_missed.clear();
        m_seenTwice.clear();
        m_stale.clear();
        m_movedFolders.clear();
        // Walked at their real places, so that the files Orvane writes through a linked
        // folder (or a linked home) are found where the crawl put them.
        for (const QByteArray& root : m_options.roots) {
            const QByteArray real = realFolder(root);
            starts.append({m_table->addRoot(real), real});
        }
    }
    crawlFrom(starts);
    {
        std::lock_guard lock(m_tableMutex);
        for (const QByteArray& path : std::as_const(m_outsideList)) {
            applyNote({path, TagIndexCrawler::readTags(path), {}});
        }
    }
    m_crawled = !m_stop;
    if (m_stop) {
        return;  // a quit cut it short: nothing to tell
    }
    Log::line(QStringLiteral("tagIndex: %1 folders, %2 tagged files indexed in %3 ms")
                  .arg(folderCount())
                  .arg(taggedFileCount())
                  .arg(timer.elapsed()));
}

void TagIndex::crawlFrom(const QList<std::pair<int, QByteArray>>& starts) {
    TagIndexCrawler crawler({*m_table, m_tableMutex, m_unwatched, m_missed, m_seenTwice,
                             m_inotifyFd, m_stop, m_watchesLeft});
    crawler.run(starts, std::max(1, m_options.crawlThreads));
    if (crawler.hitWatchLimit() && !m_watchLimitLogged) {
        m_watchLimitLogged = true;
        qsizetype unwatched = 0;
        {
            std::lock_guard lock(m_tableMutex);
            unwatched = m_unwatched.size();
        }
        Log::line(QStringLiteral("tagIndex: inotify watch limit reached; %1 folders without a "
                                 "watch are re-checked in the background every %2 s")
                      .arg(unwatched)
                      .arg(m_options.recheckIntervalMs / 1000));
        m_rounds.start(steadyNow());
        std::lock_guard lock(m_queueMutex);
        if (m_watchLimitHandler && !m_watchLimitTold) {
            m_watchLimitTold = true;
            QMetaObject::invokeMethod(this, m_watchLimitHandler, Qt::QueuedConnection);
        }
    }
}

qint64 TagIndex::steadyNow() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void TagIndex::setTagsReplacedHandler(ReplacedHandler handler) {
    std::lock_guard lock(m_queueMutex);
    m_replacedHandler = std::move(handler);
}

QByteArray TagIndex::realFolder(const QByteArray& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.constData(), resolved) ? QByteArray(resolved) : path;
}

QByteArray TagIndex::realPath(const QByteArray& path) {
    // A file reached through a linked folder is the same file as the one the crawl found at
    // its real place. A write through a link to a file changed the file it points to.
    char resolved[PATH_MAX];
    struct stat info {};
    if (lstat(path.constData(), &info) == 0 && S_ISLNK(info.st_mode) &&
        ::realpath(path.constData(), resolved)) {
        return QByteArray(resolved);
    }
    const qsizetype slash = path.endsWith('/') ? -1 : path.lastIndexOf('/');
    if (slash < 0 || path == "/") {
        return path;
    }
    const QByteArray folder = path.left(std::max<qsizetype>(slash, 1));
    if (!::realpath(folder.constData(), resolved)) {
        return path;
    }
    QByteArray real(resolved);
    if (!real.endsWith('/')) {
        real += '/';
    }
    return real + path.mid(slash + 1);
}

bool TagIndex::applyNoteInCrawledFolder(const PendingNote& note) {
    const qsizetype slash = note.path.lastIndexOf('/');
    const QByteArray name = note.path.mid(slash + 1);
    if (slash < 0 || name.startsWith('.')) {
        return false;
    }
    const auto folder = m_table->folderForPath(note.path.left(std::max<qsizetype>(slash, 1)));
    if (folder) {
        m_table->setFileTags(*folder, name, note.names, note.value);
    }
    return folder.has_value();
}

void TagIndex::applyNote(const PendingNote& note) {
    // The caller holds the table lock; the path is a real one (see applyNotes).
    if (applyNoteInCrawledFolder(note)) {
        return;
    }
    // In a crawled tree but not in the table: a folder made moments ago, whose event brings it
    // in with this file, or a crawl cut short by a quit. Not a file elsewhere.
    const QByteArray name = note.path.mid(note.path.lastIndexOf('/') + 1);
    if (note.path.contains('/') && !name.startsWith('.') && isCrawledPlace(note.path)) {
        return;
    }
    m_table->setOutsideFileTags(note.path, note.names);
    if (!note.names.isEmpty() && !m_outsideSet.contains(note.path)) {
        m_outsideList.append(note.path);
        m_outsideSet.insert(note.path);
        m_outsideListChanged = true;
    }
}

bool TagIndex::isCrawledPlace(const QByteArray& path) const {
    for (const int root : m_table->roots()) {
        QByteArray prefix = m_table->folderPath(root);
        if (!prefix.endsWith('/')) {
            prefix += '/';
        }
        if (path.startsWith(prefix)) {
            // Hidden entries are never crawled: a file below one is kept as one elsewhere.
            return !path.mid(prefix.size()).startsWith('.') &&
                   !path.mid(prefix.size()).contains("/.");
        }
    }
    return false;
}

void TagIndex::saveOutsideList() {
    if (!m_outsideListChanged) {
        return;
    }
    m_outsideListChanged = false;
    PrivateFiles::makeFolder(QFileInfo(m_options.outsideListPath).absolutePath());
    QSaveFile file(m_options.outsideListPath);
    if (file.open(QIODevice::WriteOnly)) {
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        file.write(m_outsideList.join('\0') + '\0');
        file.commit();
    }
}

void TagIndex::setWatchLimitHandler(std::function<void()> handler) {
    std::lock_guard lock(m_queueMutex);
    m_watchLimitHandler = std::move(handler);
}

void TagIndex::answer(const PendingQuery& query) {
    QList<QByteArray> paths;
    {
        std::lock_guard lock(m_tableMutex);
        paths = m_table->pathsWithTag(query.name);
    }
    QMetaObject::invokeMethod(
        this, [completion = query.completion, paths] { completion(paths); }, Qt::QueuedConnection);
}
