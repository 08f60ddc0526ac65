#include "platform/Log.h"

#include <cstdio>
#include <mutex>

namespace Log {
namespace {

std::mutex& sinkMutex() {
    static std::mutex mutex;
    return mutex;
}

Sink& currentSink() {
    static Sink sink;
    return sink;
}

}  // namespace

void line(const QString& message) {
    const QString full = QStringLiteral("[Orvane] ") + message;
    std::lock_guard lock(sinkMutex());
    if (currentSink()) {
        currentSink()(full);
        return;
    }
    const QByteArray bytes = full.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

void setSink(Sink sink) {
    std::lock_guard lock(sinkMutex());
    currentSink() = std::move(sink);
}

}  // namespace Log
