// Any bytes as a FinderTagDict blob: parsed or refused, never a crash.
#include "platform/Log.h"
#include "sources/FinderTagParsing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        Log::setSink([](const QString&) {});
        return true;
    }();
    (void)quiet;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    FinderTagParsing::parseFinderTagDictPlist(bytes);
    return 0;
}
