#include "views/common/FileIcons.h"

#include <QApplication>
#include <QHash>
#include <QStyle>

namespace FileIcons {

QIcon forIconName(const QString& iconName, bool isDirectory) {
    static QHash<QString, QIcon> cache;
    const QString key = isDirectory ? QStringLiteral("/") + iconName : iconName;
    auto it = cache.constFind(key);
    if (it != cache.cend()) {
        return *it;
    }
    QIcon icon = QIcon::fromTheme(iconName);
    if (icon.isNull() && iconName.contains(u'-')) {
        // Themes that lack a type's own icon still have its family's ("image-x-generic").
        icon = QIcon::fromTheme(iconName.section(u'-', 0, 0) + "-x-generic");
    }
    if (icon.isNull()) {
        icon = QIcon::fromTheme(isDirectory ? "folder" : "text-x-generic");
    }
    if (icon.isNull()) {
        icon = QApplication::style()->standardIcon(isDirectory ? QStyle::SP_DirIcon
                                                               : QStyle::SP_FileIcon);
    }
    return *cache.insert(key, icon);
}

}  // namespace FileIcons
