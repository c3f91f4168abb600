// The job monitor on private CUPS servers: the real HlvJobMonitor program following a held
// job through its life and through a lost server; the subscription it reads, with its
// lease; and the whole-list comparison on a server that refuses subscriptions.

#include <algorithm>
#include <atomic>
#include <csignal>
#include <iterator>
#include <optional>
#include <thread>
#include <vector>

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "jobmonitor/JobDetailRecord.h"
#include "jobmonitor/JobMonitor.h"
#include "jobmonitor/MonitorBuilds.h"
#include "jobmonitor/client/JobMonitorClient.h"
#include "jobmonitor/client/MonitorBinding.h"
#include "platform/PrintSystem.h"
#include "platform/ProcessControl.h"
#include "platform/print/CupsExchange.h"
#include "platform/print/CupsPrintSystem.h"
#include "platform/print/CupsSubscription.h"
#include "platform/print/LocalUser.h"
#include "support/ForwardingPrintServer.h"
#include "support/LoopbackIppServer.h"
#include "support/WaitFor.h"

namespace hlv {
namespace {

using test::waitFor;

// "host:port" of the private server the test fixture started.
QString cupsServer()
{
    const QString named = qEnvironmentVariable("HLV_CUPS_SERVER");
    if (!named.isEmpty()) {
        return named;
    }
    const QString state = qEnvironmentVariable("HLV_CUPS_STATE", QStringLiteral(HLV_BINARY_DIR "/private-cupsd"));
    QFile file(QDir(state).filePath(QStringLiteral("server")));
    if (file.open(QIODevice::ReadOnly)) {
        return QString::fromUtf8(file.readAll()).trimmed();
    }
    return QString();
}

QString runTool(const QString& program, const QStringList& args)
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    tool.start(program, args);
    // A cupsd started on a loaded machine may take a while to answer its first lpstat.
    const bool done = tool.waitForFinished(120000);
    EXPECT_TRUE(done && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0)
        << program.toStdString() << ' ' << args.join(QLatin1Char(' ')).toStdString();
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

struct Seen
{
    QString action;
    QStringList fields;
};

QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

// A CUPS server of the test's own, with one queue, that the test may stop, start again on
// the same port, and freeze.
class OwnCupsd
{
public:
    explicit OwnCupsd(QString queueName, const QStringList& options = {})
        : queue(std::move(queueName))
    {
        runTool(script(), QStringList{QStringLiteral("start"), m_state.path()} + options + QStringList{queue});
        server = readText(m_state.filePath(QStringLiteral("server")));
        root = readText(m_state.filePath(QStringLiteral("root")));
    }
    ~OwnCupsd()
    {
        if (const pid_t p = pid(); p > 0) {
            ::kill(p, SIGCONT);
        }
        runTool(script(), {QStringLiteral("stop"), m_state.path()});
    }
    void down() { runTool(script(), {QStringLiteral("down"), m_state.path()}); }
    void up() { runTool(script(), {QStringLiteral("up"), m_state.path()}); }
    pid_t pid() const { return static_cast<pid_t>(readText(m_state.filePath(QStringLiteral("pid"))).toLongLong()); }
    // "request id is QUEUE-17 (1 file(s))" -> "17"
    QString submitHeld(const QString& title) const
    {
        const QString reply =
            runTool(QStringLiteral("lp"),
                    {QStringLiteral("-h"), server, QStringLiteral("-d"), queue, QStringLiteral("-H"),
                     QStringLiteral("hold"), QStringLiteral("-t"), title, QStringLiteral("/etc/hostname")});
        return reply.section(QLatin1Char(' '), 3, 3).section(QLatin1Char('-'), -1);
    }
    QString submit(const QString& toQueue, const QString& title) const
    {
        const QString reply =
            runTool(QStringLiteral("lp"), {QStringLiteral("-h"), server, QStringLiteral("-d"), toQueue,
                                           QStringLiteral("-t"), title, QStringLiteral("/etc/hostname")});
        return reply.section(QLatin1Char(' '), 3, 3).section(QLatin1Char('-'), -1);
    }
    void addQueue(const QString& name) const
    {
        runTool(QStringLiteral("lpadmin"),
                {QStringLiteral("-h"), server, QStringLiteral("-p"), name, QStringLiteral("-E"), QStringLiteral("-v"),
                 QStringLiteral("file:///dev/null")});
    }
    // Stops a queue as a failing backend does: stopped, with the backend's complaint.
    void stopAsBackend(const QString& name) const
    {
        runTool(QStringLiteral("cupsdisable"), {QStringLiteral("-h"), server, QStringLiteral("-r"),
                                                QStringLiteral("Printer stopped due to backend errors"), name});
    }

    QString queue;
    QString server;
    QString root;

private:
    static QString script() { return QStringLiteral(HLV_SOURCE_DIR "/scripts/private-cupsd"); }
    QTemporaryDir m_state;
};

// Every job and connection event of a monitor program, read by position.
struct MonitorEvents
{
    QStringList connects;
    QList<Seen> jobs;

    // A monitor program's client, or a monitor in this process: both send the same events.
    template <typename Source> void attach(Source& source)
    {
        QObject::connect(&source, &Source::ConnectEvent, [this](const QString& t) { connects << t; });
        QObject::connect(&source, &Source::JobEvent, [this](const QString& action, const QString& record) {
            jobs.append({action, readJobDetailRecord(record)});
        });
    }
    QList<Seen> of(const QString& id) const
    {
        QList<Seen> out;
        std::copy_if(jobs.cbegin(), jobs.cend(), std::back_inserter(out),
                     [&](const Seen& s) { return s.fields.at(10) == id; });
        return out;
    }
};

// A print system that counts what its connections read, over the real one.
class CountingPrintSystem final : public PrintSystem
{
public:
    int wholeLists = 0; // all jobs, or all jobs of a queue
    int singleJobs = 0;
    int printers = 0;
    QList<qint64> jobsRead; // ids of the single jobs read

