#pragma once

#include <QString>

#include <functional>

// Diagnostics: one line on standard output per call, "[Orvane] " and the message, flushed at
// once so that it survives a pipe and a crash. Safe from any thread.
namespace Log {

void line(const QString& message);

// Tests read the lines through a sink; a null sink restores standard output.
using Sink = std::function<void(const QString& fullLine)>;
void setSink(Sink sink);

}  // namespace Log
