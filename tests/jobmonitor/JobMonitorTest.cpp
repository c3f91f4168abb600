#include "jobmonitor/JobMonitor.h"

#include <algorithm>

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "FakePrintSystem.h"
#include "jobmonitor/JobDetailRecord.h"
#include "jobmonitor/MonitorServer.h"
#include "jobmonitor/WireProtocol.h"
#include "platform/print/SimPrintStore.h"
#include "platform/print/SimPrintSystem.h"
#include "support/WaitFor.h"

namespace hlv {
namespace {

using test::FakePrintSystem;
using test::sampleJob;
using test::waitFor;

// Every event of a monitor as one text: "Connect <text>" or "<action> <record>".
struct EventLog
{
    QStringList events;

    void attach(JobMonitor& monitor)
    {
        QObject::connect(&monitor, &JobMonitor::ConnectEvent,
                         [this](const QString& text) { events << QStringLiteral("Connect ") + text; });
        QObject::connect(&monitor, &JobMonitor::JobEvent, [this](const QString& action, const QString& record) {
            events << action + QLatin1Char(' ') + record;
        });
    }
};

class JobMonitorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        server = printSystem.addServer(QStringLiteral("srv"));
        log.attach(monitor);
    }

    // Starts on "srv" and waits for the connect tick; readings then only happen by hand.
    void connectByHand()
    {
        monitor.setPollInterval(24 * 3600 * 1000);
        monitor.StartMonitor(QStringLiteral("srv"));
        ASSERT_TRUE(waitFor([this] { return log.events.contains(QStringLiteral("Connect Connected")); }));
        log.events.clear();
    }

    FakePrintSystem printSystem;
    std::shared_ptr<FakePrintSystem::ServerState> server;
    JobMonitor monitor{printSystem};
    EventLog log;
};

TEST_F(JobMonitorTest, StopBeforeStart_DisconnectedOnly)
{
    monitor.StopMonitor();
    EXPECT_EQ(log.events, QStringList{QStringLiteral("Connect Disconnected")});
    EXPECT_FALSE(monitor.monitorForm().tmrConnect.isActive());
    EXPECT_FALSE(monitor.monitorForm().tmrEvent.isActive());
    EXPECT_TRUE(printSystem.connectedTo.isEmpty());
}

TEST_F(JobMonitorTest, UnreachableServer_OneConnectionErrorAndNoTimer)
{
    monitor.StartMonitor(QStringLiteral("nowhere"));
    // Raised within the call, and nothing is left armed that could say "Connected" later.
    EXPECT_EQ(log.events, QStringList{QStringLiteral("Connect WMI Connection Error")});
    EXPECT_FALSE(monitor.monitorForm().tmrConnect.isActive());
    EXPECT_FALSE(monitor.monitorForm().tmrEvent.isActive());
    EXPECT_EQ(monitor.state(), JobMonitor::State::Stopped);
}

TEST_F(JobMonitorTest, Start_ReturnsBeforeFirstReading_ExistingJobsNotNews)
{
    server->jobs = {sampleJob(1), sampleJob(2)};
    monitor.StartMonitor(QStringLiteral("srv"));
    EXPECT_TRUE(log.events.isEmpty());
    EXPECT_EQ(server->readings, 0);
    EXPECT_TRUE(monitor.monitorForm().tmrConnect.isActive());

    ASSERT_TRUE(waitFor([this] { return !log.events.isEmpty(); }));
    EXPECT_EQ(log.events, QStringList{QStringLiteral("Connect Connected")});
    EXPECT_EQ(monitor.state(), JobMonitor::State::Waiting);
    EXPECT_TRUE(monitor.monitorForm().tmrEvent.isActive());
    // This server keeps no track of its changes: whole lists are compared.
    EXPECT_FALSE(monitor.watching());
}

