#include "sources/FinderTagParsing.h"

#include "platform/Log.h"
#include "sources/PropertyList.h"

#include <plist/plist.h>

#include <cmath>

namespace FinderTagParsing {
namespace {

// A floating-point colour truncated toward zero; NaN and values beyond 64 bits are no colour.
std::optional<qint64> truncatedReal(plist_t node) {
    const auto value = PropertyList::real(node);
    if (!value || !std::isfinite(*value) || std::fabs(*value) >= 9.2e18) {
        return std::nullopt;
    }
    return static_cast<qint64>(std::trunc(*value));
}

plist_t tagArray(plist_t dictionary) {
    plist_t array = PropertyList::member(dictionary, "FinderTags");
    return PropertyList::isArrayOfDictionaries(array) ? array : nullptr;
}

}  // namespace

std::optional<FinderTag> parseFinderTagEntry(plist_t entry, EntryVariant variant) {
    const auto name = PropertyList::text(PropertyList::member(entry, "n"));
    if (!name || name->isEmpty()) {
        return std::nullopt;
    }
    const plist_t l = PropertyList::member(entry, "l");
    std::optional<qint64> color = PropertyList::integer(l);
    if (!color) {
        color = PropertyList::integer(PropertyList::member(entry, "c"));
    }
    if (!color && variant == EntryVariant::Database) {
        color = truncatedReal(l);
    }
    return FinderTag{*name, color ? *color : finderColorIndexByName(*name)};
}

std::optional<FinderTagList> parseFinderTagDictPlist(const QByteArray& bytes) {
    const auto plist = PropertyList::fromBytes(bytes);
    if (!plist || !PropertyList::isDictionary(plist->root())) {
        Log::line("  parseFinderTagDictPlist: plist deserialize failed");
        return std::nullopt;
    }
    const plist_t root = plist->root();
    Log::line("  parseFinderTagDictPlist: top-level keys: " + PropertyList::keys(root).join(", "));

    plist_t array = tagArray(root);
    if (array) {
        Log::line("  found FinderTags at top level");
    }
    if (!array) {
        array = tagArray(PropertyList::member(root, "value"));
        if (array) {
            Log::line("  found FinderTags under value");
        }
    }
    if (!array) {
        const plist_t dict =
            PropertyList::member(PropertyList::member(root, "values"), "FinderTagDict");
        array = tagArray(PropertyList::member(dict, "value"));
        if (array) {
            Log::line("  found FinderTags under values.FinderTagDict.value");
        }
    }
    if (!array) {
        Log::line("  no FinderTags array found in plist structure");
        return std::nullopt;
    }
    FinderTagList tags;
    const uint32_t count = plist_array_get_size(array);
    for (uint32_t i = 0; i < count; ++i) {
        if (auto tag =
                parseFinderTagEntry(plist_array_get_item(array, i), EntryVariant::Database)) {
            tags.append(std::move(*tag));
        }
    }
    return tags;
}

}  // namespace FinderTagParsing
