// The window over print servers that hang: every call that may wait runs on the print
// worker, the window answers its input meanwhile, and answers nobody wants any more are
// dropped.
#include <algorithm>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include "ConsoleFixture.h"
#include "console/access/PrintWorker.h"
#include "console/reports/WMIReports.h"
#include "console/ui/ConsolePasswordPrompt.h"
#include "console/ui/JobListWidget.h"
#include "console/ui/VbColour.h"
#include "support/GatedPrintSystem.h"
#include "support/Settle.h"

namespace hlv::test {
namespace {

class WorkerTest : public ConsoleFixture
{
protected:
    void SetUp() override
    {
        ConsoleFixture::SetUp();
        auto gated = std::make_unique<GatedPrintSystem>(std::move(printSystem));
        gate = gated.get();
        printSystem = std::move(gated);
        addQueue(QStringLiteral("PS1"), QStringLiteral("Sales"));
        addQueue(QStringLiteral("PS2"), QStringLiteral("Sales"));
        addQueue(QStringLiteral("PS2"), QStringLiteral("Admin"));
        addQueue(QStringLiteral("PS9"), QStringLiteral("Silent"));
    }
    void TearDown() override
    {
        for (const char* name : {"PS1", "PS2", "PS9"}) {
            gate->release(QString::fromLatin1(name));
        }
        ConsoleFixture::TearDown();
        // A lane left behind by a close ends once its call has returned.
        EXPECT_TRUE(waitFor([] { return PrintWorker::runningLanes() == 0; }));
    }
    FrmMain& startOn(const QString& extra = QString())
    {
        writeIni(QStringLiteral("[Halvern]\nServer=PS1\nQueue=Sales\nAudit=True\nStartMax=False\n") + extra);
        return start();
    }
    // Types a server name over the server box's text and presses Enter, key by key.
    static void searchByKeys(const QString& server)
    {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), server);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }
    // Runs action from the window's events once n calls wait at the gate: inside whatever
    // wait the window is in by then.
    void whenWaiting(FrmMain& w, int n, std::function<void()> action)
    {
        auto* poll = new QTimer(&w);
        poll->setInterval(5);
        QObject::connect(poll, &QTimer::timeout, &w, [this, poll, n, action = std::move(action)] {
            if (gate->waiting() == n) {
                poll->stop();
                poll->deleteLater();
                action();
            }
        });
        poll->start();
    }
    // The keys of the job menu go to the job list, as an operator working on jobs has it.
    static void focusJobList(FrmMain& w)
    {
        focusServerBox(w);
        w.JobList->setFocus();
        ASSERT_TRUE(waitFor([&w] { return QApplication::focusWidget() == w.JobList; }));
    }
    QStringList queueEntries(FrmMain& w) const
    {
        QStringList out;
        for (int i = 0; i < w.CurrentPrintQueue->count(); ++i) {
            out << w.CurrentPrintQueue->itemText(i);
        }
        return out;
    }

    // The window's pulse while a test runs: the longest time between two beats of a 20 ms
    // timer, recorded with the test's results.
    struct Pulse
    {
        QElapsedTimer since;
        qint64 longest = 0;
        QTimer beat;
        Pulse()
        {
            QObject::connect(&beat, &QTimer::timeout, [this] { longest = std::max(longest, since.restart()); });
            since.start();
            beat.start(20);
        }
        qint64 stop()
        {
            beat.stop();
            return std::max(longest, since.elapsed());
        }
    };

    GatedPrintSystem* gate = nullptr;
};

