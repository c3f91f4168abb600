#include <csignal>

#include <QComboBox>
#include <QLabel>
#include <QProcessEnvironment>

#include "ConsoleFixture.h"
#include "console/ui/JobListWidget.h"
#include "jobmonitor/client/JobMonitorClient.h"
#include "jobmonitor/client/MonitorBinding.h"
#include "platform/ProcessControl.h"

namespace hlv::test {
namespace {

// The console with its real job monitor server process, watching a simulated server that
// the test changes behind the console's back.
class ConsoleMonitorE2ETest : public ConsoleFixture
{
protected:
    void configure(ConsoleContext& ctx) override
    {
        ctx.startJobMonitor = true;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HLV_PRINT_SYSTEM"), QStringLiteral("sim:") + simDir);
        ctx.monitorEnvironment = environment;
    }

    static int rowOf(const JobListWidget* list, const QString& name)
    {
        for (int i = 0; i < list->rowCount(); ++i) {
            if (list->row(i).name() == name) {
                return i;
            }
        }
        return -1;
    }

    LinuxProcessControl realProcesses;
};

TEST_F(ConsoleMonitorE2ETest, JobAddedChangedRemoved_BothListsFollowAndJobIsLogged)
{
    processControl = &realProcesses;
    addQueue(QStringLiteral("PS1"), QStringLiteral("Sales"));
    addQueue(QStringLiteral("PS1"), QStringLiteral("Admin"));
    writeIni(QStringLiteral("[Halvern]\nServer=PS1\nQueue=Sales\nStartMax=False\n"));
    FrmMain& w = start();
    ASSERT_TRUE(waitFor([&w] { return w.ServerStatus->text().startsWith(QStringLiteral("Server Connected")); }))
        << w.ServerStatus->text().toStdString();

    // GIVEN the monitor watches PS1, WHEN a job arrives in the selected queue...
    const qint64 id = addJob(QStringLiteral("PS1"), QStringLiteral("Sales"), QStringLiteral("Budget.xlsx"),
                             QStringLiteral("carol"), 4, 4096);
    const QString name = QStringLiteral("Sales, ") + QString::number(id);
    ASSERT_TRUE(waitFor([&] { return rowOf(w.JobList, name) >= 0 && rowOf(w.SearchList, name) >= 0; }));
    EXPECT_EQ(w.JobList->row(rowOf(w.JobList, name)).subItems.at(0), QStringLiteral("Budget.xlsx"));
    EXPECT_EQ(w.SearchList->row(rowOf(w.SearchList, name)).subItems.at(3), QStringLiteral("Sales"));
    EXPECT_TRUE(w.statusPanelText(1).startsWith(QStringLiteral("New Job ")));
    const QVariantMap logged = logRow(QString::number(id) + QStringLiteral("-3/14/2026 9:15:30 AM"));
    EXPECT_EQ(logged.value(QStringLiteral("User")).toString(), QStringLiteral("carol"));
    EXPECT_EQ(logged.value(QStringLiteral("Pages")).toString(), QStringLiteral("4"));

    // ...a job of another queue only reaches the all-jobs list...
    const qint64 other =
        addJob(QStringLiteral("PS1"), QStringLiteral("Admin"), QStringLiteral("Memo"), QStringLiteral("dave"), 1, 10);
    const QString otherName = QStringLiteral("Admin, ") + QString::number(other);
    ASSERT_TRUE(waitFor([&] { return rowOf(w.SearchList, otherName) >= 0; }));
    EXPECT_EQ(rowOf(w.JobList, otherName), -1);

    // ...the job changes...
    ASSERT_TRUE(server(QStringLiteral("PS1")).setJob(id, JobStatus::Printing, 1, std::nullopt).ok);
    ASSERT_TRUE(waitFor([&] {
        const int r = rowOf(w.JobList, name);
        return r >= 0 && w.JobList->row(r).text == QStringLiteral("Printing");
    }));
    EXPECT_EQ(w.SearchList->row(rowOf(w.SearchList, name)).text, QStringLiteral("Printing"));
    EXPECT_EQ(w.JobList->row(rowOf(w.JobList, name)).subItems.at(4), QStringLiteral("1"));

    // ...and leaves the server.
    ASSERT_TRUE(server(QStringLiteral("PS1")).removeJob(id).ok);
    ASSERT_TRUE(waitFor([&] { return rowOf(w.JobList, name) < 0 && rowOf(w.SearchList, name) < 0; }));
    EXPECT_GE(rowOf(w.SearchList, otherName), 0);
    EXPECT_EQ(logCount(), 2);

    // The shutdown ends the monitor's server process.
    ASSERT_NE(w.monitorBinding()->mwcmnMonitor(), nullptr);
    const qint64 pid = w.monitorBinding()->mwcmnMonitor()->serverPid();
    ASSERT_GT(pid, 0);
    w.close();
    EXPECT_TRUE(waitFor([pid] { return !QFile::exists(QStringLiteral("/proc/%1").arg(pid)); }));
}

// A monitor whose server process is killed is started again; the status bar says that it
// stopped, and the new monitor brings the job that arrived while none ran.
TEST_F(ConsoleMonitorE2ETest, MonitorKilled_NewMonitorStartedShownAndChangesMeanwhileListed)
{
    processControl = &realProcesses;
    addQueue(QStringLiteral("PS1"), QStringLiteral("Sales"));
    writeIni(QStringLiteral("[Halvern]\nServer=PS1\nQueue=Sales\nStartMax=False\n"));
    FrmMain& w = start();
    ASSERT_TRUE(waitFor([&w] { return w.ServerStatus->text().startsWith(QStringLiteral("Server Connected")); }))
        << w.ServerStatus->text().toStdString();
    for (int outage = 1; outage <= 2; ++outage) {
        SCOPED_TRACE(outage);
        ASSERT_NE(w.monitorBinding()->mwcmnMonitor(), nullptr);
        const qint64 pid = w.monitorBinding()->mwcmnMonitor()->serverPid();
        ASSERT_EQ(::kill(static_cast<pid_t>(pid), SIGKILL), 0);
        // Added while the window cannot handle anything: between the two monitors.
        const qint64 id = addJob(QStringLiteral("PS1"), QStringLiteral("Sales"), QStringLiteral("Meanwhile.pdf"),
                                 QStringLiteral("carol"), 1, 10);
        const QString name = QStringLiteral("Sales, ") + QString::number(id);
        ASSERT_TRUE(waitFor([&] { return w.statusPanelText(1).startsWith(QStringLiteral("Job Monitor Stopped ")); }))
            << w.statusPanelText(1).toStdString();
        EXPECT_TRUE(w.ServerStatus->text().startsWith(QStringLiteral("Server Disconnected ")));
        // The monitor of the first restart had not stayed up a minute: its end waits longer.
        EXPECT_EQ(w.monitorRestartDelayMs(), outage == 1 ? 1000 : 2000);
        ASSERT_TRUE(waitFor([&] {
            const JobMonitorClient* monitor = w.monitorBinding()->mwcmnMonitor();
            return monitor && monitor->serverPid() != pid &&
                   w.ServerStatus->text().startsWith(QStringLiteral("Server Connected"));
        })) << w.ServerStatus->text().toStdString();
        EXPECT_TRUE(waitFor([&] { return rowOf(w.SearchList, name) >= 0; }));
        EXPECT_EQ(w.monitorRestartDelayMs(), 0);
    }
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

} // namespace
} // namespace hlv::test
