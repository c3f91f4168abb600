#include <csignal>

#include <QProcessEnvironment>

#include "WatchFixture.h"
#include "jobmonitor/client/JobMonitorClient.h"
#include "jobmonitor/client/MonitorBinding.h"
#include "platform/ProcessControl.h"
#include "support/ToolProcess.h"

namespace hlv::test {
namespace {

// The watch window with its real job monitor server process, watching a simulated server
// that the simulator tool changes behind its back.
class WatchE2ETest : public WatchFixture
{
protected:
    void configure(WatchContext& ctx) override
    {
        ctx.programDir = QStringLiteral(HLV_BIN_DIR);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HLV_PRINT_SYSTEM"), QStringLiteral("sim:") + simDir);
        ctx.monitorEnvironment = environment;
    }
    QString sim(const QStringList& args)
    {
        return runToolChecked(QStringLiteral(HLV_BIN_DIR "/hlv-printsim"), QStringList{simDir} + args).trimmed();
    }

    LinuxProcessControl realProcesses;
    QString simDir;
};

TEST_F(WatchE2ETest, JobInErrorOnWatchedServer_ReachesCsvJobLogAndPopups)
{
    simDir = path(QStringLiteral("sim"));
    ASSERT_TRUE(QDir().mkpath(simDir));
    processControl = &realProcesses;
    sim({QStringLiteral("add-server"), QStringLiteral("PS1")});
    sim({QStringLiteral("add-queue"), QStringLiteral("PS1"), QStringLiteral("Sales")});
    const QString csv = path(QStringLiteral("out/jobs.csv"));
    const QString db = path(QStringLiteral("out/watch.mdb"));
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("out"))));
    writeIni(QStringLiteral("[Halvern]\nServer=PS1\nWatchJobs=True\nJobsCSVfile=%1\nHLVDatabase=%2\nJobDatabase=True\n"
                            "JobsPopupError=True\nMessageComputer=DESK9\n")
                 .arg(csv, db));
    frmWatch& w = start();

    // GIVEN the window watches PS1...
    w.cmdStart_Click();
    ASSERT_TRUE(waitFor([&] { return w.lblStatus->text() == QStringLiteral("Connected"); }))
        << w.lblStatus->text().toStdString();
    ASSERT_NE(w.monitorBinding()->mwcmnMonitor(), nullptr);
    const qint64 pid = w.monitorBinding()->mwcmnMonitor()->serverPid();

    // WHEN a job arrives and goes into the error state...
    const QString id =
        sim({QStringLiteral("add-job"), QStringLiteral("PS1"), QStringLiteral("Sales"), QStringLiteral("--document"),
             QStringLiteral("Budget.xlsx"), QStringLiteral("--owner"), QStringLiteral("carol"),
             QStringLiteral("--host"), QStringLiteral("PC7"), QStringLiteral("--pages"), QStringLiteral("4"),
             QStringLiteral("--size"), QStringLiteral("4096")});
    ASSERT_FALSE(id.isEmpty());
    sim({QStringLiteral("set-job"), QStringLiteral("PS1"), id, QStringLiteral("--status-mask"), QStringLiteral("2")});

    // THEN the alert goes out, after the job was recorded.
    ASSERT_TRUE(waitFor([&] { return !popups.sent.isEmpty(); }));
    ASSERT_GE(popups.sent.size(), 2);
    EXPECT_EQ(popups.sent.at(0).computer, QStringLiteral("DESK9"));
    EXPECT_TRUE(popups.sent.at(0).text.startsWith(
        QStringLiteral("Warning: Job ") + id + QStringLiteral(" titled Budget.xlsx in Sales on PS1\r\nfor carol on ")));
    EXPECT_TRUE(popups.sent.at(0).text.endsWith(QStringLiteral(" is reporting a status of Error")));
    const QString csvText = QString::fromUtf8(fileBytes(csv));
    EXPECT_TRUE(csvText.startsWith(QStringLiteral("\"Job Action\",\"Server\",\"Status\"")));
    EXPECT_TRUE(csvText.contains(QStringLiteral("\",\"PS1\",\"Error\",\"Budget.xlsx\",")));
    EXPECT_TRUE(
        csvText.contains(QStringLiteral(",\"") + id + QStringLiteral("\",\"Sales, ") + id + QStringLiteral("\",\r\n")));
    EXPECT_EQ(logCount(db), 1);
    EXPECT_TRUE(w.lblDetailsTranslated->toPlainText().contains(QStringLiteral("Status: Error")));

    // Stop ends the monitor's server process.
    w.cmdStop_Click();
    EXPECT_EQ(w.lblStatus->text(), QStringLiteral("Disconnected"));
    EXPECT_TRUE(w.cmdStart->isEnabled());
    EXPECT_TRUE(waitFor([pid] { return !QFile::exists(QStringLiteral("/proc/%1").arg(pid)); }));
}

TEST_F(WatchE2ETest, ClosingWhileWatching_EndsTheMonitorProcessAndSavesSettings)
{
    simDir = path(QStringLiteral("sim"));
    ASSERT_TRUE(QDir().mkpath(simDir));
    processControl = &realProcesses;
    sim({QStringLiteral("add-server"), QStringLiteral("PS2")});
    writeIni(QStringLiteral("[Halvern]\nServer=PS2\nWatchJobs=True\nStartWatching=True\n"));
    frmWatch& w = start();
    ASSERT_TRUE(waitFor([&] { return w.lblStatus->text() == QStringLiteral("Connected"); }))
        << w.lblStatus->text().toStdString();
    const qint64 pid = w.monitorBinding()->mwcmnMonitor()->serverPid();
    ASSERT_GT(pid, 0);

    w.mPopExit->trigger();
    EXPECT_TRUE(w.isUnloaded());
    EXPECT_EQ(programEnded, 1);
    EXPECT_EQ(tray.removed, 1);
    EXPECT_TRUE(waitFor([pid] { return !QFile::exists(QStringLiteral("/proc/%1").arg(pid)); }));
    EXPECT_TRUE(iniText().contains(QStringLiteral("StartWatching=True")));
}

// A monitor whose server process is gone watches nothing: the window stops saying
// "Connected" and stays in the watching state until the operator stops it.
TEST_F(WatchE2ETest, MonitorProcessEnds_WindowNoLongerSaysConnected)
{
    simDir = path(QStringLiteral("sim"));
    ASSERT_TRUE(QDir().mkpath(simDir));
    processControl = &realProcesses;
    sim({QStringLiteral("add-server"), QStringLiteral("PS3")});
    writeIni(QStringLiteral("[Halvern]\nServer=PS3\nWatchJobs=True\n"));
    frmWatch& w = start();
    w.cmdStart_Click();
    ASSERT_TRUE(waitFor([&] { return w.lblStatus->text() == QStringLiteral("Connected"); }))
        << w.lblStatus->text().toStdString();
    const qint64 pid = w.monitorBinding()->mwcmnMonitor()->serverPid();
    ASSERT_GT(pid, 0);

    ASSERT_EQ(::kill(static_cast<pid_t>(pid), SIGKILL), 0);
    ASSERT_TRUE(waitFor([&] { return w.lblStatus->text() == QStringLiteral("Disconnected"); }))
        << w.lblStatus->text().toStdString();
    EXPECT_EQ(w.lblDetailsTranslated->toPlainText(),
              QStringLiteral("A connection event has occurred - Disconnected. "));
    EXPECT_TRUE(w.isWatching());
    w.cmdStop_Click();
    EXPECT_EQ(w.lblStatus->text(), QStringLiteral("Disconnected"));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

} // namespace
} // namespace hlv::test
