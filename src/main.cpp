#include "platform/Clock.h"
#include "platform/DesktopWorkspace.h"
#include "platform/LocalPreviewSource.h"
#include "platform/TagIndex.h"
#include "platform/XattrTagStore.h"
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

    XattrTagStore tagStore;
    TagIndex index(TagIndex::defaultOptions());
    index.start();
    DesktopWorkspace workspace;
    SteadyClock clock;
    LocalPreviewSource previews;
    AppViewModel model({tagStore, index, workspace, clock, previews},
                       AppViewModel::Startup::LoadHierarchy);

    MainWindow window(model);
    window.show();
    return QApplication::exec();
}
