#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>

//! A 1 ms timer on the main thread: the longest gap between two ticks, less the interval, is the
//! longest time the main thread could not get to its timers. Kept apart for the time before the
//! first item arrived (the socket taking in the message, the worker parsing it) and after.
class StallProbe final : public QObject
{
    Q_DISABLE_COPY(StallProbe)

public:
    //! `received` counts the items that have arrived so far; it must outlive the probe.
    explicit StallProbe(const int &received);

    void start();
    void stop();

    double receivingMs() const { return m_receivingNs / 1e6; }
    double afterFirstItemMs() const { return m_afterNs / 1e6; }
    double maxMs() const { return std::max(m_receivingNs, m_afterNs) / 1e6; }

private:
    void tick();

    static constexpr int intervalMs = 1;
    const int &m_received;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastTickNs = 0;
    qint64 m_receivingNs = 0;
    qint64 m_afterNs = 0;
};