TEST_F(JobMonitorTest, FirstReadingFails_QueryErrorThenRetried_ConnectedWithoutNews)
{
    server->jobsFail = true;
    server->jobs = {sampleJob(1)};
    monitor.setRetryDelays(10, 10);
    monitor.StartMonitor(QStringLiteral("srv"));
    ASSERT_TRUE(waitFor([this] { return !log.events.isEmpty(); }));
    EXPECT_EQ(log.events, QStringList{QStringLiteral("Connect WMI Query Error")});
    EXPECT_FALSE(monitor.monitorForm().tmrEvent.isActive());
    EXPECT_EQ(monitor.state(), JobMonitor::State::Retrying);

    server->jobsFail = false;
    ASSERT_TRUE(waitFor([this] { return log.events.size() >= 2; }));
    // Job 1 was there before the first reading that worked: not news.
    EXPECT_EQ(log.events,
              (QStringList{QStringLiteral("Connect WMI Query Error"), QStringLiteral("Connect Connected")}));
}

TEST_F(JobMonitorTest, JobAddedChangedRemoved_NewModifiedDeletedWithLastState)
{
    connectByHand();
    PrintJobInfo job = sampleJob(4);
    server->jobs = {job};
    monitor.MonitorEvent();
    job.PagesPrinted = 1;
    job.StatusMask = 16;
    server->jobs = {job};
    monitor.MonitorEvent();
    monitor.MonitorEvent(); // no change, no event
    server->jobs.clear();
    monitor.MonitorEvent();

    const PrintJobInfo first = sampleJob(4);
    EXPECT_EQ(log.events, (QStringList{QStringLiteral("New ") + buildJobDetailRecord(first),
                                       QStringLiteral("Modified ") + buildJobDetailRecord(job),
                                       QStringLiteral("Deleted ") + buildJobDetailRecord(job)}));
}

TEST_F(JobMonitorTest, ServerLostAndBack_QueryErrorOnce_BackOff_ConnectedThenWhatChanged)
{
    server->jobs = {sampleJob(1), sampleJob(2)};
    connectByHand();
    monitor.setRetryDelays(5, 40);
    // Stopped: the reading fails, and so does every connect until it comes back.
    server->jobsFail = true;
    server->connectFails = true;
    const qsizetype connectsBefore = printSystem.connectedTo.size();
    monitor.MonitorEvent();
    EXPECT_EQ(log.events, QStringList{QStringLiteral("Connect WMI Query Error")});
    EXPECT_EQ(monitor.state(), JobMonitor::State::Retrying);
    EXPECT_FALSE(monitor.monitorForm().tmrEvent.isActive());
    EXPECT_TRUE(monitor.monitorForm().tmrConnect.isActive());
    EXPECT_EQ(monitor.retryDelay(), 5);

    // It keeps trying, waiting longer each time up to the limit, and says nothing more.
    ASSERT_TRUE(waitFor([&] { return printSystem.connectedTo.size() >= connectsBefore + 5; }));
    EXPECT_EQ(monitor.retryDelay(), 40);
    EXPECT_EQ(log.events.size(), 1);

    // Back, with job 1 gone, job 2 changed and job 3 new meanwhile.
    PrintJobInfo changed = sampleJob(2);
    changed.StatusMask = JobStatus::Printing;
    server->jobs = {changed, sampleJob(3)};
    server->jobsFail = false;
    server->connectFails = false;
    ASSERT_TRUE(waitFor([this] { return log.events.size() >= 5; }));
    EXPECT_EQ(log.events, (QStringList{QStringLiteral("Connect WMI Query Error"), QStringLiteral("Connect Connected"),
                                       QStringLiteral("Modified ") + buildJobDetailRecord(changed),
                                       QStringLiteral("New ") + buildJobDetailRecord(sampleJob(3)),
                                       QStringLiteral("Deleted ") + buildJobDetailRecord(sampleJob(1))}));
    EXPECT_EQ(monitor.state(), JobMonitor::State::Waiting);

    // Lost again right after the connect: the wait goes on from where it was.
    EXPECT_EQ(monitor.retryDelay(), 40);
    server->jobsFail = true;
    monitor.MonitorEvent();
    EXPECT_EQ(monitor.retryDelay(), 40);
    server->jobsFail = false;
    ASSERT_TRUE(waitFor([this] { return monitor.state() == JobMonitor::State::Waiting; }));
    // Only a connection that answers steadily starts the next loss's wait afresh.
    monitor.setSteadyTime(0);
    monitor.MonitorEvent();
    EXPECT_EQ(monitor.retryDelay(), 0);

    monitor.StopMonitor();
    EXPECT_EQ(log.events.last(), QStringLiteral("Connect Disconnected"));
    EXPECT_FALSE(monitor.monitorForm().tmrConnect.isActive());
}

