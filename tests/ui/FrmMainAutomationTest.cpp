#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTimer>
#include <QToolButton>

#include "ActionsFixture.h"
#include "console/ui/ControlWidgets.h"
#include "console/ui/VbColour.h"
#include "console/ui/frmAction.h"
#include "support/Settle.h"

namespace hlv::test {
namespace {

class PollingTest : public ActionsFixture
{};

TEST_F(PollingTest, DisplayTick_QueueShown_LabelsPanelsAndEnabling)
{
    job(QStringLiteral("A"), QStringLiteral("alice"), 1);
    addQueue(QStringLiteral("PS1"), QStringLiteral("Admin"));
    FrmMain& w = open();
    w.Timer1_Timer();
    EXPECT_EQ(w.LabelPrintQueues->text(), QStringLiteral("2 Available Queues"));
    EXPECT_EQ(w.LabelPrintJobs->text(), QStringLiteral("Queued Print Jobs: 1"));
    EXPECT_EQ(w.statusPanelText(2), QStringLiteral("Sales on PS1"));
    EXPECT_EQ(w.statusPanelText(3), QStringLiteral("Jobs: 1"));
    EXPECT_TRUE(w.FindPrintQueues->isEnabled());
    EXPECT_TRUE(w.chkAutoQueue->isEnabled());

    w.txtPrintPath->clear(); // a queue without a path leaves panels 2 and 3 empty
    w.Timer1_Timer();
    EXPECT_EQ(w.statusPanelText(2), QString());
    EXPECT_EQ(w.statusPanelText(3), QString());
}

TEST_F(PollingTest, NoQueueSelected_TickTurnsLampOrangeAndDisplayEmptiesDetails)
{
    FrmMain& w = open();
    settle(w.setQueueBoxText(QStringLiteral("no such queue")));
    ASSERT_TRUE(w.queueBoxText().isEmpty());
    w.Timer2.start();
    const int interval = w.Timer2.interval();
    runPollTick(w);
    EXPECT_EQ(w.activeUpdateColour(), VbColours::Orange);
    EXPECT_TRUE(w.Timer2.isActive());
    EXPECT_EQ(w.Timer2.interval(), interval);
    EXPECT_TRUE(printLog.calls.isEmpty());

    w.Timer1_Timer();
    EXPECT_FALSE(w.chkAutoQueue->isEnabled());
    EXPECT_TRUE(w.txtDescription->text().isEmpty());
    EXPECT_TRUE(w.txtPrintStatus->text().isEmpty());
    EXPECT_EQ(w.statusPanelText(4), QString());
    EXPECT_EQ(w.printStatusBackColour(), VbColours::White);
}

TEST_F(PollingTest, AutoQueueOff_TickUsesPollNormAndLampGreen)
{
    FrmMain& w = open(QStringLiteral("PollNorm=2500\n"));
    runPollTick(w);
    EXPECT_EQ(w.Timer2.interval(), 2500);
    EXPECT_TRUE(w.Timer2.isActive());
    EXPECT_EQ(w.activeUpdateColour(), VbColours::Green);
    EXPECT_TRUE(printLog.calls.filter(QRegularExpression(QStringLiteral("^(pause|hold)Queue "))).isEmpty());
}

TEST_F(PollingTest, AutoQueueOnNothingReleased_TickHoldsQueueAtPollAQ)
{
    FrmMain& w = open(QStringLiteral("AutoQueue=1\nPollAQ=700\n"));
    ps1().resumeQueue(QStringLiteral("Sales"));
    ASSERT_TRUE(w.LastReleasedJob.isEmpty());
    runPollTick(w);
    EXPECT_NE(queueStatus() & PrinterStatus::Paused, 0u);
    EXPECT_EQ(w.Timer2.interval(), 700);
    EXPECT_EQ(w.activeUpdateColour(), VbColours::Green);
}

TEST_F(PollingTest, PrinterInErrorUnderAutoQueue_OneBoxPerEpisodeNothingWaitsJobsStillHeld)
{
    FrmMain& w = open(QStringLiteral("AutoQueue=1\nPollAQ=6000\n"));
    ASSERT_TRUE(ps1().setQueue(QStringLiteral("Sales"), PrinterStatus::Error, std::nullopt, std::nullopt));
    const auto errorBoxes = [&] {
        QList<ScriptedDialogs::Box> out;
        for (const auto& box : dialogs.messages()) {
            if (box.text.startsWith(QStringLiteral("An Error has been reported!"))) {
                out << box;
            }
        }
        return out;
    };
    // GIVEN a queue in error for a long run of ticks, with jobs arriving meanwhile
    QList<qint64> arrived;
    for (int i = 0; i < 30; ++i) {
        if (i % 10 == 5) {
            arrived << job(QStringLiteral("Doc"), QStringLiteral("ann"), 1, false, 20 + i);
        }
        clock.advance(6);
        runPollTick(w);
    }
    // THEN one box, that nothing waited for, and every job that came was held
    ASSERT_EQ(errorBoxes().size(), 1);
    EXPECT_FALSE(errorBoxes().first().waited);
    for (qint64 id : std::as_const(arrived)) {
        EXPECT_EQ(jobInfo(id).StatusMask & JobStatus::Paused, JobStatus::Paused) << id;
    }
    EXPECT_TRUE(w.Timer2.isActive());

    // A new episode after the queue was fine in between is told again, once.
    ASSERT_TRUE(ps1().setQueue(QStringLiteral("Sales"), PrinterStatus::Paused, std::nullopt, std::nullopt));
    runPollTick(w);
    ASSERT_TRUE(ps1().setQueue(QStringLiteral("Sales"), PrinterStatus::Error, std::nullopt, std::nullopt));
    for (int i = 0; i < 5; ++i) {
        runPollTick(w);
    }
    EXPECT_EQ(errorBoxes().size(), 2);
}

TEST_F(PollingTest, ReleasedJob_InFlightThenGone_FastPollingThenHeldAgain)
{
    const qint64 a = job(QStringLiteral("A"), QStringLiteral("alice"), 2, false, 15);
    const qint64 b = job(QStringLiteral("B"), QStringLiteral("bob"), 1, false, 16);
    FrmMain& w = open(QStringLiteral("AutoQueue=1\nPollAQ=700\nPollAQactive=15\n"));
    reload();
    selectJob(a);
    settle(w.MenuResumeJob_Click());
    settle(w);
    ASSERT_EQ(w.Timer2.interval(), 15);

    w.setStatusPanelText(1, QString());
    runPollTick(w);
    EXPECT_EQ(w.activeUpdateColour(), VbColours::Red);
    EXPECT_EQ(w.Timer2.interval(), 15);
    EXPECT_EQ(w.statusPanelText(1), QStringLiteral("Resume Print Job ") + w.timeText());
    EXPECT_EQ(queueStatus() & PrinterStatus::Paused, 0u); // the queue runs while A prints

    ASSERT_TRUE(ps1().print(1).ok); // half printed: still in flight
    runPollTick(w);
    EXPECT_EQ(w.activeUpdateColour(), VbColours::Red);

    ASSERT_TRUE(ps1().print(1).ok); // A has left the queue
    ASSERT_FALSE(jobListed(a));
    runPollTick(w);
    EXPECT_EQ(w.activeUpdateColour(), VbColours::Green);
    EXPECT_EQ(w.Timer2.interval(), 700);
    EXPECT_NE(queueStatus() & PrinterStatus::Paused, 0u);
    EXPECT_NE(jobInfo(b).StatusMask & JobStatus::Paused, 0u);
}

TEST_F(PollingTest, ResumeAllOverStaleRows_QueueOpenedOnlyForTheReleasedJob)
{
    const qint64 gone = job(QStringLiteral("A"), QStringLiteral("alice"), 4, true, 15);
    const qint64 held = job(QStringLiteral("B"), QStringLiteral("bob"), 2, true, 16);
    FrmMain& w = open(QStringLiteral("AutoQueue=1\nPollAQ=700\nPollAQactive=15\n"));
    reload();
    // A leaves the queue behind the window's back: its row stays until a refresh.
    ASSERT_TRUE(ps1().removeJob(QStringLiteral("Sales"), gone).ok);
    const QStringList auditBefore = audit();

    settle(w.mnuresumealljobs_Click()); // passes over A's row and releases B
    EXPECT_EQ(printLog.calls, (QStringList{QStringLiteral("resumeJob Sales ") + QString::number(held),
                                           QStringLiteral("resumeQueue Sales")}));
    EXPECT_EQ(w.Timer2.interval(), 15);
    ASSERT_TRUE(ps1().print(2).ok); // B has printed and left; both rows are still listed
    ASSERT_FALSE(jobListed(held));

    printLog.calls.clear();
    QList<int> intervals;
    for (int tick = 0; tick < 6; ++tick) {
        runPollTick(w);
        intervals << w.Timer2.interval();
    }
    EXPECT_TRUE(w.ResumeAllPending);
    EXPECT_EQ(printLog.calls.filter(QStringLiteral("resumeQueue")).size(), 0);
    EXPECT_EQ(printLog.calls.filter(QStringLiteral("resumeJob")).size(), 0);
    EXPECT_EQ(printLog.calls.filter(QStringLiteral("holdQueue")).size(), 6); // one hold per tick
    EXPECT_EQ(intervals, QList<int>(6, 700));
    EXPECT_EQ(audit().mid(auditBefore.size()).filter(QStringLiteral("Job|Resume Job")).size(), 1);
    EXPECT_EQ(counter("PrintedCounter"), QStringLiteral("2"));
}

TEST_F(PollingTest, ResumeAll_JobPausedWhilePrinting_ReleasedPassEndsLaterChangeAccepted)
{
    addQueue(QStringLiteral("PS1"), QStringLiteral("Admin"));
    const qint64 a = job(QStringLiteral("A"), QStringLiteral("alice"), 3);
    FrmMain& w = open();
    ASSERT_TRUE(ps1().print(1).ok);
    ASSERT_TRUE(ps1().pauseJob(QStringLiteral("Sales"), a).ok);
    ASSERT_EQ(jobInfo(a).StatusMask, JobStatus::Paused | JobStatus::Printing);
    reload();
    ASSERT_EQ(w.JobList->row(0).text, QStringLiteral("OK")); // the combined bits read as OK

    settle(w.mnuresumealljobs_Click());
    EXPECT_EQ(printLog.calls.filter(QStringLiteral("resumeJob")),
              QStringList{QStringLiteral("resumeJob Sales ") + QString::number(a)});
    EXPECT_EQ(jobInfo(a).StatusMask & JobStatus::Paused, 0u);
    ASSERT_TRUE(ps1().print(2).ok); // A has printed and left
    reload();
    runPollTick(w);
    EXPECT_FALSE(w.ResumeAllPending);

    QAction* entry = w.mnuFav[0];
    entry->setText(QStringLiteral("PS1 | Admin | AQ Off | AR Off"));
    entry->setVisible(true);
    w.mnuFav_Click(0);
    settle(w);
    EXPECT_TRUE(dialogs.messages().isEmpty());
    EXPECT_EQ(w.queueBoxText(), QStringLiteral("Admin"));
}

TEST_F(PollingTest, ReleasedJobPausedOrQueueHeldByHand_NotInFlight)
{
    const qint64 a = job(QStringLiteral("A"), QStringLiteral("alice"), 2);
    FrmMain& w = open(QStringLiteral("AutoQueue=1\nPollAQ=700\nPollAQactive=15\n"));
    reload();
    selectJob(a);
    settle(w.MenuResumeJob_Click());
    settle(w);

    ps1().pauseJob(QStringLiteral("Sales"), a);
    runPollTick(w);
    EXPECT_EQ(w.Timer2.interval(), 700);

    ps1().resumeJob(QStringLiteral("Sales"), a);
    ps1().pauseQueue(QStringLiteral("Sales"));
    runPollTick(w);
    EXPECT_EQ(w.Timer2.interval(), 700);
    EXPECT_EQ(w.activeUpdateColour(), VbColours::Green);
}

TEST_F(PollingTest, InFlightWithEmptyJobList_PanelOneUntouched)
{
    const qint64 a = job(QStringLiteral("A"), QStringLiteral("alice"), 2);
    FrmMain& w = open(QStringLiteral("AutoQueue=1\nPollAQactive=15\n"));
    reload();
    selectJob(a);
    settle(w.MenuResumeJob_Click());
    settle(w);
    w.JobList->clear();
    w.setStatusPanelText(1, QStringLiteral("before"));
    runPollTick(w);
    EXPECT_EQ(w.statusPanelText(1), QStringLiteral("before"));
    EXPECT_EQ(w.activeUpdateColour(), VbColours::Red);
}

class AutomationTest : public ActionsFixture
{
protected:
    static quint32 back(const QWidget* w) { return bgr(w->palette().color(QPalette::Window)); }
    static quint32 fore(const QWidget* w) { return bgr(w->palette().color(QPalette::WindowText)); }
    static quint32 bgr(const QColor& c)
    {
        return static_cast<quint32>(c.red()) | (static_cast<quint32>(c.green()) << 8) |
               (static_cast<quint32>(c.blue()) << 16);
    }
};

TEST_F(AutomationTest, AutoQueueOn_QueueAndJobsHeldMenusOffColoursAndPollAQ)
{
    const qint64 a = job(QStringLiteral("A"), QStringLiteral("alice"), 2);
    FrmMain& w = open(QStringLiteral("PollAQ=800\n"));
    const QStringList auditBefore = audit();
    FrmMain::setValue(w.chkAutoQueue, 1);
    settle(w);

    EXPECT_NE(queueStatus() & PrinterStatus::Paused, 0u);
    EXPECT_NE(jobInfo(a).StatusMask & JobStatus::Paused, 0u);
    EXPECT_FALSE(w.MenuPause->isEnabled());
    EXPECT_FALSE(w.MenuResume->isEnabled());
    EXPECT_TRUE(w.chkTimed->isEnabled());
    EXPECT_EQ(w.Timer2.interval(), 800);
    EXPECT_TRUE(w.Timer2.isActive());
    EXPECT_EQ(back(w.chkAutoQueue), 255u);
    EXPECT_EQ(fore(w.chkAutoQueue), 0xFFFFFFu);
    EXPECT_EQ(w.statusPanelText(1), QStringLiteral("Enable AutoQueue ") + w.timeText());
    EXPECT_EQ(audit().mid(auditBefore.size()), QStringList{QStringLiteral("AutoQueue|Enable AutoQueue - Sales")});
}

TEST_F(AutomationTest, AutoQueueOffWithAutoReleaseOn_TwoRecordsInOrderQueueStaysHeld)
{
    FrmMain& w = open(QStringLiteral("AutoQueue=1\nTimedRelease=1\nPollNorm=9000\n"));
    ASSERT_EQ(FrmMain::value(w.chkTimed), 1);
    FrmMain::setValue(w.chkAA, 1);
    const QStringList auditBefore = audit();

    FrmMain::setValue(w.chkAutoQueue, 0);

    EXPECT_EQ(audit().mid(auditBefore.size()), (QStringList{QStringLiteral("AutoRelease|Disable AutoRelease - Sales"),
                                                            QStringLiteral("AutoQueue|Disable AutoQueue - Sales")}));
    EXPECT_EQ(FrmMain::value(w.chkTimed), 0);
    EXPECT_EQ(FrmMain::value(w.chkAA), 0);
    EXPECT_FALSE(w.chkTimed->isEnabled());
    EXPECT_FALSE(w.txtTimed->isEnabled());
    EXPECT_FALSE(w.optTimed[0]->isEnabled());
    EXPECT_FALSE(w.optTimed[1]->isEnabled());
    EXPECT_TRUE(w.MenuPause->isEnabled());
    EXPECT_EQ(w.Timer2.interval(), 9000);
    EXPECT_EQ(back(w.chkAutoQueue), 0xC0FFC0u);
    EXPECT_EQ(fore(w.chkAutoQueue), 0x800000u);
    EXPECT_EQ(back(w.chkAA), 0xC0FFC0u);
    EXPECT_NE(queueStatus() & PrinterStatus::Paused, 0u);
}

TEST_F(AutomationTest, AutoReleaseSwitch_EnablesChoicesAndKeepsAutoActivateValue)
{
    FrmMain& w = open(QStringLiteral("AutoQueue=1\n"));
    FrmMain::setValue(w.chkTimed, 1);
    EXPECT_TRUE(w.optTimed[0]->isEnabled());
    EXPECT_TRUE(w.optTimed[1]->isEnabled());
    EXPECT_TRUE(w.txtTimed->isEnabled());
    EXPECT_TRUE(w.chkAA->isEnabled());
    EXPECT_EQ(back(w.chkTimed), 255u);
    EXPECT_EQ(w.statusPanelText(1), QStringLiteral("Enable AutoRelease ") + w.timeText());

    FrmMain::setValue(w.chkAA, 1);
    EXPECT_EQ(back(w.chkAA), 255u);
    FrmMain::setValue(w.chkTimed, 0);
    EXPECT_EQ(FrmMain::value(w.chkAA), 1); // kept, only disabled
    EXPECT_FALSE(w.chkAA->isEnabled());
    EXPECT_EQ(audit().last(), QStringLiteral("AutoRelease|Disable AutoRelease - Sales"));
}

TEST_F(AutomationTest, TimedRelease_PrintAtSetMinute_ResumeAllRunsEachTickOfTheMinute)
{
    const qint64 a = job(QStringLiteral("A"), QStringLiteral("alice"), 2, true);
    FrmMain& w = open(QStringLiteral("AutoQueue=1\nTimedRelease=1\nTimedReleaseTime=5:00 PM\n"
                                     "TimedReleaseAction=PRINT\n"));
    reload();
    clock.current = QDateTime(QDate(2026, 3, 14), QTime(16, 59, 59));
    settle(w.chkTimedRelease());
    EXPECT_FALSE(w.ResumeAllPending);

    clock.current = QDateTime(QDate(2026, 3, 14), QTime(17, 0, 0));
    settle(w.chkTimedRelease());
    EXPECT_TRUE(w.ResumeAllPending);
    EXPECT_EQ(w.LastReleasedJob, QString::number(a));
    EXPECT_EQ(w.statusPanelText(1), QStringLiteral("Resume All Jobs ") + w.timeText());
    EXPECT_EQ(audit().last(), QStringLiteral("AutoRelease|Resume All Jobs - Sales"));

    clock.current = QDateTime(QDate(2026, 3, 14), QTime(17, 0, 50));
    const int records = static_cast<int>(audit().size());
    settle(w.chkTimedRelease()); // again within the minute
    EXPECT_EQ(audit().size(), records + 1);
    EXPECT_TRUE(printLog.calls.filter(QStringLiteral("purgeQueue")).isEmpty());
}

TEST_F(AutomationTest, TimedRelease_DeleteAtSetMinute_PurgesSilentlyOnceInTheMinute)
{
    const qint64 a = job(QStringLiteral("A"), QStringLiteral("alice"), 2);
    FrmMain& w = open(QStringLiteral("AutoQueue=1\nTimedRelease=1\nTimedReleaseTime=17:00\n"
                                     "TimedReleaseAction=CLEAR\nPollAQ=6000\nPollAQactive=10\n"));
    const QStringList auditBefore = audit();
    clock.current = QDateTime(QDate(2026, 3, 14), QTime(17, 0, 0));
    runPollTick(w);
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_FALSE(jobListed(a));
    EXPECT_FALSE(w.ResumeAllPending);
    EXPECT_EQ(audit().last(), QStringLiteral("AutoRelease|Purge All Jobs - Sales"));
    EXPECT_EQ(w.statusPanelText(1), QStringLiteral("Purge All Jobs ") + w.timeText());

    // The rest of the minute: a job arriving meanwhile stays, the polling keeps its pace.
    const qint64 late = job(QStringLiteral("L"), QStringLiteral("bob"), 1, false, 16);
    QList<int> intervals{w.Timer2.interval()};
    for (int tick = 1; tick < 10; ++tick) {
        clock.current = clock.current.addSecs(6);
        runPollTick(w);
        intervals << w.Timer2.interval();
    }
    EXPECT_EQ(intervals, (QList<int>{10, 6000, 6000, 6000, 6000, 6000, 6000, 6000, 6000, 6000}));
    EXPECT_EQ(printLog.calls.filter(QStringLiteral("purgeQueue")).size(), 1);
    EXPECT_EQ(audit().mid(auditBefore.size()).filter(QStringLiteral("AutoRelease|Purge All Jobs")).size(), 1);
    EXPECT_TRUE(jobListed(late));

    clock.current = QDateTime(QDate(2026, 3, 15), QTime(17, 0, 30)); // the set minute of the next day
    runPollTick(w);
    EXPECT_FALSE(jobListed(late));
    EXPECT_EQ(printLog.calls.filter(QStringLiteral("purgeQueue")).size(), 2);
}

TEST_F(AutomationTest, TimedDelete_FavouriteOfAnotherQueueDueSameMinute_EachQueuePurgedOnce)
{
    addQueue(QStringLiteral("PS1"), QStringLiteral("Admin"));
    const qint64 sales = job(QStringLiteral("S"), QStringLiteral("alice"), 2);
    const qint64 admin = addJob(QStringLiteral("PS1"), QStringLiteral("Admin"), QStringLiteral("A"),
                                QStringLiteral("bob"), 2, 2048, false, QDateTime(QDate(2026, 3, 14), QTime(9, 0)));
    FrmMain& w = open(QStringLiteral("AutoQueue=1\nTimedRelease=1\nTimedReleaseTime=17:00\nTimedReleaseAction=CLEAR\n"
                                     "PollAQ=6000\nPollAQactive=10\n[Favourites]\n"
                                     "0=PS1 | Admin | AQ On | AR On | Delete | 5:00 PM | AA\n"));
    const QStringList auditBefore = audit();
    clock.current = QDateTime(QDate(2026, 3, 14), QTime(17, 0, 0));
    for (int tick = 0; tick < 10; ++tick) {
        runPollTick(w);
        clock.advance(6);
    }
    EXPECT_EQ(w.queueBoxText(), QStringLiteral("Admin"));
    EXPECT_FALSE(jobListed(sales));
    EXPECT_FALSE(jobListed(admin));
    EXPECT_EQ(printLog.calls.filter(QStringLiteral("purgeQueue")),
              (QStringList{QStringLiteral("purgeQueue Sales"), QStringLiteral("purgeQueue Admin")}));
    EXPECT_EQ(audit().mid(auditBefore.size()).filter(QStringLiteral("AutoRelease|Purge All Jobs")),
              (QStringList{QStringLiteral("AutoRelease|Purge All Jobs - Sales"),
                           QStringLiteral("AutoRelease|Purge All Jobs - Admin")}));
}

TEST_F(AutomationTest, TimedRelease_BoxDisabled_NothingRuns)
{
    const qint64 a = job(QStringLiteral("A"), QStringLiteral("alice"), 2);
    FrmMain& w = open(QStringLiteral("AutoQueue=1\nTimedRelease=1\nTimedReleaseTime=17:00\n"
                                     "TimedReleaseAction=CLEAR\n"));
    w.chkTimed->setEnabled(false); // ticked, but AutoQueue is not what made it available
    clock.current = QDateTime(QDate(2026, 3, 14), QTime(17, 0, 10));
    settle(w.chkTimedRelease());
    EXPECT_TRUE(jobListed(a));
    EXPECT_TRUE(printLog.calls.isEmpty());
}

TEST_F(AutomationTest, TimedRelease_TimeNotATime_SwitchedOffReportedOnceWithoutBox)
{
    FrmMain& w = open(QStringLiteral("AutoQueue=1\nTimedRelease=1\nTimedReleaseTime=teatime\n"));
    FrmMain::setValue(w.chkAA, 1);
    const QStringList auditBefore = audit();
    for (int tick = 0; tick < 5; ++tick) {
        runPollTick(w);
        clock.advance(6);
    }
    EXPECT_TRUE(dialogs.messages().isEmpty());
    EXPECT_EQ(FrmMain::value(w.chkTimed), 0);
    EXPECT_EQ(FrmMain::value(w.chkAA), 0);
    EXPECT_EQ(audit().mid(auditBefore.size()),
              (QStringList{QStringLiteral("AutoRelease|Disable AutoRelease - Sales"),
                           QStringLiteral("AutoRelease|ERROR: Unable to Perform Timed Release - Print/Purge Error - "
                                          "teatime")}));
    EXPECT_TRUE(
        w.statusPanelText(1).startsWith(QStringLiteral("ERROR: Unable to Perform Timed Release - Print/Purge Error ")));
    EXPECT_TRUE(w.Timer2.isActive());
}

TEST_F(AutomationTest, Exceptions_AdmText_ReleasesAdminAndSysadmOneAtATime)
{
    const qint64 bob = job(QStringLiteral("B"), QStringLiteral("bob"), 1, true, 14);
    const qint64 admin = job(QStringLiteral("A"), QStringLiteral("Admin"), 1, true, 15);
    const qint64 sysadm = job(QStringLiteral("S"), QStringLiteral("sysadm"), 1, true, 16);
    FrmMain& w = open(QStringLiteral("Exceptions=adm\n"));
    reload();

    settle(w.ResumeExceptions());
    EXPECT_EQ(printLog.calls, QStringList{QStringLiteral("resumeJob Sales ") + QString::number(admin)});
    // Only the first row of a listed user counts: sysadm waits until Admin's job has gone.
    ASSERT_TRUE(ps1().print(1).ok);
    ASSERT_FALSE(jobListed(admin));
    reload();
    settle(w.ResumeExceptions());
    EXPECT_EQ(printLog.calls.last(), QStringLiteral("resumeJob Sales ") + QString::number(sysadm));
    EXPECT_NE(jobInfo(bob).StatusMask & JobStatus::Paused, 0u);
}

TEST_F(AutomationTest, Exceptions_QueueHeldByHand_EachJobReleasedAndCountedOnce)
{
    const qint64 admin = job(QStringLiteral("A"), QStringLiteral("Admin"), 2, true, 15);
    const qint64 sysadm = job(QStringLiteral("S"), QStringLiteral("sysadm"), 3, false, 16);
    FrmMain& w = open(QStringLiteral("Exceptions=adm\nPollNorm=1000\n"));
    ps1().pauseQueue(QStringLiteral("Sales")); // AutoQueue is off; the queue stays held
    const QStringList auditBefore = audit();
    QList<int> intervals;
    for (int tick = 0; tick < 6; ++tick) {
        reload();
        runPollTick(w);
        intervals << w.Timer2.interval();
        clock.advance(1);
    }
    EXPECT_EQ(intervals, QList<int>(6, 1000));
    EXPECT_EQ(printLog.calls.filter(QStringLiteral("resumeJob")),
              (QStringList{QStringLiteral("resumeJob Sales ") + QString::number(admin),
                           QStringLiteral("resumeJob Sales ") + QString::number(sysadm)}));
    EXPECT_EQ(counter("PrintedCounter"), QStringLiteral("5"));
    EXPECT_EQ(w.SessionPrinted, 5);
    EXPECT_EQ(audit().mid(auditBefore.size()).filter(QStringLiteral("Job|Resume Job")).size(), 2);
}

TEST_F(AutomationTest, Exceptions_FirstMatchPrinting_SelectedNotReleased)
{
    const qint64 admin = job(QStringLiteral("A"), QStringLiteral("Admin"), 3, false, 15);
    job(QStringLiteral("S"), QStringLiteral("sysadm"), 1, true, 16);
    FrmMain& w = open(QStringLiteral("Exceptions=ADM\n"));
    ASSERT_TRUE(ps1().print(1).ok); // Admin's job is printing
    reload();
    settle(w.ResumeExceptions());
    EXPECT_TRUE(printLog.calls.isEmpty());
    ASSERT_GE(w.JobList->selectedRow(), 0);
    EXPECT_EQ(w.JobList->row(w.JobList->selectedRow()).subItems.value(8), QString::number(admin));
}

TEST_F(AutomationTest, Exceptions_UnderAutoQueue_NoSecondReleaseWhileFirstInFlight)
{
    job(QStringLiteral("A"), QStringLiteral("Admin"), 1, false, 15);
    job(QStringLiteral("S"), QStringLiteral("sysadm"), 1, false, 16);
    FrmMain& w = open(QStringLiteral("AutoQueue=1\nExceptions=adm\nPollAQactive=15\n"));
    reload();
    settle(w.ResumeExceptions());
    EXPECT_EQ(printLog.calls.filter(QStringLiteral("resumeJob")).size(), 1);
    EXPECT_EQ(w.Timer2.interval(), 15);
    reload();
    settle(w.ResumeExceptions());
    EXPECT_EQ(printLog.calls.filter(QStringLiteral("resumeJob")).size(), 1);
}

TEST_F(AutomationTest, Exceptions_EmptySetting_NothingSelected)
{
    job(QStringLiteral("A"), QStringLiteral("Admin"), 1, true);
    FrmMain& w = open();
    reload();
    w.JobList->selectRow(-1);
    settle(w.ResumeExceptions());
    EXPECT_EQ(w.JobList->selectedRow(), -1);
    EXPECT_TRUE(printLog.calls.isEmpty());
}

TEST_F(AutomationTest, QuickAction_DoubleClick_PopupPrintsSelectedJobAndCloses)
{
    const qint64 a = job(QStringLiteral("Report"), QStringLiteral("alice"), 3, true);
    FrmMain& w = open(QStringLiteral("QuickAction=1\nQAHideAllButtons=True\n"));
    selectJob(a);
    w.JobList_DblClick();
    auto* popup = w.findChild<frmAction*>();
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(popup->isVisible());
    EXPECT_FALSE(popup->cmdPrintAll->isVisible());
    EXPECT_EQ(popup->summaryText().toStdString(), "Report\r\n\\\\PC7 - 2KB - Pages: 3");
    w.JobList_DblClick(); // brings the open popup forward, no second one
    EXPECT_EQ(w.findChildren<frmAction*>().size(), 1);

    popup->PrintButton->click();
    settle(w);
    EXPECT_EQ(printLog.calls, QStringList{QStringLiteral("resumeJob Sales ") + QString::number(a)});
    EXPECT_TRUE(waitFor([&] { return w.findChild<frmAction*>() == nullptr; }));
}

TEST_F(AutomationTest, QuickAction_DeleteAnsweredNo_AsksAndClosesAnyway)
{
    const qint64 a = job(QStringLiteral("Report"), QStringLiteral("alice"), 3);
    FrmMain& w = open(QStringLiteral("QuickAction=1\n"));
    selectJob(a);
    w.showQuickAction();
    auto* popup = w.findChild<frmAction*>();
    ASSERT_NE(popup, nullptr);
    dialogs.msgAnswers.push_back(MsgBoxResult::No);
    popup->DeleteButton->click();
    EXPECT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(jobListed(a));
    EXPECT_TRUE(waitFor([&] { return w.findChild<frmAction*>() == nullptr; }));
}

} // namespace
} // namespace hlv::test

