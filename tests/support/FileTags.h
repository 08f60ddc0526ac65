#pragma once

#include "platform/TagValueCodec.h"
#include "platform/XattrTagStore.h"

#include <QFile>
#include <QStringList>

// A file's tag attribute as the tests read it: the exact bytes, not following a link.
inline QByteArray raw(const QString& path) {
    return XattrTagStore::readAttribute(QFile::encodeName(path), false).value_or("<unreadable>");
}

// The names in a file's tag list, in their order (empty when it has none or cannot be read).
inline QStringList namesOn(const QString& path, bool followLink = false) {
    QStringList names;
    const auto value = XattrTagStore::readAttribute(QFile::encodeName(path), followLink);
    for (const QByteArray& name : TagValueCodec::decode(value.value_or(QByteArray()))) {
        names.append(QString::fromUtf8(name));
    }
    return names;
}
