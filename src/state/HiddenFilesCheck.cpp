#include "state/HiddenFilesCheck.h"

#include "platform/FileTagStore.h"
#include "platform/TagNames.h"
#include "platform/TagPaths.h"
#include "platform/TaggedFileQuery.h"
#include "services/FileTagging.h"

#include <QPointer>
#include <QSet>

HiddenFilesCheck::HiddenFilesCheck(TaggedFileQuery& query, FileTagStore& store, QObject* parent)
    : QObject(parent), m_query(query), m_store(store) {
    m_pool.setMaxThreadCount(1);
}

HiddenFilesCheck::~HiddenFilesCheck() {
    stop();
}

void HiddenFilesCheck::stop() {
    m_stop = true;
    m_pool.waitForDone();
}

void HiddenFilesCheck::check(const QStringList& path, Done done) {
    const quint64 check = ++m_last;
    QPointer<HiddenFilesCheck> self(this);
    m_query.queryFilesWithTag(
        path.last(), [self, path, done, check](const QList<QByteArray>& paths) {
            if (!self || self->m_last != check) {
                return;
            }
            self->m_pool.start([self, path, done, check, paths, &store = self->m_store,
                                &stop = self->m_stop] {
                QList<QByteArray> hidden;
                for (const QByteArray& file : paths) {
                    if (stop) {
                        return;
                    }
                    QSet<QString> names;
                    const QStringList tags =
                        FileTagging::decodeNames(store.read(file).value_or(QList<QByteArray>()));
                    for (const QString& name : TagPaths::meanings(tags)) {
                        names.insert(TagNames::exactKey(name));
                    }
                    // The index matches any case; the list compares exactly, as here.
                    if (!names.contains(TagNames::exactKey(path.last()))) {
                        continue;
                    }
                    for (const QString& name : path) {
                        if (!names.contains(TagNames::exactKey(name))) {
                            hidden.append(file);
                            break;
                        }
                    }
                }
                QMetaObject::invokeMethod(
                    self.data(),
                    [self, done, check, hidden] {
                        if (self && self->m_last == check) {
                            done(hidden);
                        }
                    },
                    Qt::QueuedConnection);
            });
        });
}
