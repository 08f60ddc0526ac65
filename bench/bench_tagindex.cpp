// The tag index on synthetic homes: crawl time against find(1), query latency, building file
// items, and the index's memory. Usage: bench_tagindex [files…] (default 100000 1000000).
#include "HomeGenerator.h"
#include "Measures.h"
#include "platform/Log.h"
#include "platform/TagIndex.h"
#include "platform/XattrTagStore.h"
#include "services/FileItems.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <cstdio>

#include <malloc.h>

#include <unistd.h>

namespace {

double findSeconds(const QString& root) {
    QElapsedTimer timer;
    timer.start();
    QProcess find;
    find.setStandardOutputFile(QProcess::nullDevice());
    find.start("find", {root, "-type", "f"});
    find.waitForFinished(-1);
    return timer.nsecsElapsed() / 1e9;
}

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

QList<QByteArray> query(TagIndex& index, const QString& name) {
    QList<QByteArray> result;
    QEventLoop loop;
    index.queryFilesWithTag(name, [&](const QList<QByteArray>& urls) {
        result = urls;
        loop.quit();
    });
    loop.exec();
    return result;
}

void run(int files) {
    const QString root = QString("/tmp/orvane-bench-%1").arg(files);
    HomeGenerator::generate(root, files);
    findSeconds(root);  // warm the cache

    QList<double> findTimes, crawlTimes;
    double memory = 0;
    double heap = 0;
    std::unique_ptr<TagIndex> index;
    for (int round = 0; round < 3; ++round) {
        findTimes.append(findSeconds(root));
        index.reset();
        const double before = Measures::residentMegabytes();
        const size_t heapBefore = mallinfo2().uordblks;
        TagIndex::Options options;
        options.roots = {QFile::encodeName(root)};
        options.outsideListPath = root + "/.outside";
        index = std::make_unique<TagIndex>(options);
        QElapsedTimer timer;
        timer.start();
        index->start();
        index->waitUntilReady();
        crawlTimes.append(timer.nsecsElapsed() / 1e9);
        if (round == 0) {
            memory = Measures::residentMegabytes() - before;
            heap = (mallinfo2().uordblks - heapBefore) / (1024.0 * 1024.0);
        }
    }
    const double find = median(findTimes), crawl = median(crawlTimes);

    // For reference: the same crawl without inotify watches (what live updates cost).
    QList<double> unwatchedTimes;
    for (int round = 0; round < 3; ++round) {
        TagIndex::Options options;
        options.roots = {QFile::encodeName(root)};
        options.outsideListPath = root + "/.outside";
        options.watchLimit = 0;
        TagIndex unwatched(options);
        QElapsedTimer timer;
        timer.start();
        unwatched.start();
        unwatched.waitUntilReady();
        unwatchedTimes.append(timer.nsecsElapsed() / 1e9);
    }

    QList<double> latencies;
    qsizetype popular = 0;
    for (int i = 0; i < 300; ++i) {
        QElapsedTimer timer;
        timer.start();
        popular = query(*index, "popular").size();
        latencies.append(timer.nsecsElapsed() / 1e6);
    }
    std::sort(latencies.begin(), latencies.end());

    const QList<QByteArray> huge = query(*index, "Huge");
    XattrTagStore store;
    QElapsedTimer timer;
    timer.start();
    const auto items = FileItems::makeFileItems(huge, QSet<QString>{"Huge"}, {}, store);
    const double itemsMs = timer.nsecsElapsed() / 1e6;

    std::printf(
        "%9d files | %5lld folders | crawl %.3f s (%.3f s unwatched) | find %.3f s | "
        "ratio %.2f (%.2f unwatched) | "
        "query(%lld) p50 %.3f ms p99 %.3f ms | makeFileItems(%lld) %.1f ms | "
        "index memory %.1f MB resident, %.1f MB heap in use\n",
        files, static_cast<long long>(index->folderCount()), crawl, median(unwatchedTimes), find,
        crawl / find, median(unwatchedTimes) / find, static_cast<long long>(popular),
        latencies[latencies.size() / 2], latencies[latencies.size() * 99 / 100],
        static_cast<long long>(items.size()), itemsMs, memory, heap);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    Log::setSink([](const QString&) {});
    QList<int> sizes;
    for (int i = 1; i < argc; ++i) {
        sizes.append(QString(argv[i]).toInt());
    }
    if (sizes.isEmpty()) {
        sizes = {100000, 1000000};
    }
    for (const int files : sizes) {
        run(files);
    }
    return 0;
}
