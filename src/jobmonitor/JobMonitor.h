#pragma once

#include <memory>

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include "JobSnapshot.h"
#include "platform/PrintSystem.h"

namespace hlv {

// The hidden object that carries the monitor's two timers. Both are one-shots: a handler
// first stops its timer, and the monitor arms them again when it wants the next tick.
class Monitor : public QObject
{
    Q_OBJECT
public:
    explicit Monitor(QObject* parent = nullptr);

    static QString caption() { return QStringLiteral("Monitor - Modal"); }

    QTimer tmrConnect;
    QTimer tmrEvent;
};

// Watches the jobs of one print server and reports every job that appears, changes or
// goes away (JobEvent) and the state of its connection (ConnectEvent).
//
// StartMonitor connects to the server at once; the first reading of the server's jobs is
// left to the next tick of tmrConnect so that the caller is not held while it is made.
// Where the server keeps track of its job changes (PrintServer::watchJobs) the monitor asks
// it for them five times a second and reads only the jobs it names, and for a queue whose
// printer changed state only that printer's state, from which the status of the queue's
// jobs follows; the whole list is still compared about once a minute, in case a change was
// missed. Elsewhere tmrEvent reads the whole job list every pollInterval. A whole-list
// comparison that takes long is made less often, so that it takes at most a tenth of the
// time (kWholeCostShare). Either way the
// jobs as last read (JobSnapshot) give the events; a job that left the list is reported
// with its state now (a moved job as it is on its new queue, an ended one as it ended).
//
// A server that refuses the watch (its policy wants a password to read or renew it) is not
// lost: the monitor gives the watch up, asking the server to cancel it, compares whole lists
// from then on and asks for a watch again only every few minutes.
//
//   state       entered by                                left by
//   Idle        construction                              StartMonitor
//   Connecting  StartMonitor connected (tmrConnect armed) connect tick; StopMonitor
//   Waiting     "Connected"; the end of each reading      StopMonitor; a failed reading
//   Retrying    a failed reading ("WMI Query Error")      a reading that works ("Connected"); StopMonitor
//   Stopped     StopMonitor; "WMI Connection Error"       StartMonitor again
//
// A reading that fails (the server stopped, restarted, or did not answer in time) raises
// "WMI Query Error" once; the monitor then connects again and reads, first after one
// second, then waiting twice as long each time up to five seconds. When a reading works
// again it raises "Connected" followed by the events for everything that changed while the
// server was lost; a job that came and went meanwhile is found in the server's history of
// ended jobs where it keeps one (ResumeMonitor does the same for the time no monitor ran),
// and leaves no trace elsewhere. A job whose end was reported is never reported again. The wait only
// starts from one second again once the server has answered steadily for a while, so a
// server that fails again right after each connect is not asked once a second. StopMonitor
// ends the watch on the server and keeps the server connection until the object goes or
// the next StartMonitor replaces it.
class JobMonitor : public QObject
{
    Q_OBJECT
public:
    enum class State { Idle, Connecting, Waiting, Retrying, Stopped };

    explicit JobMonitor(PrintSystem& printSystem, QObject* parent = nullptr);
    ~JobMonitor() override;

    void StartMonitor(const QString& strComputer);
    // StartMonitor with the jobs known from an earlier monitor (their job detail records)
    // as the last reading: the first reading reports what changed since, as after a lost
    // server, rather than taking the jobs as they stand. The jobs that ended from
    // historySince on (by the server's history; not read when invalid) are reported too,
    // except those named in endedJobs, whose end the earlier monitors reported.
    void ResumeMonitor(const QString& strComputer, const QStringList& knownJobs, const QStringList& endedJobs = {},
                       const QDateTime& historySince = {});
    void StopMonitor();
    // One reading of the server's changes (or of all its jobs) and the events for what
    // changed since the last one.
    void MonitorEvent();

    State state() const { return m_state; }
    // Time from the start of one whole-list reading to the start of the next.
    void setPollInterval(int milliseconds) { m_pollInterval = milliseconds; }
    int pollInterval() const { return m_pollInterval; }
    // The first wait after a failed reading, and the longest.
    void setRetryDelays(int firstMs, int limitMs)
    {
        m_retryFirst = firstMs;
        m_retryLimit = limitMs;
    }
    // How long a connection must answer before a later loss waits from the first delay again.
    void setSteadyTime(int milliseconds) { m_steadyTime = milliseconds; }
    // While watching: how often the whole list is still compared. Without a watch (none
    // offered, or refused): how often a watch is asked for again.
    void setWholeListInterval(int milliseconds) { m_wholeInterval = milliseconds; }
    void setWatchRetryInterval(int milliseconds) { m_watchRetryInterval = milliseconds; }
    int retryDelay() const { return m_retryDelay; }
    // Whether the server keeps track of the changes (false: whole lists are compared).
    bool watching() const { return m_watch != nullptr; }
    Monitor& monitorForm() { return *frmMonitor; }

