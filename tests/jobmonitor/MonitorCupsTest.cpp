// The real HlvJobMonitor program on a private CUPS server: a held job submitted with lp,
// its priority changed, then cancelled.

#include <algorithm>
#include <iterator>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <gtest/gtest.h>

#include "console/access/JobMonitorClient.h"
#include "jobmonitor/MonitorBuilds.h"
#include "platform/PrintSystem.h"
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

    JobMonitorClientOptions options;
    options.programName = QString::fromLatin1(kJobMonitorBuild.programName);
    options.classId = QString::fromLatin1(kJobMonitorBuild.classId);
    options.programDir = QStringLiteral(HLV_BIN_DIR);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HLV_PRINT_SYSTEM"), QStringLiteral("cups"));
    options.environment = env;
    QString error;
    const auto client = JobMonitorClient::create(options, &error);
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

} // namespace
} // namespace hlv
