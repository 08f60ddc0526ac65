#include "services/FileTagging.h"

#include "platform/FilePaths.h"
#include "platform/FileTagStore.h"
#include "platform/TagEdit.h"
#include "platform/TagValueCodec.h"

namespace FileTagging {
namespace {

QString decode(const QByteArray& raw) {
    return QString::fromUtf8(raw);
}

}  // namespace

QStringList decodeNames(const QList<QByteArray>& raw) {
    QStringList names;
    names.reserve(raw.size());
    for (const QByteArray& name : raw) {
        names.append(decode(name));
    }
    return names;
}

QStringList readTagNames(const FileTagStore& store, const QUrl& url) {
    const QByteArray path = FilePaths::rawPathFromUrl(url);
    const auto names = path.isEmpty() ? std::nullopt : store.read(path);
    return names ? decodeNames(*names) : QStringList();
}

Edited edit(FileTagStore& store, const QByteArray& path, const TagEdit& edit) {
    Edited result;
    const auto value = path.isEmpty() ? std::nullopt : store.readValue(path);
    if (!value) {
        result.error = std::make_error_code(path.isEmpty() ? std::errc::invalid_argument
                                                           : std::errc::io_error);
        return result;
    }
    result.before = *value;
    result.after = edit.apply(*value);
    if (result.after != *value) {
        result.error = store.writeValue(path, result.after);
        result.written = !result.error;
    }
    return result;
}

}  // namespace FileTagging