    std::unique_ptr<PrintServer> connect(const QString& server, QString* error = nullptr) override
    {
        std::unique_ptr<PrintServer> real = m_real.connect(server, error);
        return real ? std::make_unique<Server>(std::move(real), *this) : nullptr;
    }
    void setPasswordPrompt(PasswordPrompt prompt) override { m_real.setPasswordPrompt(std::move(prompt)); }

private:
    class Server final : public test::ForwardingPrintServer
    {
    public:
        Server(std::unique_ptr<PrintServer> real, CountingPrintSystem& counts)
            : test::ForwardingPrintServer(std::move(real))
            , m_counts(counts)
        {}
        PrintResult printers(QList<PrinterInfo>& out) override
        {
            ++m_counts.printers;
            return inner().printers(out);
        }
        PrintResult printer(const QString& name, PrinterInfo& out, bool& found) override
        {
            ++m_counts.printers;
            return inner().printer(name, out, found);
        }
        PrintResult jobs(QList<PrintJobInfo>& out) override
        {
            ++m_counts.wholeLists;
            return inner().jobs(out);
        }
        PrintResult queueJobs(const QString& queue, QList<PrintJobInfo>& out) override
        {
            ++m_counts.wholeLists;
            return inner().queueJobs(queue, out);
        }
        PrintResult job(qint64 jobId, PrintJobInfo& out, bool& found) override
        {
            ++m_counts.singleJobs;
            m_counts.jobsRead.append(jobId);
            return inner().job(jobId, out, found);
        }

    private:
        CountingPrintSystem& m_counts;
    };

