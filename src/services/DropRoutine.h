#pragma once

#include <QList>
#include <QUrl>
#include <QUuid>

#include <functional>

class QMimeData;
class QObject;

// The one routine every drop target hands its dropped data to. It decides at once whether the
// drop is accepted (file URLs; plain text only where tags are taken), copies what it needs out
// of the data before returning, and delivers in a later turn of the event loop on the thread
// of `context`: all files once (each once, in drop order, non-file URLs left out), then each
// tag id parsed from the text, then `completion`. Nothing is delivered once `context` is gone.
namespace DropRoutine {

using FilesHandler = std::function<void(const QList<QUrl>& files)>;
using TagHandler = std::function<void(const QUuid& tagID)>;

bool handle(const QMimeData& data, QObject* context, FilesHandler onFiles, TagHandler onTag,
            std::function<void()> completion = {});

}  // namespace DropRoutine