TEST_F(WorkerTest, SearchForHungServer_KeysAnsweredAndTheNewSearchAloneIsShown)
{
    const qint64 job =
        addJob(QStringLiteral("PS2"), QStringLiteral("Admin"), QStringLiteral("Plan"), QStringLiteral("ann"), 3, 2048);
    FrmMain& w = startOn();
    focusServerBox(w);
    gate->hold(QStringLiteral("PS9"));

    // GIVEN a search for PS9, whose server does not answer
    // WHEN the operator, while it waits, types PS2 and presses Enter again, and PS9 answers
    // only after that
    bool ranWhileWaiting = false;
    QTimer::singleShot(0, &w, [&] {
        ASSERT_TRUE(waitFor([&] { return gate->waiting() == 1; }));
        ranWhileWaiting = true;
        searchByKeys(QStringLiteral("PS2"));
        gate->release(QStringLiteral("PS9"));
    });
    Pulse pulse;
    searchByKeys(QStringLiteral("PS9"));
    ASSERT_TRUE(waitFor([&] { return ranWhileWaiting; }));
    settle(w);
    const qint64 stall = pulse.stop();
    RecordProperty("longest_stall_ms", static_cast<int>(stall));
    EXPECT_LT(stall, kWindowStallLimitMs);

    // THEN the keys were handled while PS9 was waited for, and the window shows PS2 alone
    EXPECT_TRUE(ranWhileWaiting);
    EXPECT_EQ(queueEntries(w), (QStringList{QStringLiteral("Sales"), QStringLiteral("Admin")}));
    w.Timer1_Timer();
    EXPECT_EQ(w.LabelPrintQueues->text(), QStringLiteral("2 Available Queues"));
    EXPECT_EQ(w.ActiveServer, QStringLiteral("PS2"));
    EXPECT_EQ(w.boundServerName(), QStringLiteral("PS2"));
    EXPECT_EQ(w.SearchList->rowCount(), 1);
    const QStringList searches = audit().filter(QStringLiteral("Search for queues on"));
    EXPECT_EQ(searches.last(), QStringLiteral("Queue|Search for queues on PS2"));
    EXPECT_FALSE(searches.contains(QStringLiteral("Queue|Search for queues on PS9")));
    EXPECT_EQ(logRow(QString::number(job) + QStringLiteral("-3/14/2026 9:15:30 AM")).value(QStringLiteral("Server")),
              QStringLiteral("PS2"));
}

TEST_F(WorkerTest, SearchesNestedAtEachWaitOfASearch_WindowShowsTheLastServerAlone)
{
    // The waits of a search, by the calls its server lets through before it holds: the
    // connect, the job reading, the queue listing.
    struct Case
    {
        const char* wait;
        int passes;
    };
    const Case cases[] = {{"connect", 0}, {"job reading", 1}, {"queue listing", 2}};
    FrmMain& w = startOn();
    focusServerBox(w);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wait);
        // The lanes of the case before have ended: none of their calls counts in this one.
        ASSERT_TRUE(waitFor([] { return PrintWorker::runningLanes() == 1; }));
        gate->holdAfter(QStringLiteral("PS9"), c.passes);
        // WHEN, while PS9's search waits there, Enter is pressed for PS9 again and, while that
        // one waits too, for PS2; PS9 answers after that (A, A, B)
        whenWaiting(w, 1, [&] {
            whenWaiting(w, 2, [&] {
                searchByKeys(QStringLiteral("PS2"));
                gate->release(QStringLiteral("PS9"));
            });
            searchByKeys(QStringLiteral("PS9"));
        });
        searchByKeys(QStringLiteral("PS9"));
        settle(w);

        // THEN nothing freed was read (AddressSanitizer) and the window shows PS2 alone
        EXPECT_EQ(w.boundServerName(), QStringLiteral("PS2"));
        EXPECT_EQ(w.ActiveServer, QStringLiteral("PS2"));
        EXPECT_EQ(queueEntries(w), (QStringList{QStringLiteral("Sales"), QStringLiteral("Admin")}));
        EXPECT_EQ(audit().filter(QStringLiteral("Search for queues on")).last(),
                  QStringLiteral("Queue|Search for queues on PS2"));
    }
}

