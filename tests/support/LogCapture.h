#pragma once

#include <QStringList>

#include <mutex>

// Collects the diagnostic lines written while it lives.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    QStringList lines() const;

private:
    mutable std::mutex m_mutex;
    QStringList m_lines;
};
