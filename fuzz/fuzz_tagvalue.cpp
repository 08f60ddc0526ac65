// Any bytes as a tag attribute: split into entries that join back to the same bytes, and
// edited (one entry dropped, one name added) without changing what any other entry says.
#include "platform/TagValueCodec.h"

#include <algorithm>
#include <cstdlib>

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

QList<QByteArray> sorted(QList<QByteArray> list) {
    std::sort(list.begin(), list.end());
    return list;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    // The first byte picks the entry to drop, the bytes after the first NUL are the new name.
    const QByteArray input(reinterpret_cast<const char*>(data) + 1,
                           static_cast<qsizetype>(size - 1));
    const qsizetype nul = input.indexOf('\0');
    const QByteArray value = nul < 0 ? input : input.left(nul);
    QByteArray added = nul < 0 ? QByteArray() : input.mid(nul + 1).replace('\0', ' ');
    if (added.isEmpty()) {
        added = "x";
    }

    const QList<QByteArray> entries = TagValueCodec::entries(value);
    check(entries.join(',') == value);
    check(TagValueCodec::join(entries) == value);

    QList<QByteArray> edited = entries;
    if (!edited.isEmpty()) {
        edited.removeAt(data[0] % edited.size());
    }
    edited.append(TagValueCodec::encodeName(added));
    const QList<QByteArray> reread = TagValueCodec::entries(TagValueCodec::join(edited));
    check(sorted(reread) == sorted(edited));

    // A name Orvane writes reads back as itself (blanks around a name are never part of it).
    const bool padded = added.startsWith(' ') || added.startsWith('\t') || added.endsWith(' ') ||
                        added.endsWith('\t');
    check(padded || TagValueCodec::entryName(TagValueCodec::encodeName(added)) == added);

    const QList<QByteArray> decoded = TagValueCodec::decode(value);
    check(TagValueCodec::decode(TagValueCodec::encode(decoded)) == decoded);
    return 0;
}
