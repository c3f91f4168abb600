#include "MonitorServer.h"

#include <utility>

#include "WireProtocol.h"

namespace hlv {

MonitorServer::MonitorServer(PrintSystem& printSystem, MonitorIdentity identity, Writer write, QObject* parent)
    : QObject(parent)
    , m_printSystem(printSystem)
    , m_identity(std::move(identity))
    , m_write(std::move(write))
    , m_monitor(printSystem)
{
    connect(&m_monitor, &JobMonitor::ConnectEvent, this, [this](const QString& strConnect) {
        // A reading cut short for a stop is no lost server.
        if (m_stopping && strConnect == JobMonitor::textQueryError()) {
            return;
        }
        send({QLatin1String(wire::kConnectEvent), strConnect});
    });
    connect(&m_monitor, &JobMonitor::JobListEvent, this,
            [this](const QStringList& records) { send(QStringList{QLatin1String(wire::kJobList)} + records); });
    connect(&m_monitor, &JobMonitor::JobEvent, this, [this](const QString& strAction, const QString& strDetails) {
        send({QLatin1String(wire::kJobEvent), strAction, strDetails});
    });
}

void MonitorServer::sayHello()
{
    send({QLatin1String(wire::kHello), m_identity.classId, m_identity.fileVersion});
}

void MonitorServer::handleLine(const QByteArray& line)
{
    const QStringList fields = wire::decodeMessage(line);
    if (fields.isEmpty()) {
        return;
    }
    const QString& name = fields.first();
    if (name == QLatin1String(wire::kStartMonitor) && fields.size() >= 2) {
        m_monitor.StartMonitor(fields.at(1));
    } else if (name == QLatin1String(wire::kResumeHistory) && fields.size() >= 2) {
        bool ok = false;
        const qint64 since = fields.at(1).toLongLong(&ok);
        m_historySince = ok ? QDateTime::fromSecsSinceEpoch(since, Qt::UTC) : QDateTime();
        m_endedJobs = fields.mid(2);
    } else if (name == QLatin1String(wire::kResumeMonitor) && fields.size() >= 2) {
        m_monitor.ResumeMonitor(fields.at(1), fields.mid(2), std::exchange(m_endedJobs, {}),
                                std::exchange(m_historySince, {}));
    } else if (name == QLatin1String(wire::kStopMonitor)) {
        // The server is asked again: the stop cancels what the monitor holds there.
        m_printSystem.interruptCalls(false);
        m_stopping = false;
        m_monitor.StopMonitor();
    }
}

void MonitorServer::lineArrived(const QByteArray& line)
{
    if (wire::decodeMessage(line).value(0) == QLatin1String(wire::kStopMonitor)) {
        m_stopping = true;
        m_printSystem.interruptCalls(true);
    }
}

void MonitorServer::send(const QStringList& fields)
{
    m_write(wire::encodeMessage(fields));
}

} // namespace hlv
