#include "stallprobe.h"

#include <algorithm>

StallProbe::StallProbe(const int &received)
    : m_received(received)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, &StallProbe::tick);
}

void StallProbe::start()
{
    m_clock.start();
    m_timer.start();
}

void StallProbe::stop()
{
    tick();
    m_timer.stop();
}

void StallProbe::tick()
{
    const qint64 now = m_clock.nsecsElapsed();
    const qint64 lateness = now - m_lastTickNs - intervalMs * 1000000LL;
    qint64 &phase = m_received > 0 ? m_afterNs : m_receivingNs;
    phase = std::max(phase, lateness);
    m_lastTickNs = now;
}
