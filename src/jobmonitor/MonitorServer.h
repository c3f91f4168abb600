#pragma once

#include <atomic>
#include <functional>

#include <QByteArray>
#include <QObject>
#include <QString>

#include "JobMonitor.h"

namespace hlv {

// What a server build announces in its first line.
struct MonitorIdentity
{
    QString classId;     // in braces, e.g. "{C02EE862-9F1E-41CE-BD34-A8FB11E03F84}"
    QString fileVersion; // e.g. "1.00.0005"
};

// The server end of the link: turns the client's lines into calls of its one JobMonitor
// and the monitor's events into lines for the client.
class MonitorServer : public QObject
{
    Q_OBJECT
public:
    // write receives each encoded line; it must pass it on at once (no buffering).
    using Writer = std::function<void(const QByteArray&)>;

    MonitorServer(PrintSystem& printSystem, MonitorIdentity identity, Writer write, QObject* parent = nullptr);

    // The first line of the conversation.
    void sayHello();
    // One line from the client, without its LF. Unknown messages are ignored.
    void handleLine(const QByteArray& line);
    // From the thread that reads the client's lines, as soon as a line arrives: a stop is
    // answered within moments however long the print server takes, as every call to it
    // ends at once until the stop has been handled.
    void lineArrived(const QByteArray& line);

    JobMonitor& monitor() { return m_monitor; }

private:
    void send(const QStringList& fields);

    PrintSystem& m_printSystem;
    std::atomic<bool> m_stopping{false};
    MonitorIdentity m_identity;
    Writer m_write;
    JobMonitor m_monitor;
    // Of the last ResumeHistory, for the ResumeMonitor that follows it.
    QDateTime m_historySince;
    QStringList m_endedJobs;
};

} // namespace hlv
