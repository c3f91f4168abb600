#pragma once

#include <memory>

#include "platform/PrintSystem.h"

namespace hlv::test {

// A test's print server over another: every call is passed on as it is, and a double
// overrides the calls it records or changes. Each call is forwarded here by name, so none
// falls back on a behaviour of its own.
class ForwardingPrintServer : public PrintServer
{
public:
    explicit ForwardingPrintServer(std::unique_ptr<PrintServer> inner)
        : m_inner(std::move(inner))
    {}
    QString serverName() const override { return m_inner->serverName(); }
    PrintResult printers(QList<PrinterInfo>& out) override { return m_inner->printers(out); }
    PrintResult jobs(QList<PrintJobInfo>& out) override { return m_inner->jobs(out); }
    PrintResult queueJobs(const QString& q, QList<PrintJobInfo>& out) override { return m_inner->queueJobs(q, out); }
    PrintResult computerName(QString& out) override { return m_inner->computerName(out); }
    std::unique_ptr<JobWatch> watchJobs() override { return m_inner->watchJobs(); }
    PrintResult printer(const QString& name, PrinterInfo& out, bool& found) override
    {
        return m_inner->printer(name, out, found);
    }
    bool keepsEndedJobs() const override { return m_inner->keepsEndedJobs(); }
    PrintResult endedJobs(const QDateTime& since, QList<PrintJobInfo>& out) override
    {
        return m_inner->endedJobs(since, out);
    }
    PrintResult job(qint64 jobId, PrintJobInfo& out, bool& found) override { return m_inner->job(jobId, out, found); }
    PrintResult pauseQueue(const QString& q) override { return m_inner->pauseQueue(q); }
    PrintResult resumeQueue(const QString& q) override { return m_inner->resumeQueue(q); }
    PrintResult holdQueue(const QString& q) override { return m_inner->holdQueue(q); }
    PrintResult purgeQueue(const QString& q) override { return m_inner->purgeQueue(q); }
    PrintResult pauseJob(const QString& q, qint64 id) override { return m_inner->pauseJob(q, id); }
    PrintResult resumeJob(const QString& q, qint64 id) override { return m_inner->resumeJob(q, id); }
    PrintResult removeJob(const QString& q, qint64 id) override { return m_inner->removeJob(q, id); }
    PrintResult setJobPriority(const QString& q, qint64 id, qint64 p) override
    {
        return m_inner->setJobPriority(q, id, p);
    }
    int printTestPage(const QString& printer) override { return m_inner->printTestPage(printer); }
    QString printerWebPage(const QString& printer) const override { return m_inner->printerWebPage(printer); }

protected:
    PrintServer& inner() const { return *m_inner; }

private:
    std::unique_ptr<PrintServer> m_inner;
};

} // namespace hlv::test
