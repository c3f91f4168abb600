#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include <QHash>
#include <QStringList>

#include "platform/PrintSystem.h"

namespace hlv::test {

// A print system in front of another whose servers can be held: a call to a held server
// (its connect included) waits on the calling thread until the test releases the server,
// and then fails when the server was released as gone. A hold gives up after holdLimit, so
// code that waits on its own thread fails the test instead of hanging it. Every call is
// counted by server, and a connect to a server marked as wanting a password calls the
// prompt set (a refusal fails the connect).
class GatedPrintSystem final : public PrintSystem
{
public:
    explicit GatedPrintSystem(std::unique_ptr<PrintSystem> inner)
        : m_inner(std::move(inner))
    {}

    std::chrono::milliseconds holdLimit{8000};

    void hold(const QString& server) { holdAfter(server, 0); }
    // Holds the server from its (passes + 1)th call on: the calls before it go through.
    void holdAfter(const QString& server, int passes)
    {
        const std::lock_guard lock(m_mutex);
        m_gates[server] = Gate::Held;
        m_passes[server] = passes;
    }
    // Lets the waiting calls and every later call through; gone: they fail as a server
    // that does not answer.
    void release(const QString& server, bool gone = false)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_gates[server] = gone ? Gate::Gone : Gate::Open;
        }
        m_changed.notify_all();
    }
    // Calls waiting at a hold right now.
    int waiting() const { return m_waiting.load(); }
    // Job listings the server was asked for so far.
    int jobListings(const QString& server) const
    {
        const std::lock_guard lock(m_mutex);
        return m_jobListings.value(server);
    }
    // Calls made for the server so far (connects included).
    int calls(const QString& server) const
    {
        const std::lock_guard lock(m_mutex);
        return m_calls.value(server);
    }
    void wantsPassword(const QString& server)
    {
        const std::lock_guard lock(m_mutex);
        m_passwordServers.append(server);
    }

    std::unique_ptr<PrintServer> connect(const QString& server, QString* error = nullptr) override
    {
        if (!pass(server, true)) {
            if (error) {
                *error = QStringLiteral("The print server \"%1\" cannot be reached: Timed out").arg(server);
            }
            return nullptr;
        }
        auto inner = m_inner->connect(server, error);
        return inner ? std::make_unique<Server>(*this, std::move(inner)) : nullptr;
    }
    void setPasswordPrompt(PasswordPrompt prompt) override
    {
        const std::lock_guard lock(m_mutex);
        m_prompt = std::move(prompt);
    }

