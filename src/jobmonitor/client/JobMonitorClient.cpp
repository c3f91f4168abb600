#include "jobmonitor/client/JobMonitorClient.h"

#include <algorithm>
#include <utility>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QList>
#include <QPointer>
#include <QTimer>

namespace hlv {

namespace {

const QString kDisconnected = QStringLiteral("Disconnected");
// How long a released server has to end by itself before it is terminated (and as long
// again before it is killed).
constexpr int kEndGraceMs = 1500;

// The servers of released clients that have not ended yet.
QList<QPointer<QProcess>>& releasedServers()
{
    static QList<QPointer<QProcess>> servers;
    return servers;
}

// Waits for a server that was told to end; kills it at the deadline.
void awaitEnd(QProcess* process, QDeadlineTimer deadline)
{
    if (process->state() == QProcess::NotRunning) {
        return;
    }
    if (process->waitForFinished(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())))) {
        return;
    }
    process->kill();
    process->waitForFinished(1000);
}

} // namespace

JobMonitorClient::JobMonitorClient(const JobMonitorClientOptions& options)
    : m_options(options)
    , m_process(new QProcess)
{}

std::unique_ptr<JobMonitorClient> JobMonitorClient::create(const JobMonitorClientOptions& options, QString* error)
{
    std::unique_ptr<JobMonitorClient> client(new JobMonitorClient(options));
    if (!client->startServer(error)) {
        return nullptr;
    }
    return client;
}

bool JobMonitorClient::startServer(QString* error)
{
    const auto fail = [this, error](const QString& why) {
        if (error) {
            *error = why;
        }
        endServer();
        return false;
    };

    const QString dir = m_options.programDir.isEmpty() ? QCoreApplication::applicationDirPath() : m_options.programDir;
    m_process->setProgram(QDir(dir).filePath(m_options.programName));
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (m_options.environment) {
        m_process->setProcessEnvironment(*m_options.environment);
    }
    m_process->start(QIODevice::ReadWrite);
    const QDeadlineTimer deadline(m_options.startTimeoutMs);
    if (!m_process->waitForStarted(static_cast<int>(deadline.remainingTime()))) {
        return fail(QStringLiteral("cannot start ") + m_process->program() + QStringLiteral(": ") +
                    m_process->errorString());
    }
    m_serverPid = m_process->processId();

    // The first line must be the server's announcement of its class.
    QByteArray line;
    while (!m_buffer.takeLine(line)) {
        if (deadline.hasExpired() || !m_process->waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            return fail(m_process->program() + QStringLiteral(" did not announce itself"));
        }
        m_buffer.append(m_process->readAllStandardOutput());
    }
    const QStringList hello = wire::decodeMessage(line);
    if (hello.size() < 2 || hello.at(0) != QLatin1String(wire::kHello)) {
        return fail(m_process->program() + QStringLiteral(" is not a job monitor server"));
    }
    if (hello.at(1) != m_options.classId) {
        return fail(m_process->program() + QStringLiteral(" announced class ") + hello.at(1) +
                    QStringLiteral(", not ") + m_options.classId);
    }
    m_fileVersion = hello.value(2);

    connect(m_process, &QProcess::readyReadStandardOutput, this, &JobMonitorClient::readServer);
    connect(m_process, &QProcess::finished, this, [this] { Q_EMIT serverFinished(m_serverPid); });
    // Lines that came with the announcement are handed on once the caller can connect.
    if (m_buffer.hasPartialLine()) {
        QMetaObject::invokeMethod(this, &JobMonitorClient::readServer, Qt::QueuedConnection);
    }
    return true;
}

JobMonitorClient::~JobMonitorClient()
{
    // The destructor must not raise events into a half-destroyed receiver.
    m_process->disconnect(this);
    abandonServer();
}

void JobMonitorClient::abandonServer()
{
    QProcess* process = m_process;
    m_process = nullptr;
    if (process->state() == QProcess::NotRunning) {
        delete process;
        return;
    }
    // The end of its stdin is the server's signal to end. Nobody waits for that here: the
    // process object stays behind until its server has ended, and a server that has not
    // ended within a moment (one stuck on its print server) is terminated, then killed.
    process->closeWriteChannel();
    // Held by the application, so a program that ends before its server does still ends
    // that server and frees the object.
    process->setParent(QCoreApplication::instance());
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    QTimer::singleShot(kEndGraceMs, process, [process] { process->terminate(); });
    QTimer::singleShot(2 * kEndGraceMs, process, [process] { process->kill(); });
    QList<QPointer<QProcess>>& released = releasedServers();
    released.removeIf([](const QPointer<QProcess>& p) { return p.isNull(); });
    released.append(process);
}