    CupsPrintSystem m_real;
};

// Ends the monitor program as a program's end does (and waits for it), so that no test
// leaves it running for the next one, however the test left off.
struct EndMonitorProgram
{
    void operator()(JobMonitorClient* client) const
    {
        // The test's receivers, made after the client, are gone by now.
        client->disconnect();
        client->EndServer(QDeadlineTimer(10000));
        delete client;
    }
};

using MonitorProgram = std::unique_ptr<JobMonitorClient, EndMonitorProgram>;

MonitorProgram startMonitorProgram(QString* error)
{
    JobMonitorClientOptions options;
    options.programName = QString::fromLatin1(kJobMonitorBuild.programName);
    options.classId = QString::fromLatin1(kJobMonitorBuild.classId);
    options.programDir = QStringLiteral(HLV_BIN_DIR);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HLV_PRINT_SYSTEM"), QStringLiteral("cups"));
    options.environment = env;
    return MonitorProgram(JobMonitorClient::create(options, error).release());
}

// Starts a monitor program on the server and waits for its first connection event.
void startWatching(const QString& server, MonitorProgram& client, MonitorEvents& events)
{
    QString error;
    client = startMonitorProgram(&error);
    ASSERT_TRUE(client) << error.toStdString();
    events.attach(*client);
    client->StartMonitor(server);
    ASSERT_TRUE(waitFor([&] { return !events.connects.isEmpty(); }, 30000));
}

TEST(MonitorOnCups, HeldJobPriorityChangedCancelled_NewModifiedDeleted)
{
    const QString server = cupsServer();
    ASSERT_FALSE(server.isEmpty()) << "no private CUPS server (ctest starts one for the tests labelled cups)";
    // A queue of this test's own, so that tests running beside it see none of its jobs.
    const QString queue = QStringLiteral("hlvmon%1").arg(QCoreApplication::applicationPid());
    runTool(QStringLiteral("lpadmin"), {QStringLiteral("-h"), server, QStringLiteral("-p"), queue, QStringLiteral("-E"),
                                        QStringLiteral("-v"), QStringLiteral("file:///dev/null")});
    const auto removeQueue = qScopeGuard([&] {
        runTool(QStringLiteral("lpadmin"), {QStringLiteral("-h"), server, QStringLiteral("-x"), queue});
    });

    QString error;
    const auto client = startMonitorProgram(&error);
    ASSERT_TRUE(client) << error.toStdString();

    QStringList connects;
    QList<Seen> jobs;
    QObject::connect(client.get(), &JobMonitorClient::ConnectEvent, [&](const QString& t) { connects << t; });
    QObject::connect(client.get(), &JobMonitorClient::JobEvent, [&](const QString& action, const QString& record) {
        jobs.append({action, record.split(QLatin1Char('|'))});
    });
    client->StartMonitor(server);
    ASSERT_TRUE(waitFor([&] { return !connects.isEmpty(); }, 30000));
    ASSERT_EQ(connects, QStringList{QStringLiteral("Connected")});

    // "request id is QUEUE-17 (1 file(s))"
    const QString reply =
        runTool(QStringLiteral("lp"), {QStringLiteral("-h"), server, QStringLiteral("-d"), queue, QStringLiteral("-H"),
                                       QStringLiteral("hold"), QStringLiteral("-t"), QStringLiteral("monitor e2e"),
                                       QStringLiteral("/etc/hostname")});
    const QString request = reply.section(QLatin1Char(' '), 3, 3);
    const QString id = request.section(QLatin1Char('-'), -1);
    ASSERT_FALSE(id.isEmpty()) << reply.toStdString();
    // Other tests share the server, so only this job's events count.
    const auto ours = [&](const Seen& s) {
        return s.fields.size() == 12 && s.fields.at(4) == queue && s.fields.at(10) == id;
    };
    const auto mine = [&] {
        QList<Seen> out;
        std::copy_if(jobs.cbegin(), jobs.cend(), std::back_inserter(out), ours);
        return out;
    };
    const auto seen = [&](const QString& action, const std::function<bool(const QStringList&)>& also) {
        return std::any_of(jobs.cbegin(), jobs.cend(),
                           [&](const Seen& s) { return s.action == action && ours(s) && also(s.fields); });
    };

    ASSERT_TRUE(waitFor([&] { return seen(QStringLiteral("New"), [](const QStringList&) { return true; }); }, 30000));
    const Seen created = *std::find_if(jobs.cbegin(), jobs.cend(), ours);
    EXPECT_EQ(created.action, QStringLiteral("New"));
    EXPECT_EQ(created.fields.at(1), QStringLiteral("monitor e2e"));
    EXPECT_EQ(created.fields.at(4), queue);
    EXPECT_EQ(created.fields.at(11), queue + QStringLiteral(", ") + id);
    EXPECT_TRUE(created.fields.at(0).toUInt() & JobStatus::Paused) << created.fields.at(0).toStdString();
    EXPECT_TRUE(created.fields.at(8).endsWith(QStringLiteral("KB")));
    EXPECT_FALSE(created.fields.at(9).isEmpty());

    runTool(QStringLiteral("lp"),
            {QStringLiteral("-h"), server, QStringLiteral("-i"), request, QStringLiteral("-q"), QStringLiteral("77")});
    ASSERT_TRUE(waitFor(
        [&] {
            return seen(QStringLiteral("Modified"),
                        [](const QStringList& f) { return f.at(7) == QStringLiteral("77"); });
        },
        30000));

    runTool(QStringLiteral("cancel"), {QStringLiteral("-h"), server, request});
    ASSERT_TRUE(
        waitFor([&] { return seen(QStringLiteral("Deleted"), [](const QStringList&) { return true; }); }, 30000));
    const QList<Seen> events = mine();
    EXPECT_EQ(events.first().action, QStringLiteral("New"));
    for (qsizetype i = 1; i + 1 < events.size(); ++i) {
        EXPECT_EQ(events.at(i).action, QStringLiteral("Modified"));
    }
    const Seen& gone = events.last();
    EXPECT_EQ(gone.action, QStringLiteral("Deleted"));
    // The job as last seen: with its new priority, and the submission time it always had.
    EXPECT_EQ(gone.fields.at(7), QStringLiteral("77"));
    EXPECT_EQ(gone.fields.at(9), created.fields.at(9));

    client->StopMonitor();
    EXPECT_EQ(connects.last(), QStringLiteral("Disconnected"));
}

// The server lost while the monitor watches: stopped and started again on the same port, or
// frozen for longer than the monitor waits for an answer. The monitor says so, keeps trying,
// says "Connected" when the server is back and reports what happens from then on.
TEST(MonitorOnCups, ServerLostAndBack_QueryErrorThenConnectedThenNewJob)
{
    struct Case
    {
        const char* name;
        std::function<void(OwnCupsd&)> lose;
        std::function<void(OwnCupsd&)> restore;
        int reportWithinMs;
    };
    const QList<Case> cases = {
        {"restarted", [](OwnCupsd& c) { c.down(); }, [](OwnCupsd& c) { c.up(); }, 10000},
        // An answer is waited for 10 s before the server counts as lost.
        {"frozen", [](OwnCupsd& c) { ::kill(c.pid(), SIGSTOP); }, [](OwnCupsd& c) { ::kill(c.pid(), SIGCONT); }, 30000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OwnCupsd cupsd(QStringLiteral("lost"));
        ASSERT_FALSE(cupsd.server.isEmpty());
        QString error;
        const auto client = startMonitorProgram(&error);
        ASSERT_TRUE(client) << error.toStdString();
        QStringList connects;
        QList<Seen> jobs;
        QObject::connect(client.get(), &JobMonitorClient::ConnectEvent, [&](const QString& t) { connects << t; });
        QObject::connect(client.get(), &JobMonitorClient::JobEvent, [&](const QString& action, const QString& record) {
            jobs.append({action, record.split(QLatin1Char('|'))});
        });
        client->StartMonitor(cupsd.server);
        ASSERT_TRUE(waitFor([&] { return !connects.isEmpty(); }, 30000));
        ASSERT_EQ(connects, QStringList{QStringLiteral("Connected")});

        c.lose(cupsd);
        const bool reported = waitFor([&] { return connects.size() >= 2; }, c.reportWithinMs);
        c.restore(cupsd);
        ASSERT_TRUE(reported);
        EXPECT_EQ(connects.at(1), QStringLiteral("WMI Query Error"));
        ASSERT_TRUE(waitFor([&] { return connects.size() >= 3; }, 30000));
        EXPECT_EQ(connects.at(2), QStringLiteral("Connected"));

        const QString id = cupsd.submitHeld(QStringLiteral("after the loss"));
        ASSERT_FALSE(id.isEmpty());
        ASSERT_TRUE(waitFor(
            [&] {
                return std::any_of(jobs.cbegin(), jobs.cend(), [&](const Seen& s) {
                    return s.action == QStringLiteral("New") && s.fields.size() == 12 && s.fields.at(10) == id;
                });
            },
            30000));
        EXPECT_EQ(connects.size(), 3) << connects.join(QLatin1Char(',')).toStdString();
        client->StopMonitor();
    }
}

// The subscriptions a server holds now (of every user); -1 when it does not answer.
int subscriptionCount(const QString& server)
{
    http_t* http = httpConnect2(server.section(QLatin1Char(':'), 0, 0).toUtf8().constData(),
                                server.section(QLatin1Char(':'), 1).toInt(), nullptr, AF_UNSPEC,
                                HTTP_ENCRYPTION_IF_REQUESTED, 1, 5000, nullptr);
    if (!http) {
        return -1;
    }
    const std::string uri = "ipp://" + server.toStdString() + "/";
    ipp_t* request = ippNewRequest(IPP_OP_GET_SUBSCRIPTIONS);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 localUserName().toUtf8().constData());
    ippAddBoolean(request, IPP_TAG_OPERATION, "my-subscriptions", 0);
    ipp_t* answer = cupsDoRequest(http, request, "/");
    int count = -1;
    if (answer && cupsLastError() <= IPP_STATUS_OK_EVENTS_COMPLETE) {
        count = 0;
        for (ipp_attribute_t* a = ippFirstAttribute(answer); a; a = ippNextAttribute(answer)) {
            if (ippGetName(a) && qstrcmp(ippGetName(a), "notify-subscription-id") == 0) {
                ++count;
            }
        }
    } else if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND) {
        count = 0;
    }
    ippDelete(answer);
    httpClose(http);
    return count;
}

bool processAlive(qint64 pid)
{
    return ::kill(static_cast<pid_t>(pid), 0) == 0 && !readText(QStringLiteral("/proc/%1/stat").arg(pid))
                                                           .section(QLatin1Char(')'), 1)
                                                           .trimmed()
                                                           .startsWith(QLatin1Char('Z'));
}

// However the monitor ends (its program ends, its client releases it, SIGTERM, its client
// killed), it cancels its subscription first: the server holds none afterwards, long before
// the lease would run out. At the program's end the client waits for its server, so none is
// running when the call returns.
TEST(MonitorOnCups, MonitorEnded_LeavesNoSubscription)
{
    OwnCupsd cupsd(QStringLiteral("leave"));
    ASSERT_FALSE(cupsd.server.isEmpty());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HLV_PRINT_SYSTEM"), QStringLiteral("cups"));

    enum class End { ProgramEnds, Released, Terminated, ClientKilled };
    const QList<std::pair<const char*, End>> cases = {{"program ends", End::ProgramEnds},
                                                      {"client releases it", End::Released},
                                                      {"SIGTERM", End::Terminated},
                                                      {"client killed", End::ClientKilled}};
    for (const auto& [name, how] : cases) {
        SCOPED_TRACE(name);
        LinuxProcessControl processes;
        MonitorBinding binding(QString::fromLatin1(kJobMonitorBuild.programName),
                               QString::fromLatin1(kJobMonitorBuild.classId), processes);
        binding.setProgramDir(QStringLiteral(HLV_BIN_DIR));
        binding.setServerEnvironment(env);
        QProcess probe;
        qint64 pid = 0;
        if (how == End::ClientKilled) {
            probe.setProcessEnvironment(env);
            probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            probe.start(QStringLiteral(HLV_BINARY_DIR "/tests/monitor_client_probe"),
                        {QStringLiteral(HLV_BIN_DIR), cupsd.server});
            ASSERT_TRUE(probe.waitForStarted(10000));
            ASSERT_TRUE(waitFor([&] { return probe.canReadLine(); }, 10000));
            pid = probe.readLine().trimmed().toLongLong();
        } else {
            binding.StartJobMonitor(cupsd.server);
            ASSERT_NE(binding.mwcmnMonitor(), nullptr);
            pid = binding.mwcmnMonitor()->serverPid();
        }
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(waitFor([&] { return subscriptionCount(cupsd.server) == 1; }, 20000));

        switch (how) {
        case End::ProgramEnds:
            binding.EndJobMonitor();
            EXPECT_FALSE(processAlive(pid)) << "the program's end did not wait for its monitor";
            break;
        case End::Released:
            delete binding.mwcmnMonitor();
            break;
        case End::Terminated:
            ::kill(static_cast<pid_t>(pid), SIGTERM);
            break;
        case End::ClientKilled:
            probe.kill();
            probe.waitForFinished(10000);
            break;
        }
        EXPECT_TRUE(waitFor([&] { return !processAlive(pid); }, 10000));
        // Well within the lease of a minute.
        EXPECT_TRUE(waitFor([&] { return subscriptionCount(cupsd.server) == 0; }, 5000))
            << subscriptionCount(cupsd.server) << " subscriptions left";
    }
}

// An IPP printer on loopback that takes connections and never answers: the job sent to it
// stays printing, and the jobs behind it wait.
class SilentPrinter
{
public:
    SilentPrinter()
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listen, reinterpret_cast<sockaddr*>(&address), length) == 0 && ::listen(m_listen, 8) == 0 &&
            ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port = ntohs(address.sin_port);
        }
        m_thread = std::thread([this] {
            while (!m_stop) {
                pollfd p{m_listen, POLLIN, 0};
                if (::poll(&p, 1, 100) > 0) {
                    const int connection = ::accept(m_listen, nullptr, nullptr);
                    if (connection >= 0) {
                        m_connections.push_back(connection);
                    }
                }
            }
        });
    }
    ~SilentPrinter()
    {
        m_stop = true;
        m_thread.join();
        for (const int c : m_connections) {
            ::close(c);
        }
        ::close(m_listen);
    }
    int port = 0;

