#pragma once

#include "platform/TagValueCodec.h"
#include "platform/XattrTagStore.h"

#include <QFile>
#include <QStringList>

#include <sys/xattr.h>

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

// Sets a file's tag attribute to exactly `value`, removing it when empty, as another program
// would.
inline void setRaw(const QString& path, const QByteArray& value) {
    const QByteArray name = QFile::encodeName(path);
    if (value.isEmpty()) {
        removexattr(name.constData(), "user.xdg.tags");
    } else {
        setxattr(name.constData(), "user.xdg.tags", value.constData(),
                 static_cast<size_t>(value.size()), 0);
    }
}
