#include <algorithm>

#include <QProcessEnvironment>
#include <QScopeGuard>

#include "SmtpTestServer.h"
#include "WatchFixture.h"
#include "jobmonitor/client/JobMonitorClient.h"
#include "jobmonitor/client/MonitorBinding.h"
#include "platform/ProcessControl.h"
#include "support/ToolProcess.h"

namespace hlv::test {
namespace {

// The watch window with its real job monitor server on the private CUPS server, a queue
// whose backend cannot reach its device (error policy stop-printer) and a loopback mail
// server.
class WatchCupsTest : public WatchFixture
{
protected:
    void SetUp() override
    {
        WatchFixture::SetUp();
        cupsServer = privateCupsServer();
        if (cupsServer.isEmpty()) {
            GTEST_SKIP() << "no private CUPS server: run through ctest (fixture private_cupsd)";
        }
        queue = QStringLiteral("hlvwatch_%1").arg(QCoreApplication::applicationPid());
        runToolChecked(QStringLiteral("lpadmin"),
                       {QStringLiteral("-h"), cupsServer, QStringLiteral("-p"), queue, QStringLiteral("-E"),
                        QStringLiteral("-v"), QStringLiteral("serial:/dev/hlv-no-such-port"), QStringLiteral("-o"),
                        QStringLiteral("printer-error-policy=stop-printer")});
    }
    void TearDown() override
    {
        WatchFixture::TearDown();
        if (!cupsServer.isEmpty()) {
            runToolChecked(QStringLiteral("lpadmin"), {QStringLiteral("-h"), cupsServer, QStringLiteral("-x"), queue});
        }
    }
    void configure(WatchContext& ctx) override
    {
        ctx.programDir = QStringLiteral(HLV_BIN_DIR);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HLV_PRINT_SYSTEM"), QStringLiteral("cups"));
        ctx.monitorEnvironment = environment;
    }

    // Starts watching the private server with mail alerts to smtp, extraIni added to the
    // settings, and waits for the monitor's "Connected".
    frmWatch& startWatchingWithMail(const SmtpTestServer& smtp, const QString& extraIni = {})
    {
        writeIni(QStringLiteral("[Halvern]\nServer=%1\nWatchJobs=True\nMailServer=127.0.0.1\n"
                                "MailFrom=<watch@example.org>\nMailTo=<ops@example.org>\nJobsEmailError=True\n")
                     .arg(cupsServer) +
                 extraIni);
        build();
        context->smtpPort = smtp.port();
        frmWatch& w = *window;
        w.Form_Load();
        w.cmdStart_Click();
        EXPECT_TRUE(waitFor([&] { return w.lblStatus->text() == QStringLiteral("Connected"); }, 30000))
            << w.lblStatus->text().toStdString();
        return w;
    }