private:
    int m_listen = -1;
    std::atomic<bool> m_stop{false};
    std::vector<int> m_connections;
    std::thread m_thread;
};

// A printer stopped with a complaint sends no event for the jobs waiting on it: their status
// follows from the printer's state alone, read without reading those jobs or any job list.
TEST(MonitorOnCups, PrinterStoppedWithReason_WaitingJobShowsItWithoutBeingRead)
{
    OwnCupsd cupsd(QStringLiteral("stops"));
    SilentPrinter device;
    ASSERT_GT(device.port, 0);
    runTool(QStringLiteral("lpadmin"),
            {QStringLiteral("-h"), cupsd.server, QStringLiteral("-p"), cupsd.queue, QStringLiteral("-v"),
             QStringLiteral("ipp://127.0.0.1:%1/ipp/print").arg(device.port)});
    const QString printing = cupsd.submit(cupsd.queue, QStringLiteral("printing"));
    const QString waiting = cupsd.submit(cupsd.queue, QStringLiteral("waiting"));
    ASSERT_FALSE(waiting.isEmpty());

    CountingPrintSystem system;
    QString error;
    const auto reader = system.connect(cupsd.server, &error);
    ASSERT_TRUE(reader) << error.toStdString();
    const auto statusOf = [&](const QString& id) -> std::optional<quint32> {
        QList<PrintJobInfo> jobs;
        reader->jobs(jobs);
        for (const PrintJobInfo& job : std::as_const(jobs)) {
            if (QString::number(job.JobId) == id) {
                return job.StatusMask;
            }
        }
        return std::nullopt;
    };
    ASSERT_TRUE(waitFor([&] { return statusOf(printing) == JobStatus::Printing; }, 10000));
    ASSERT_EQ(statusOf(waiting), 0u);

    JobMonitor monitor(system);
    MonitorEvents events;
    events.attach(monitor);
    const QStringList& connects = events.connects;
    const QList<Seen>& jobs = events.jobs;
    monitor.StartMonitor(cupsd.server);
    ASSERT_TRUE(waitFor([&] { return !connects.isEmpty(); }, 30000));
    ASSERT_TRUE(monitor.watching());
    const int wholeLists = system.wholeLists;
    system.jobsRead.clear();

    cupsd.stopAsBackend(cupsd.queue);
    const auto waitingSeen = [&] {
        return std::find_if(jobs.cbegin(), jobs.cend(), [&](const Seen& s) { return s.fields.at(10) == waiting; });
    };
    ASSERT_TRUE(waitFor([&] { return waitingSeen() != jobs.cend(); }, 10000));
    const Seen& seen = *waitingSeen();
    EXPECT_EQ(seen.action, QStringLiteral("Modified"));
    const quint32 now = statusOf(waiting).value_or(0);
    EXPECT_NE(now, 0u);
    EXPECT_EQ(seen.fields.at(0).toUInt(), now);
    EXPECT_EQ(system.wholeLists - 1, wholeLists); // statusOf's own reading only
    EXPECT_FALSE(system.jobsRead.contains(waiting.toLongLong()));
    monitor.StopMonitor();
}

