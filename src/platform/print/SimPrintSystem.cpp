#include "platform/print/SimPrintSystem.h"

#include <QSysInfo>

#include "platform/print/LocalUser.h"
#include "platform/print/SimPrintStore.h"

namespace hlv {

namespace {

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
