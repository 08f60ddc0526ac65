#include "model/FileItem.h"

#include "platform/FilePaths.h"

FileItem FileItem::make(QByteArray path, bool isDirectory, QStringList tags, QString iconName) {
    while (path.size() > 1 && path.endsWith('/')) {
        path.chop(1);
    }
    FileItem item;
    item.url = FilePaths::urlFromRawPath(isDirectory && path != "/" ? path + '/' : path);
    item.id = QString::fromLatin1(item.url.toEncoded());
    item.name = QString::fromUtf8(path.mid(path.lastIndexOf('/') + 1));
    item.isDirectory = isDirectory;
    item.tags = std::move(tags);
    item.iconName = std::move(iconName);
    return item;
}