namespace hlv::test {
namespace {

class TimedFavouriteTest : public ActionsFixture
{};

TEST_F(TimedFavouriteTest, GarbageTimeFromIni_FailsOnlyItsOwnActivationOnce)
{
    addQueue(QStringLiteral("PS1"), QStringLiteral("Admin"));
    const QString garbage = QStringLiteral("PS1 | Sales | AQ On | AR On | Print | whenever | AA");
    FrmMain& w = open(QStringLiteral("AutoQueue=1\nTimedRelease=1\nTimedReleaseTime=5:00 PM\n[Favourites]\n0=") +
                      garbage + QStringLiteral("\n1=PS1 | Admin | AQ On | AR On | Print | 9:45 AM | AA\n"));
    ASSERT_TRUE(w.mnuFav[0]->isChecked());
    FrmMain::setValue(w.chkAA, 1);
    const QStringList auditBefore = audit();
    int errorLines = 0;
    bool automationKept = true;
    clock.current = QDateTime(QDate(2026, 3, 14), QTime(9, 40, 0));
    for (int tick = 0; tick < 100; ++tick) { // 9:40:00 to 9:49:54; the later slot is due at 9:45
        if (clock.current.time() < QTime(9, 45)) {
            automationKept = automationKept && FrmMain::value(w.chkTimed) == 1 && FrmMain::value(w.chkAA) == 1 &&
                             w.queueBoxText() == QStringLiteral("Sales");
        }
        w.setStatusPanelText(1, QString());
        runPollTick(w);
        errorLines += w.statusPanelText(1).startsWith(QStringLiteral("ERROR")) ? 1 : 0;
        clock.advance(6);
    }
    const QStringList records = audit().mid(auditBefore.size());
    EXPECT_TRUE(dialogs.messages().isEmpty());
    EXPECT_TRUE(automationKept);
    EXPECT_EQ(errorLines, 1);
    EXPECT_EQ(records.filter(QStringLiteral("ERROR")),
              QStringList{QStringLiteral("AutoRelease|ERROR: Unable to Perform Timed Release - Print/Purge Error - ") +
                          garbage});
    EXPECT_EQ(records.filter(QStringLiteral("Enable AutoQueue - Admin")).size(), 1); // the later slot loaded once
    EXPECT_EQ(w.queueBoxText(), QStringLiteral("Admin"));
    EXPECT_EQ(FrmMain::value(w.chkTimed), 1);
}

TEST_F(TimedFavouriteTest, SelfActivation_LoadedOnceInItsMinuteNoBoxWhileItsResumeAllRuns)
{
    addQueue(QStringLiteral("PS1"), QStringLiteral("Admin"));
    for (const QString& document : {QStringLiteral("A"), QStringLiteral("B")}) {
        addJob(QStringLiteral("PS1"), QStringLiteral("Admin"), document, QStringLiteral("alice"), 1, 2048, true,
               QDateTime(QDate(2026, 3, 14), QTime(9, 15, 30)));
    }
    FrmMain& w = open(QStringLiteral("PollAQ=6000\nPollAQactive=10\n"));
    QAction* entry = w.mnuFav[0];
    entry->setText(QStringLiteral("PS1 | Admin | AQ On | AR On | Print | 9:45 AM | AA"));
    entry->setCheckable(true);
    entry->setChecked(true);
    entry->setVisible(true);
    entry->setEnabled(true);
    reload();
    const QStringList auditBefore = audit();
    clock.current = QDateTime(QDate(2026, 3, 14), QTime(9, 45, 0));
    for (int tick = 0; tick < 8; ++tick) {
        runPollTick(w);
        static_cast<void>(ps1().print(1)); // a released job prints and leaves before the next tick
        clock.advance(6);
    }
    EXPECT_TRUE(dialogs.messages().isEmpty());
    const QStringList records = audit().mid(auditBefore.size());
    EXPECT_EQ(records.filter(QStringLiteral("AutoQueue|Enable AutoQueue")).size(), 1); // loaded once
    EXPECT_GE(records.filter(QStringLiteral("AutoRelease|Resume All Jobs")).size(), 1);
    EXPECT_EQ(FrmMain::value(w.chkAutoQueue), 1);
    EXPECT_TRUE(w.Timer2.isActive());                                        // AutoQueue goes on holding new jobs
    EXPECT_EQ(printLog.calls.filter(QStringLiteral("resumeJob")).size(), 2); // A, then B
}

TEST_F(PollingTest, ResumeAllEndsInTick_ExceptionsRunInSameTick)
{
    const qint64 admin = job(QStringLiteral("A"), QStringLiteral("Admin"), 1, true);
    FrmMain& w = open(QStringLiteral("Exceptions=adm\n"));
    reload();
    w.JobList->clear(); // the pass finds no rows and ends the Resume All
    w.ResumeAllPending = true;
    runPollTick(w);
    EXPECT_FALSE(w.ResumeAllPending);
    EXPECT_TRUE(printLog.calls.isEmpty()); // no row to release from

    reload();
    w.ResumeAllPending = true; // a pending Resume All keeps the exceptions waiting
    runPollTick(w);
    EXPECT_TRUE(w.ResumeAllPending);
    EXPECT_EQ(printLog.calls.filter(QStringLiteral("resumeJob")).size(), 1); // released by the pass
    w.ResumeAllPending = false;
    printLog.calls.clear();
    ps1().pauseJob(QStringLiteral("Sales"), admin);
    reload();
    runPollTick(w);
    EXPECT_EQ(printLog.calls.filter(QStringLiteral("resumeJob")),
              QStringList{QStringLiteral("resumeJob Sales ") + QString::number(admin)});
}

} // namespace
} // namespace hlv::test

