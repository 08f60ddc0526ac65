#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <sys/socket.h>

#include <unistd.h>
#include <csignal>

// SIGTERM (a logout) and SIGINT (Ctrl+C) turned into a signal on the main thread, so that the
// application can finish the file work in hand and record its progress before it exits.
class ShutdownSignals : public QObject {
    Q_OBJECT

public:
    explicit ShutdownSignals(QObject* parent = nullptr) : QObject(parent) {
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, s_pipe) != 0) {
            return;
        }
        m_notifier = new QSocketNotifier(s_pipe[1], QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, [this] {
            char byte = 0;
            [[maybe_unused]] const ssize_t got = ::read(s_pipe[1], &byte, 1);
            emit requested();
        });
        struct sigaction action {};
        action.sa_handler = [](int) {
            const char byte = 1;
            [[maybe_unused]] const ssize_t written = ::write(s_pipe[0], &byte, 1);
        };
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &action, nullptr);
        sigaction(SIGINT, &action, nullptr);
    }

signals:
    void requested();

private:
    static inline int s_pipe[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
};