TEST_F(WorkerTest, QueueChosenWhileAQueueActionWaits_ActionFinishesOnTheQueueItStartedOn)
{
    struct Case
    {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QString record;     // each of Sales' two jobs writes one
        bool salesJobsGone; // else released
    };
    const Case cases[] = {
        {"resume all", Qt::Key_F4, Qt::NoModifier, QStringLiteral("Job|Resume Job"), false},
        {"delete all", Qt::Key_Delete, Qt::ShiftModifier, QStringLiteral("Job|Purge all jobs - Sales"), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QList<qint64> sales;
        QList<qint64> admin;
        for (int i = 0; i < 2; ++i) {
            sales << addJob(QStringLiteral("PS2"), QStringLiteral("Sales"), QStringLiteral("S"), QStringLiteral("ann"),
                            1, 10, true);
            admin << addJob(QStringLiteral("PS2"), QStringLiteral("Admin"), QStringLiteral("A"), QStringLiteral("bob"),
                            1, 10, true);
        }
        writeIni(QStringLiteral("[Halvern]\nServer=PS2\nQueue=Sales\nAudit=True\nStartMax=False\n"));
        FrmMain& w = start();
        ASSERT_EQ(w.queueBoxText(), QStringLiteral("Sales"));
        ASSERT_EQ(w.JobList->rowCount(), 2);
        focusJobList(w);
        dialogs.msgAnswers.push_back(MsgBoxResult::Yes);
        const qsizetype auditBefore = audit().size();

        // GIVEN the action pressed on Sales while PS2 does not answer
        // WHEN Admin is chosen meanwhile, and PS2 answers only then
        gate->hold(QStringLiteral("PS2"));
        whenWaiting(w, 1, [&] {
            QTimer::singleShot(0, &w, [&] { gate->release(QStringLiteral("PS2")); });
            detach(w.setQueueBoxText(QStringLiteral("Admin")));
        });
        QTest::keyClick(QApplication::focusWidget(), c.key, c.modifiers);
        settle(w);

        // THEN Sales' jobs alone were acted on, and recorded under Sales
        QList<PrintJobInfo> jobs;
        server(QStringLiteral("PS2")).jobs(jobs);
        QHash<qint64, bool> paused;
        for (const PrintJobInfo& job : std::as_const(jobs)) {
            paused.insert(job.JobId, (job.StatusMask & JobStatus::Paused) != 0);
        }
        for (qint64 id : std::as_const(sales)) {
            EXPECT_EQ(paused.contains(id), !c.salesJobsGone) << id;
            EXPECT_FALSE(paused.value(id)) << id;
        }
        for (qint64 id : std::as_const(admin)) {
            EXPECT_TRUE(paused.value(id)) << id;
        }
        const QStringList records = audit().mid(auditBefore);
        EXPECT_EQ(records.count(c.record), 2) << records.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(records.filter(QStringLiteral("- Admin")).filter(QStringLiteral("Job|")).isEmpty());
        for (qint64 id : std::as_const(admin)) {
            EXPECT_TRUE(logRow(QString::number(id) + QStringLiteral("-3/14/2026 9:15:30 AM"))
                            .value(QStringLiteral("Printed Pages"))
                            .isNull());
        }
        window.reset();
        server(QStringLiteral("PS2")).purgeQueue(QStringLiteral("Sales"));
        server(QStringLiteral("PS2")).purgeQueue(QStringLiteral("Admin"));
    }
}

TEST_F(WorkerTest, SameActionPressedTwiceWhileServerSlow_EachJobReleasedAndRecordedOnce)
{
    struct Case
    {
        const char* name;
        Qt::Key key;
        int jobs;
    };
    const Case cases[] = {{"resume all", Qt::Key_F4, 3}, {"resume job", Qt::Key_F2, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QList<qint64> ids;
        for (int i = 0; i < c.jobs; ++i) {
            ids << addJob(QStringLiteral("PS1"), QStringLiteral("Sales"), QStringLiteral("D"), QStringLiteral("ann"), 2,
                          10, true);
        }
        FrmMain& w = startOn();
        ASSERT_EQ(w.JobList->rowCount(), c.jobs);
        w.JobList->selectRow(0);
        focusJobList(w);
        const qsizetype auditBefore = audit().size();

        gate->hold(QStringLiteral("PS1"));
        whenWaiting(w, 1, [&] {
            QTimer::singleShot(0, &w, [&] { gate->release(QStringLiteral("PS1")); });
            QTest::keyClick(QApplication::focusWidget(), c.key);
        });
        QTest::keyClick(QApplication::focusWidget(), c.key);
        settle(w);

        EXPECT_EQ(audit().mid(auditBefore).count(QStringLiteral("Job|Resume Job")), c.jobs);
        QList<PrintJobInfo> jobs;
        server(QStringLiteral("PS1")).jobs(jobs);
        for (const PrintJobInfo& job : std::as_const(jobs)) {
            EXPECT_EQ(job.StatusMask & JobStatus::Paused, 0u) << job.JobId;
        }
        // Each job's pages counted once.
        EXPECT_DOUBLE_EQ(w.SessionPrinted, 2.0 * c.jobs);
        window.reset();
        server(QStringLiteral("PS1")).purgeQueue(QStringLiteral("Sales"));
    }
}

TEST_F(WorkerTest, LiveReportOfAServerThatNeverAnswersItsList_WindowAnswersAndACloseEndsIt)
{
    struct Case
    {
        const char* name;
        Task<void> (FrmMain::*report)();
        const char* file;
    };
    const Case cases[] = {{"server report", &FrmMain::mnuServerReport_Click, WMIReports::kServerReportFile},
                          {"printer report", &FrmMain::mnuPrinterReport_Click, WMIReports::kPrinterReportFile}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FrmMain& w = startOn();
        // The server takes the connection and never answers the list.
        gate->holdAfter(QStringLiteral("PS1"), 1);
        // WHEN the window is closed once the report waits for the list
        Pulse pulse;
        qint64 stall = -1;
        QElapsedTimer sinceClose;
        whenWaiting(w, 1, [&] {
            stall = pulse.stop();
            sinceClose.start();
            w.close();
        });
        settle((w.*c.report)());
        // THEN the window's events ran while the report waited, and the close ended it
        const bool closedWhileWaiting = stall >= 0;
        if (!closedWhileWaiting) {
            stall = pulse.stop(); // the report held the window until its server gave up
        }
        RecordProperty(std::string("longest_stall_ms_") + (c.file + 5), static_cast<int>(stall));
        EXPECT_LT(stall, kWindowStallLimitMs);
        ASSERT_TRUE(closedWhileWaiting);
        EXPECT_TRUE(w.isUnloaded());
        EXPECT_LT(sinceClose.elapsed(), 1000);
        // Nothing is written or opened after the close.
        EXPECT_FALSE(QFile::exists(env.tempPath + QLatin1String(c.file)));
        gate->release(QStringLiteral("PS1"));
        window.reset();
    }
}

TEST_F(WorkerTest, FavouriteWhoseSearchIsOvertaken_LeavesTheOtherServerAsItIs)
{
    addQueue(QStringLiteral("PS9"), QStringLiteral("Sales"));
    FrmMain& w = startOn(QStringLiteral("[Favourites]\n0=PS9 | Sales | AQ On | AR Off\n"));
    focusServerBox(w);
    gate->hold(QStringLiteral("PS9"));
    QTimer::singleShot(0, &w, [&] {
        ASSERT_TRUE(waitFor([&] { return gate->waiting() == 1; }));
        searchByKeys(QStringLiteral("PS2"));
        gate->release(QStringLiteral("PS9"));
    });
    w.mnuFav_Click(0);
    settle(w);
    // PS2's Sales is not the favourite's queue: nothing of the favourite is applied to it.
    EXPECT_EQ(w.boundServerName(), QStringLiteral("PS2"));
    EXPECT_TRUE(w.queueBoxText().isEmpty());
    EXPECT_EQ(FrmMain::value(w.chkAutoQueue), 0);
}

TEST_F(WorkerTest, HungServerWhileShown_OneReadingAtATimeShownLostThenListedAgain)
{
    FrmMain& w = startOn(QStringLiteral("PollNorm=1000\n"));
    ASSERT_EQ(w.queueBoxText(), QStringLiteral("Sales"));
    const int callsBefore = gate->calls(QStringLiteral("PS1"));
    gate->hold(QStringLiteral("PS1"));

    // Ticks while the reading is out start no second one; the window's events run.
    w.Timer2_Timer();
    ASSERT_TRUE(waitFor([&] { return gate->waiting() == 1; }));
    for (int i = 0; i < 3; ++i) {
        w.Timer2_Timer();
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(gate->calls(QStringLiteral("PS1")), callsBefore + 1);
    EXPECT_TRUE(w.pollTickRunning());
    EXPECT_FALSE(w.Timer2.isActive());

    // The reading fails: lost, shown as a failed bind shows it, tried again later and later.
    gate->release(QStringLiteral("PS1"), true);
    ASSERT_TRUE(waitFor([&] { return !w.pollTickRunning(); }));
    EXPECT_TRUE(w.serverLost());
    EXPECT_EQ(w.activeUpdateColour(), 0xFF0000u);
    EXPECT_TRUE(w.ServerStatus->text().startsWith(QStringLiteral("Disconnected ")));
    EXPECT_EQ(w.Timer2.interval(), 1000);
    runPollTick(w);
    EXPECT_EQ(w.Timer2.interval(), 2000);
    runPollTick(w);
    EXPECT_EQ(w.Timer2.interval(), 4000);

    // Back: the job that came meanwhile is listed.
    addJob(QStringLiteral("PS1"), QStringLiteral("Sales"), QStringLiteral("Memo"), QStringLiteral("bob"), 1, 100);
    gate->release(QStringLiteral("PS1"));
    runPollTick(w);
    EXPECT_FALSE(w.serverLost());
    EXPECT_EQ(w.JobList->rowCount(), 1);
    EXPECT_EQ(w.activeUpdateColour(), VbColours::Green);
}

TEST_F(WorkerTest, PollingReadingHangs_ClickOnFindForAnotherServerAnsweredAtOnce)
{
    FrmMain& w = startOn();
    QWidget* box = focusServerBox(w);
    gate->hold(QStringLiteral("PS1"));
    w.Timer2_Timer();
    ASSERT_TRUE(waitFor([&] { return gate->waiting() == 1; }));

    // WHEN the operator types another server and clicks Find while PS1's reading is out
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, QStringLiteral("PS2"));
    QElapsedTimer took;
    took.start();
    QTest::mouseClick(w.FindPrintQueues, Qt::LeftButton);
    settle(w);
    // THEN PS2 is listed at once (not after PS1's 8 s hold), and PS1's late answer changes nothing
    EXPECT_LT(took.elapsed(), kWindowStallLimitMs);
    EXPECT_EQ(queueEntries(w), (QStringList{QStringLiteral("Sales"), QStringLiteral("Admin")}));
    EXPECT_FALSE(w.pollTickRunning());
    gate->release(QStringLiteral("PS1"));
    settle(w.setQueueBoxText(QStringLiteral("Admin")));
    QCoreApplication::processEvents();
    EXPECT_EQ(w.boundServerName(), QStringLiteral("PS2"));
    EXPECT_EQ(w.queueBoxText(), QStringLiteral("Admin"));
    EXPECT_FALSE(w.serverLost());
}

TEST_F(WorkerTest, QueueOfTheSameNameOnTheNextServer_ItsJobsShownAndTheChangeAudited)
{
    for (int i = 0; i < 4; ++i) {
        addJob(QStringLiteral("PS2"), QStringLiteral("Sales"), QStringLiteral("Doc"), QStringLiteral("ann"), 1, 10);
    }
    FrmMain& w = startOn();
    ASSERT_EQ(w.ActiveQueue, QStringLiteral("Sales"));
    w.CurrentPrinter->setEditText(QStringLiteral("PS2"));
    settle(w.FindPrintQueues_Click());
    settle(w.setQueueBoxText(QStringLiteral("Sales")));
    EXPECT_EQ(w.JobList->rowCount(), 4);
    EXPECT_EQ(audit().last(), QStringLiteral("Queue|Queue changed to PS2-Sales"));
}

TEST_F(WorkerTest, HalfTypedServerName_NewJobsLoggedUnderTheBoundServer)
{
    FrmMain& w = startOn();
    const qint64 listed =
        addJob(QStringLiteral("PS1"), QStringLiteral("Sales"), QStringLiteral("A"), QStringLiteral("ann"), 1, 10);
    w.CurrentPrinter->setEditText(QStringLiteral("PS"));
    w.cmdRefreshJobs_Click();
    settle(w);
    EXPECT_EQ(logRow(QString::number(listed) + QStringLiteral("-3/14/2026 9:15:30 AM")).value(QStringLiteral("Server")),
              QStringLiteral("PS1"));
    // Its release is logged under the bound server too.
    ASSERT_EQ(w.JobList->rowCount(), 1);
    w.JobList->selectRow(0);
    detach(w.MenuResumeJob_Click());
    settle(w);
    EXPECT_EQ(logRow(QString::number(listed) + QStringLiteral("-3/14/2026 9:15:30 AM")).value(QStringLiteral("Server")),
              QStringLiteral("PS1"));
    // A job the monitor reports is logged the same way.
    const QString record = QStringLiteral("0|B|\\\\PC7|bob|Sales|1|0|1|1KB|3/14/2026 9:20:00 AM|77|Sales, 77");
    w.mwcmnMonitor_JobEvent(QStringLiteral("New"), record);
    ASSERT_TRUE(waitFor([&w] { return w.SearchList->rowCount() == 2; }));
    EXPECT_EQ(logRow(QStringLiteral("77-3/14/2026 9:20:00 AM")).value(QStringLiteral("Server")), QStringLiteral("PS1"));
}

TEST_F(WorkerTest, JobActionWhileServerHangs_HandlerReturnsAtOnceWithoutRunningEvents)
{
    struct Case
    {
        const char* name;
        Task<void> (FrmMain::*handler)();
        bool pausedBefore;
        std::optional<bool> pausedAfter; // nothing: the job is gone
    };
    const Case cases[] = {{"pause", &FrmMain::MenuPauseJob_Click, false, true},
                          {"resume", &FrmMain::MenuResumeJob_Click, true, false},
                          {"delete", &FrmMain::MenuRemove_Click, false, std::nullopt}};
    FrmMain& w = startOn();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const qint64 id = addJob(QStringLiteral("PS1"), QStringLiteral("Sales"), QStringLiteral("A"),
                                 QStringLiteral("ann"), 1, 10, c.pausedBefore);
        w.cmdRefreshJobs_Click();
        settle(w);
        const int row = static_cast<int>(w.JobList->columnTexts(9).indexOf(QString::number(id)));
        ASSERT_GE(row, 0);
        w.JobList->selectRow(row);
        dialogs.msgAnswers.push_back(MsgBoxResult::Yes);

        gate->hold(QStringLiteral("PS1"));
        bool eventsRan = false;
        QTimer::singleShot(0, [&eventsRan] { eventsRan = true; });
        detach((w.*c.handler)());
        // No event loop ran inside the handler: the call waits on the worker meanwhile.
        EXPECT_FALSE(eventsRan);
        EXPECT_TRUE(waitFor([this] { return gate->waiting() > 0; }));
        gate->release(QStringLiteral("PS1"));
        settle(w);

        QList<PrintJobInfo> jobs;
        server(QStringLiteral("PS1")).jobs(jobs);
        const auto it =
            std::find_if(jobs.cbegin(), jobs.cend(), [id](const PrintJobInfo& job) { return job.JobId == id; });
        EXPECT_EQ(it == jobs.cend() ? std::nullopt : std::optional<bool>((it->StatusMask & JobStatus::Paused) != 0),
                  c.pausedAfter);
    }
}

TEST_F(WorkerTest, StepsWhileServerHangs_ReturnToTheLoopAndGoOnWhenItAnswers)
{
    // Each step that needs its server's answer returns to the window's own loop while the
    // server is silent: no event runs inside it (a nested loop would run the timer below),
    // and it ends once the server answers.
    struct Case
    {
        const char* name;
        std::function<Task<void>(FrmMain&)> step;
    };
    const auto search = [](FrmMain& w) -> Task<void> {
        co_await w.FindPrintQueues_Click();
    };
    const Case cases[] = {{"search", search},
                          {"queue chosen",
                           [](FrmMain& w) {
                               return w.CurrentPrintQueue_Click();
                           }},
                          {"pause all jobs",
                           [](FrmMain& w) {
                               return w.mnupausealljobs_Click();
                           }},
                          {"resume all jobs",
                           [](FrmMain& w) {
                               return w.mnuresumealljobs_Click();
                           }},
                          {"delete all jobs",
                           [](FrmMain& w) {
                               return w.PurgeAllJobs(true);
                           }},
                          {"pause printer",
                           [](FrmMain& w) {
                               return w.MenuPause_Click();
                           }},
                          {"server report",
                           [](FrmMain& w) {
                               return w.mnuServerReport_Click();
                           }},
                          {"test page", [](FrmMain& w) {
                               return w.mnutestpage_Click();
                           }}};
    addJob(QStringLiteral("PS1"), QStringLiteral("Sales"), QStringLiteral("A"), QStringLiteral("ann"), 1, 10, true);
    FrmMain& w = startOn();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(w.queueBoxText(), QStringLiteral("Sales"));
        gate->hold(QStringLiteral("PS1"));
        bool eventsRan = false;
        QTimer::singleShot(0, [&eventsRan] { eventsRan = true; });
        Task<void> step = c.step(w);
        EXPECT_FALSE(eventsRan);
        EXPECT_FALSE(step.done());
        ASSERT_TRUE(waitFor([this] { return gate->waiting() > 0; }));
        gate->release(QStringLiteral("PS1"));
        settle(std::move(step));
        settle(w);
        if (w.queueBoxText().isEmpty()) {
            settle(w.setQueueBoxText(QStringLiteral("Sales"))); // the search lists the queues only
        }
    }
}

