#pragma once

#include <QList>
#include <QSet>

// Past the system's limit on watched folders, the folders without a watch are listed again in
// rounds: one every `roundMs`, each the share of them that brings the whole set round within
// `coverMs`, the longest unchecked first. A change there is seen within minutes at a few per
// cent of a core, however many folders go unwatched.
class RecheckRounds {
public:
    RecheckRounds(qint64 coverMs, qint64 roundMs) : m_coverMs(coverMs), m_roundMs(roundMs) {}

    // The first round comes one round's time after the limit is reached.
    void start(qint64 nowMs) { m_next = nowMs + m_roundMs; }
    bool isDue(qint64 nowMs) const { return nowMs >= m_next; }
    // The folders of the round due now, those still unwatched; the next round is due a
    // round's time later.
    QList<int> take(qint64 nowMs, const QSet<int>& unwatched);
    // What a round left to answer a query comes first, at once.
    void giveBack(const QList<int>& folders, qint64 nowMs);
    // How long the thread may wait before the next round is due.
    int waitMs(qint64 nowMs) const;

private:
    qint64 m_coverMs;
    qint64 m_roundMs;
    qsizetype m_perRound = 1;
    QList<int> m_queue;  // unwatched folders, the longest unchecked first
    qint64 m_next = 0;   // steady milliseconds
};
