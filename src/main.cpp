#include "app/DesktopServices.h"
#include "app/ShutdownSignals.h"
#include "state/AppViewModel.h"
#include "views/window/MainWindow.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Orvane");
    QApplication::setDesktopFileName("orvane");
    // Outside a full desktop session no icon theme may be set; file icons come from Adwaita.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == "hicolor") {
        QIcon::setThemeName("Adwaita");
    }

    DesktopServices services;
    AppViewModel model(services.services(), AppViewModel::Startup::LoadHierarchy);

    MainWindow window(model);
    window.show();
    ShutdownSignals shutdown;
    QObject::connect(&shutdown, &ShutdownSignals::requested, &app, [&model] {
        model.stopFileWork();
        QApplication::quit();
    });
    return QApplication::exec();
}
