#pragma once

#include <functional>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

namespace hlv::test {

// The longest a window's event loop may stall while a print server does not answer. A frozen
// window stalls for seconds; AddressSanitizer's slower code on a loaded machine gets more room
// without hiding that.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr int kWindowStallLimitMs = 750;
#else
inline constexpr int kWindowStallLimitMs = 250;
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
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
        // Outside a running event loop deleteLater would wait for one; tests have none.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

} // namespace hlv::test
