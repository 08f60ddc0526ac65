// The figures of a home of a million files (100,000 tagged with 1 to 3 of 300 names), one case
// per run, so that bench/compare.py can interleave them with find(1) and the floor walker:
//   bench_million home|crawl|store|rename|rounds [ROOT]
// Each case prints one line of `key=value` fields. CPU times are the process's own (user and
// system), the figure to trust on a loaded machine.
#include "HomeGenerator.h"
#include "Measures.h"
#include "platform/FileJournal.h"
#include "platform/Log.h"
#include "platform/TagIndex.h"
#include "platform/XattrTagStore.h"
#include "services/FileItems.h"
#include "services/FileTagging.h"
#include "services/FileWork.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <sys/resource.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <optional>

namespace {

constexpr int kFiles = 1000000;

QList<QByteArray> ask(TagIndex& index, const QString& name, bool every = false) {
    QList<QByteArray> result;
    QEventLoop loop;
    auto done = [&](const QList<QByteArray>& paths) {
        result = paths;
        loop.quit();
    };
    if (every) {
        index.queryEveryFileWithTag(name, done);
    } else {
        index.queryFilesWithTag(name, done);
    }
    loop.exec();
    return result;
}

TagIndex::Options optionsFor(const QString& root, const QString& cache) {
    TagIndex::Options options;
    options.roots = {QFile::encodeName(root)};
    options.outsideListPath = cache + "/tagged-elsewhere";
    options.storePath = cache + "/index.sqlite";
    return options;
}

int crawl(const QString& root, const QString& cache) {
    const double memoryBefore = Measures::residentMegabytes();
    const double cpuBefore = Measures::cpuSeconds();
    QElapsedTimer timer;
    timer.start();
    TagIndex index(optionsFor(root, cache));
    index.start();
    index.waitUntilReady();
    const double wall = timer.nsecsElapsed() / 1e9;
    const double cpu = Measures::cpuSeconds() - cpuBefore;
    const double memory = Measures::residentMegabytes() - memoryBefore;
    timer.restart();
    index.stop();  // writes the store for the `store` case
    std::printf(
        "crawl_s=%.3f crawl_cpu_s=%.3f index_mib=%.1f resident_mib=%.1f tagged=%lld "
        "stop_s=%.3f\n",
        wall, cpu, memory, Measures::residentMegabytes(),
        static_cast<long long>(index.taggedFileCount()), timer.nsecsElapsed() / 1e9);
    return 0;
}

// The start with the last run's store: how long until the first answer, and until all of
// "Huge" is checked against the files.
int store(const QString& root, const QString& cache) {
    if (!QFile::exists(cache + "/index.sqlite")) {
        crawl(root, cache);
    }
    QElapsedTimer timer;
    timer.start();
    TagIndex index(optionsFor(root, cache));
    index.start();
    const QList<QByteArray> huge = ask(index, "Huge");
    const double first = timer.nsecsElapsed() / 1e6;
    XattrTagStore tags;
    FileItems::makeFileItems(huge.mid(0, 32), QSet<QString>{"Huge"}, {}, tags);
    const double shown = timer.nsecsElapsed() / 1e6;
    const double memory = Measures::residentMegabytes();
    std::printf(
        "stored_answer_ms=%.1f stored_first_files_ms=%.1f stored_files=%lld "
        "stored_resident_mib=%.1f\n",
        first, shown, static_cast<long long>(huge.size()), memory);
    return 0;
}

class IndexQuery : public TaggedFileQuery {
public:
    explicit IndexQuery(TagIndex& index) : m_index(index) {}
    void queryFilesWithTag(const QString& name, Completion completion) override {
        m_index.queryFilesWithTag(name, std::move(completion));
    }
    void queryAllTagNames(NamesCompletion completion, bool crawled) override {
        m_index.queryAllTagNames(std::move(completion), crawled);
    }
    void noteTagsWritten(const QByteArray& path, const QByteArray& value) override {
        m_index.noteTagsWritten(path, value);
    }

private:
    TagIndex& m_index;
};

// 20,000 files renamed through the journal with the index watching, against a plain loop of
// one read and one write per file; then how long until the index answers with the new name.
int rename(const QString& root, const QString& cache) {
    TagIndex index(optionsFor(root, cache));
    index.start();
    index.waitUntilReady();
    QList<QByteArray> paths;
    QSet<QByteArray> seen;
    for (int i = -1; paths.size() < 20000 && i < 300; ++i) {
        for (const QByteArray& path :
             ask(index, i < 0 ? QString("Huge") : QString("tag%1").arg(i))) {
            if (paths.size() < 20000 && !seen.contains(path)) {
                seen.insert(path);
                paths.append(path);
            }
        }
    }
    XattrTagStore store;
    for (const QByteArray& path : paths) {
        FileTagging::edit(store, path, TagEdit::add({"Bulk"}));
    }
    while (ask(index, "Bulk").size() < paths.size()) {
        QThread::msleep(50);
    }

    QElapsedTimer timer;
    timer.start();
    for (const QByteArray& path : paths) {
        FileTagging::edit(store, path, TagEdit::rename("Bulk", "Plain"));
    }
    const double plain = timer.nsecsElapsed() / 1e6;
    while (ask(index, "Plain").size() < paths.size()) {
        QThread::msleep(50);
    }

    FileJournal journal(cache + "/journal.sqlite");
    IndexQuery query(index);
    std::atomic_bool stop = false;
    FileWork::Context context{store, journal, query, stop, {}};
    const double cpuBefore = Measures::cpuSeconds();
    timer.restart();
    const qint64 op = journal.begin({.edit = TagEdit::rename("Plain", "Renamed")});
    FileWork::planEdit(journal, op, paths);
    FileWork::run(context, op);
    const double written = timer.nsecsElapsed() / 1e6;
    const QList<QByteArray> renamed = ask(index, "Renamed");
    const double answered = timer.nsecsElapsed() / 1e6;
    FileItems::makeFileItems(renamed.mid(0, 32), QSet<QString>{"Renamed"}, {}, store);
    const double shown = timer.nsecsElapsed() / 1e6;
    const double cpu = Measures::cpuSeconds() - cpuBefore;
    for (const QByteArray& path : paths) {
        FileTagging::edit(store, path, TagEdit::remove({"Renamed"}));
    }
    std::printf(
        "rename_files=%lld rename_plain_ms=%.0f rename_written_ms=%.0f "
        "rename_ratio=%.2f rename_answered_after_ms=%.0f rename_shown_after_ms=%.0f "
        "rename_cpu_s=%.2f\n",
        static_cast<long long>(paths.size()), plain, written, written / plain, answered - written,
        shown - written, cpu);
    return 0;
}

// Past the watch limit (10,000 watches for 62,500 folders): how long a query waits while a
// round lists folders, how long until a change in an unwatched folder is seen, and the CPU the
// rounds take meanwhile.
int rounds(const QString& root, const QString& cache) {
    TagIndex::Options options = optionsFor(root, cache);
    options.storePath.clear();
    options.watchLimit = 10000;
    TagIndex index(options);
    index.start();
    index.waitUntilReady();
    // Files in the deepest folders, which the crawl reaches last and so leaves unwatched.
    QList<QByteArray> targets;
    QRandomGenerator random(7);
    const QList<QByteArray> all = ask(index, "tag9");
    for (int i = 0; i < 5 && !all.isEmpty(); ++i) {
        targets.append(all[random.bounded(all.size())]);
    }
    const double cpuBefore = Measures::cpuSeconds();
    QElapsedTimer timer;
    timer.start();
    XattrTagStore tags;
    QList<QByteArray> before;
    for (const QByteArray& path : targets) {
        before.append(tags.readValue(path).value_or(QByteArray()));
        setxattr(path.constData(), "user.xdg.tags", "Seen", 4, 0);
    }
    double longestQuery = 0;
    double seenAfter = -1;
    while (timer.elapsed() < 300000) {
        QElapsedTimer queryTimer;
        queryTimer.start();
        const QList<QByteArray> seen = ask(index, "Seen");
        longestQuery = std::max(longestQuery, queryTimer.nsecsElapsed() / 1e6);
        if (seen.size() == targets.size()) {
            seenAfter = timer.nsecsElapsed() / 1e9;
            break;
        }
        QThread::msleep(100);
    }
    const double cpu = Measures::cpuSeconds() - cpuBefore;
    for (qsizetype i = 0; i < targets.size(); ++i) {
        setxattr(targets[i].constData(), "user.xdg.tags", before[i].constData(), before[i].size(),
                 0);
    }
    std::printf(
        "rounds_unwatched=%lld rounds_seen_after_s=%.1f rounds_cpu_share=%.3f "
        "rounds_longest_query_ms=%.1f\n",
        static_cast<long long>(index.folderCount() - index.watchedFolderCount()), seenAfter,
        seenAfter > 0 ? cpu / seenAfter : -1.0, longestQuery);
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    Log::setSink([](const QString&) {});
    const QString root =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("/tmp/orvane-bench-million");
    const QString cache = root + "-cache";
    QDir().mkpath(cache);
    const QString command = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (command == "home") {
        HomeGenerator::generate(root, kFiles, {.taggedEvery = 10, .names = 300, .maxNames = 3});
        return 0;
    }
    if (command == "crawl") {
        QFile::remove(cache + "/index.sqlite");
        return crawl(root, cache);
    }
    if (command == "store") {
        return store(root, cache);
    }
    if (command == "rename") {
        return rename(root, cache);
    }
    if (command == "rounds") {
        return rounds(root, cache);
    }
    std::fprintf(stderr, "usage: bench_million home|crawl|store|rename|rounds [ROOT]\n");
    return 2;
}
