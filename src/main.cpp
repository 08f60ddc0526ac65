#include "app/CommandLine.h"
#include "app/DesktopServices.h"
#include "app/OrvaneBus.h"
#include "app/ShutdownSignals.h"
#include "platform/Log.h"
#include "state/AppViewModel.h"
#include "views/window/ColorSchemeFollower.h"
#include "views/window/MainWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
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

// The file after --show, as an absolute path; empty without one.
QByteArray fileToShow(int argc, char* argv[]) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "--show") == 0) {
            const QByteArray path(argv[i + 1]);
            return path.startsWith('/') ? path
                                        : QFile::encodeName(QDir::currentPath()) + '/' + path;
        }
    }
    return {};
}

// A window already running shows the file itself.
bool showInRunningWindow(int argc, char* argv[], const QByteArray& file) {
    QCoreApplication probe(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(OrvaneBus::kService)) {
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(OrvaneBus::kService, OrvaneBus::kPath,
                                                       OrvaneBus::kInterface, "Show");
    call << file;
    return bus.call(call).type() == QDBusMessage::ReplyMessage;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc > 1 && CommandLine::isCommand(argv[1])) {
        return CommandLine::run(argc, argv);
    }
    answerCommandLine(argc, argv);
    const QByteArray shown = fileToShow(argc, argv);
    if (!shown.isEmpty() && showInRunningWindow(argc, argv, shown)) {
        return 0;
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
    if (!shown.isEmpty()) {
        model.showFile(shown);
    }
    // The command line and the file managers' actions reach this window on the session bus.
    OrvaneBus bus(model, services.index, services.tagStore);
    QObject::connect(&bus, &OrvaneBus::raiseRequested, &window, [&window] {
        window.showNormal();
        window.raise();
        window.activateWindow();
    });
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
