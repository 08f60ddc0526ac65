#include "sources/PropertyList.h"

#include "sources/PropertyListScreen.h"

#include <plist/plist.h>

#include <cstdlib>
#include <cstring>
#include <limits>

void PropertyList::Free::operator()(void* node) const {
    plist_free(node);
}

std::optional<PropertyList> PropertyList::fromBytes(const QByteArray& bytes) {
    static constexpr char kBinaryMagic[] = "bplist00";
    if (bytes.isEmpty() || bytes.size() > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    const bool binary = bytes.startsWith(QByteArray::fromRawData(kBinaryMagic, 8));
    const bool xml = !binary && bytes.trimmed().startsWith('<');
    if (!binary && !xml) {
        return std::nullopt;
    }
    if (binary ? !PropertyListScreen::acceptsBinary(bytes)
               : !PropertyListScreen::acceptsXml(bytes)) {
        return std::nullopt;
    }
    plist_t root = nullptr;
    const auto length = static_cast<uint32_t>(bytes.size());
    if (binary) {
        plist_from_bin(bytes.constData(), length, &root);
    } else {
        plist_from_xml(bytes.constData(), length, &root);
    }
    if (!root) {
        return std::nullopt;
    }
    return PropertyList(root);
}

bool PropertyList::isDictionary(plist_t node) {
    return node && plist_get_node_type(node) == PLIST_DICT;
}

bool PropertyList::isArrayOfDictionaries(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_ARRAY) {
        return false;
    }
    const uint32_t count = plist_array_get_size(node);
    for (uint32_t i = 0; i < count; ++i) {
        if (!isDictionary(plist_array_get_item(node, i))) {
            return false;
        }
    }
    return true;
}

plist_t PropertyList::member(plist_t dictionary, const char* key) {
    return isDictionary(dictionary) ? plist_dict_get_item(dictionary, key) : nullptr;
}

QStringList PropertyList::keys(plist_t dictionary) {
    QStringList result;
    if (!isDictionary(dictionary)) {
        return result;
    }
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(dictionary, &iter);
    if (!iter) {
        return result;
    }
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(dictionary, iter, &key, &value);
        if (!key) {
            break;
        }
        result.append(QString::fromUtf8(key));
        std::free(key);
    }
    std::free(iter);
    return result;
}

std::optional<QString> PropertyList::text(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_STRING) {
        return std::nullopt;
    }
    uint64_t length = 0;
    const char* value = plist_get_string_ptr(node, &length);
    if (!value || length > static_cast<uint64_t>(std::numeric_limits<qsizetype>::max())) {
        return std::nullopt;
    }
    return QString::fromUtf8(value, static_cast<qsizetype>(length));
}

std::optional<qint64> PropertyList::integer(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_UINT) {
        return std::nullopt;
    }
    uint64_t value = 0;
    plist_get_uint_val(node, &value);
    // Property-list integers are signed 64-bit; the library hands back the same bits unsigned.
    return static_cast<qint64>(value);
}

std::optional<double> PropertyList::real(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_REAL) {
        return std::nullopt;
    }
    double value = 0;
    plist_get_real_val(node, &value);
    return value;
}
