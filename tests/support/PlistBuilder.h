#pragma once

#include <QByteArray>

#include <initializer_list>
#include <optional>

#include <plist/plist.h>

// Builds real property lists (binary or XML) for tests of the system tag sources.
namespace PlistBuilder {

enum class Format { Binary, Xml };

// Serializes and frees `root`.
QByteArray serialize(plist_t root, Format format);
// A FinderTags entry: "n" and optional integer "l" and "c".
plist_t entry(const char* name, std::optional<qint64> l = {}, std::optional<qint64> c = {});
plist_t tagArray(std::initializer_list<plist_t> entries);
plist_t wrap(const char* key, plist_t value);
// values -> FinderTagDict -> value -> FinderTags, as in the synced preferences file.
plist_t legacyShape(plist_t array);

}  // namespace PlistBuilder
