#include "services/FileTagging.h"

#include "platform/FilePaths.h"
#include "platform/FileTagStore.h"
#include "platform/TagValueCodec.h"
#include "services/TagEdit.h"

namespace FileTagging {
namespace {

QString decode(const QByteArray& raw) {
    return QString::fromUtf8(raw);
}

// Reads the stored list, applies the edit, and writes it back only when it changed.
std::error_code update(FileTagStore& store, const QUrl& url, const TagEdit& edit) {
    const QByteArray path = FilePaths::rawPathFromUrl(url);
    if (path.isEmpty()) {
        return std::make_error_code(std::errc::invalid_argument);
    }
    const auto value = store.readValue(path);
    if (!value) {
        return std::make_error_code(std::errc::io_error);
    }
    const QByteArray after = edit.apply(*value);
    return after == *value ? std::error_code() : store.writeValue(path, after);
}

}  // namespace

QString comparable(const QString& name) {
    return name.normalized(QString::NormalizationForm_C);
}

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

std::error_code removeTag(FileTagStore& store, const QString& name, const QUrl& url) {
    return update(store, url, TagEdit::remove({name}));
}

std::error_code removeTags(FileTagStore& store, const QStringList& names, const QUrl& url) {
    return update(store, url, TagEdit::remove(names));
}

std::error_code addTags(FileTagStore& store, const QStringList& names, const QUrl& url) {
    return update(store, url, TagEdit::add(names));
}

std::error_code replaceTag(FileTagStore& store, const QString& oldName, const QString& newName,
                           const QUrl& url) {
    return update(store, url, TagEdit::rename(oldName, newName));
}

}  // namespace FileTagging
