#include "platform/ReplaceGuard.h"

#include <QDateTime>

void ReplaceGuard::gone(const QByteArray& path, const QByteArray& value) {
    m_recent.insert(path, {value, QDateTime::currentMSecsSinceEpoch()});
}

void ReplaceGuard::forget(const QByteArray& path) {
    m_recent.remove(path);
}

QByteArray ReplaceGuard::replaced(const QByteArray& path, const QByteArray& known) {
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QByteArray lost = known;
    if (const auto gone = m_recent.constFind(path);
        lost.isEmpty() && gone != m_recent.cend() && now - gone->time <= kWindowMs) {
        lost = gone->value;
    }
    if (!lost.isEmpty()) {
        m_recent.insert(path, {lost, now});
    }
    return lost;
}

void ReplaceGuard::expire() {
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    m_recent.removeIf([now](const auto& gone) { return now - gone.value().time > kWindowMs; });
}
