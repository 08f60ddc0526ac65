#include "app/OrvaneBus.h"

#include "services/TagQuery.h"
#include "state/AppViewModel.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>

OrvaneBus::OrvaneBus(AppViewModel& model, TaggedFileQuery& index, QObject* parent)
    : QObject(parent), m_model(model), m_index(index) {
    registerTypes();
}

void OrvaneBus::registerTypes() {
    qDBusRegisterMetaType<QList<QByteArray>>();
}

bool OrvaneBus::publish() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() &&
           bus.registerObject(kPath, this, QDBusConnection::ExportScriptableSlots) &&
           bus.registerService(kService);
}

QString OrvaneBus::Tag(const QList<QByteArray>& files, const QStringList& tags) {
    return edit(files, tags, true);
}

QString OrvaneBus::Untag(const QList<QByteArray>& files, const QStringList& tags) {
    return edit(files, tags, false);
}

QString OrvaneBus::edit(const QList<QByteArray>& files, const QStringList& tags, bool tagging) {
    setDelayedReply(true);
    const QDBusMessage call = message();
    QDBusConnection bus = connection();
    m_model.editFromScript(files, tags, tagging, [call, bus](const QString& trouble) mutable {
        bus.send(call.createReply(trouble));
    });
    return {};
}

QString OrvaneBus::Rename(const QString& tag, const QString& newName) {
    setDelayedReply(true);
    const QDBusMessage call = message();
    QDBusConnection bus = connection();
    m_model.renameFromScript(tag, newName, [call, bus](const QString& trouble) mutable {
        bus.send(call.createReply(trouble));
    });
    return {};
}

QList<QByteArray> OrvaneBus::Files(const QStringList& words) {
    auto parsed = TagQuery::parse(words);
    if (const QString* error = std::get_if<QString>(&parsed)) {
        sendErrorReply(QDBusError::InvalidArgs, *error);
        return {};
    }
    setDelayedReply(true);
    const QDBusMessage call = message();
    QDBusConnection bus = connection();
    std::get<TagQuery>(parsed).answer(m_index, [call, bus](const QList<QByteArray>& paths) mutable {
        bus.send(call.createReply(QVariant::fromValue(paths)));
    });
    return {};
}

void OrvaneBus::Show(const QByteArray& file) {
    m_model.showFile(file);
    emit raiseRequested();
}

void OrvaneBus::TagDialog(const QList<QByteArray>& files) {
    emit tagDialogRequested(files);
}
