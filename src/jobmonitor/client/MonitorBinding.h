#pragma once

#include <optional>

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QProcessEnvironment>
#include <QSet>
#include <QString>

#include "jobmonitor/client/JobMonitorClient.h"

namespace hlv {

class ProcessControl;

// Ends every process whose trimmed name contains processName (letters compared without
// case; a trailing ".exe" of processName is ignored, as programs here have none) that is
// among started and runs as this user; returns the pids asked to end. Stops at once,
// ending nothing, when the processes cannot be listed.
QList<qint64> endStartedProcesses(ProcessControl& processes, const QString& processName, const QSet<qint64>& started);

// A program's one job monitor: started on a server, stopped, and its server process ended.
// The console binds the HlvJobMonitor build, the watch program the HlvWatch_Job build.
//
// The server processes this object started are remembered for as long as they run, and
// KillProcess ends only those: another console's monitor, or anybody else's process whose
// name happens to match, is never touched.
class MonitorBinding : public QObject
{
    Q_OBJECT
public:
    MonitorBinding(QString programName, QString classId, ProcessControl& processes, QObject* parent = nullptr);
    ~MonitorBinding() override;

    // Where the server program lies; empty (the default): this program's own folder.
    void setProgramDir(const QString& dir) { m_programDir = dir; }
    // The environment the server starts with; unset (the default): this program's.
    void setServerEnvironment(const QProcessEnvironment& environment) { m_environment = environment; }

    // Starts a new monitor on Server, replacing any running one. When the server program
    // cannot be started nothing further happens and nothing is shown.
    void StartJobMonitor(const QString& Server);
    // Starts a new monitor on Server, as StartJobMonitor does, that takes the jobs as the
    // monitors before it last reported them (the list the first one found, and every event
    // since) for its first reading: what changed while no monitor ran comes as events. So
    // do the jobs that came and went meanwhile, where the server keeps a history of ended
    // jobs: the new monitor reads it from shortly before the last word of the old one, and
    // passes over the jobs whose end was reported. Without such a list it is StartJobMonitor.
    void ResumeJobMonitor(const QString& Server);
    // Stops the monitor (when one runs), releases it and ends its server process.
    void StopJobMonitor();
    // Ends the started server processes whose name contains processName.
    void KillProcess(const QString& processName);
    // For the program's end: stops the monitor, closes its server's stdin and waits (at most
    // waitMs in all) until every server process this program started has ended, so that
    // each cancels what it asked of its print server; one still running then is killed.
    void EndJobMonitor(int waitMs = 1500);

    // The running monitor, null when none runs.
    JobMonitorClient* mwcmnMonitor() const { return m_monitor; }
    QString programName() const { return m_programName; }
    QSet<qint64> startedProcesses() const { return m_started; }

Q_SIGNALS:
    void JobEvent(const QString& strAction, const QString& strDetails);
    void ConnectEvent(const QString& strConnect);
    // The server process of the running monitor ended without being stopped (it crashed or
    // was killed); the monitor is released and no further events will come from it.
    void MonitorEnded();

private:
    void start(const QString& Server, bool resume);
    void release();
    void rememberJob(const QString& strAction, const QString& strDetails);

    QString m_programName;
    QString m_classId;
    ProcessControl& m_processes;
    QString m_programDir;
    std::optional<QProcessEnvironment> m_environment;
    QPointer<JobMonitorClient> m_monitor;
    QSet<qint64> m_started;
    // The jobs as the monitors reported them, by job name (the record's last field).
    QHash<QString, QString> m_knownJobs;
    bool m_haveJobList = false;
    // The names of the jobs whose end the monitors reported, oldest first (bounded), when
    // the first of them started, and when the running one last said anything.
    QStringList m_endedJobs;
    QDateTime m_watchStartedAt;
    QDateTime m_lastHeard;
};

} // namespace hlv