TEST_F(WorkerTest, ReleaseOvertakenBySearch_AnswerDroppedNothingReleasedOrLogged)
{
    const qint64 id =
        addJob(QStringLiteral("PS1"), QStringLiteral("Sales"), QStringLiteral("A"), QStringLiteral("ann"), 1, 10, true);
    FrmMain& w = startOn();
    ASSERT_EQ(w.JobList->rowCount(), 1);
    w.JobList->selectRow(0);
    gate->hold(QStringLiteral("PS1"));
    detach(w.MenuResumeJob_Click());
    EXPECT_TRUE(waitFor([this] { return gate->waiting() > 0; }));

    w.CurrentPrinter->setEditText(QStringLiteral("PS2"));
    detach(w.FindPrintQueues_Click());
    gate->release(QStringLiteral("PS1"));
    settle(w);
    // PS1's lane ends once its calls have run: only PS2's is left.
    EXPECT_TRUE(waitFor([] { return PrintWorker::runningLanes() == 1; }));

    QList<PrintJobInfo> jobs;
    server(QStringLiteral("PS1")).jobs(jobs);
    ASSERT_EQ(jobs.size(), 1);
    EXPECT_NE(jobs.first().StatusMask & JobStatus::Paused, 0u);
    EXPECT_FALSE(audit().contains(QStringLiteral("Job|Resume Job")));
    EXPECT_TRUE(logRow(QString::number(id) + QStringLiteral("-3/14/2026 9:15:30 AM"))
                    .value(QStringLiteral("Printed Pages"))
                    .isNull());
    EXPECT_EQ(w.LastReleasedJob, QString());
}

