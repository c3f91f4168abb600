#pragma once

#include <functional>

#include <QtGlobal>

namespace hlv {

// When a program's job monitor that ended unasked (crashed, killed, or never started) is
// started again, and whether its end is news. One rule for the console and the watch
// program.
//
// An outage begins when a monitor ends and is reported once; the restarts wait the first
// wait, then twice as long each time up to the longest. A monitor that says "Connected"
// does not end the outage: only one that then stays up for the steady time does. So a
// monitor that announces itself and dies at once, again and again, is one outage with
// waits that grow, not one report and one quick restart per death.
class MonitorRestart
{
public:
    // Milliseconds on a clock that only goes forward; unset: the process's own.
    using Clock = std::function<qint64()>;

    static constexpr int kSteadyMs = 60 * 1000;

    MonitorRestart(int firstMs, int limitMs, Clock clock = {}, int steadyMs = kSteadyMs);

    struct Stop
    {
        bool outageBegins = false; // report it: the first end since the monitor was steady
        int waitMs = 0;            // before the next start
    };
    // The running monitor ended, or the one just started could not start.
    Stop monitorEnded();
    // The monitor said "Connected": it counts as steady once it has lasted the steady time.
    void monitorConnected();
    // Watching was started or stopped by the operator: no outage, and the first wait next time.
    void reset();

    bool inOutage() const { return m_outage; }
    int waitMs() const { return m_waitMs; }

private:
    qint64 now() const;

    int m_firstMs;
    int m_limitMs;
    Clock m_clock;
    int m_steadyMs;
    bool m_outage = false;
    int m_waitMs = 0;
    qint64 m_connectedAt = -1; // of the running monitor; -1: not connected
};

} // namespace hlv
