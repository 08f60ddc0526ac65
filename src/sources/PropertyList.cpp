#include "sources/PropertyList.h"

#include <plist/plist.h>

#include <QRegularExpression>

#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// The property-list library aborts the process on a text value with an embedded NUL character
// (an assertion when the value is read), so such input is refused before it is parsed.
bool xmlHasNulCharacter(const QByteArray& bytes) {
    static const QRegularExpression nulEntity("&#(x0*|0+);",
                                              QRegularExpression::CaseInsensitiveOption);
    return bytes.contains('\0') || nulEntity.match(QString::fromLatin1(bytes)).hasMatch();
}

quint64 readBigEndian(const QByteArray& bytes, qsizetype offset, int size) {
    quint64 value = 0;
    for (int i = 0; i < size; ++i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
    }
    return value;
}

// Walks the object table of a binary list and looks at every ASCII and UTF-16 string.
bool binaryHasNulCharacter(const QByteArray& bytes) {
    constexpr qsizetype kTrailer = 32;
    if (bytes.size() < 8 + kTrailer) {
        return true;  // too short to be valid: refuse
    }
    const qsizetype trailer = bytes.size() - kTrailer;
    const int offsetSize = static_cast<unsigned char>(bytes[trailer + 6]);
    const quint64 count = readBigEndian(bytes, trailer + 8, 8);
    const quint64 tableStart = readBigEndian(bytes, trailer + 24, 8);
    if (offsetSize < 1 || offsetSize > 8 || count > static_cast<quint64>(bytes.size()) ||
        tableStart > static_cast<quint64>(trailer) ||
        count * offsetSize > static_cast<quint64>(trailer) - tableStart) {
        return true;
    }
    for (quint64 i = 0; i < count; ++i) {
        const quint64 offset =
            readBigEndian(bytes, static_cast<qsizetype>(tableStart + i * offsetSize), offsetSize);
        if (offset >= static_cast<quint64>(trailer)) {
            return true;
        }
        const auto marker = static_cast<unsigned char>(bytes[static_cast<qsizetype>(offset)]);
        const int kind = marker >> 4;
        if (kind != 0x5 && kind != 0x6) {
            continue;
        }
        quint64 length = marker & 0x0F;
        qsizetype start = static_cast<qsizetype>(offset) + 1;
        if (length == 0x0F) {  // the length follows as an integer object
            if (start >= trailer) {
                return true;
            }
            const auto intMarker = static_cast<unsigned char>(bytes[start]);
            const int intSize = 1 << (intMarker & 0x0F);
            if ((intMarker >> 4) != 0x1 || intSize > 8 || start + 1 + intSize > trailer) {
                return true;
            }
            length = readBigEndian(bytes, start + 1, intSize);
            start += 1 + intSize;
        }
        const quint64 byteLength = kind == 0x6 ? length * 2 : length;
        if (length > static_cast<quint64>(trailer) ||
            byteLength > static_cast<quint64>(trailer - start)) {
            return true;
        }
        for (quint64 j = 0; j < length; ++j) {
            const qsizetype at = start + static_cast<qsizetype>(kind == 0x6 ? j * 2 : j);
            if (bytes[at] == '\0' && (kind == 0x5 || bytes[at + 1] == '\0')) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

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
    if (binary ? binaryHasNulCharacter(bytes) : xmlHasNulCharacter(bytes)) {
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
