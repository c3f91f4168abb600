#include <algorithm>
#include <cctype>
#include <string>

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>
#include <unistd.h>

#include "jobmonitor/client/MonitorBinding.h"
#include "jobmonitor/client/MonitorRestart.h"
#include "platform/ProcessControl.h"
#include "support/FakeProcessControl.h"

namespace hlv {
namespace {

using test::FakeProcessControl;

struct KillCase
{
    const char* what;
    ProcessEntry process;
    bool started;
    bool ended;
};

class EndStartedProcesses_Rule : public ::testing::TestWithParam<KillCase>
{};

TEST_P(EndStartedProcesses_Rule, NameAndOwnershipDecide)
{
    const KillCase& c = GetParam();
    FakeProcessControl processes;
    processes.uid = 1000;
    processes.processes = {c.process};
    QSet<qint64> started;
    if (c.started) {
        started.insert(c.process.pid);
    }
    const QList<qint64> ended = endStartedProcesses(processes, QStringLiteral("HlvJobMonitor"), started);
    EXPECT_EQ(!ended.isEmpty(), c.ended) << c.what;
    EXPECT_EQ(!processes.terminated.isEmpty(), c.ended) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EndStartedProcesses_Rule,
    ::testing::Values(KillCase{"exact name", {10, QStringLiteral("HlvJobMonitor"), 1000}, true, true},
                      KillCase{"capitals", {11, QStringLiteral("HLVJOBMONITOR"), 1000}, true, true},
                      KillCase{
                          "name merely contains it", {12, QStringLiteral("old-hlvjobmonitor-2"), 1000}, true, true},
                      KillCase{"blanks around the name", {13, QStringLiteral("  HlvJobMonitor  "), 1000}, true, true},
                      KillCase{"another console's monitor", {14, QStringLiteral("HlvJobMonitor"), 1000}, false, false},
                      KillCase{"another user's process", {15, QStringLiteral("HlvJobMonitor"), 0}, true, false},
                      KillCase{"ours but another program", {16, QStringLiteral("HlvWatch_Job"), 1000}, true, false},
                      KillCase{"shorter name than asked", {17, QStringLiteral("HlvJob"), 1000}, true, false}),
    [](const ::testing::TestParamInfo<KillCase>& param) {
        std::string name = param.param.what;
        std::replace_if(
            name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
        return name;
    });

TEST(EndStartedProcesses, WindowsStyleName_MatchesProgramWithoutExtension)
{
    FakeProcessControl processes;
    processes.processes = {{10, QStringLiteral("HlvJobMonitor"), 1000}, {11, QStringLiteral("HlvWatch_Job"), 1000}};
    endStartedProcesses(processes, QStringLiteral("HlvJobMonitor.exe"), {10, 11});
    EXPECT_EQ(processes.terminated, QList<qint64>{10});
    processes.terminated.clear();
    endStartedProcesses(processes, QStringLiteral("HLVWATCH_JOB.EXE"), {10, 11});
    EXPECT_EQ(processes.terminated, QList<qint64>{11});
}

TEST(EndStartedProcesses, ListingFails_NothingEnded)
{
    FakeProcessControl processes;
    processes.processes = {{10, QStringLiteral("HlvJobMonitor"), 1000}};
    processes.listFails = true;
    EXPECT_TRUE(endStartedProcesses(processes, QStringLiteral("HlvJobMonitor"), {10}).isEmpty());
    EXPECT_TRUE(processes.terminated.isEmpty());
}

TEST(EndStartedProcesses, SeveralMatches_AllOfOursInListOrder)
{
    FakeProcessControl processes;
    processes.processes = {{30, QStringLiteral("HlvJobMonitor"), 1000},
                           {20, QStringLiteral("HlvJobMonitor"), 1000},
                           {25, QStringLiteral("HlvJobMonitor"), 1000}};
    endStartedProcesses(processes, QStringLiteral("hlvjobmonitor"), {30, 25});
    EXPECT_EQ(processes.terminated, (QList<qint64>{30, 25}));
}

TEST(MonitorBinding_NothingStarted, StopAndKill_TouchNothing)
{
    FakeProcessControl processes;
    processes.processes = {{10, QStringLiteral("HlvJobMonitor"), 1000}};
    MonitorBinding binding(QStringLiteral("HlvJobMonitor"), QStringLiteral("{X}"), processes);
    QStringList events;
    QObject::connect(&binding, &MonitorBinding::ConnectEvent, [&](const QString& t) { events << t; });
    binding.StopJobMonitor();
    binding.KillProcess(QStringLiteral("HlvJobMonitor"));
    EXPECT_TRUE(processes.terminated.isEmpty());
    EXPECT_TRUE(events.isEmpty());
    EXPECT_EQ(binding.mwcmnMonitor(), nullptr);
}

TEST(MonitorBinding_MissingProgram, StartFailsQuietly)
{
    FakeProcessControl processes;
    MonitorBinding binding(QStringLiteral("NoSuchMonitorProgram"), QStringLiteral("{X}"), processes);
    binding.setProgramDir(QStringLiteral("/nonexistent"));
    binding.StartJobMonitor(QStringLiteral("srv"));
    EXPECT_EQ(binding.mwcmnMonitor(), nullptr);
    EXPECT_TRUE(binding.startedProcesses().isEmpty());
}

// The restart rule over a clock the test moves: steps are "C" (the monitor says Connected),
// "+N" (N seconds pass), "E" (it ends: its wait and "!" when the end is reported).
TEST(MonitorRestart_Rule, OneReportPerOutageUntilAMonitorStaysUp)
{
    const struct
    {
        const char* what;
        const char* steps;
        const char* ends;
    } cases[] = {
        {"a crash loop that connects each time", "C E C +1 E C +30 E C E", "1!,2,4,4"},
        {"a monitor that stayed up a minute", "C E C +60 E", "1!,1!"},
        {"a monitor that never starts", "E +120 E E", "1!,2,4"},
        {"stop and start again in between", "C E R C E", "1!,1!"},
    };
    for (const auto& c : cases) {
        qint64 ms = 0;
        MonitorRestart rule(1000, 4000, [&ms] { return ms; });
        QStringList ends;
        for (const QString& step : QString::fromLatin1(c.steps).split(QLatin1Char(' '))) {
            if (step == QLatin1String("C")) {
                rule.monitorConnected();
            } else if (step == QLatin1String("R")) {
                rule.reset();
            } else if (step.startsWith(QLatin1Char('+'))) {
                ms += step.mid(1).toLongLong() * 1000;
            } else {
                const MonitorRestart::Stop stop = rule.monitorEnded();
                ends << QString::number(stop.waitMs / 1000) + (stop.outageBegins ? QStringLiteral("!") : QString());
            }
        }
        EXPECT_EQ(ends.join(QLatin1Char(',')), QLatin1String(c.ends)) << c.what;
    }
}

// The real process table.
TEST(LinuxProcessControl_List, OwnProcessListedWithNameAndUser)
{
    LinuxProcessControl processes;
    QList<ProcessEntry> list;
    ASSERT_TRUE(processes.listProcesses(list));
    const qint64 me = QCoreApplication::applicationPid();
    const auto it = std::find_if(list.cbegin(), list.cend(), [me](const ProcessEntry& p) { return p.pid == me; });
    ASSERT_NE(it, list.cend());
    EXPECT_EQ(it->name, QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    EXPECT_EQ(it->uid, static_cast<qint64>(::getuid()));
    EXPECT_EQ(processes.currentUid(), static_cast<qint64>(::getuid()));
}

TEST(LinuxProcessControl_Terminate, ChildEndsBySigterm)
{
    QProcess child;
    child.start(QStringLiteral("/bin/sleep"), {QStringLiteral("60")});
    ASSERT_TRUE(child.waitForStarted(10000));
    LinuxProcessControl processes;
    QList<ProcessEntry> list;
    ASSERT_TRUE(processes.listProcesses(list));
    const qint64 pid = child.processId();
    const auto it = std::find_if(list.cbegin(), list.cend(), [pid](const ProcessEntry& p) { return p.pid == pid; });
    ASSERT_NE(it, list.cend());
    EXPECT_EQ(it->name, QStringLiteral("sleep"));

    EXPECT_TRUE(processes.terminate(pid));
    ASSERT_TRUE(child.waitForFinished(10000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);
    EXPECT_FALSE(processes.terminate(0));
}

TEST(LinuxProcessControl_Root, MissingProcFolder_ListFails)
{
    LinuxProcessControl processes(QStringLiteral("/nonexistent-proc"));
    QList<ProcessEntry> list;
    EXPECT_FALSE(processes.listProcesses(list));
}

} // namespace
} // namespace hlv
