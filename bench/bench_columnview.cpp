// A column and an icon grid with 10,000 files: time from the files' arrival in the view model
// to the view painted, and the memory it takes beyond an empty one. Run with
// QT_QPA_PLATFORM=offscreen.
#include "Measures.h"
#include "platform/Clock.h"
#include "platform/LocalPreviewSource.h"
#include "platform/Log.h"
#include "platform/TaggedFileQuery.h"
#include "platform/Workspace.h"
#include "platform/XattrTagStore.h"
#include "state/AppViewModel.h"
#include "views/column/ColumnBrowserView.h"
#include "views/column/ColumnLayoutView.h"
#include "views/column/SingleColumnView.h"
#include "views/grid/IconGridView.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <cstdio>

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

constexpr int kFiles = 10000;

// Answers every query with the same prepared paths.
class ListQuery : public TaggedFileQuery {
public:
    QList<QByteArray> paths;
    void queryFilesWithTag(const QString&, Completion completion) override {
        QTimer::singleShot(0, [completion, list = paths] { completion(list); });
    }
    void queryAllTagNames(NamesCompletion completion, bool) override { completion({}); }
    void noteTagsWritten(const QByteArray&, const QByteArray&) override {}
};

class NoWorkspace : public Workspace {
public:
    void open(const QUrl&) override {}
    void reveal(const QUrl&) override {}
};

QList<QByteArray> makeFiles(const QString& folder) {
    QDir().mkpath(folder);
    QList<QByteArray> paths;
    for (int i = 0; i < kFiles; ++i) {
        const QByteArray path = QFile::encodeName(folder) + "/document " + QByteArray::number(i) +
                                (i % 3 ? ".pdf" : ".txt");
        if (access(path.constData(), F_OK) != 0) {
            const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
            ::close(fd);
            ::setxattr(path.constData(), "user.xdg.tags", "Big", 3, 0);
        }
        paths.append(path);
    }
    return paths;
}

// Waits until the widget has painted once more.
class PaintWatcher : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            painted = true;
        }
        return false;
    }
};

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    Log::setSink([](const QString&) {});
    XattrTagStore store;
    ListQuery query;
    query.paths = makeFiles("/tmp/orvane-bench-column");
    NoWorkspace workspace;
    SteadyClock clock;
    LocalPreviewSource previews;
    AppViewModel model({store, query, workspace, clock, previews}, AppViewModel::Startup::Empty);
    model.createTag("Big", 0, std::nullopt);
    const QUuid big = model.hierarchy().first().id;

    {
        ColumnBrowserView browser(model);
        browser.resize(900, 600);
        browser.show();
        app.processEvents();
        model.openTag(big, 0);  // an empty column 1 appears while the files load
        app.processEvents();
        const double emptyMemory = Measures::residentMegabytes();
        QElapsedTimer arrival;
        PaintWatcher watcher;
        QObject::connect(&model, &AppViewModel::filesPerTagChanged, &browser, [&] {
            if (!model.filesPerTag().value(big).isEmpty() && !arrival.isValid()) {
                arrival.start();
                browser.layoutView().columns().value(1)->viewport()->installEventFilter(&watcher);
            }
        });
        while (!watcher.painted) {
            app.processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        std::printf(
            "column with %d files: painted %.1f ms after the files arrived, "
            "%.1f MB more than an empty column\n",
            kFiles, arrival.nsecsElapsed() / 1e6, Measures::residentMegabytes() - emptyMemory);
    }
    model.navigateToRoot();
    model.setViewMode(ViewMode::Icon);
    {
        IconGridView grid(model);
        grid.resize(900, 600);
        grid.show();
        app.processEvents();
        model.enterTag(big);
        app.processEvents();
        const double emptyMemory = Measures::residentMegabytes();
        QElapsedTimer arrival;
        PaintWatcher watcher;
        QObject::connect(&model, &AppViewModel::currentFilesChanged, &grid, [&] {
            if (!model.currentFiles().isEmpty() && !arrival.isValid()) {
                arrival.start();
                grid.viewport()->installEventFilter(&watcher);
            }
        });
        while (!watcher.painted) {
            app.processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        std::printf(
            "icon grid with %d files: painted %.1f ms after the files arrived, "
            "%.1f MB more than an empty grid\n",
            kFiles, arrival.nsecsElapsed() / 1e6, Measures::residentMegabytes() - emptyMemory);
    }
    return 0;
}
