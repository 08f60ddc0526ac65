#include "app/LaunchRequest.h"

#include "app/OrvaneBus.h"
#include "platform/FilePaths.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>

LaunchRequest LaunchRequest::parse(int argc, char* argv[]) {
    LaunchRequest request;
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--show") == 0 && i + 1 < argc) {
            request.show = FilePaths::absolute(argv[++i]);
        } else if (qstrcmp(argv[i], "--tag-dialog") == 0) {
            while (i + 1 < argc && argv[i + 1][0] != '-') {
                request.tagDialog.append(FilePaths::absolute(argv[++i]));
            }
        }
    }
    return request;
}

bool LaunchRequest::sendToRunningWindow() const {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(OrvaneBus::kService)) {
        return false;
    }
    OrvaneBus::registerTypes();
    auto call = [&bus](const char* method, const QVariant& argument) {
        QDBusMessage message = QDBusMessage::createMethodCall(OrvaneBus::kService, OrvaneBus::kPath,
                                                              OrvaneBus::kInterface, method);
        message << argument;
        return bus.call(message).type() == QDBusMessage::ReplyMessage;
    };
    return (show.isEmpty() || call("Show", show)) &&
           (tagDialog.isEmpty() || call("TagDialog", QVariant::fromValue(tagDialog)));
}
