#pragma once

// For finding what a stall is: a watchdog thread that, when the main thread's event loop has
// not turned for `thresholdMs`, interrupts the main thread and prints its stack to stderr
// (at most once per stall, again every further `thresholdMs`). Only for benchmarks; the
// handler calls backtrace, which is not async-signal-safe, but a benchmark can live with that.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <execinfo.h>
#include <pthread.h>
#include <unistd.h>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <thread>

class StallTracer : public QObject {
public:
    explicit StallTracer(int thresholdMs) : m_threshold(thresholdMs) {
        m_main = pthread_self();
        // The first backtrace loads libgcc, which allocates: done here, not in the handler.
        void* warm[4];
        backtrace(warm, 4);
        struct sigaction action {};
        action.sa_handler = [](int) {
            void* frames[48];
            const int count = backtrace(frames, 48);
            const char line[] = "---- stalled main thread ----\n";
            (void)!write(2, line, sizeof line - 1);
            backtrace_symbols_fd(frames, count, 2);
        };
        sigaction(SIGUSR2, &action, nullptr);
        m_tick.setInterval(2);
        connect(&m_tick, &QTimer::timeout, this, [this] { m_turned = nowMs(); });
        m_tick.start();
        m_turned = nowMs();
        m_watch = std::thread([this] {
            long long lastTrace = 0;
            while (!m_stop) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                const long long now = nowMs();
                if (now - m_turned > m_threshold && now - lastTrace > m_threshold) {
                    lastTrace = now;
                    std::fprintf(stderr, "stall of %lld ms so far\n", now - m_turned.load());
                    pthread_kill(m_main, SIGUSR2);
                }
            }
        });
    }
    ~StallTracer() override {
        m_stop = true;
        m_watch.join();
    }

private:
    static long long nowMs() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    int m_threshold;
    pthread_t m_main;
    QTimer m_tick;
    std::atomic<long long> m_turned{0};
    std::atomic<bool> m_stop{false};
    std::thread m_watch;
};