TEST_F(JobMonitorTest, StopWhileRetrying_NoMoreAttempts)
{
    connectByHand();
    monitor.setRetryDelays(5, 5);
    server->jobsFail = true;
    monitor.MonitorEvent();
    ASSERT_TRUE(monitor.monitorForm().tmrConnect.isActive());
    monitor.StopMonitor();
    EXPECT_FALSE(monitor.monitorForm().tmrConnect.isActive());
    EXPECT_EQ(monitor.state(), JobMonitor::State::Stopped);
    EXPECT_EQ(log.events,
              (QStringList{QStringLiteral("Connect WMI Query Error"), QStringLiteral("Connect Disconnected")}));
}

// A server that keeps track of its changes: only the jobs it names are read, for a printer
// that changed state only that printer (its jobs' status follows from it), and the whole
// list only when it lost track.
TEST_F(JobMonitorTest, Watch_ReadsOnlyNamedJobsAndPrinters_EndsWithTheMonitor)
{
    server->offersWatch = true;
    PrintJobInfo other = sampleJob(7);
    other.Name = QStringLiteral("Plotter, 7");
    other.StatusMask = 0;
    other.ownStatus = 0; // waiting: shows its printer's trouble
    PrinterInfo plotter;
    plotter.Name = plotter.ShareName = QStringLiteral("Plotter");
    server->printers = {plotter};
    server->jobs = {sampleJob(1), sampleJob(2), sampleJob(3), other};
    connectByHand();
    ASSERT_TRUE(monitor.watching());
    const int wholeReadings = server->readings;

    PrintJobInfo changed = sampleJob(2);
    changed.PagesPrinted = 2;
    // Stopped with a complaint, and no job event: the waiting job shows the error.
    server->printers[0].Status = PrinterStatus::Paused | PrinterStatus::Error;
    PrintJobInfo otherChanged = other;
    otherChanged.StatusMask = JobStatus::Error;
    server->jobs = {sampleJob(1), changed, other, sampleJob(9)};
    monitor.MonitorEvent(); // nothing named yet: nothing read
    EXPECT_EQ(server->partReadings, 0);
    EXPECT_TRUE(log.events.isEmpty());

    server->pending.jobIds = {2, 3, 9};
    server->pending.queues = {QStringLiteral("Plotter")};
    monitor.MonitorEvent();
    EXPECT_EQ(server->readings, wholeReadings);
    EXPECT_EQ(server->partReadings, 3); // the named jobs, not the printer's queue
    EXPECT_EQ(server->printerReadings, 1);
    EXPECT_EQ(log.events, (QStringList{QStringLiteral("Modified ") + buildJobDetailRecord(changed),
                                       QStringLiteral("New ") + buildJobDetailRecord(sampleJob(9)),
                                       QStringLiteral("Deleted ") + buildJobDetailRecord(sampleJob(3)),
                                       QStringLiteral("Modified ") + buildJobDetailRecord(otherChanged)}));
    server->jobs[2] = otherChanged;

    // A printer on which no job waits (its jobs are not reading its state) is not read.
    server->pending.queues = {QStringLiteral("Laser")};
    monitor.MonitorEvent();
    EXPECT_EQ(server->printerReadings, 1);

    // Lost track: the whole list, compared as ever (job 1 goes unnamed).
    log.events.clear();
    server->jobs = {changed, otherChanged, sampleJob(9)};
    server->pending.everything = true;
    monitor.MonitorEvent();
    EXPECT_EQ(server->readings, wholeReadings + 1);
    EXPECT_EQ(log.events, QStringList{QStringLiteral("Deleted ") + buildJobDetailRecord(sampleJob(1))});

    // While the watch works, the whole list is still compared now and then.
    log.events.clear();
    monitor.setWholeListInterval(0);
    server->jobs.removeFirst(); // gone unnamed
    monitor.MonitorEvent();
    EXPECT_EQ(server->readings, wholeReadings + 2);
    EXPECT_EQ(log.events, QStringList{QStringLiteral("Deleted ") + buildJobDetailRecord(changed)});

    monitor.StopMonitor();
    EXPECT_FALSE(monitor.watching());
    EXPECT_EQ(server->watchesCancelled, 1);
    EXPECT_EQ(server->watchesAbandoned, 0);
}

