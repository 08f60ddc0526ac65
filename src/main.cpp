#include "app/CommandLine.h"
#include "app/DesktopServices.h"
#include "app/LaunchRequest.h"
#include "app/OrvaneBus.h"
#include "app/ShutdownSignals.h"
#include "platform/Log.h"
#include "state/AppViewModel.h"
#include "views/window/ColorSchemeFollower.h"
#include "views/window/MainWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

#include <algorithm>

namespace {

void describe(QCoreApplication& app) {
    app.setApplicationName("Orvane");
    app.setApplicationVersion(ORVANE_VERSION);
}

// --help and --version answer on the terminal before any window or display is needed; every
// other argument is left to Qt (-platform, -style, …).
void answerCommandLine(int argc, char* argv[]) {
    // A plain start, the usual case, builds no second application object.
    if (std::none_of(argv + 1, argv + argc, [](const char* arg) { return arg[0] == '-'; })) {
        return;
    }
    QCoreApplication probe(argc, argv);
    describe(probe);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Arrange the tags on your files in a tree and browse the files under "
                       "each tag.\n\n") +
        CommandLine::summary());
    parser.addOption(
        {"show", "Opens the window at the file's deepest tag, the file selected.", "FILE"});
    parser.addOption({"tag-dialog", "Opens the tag dialog for the files that follow.", "FILE"});
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.parse(probe.arguments());
    if (parser.isSet(version)) {
        parser.showVersion();
    }
    if (parser.isSet(help) || parser.isSet("help-all")) {
        parser.showHelp();
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc > 1 && CommandLine::isCommand(argv[1])) {
        return CommandLine::run(argc, argv);
    }
    answerCommandLine(argc, argv);
    const LaunchRequest request = LaunchRequest::parse(argc, argv);
    if (!request.isEmpty()) {
        QCoreApplication probe(argc, argv);
        if (request.sendToRunningWindow()) {
            return 0;
        }
    }
    QApplication app(argc, argv);
    describe(app);
    QApplication::setDesktopFileName("org.orvane.Orvane");
    QApplication::setWindowIcon(
        QIcon::fromTheme("org.orvane.Orvane", QIcon(":/org.orvane.Orvane.svg")));
    // Outside a full desktop session no icon theme may be set; file icons come from Adwaita.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == "hicolor") {
        QIcon::setThemeName("Adwaita");
    }

    // GNOME's dark choice comes from its settings portal, read before the window is drawn.
    ColorSchemeFollower colorScheme;
    if (ColorSchemeFollower::isWanted()) {
        colorScheme.follow();
    }

    DesktopServices services;
    AppViewModel model(services.services(), AppViewModel::Startup::LoadHierarchy);

    MainWindow window(model);
    window.show();
    // The command line and the file managers' actions reach this window on the session bus.
    OrvaneBus bus(model, services.index);
    QObject::connect(&bus, &OrvaneBus::raiseRequested, &window, &MainWindow::bringToFront);
    QObject::connect(&bus, &OrvaneBus::tagDialogRequested, &window, &MainWindow::openTagDialogFor);
    if (!request.show.isEmpty()) {
        model.showFile(request.show);
    }
    if (!request.tagDialog.isEmpty()) {
        window.openTagDialogFor(request.tagDialog);
    }
    if (!bus.publish()) {
        Log::line("orvaneBus: not on the session bus; the command line works on the files alone");
    }
    // A quit, a logout or Ctrl+C: the batch of file work in hand is finished and recorded, the
    // rest is left to the journal for the next start, and nothing waits for the disk after.
    ShutdownSignals shutdown;
    QObject::connect(&shutdown, &ShutdownSignals::requested, &app, &QApplication::quit);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &model, [&model, &services] {
        model.shutDown();
        services.index.stop();
    });
    return QApplication::exec();
}