// A job sent to a class prints on one of its members; when that printer runs out of paper
// in the middle of the job, only the member's state changes, and the class's job is held up
// all the same.
TEST(MonitorOnCups, ClassJobOnMemberOutOfPaper_ReportedPaperOut)
{
    OwnCupsd cupsd(QStringLiteral("member"));
    const QString cls = cupsd.queue + QStringLiteral("_class");
    runTool(QStringLiteral("lpadmin"),
            {QStringLiteral("-h"), cupsd.server, QStringLiteral("-p"), cupsd.queue, QStringLiteral("-E"),
             QStringLiteral("-v"), QStringLiteral("hlvstate:/slow=2+paperout=30")});
    runTool(QStringLiteral("lpadmin"),
            {QStringLiteral("-h"), cupsd.server, QStringLiteral("-p"), cupsd.queue, QStringLiteral("-c"), cls});
    runTool(QStringLiteral("cupsenable"), {QStringLiteral("-h"), cupsd.server, cls});
    runTool(QStringLiteral("cupsaccept"), {QStringLiteral("-h"), cupsd.server, cls});

    CupsPrintSystem system;
    JobMonitor monitor(system);
    MonitorEvents events;
    events.attach(monitor);
    const QStringList& connects = events.connects;
    const QList<Seen>& jobs = events.jobs;
    monitor.StartMonitor(cupsd.server);
    ASSERT_TRUE(waitFor([&] { return !connects.isEmpty(); }, 30000));
    ASSERT_TRUE(monitor.watching());

    const QString id = cupsd.submit(cls, QStringLiteral("on the class"));
    ASSERT_FALSE(id.isEmpty());
    EXPECT_TRUE(waitFor(
        [&] {
            return std::any_of(jobs.cbegin(), jobs.cend(), [&](const Seen& s) {
                return s.fields.at(10) == id && s.fields.at(0).toUInt() == JobStatus::PaperOut;
            });
        },
        15000));
    runTool(QStringLiteral("cancel"), {QStringLiteral("-h"), cupsd.server, QStringLiteral("-a"), cls});
    monitor.StopMonitor();
}

// A server busy or far away, whose first answer takes seconds, is watched all the same: no
// final "WMI Connection Error" for it.
TEST(MonitorOnCups, FirstAnswerAfterThreeSeconds_Connected)
{
    std::atomic<int> requests{0};
    test::LoopbackIppServer slow([&](ipp_t* request) {
        if (requests++ == 0) {
            std::this_thread::sleep_for(std::chrono::seconds(3));
        }
        return test::LoopbackIppServer::whole(test::LoopbackIppServer::answer(request));
    });
    ASSERT_GT(slow.port(), 0);
    MonitorProgram client;
    MonitorEvents events;
    ASSERT_NO_FATAL_FAILURE(startWatching(slow.server(), client, events));
    EXPECT_EQ(events.connects, QStringList{QStringLiteral("Connected")});
}

// CUPS tells nothing when the message of a printer already stopped changes, nor when a job's
// document has come: a waiting job takes on its printer's error, and a job its size,
// within seconds all the same, not at the next whole reading a minute later.
TEST(MonitorOnCups, UntoldChanges_StoppedPrintersReasonAndJobSize_FollowedWithinSeconds)
{
    OwnCupsd cupsd(QStringLiteral("untold"));
    runTool(QStringLiteral("cupsdisable"), {QStringLiteral("-h"), cupsd.server, cupsd.queue});
    const QString waiting = cupsd.submit(cupsd.queue, QStringLiteral("waiting"));
    ASSERT_FALSE(waiting.isEmpty());

    CupsPrintSystem system;
    JobMonitor monitor(system);
    MonitorEvents events;
    events.attach(monitor);
    const QStringList& connects = events.connects;
    const QList<Seen>& jobs = events.jobs;
    monitor.StartMonitor(cupsd.server);
    ASSERT_TRUE(waitFor([&] { return !connects.isEmpty(); }, 30000));
    ASSERT_TRUE(monitor.watching());
    const auto last = [&](const QString& id) -> std::optional<Seen> {
        for (qsizetype i = jobs.size() - 1; i >= 0; --i) {
            if (jobs.at(i).fields.at(10) == id) {
                return jobs.at(i);
            }
        }
        return std::nullopt;
    };

    cupsd.stopAsBackend(cupsd.queue);
    EXPECT_TRUE(waitFor(
        [&] {
            const auto seen = last(waiting);
            return seen && seen->fields.at(0).toUInt() == JobStatus::Error;
        },
        15000));

    // A job whose document comes a while after the job was made.
    const QString uri = QStringLiteral("ipp://%1/printers/%2").arg(cupsd.server, cupsd.queue);
    const QString created = runTool(QStringLiteral("ipptool"),
                                    {QStringLiteral("-t"), QStringLiteral("-d"), QStringLiteral("title=arriving"), uri,
                                     QStringLiteral(HLV_SOURCE_DIR "/tests/jobmonitor/create-job.test")});
    static const QRegularExpression idText(QStringLiteral("job-id \\(integer\\) = (\\d+)"));
    const QString arriving = idText.match(created).captured(1);
    ASSERT_FALSE(arriving.isEmpty()) << created.toStdString();
    ASSERT_TRUE(waitFor([&] { return last(arriving).has_value(); }, 15000));
    EXPECT_EQ(last(arriving)->fields.at(8), QStringLiteral("0KB"));
    runTool(QStringLiteral("ipptool"), {QStringLiteral("-t"), QStringLiteral("-d"), QStringLiteral("job=") + arriving,
                                        uri, QStringLiteral(HLV_SOURCE_DIR "/tests/jobmonitor/send-document.test")});
    EXPECT_TRUE(waitFor(
        [&] {
            const auto seen = last(arriving);
            return seen && seen->fields.at(8) != QStringLiteral("0KB");
        },
        15000))
        << last(arriving)->fields.join(QLatin1Char('|')).toStdString();
    monitor.StopMonitor();
}

