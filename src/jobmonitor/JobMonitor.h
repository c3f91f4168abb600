#pragma once

#include <memory>

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
// From then on tmrEvent reads the jobs once a second and compares them with the reading
// before (JobSnapshot).
//
//   state       entered by                                left by
//   Idle        construction                              StartMonitor
//   Connecting  StartMonitor connected (tmrConnect armed) connect tick; StopMonitor
//   Waiting     "Connected"; the end of each reading      StopMonitor; a failed reading
//   Stopped     StopMonitor; "WMI Connection Error";      StartMonitor again
//               "WMI Query Error"; a failed reading
//
// A reading that fails once monitoring stands (the server went away) ends the monitoring
// quietly: no event, no further readings; the object stays usable for StopMonitor and
// StartMonitor. StopMonitor keeps the server connection until the object goes or the next
// StartMonitor replaces it.
class JobMonitor : public QObject
{
    Q_OBJECT
public:
    enum class State { Idle, Connecting, Waiting, Stopped };

    explicit JobMonitor(PrintSystem& printSystem, QObject* parent = nullptr);
    ~JobMonitor() override;

    void StartMonitor(const QString& strComputer);
    void StopMonitor();
    // One reading of the server's jobs and the events for what changed since the last one.
    void MonitorEvent();

    State state() const { return m_state; }
    // Time from the start of one reading to the start of the next.
    void setPollInterval(int milliseconds) { m_pollInterval = milliseconds; }
    int pollInterval() const { return m_pollInterval; }
    Monitor& monitorForm() { return *frmMonitor; }

    static QString textNew() { return QStringLiteral("New"); }
    static QString textModified() { return QStringLiteral("Modified"); }
    static QString textDeleted() { return QStringLiteral("Deleted"); }
    static QString textConnected() { return QStringLiteral("Connected"); }
    static QString textDisconnected() { return QStringLiteral("Disconnected"); }
    static QString textConnectionError() { return QStringLiteral("WMI Connection Error"); }
    static QString textQueryError() { return QStringLiteral("WMI Query Error"); }

Q_SIGNALS:
    void JobEvent(const QString& strAction, const QString& strDetails);
    void ConnectEvent(const QString& strConnect);

private:
    void mwtmrConnect_Timer();
    void mwtmrEvent_Timer();
    void armNextReading();

    PrintSystem& m_printSystem;
    std::unique_ptr<Monitor> frmMonitor;
    std::unique_ptr<PrintServer> objServices;
    JobSnapshot colEvents;
    QElapsedTimer m_lastReading;
    int m_pollInterval = 1000;
    State m_state = State::Idle;
};

} // namespace hlv
