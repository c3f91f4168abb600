#include "MonitorServer.h"

#include "WireProtocol.h"

namespace hlv {

MonitorServer::MonitorServer(PrintSystem& printSystem, MonitorIdentity identity, Writer write, QObject* parent)
    : QObject(parent)
    , m_identity(std::move(identity))
    , m_write(std::move(write))
    , m_monitor(printSystem)
{
    connect(&m_monitor, &JobMonitor::ConnectEvent, this, [this](const QString& strConnect) {
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
    } else if (name == QLatin1String(wire::kResumeMonitor) && fields.size() >= 2) {
        m_monitor.ResumeMonitor(fields.at(1), fields.mid(2));
    } else if (name == QLatin1String(wire::kStopMonitor)) {
        m_monitor.StopMonitor();
    }
}

void MonitorServer::send(const QStringList& fields)
{
    m_write(wire::encodeMessage(fields));
}

} // namespace hlv