// A job moved off a queue that its backend stopped, and printed at once on the other, is
// no failed job: it leaves its old queue with its state now, never with the old queue's
// error (the watch program would mail a false "Job Error").
TEST(MonitorOnCups, JobMovedOffStoppedQueueThenPrinted_LeavesWithoutError)
{
    OwnCupsd cupsd(QStringLiteral("stuck"));
    cupsd.addQueue(QStringLiteral("works"));
    cupsd.stopAsBackend(cupsd.queue);
    MonitorProgram client;
    MonitorEvents events;
    ASSERT_NO_FATAL_FAILURE(startWatching(cupsd.server, client, events));

    for (int attempt = 0; attempt < 3; ++attempt) {
        SCOPED_TRACE(attempt);
        const QString id = cupsd.submit(cupsd.queue, QStringLiteral("moved"));
        ASSERT_FALSE(id.isEmpty());
        // Read while lp still sends its document, the job is first Spooling (held by
        // Create-Job, not by anyone: never Paused); then it waits in error on the stopped queue.
        ASSERT_TRUE(waitFor(
            [&] {
                const QList<Seen> seen = events.of(id);
                return !seen.isEmpty() && seen.last().fields.at(0).toUInt() == JobStatus::Error;
            },
            10000));
        for (const Seen& event : events.of(id)) {
            const quint32 status = event.fields.at(0).toUInt();
            EXPECT_TRUE(status == JobStatus::Error || status == JobStatus::Spooling) << status;
        }
        const qsizetype before = events.of(id).size();

        runTool(QStringLiteral("lpmove"),
                {QStringLiteral("-h"), cupsd.server, cupsd.queue + QLatin1Char('-') + id, QStringLiteral("works")});
        const QString oldName = cupsd.queue + QStringLiteral(", ") + id;
        ASSERT_TRUE(waitFor(
            [&] {
                const QList<Seen> seen = events.of(id);
                return std::any_of(seen.cbegin(), seen.cend(), [&](const Seen& s) {
                    return s.action == QStringLiteral("Deleted") && s.fields.at(11) == oldName;
                });
            },
            10000));
        const QList<Seen> after = events.of(id).mid(before);
        for (const Seen& s : after) {
            EXPECT_NE(s.fields.at(0).toUInt(), JobStatus::Error)
                << s.action.toStdString() << ' ' << s.fields.at(11).toStdString();
        }
    }
    EXPECT_EQ(events.connects, QStringList{QStringLiteral("Connected")});
    client->StopMonitor();
}

// Jobs that print within milliseconds, created and ended between two readings, are each
// reported New and then Deleted as printed.
TEST(MonitorOnCups, JobsPrintedAtOnce_EachReportedNewThenDeleted)
{
    OwnCupsd cupsd(QStringLiteral("fast"));
    MonitorProgram client;
    MonitorEvents events;
    ASSERT_NO_FATAL_FAILURE(startWatching(cupsd.server, client, events));

    QStringList ids;
    for (int i = 0; i < 20; ++i) {
        ids << cupsd.submit(cupsd.queue, QStringLiteral("quick %1").arg(i));
    }
    const auto complete = [&](const QString& id) {
        const QList<Seen> seen = events.of(id);
        return seen.size() >= 2 && seen.first().action == QStringLiteral("New") &&
               seen.last().action == QStringLiteral("Deleted");
    };
    EXPECT_TRUE(waitFor([&] { return std::all_of(ids.cbegin(), ids.cend(), complete); }, 20000));
    int missing = 0;
    for (const QString& id : std::as_const(ids)) {
        if (!complete(id)) {
            ++missing;
            continue;
        }
        const QList<Seen> seen = events.of(id);
        EXPECT_EQ(std::count_if(seen.cbegin(), seen.cend(),
                                [](const Seen& s) { return s.action != QLatin1String("Modified"); }),
                  2)
            << "New once and Deleted once: " << id.toStdString();
        EXPECT_EQ(seen.last().fields.at(0).toUInt(), JobStatus::Printed) << id.toStdString();
        EXPECT_EQ(seen.first().fields.at(1), seen.last().fields.at(1));
        EXPECT_TRUE(seen.first().fields.at(1).startsWith(QStringLiteral("quick "))) << id.toStdString();
        EXPECT_FALSE(seen.first().fields.at(9).isEmpty()) << id.toStdString();
    }
    EXPECT_EQ(missing, 0) << "of " << ids.size();
    client->StopMonitor();
}