    static QString textNew() { return QStringLiteral("New"); }
    static QString textModified() { return QStringLiteral("Modified"); }
    static QString textDeleted() { return QStringLiteral("Deleted"); }
    static QString textConnected() { return QStringLiteral("Connected"); }
    static QString textDisconnected() { return QStringLiteral("Disconnected"); }
    static QString textConnectionError() { return QStringLiteral("WMI Connection Error"); }
    static QString textQueryError() { return QStringLiteral("WMI Query Error"); }

    // More changed jobs than this in one answer are read as a whole list.
    static constexpr int kMostSingleReads = 25;
    // How far the clocks of this computer and of a print server may differ: the history is
    // read from that much before the last reading that worked.
    static constexpr int kClockMarginSecs = 60;
    // A whole-list comparison takes at most this share of the time (1 in kWholeCostShare):
    // one that takes a second waits nine before the next, however short the interval.
    static constexpr int kWholeCostShare = 10;
    // A comparison quicker than this costs nothing worth sparing: it is made as often as its
    // interval says (a few jobs' reading timed on a loaded machine tells of the machine).
    static constexpr qint64 kWholeCostWorthSparingMs = 100;

Q_SIGNALS:
    void JobEvent(const QString& strAction, const QString& strDetails);
    void ConnectEvent(const QString& strConnect);
    // The jobs that the first reading after StartMonitor found (their job detail records),
    // raised just before "Connected".
    void JobListEvent(const QStringList& records);

private:
    void mwtmrConnect_Timer();
    void mwtmrEvent_Timer();
    void armNextReading();
    // Reads what the watch names; a failure when the server did not answer or refused.
    PrintResult readChanges(QList<JobChange>& changes);
    // Reads the whole list; told: what the watch's notices said of jobs named meanwhile;
    // with historySince valid, the jobs that ended since then as well.
    PrintResult readAll(QList<JobChange>& changes, const QList<PrintJobInfo>& told = {},
                        const QDateTime& historySince = {});
    // Reads again what changes without a notice: the printers that are stopped (their
    // message may change, and with it whether their jobs are in error) and the jobs whose
    // document is still coming (their size).
    PrintResult readUntold(QList<JobChange>& changes);
    void watchRefused();
    void askForWatch();
    void serverLost();
    // Raises the events one by one; false when a receiver stopped or restarted the monitor.
    bool raise(const QList<JobChange>& changes);

    PrintSystem& m_printSystem;
    std::unique_ptr<Monitor> frmMonitor;
    QString m_server;
    std::unique_ptr<PrintServer> objServices;
    std::unique_ptr<JobWatch> m_watch; // declared after objServices: goes first
    JobSnapshot colEvents;
    bool m_haveBaseline = false;
    QElapsedTimer m_lastReading;
    QElapsedTimer m_lastWholeReading;
    QElapsedTimer m_lastWatchAsked;
    QElapsedTimer m_connectedSince;
    QDateTime m_startedAt;    // when StartMonitor was called (or the earlier monitor's, resumed)
    QDateTime m_lastGood;     // the start of the last reading that worked
    QDateTime m_historySince; // the next reading also reads the history from then
    qint64 m_wholeCostMs = 0; // how long the last whole-list comparison took
    // The least time between two whole-list comparisons their cost asks for.
    qint64 wholeCostSpacingMs() const
    {
        return m_wholeCostMs < kWholeCostWorthSparingMs ? 0 : kWholeCostShare * m_wholeCostMs;
    }
    QElapsedTimer m_lastUntoldReading;
    int m_pollInterval = 1000;
    int m_watchInterval = 200; // between two questions to a server that keeps track of its changes
    int m_wholeInterval = 60 * 1000;
    int m_untoldInterval = 3000; // between two readings of what changes without a notice
    int m_watchRetryInterval = 5 * 60 * 1000;
    int m_retryFirst = 1000;
    int m_retryLimit = 5000;
    int m_steadyTime = 30 * 1000;
    int m_retryDelay = 0;
    State m_state = State::Idle;
};

} // namespace hlv
