#pragma once

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

    JobMonitor& monitor() { return m_monitor; }

private:
    void send(const QStringList& fields);

    MonitorIdentity m_identity;
    Writer m_write;
    JobMonitor m_monitor;
};

} // namespace hlv
