#pragma once

#include "sources/FinderTag.h"

#include <QByteArray>

#include <optional>

using plist_t = void*;

namespace FinderTagParsing {

// The key-value database stores colours as any number; the legacy preferences file only as
// integers.
enum class EntryVariant { Database, LegacyPlist };

// One FinderTags entry ("n" name, "l" or "c" colour); absent when it has no usable name.
std::optional<FinderTag> parseFinderTagEntry(plist_t entry, EntryVariant variant);

// The tag list held in a FinderTagDict blob, under any of its three known shapes.
std::optional<FinderTagList> parseFinderTagDictPlist(const QByteArray& bytes);

}  // namespace FinderTagParsing
