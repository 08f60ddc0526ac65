#include "LogCapture.h"

#include "platform/Log.h"

LogCapture::LogCapture() {
    Log::setSink([this](const QString& line) {
        std::lock_guard lock(m_mutex);
        m_lines.append(line);
    });
}

LogCapture::~LogCapture() {
    Log::setSink(nullptr);
}

QStringList LogCapture::lines() const {
    std::lock_guard lock(m_mutex);
    return m_lines;
}
