#pragma once

#include <QString>

enum class ViewMode { Icon, Column };

inline QString viewModeRawValue(ViewMode mode) {
    return mode == ViewMode::Icon ? QStringLiteral("icon") : QStringLiteral("column");
}
