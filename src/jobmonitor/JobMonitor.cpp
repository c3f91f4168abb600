#include "JobMonitor.h"

#include <algorithm>

namespace hlv {

Monitor::Monitor(QObject* parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("Monitor"));
    for (QTimer* timer : {&tmrConnect, &tmrEvent}) {
        timer->setSingleShot(true);
        timer->setInterval(1);
    }
    tmrConnect.setObjectName(QStringLiteral("tmrConnect"));
    tmrEvent.setObjectName(QStringLiteral("tmrEvent"));
}

JobMonitor::JobMonitor(PrintSystem& printSystem, QObject* parent)
    : QObject(parent)
    , m_printSystem(printSystem)
    , frmMonitor(std::make_unique<Monitor>())
{
    connect(&frmMonitor->tmrConnect, &QTimer::timeout, this, &JobMonitor::mwtmrConnect_Timer);
    connect(&frmMonitor->tmrEvent, &QTimer::timeout, this, &JobMonitor::mwtmrEvent_Timer);
}

JobMonitor::~JobMonitor() = default;

void JobMonitor::StartMonitor(const QString& strComputer)
{
    // A reading still armed for the previous server must not be compared with the new one.
    frmMonitor->tmrEvent.stop();
    frmMonitor->tmrConnect.stop();

    QString error;
    std::unique_ptr<PrintServer> server = m_printSystem.connect(strComputer, &error);
    if (!server) {
        m_state = State::Stopped;
        Q_EMIT ConnectEvent(textConnectionError());
        return;
    }
    objServices = std::move(server);
    colEvents.clear();
    m_state = State::Connecting;
    frmMonitor->tmrConnect.start(1);
}

void JobMonitor::mwtmrConnect_Timer()
{
    frmMonitor->tmrConnect.stop();
    if (!objServices) {
        return;
    }
    // The first reading stands for the subscription: jobs already there are not news.
    m_lastReading.start();
    QList<PrintJobInfo> jobs;
    if (!objServices->jobs(jobs)) {
        m_state = State::Stopped;
        Q_EMIT ConnectEvent(textQueryError());
        return;
    }
    colEvents.reset(jobs);
    m_state = State::Waiting;
    Q_EMIT ConnectEvent(textConnected());
    if (m_state == State::Waiting) {
        armNextReading();
    }
}

void JobMonitor::mwtmrEvent_Timer()
{
    frmMonitor->tmrEvent.stop();
    MonitorEvent();
}

void JobMonitor::MonitorEvent()
{
    if (m_state != State::Waiting || !objServices) {
        return;
    }
    m_lastReading.start();
    QList<PrintJobInfo> jobs;
    if (!objServices->jobs(jobs)) {
        frmMonitor->tmrEvent.stop();
        m_state = State::Stopped;
        return;
    }
    const QList<JobChange> changes = colEvents.update(jobs);
    for (const JobChange& change : changes) {
        Q_EMIT JobEvent(change.action, change.record);
        // A receiver in this process may have stopped or restarted the monitor.
        if (m_state != State::Waiting) {
            return;
        }
    }
    armNextReading();
}

void JobMonitor::armNextReading()
{
    // Readings start a fixed interval apart however long one takes, so a change on the
    // server is reported within one interval plus one reading.
    const qint64 wait = std::max<qint64>(0, m_pollInterval - m_lastReading.elapsed());
    frmMonitor->tmrEvent.start(static_cast<int>(wait));
}

void JobMonitor::StopMonitor()
{
    frmMonitor->tmrEvent.stop();
    frmMonitor->tmrConnect.stop();
    m_state = State::Stopped;
    Q_EMIT ConnectEvent(textDisconnected());
}

} // namespace hlv
