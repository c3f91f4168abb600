#pragma once

#include <memory>
#include <utility>

#include <QHash>
#include <QList>
#include <QStringList>

#include "platform/PrintSystem.h"

namespace hlv::test {

// A print system whose servers hold job lists set by the test. Connections share the
// server's state, so the test changes the jobs a running monitor reads.
class FakePrintSystem final : public PrintSystem
{
public:
    struct ServerState
    {
        QList<PrintJobInfo> jobs;
        QList<PrinterInfo> printers;
        QList<PrintJobInfo> history;   // ended jobs the server still keeps
        QList<QDateTime> historySince; // every reading of the history: from when
        bool jobsFail = false;
        bool connectFails = false; // the server cannot be reached (stopped)
        int readings = 0;          // whole-list readings
        int partReadings = 0;      // single jobs and queues read
        int printerReadings = 0;   // single printers read
        // A server that keeps track of its changes: what the watch reports next.
        bool offersWatch = false;
        bool watchRefused = false; // the watch is made, but reading it is refused (a password policy)
        JobChanges pending;
        int watchesMade = 0;
        int watchesCancelled = 0; // ended by telling the server
        int watchesAbandoned = 0; // ended without
    };

    std::shared_ptr<ServerState> addServer(const QString& name)
    {
        auto state = std::make_shared<ServerState>();
        m_servers.insert(name, state);
        return state;
    }

    QStringList connectedTo; // every name passed to connect, in order

    std::unique_ptr<PrintServer> connect(const QString& server, QString* error = nullptr) override
    {
        connectedTo.append(server);
        const auto state = m_servers.value(server);
        if (!state || state->connectFails) {
            if (error) {
                *error = QStringLiteral("no such server");
            }
            return nullptr;
        }
        return std::make_unique<Server>(server, state);
    }
    void setPasswordPrompt(PasswordPrompt) override {}

private:
    class Server final : public PrintServer
    {
    public:
        Server(QString name, std::shared_ptr<ServerState> state)
            : m_name(std::move(name))
            , m_state(std::move(state))
        {}
        QString serverName() const override { return m_name; }
        PrintResult printers(QList<PrinterInfo>& out) override
        {
            out = m_state->printers;
            return m_state->jobsFail ? PrintResult::failure(QStringLiteral("server went away"))
                                     : PrintResult::success();
        }
        PrintResult printer(const QString& name, PrinterInfo& out, bool& found) override
        {
            ++m_state->printerReadings;
            return printerFromList(*this, name, out, found);
        }
        PrintResult jobs(QList<PrintJobInfo>& out) override
        {
            ++m_state->readings;
            if (m_state->jobsFail) {
                return PrintResult::failure(QStringLiteral("server went away"));
            }
            out = m_state->jobs;
            return PrintResult::success();
        }
        PrintResult queueJobs(const QString& queue, QList<PrintJobInfo>& out) override
        {
            ++m_state->partReadings;
            out.clear();
            if (m_state->jobsFail) {
                return PrintResult::failure(QStringLiteral("server went away"));
            }
            for (const PrintJobInfo& j : std::as_const(m_state->jobs)) {
                if (j.queueName() == queue) {
                    out.append(j);
                }
            }
            return PrintResult::success();
        }
        PrintResult job(qint64 jobId, PrintJobInfo& out, bool& found) override
        {
            ++m_state->partReadings;
            found = false;
            if (m_state->jobsFail) {
                return PrintResult::failure(QStringLiteral("server went away"));
            }
            for (const QList<PrintJobInfo>* list : {&m_state->history, &m_state->jobs}) {
                for (const PrintJobInfo& j : *list) {
                    if (j.JobId == jobId) {
                        out = j;
                        found = true;
                    }
                }
            }
            return PrintResult::success();
        }
        bool keepsEndedJobs() const override { return !m_state->history.isEmpty(); }
        PrintResult endedJobs(const QDateTime& since, QList<PrintJobInfo>& out) override
        {
            m_state->historySince.append(since);
            out = m_state->history;
            return m_state->jobsFail ? PrintResult::failure(QStringLiteral("server went away"))
                                     : PrintResult::success();
        }
        std::unique_ptr<JobWatch> watchJobs() override
        {
            if (!m_state->offersWatch) {
                return nullptr;
            }
            ++m_state->watchesMade;
            m_state->pending = {};
            return std::make_unique<Watch>(m_state);
        }
        PrintResult computerName(QString& out) override
        {
            out = m_name.toUpper();
            return PrintResult::success();
        }
        PrintResult pauseQueue(const QString&) override { return PrintResult::success(); }
        PrintResult resumeQueue(const QString&) override { return PrintResult::success(); }
        PrintResult holdQueue(const QString&) override { return PrintResult::success(); }
        PrintResult purgeQueue(const QString&) override { return PrintResult::success(); }
        PrintResult pauseJob(const QString&, qint64) override { return PrintResult::success(); }
        PrintResult resumeJob(const QString&, qint64) override { return PrintResult::success(); }
        PrintResult removeJob(const QString&, qint64) override { return PrintResult::success(); }
        PrintResult setJobPriority(const QString&, qint64, qint64) override { return PrintResult::success(); }
        int printTestPage(const QString&) override { return TestPageResult::Success; }
        QString printerWebPage(const QString&) const override { return {}; }

    private:
        QString m_name;
        std::shared_ptr<ServerState> m_state;
    };

    class Watch final : public JobWatch
    {
    public:
        explicit Watch(std::shared_ptr<ServerState> state)
            : m_state(std::move(state))
        {}
        ~Watch() override
        {
            if (!m_abandoned) {
                ++m_state->watchesCancelled;
            }
        }
        PrintResult changes(JobChanges& out) override
        {
            if (m_state->jobsFail) {
                return PrintResult::failure(QStringLiteral("server went away"));
            }
            if (m_state->watchRefused) {
                return PrintResult::refusal(QStringLiteral("Unauthorized"));
            }
            out = std::exchange(m_state->pending, {});
            return PrintResult::success();
        }
        void abandon() override
        {
            m_abandoned = true;
            ++m_state->watchesAbandoned;
        }

    private:
        std::shared_ptr<ServerState> m_state;
        bool m_abandoned = false;
    };

    QHash<QString, std::shared_ptr<ServerState>> m_servers;
};

// A job of queue "Laser" as a test starts from.
inline PrintJobInfo sampleJob(qint64 id, const QString& document = QStringLiteral("report.pdf"))
{
    PrintJobInfo job;
    job.JobId = id;
    job.Name = QStringLiteral("Laser, ") + QString::number(id);
    job.Document = document;
    job.HostPrintQueue = QStringLiteral("\\\\ws01");
    job.Owner = QStringLiteral("alice");
    job.TotalPages = 3;
    job.PagesPrinted = 0;
    job.Priority = 1;
    job.Size = 5000;
    job.TimeSubmitted = QDateTime(QDate(2026, 12, 9), QTime(4, 22, 44));
    job.StatusMask = 8;
    return job;
}

} // namespace hlv::test
