#pragma once

#include <functional>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

namespace hlv::test {

// The longest a window's event loop may stall while a print server does not answer, or take
// to answer a key, a search or a close while a call is out. The faults this guards are waits of
// whole answer or lock time-outs (8 to 10 s) or a loop frozen for seconds; a second still tells
// them apart from a loaded machine, and AddressSanitizer's slower code gets half as much again.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr int kWindowStallLimitMs = 1500;
#else
inline constexpr int kWindowStallLimitMs = 1000;
#endif

// Runs the event loop until condition holds or the deadline passes; returns the condition.
// Tests wait on what they expect to see, never for a fixed time.
inline bool waitFor(const std::function<bool()>& condition, int timeoutMs = 20000)
{
    const QDeadlineTimer deadline(timeoutMs);
    // Wakes the loop regularly so that a condition outside Qt's view is looked at too.
    QTimer wake;
    wake.start(10);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return condition();
        }
        // Without a time limit: Qt ignores WaitForMoreEvents when given one, and the wait
        // would spin a processor the whole time. The wake timer ends each wait.
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        // Outside a running event loop deleteLater would wait for one; tests have none.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

} // namespace hlv::test
