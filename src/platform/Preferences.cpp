#include "platform/Preferences.h"

#include <QSettings>
#include <QStandardPaths>

namespace Preferences {

namespace {

const QString kNestedTags = QStringLiteral("nestedTags");

}  // namespace

QString filePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/Orvane/Orvane.conf";
}

std::optional<NestedTags> nestedTags() {
    const QString value = QSettings(filePath(), QSettings::IniFormat).value(kNestedTags).toString();
    if (value == "paths") {
        return NestedTags::Paths;
    }
    if (value == "names") {
        return NestedTags::Names;
    }
    return std::nullopt;  // unset, or a value typed by hand that means neither
}

bool setNestedTags(NestedTags value) {
    QSettings settings(filePath(), QSettings::IniFormat);
    settings.setValue(kNestedTags, value == NestedTags::Paths ? "paths" : "names");
    settings.sync();
    return settings.status() == QSettings::NoError;
}

}  // namespace Preferences
