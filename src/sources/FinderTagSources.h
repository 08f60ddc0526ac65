#pragma once

#include "sources/FinderTag.h"

#include <optional>

// The system's list of tag names and colours, read (never written) from the key-value
// databases, the synced preferences file, or its favourites. Every step is logged. Stateless;
// safe on any thread. Paths are taken under $HOME.
namespace FinderTagSources {

FinderTagList readAllFinderTags();
std::optional<FinderTagList> readAllFinderTagsFromSQLite();
std::optional<FinderTagList> readFinderTagDictFromDatabase(const QString& path);
std::optional<FinderTagList> readAllFinderTagsFromLegacyPlist();
FinderTagList readFavoriteFinderTags();

}  // namespace FinderTagSources
