#include "platform/print/SimPrintSystem.h"

#include <QSysInfo>

#include "platform/print/LocalUser.h"
#include "platform/print/SimPrintStore.h"

namespace hlv {

namespace {

// Changes to a simulated server are writes to its file by other programs: the jobs are read
// again only when the file changed since the last look.
class SimJobWatch final : public JobWatch
{
public:
    explicit SimJobWatch(sim::SimPrintStore& store)
        : m_store(store)
        , m_version(store.dataVersion())
    {}

    PrintResult changes(JobChanges& out) override
    {
        out = JobChanges();
        const std::optional<qint64> version = m_store.dataVersion();
        if (!version) {
            return PrintResult::failure(QStringLiteral("The print server cannot be read."));
        }
        out.everything = version != m_version;
        m_version = version;
        return PrintResult::success();
    }

private:
    sim::SimPrintStore& m_store;
    std::optional<qint64> m_version;
};

class SimPrintServer final : public PrintServer
{
public:
    SimPrintServer(QString name, std::unique_ptr<sim::SimPrintStore> store)
        : m_name(std::move(name))
        , m_store(std::move(store))
    {}

    QString serverName() const override { return m_name; }
    PrintResult printers(QList<PrinterInfo>& out) override { return m_store->printers(out, m_name); }
    PrintResult jobs(QList<PrintJobInfo>& out) override { return m_store->jobs(out); }
    std::unique_ptr<JobWatch> watchJobs() override { return std::make_unique<SimJobWatch>(*m_store); }
    PrintResult printer(const QString& name, PrinterInfo& out, bool& found) override
    {
        return printerFromList(*this, name, out, found);
    }
    // An ended job leaves the store at once.
    bool keepsEndedJobs() const override { return false; }
    PrintResult endedJobs(const QDateTime&, QList<PrintJobInfo>& out) override { return noEndedJobs(out); }
    PrintResult job(qint64 jobId, PrintJobInfo& out, bool& found) override
    {
        return jobFromList(*this, jobId, out, found);
    }
    PrintResult queueJobs(const QString& queue, QList<PrintJobInfo>& out) override
    {
        if (queue.isEmpty()) {
            out.clear();
            return PrintResult::failure(QStringLiteral("No printer name was given."));
        }
        return m_store->jobs(out, queue);
    }
    PrintResult computerName(QString& out) override
    {
        out = m_store->computerName();
        return PrintResult::success();
    }
    PrintResult pauseQueue(const QString& queue) override { return m_store->pauseQueue(queue); }
    PrintResult resumeQueue(const QString& queue) override { return m_store->resumeQueue(queue); }
    // Nothing prints in the simulation: holding a queue is pausing it.
    PrintResult holdQueue(const QString& queue) override { return m_store->pauseQueue(queue); }
    PrintResult purgeQueue(const QString& queue) override { return m_store->purgeQueue(queue); }
    PrintResult pauseJob(const QString& queue, qint64 jobId) override { return m_store->pauseJob(queue, jobId); }
    PrintResult resumeJob(const QString& queue, qint64 jobId) override { return m_store->resumeJob(queue, jobId); }
    PrintResult removeJob(const QString& queue, qint64 jobId) override { return m_store->removeJob(queue, jobId); }
    PrintResult setJobPriority(const QString& queue, qint64 jobId, qint64 priority) override
    {
        return m_store->setJobPriority(queue, jobId, priority);
    }
    int printTestPage(const QString& printerName) override
    {
        return m_store->printTestPage(printerName, localUserName(), QSysInfo::machineHostName());
    }
    // The simulation has no web pages.
    QString printerWebPage(const QString&) const override { return {}; }

private:
    QString m_name;
    std::unique_ptr<sim::SimPrintStore> m_store;
};

} // namespace

SimPrintSystem::SimPrintSystem(QString folder)
    : m_folder(std::move(folder))
{}

std::unique_ptr<PrintServer> SimPrintSystem::connect(const QString& server, QString* error)
{
    auto store = sim::SimPrintStore::open(m_folder, server, error);
    if (!store) {
        return nullptr;
    }
    return std::make_unique<SimPrintServer>(server, std::move(store));
}

} // namespace hlv
