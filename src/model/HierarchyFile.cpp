#include "model/HierarchyFile.h"

#include "model/HierarchyCodec.h"
#include "model/TagNode.h"
#include "platform/SafeFileWrite.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace HierarchyFile {

QString dataDirectory() {
    static const QString directory =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Orvane";
    return directory;
}

QString hierarchyFilePath() {
    QDir().mkpath(dataDirectory());
    return dataDirectory() + "/hierarchy.json";
}

ReadResult read() {
    QFile file(hierarchyFilePath());
    if (!file.exists()) {
        return {ReadStatus::Missing, {}};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return {ReadStatus::Unreadable, {}};
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return {ReadStatus::Unreadable, {}};
    }
    return {ReadStatus::Read, bytes};
}

bool save(const QList<TagNode>& forest) {
    return SafeFileWrite::replace(hierarchyFilePath(), HierarchyCodec::encode(forest));
}

std::optional<QString> keepCopyAside() {
    const QString source = hierarchyFilePath();
    const QString stamp = QDateTime::currentDateTimeUtc().toString("yyyyMMdd'T'HHmmss'Z'");
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const QString target = source + ".unreadable-" + stamp +
                               (attempt == 0 ? QString() : "-" + QString::number(attempt));
        // Created only when the name is free: an earlier kept copy is never overwritten.
        switch (SafeFileWrite::createNew(target, bytes)) {
            case SafeFileWrite::Created::Yes:
                return target;
            case SafeFileWrite::Created::AlreadyExists:
                continue;
            case SafeFileWrite::Created::Failed:
                return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace HierarchyFile