// A stop asked while a print server holds the monitor's reading is answered at once, not
// when the reading gives up; the cut reading is no lost server.
TEST(MonitorOnCups, StopWhileTheServerHoldsAReading_AnsweredAtOnce)
{
    std::atomic<int> lists{0};
    test::LoopbackIppServer server([&](ipp_t* request) {
        ipp_t* answer = test::LoopbackIppServer::answer(request);
        if (ippGetOperation(request) == IPP_OP_GET_JOBS && ++lists > 1) {
            return test::LoopbackIppServer::Reply::drip(test::LoopbackIppServer::bytes(answer), 2000);
        }
        return test::LoopbackIppServer::whole(answer);
    });
    MonitorProgram client;
    MonitorEvents events;
    ASSERT_NO_FATAL_FAILURE(startWatching(server.server(), client, events));
    ASSERT_EQ(events.connects, QStringList{QStringLiteral("Connected")});
    ASSERT_TRUE(waitFor([&] { return lists >= 2; })) << "the second reading waits on the server now";
    QElapsedTimer took;
    took.start();
    client->StopMonitor();
    EXPECT_LT(took.elapsed(), CupsExchange::Limits().answerMs / 4)
        << "the reading gives up only after " << CupsExchange::Limits().answerMs << " ms";
    EXPECT_EQ(events.connects, (QStringList{QStringLiteral("Connected"), QStringLiteral("Disconnected")}));
}

// The watch program's monitor killed while jobs come and go: the monitor started after it
// reports them from the server's history of ended jobs, and every job once.
TEST(MonitorOnCups, MonitorKilled_JobsOfTheGapReportedFromTheHistoryEachOnce)
{
    OwnCupsd cupsd(QStringLiteral("gap"), {QStringLiteral("--job-history")});
    LinuxProcessControl processes;
    MonitorBinding binding(QString::fromLatin1(kWatchJobBuild.programName), QString::fromLatin1(kWatchJobBuild.classId),
                           processes);
    binding.setProgramDir(QStringLiteral(HLV_BIN_DIR));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HLV_PRINT_SYSTEM"), QStringLiteral("cups"));
    binding.setServerEnvironment(env);
    MonitorEvents events;
    QObject::connect(&binding, &MonitorBinding::ConnectEvent, [&](const QString& t) { events.connects << t; });
    QObject::connect(&binding, &MonitorBinding::JobEvent, [&](const QString& action, const QString& record) {
        events.jobs.append({action, readJobDetailRecord(record)});
    });
    const auto reported = [&](const QString& id) {
        const QList<Seen> seen = events.of(id);
        return std::count_if(seen.cbegin(), seen.cend(),
                             [](const Seen& s) { return s.action == QLatin1String("New"); }) *
                   10 +
               std::count_if(seen.cbegin(), seen.cend(),
                             [](const Seen& s) { return s.action == QLatin1String("Deleted"); });
    };
    binding.StartJobMonitor(cupsd.server);
    ASSERT_TRUE(waitFor([&] { return events.connects.contains(QStringLiteral("Connected")); }, 30000));
    const QString before = cupsd.submit(cupsd.queue, QStringLiteral("before"));
    ASSERT_TRUE(waitFor([&] { return reported(before) == 11; }));

    ASSERT_NE(binding.mwcmnMonitor(), nullptr);
    ASSERT_EQ(::kill(static_cast<pid_t>(binding.mwcmnMonitor()->serverPid()), SIGKILL), 0);
    ASSERT_TRUE(waitFor([&] { return binding.mwcmnMonitor() == nullptr; }));
    QStringList gap;
    for (int i = 0; i < 3; ++i) {
        gap << cupsd.submit(cupsd.queue, QStringLiteral("gap %1").arg(i));
    }
    const auto ended = [&](const QString& id) {
        return runTool(QStringLiteral("lpstat"), {QStringLiteral("-h"), cupsd.server, QStringLiteral("-W"),
                                                  QStringLiteral("completed"), QStringLiteral("-o"), cupsd.queue})
            .contains(cupsd.queue + QLatin1Char('-') + id + QLatin1Char(' '));
    };
    ASSERT_TRUE(waitFor([&] { return std::all_of(gap.cbegin(), gap.cend(), ended); }));

    binding.ResumeJobMonitor(cupsd.server);
    EXPECT_TRUE(waitFor(
        [&] { return std::all_of(gap.cbegin(), gap.cend(), [&](const QString& id) { return reported(id) == 11; }); }));
    for (const QString& id : std::as_const(gap)) {
        EXPECT_EQ(reported(id), 11) << "gap job " << id.toStdString() << ": tens New, ones Deleted";
        const QList<Seen> seen = events.of(id);
        EXPECT_TRUE(!seen.isEmpty() && seen.last().fields.at(1).startsWith(QStringLiteral("gap ")));
    }
    EXPECT_EQ(reported(before), 11) << "reported again by the new monitor";
    binding.EndJobMonitor(10000);
}

// Debian's stock "authenticated" policy lets anybody subscribe but wants a password to read,
// renew or cancel: the monitor reports no lost server, compares whole lists, leaves at most
// one subscription on the server at any time, and none soon after it stopped.
TEST(MonitorOnCups, StockAuthenticatedPolicy_RefusalIsNoLostServer)
{
    OwnCupsd cupsd(QStringLiteral("policy"), {QStringLiteral("--stock-authenticated")});
    ASSERT_FALSE(cupsd.server.isEmpty());
    MonitorProgram client;
    MonitorEvents events;
    ASSERT_NO_FATAL_FAILURE(startWatching(cupsd.server, client, events));

    const QString id = cupsd.submitHeld(QStringLiteral("still seen"));
    ASSERT_FALSE(id.isEmpty());
    int most = 0;
    const QDeadlineTimer watched(6000);
    while (!watched.hasExpired()) {
        most = std::max(most, subscriptionCount(cupsd.server));
        const QDeadlineTimer next(300);
        waitFor([&] { return next.hasExpired(); }, 1000);
    }
    EXPECT_LE(most, 1);
    EXPECT_EQ(events.connects, QStringList{QStringLiteral("Connected")});
    EXPECT_FALSE(events.of(id).isEmpty()) << "the held job was not reported";

    client->StopMonitor();
    EXPECT_TRUE(waitFor([&] { return subscriptionCount(cupsd.server) == 0; }, 15000));
}