    LinuxProcessControl realProcesses;
    QString cupsServer;
    QString queue;
};

TEST_F(WatchCupsTest, JobOnQueueStoppedByBackend_AlertsByCsvAndMail)
{
    processControl = &realProcesses;
    SmtpTestServer smtp;
    ASSERT_TRUE(smtp.isListening());
    const QString csv = path(QStringLiteral("jobs.csv"));
    frmWatch& w = startWatchingWithMail(smtp, QStringLiteral("JobsCSVfile=%1\n").arg(csv));
    ASSERT_FALSE(HasFailure());

    const QString out =
        runToolChecked(QStringLiteral("lp"), {QStringLiteral("-h"), cupsServer, QStringLiteral("-d"), queue,
                                              QStringLiteral("-t"), QStringLiteral("Stuck|A4"), QStringLiteral("-U"),
                                              QStringLiteral("we|ird"), QStringLiteral("/etc/hostname")});
    const QString id = out.section(QLatin1Char(' '), 3, 3).section(QLatin1Char('-'), -1);
    ASSERT_FALSE(id.isEmpty()) << out.toStdString();

    // The monitor reports the job with the Error bit once the backend has stopped the queue.
    const QString line = QStringLiteral("\"Error\",\"Stuck|A4\",");
    ASSERT_TRUE(waitFor([&] { return QString::fromUtf8(fileBytes(csv)).contains(line); }, 30000))
        << QString::fromUtf8(fileBytes(csv)).toStdString();
    const QString csvText = QString::fromUtf8(fileBytes(csv));
    // A "|" in the owner's name, chosen freely by the submitting client, shifts no column.
    EXPECT_TRUE(csvText.contains(QStringLiteral("\",\"we|ird\",\"") + queue + QStringLiteral("\",")))
        << csvText.toStdString();
    EXPECT_TRUE(csvText.contains(QStringLiteral("\"") + id + QStringLiteral("\",\"") + queue + QStringLiteral(", ") +
                                 id + QStringLiteral("\",\r\n")));
    // Other tests share the server: only the mail about this job counts.
    const QByteArray warning =
        "Warning: Job " + id.toUtf8() + " titled Stuck|A4 in " + queue.toUtf8() + " on " + cupsServer.toUtf8() + "\r\n";
    const auto ourMail = [&]() -> QByteArray {
        for (const QByteArray& m : std::as_const(smtp.messages)) {
            if (m.contains(warning) && m.contains("is reporting a status of Error")) {
                return m;
            }
        }
        return {};
    };
    ASSERT_TRUE(waitFor([&] { return !ourMail().isEmpty(); }, 30000));
    EXPECT_TRUE(ourMail().contains("Subject:HLV: Job Error on " + cupsServer.toUtf8() + "\r\n"));
    w.cmdStop_Click();
}

// A class of two printers, one out of paper in the middle of the job it prints: the class's
// job is held up by that member, and the watch program alerts for it as for any job.
TEST_F(WatchCupsTest, ClassJobOnMemberOutOfPaper_AlertsByMail)
{
    processControl = &realProcesses;
    SmtpTestServer smtp;
    ASSERT_TRUE(smtp.isListening());
    const QString paper = queue + QStringLiteral("_paper");
    const QString busy = queue + QStringLiteral("_busy");
    const QString cls = queue + QStringLiteral("_class");
    const auto lpadmin = [&](const QStringList& args) {
        runToolChecked(QStringLiteral("lpadmin"), QStringList{QStringLiteral("-h"), cupsServer} + args);
    };
    const auto removeAll = qScopeGuard([&] {
        runTool(QStringLiteral("cancel"), {QStringLiteral("-h"), cupsServer, QStringLiteral("-a"), cls});
        for (const QString& name : {cls, paper, busy}) {
            runTool(QStringLiteral("lpadmin"), {QStringLiteral("-h"), cupsServer, QStringLiteral("-x"), name});
        }
    });
    lpadmin({QStringLiteral("-p"), paper, QStringLiteral("-E"), QStringLiteral("-v"),
             QStringLiteral("hlvstate:/slow=1+paperout=60")});
    lpadmin(
        {QStringLiteral("-p"), busy, QStringLiteral("-E"), QStringLiteral("-v"), QStringLiteral("hlvstate:/slow=60")});
    lpadmin({QStringLiteral("-p"), paper, QStringLiteral("-c"), cls});
    lpadmin({QStringLiteral("-p"), busy, QStringLiteral("-c"), cls});
    runToolChecked(QStringLiteral("cupsenable"), {QStringLiteral("-h"), cupsServer, cls});
    runToolChecked(QStringLiteral("cupsaccept"), {QStringLiteral("-h"), cupsServer, cls});
    frmWatch& w = startWatchingWithMail(smtp);
    ASSERT_FALSE(HasFailure());

    // One job for each member.
    for (int i = 0; i < 2; ++i) {
        runToolChecked(QStringLiteral("lp"),
                       {QStringLiteral("-h"), cupsServer, QStringLiteral("-d"), cls, QStringLiteral("-t"),
                        QStringLiteral("On the class"), QStringLiteral("/etc/hostname")});
    }
    const QByteArray where = " in " + cls.toUtf8() + " on " + cupsServer.toUtf8() + "\r\n";
    EXPECT_TRUE(waitFor(
        [&] {
            return std::any_of(smtp.messages.cbegin(), smtp.messages.cend(), [&](const QByteArray& m) {
                return m.contains(where) && m.contains("is reporting a status of Paperout");
            });
        },
        30000));
    w.cmdStop_Click();
}

} // namespace
} // namespace hlv::test