TEST_F(JobMonitorTest, Watch_ServerLost_WatchAbandonedAndMadeAgain)
{
    server->offersWatch = true;
    connectByHand();
    monitor.setRetryDelays(5, 5);
    server->jobsFail = true;
    monitor.MonitorEvent();
    EXPECT_EQ(log.events, QStringList{QStringLiteral("Connect WMI Query Error")});
    // A lost server is not asked to end the watch: that would wait on it once more.
    EXPECT_EQ(server->watchesAbandoned, 1);
    EXPECT_EQ(server->watchesCancelled, 0);
    server->jobsFail = false;
    ASSERT_TRUE(waitFor([this] { return log.events.size() >= 2; }));
    EXPECT_EQ(log.events.last(), QStringLiteral("Connect Connected"));
    EXPECT_TRUE(monitor.watching());
    EXPECT_EQ(server->watchesMade, 2);
}

// A server that makes the watch but refuses to let it be read is not lost: the watch is
// given up (the server asked to cancel it), whole lists tell the changes, and a watch is
// asked for again only after a while.
TEST_F(JobMonitorTest, WatchRefused_NoLostServer_WatchCancelled_WholeListsCompared)
{
    server->offersWatch = true;
    server->watchRefused = true;
    server->jobs = {sampleJob(1)};
    connectByHand();
    ASSERT_TRUE(monitor.watching());
    server->jobs = {sampleJob(1), sampleJob(2)};
    monitor.MonitorEvent();
    EXPECT_EQ(log.events, QStringList{QStringLiteral("New ") + buildJobDetailRecord(sampleJob(2))});
    EXPECT_FALSE(monitor.watching());
    EXPECT_EQ(server->watchesCancelled, 1);
    EXPECT_EQ(server->watchesAbandoned, 0);
    for (int i = 0; i < 3; ++i) {
        monitor.MonitorEvent();
    }
    EXPECT_EQ(server->watchesMade, 1);
    EXPECT_EQ(monitor.state(), JobMonitor::State::Waiting);

    monitor.setWatchRetryInterval(0);
    monitor.MonitorEvent();
    EXPECT_EQ(server->watchesMade, 2);
    EXPECT_EQ(server->watchesCancelled, 2); // refused again, and cancelled again
    EXPECT_EQ(log.events.size(), 1);
}

// Comparing whole lists, a job no longer listed is asked after in the server's history: one
// that printed leaves as printed, not with the error it showed while it waited.
TEST_F(JobMonitorTest, WholeLists_JobGoneFromList_DeletedAsTheHistoryTellsIt)
{
    PrintJobInfo waiting = sampleJob(1);
    waiting.StatusMask = JobStatus::Error;
    server->jobs = {waiting, sampleJob(2)};
    connectByHand();
    PrintJobInfo printed = waiting;
    printed.StatusMask = JobStatus::Printed;
    printed.PagesPrinted = 3;
    printed.ended = true;
    server->history = {printed};
    server->jobs = {sampleJob(2)};
    monitor.MonitorEvent();
    EXPECT_EQ(log.events, QStringList{QStringLiteral("Deleted ") + buildJobDetailRecord(printed)});
}

