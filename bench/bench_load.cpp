// The application under load: a 10,000-tag tree over a 1,000,000-file home, started twice:
// once with no stored index (the first start) and once with the index the first run kept.
// Measures launch to the first painted window, launch to the first files of a 10,000-file tag
// and to its whole checked list, the CPU used, and the longest stall of the event loop. Waits on
// the event loop, never spinning it. Run with QT_QPA_PLATFORM=offscreen; `--cold` drops the
// page cache before each start (needs root).
#include "HomeGenerator.h"
#include "Measures.h"
#include "StallMeter.h"
#include "StallTracer.h"
#include "app/DesktopServices.h"
#include "model/HierarchyFile.h"
#include "model/TagNode.h"
#include "platform/Log.h"
#include "platform/TagIndex.h"
#include "state/AppViewModel.h"
#include "views/window/MainWindow.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>

namespace {

class PaintWatcher : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override {
        painted = painted || event->type() == QEvent::Paint;
        return false;
    }
};

// Runs the event loop until `done`, looking every 10 ms: the thread sleeps in between.
void waitUntil(const std::function<bool()>& done) {
    QEventLoop loop;
    QTimer look;
    look.setInterval(10);
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    look.start();
    if (!done()) {
        loop.exec();
    }
}

void dropPageCache() {
    sync();
    QFile drop("/proc/sys/vm/drop_caches");
    if (!drop.open(QIODevice::WriteOnly) || drop.write("3\n") != 2) {
        std::fprintf(stderr, "cannot drop the page cache (root needed); measuring warm\n");
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    // bench_load [--cold] [HOME]: HOME is a home made by bench_million; by default the home of
    // bench_tagindex.
    bool cold = false;
    QString home = "/tmp/orvane-bench-1000000";
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--cold") {
            cold = true;
        } else {
            home = QString::fromLocal8Bit(argv[i]);
        }
    }
    if (!QFile::exists(home + "/.generated")) {
        HomeGenerator::generate(home, 1000000);
    }
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    qputenv("XDG_CACHE_HOME", (data.path() + "/cache").toUtf8());
    qputenv("XDG_STATE_HOME", (data.path() + "/state").toUtf8());
    qputenv("HOME", (data.path() + "/home").toUtf8());
    QApplication app(argc, argv);
    // BENCH_STALL_TRACE=MS prints the main thread's stack whenever its loop stalls that long.
    std::unique_ptr<StallTracer> tracer;
    if (const int ms = qEnvironmentVariableIntValue("BENCH_STALL_TRACE"); ms > 0) {
        tracer = std::make_unique<StallTracer>(ms);
    }
    QString storeRead;
    Log::setSink([&storeRead](const QString& line) {
        static const QRegularExpression read("tagged files opened in (\\d+) ms");
        if (qEnvironmentVariableIsSet("BENCH_LOG")) {
            std::fprintf(stderr, "%s\n", qPrintable(line));
        }
        if (const auto match = read.match(line); match.hasMatch()) {
            storeRead = match.captured(1);
        }
    });

    // 100 roots of 100 tags each, and "Huge", carried by 10,000 files of the home.
    QList<TagNode> tree;
    for (int i = 0; i < 100; ++i) {
        TagNode root = TagNode::make(QString("Root %1").arg(i), i % 8);
        for (int j = 0; j < 99; ++j) {
            root.children.append(TagNode::make(QString("Tag %1.%2").arg(i).arg(j), j % 8));
        }
        tree.append(root);
    }
    tree.append(TagNode::make("Huge", 4));
    HierarchyFile::save(tree);
    TagIndex::Options options;
    options.roots = {QFile::encodeName(home)};
    options.outsideListPath = data.path() + "/cache/outside";
    options.storePath = data.path() + "/cache/index.sqlite";

    for (const char* start : {"first start, no stored index", "next start, stored index"}) {
        if (cold) {
            dropPageCache();
        }
        StallMeter stalls;
        const double cpuBefore = Measures::cpuSeconds();
        QElapsedTimer launch;
        launch.start();
        auto services = std::make_unique<DesktopServices>(options);
        auto model = std::make_unique<AppViewModel>(services->services(),
                                                    AppViewModel::Startup::LoadHierarchy);
        auto window = std::make_unique<MainWindow>(*model);
        PaintWatcher firstPaint;
        window->installEventFilter(&firstPaint);
        window->show();
        waitUntil([&] { return firstPaint.painted; });
        const double paintedMs = launch.nsecsElapsed() / 1e6;
        const double startupStall = stalls.longestMs();

        // The user opens the big tag the moment the window shows.
        stalls.reset();
        const QUuid huge = model->hierarchy()[100].id;
        model->openTag(huge, 0);
        waitUntil([&] { return !model->currentFiles().isEmpty(); });
        const double firstFilesMs = launch.nsecsElapsed() / 1e6;
        waitUntil(
            [&] { return !model->isLoadingFiles() && model->currentFiles().size() >= 10000; });
        const double wholeListMs = launch.nsecsElapsed() / 1e6;
        const double openStall = stalls.longestMs();
        services->index.waitUntilReady();
        const double cpu = Measures::cpuSeconds() - cpuBefore;
        // The merge of the names the crawl found runs once the crawl is done.
        stalls.reset();
        QTest::qWait(500);
        const double mergeStall = stalls.longestMs();
        // Measured once the index has kept what it crawled and gone to sleep.
        waitUntil([&] { return services->index.isIdle(); });
        const double resident = Measures::residentMegabytes();

        model->beginRename(model->hierarchy()[100]);
        QLineEdit* field = nullptr;
        waitUntil([&] { return (field = window->findChild<QLineEdit*>("tagNameEditor")); });
        QTest::qWait(300);
        stalls.reset();
        for (const QChar c : QString("a renamed tag typed slowly")) {
            QTest::keyClick(field, c.toLatin1());
            QTest::qWait(15);
        }
        const double typingStall = stalls.longestMs();
        QTest::keyClick(field, Qt::Key_Escape);

        std::printf(
            "%s (%s): first paint %.0f ms (stall %.0f ms) | first files of \"Huge\" %.0f "
            "ms, all %lld checked %.0f ms after launch (stall %.0f ms) | CPU to the end "
            "of the crawl %.2f s | stall of the merge after the crawl %.0f ms | "
            "resident %.1f MiB | typing stall %.0f ms",
            start, cold ? "cold" : "warm", paintedMs, startupStall, firstFilesMs,
            static_cast<long long>(model->currentFiles().size()), wholeListMs, openStall, cpu,
            mergeStall, resident, typingStall);
        if (!storeRead.isEmpty()) {
            std::printf(" | stored index read in %s ms (%.1f MB)", qPrintable(storeRead),
                        QFileInfo(options.storePath).size() / 1e6);
        }
        std::printf("\n");
        std::fflush(stdout);
        window.reset();
        model.reset();
        services.reset();  // the index keeps what it knows for the next start
    }
    return 0;
}
