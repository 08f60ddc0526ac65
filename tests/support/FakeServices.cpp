#include "FakeServices.h"

#include "platform/TagPaths.h"

#include "platform/FilePaths.h"
#include "platform/TagIndexCrawler.h"
#include "platform/TagValueCodec.h"
#include "services/FileTagging.h"

#include <QDirIterator>
#include <QTimer>

void FakeQuery::queryFilesWithTag(const QString& name, Completion completion) {
    m_pending.append({name, completion});
    m_released.append(false);
    if (autoAnswerFolder.isEmpty()) {
        return;
    }
    QList<QUrl> urls;
    QDirIterator it(autoAnswerFolder, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        for (const QString& tag : TagPaths::meanings(TagIndexCrawler::readTags(path.toUtf8()))) {
            if (tag.compare(name, Qt::CaseInsensitive) == 0) {
                urls.append(QUrl::fromLocalFile(path));
                break;
            }
        }
    }
    release(m_pending.size() - 1, urls);
}

void FakeQuery::queryAllTagNames(NamesCompletion completion, bool crawled) {
    lastNamesCrawled = crawled;
    QMetaObject::invokeMethod(
        this, [completion, names = tagNamesOnFiles] { completion(names); }, Qt::QueuedConnection);
}

void FakeQuery::noteTagsWritten(const QByteArray& path, const QByteArray& value) {
    notes.append({path, FileTagging::decodeNames(TagValueCodec::decode(value))});
}

void FakeQuery::release(qsizetype index, const QList<QUrl>& urls) {
    QList<QByteArray> paths;
    for (const QUrl& url : urls) {
        paths.append(FilePaths::rawPathFromUrl(url));
    }
    releasePaths(index, paths);
}

void FakeQuery::releasePaths(qsizetype index, const QList<QByteArray>& paths) {
    if (m_released.value(index, true)) {
        return;
    }
    m_released[index] = true;
    QTimer::singleShot(0, this,
                       [completion = m_pending[index].completion, paths] { completion(paths); });
}

QStringList FakeQuery::askedNames() const {
    QStringList names;
    for (const Pending& pending : m_pending) {
        names.append(pending.name);
    }
    return names;
}

qsizetype FakeQuery::pendingCount() const {
    return m_released.count(false);
}
