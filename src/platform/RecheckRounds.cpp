#include "platform/RecheckRounds.h"

#include <algorithm>

QList<int> RecheckRounds::take(qint64 nowMs, const QSet<int>& unwatched) {
    m_next = nowMs + m_intervalMs;
    if (m_queue.isEmpty()) {
        m_queue = QList<int>(unwatched.cbegin(), unwatched.cend());
    }
    QList<int> folders;
    while (!m_queue.isEmpty() && folders.size() < m_perRound) {
        if (const int folder = m_queue.takeFirst(); unwatched.contains(folder)) {
            folders.append(folder);
        }
    }
    return folders;
}

int RecheckRounds::waitMs(qint64 nowMs) const {
    return static_cast<int>(std::max<qint64>(0, m_next - nowMs));
}
