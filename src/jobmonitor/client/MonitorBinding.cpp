#include "jobmonitor/client/MonitorBinding.h"

#include <algorithm>

#include "jobmonitor/JobDetailRecord.h"
#include "jobmonitor/JobMonitor.h"
#include "jobmonitor/JobSnapshot.h"
#include "platform/ProcessControl.h"

namespace hlv {

QList<qint64> endStartedProcesses(ProcessControl& processes, const QString& processName, const QSet<qint64>& started)
{
    QList<qint64> ended;
    QList<ProcessEntry> running;
    if (started.isEmpty() || !processes.listProcesses(running)) {
        return ended;
    }
    QString wanted = processName.toLower();
    // Callers may name the program as it is called on Windows; programs here carry no ".exe".
    if (wanted.endsWith(QLatin1String(".exe"))) {
        wanted.chop(4);
    }
    const qint64 me = processes.currentUid();
    for (const ProcessEntry& process : std::as_const(running)) {
        if (!started.contains(process.pid) || process.uid != me) {
            continue;
        }
        if (!process.name.trimmed().toLower().contains(wanted)) {
            continue;
        }
        // Whether the request arrived is not looked at: a process that ended meanwhile is gone anyway.
        processes.terminate(process.pid);
        ended.append(process.pid);
    }
    return ended;
}

MonitorBinding::MonitorBinding(QString programName, QString classId, ProcessControl& processes, QObject* parent)
    : QObject(parent)
    , m_programName(std::move(programName))
    , m_classId(std::move(classId))
    , m_processes(processes)
{}

MonitorBinding::~MonitorBinding()
{
    // A monitor still held is released with its owner; its server ends with its stdin.
    delete m_monitor.data();
}

void MonitorBinding::StartJobMonitor(const QString& Server)
{
    start(Server, false);
}

void MonitorBinding::ResumeJobMonitor(const QString& Server)
{
    start(Server, m_haveJobList);
}

void MonitorBinding::rememberJob(const QString& strAction, const QString& strDetails)
{
    const QString name = readJobDetailRecord(strDetails).at(11);
    if (strAction == QLatin1String("Deleted")) {
        m_knownJobs.remove(name);
        if (!name.isEmpty()) {
            // As many as the monitor remembers itself; older ends lie before any history read.
            if (m_endedJobs.size() >= JobSnapshot::kMostEndsKept) {
                m_endedJobs.remove(0, m_endedJobs.size() / 2);
            }
            m_endedJobs.append(name);
        }
    } else if (!name.isEmpty()) {
        m_knownJobs.insert(name, strDetails);
    }
}

void MonitorBinding::start(const QString& Server, bool resume)
{
    release();
    if (!resume) {
        m_knownJobs.clear();
        m_haveJobList = false;
        m_endedJobs.clear();
        m_watchStartedAt = QDateTime::currentDateTimeUtc();
        m_lastHeard = m_watchStartedAt;
    }

    JobMonitorClientOptions options;
    options.programName = m_programName;
    options.classId = m_classId;
    options.programDir = m_programDir;
    options.environment = m_environment;
    std::unique_ptr<JobMonitorClient> client = JobMonitorClient::create(options);
    if (!client) {
        return;
    }

    // A pid counts as ours only while its process has not been reaped: after that the
    // number may belong to somebody else.
    const qint64 pid = client->serverPid();
    m_started.insert(pid);
    connect(client.get(), &JobMonitorClient::serverFinished, this, [this](qint64 ended) { m_started.remove(ended); });
    connect(client.get(), &QObject::destroyed, this, [this, pid] { m_started.remove(pid); });
    // When the running monitor last said anything: a successor reads the history from then.
    const auto heard = [this] {
        m_lastHeard = QDateTime::currentDateTimeUtc();
    };
    connect(client.get(), &JobMonitorClient::JobEvent, this, heard);
    connect(client.get(), &JobMonitorClient::ConnectEvent, this, heard);
    // The jobs are remembered before the program sees the event, for a monitor that a
    // handler of the event may start.
    connect(client.get(), &JobMonitorClient::JobEvent, this, &MonitorBinding::rememberJob);
    connect(client.get(), &JobMonitorClient::JobEvent, this, &MonitorBinding::JobEvent);
    connect(client.get(), &JobMonitorClient::ConnectEvent, this, &MonitorBinding::ConnectEvent);
    connect(client.get(), &JobMonitorClient::JobListEvent, this, [this](const QStringList& records) {
        m_knownJobs.clear();
        for (const QString& record : records) {
            rememberJob(QStringLiteral("New"), record);
        }
        m_haveJobList = true;
    });
    connect(client.get(), &JobMonitorClient::serverFinished, this, [this, monitor = client.get()] {
        // Only the running monitor's end is news: a stopped or replaced one was meant to end.
        if (m_monitor == monitor) {
            release();
            Q_EMIT MonitorEnded();
        }
    });

    client->setParent(this);
    m_monitor = client.release();
    if (resume) {
        // Every end after the last word of the old monitor went unreported; the history is
        // read from a little before it, as the server's clock may differ from this one's,
        // but not from before watching began, whose ends are no news.
        const QDateTime since = std::max(m_watchStartedAt, m_lastHeard.addSecs(-JobMonitor::kClockMarginSecs));
        m_monitor->ResumeMonitor(Server, m_knownJobs.values(), m_endedJobs, since);
    } else {
        m_monitor->StartMonitor(Server);
    }
}

void MonitorBinding::StopJobMonitor()
{
    if (m_monitor) {
        // The stop lets the program's events run while it waits for the answer; a monitor
        // started meanwhile is not the one being stopped and stays.
        const QPointer<JobMonitorClient> stopping = m_monitor;
        stopping->StopMonitor();
        if (stopping && m_monitor == stopping) {
            release();
        }
    }
    // The kill that follows a stop leaves alone the server of a monitor started meanwhile:
    // that one is the program's monitor now.
    QSet<qint64> ended = m_started;
    if (m_monitor) {
        ended.remove(m_monitor->serverPid());
    }
    endStartedProcesses(m_processes, m_programName, ended);
}

void MonitorBinding::release()
{
    if (!m_monitor) {
        return;
    }
    JobMonitorClient* old = m_monitor;
    m_monitor = nullptr;
    // Events of a released monitor no longer reach the program.
    disconnect(old, &JobMonitorClient::JobEvent, this, nullptr);
    disconnect(old, &JobMonitorClient::ConnectEvent, this, nullptr);
    disconnect(old, &JobMonitorClient::JobListEvent, this, nullptr);
    // Released later, as a handler of the monitor's own event may be what released it.
    old->deleteLater();
}

void MonitorBinding::EndJobMonitor(int waitMs)
{
    const QDeadlineTimer deadline(waitMs);
    if (m_monitor) {
        m_monitor->EndServer(deadline);
        release();
    }
    JobMonitorClient::endReleasedServers(deadline);
}

void MonitorBinding::KillProcess(const QString& processName)
{
    endStartedProcesses(m_processes, processName, m_started);
}

} // namespace hlv
