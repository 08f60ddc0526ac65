#pragma once

#include "TestHome.h"
#include "state/AppViewModel.h"

#include <QFile>

#include <sys/xattr.h>

// Builds trees and tagged files for tests in a few words.
inline QUuid addTag(AppViewModel& model, const QString& name,
                    std::optional<QUuid> parent = std::nullopt) {
    model.createTag(name, 0, parent);
    const TagNode* p = parent ? AppViewModel::findTag(*parent, model.hierarchy()) : nullptr;
    return (p ? p->children : model.hierarchy()).last().id;
}

// Writes a file under the test home and sets its tag attribute to `tags` exactly (none when
// empty).
inline QString writeTaggedFile(const TestHome& home, const QString& relative,
                               const QByteArray& tags) {
    const QString path = home.writeFile(relative, "x");
    const QByteArray raw = QFile::encodeName(path);
    removexattr(raw.constData(), "user.xdg.tags");
    if (!tags.isEmpty()) {
        setxattr(raw.constData(), "user.xdg.tags", tags.constData(), tags.size(), 0);
    }
    return path;
}
