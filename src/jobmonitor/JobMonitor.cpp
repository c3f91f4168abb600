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
    m_watch.reset();

    QString error;
    std::unique_ptr<PrintServer> server = m_printSystem.connect(strComputer, &error);
    if (!server) {
        m_state = State::Stopped;
        Q_EMIT ConnectEvent(textConnectionError());
        return;
    }
    m_server = strComputer;
    objServices = std::move(server);
    colEvents.clear();
    m_haveBaseline = false;
    m_retryDelay = 0;
    m_state = State::Connecting;
    frmMonitor->tmrConnect.start(1);
}

void JobMonitor::ResumeMonitor(const QString& strComputer, const QStringList& knownJobs)
{
    StartMonitor(strComputer);
    if (m_state == State::Connecting) {
        colEvents.restore(knownJobs);
        m_haveBaseline = true;
    }
}

void JobMonitor::mwtmrConnect_Timer()
{
    frmMonitor->tmrConnect.stop();
    if (m_state != State::Connecting && m_state != State::Retrying) {
        return;
    }
    if (m_state == State::Retrying || !objServices) {
        // A server that was lost gets a new connection: the old one may still wait on a
        // server that has since been restarted.
        m_watch.reset();
        objServices.reset();
        objServices = m_printSystem.connect(m_server);
        if (!objServices) {
            serverLost();
            return;
        }
    }
    // The watch stands before the reading, so that no change falls between the two.
    m_watch = objServices->watchJobs();
    m_lastReading.start();
    QList<PrintJobInfo> jobs;
    if (!objServices->jobs(jobs)) {
        serverLost();
        return;
    }
    // The first reading stands for the subscription: jobs already there are not news.
    // After a lost server, whatever changed meanwhile is.
    QList<JobChange> changes;
    if (m_haveBaseline) {
        changes = colEvents.update(jobs);
    } else {
        colEvents.reset(jobs);
        m_haveBaseline = true;
        Q_EMIT JobListEvent(colEvents.records());
    }
    m_retryDelay = 0;
    m_state = State::Waiting;
    Q_EMIT ConnectEvent(textConnected());
    if (m_state == State::Waiting && raise(changes)) {
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
    QList<JobChange> changes;
    if (!(m_watch ? readChanges(changes) : readAll(changes))) {
        serverLost();
        return;
    }
    if (raise(changes)) {
        armNextReading();
    }
}

bool JobMonitor::readAll(QList<JobChange>& changes)
{
    QList<PrintJobInfo> jobs;
    if (!objServices->jobs(jobs)) {
        return false;
    }
    changes = colEvents.update(jobs);
    return true;
}

bool JobMonitor::readChanges(QList<JobChange>& changes)
{
    JobChanges named;
    if (!m_watch->changes(named)) {
        return false;
    }
    if (named.isEmpty()) {
        return true;
    }
    if (named.everything || named.jobIds.size() > kMostSingleReads) {
        return readAll(changes);
    }
    QList<PrintJobInfo> jobs;
    for (const QString& queue : std::as_const(named.queues)) {
        QList<PrintJobInfo> ofQueue;
        // A queue that cannot be read (it may have been removed) is settled by the whole list.
        if (!objServices->queueJobs(queue, ofQueue)) {
            return readAll(changes);
        }
        jobs.append(ofQueue);
    }
    for (const qint64 id : std::as_const(named.jobIds)) {
        PrintJobInfo job;
        bool found = false;
        if (!objServices->job(id, job, found)) {
            return readAll(changes);
        }
        if (found) {
            jobs.append(job);
        }
    }
    changes = colEvents.updatePart(jobs, named.jobIds, named.queues);
    return true;
}

void JobMonitor::serverLost()
{
    frmMonitor->tmrEvent.stop();
    if (m_watch) {
        m_watch->abandon();
        m_watch.reset();
    }
    const bool first = m_state != State::Retrying;
    m_retryDelay = first ? m_retryFirst : std::min(m_retryDelay * 2, m_retryLimit);
    m_state = State::Retrying;
    if (first) {
        Q_EMIT ConnectEvent(textQueryError());
        // A receiver in this process may have stopped or restarted the monitor.
        if (m_state != State::Retrying) {
            return;
        }
    }
    frmMonitor->tmrConnect.start(m_retryDelay);
}

bool JobMonitor::raise(const QList<JobChange>& changes)
{
    for (const JobChange& change : changes) {
        Q_EMIT JobEvent(change.action, change.record);
        // A receiver in this process may have stopped or restarted the monitor.
        if (m_state != State::Waiting) {
            return false;
        }
    }
    return true;
}

void JobMonitor::armNextReading()
{
    // Readings start a fixed interval apart however long one takes, so a change on the
    // server is reported within one interval plus one reading.
    const int interval = m_watch ? m_watchInterval : m_pollInterval;
    const qint64 wait = std::max<qint64>(0, interval - m_lastReading.elapsed());
    frmMonitor->tmrEvent.start(static_cast<int>(wait));
}

void JobMonitor::StopMonitor()
{
    frmMonitor->tmrEvent.stop();
    frmMonitor->tmrConnect.stop();
    m_state = State::Stopped;
    Q_EMIT ConnectEvent(textDisconnected());
    // The server forgets the watch now rather than when its lease runs out; told after the
    // answer, so that a server slow to answer does not hold the client. A receiver that
    // started the monitor again has ended the watch already.
    if (m_state == State::Stopped) {
        m_watch.reset();
    }
}

} // namespace hlv
