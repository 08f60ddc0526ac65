#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// Measures how long the event loop goes without turning: a 5 ms timer notes the longest gap
// between two of its ticks. A gap well over the interval is a stall of the user interface.
class StallMeter : public QObject {
public:
    StallMeter() {
        m_timer.setInterval(5);
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (m_clock.isValid()) {
                m_longest = std::max(m_longest, m_clock.nsecsElapsed() / 1e6);
            }
            m_clock.restart();
        });
        m_timer.start();
    }
    // The longest gap since the last reset, in milliseconds.
    double longestMs() const { return m_longest; }
    void reset() {
        m_longest = 0;
        m_clock.invalidate();
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    double m_longest = 0;
};
