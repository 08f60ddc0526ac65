// The application under load: a 10,000-tag tree over a 1,000,000-file home. Measures start-up
// to the first painted window, opening a tag with 10,000 files, and typing in a rename field,
// each with the longest stall of the event loop. Run with QT_QPA_PLATFORM=offscreen.
#include "HomeGenerator.h"
#include "StallMeter.h"
#include "app/DesktopServices.h"
#include "model/HierarchyCodec.h"
#include "model/HierarchyFile.h"
#include "model/TagNode.h"
#include "platform/Clock.h"
#include "platform/DesktopWorkspace.h"
#include "platform/LocalPreviewSource.h"
#include "platform/Log.h"
#include "platform/TagIndex.h"
#include "platform/XattrTagStore.h"
#include "state/AppViewModel.h"
#include "views/window/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

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

void spin(const std::function<bool()>& done) {
    while (!done()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    const QString home = "/tmp/orvane-bench-1000000";
    HomeGenerator::generate(home, 1000000);
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    qputenv("XDG_CACHE_HOME", (data.path() + "/cache").toUtf8());
    qputenv("XDG_STATE_HOME", (data.path() + "/state").toUtf8());
    qputenv("HOME", (data.path() + "/home").toUtf8());
    QApplication app(argc, argv);
    Log::setSink([](const QString&) {});

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

    StallMeter stalls;
    QElapsedTimer startup;
    startup.start();
    TagIndex::Options options;
    options.roots = {QFile::encodeName(home)};
    options.outsideListPath = data.path() + "/cache/outside";
    DesktopServices services(options);
    AppViewModel model(services.services(), AppViewModel::Startup::LoadHierarchy);
    MainWindow window(model);
    PaintWatcher firstPaint;
    window.installEventFilter(&firstPaint);
    window.show();
    spin([&] { return firstPaint.painted; });
    const double startupMs = startup.nsecsElapsed() / 1e6;
    QTest::qWait(200);
    const double startupStall = stalls.longestMs();

    stalls.reset();
    QElapsedTimer opening;
    opening.start();
    const QUuid huge = model.hierarchy().last().id;
    model.openTag(huge, 0);
    spin([&] { return !model.isLoadingFiles() && model.currentFiles().size() >= 10000; });
    QTest::qWait(100);
    const double openMs = opening.nsecsElapsed() / 1e6;
    const double openStall = stalls.longestMs();

    model.beginRename(model.hierarchy().last());
    QLineEdit* field = nullptr;
    spin([&] { return (field = window.findChild<QLineEdit*>("tagNameEditor")) != nullptr; });
    QTest::qWait(300);
    stalls.reset();
    for (const QChar c : QString("a renamed tag typed slowly")) {
        QTest::keyClick(field, c.toLatin1());
        QTest::qWait(15);
    }
    const double typingStall = stalls.longestMs();
    QTest::keyClick(field, Qt::Key_Escape);

    std::printf(
        "start-up to first paint %.0f ms (longest stall %.0f ms) | open a tag of %lld files "
        "%.0f ms (longest stall %.0f ms) | typing in a rename field: longest stall %.0f ms\n",
        startupMs, startupStall, static_cast<long long>(model.currentFiles().size()), openMs,
        openStall, typingStall);
    return 0;
}
