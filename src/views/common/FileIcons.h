#pragma once

#include <QIcon>
#include <QString>

// Desktop icon theme icons for file types, made once per icon name. User interface thread only.
namespace FileIcons {

QIcon forIconName(const QString& iconName, bool isDirectory);

}  // namespace FileIcons
