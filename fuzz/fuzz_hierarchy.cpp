// Any bytes: the hierarchy reader either refuses them or yields a tree that writes and reads
// back to itself.
#include "model/HierarchyCodec.h"
#include "model/TagNode.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto forest = HierarchyCodec::decode(bytes);
    if (forest) {
        const auto again = HierarchyCodec::decode(HierarchyCodec::encode(*forest));
        if (!again || *again != *forest) {
            std::abort();
        }
    }
    return 0;
}
