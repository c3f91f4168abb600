#include "jobmonitor/client/MonitorRestart.h"

#include <algorithm>

#include <QElapsedTimer>

namespace hlv {

MonitorRestart::MonitorRestart(int firstMs, int limitMs, Clock clock, int steadyMs)
    : m_firstMs(firstMs)
    , m_limitMs(limitMs)
    , m_clock(std::move(clock))
    , m_steadyMs(steadyMs)
{}

qint64 MonitorRestart::now() const
{
    if (m_clock) {
        return m_clock();
    }
    static const QElapsedTimer started = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return started.elapsed();
}

MonitorRestart::Stop MonitorRestart::monitorEnded()
{
    const bool wasSteady = m_connectedAt >= 0 && now() - m_connectedAt >= m_steadyMs;
    m_connectedAt = -1;
    if (wasSteady) {
        m_outage = false;
        m_waitMs = 0;
    }
    Stop stop;
    stop.outageBegins = !m_outage;
    m_outage = true;
    m_waitMs = m_waitMs == 0 ? m_firstMs : std::min(2 * m_waitMs, m_limitMs);
    stop.waitMs = m_waitMs;
    return stop;
}

void MonitorRestart::monitorConnected()
{
    // A second "Connected" of the same monitor (its print server came back) keeps the first.
    if (m_connectedAt < 0) {
        m_connectedAt = now();
    }
}

void MonitorRestart::reset()
{
    m_outage = false;
    m_waitMs = 0;
    m_connectedAt = -1;
}

} // namespace hlv
