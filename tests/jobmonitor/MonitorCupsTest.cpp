// The job monitor on private CUPS servers: the real HlvJobMonitor program following a held
// job through its life and through a lost server; the subscription it reads, with its
// lease; and the whole-list comparison on a server that refuses subscriptions.

#include <algorithm>
#include <csignal>
#include <iterator>

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <cups/cups.h>
#include <gtest/gtest.h>

#include "jobmonitor/JobMonitor.h"
#include "jobmonitor/MonitorBuilds.h"
#include "jobmonitor/client/JobMonitorClient.h"
#include "platform/PrintSystem.h"
#include "platform/print/CupsExchange.h"
#include "platform/print/CupsPrintSystem.h"
#include "platform/print/CupsSubscription.h"
#include "platform/print/LocalUser.h"
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
    const bool done = tool.waitForFinished(30000);
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
    explicit OwnCupsd(QString queueName)
        : queue(std::move(queueName))
    {
        runTool(script(), {QStringLiteral("start"), m_state.path(), queue});
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

    QString queue;
    QString server;
    QString root;

private:
    static QString script() { return QStringLiteral(HLV_SOURCE_DIR "/scripts/private-cupsd"); }
    QTemporaryDir m_state;
};

std::unique_ptr<JobMonitorClient> startMonitorProgram(QString* error)
{
    JobMonitorClientOptions options;
    options.programName = QString::fromLatin1(kJobMonitorBuild.programName);
    options.classId = QString::fromLatin1(kJobMonitorBuild.classId);
    options.programDir = QStringLiteral(HLV_BIN_DIR);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HLV_PRINT_SYSTEM"), QStringLiteral("cups"));
    options.environment = env;
    return JobMonitorClient::create(options, error);
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
