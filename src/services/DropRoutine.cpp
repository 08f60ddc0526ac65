#include "services/DropRoutine.h"

#include "model/TagNode.h"

#include <QMimeData>
#include <QTimer>

namespace DropRoutine {

bool handle(const QMimeData& data, QObject* context, FilesHandler onFiles, TagHandler onTag,
            std::function<void()> completion) {
    QList<QUrl> files;
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile() && !files.contains(url)) {
            files.append(url);
        }
    }
    // hasText() is also true for a bare URL list; only real plain text can carry tag ids.
    const bool takesText = static_cast<bool>(onTag) && data.hasFormat("text/plain");
    if (files.isEmpty() && !takesText) {
        return false;
    }
    QList<QUuid> tagIDs;
    if (takesText) {
        // One id a line; anything that is not an id (a path, a sentence) is ignored.
        for (const QString& line : data.text().split(u'\n')) {
            if (const auto id = parseTagId(line.trimmed())) {
                tagIDs.append(*id);
            }
        }
    }
    QTimer::singleShot(0, context, [files, tagIDs, onFiles, onTag, completion] {
        if (!files.isEmpty() && onFiles) {
            onFiles(files);
        }
        if (onTag) {
            for (const QUuid& id : tagIDs) {
                onTag(id);
            }
        }
        if (completion) {
            completion();
        }
    });
    return true;
}

}  // namespace DropRoutine
