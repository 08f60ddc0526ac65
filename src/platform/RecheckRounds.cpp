#include "platform/RecheckRounds.h"

#include <algorithm>

QList<int> RecheckRounds::take(qint64 nowMs, const QSet<int>& unwatched,
                               const std::function<bool(int)>& alive) {
    QList<int> folders;
    if (nowMs < m_next) {
        return folders;
    }
    m_next = nowMs + m_intervalMs;
    if (m_queue.isEmpty()) {
        m_queue = QList<int>(unwatched.cbegin(), unwatched.cend());
    }
    while (!m_queue.isEmpty() && folders.size() < m_perRound) {
        const int folder = m_queue.takeFirst();
        if (unwatched.contains(folder) && alive(folder)) {
            folders.append(folder);
        }
    }
    return folders;
}

int RecheckRounds::waitMs(qint64 nowMs) const {
    return static_cast<int>(std::max<qint64>(0, m_next - nowMs));
}