void JobMonitorClient::EndServer(QDeadlineTimer deadline)
{
    if (m_process->state() != QProcess::Running) {
        return;
    }
    send({QLatin1String(wire::kStopMonitor)});
    m_process->closeWriteChannel();
    awaitEnd(m_process, deadline);
}

void JobMonitorClient::endReleasedServers(QDeadlineTimer deadline)
{
    const QList<QPointer<QProcess>> released = std::exchange(releasedServers(), {});
    for (const QPointer<QProcess>& process : released) {
        if (process) {
            awaitEnd(process, deadline);
        }
    }
}

void JobMonitorClient::endServer()
{
    if (m_process->state() == QProcess::NotRunning) {
        return;
    }
    // The end of its stdin is the server's signal to end; terminate only one that does not.
    m_process->closeWriteChannel();
    if (m_process->waitForFinished(1500)) {
        return;
    }
    m_process->terminate();
    if (m_process->waitForFinished(1500)) {
        return;
    }
    m_process->kill();
    m_process->waitForFinished(-1);
}

bool JobMonitorClient::isServerRunning() const
{
    return m_process->state() == QProcess::Running;
}

void JobMonitorClient::send(const QStringList& fields)
{
    if (m_process->state() != QProcess::Running) {
        return;
    }
    // Handed to the pipe now rather than at the next turn of the event loop; the server
    // reads its input on a thread of its own, so the pipe never stays full for long.
    m_process->write(wire::encodeMessage(fields));
    m_process->waitForBytesWritten(1000);
}

void JobMonitorClient::StartMonitor(const QString& strComputer)
{
    send({QLatin1String(wire::kStartMonitor), strComputer});
}

void JobMonitorClient::ResumeMonitor(const QString& strComputer, const QStringList& knownJobs,
                                     const QStringList& endedJobs, const QDateTime& historySince)
{
    if (historySince.isValid()) {
        send(QStringList{QLatin1String(wire::kResumeHistory), QString::number(historySince.toSecsSinceEpoch())} +
             endedJobs);
    }
    send(QStringList{QLatin1String(wire::kResumeMonitor), strComputer} + knownJobs);
}

void JobMonitorClient::StopMonitor()
{
    if (m_stopping || m_process->state() != QProcess::Running) {
        return;
    }
    m_disconnectSeen = false;
    send({QLatin1String(wire::kStopMonitor)});
    // Lines already buffered may hold the answer.
    readServer();
    if (m_disconnectSeen) {
        return;
    }
    // The answer is awaited with the program's events running, so a server that does not
    // answer holds up this call only, never the window.
    QEventLoop wait;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &wait, &QEventLoop::quit);
    connect(this, &JobMonitorClient::ConnectEvent, &wait, [this, &wait] {
        if (m_disconnectSeen) {
            wait.quit();
        }
    });
    connect(m_process, &QProcess::finished, &wait, &QEventLoop::quit);
    connect(this, &QObject::destroyed, &wait, &QEventLoop::quit);
    const QPointer<JobMonitorClient> self(this);
    m_stopping = true;
    deadline.start(m_options.stopTimeoutMs);
    wait.exec();
    if (self) {
        m_stopping = false;
    }
}

void JobMonitorClient::readServer()
{
    m_buffer.append(m_process->readAllStandardOutput());
    QByteArray line;
    while (m_buffer.takeLine(line)) {
        dispatch(wire::decodeMessage(line));
    }
}

void JobMonitorClient::dispatch(const QStringList& fields)
{
    if (fields.isEmpty()) {
        return;
    }
    const QString& name = fields.first();
    if (name == QLatin1String(wire::kConnectEvent) && fields.size() >= 2) {
        if (fields.at(1) == kDisconnected) {
            m_disconnectSeen = true;
        }
        Q_EMIT ConnectEvent(fields.at(1));
    } else if (name == QLatin1String(wire::kJobEvent) && fields.size() >= 3) {
        Q_EMIT JobEvent(fields.at(1), fields.at(2));
    } else if (name == QLatin1String(wire::kJobList)) {
        Q_EMIT JobListEvent(fields.mid(1));
    }
}

} // namespace hlv