// Notices of one job split over several answers, repeated after its end, or naming it after
// a whole-list comparison saw it end: the job is reported New once and Deleted once, however
// often the server's history is read for it.
TEST(JobMonitor_Once, NoticesSplitOrRepeated_NewOnceAndDeletedOnce)
{
    struct Batch
    {
        QList<qint64> listed; // jobs the server lists
        bool named = true;    // the watch names job 7
        bool whole = false;   // the whole list is compared
    };
    const struct
    {
        const char* what;
        QList<Batch> batches;
    } cases[] = {
        {"created, ended, the end told again", {{{7}}, {{}}, {{}}}},
        {"came and ended unseen, told twice", {{{}}, {{}}}},
        {"seen to end by a whole list, then told", {{{7}}, {{}, false, true}, {{}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakePrintSystem printSystem;
        const auto server = printSystem.addServer(QStringLiteral("srv"));
        server->offersWatch = true;
        PrintJobInfo printed = sampleJob(7);
        printed.StatusMask = JobStatus::Printed;
        printed.ended = true;
        server->history = {printed};
        JobMonitor monitor(printSystem);
        EventLog log;
        log.attach(monitor);
        monitor.setPollInterval(24 * 3600 * 1000);
        monitor.StartMonitor(QStringLiteral("srv"));
        ASSERT_TRUE(waitFor([&] { return log.events.contains(QStringLiteral("Connect Connected")); }));
        for (const Batch& b : c.batches) {
            server->jobs.clear();
            for (const qint64 id : b.listed) {
                server->jobs.append(sampleJob(id));
            }
            PrintJobInfo told;
            told.JobId = 7;
            told.Name = QStringLiteral("Laser, 7");
            told.StatusMask = b.listed.isEmpty() ? JobStatus::Printed : 0;
            told.ended = b.listed.isEmpty();
            server->pending = {};
            if (b.named) {
                server->pending.jobIds = {7};
                server->pending.told = {told};
            }
            monitor.setWholeListInterval(b.whole ? 0 : 3600 * 1000);
            monitor.MonitorEvent();
        }
        const auto count = [&](const QString& action) {
            return std::count_if(log.events.cbegin(), log.events.cend(),
                                 [&](const QString& e) { return e.startsWith(action + QLatin1Char(' ')); });
        };
        EXPECT_EQ(count(QStringLiteral("New")), 1) << log.events.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(count(QStringLiteral("Deleted")), 1) << log.events.join(QLatin1Char('\n')).toStdString();
    }
}

TEST_F(JobMonitorTest, StopWhileWaiting_NoMoreReadings)
{
    connectByHand();
    monitor.StopMonitor();
    EXPECT_FALSE(monitor.monitorForm().tmrEvent.isActive());
    server->jobs = {sampleJob(1)};
    const int readings = server->readings;
    monitor.MonitorEvent();
    EXPECT_EQ(server->readings, readings);
    EXPECT_EQ(log.events, QStringList{QStringLiteral("Connect Disconnected")});
}

TEST_F(JobMonitorTest, StartAgain_TakesNewBaseline)
{
    connectByHand();
    server->jobs = {sampleJob(1)};
    monitor.StopMonitor();
    log.events.clear();
    monitor.StartMonitor(QStringLiteral("srv"));
    ASSERT_TRUE(waitFor([this] { return !log.events.isEmpty(); }));
    monitor.MonitorEvent();
    // Job 1 was there when the monitor started again: no "New" for it.
    EXPECT_EQ(log.events, QStringList{QStringLiteral("Connect Connected")});
    EXPECT_EQ(printSystem.connectedTo.size(), 2);
}

TEST_F(JobMonitorTest, EventTimer_ReadsRepeatedly_ReportsChangeByItself)
{
    monitor.setPollInterval(20);
    monitor.StartMonitor(QStringLiteral("srv"));
    ASSERT_TRUE(waitFor([this] { return log.events.contains(QStringLiteral("Connect Connected")); }));
    ASSERT_TRUE(waitFor([this] { return server->readings >= 3; }));
    server->jobs = {sampleJob(8)};
    ASSERT_TRUE(waitFor([this] { return log.events.size() >= 2; }));
    EXPECT_EQ(log.events.at(1), QStringLiteral("New ") + buildJobDetailRecord(sampleJob(8)));
}

TEST_F(JobMonitorTest, ReceiverStopsDuringEvents_RestNotRaised_TimerStaysOff)
{
    connectByHand();
    QObject::connect(&monitor, &JobMonitor::JobEvent, [this] { monitor.StopMonitor(); });
    server->jobs = {sampleJob(1), sampleJob(2)};
    monitor.MonitorEvent();
    EXPECT_EQ(log.events.size(), 2); // New 1, then the Disconnected its handler caused
    EXPECT_EQ(log.events.at(1), QStringLiteral("Connect Disconnected"));
    EXPECT_FALSE(monitor.monitorForm().tmrEvent.isActive());
}

// A simulated server is read again only after another program changed its file.
TEST(SimJobWatch, ChangedOnlyAfterAnotherWriter)
{
    QTemporaryDir dir;
    QString error;
    auto writer = sim::SimPrintStore::create(dir.path(), QStringLiteral("srv"), QStringLiteral("SRV"), &error);
    ASSERT_TRUE(writer) << error.toStdString();
    sim::NewQueue queue;
    queue.name = QStringLiteral("Laser");
    ASSERT_TRUE(writer->addQueue(queue));
    SimPrintSystem system(dir.path());
    const auto server = system.connect(QStringLiteral("srv"), &error);
    ASSERT_TRUE(server) << error.toStdString();
    const auto watch = server->watchJobs();
    ASSERT_TRUE(watch);

    JobChanges changes;
    ASSERT_TRUE(watch->changes(changes));
    EXPECT_TRUE(changes.isEmpty());
    QList<PrintJobInfo> jobs;
    ASSERT_TRUE(server->jobs(jobs)); // reading is no change
    ASSERT_TRUE(watch->changes(changes));
    EXPECT_TRUE(changes.isEmpty());

    sim::NewJob job;
    job.queue = QStringLiteral("Laser");
    qint64 id = 0;
    ASSERT_TRUE(writer->addJob(job, id));
    ASSERT_TRUE(watch->changes(changes));
    EXPECT_TRUE(changes.everything);
    ASSERT_TRUE(watch->changes(changes));
    EXPECT_TRUE(changes.isEmpty());
}

TEST(MonitorForm, TimersAreOneShotsAndOff)
{
    Monitor form;
    EXPECT_EQ(Monitor::caption(), QStringLiteral("Monitor - Modal"));
    for (const QTimer* timer : {&form.tmrConnect, &form.tmrEvent}) {
        EXPECT_TRUE(timer->isSingleShot());
        EXPECT_FALSE(timer->isActive());
        EXPECT_EQ(timer->interval(), 1);
    }
}

// The server end of the link over a fake print system.
class MonitorServerTest : public ::testing::Test
{
protected:
    MonitorServerTest()
        : link(printSystem, {QStringLiteral("{C02EE862-9F1E-41CE-BD34-A8FB11E03F84}"), QStringLiteral("1.00.0005")},
               [this](const QByteArray& line) { written << line; })
    {}
    FakePrintSystem printSystem;
    QList<QByteArray> written;
    MonitorServer link;
};

TEST_F(MonitorServerTest, Hello_ExactFirstLine)
{
    link.sayHello();
    ASSERT_EQ(written.size(), 1);
    EXPECT_EQ(written.at(0), QByteArray("HELLO\t{C02EE862-9F1E-41CE-BD34-A8FB11E03F84}\t1.00.0005\n"));
}

TEST_F(MonitorServerTest, Commands_BecomeCallsAndEventsBecomeLines)
{
    link.handleLine("StopMonitor");
    link.handleLine("StartMonitor\tfar\\taway");
    link.handleLine("Garbage\tline");
    link.handleLine("");
    link.handleLine("StartMonitor"); // without its argument: ignored
    EXPECT_EQ(printSystem.connectedTo, QStringList{QStringLiteral("far\taway")});
    EXPECT_EQ(written, (QList<QByteArray>{"ConnectEvent\tDisconnected\n", "ConnectEvent\tWMI Connection Error\n"}));
}

TEST_F(MonitorServerTest, JobEvent_RecordEscapedOnTheWire)
{
    const auto server = printSystem.addServer(QStringLiteral("srv"));
    link.monitor().setPollInterval(24 * 3600 * 1000);
    link.handleLine("StartMonitor\tsrv");
    ASSERT_TRUE(test::waitFor([this] { return written.size() >= 2; }));
    server->jobs = {sampleJob(3, QStringLiteral("a\tb\nc"))};
    link.monitor().MonitorEvent();
    ASSERT_EQ(written.size(), 3);
    // The jobs found at the start (none) come before "Connected".
    EXPECT_EQ(written.at(0), QByteArray("JobList\n"));
    EXPECT_EQ(written.at(1), QByteArray("ConnectEvent\tConnected\n"));
    EXPECT_TRUE(written.at(2).startsWith("JobEvent\tNew\t8|a\\tb\\nc|\\\\\\\\ws01|alice|Laser|"));
}

// A monitor started again after the last one stopped: it is told the jobs as the last one
// reported them (the list it found, the events since) and reports what changed meanwhile,
// and nothing for a job that did not change, whatever its document name holds.
TEST_F(MonitorServerTest, ResumeMonitor_ReportsWhatChangedSinceTheKnownJobs)
{
    const auto server = printSystem.addServer(QStringLiteral("srv"));
    link.monitor().setPollInterval(24 * 3600 * 1000);
    const PrintJobInfo kept = sampleJob(3, QStringLiteral("a|b"));
    const PrintJobInfo gone = sampleJob(4);
    PrintJobInfo changed = sampleJob(5);
    server->jobs = {kept, gone, changed};
    link.handleLine("StartMonitor\tsrv");
    ASSERT_TRUE(test::waitFor([this] { return written.size() >= 2; }));
    EXPECT_EQ(written.at(0), wire::encodeMessage({QStringLiteral("JobList"), buildJobDetailRecord(kept),
                                                  buildJobDetailRecord(gone), buildJobDetailRecord(changed)}));
    written.clear();

    server->jobs = {kept, gone, changed};
    link.handleLine(
        wire::encodeMessage({QStringLiteral("ResumeMonitor"), QStringLiteral("srv"), buildJobDetailRecord(kept),
                             buildJobDetailRecord(gone), buildJobDetailRecord(changed)})
            .chopped(1));
    changed.StatusMask = JobStatus::Error;
    const PrintJobInfo added = sampleJob(6);
    server->jobs = {kept, changed, added};
    ASSERT_TRUE(test::waitFor([this] { return written.size() >= 4; }));
    EXPECT_EQ(
        written,
        (QList<QByteArray>{
            "ConnectEvent\tConnected\n",
            wire::encodeMessage(
                {QStringLiteral("JobEvent"), QStringLiteral("Modified"), buildJobDetailRecord(changed)}),
            wire::encodeMessage({QStringLiteral("JobEvent"), QStringLiteral("New"), buildJobDetailRecord(added)}),
            wire::encodeMessage({QStringLiteral("JobEvent"), QStringLiteral("Deleted"), buildJobDetailRecord(gone)})}));
}

} // namespace
} // namespace hlv
