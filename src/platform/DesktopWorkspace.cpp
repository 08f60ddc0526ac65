#include "platform/DesktopWorkspace.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>

void DesktopWorkspace::open(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

void DesktopWorkspace::reveal(const QUrl& url) {
    const QUrl parent = QUrl::fromLocalFile(QFileInfo(url.toLocalFile()).absolutePath());
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QDesktopServices::openUrl(parent);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.FileManager1",
                                                       "/org/freedesktop/FileManager1",
                                                       "org.freedesktop.FileManager1", "ShowItems");
    call << QStringList{QString::fromLatin1(url.toEncoded())} << QString();
    // Asynchronous, so a file manager that is slow to start never blocks the window.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, parent] {
        if (watcher->isError()) {
            QDesktopServices::openUrl(parent);
        }
        watcher->deleteLater();
    });
}
