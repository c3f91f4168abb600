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

// A monitor killed while watching is a trouble: reported once through the chosen alert,
// shown in the icon's tip, and mended by a new monitor that reports what changed while none
// ran (a job added in error and a job removed meanwhile) and nothing for a job that stayed
// as it was. Killed again, it is a second trouble with a report of its own.
TEST_F(WatchE2ETest, MonitorKilled_ReportedOnceRestartedAndChangesMeanwhileRecorded)
{
    simDir = path(QStringLiteral("sim"));
    ASSERT_TRUE(QDir().mkpath(simDir));
    processControl = &realProcesses;
    sim({QStringLiteral("add-server"), QStringLiteral("PS3")});
    sim({QStringLiteral("add-queue"), QStringLiteral("PS3"), QStringLiteral("Sales")});
    const auto addJob = [&](const QString& document) {
        return sim({QStringLiteral("add-job"), QStringLiteral("PS3"), QStringLiteral("Sales"),
                    QStringLiteral("--document"), document, QStringLiteral("--owner"), QStringLiteral("erin"),
                    QStringLiteral("--host"), QStringLiteral("PC2"), QStringLiteral("--pages"), QStringLiteral("1"),
                    QStringLiteral("--size"), QStringLiteral("1024")});
    };
    const QString kept = addJob(QStringLiteral("Kept.docx"));
    const QString gone = addJob(QStringLiteral("Gone.docx"));
    const QString csv = path(QStringLiteral("jobs.csv"));
    writeIni(QStringLiteral("[Halvern]\nServer=PS3\nWatchJobs=True\nJobsCSVfile=%1\nJobsPopupError=True\n"
                            "MessageComputer=DESK9\n")
                 .arg(csv));
    frmWatch& w = start();
    // Each restarted monitor stays up a minute by this clock: every kill below is an outage of
    // its own, reported once.
    qint64 clockMs = 0;
    context->monitorClock = [&clockMs] {
        return clockMs;
    };
    w.cmdStart_Click();
    ASSERT_TRUE(waitFor([&] { return w.lblStatus->text() == QStringLiteral("Connected"); }))
        << w.lblStatus->text().toStdString();
    const auto stopReports = [&] {
        int count = 0;
        for (const auto& popup : popups.sent) {
            // Each report goes out as both kinds of popup; counted once.
            count += popup.kind == QStringLiteral("msg") &&
                             popup.text.startsWith(QStringLiteral("Warning: The job monitor watching PS3 stopped at "))
                         ? 1
                         : 0;
        }
        return count;
    };
    const auto csvLines = [&] {
        return QString::fromUtf8(fileBytes(csv)).split(QStringLiteral("\r\n"));
    };

    QString added;
    for (int outage = 1; outage <= 2; ++outage) {
        SCOPED_TRACE(outage);
        const qint64 pid = w.monitorBinding()->mwcmnMonitor()->serverPid();
        ASSERT_GT(pid, 0);
        ASSERT_EQ(::kill(static_cast<pid_t>(pid), SIGKILL), 0);
        // The window cannot handle anything while the tool runs: these changes fall
        // between the two monitors.
        if (outage == 1) {
            added = addJob(QStringLiteral("Added.pdf"));
            sim({QStringLiteral("set-job"), QStringLiteral("PS3"), added, QStringLiteral("--status-mask"),
                 QStringLiteral("2")});
            sim({QStringLiteral("remove-job"), QStringLiteral("PS3"), gone});
        } else {
            sim({QStringLiteral("remove-job"), QStringLiteral("PS3"), added});
        }
        ASSERT_TRUE(waitFor([&] { return w.monitorDown(); }));
        EXPECT_TRUE(w.isWatching());
        EXPECT_TRUE(tray.tip.startsWith(QStringLiteral("HLV Watch\nJob monitor stopped at ")))
            << tray.tip.toStdString();
        EXPECT_EQ(stopReports(), outage);

        ASSERT_TRUE(waitFor([&] {
            const JobMonitorClient* monitor = w.monitorBinding()->mwcmnMonitor();
            return !w.monitorDown() && monitor && monitor->serverPid() != pid;
        }));
        EXPECT_EQ(tray.tip, QStringLiteral("HLV Watch"));
        EXPECT_EQ(stopReports(), outage);
        // The new monitor says "Connected" before the changes it found: they are recorded
        // before it is killed in turn, or the job that came and went would be news to nobody.
        EXPECT_TRUE(waitFor([&] { return csvLines().size() >= 3 + outage; }))
            << csvLines().join(QLatin1Char('\n')).toStdString();
        clockMs += MonitorRestart::kSteadyMs;
    }
    EXPECT_TRUE(waitFor([&] { return csvLines().size() >= 5; })) << csvLines().join(QLatin1Char('\n')).toStdString();
    const QStringList lines = csvLines();
    // Header, the two changes of the first outage, the one of the second, and the empty
    // text after the last line end.
    ASSERT_EQ(lines.size(), 5) << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(lines.at(1).startsWith(QStringLiteral("\"New\",\"PS3\",\"Error\",\"Added.pdf\"")))
        << lines.at(1).toStdString();
    EXPECT_TRUE(lines.at(2).startsWith(QStringLiteral("\"Deleted\",\"PS3\",\"OK\",\"Gone.docx\"")))
        << lines.at(2).toStdString();
    EXPECT_TRUE(lines.at(3).startsWith(QStringLiteral("\"Deleted\",\"PS3\",\"Error\",\"Added.pdf\"")))
        << lines.at(3).toStdString();
    EXPECT_FALSE(lines.join(QString()).contains(QStringLiteral("Kept.docx")));
    // The job in error alerted on both of its events, besides the two stop reports.
    EXPECT_EQ(popups.sent.size(), 2 * 2 + 2 * 2);
    Q_UNUSED(kept);

    w.cmdStop_Click();
    EXPECT_FALSE(w.monitorDown());
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

} // namespace
} // namespace hlv::test
