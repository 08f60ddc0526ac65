#include "platform/RecheckRounds.h"

#include <algorithm>

QList<int> RecheckRounds::take(qint64 nowMs, const QSet<int>& unwatched) {
    m_next = nowMs + m_roundMs;
    if (m_queue.isEmpty()) {
        m_queue = QList<int>(unwatched.cbegin(), unwatched.cend());
        const qint64 rounds = std::max<qint64>(1, m_coverMs / std::max<qint64>(1, m_roundMs));
        m_perRound = std::max<qsizetype>(1, (m_queue.size() + rounds - 1) / rounds);
    }
    QList<int> folders;
    while (!m_queue.isEmpty() && folders.size() < m_perRound) {
        if (const int folder = m_queue.takeFirst(); unwatched.contains(folder)) {
            folders.append(folder);
        }
    }
    return folders;
}

void RecheckRounds::giveBack(const QList<int>& folders, qint64 nowMs) {
    m_queue = folders + m_queue;
    m_next = nowMs;
}

int RecheckRounds::waitMs(qint64 nowMs) const {
    return static_cast<int>(std::max<qint64>(0, m_next - nowMs));
}