private:
    enum class Gate { Open, Held, Gone };

    // Counts the call, waits while the server is held; false when the call is to fail.
    bool pass(const QString& server, bool connecting = false)
    {
        std::unique_lock lock(m_mutex);
        ++m_calls[server];
        const bool passing = m_gates.value(server, Gate::Open) == Gate::Held && m_passes.value(server) > 0;
        if (passing) {
            --m_passes[server];
        } else {
            ++m_waiting;
            m_changed.wait_for(lock, holdLimit, [&] { return m_gates.value(server, Gate::Open) != Gate::Held; });
            --m_waiting;
        }
        const Gate gate = passing ? Gate::Open : m_gates.value(server, Gate::Open);
        const bool prompt = connecting && m_passwordServers.contains(server) && m_prompt;
        PasswordPrompt ask = prompt ? m_prompt : PasswordPrompt();
        lock.unlock();
        if (ask && !ask(server, QStringLiteral("operator"))) {
            return false;
        }
        return gate == Gate::Open;
    }

    class Server final : public PrintServer
    {
    public:
        Server(GatedPrintSystem& system, std::unique_ptr<PrintServer> inner)
            : m_system(system)
            , m_inner(std::move(inner))
            , m_name(m_inner->serverName())
        {}
        QString serverName() const override { return m_name; }
        PrintResult printers(QList<PrinterInfo>& out) override
        {
            return gated([&] { return m_inner->printers(out); });
        }
        PrintResult jobs(QList<PrintJobInfo>& out) override
        {
            {
                const std::lock_guard lock(m_system.m_mutex);
                ++m_system.m_jobListings[m_name];
            }
            return gated([&] { return m_inner->jobs(out); });
        }
        PrintResult queueJobs(const QString& q, QList<PrintJobInfo>& out) override
        {
            return gated([&] { return m_inner->queueJobs(q, out); });
        }
        PrintResult computerName(QString& out) override
        {
            return gated([&] { return m_inner->computerName(out); });
        }
        std::unique_ptr<JobWatch> watchJobs() override
        {
            if (!m_system.pass(m_name)) {
                return nullptr;
            }
            auto inner = m_inner->watchJobs();
            return inner ? std::make_unique<Watch>(*this, std::move(inner)) : nullptr;
        }
        PrintResult printer(const QString& name, PrinterInfo& out, bool& found) override
        {
            found = false;
            return gated([&] { return m_inner->printer(name, out, found); });
        }
        // What the server is, not a call to it: never held.
        bool keepsEndedJobs() const override { return m_inner->keepsEndedJobs(); }
        PrintResult endedJobs(const QDateTime& since, QList<PrintJobInfo>& out) override
        {
            return gated([&] { return m_inner->endedJobs(since, out); });
        }
        PrintResult job(qint64 jobId, PrintJobInfo& out, bool& found) override
        {
            found = false;
            return gated([&] { return m_inner->job(jobId, out, found); });
        }
        PrintResult pauseQueue(const QString& q) override
        {
            return gated([&] { return m_inner->pauseQueue(q); });
        }
        PrintResult resumeQueue(const QString& q) override
        {
            return gated([&] { return m_inner->resumeQueue(q); });
        }
        PrintResult holdQueue(const QString& q) override
        {
            return gated([&] { return m_inner->holdQueue(q); });
        }
        PrintResult purgeQueue(const QString& q) override
        {
            return gated([&] { return m_inner->purgeQueue(q); });
        }
        PrintResult pauseJob(const QString& q, qint64 id) override
        {
            return gated([&] { return m_inner->pauseJob(q, id); });
        }
        PrintResult resumeJob(const QString& q, qint64 id) override
        {
            return gated([&] { return m_inner->resumeJob(q, id); });
        }
        PrintResult removeJob(const QString& q, qint64 id) override
        {
            return gated([&] { return m_inner->removeJob(q, id); });
        }
        PrintResult setJobPriority(const QString& q, qint64 id, qint64 priority) override
        {
            return gated([&] { return m_inner->setJobPriority(q, id, priority); });
        }
        int printTestPage(const QString& printerName) override
        {
            return m_system.pass(m_name) ? m_inner->printTestPage(printerName) : TestPageResult::Failed;
        }
        QString printerWebPage(const QString& printerName) const override
        {
            return m_inner->printerWebPage(printerName);
        }

    private:
        // A watch whose look at the changes is held with its server's other calls.
        class Watch final : public JobWatch
        {
        public:
            Watch(Server& server, std::unique_ptr<JobWatch> inner)
                : m_server(server)
                , m_inner(std::move(inner))
            {}
            PrintResult changes(JobChanges& out) override
            {
                return m_server.gated([&] { return m_inner->changes(out); });
            }
            void abandon() override { m_inner->abandon(); }

        private:
            Server& m_server;
            std::unique_ptr<JobWatch> m_inner;
        };

        template <class F> PrintResult gated(F f)
        {
            if (!m_system.pass(m_name)) {
                return PrintResult::failure(QStringLiteral("The print server \"%1\" did not answer.").arg(m_name));
            }
            return f();
        }
        GatedPrintSystem& m_system;
        std::unique_ptr<PrintServer> m_inner;
        QString m_name;
    };

    std::unique_ptr<PrintSystem> m_inner;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    QHash<QString, Gate> m_gates;
    QHash<QString, int> m_calls;
    QHash<QString, int> m_passes;
    QHash<QString, int> m_jobListings;
    QStringList m_passwordServers;
    PasswordPrompt m_prompt;
    std::atomic<int> m_waiting{0};
};

} // namespace hlv::test
