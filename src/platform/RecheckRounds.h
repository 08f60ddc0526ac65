#pragma once

#include <QList>
#include <QSet>

// Past the system's limit on watched folders, the folders without a watch are listed again in
// rounds: a few thousand now and then, the longest unchecked first, so that a change there is
// seen within minutes without keeping a core busy for as long as Orvane runs.
class RecheckRounds {
public:
    RecheckRounds(qint64 intervalMs, qsizetype perRound)
        : m_intervalMs(intervalMs), m_perRound(perRound) {}

    // The first round comes an interval after the limit is reached.
    void start(qint64 nowMs) { m_next = nowMs + m_intervalMs; }
    bool isDue(qint64 nowMs) const { return nowMs >= m_next; }
    // The folders of the round due now, those still unwatched; the next round is due an
    // interval later.
    QList<int> take(qint64 nowMs, const QSet<int>& unwatched);
    // How long the thread may wait before the next round is due.
    int waitMs(qint64 nowMs) const;

private:
    qint64 m_intervalMs;
    qsizetype m_perRound;
    QList<int> m_queue;  // unwatched folders, the longest unchecked first
    qint64 m_next = 0;   // steady milliseconds
};
