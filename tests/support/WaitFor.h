#pragma once

#include <functional>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

namespace hlv::test {

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
