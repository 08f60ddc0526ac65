#include "PlistBuilder.h"

#include <cstdlib>

namespace PlistBuilder {

QByteArray serialize(plist_t root, Format format) {
    char* data = nullptr;
    uint32_t length = 0;
    if (format == Format::Binary) {
        plist_to_bin(root, &data, &length);
    } else {
        plist_to_xml(root, &data, &length);
    }
    QByteArray bytes(data, static_cast<qsizetype>(length));
    free(data);
    plist_free(root);
    return bytes;
}

plist_t entry(const char* name, std::optional<qint64> l, std::optional<qint64> c) {
    plist_t dict = plist_new_dict();
    if (name) {
        plist_dict_set_item(dict, "n", plist_new_string(name));
    }
    if (l) {
        plist_dict_set_item(dict, "l", plist_new_uint(static_cast<uint64_t>(*l)));
    }
    if (c) {
        plist_dict_set_item(dict, "c", plist_new_uint(static_cast<uint64_t>(*c)));
    }
    return dict;
}

plist_t tagArray(std::initializer_list<plist_t> entries) {
    plist_t array = plist_new_array();
    for (plist_t e : entries) {
        plist_array_append_item(array, e);
    }
    return array;
}

plist_t wrap(const char* key, plist_t value) {
    plist_t dict = plist_new_dict();
    plist_dict_set_item(dict, key, value);
    return dict;
}

plist_t legacyShape(plist_t array) {
    return wrap("values", wrap("FinderTagDict", wrap("value", wrap("FinderTags", array))));
}

}  // namespace PlistBuilder