namespace hlv::test {
namespace {

TEST_F(PollingTest, TickFiresWhileItsOwnTickYields_SecondTickDoesNothing)
{
    const qint64 admin = job(QStringLiteral("A"), QStringLiteral("Admin"), 1, true);
    FrmMain& w = open(QStringLiteral("Exceptions=adm\n"));
    reload();
    int nested = 0;
    QStringList callsInYield;
    quint32 lampInYield = 0;
    // The refresh inside the tick yields to pending events; a tick due then fires inside it.
    QTimer::singleShot(0, &w, [&] {
        ++nested;
        const int before = static_cast<int>(printLog.calls.size());
        w.setActiveUpdateColour(VbColours::Cyan);
        w.Timer2_Timer();
        callsInYield = printLog.calls.mid(before);
        lampInYield = w.activeUpdateColour();
    });
    runPollTick(w);
    EXPECT_EQ(nested, 1);
    EXPECT_TRUE(callsInYield.isEmpty());
    EXPECT_EQ(lampInYield, VbColours::Cyan);
    EXPECT_EQ(printLog.calls.filter(QStringLiteral("resumeJob")),
              QStringList{QStringLiteral("resumeJob Sales ") + QString::number(admin)});
    EXPECT_EQ(w.activeUpdateColour(), VbColours::Green); // the outer tick ended normally
    EXPECT_TRUE(w.Timer2.isActive());
}

} // namespace
} // namespace hlv::test