TEST_F(WorkerTest, CloseDuringStartupWhileServerHangs_EndsAtOnceAndKeepsTheSavedQueue)
{
    writeIni(QStringLiteral("[Halvern]\nServer=PS1\nQueue=Sales\nAudit=True\nStartMax=False\n"));
    gate->hold(QStringLiteral("PS1"));
    FrmMain& w = build();
    // The close comes as soon as the start-up waits for the server.
    QTimer closer;
    closer.setInterval(5);
    QObject::connect(&closer, &QTimer::timeout, &w, [&] {
        if (gate->waiting() == 1) {
            closer.stop();
            w.close();
        }
    });
    closer.start();
    QElapsedTimer took;
    took.start();
    settle(w.Form_Load());
    RecordProperty("close_ms", static_cast<int>(took.elapsed()));
    EXPECT_LT(took.elapsed(), kWindowStallLimitMs);
    EXPECT_TRUE(w.isUnloaded());
    EXPECT_TRUE(readFile(iniPath()).contains(QStringLiteral("Queue=Sales")));
    EXPECT_EQ(audit().last(), QStringLiteral("Program|Queue Manager Shutdown"));
}

TEST_F(WorkerTest, PasswordWanted_AskedOnlyWhenAnOperatorWaits)
{
    gate->wantsPassword(QStringLiteral("PS2"));
    FrmMain& w = startOn();
    FILE* errors = std::tmpfile();
    printSystem->setPasswordPrompt(consolePasswordPrompt(dialogs, &w, errors));
    dialogs.textAnswers.push_back(QStringLiteral("secret"));

    // An operator's search asks, through the dialogs, from the worker's thread.
    w.CurrentPrinter->setEditText(QStringLiteral("PS2"));
    settle(w.FindPrintQueues_Click());
    const auto asked = [&] {
        int n = 0;
        for (const auto& box : dialogs.shown) {
            n += box.kind == QStringLiteral("password") ? 1 : 0;
        }
        return n;
    };
    EXPECT_GE(asked(), 1);
    EXPECT_EQ(w.CurrentPrintQueue->count(), 2);

    // A polling tick that has to connect again does not: it is refused, and said so on the
    // error stream.
    settle(w.setQueueBoxText(QStringLiteral("Sales")));
    gate->release(QStringLiteral("PS2"), true);
    runPollTick(w);
    ASSERT_TRUE(w.serverLost());
    gate->release(QStringLiteral("PS2"));
    const int before = asked();
    runPollTick(w);
    EXPECT_EQ(asked(), before);
    EXPECT_TRUE(w.serverLost());
    std::rewind(errors);
    char line[256] = {};
    ASSERT_NE(std::fgets(line, sizeof line, errors), nullptr);
    EXPECT_TRUE(QString::fromUtf8(line).contains(QStringLiteral("refused")));
    std::fclose(errors);
    printSystem->setPasswordPrompt({});
}

} // namespace
} // namespace hlv::test