// Whether the server still holds a subscription.
bool subscriptionExists(http_t* http, const std::string& uri, int id)
{
    ipp_t* request = ippNewRequest(IPP_OP_GET_SUBSCRIPTION_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 localUserName().toUtf8().constData());
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-subscription-id", id);
    ipp_t* answer = cupsDoRequest(http, request, "/");
    const bool found = answer && cupsLastError() <= IPP_STATUS_OK_EVENTS_COMPLETE;
    ippDelete(answer);
    return found;
}

TEST(CupsSubscriptionLease, RenewedWhileRead_StillDelivers_CancelledAtEnd)
{
    OwnCupsd cupsd(QStringLiteral("lease"));
    const QString host = cupsd.server.section(QLatin1Char(':'), 0, 0);
    const int port = cupsd.server.section(QLatin1Char(':'), 1).toInt();
    http_t* http = httpConnect2(host.toUtf8().constData(), port, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_IF_REQUESTED, 1,
                                5000, nullptr);
    ASSERT_NE(http, nullptr);
    const auto closeHttp = qScopeGuard([&] { httpClose(http); });
    const std::string uri = "ipp://" + cupsd.server.toStdString() + "/";
    const std::string user = localUserName().toStdString();
    constexpr int kLease = 3;

    QString why;
    std::shared_ptr<CupsExchange> exchange = CupsExchange::connect(host.toStdString(), port, {}, &why);
    ASSERT_TRUE(exchange) << why.toStdString();
    // Never read, so never renewed: shows that the server does end a lease.
    auto unread = CupsSubscription::create(exchange, uri, user, kLease, &why);
    ASSERT_TRUE(unread) << why.toStdString();
    const int unreadId = unread->id();
    unread->abandon();
    unread.reset();
    auto watch = CupsSubscription::create(exchange, uri, user, kLease, &why);
    ASSERT_TRUE(watch) << why.toStdString();

    // Read for two lease lengths, as the monitor reads.
    QElapsedTimer clock;
    clock.start();
    JobChanges changes;
    while (clock.elapsed() < 2 * kLease * 1000 + 500) {
        const PrintResult read = watch->changes(changes);
        ASSERT_TRUE(read) << read.error.toStdString() << " at " << clock.elapsed() << " ms, renewed "
                          << watch->renewals() << " times";
        const QDeadlineTimer next(200);
        waitFor([&] { return next.hasExpired(); }, 1000);
    }
    EXPECT_GE(watch->renewals(), 4);
    EXPECT_FALSE(subscriptionExists(http, uri, unreadId));
    ASSERT_TRUE(subscriptionExists(http, uri, watch->id()));

    // Still delivering: a job submitted now is named.
    const QString id = cupsd.submitHeld(QStringLiteral("lease"));
    ASSERT_FALSE(id.isEmpty());
    EXPECT_TRUE(waitFor(
        [&] {
            EXPECT_TRUE(watch->changes(changes));
            return changes.jobIds.contains(id.toLongLong());
        },
        10000));
    // Its end, told in a later reading than its creation, still tells when it was submitted.
    runTool(QStringLiteral("cancel"), {QStringLiteral("-h"), cupsd.server, cupsd.queue + QLatin1Char('-') + id});
    PrintJobInfo ended;
    EXPECT_TRUE(waitFor(
        [&] {
            EXPECT_TRUE(watch->changes(changes));
            const qsizetype at = changes.jobIds.indexOf(id.toLongLong());
            if (at >= 0) {
                ended = changes.told.at(at);
            }
            return ended.ended;
        },
        10000));
    EXPECT_TRUE(ended.TimeSubmitted.isValid());

    const int watchId = watch->id();
    watch.reset();
    EXPECT_FALSE(subscriptionExists(http, uri, watchId));
}

// A server whose policy refuses subscriptions still gets its changes reported: the monitor
// compares whole job lists, as it does on servers without subscriptions.
TEST(MonitorOnCups, SubscriptionsRefused_WholeListsCompared)
{
    OwnCupsd cupsd(QStringLiteral("refusing"));
    CupsPrintSystem system;
    {
        JobMonitor monitor(system);
        QStringList connects;
        QObject::connect(&monitor, &JobMonitor::ConnectEvent, [&](const QString& t) { connects << t; });
        monitor.StartMonitor(cupsd.server);
        ASSERT_TRUE(waitFor([&] { return !connects.isEmpty(); }, 30000));
        EXPECT_TRUE(monitor.watching());
        monitor.StopMonitor();
    }

    cupsd.down();
    const QString confPath = cupsd.root + QStringLiteral("/etc/cupsd.conf");
    QString conf = readText(confPath);
    const qsizetype at = conf.indexOf(QStringLiteral("  <Limit All>"));
    ASSERT_GE(at, 0);
    // Loopback is never denied by address: the refusal is a password nobody gives.
    conf.insert(at, QStringLiteral("  <Limit Create-Printer-Subscriptions>\n    AuthType Basic\n"
                                   "    Require valid-user\n  </Limit>\n"));
    QFile file(confPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(conf.toUtf8());
    file.close();
    cupsd.up();

    QString error;
    const auto server = system.connect(cupsd.server, &error);
    ASSERT_TRUE(server) << error.toStdString();
    EXPECT_EQ(server->watchJobs(), nullptr);

    JobMonitor monitor(system);
    QStringList connects;
    QStringList news;
    QObject::connect(&monitor, &JobMonitor::ConnectEvent, [&](const QString& t) { connects << t; });
    QObject::connect(&monitor, &JobMonitor::JobEvent, [&](const QString& action, const QString& record) {
        if (action == QStringLiteral("New")) {
            news << record.section(QLatin1Char('|'), 10, 10);
        }
    });
    monitor.StartMonitor(cupsd.server);
    ASSERT_TRUE(waitFor([&] { return !connects.isEmpty(); }, 30000));
    EXPECT_EQ(connects, QStringList{QStringLiteral("Connected")});
    EXPECT_FALSE(monitor.watching());
    const QString id = cupsd.submitHeld(QStringLiteral("refused"));
    EXPECT_TRUE(waitFor([&] { return news.contains(id); }, 10000)) << id.toStdString();
    monitor.StopMonitor();
}

} // namespace
} // namespace hlv
