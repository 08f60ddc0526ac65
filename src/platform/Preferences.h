#pragma once

#include <QString>

#include <optional>

// The user's choices that outlive a session, in $XDG_CONFIG_HOME/Orvane/Orvane.conf (INI), so
// that they can be read and set by hand as other desktop programs' settings are.
namespace Preferences {

// How a drop writes a nested tag: each name along its path, or KDE's one path entry.
enum class NestedTags { Names, Paths };

QString filePath();
// None until the user (or the first start) has chosen.
std::optional<NestedTags> nestedTags();
// False when the file could not be written.
bool setNestedTags(NestedTags value);

}  // namespace Preferences
