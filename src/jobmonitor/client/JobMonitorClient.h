#pragma once

#include <memory>
#include <optional>

#include <QByteArray>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include "jobmonitor/WireProtocol.h"

namespace hlv {

// How to start one build of the job monitor server.
struct JobMonitorClientOptions
{
    QString programName;                            // executable name, e.g. "HlvJobMonitor"
    QString classId;                                // the class id the server must announce, in braces
    QString programDir;                             // where the program lies; empty: this program's own folder
    std::optional<QProcessEnvironment> environment; // the server's environment; unset: ours
    int startTimeoutMs = 10000;                     // until the server has announced itself
    int stopTimeoutMs = 3000;                       // until StopMonitor is answered
};

// The client end of the job monitor link: starts the server program with pipes, checks
// the class id it announces, sends it StartMonitor and StopMonitor and raises its events
// as signals on this object's thread.
//
// Creation fails (null) when the program cannot be started, does not announce itself in
// time or announces another class id; a refused server is ended at once.
//
// Releasing the client (deleting it) closes the server's stdin, on which the server ends by
// itself; one that does not within a moment is terminated. The release does not wait for
// the server to end. Do not delete the client from a handler of its own signals: use
// deleteLater. At the program's end, EndServer and endReleasedServers end the servers and
// wait for them, so that none is left running when the program goes.
class JobMonitorClient : public QObject
{
    Q_OBJECT
public:
    static std::unique_ptr<JobMonitorClient> create(const JobMonitorClientOptions& options, QString* error = nullptr);
    ~JobMonitorClient() override;

    // Returns at once; the server connects and reports through ConnectEvent.
    void StartMonitor(const QString& strComputer);
    // StartMonitor that takes knownJobs (job detail records, as an earlier monitor
    // reported them) as the jobs last read, so that what changed since comes as events;
    // with historySince valid, also the jobs that ended from then on, except endedJobs
    // (names of jobs whose end was reported).
    void ResumeMonitor(const QString& strComputer, const QStringList& knownJobs, const QStringList& endedJobs = {},
                       const QDateTime& historySince = {});
    // Waits (up to stopTimeoutMs) until the server has answered with "Disconnected", so
    // that, as with a direct call, the events raised by the stop have arrived when it
    // returns. Events still on their way before the answer arrive first. The program's
    // events run meanwhile (the window does not freeze on a server that does not answer);
    // a stop asked for while one waits returns at once.
    void StopMonitor();

    // For the program's end: tells the server StopMonitor and closes its stdin, on which it
    // cancels what it asked of the print server and ends; waits for that until the
    // deadline, then kills the server. Runs no events of the program.
    void EndServer(QDeadlineTimer deadline);
    // The same wait for the servers of clients already released that are still ending;
    // those still running at the deadline are killed. Only this program's servers are
    // touched.
    static void endReleasedServers(QDeadlineTimer deadline);

    qint64 serverPid() const { return m_serverPid; }
    QString fileVersion() const { return m_fileVersion; }
    bool isServerRunning() const;

Q_SIGNALS:
    void JobEvent(const QString& strAction, const QString& strDetails);
    void ConnectEvent(const QString& strConnect);
    // The jobs the server found when it started watching (job detail records).
    void JobListEvent(const QStringList& records);
    // The server program ended (or was ended); no further events will come.
    void serverFinished(qint64 pid);

private:
    explicit JobMonitorClient(const JobMonitorClientOptions& options);

    bool startServer(QString* error);
    void send(const QStringList& fields);
    void readServer();
    void dispatch(const QStringList& fields);
    void endServer();
    void abandonServer();

    JobMonitorClientOptions m_options;
    // Owned; outlives the client while a released server is still ending.
    QProcess* m_process;
    wire::LineBuffer m_buffer;
    qint64 m_serverPid = 0;
    QString m_fileVersion;
    bool m_disconnectSeen = false;
    bool m_stopping = false;
};

} // namespace hlv
