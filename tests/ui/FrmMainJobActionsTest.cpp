#include <QAction>

#include "ActionsFixture.h"
#include "platform/GeneralDate.h"
#include "support/Settle.h"

namespace hlv::test {
namespace {

class JobActionsTest : public ActionsFixture
{};

TEST_F(JobActionsTest, Release_TwoJobsAnswerToTheId_BothResumedAndLoggedEach)
{
    const qint64 id = job(QStringLiteral("Report"), QStringLiteral("alice"), 3, true);
    FrmMain& w = open();
    printLog.duplicateJobId = id;
    selectJob(id);

    settle(w.MenuResumeJob_Click());

    settle(w);

    const QString resume = QStringLiteral("resumeJob Sales ") + QString::number(id);
    EXPECT_EQ(printLog.calls, (QStringList{resume, resume}));
    EXPECT_EQ(w.LastReleasedJob, QString::number(id));
    // Logged once per matching job: the page counters count the pages twice.
    EXPECT_DOUBLE_EQ(w.SessionPrinted, 6.0);
    EXPECT_EQ(counter("PrintedCounter"), QStringLiteral("6"));
    EXPECT_EQ(w.statusPanelText(1), QStringLiteral("Resume Job ") + w.timeText());
    EXPECT_TRUE(audit().contains(QStringLiteral("Job|Resume Job")));
}

TEST_F(JobActionsTest, Release_AfterDelete_ReleaseFieldsWrittenAndDeleteMarkCleared)
{
    const qint64 id = job(QStringLiteral("Quarterly.pdf"), QStringLiteral("alice"), 3, true);
    FrmMain& w = open();
    env.user = QStringLiteral("op7");
    env.computer = QStringLiteral("WS77");
    w.jobLog().LogJobField(keyOf(id), QStringLiteral("Deleted"), QStringLiteral("1/1/2026"));
    w.jobLog().LogJobField(keyOf(id), QStringLiteral("Deleted Pages"), QStringLiteral("9"));
    selectJob(id);

    settle(w.MenuResumeJob_Click());

    settle(w);

    const QVariantMap row = logRow(keyOf(id));
    ASSERT_FALSE(row.isEmpty());
    EXPECT_EQ(row.value(QStringLiteral("Server")).toString(), QStringLiteral("PS1"));
    EXPECT_EQ(row.value(QStringLiteral("Queue")).toString(), QStringLiteral("Sales"));
    EXPECT_EQ(row.value(QStringLiteral("Description")).toString(), QStringLiteral("Quarterly.pdf"));
    EXPECT_EQ(row.value(QStringLiteral("User")).toString(), QStringLiteral("alice"));
    EXPECT_EQ(row.value(QStringLiteral("Name")).toString(), QString::number(id));
    EXPECT_EQ(row.value(QStringLiteral("Time Submitted")).toString(), QStringLiteral("3/14/2026 9:15:30 AM"));
    EXPECT_EQ(row.value(QStringLiteral("Pages")).toString(), QStringLiteral("3"));
    EXPECT_EQ(row.value(QStringLiteral("Resumed")).toString(), generalDateText(clock.now()));
    EXPECT_EQ(row.value(QStringLiteral("Printed Pages")).toString(), QStringLiteral("3"));
    EXPECT_TRUE(row.value(QStringLiteral("Deleted")).isNull());
    EXPECT_TRUE(row.value(QStringLiteral("Deleted Pages")).isNull());
    EXPECT_EQ(row.value(QStringLiteral("HLV User")).toString(), QStringLiteral("op7"));
    EXPECT_EQ(row.value(QStringLiteral("HLV Computer")).toString(), QStringLiteral("WS77"));
}

TEST_F(JobActionsTest, Release_AutoQueueOff_OnlyTheJobResumedNoRefresh)
{
    const qint64 id = job(QStringLiteral("Report"), QStringLiteral("alice"), 3, true);
    FrmMain& w = open();
    selectJob(id);
    const int interval = w.Timer2.interval();
    ps1().pauseQueue(QStringLiteral("Sales")); // changed behind the window's back

    settle(w.MenuResumeJob_Click());

    settle(w);

    EXPECT_EQ(printLog.calls, QStringList{QStringLiteral("resumeJob Sales ") + QString::number(id)});
    EXPECT_EQ(jobInfo(id).StatusMask & JobStatus::Paused, 0u);
    EXPECT_EQ(w.Timer2.interval(), interval);
    EXPECT_EQ(w.txtPrintStatus->text(), QStringLiteral("OK")); // not refreshed
}

TEST_F(JobActionsTest, Release_AutoQueueOn_QueueResumedRefreshedAndFastPolling)
{
    const qint64 first = job(QStringLiteral("One"), QStringLiteral("alice"), 3, false, 15);
    const qint64 second = job(QStringLiteral("Two"), QStringLiteral("bob"), 2, false, 16);
    FrmMain& w = open(QStringLiteral("AutoQueue=1\n"));
    ASSERT_EQ(FrmMain::value(w.chkAutoQueue), 1);
    ASSERT_NE(queueStatus() & PrinterStatus::Paused, 0u);
    selectJob(second);

    settle(w.MenuResumeJob_Click());

    settle(w);

    EXPECT_EQ(queueStatus() & PrinterStatus::Paused, 0u);
    EXPECT_EQ(jobInfo(second).StatusMask & JobStatus::Paused, 0u);
    EXPECT_NE(jobInfo(first).StatusMask & JobStatus::Paused, 0u); // the others stay held
    EXPECT_TRUE(w.Timer2.isActive());
    EXPECT_EQ(w.Timer2.interval(), 10);
    EXPECT_EQ(w.txtPrintStatus->text(), QStringLiteral("OK")); // refreshed after the resume
}

TEST_F(JobActionsTest, Counters_MissingGarbageNumeric_LeadingNumberRule)
{
    struct Case
    {
        const char* stored; // nullptr: key missing
        const char* printed;
    };
    const Case cases[] = {{nullptr, "3"}, {"", "3"}, {"abc", "3"}, {"10", "13"}, {"10 pages", "13"}, {"2.5", "5.5"}};
    for (const Case& c : cases) {
        const qint64 id = job(QStringLiteral("Doc"), QStringLiteral("alice"), 3, true);
        FrmMain& w = open();
        if (c.stored) {
            w.iniFile().WriteIni(QStringLiteral("Log Counters"), QStringLiteral("PrintedCounter"),
                                 QString::fromUtf8(c.stored));
        }
        selectJob(id);
        settle(w.MenuResumeJob_Click());
        settle(w);
        EXPECT_EQ(counter("PrintedCounter"), QString::fromUtf8(c.printed)) << (c.stored ? c.stored : "(missing)");
        window.reset();
        QFile::remove(iniPath());
    }
}

TEST_F(JobActionsTest, Counters_UnknownPages_CountersUnchanged)
{
    const qint64 id = job(QStringLiteral("Doc"), QStringLiteral("alice"), std::nullopt, true);
    FrmMain& w = open(QStringLiteral("[Log Counters]\nPrintedCounter=10\n"));
    selectJob(id);
    settle(w.MenuResumeJob_Click());
    settle(w);
    EXPECT_EQ(counter("PrintedCounter"), QStringLiteral("10"));
    EXPECT_DOUBLE_EQ(w.SessionPrinted, 0.0);
    EXPECT_EQ(printLog.calls.size(), 1); // the job is released all the same
}

TEST_F(JobActionsTest, Delete_Yes_RemovedLoggedCountedAudited)
{
    const qint64 id = job(QStringLiteral("Report"), QStringLiteral("alice"), 3);
    FrmMain& w = open(QStringLiteral("[Log Counters]\nDeletedCounter=10\n"));
    w.jobLog().LogJobField(keyOf(id), QStringLiteral("Resumed"), QStringLiteral("1/1/2026"));
    selectJob(id);
    dialogs.msgAnswers.push_back(MsgBoxResult::Yes);

    settle(w.MenuRemove_Click());

    settle(w);

    ASSERT_EQ(dialogs.messages().size(), 1);
    const auto box = dialogs.messages().first();
    EXPECT_EQ(box.text.toStdString(), "Are you sure you want to delete \r\nReport\r\nby \\\\PC7 2KB?");
    EXPECT_EQ(box.style, 20);
    EXPECT_EQ(box.title, QStringLiteral("Warning"));
    EXPECT_FALSE(jobListed(id));
    EXPECT_EQ(counter("DeletedCounter"), QStringLiteral("13"));
    EXPECT_EQ(w.SessionDeleted, 3);
    EXPECT_EQ(w.statusPanelText(1), QStringLiteral("Remove Job ") + w.timeText());
    EXPECT_TRUE(audit().contains(QStringLiteral("Job|Remove Job")));
    const QVariantMap row = logRow(keyOf(id));
    EXPECT_EQ(row.value(QStringLiteral("Deleted")).toString(), generalDateText(clock.now()));
    EXPECT_EQ(row.value(QStringLiteral("Deleted Pages")).toString(), QStringLiteral("3"));
    EXPECT_TRUE(row.value(QStringLiteral("Resumed")).isNull());
    EXPECT_TRUE(row.value(QStringLiteral("Printed Pages")).isNull());
    EXPECT_TRUE(w.Timer2.isActive());
}

TEST_F(JobActionsTest, Delete_SessionPast16Bits_KeepsCounting)
{
    const qint64 id = job(QStringLiteral("Big"), QStringLiteral("alice"), 300);
    FrmMain& w = open();
    w.SessionDeleted = 32700;
    selectJob(id);
    dialogs.msgAnswers.push_back(MsgBoxResult::Yes);
    settle(w.MenuRemove_Click());
    settle(w);
    EXPECT_EQ(w.SessionDeleted, 33000);
}

TEST_F(JobActionsTest, Delete_No_NothingRemovedButRefreshedAndTimerRestarted)
{
    const qint64 id = job(QStringLiteral("Report"), QStringLiteral("alice"), 3);
    FrmMain& w = open();
    selectJob(id);
    w.setStatusPanelText(1, QStringLiteral("before"));
    const QStringList auditBefore = audit();
    ps1().pauseQueue(QStringLiteral("Sales")); // only a refresh shows this
    w.Timer2.stop();
    dialogs.msgAnswers.push_back(MsgBoxResult::No);

    settle(w.MenuRemove_Click());

    settle(w);

    EXPECT_TRUE(jobListed(id));
    EXPECT_TRUE(printLog.calls.filter(QStringLiteral("removeJob")).isEmpty());
    EXPECT_EQ(w.statusPanelText(1), QStringLiteral("before"));
    EXPECT_EQ(audit(), auditBefore);
    EXPECT_TRUE(logRow(keyOf(id)).value(QStringLiteral("Deleted")).isNull());
    EXPECT_EQ(w.txtPrintStatus->text(), QStringLiteral(" Paused"));
    EXPECT_TRUE(w.Timer2.isActive());
}

TEST_F(JobActionsTest, NoRowSelected_NothingActedOnDeleteOnlyRestartsTimer)
{
    job(QStringLiteral("Report"), QStringLiteral("alice"), 3, true);
    FrmMain& w = open();
    w.JobList->selectRow(-1);
    w.Timer2.stop();

    settle(w.MenuRemove_Click());

    settle(w);
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_TRUE(w.Timer2.isActive());

    settle(w.MenuResumeJob_Click());

    settle(w);
    settle(w.MenuPauseJob_Click());
    settle(w);
    EXPECT_TRUE(printLog.calls.isEmpty());
    EXPECT_EQ(counter("PrintedCounter"), QString());
}

TEST_F(JobActionsTest, Pause_MatchingJob_PausedAndRefreshed)
{
    const qint64 id = job(QStringLiteral("Report"), QStringLiteral("alice"), 3);
    FrmMain& w = open();
    selectJob(id);
    settle(w.MenuPauseJob_Click());
    settle(w);
    EXPECT_EQ(printLog.calls, QStringList{QStringLiteral("pauseJob Sales ") + QString::number(id)});
    EXPECT_NE(jobInfo(id).StatusMask & JobStatus::Paused, 0u);
    EXPECT_EQ(w.statusPanelText(1), QStringLiteral("Pause Job ") + w.timeText());
    EXPECT_TRUE(audit().contains(QStringLiteral("Job|Pause Job")));
    EXPECT_EQ(logCount(), 1); // the job's own entry; the pause writes no field
}

TEST_F(JobActionsTest, Priority_Answers_OnlyNumbersChangeIt)
{
    const qint64 id = job(QStringLiteral("Report"), QStringLiteral("alice"), 3);
    FrmMain& w = open();
    selectJob(id);

    w.setStatusPanelText(1, QStringLiteral("before"));
    for (const char* blank : {"", "   "}) {
        dialogs.textAnswers.push_back(QString::fromUtf8(blank));
        settle(w.MenuPriority_Click());
        settle(w);
    }
    EXPECT_TRUE(printLog.calls.isEmpty());
    EXPECT_FALSE(audit().contains(QStringLiteral("Job|Change Priority")));
    EXPECT_EQ(w.statusPanelText(1), QStringLiteral("before"));

    dialogs.textAnswers.push_back(QStringLiteral(" 5 "));
    settle(w.MenuPriority_Click());
    settle(w);
    EXPECT_EQ(jobInfo(id).Priority, 5);
    EXPECT_EQ(printLog.calls,
              QStringList{QStringLiteral("setJobPriority Sales ") + QString::number(id) + QStringLiteral(" 5")});
    EXPECT_EQ(w.statusPanelText(1), QStringLiteral("Change Priority ") + w.timeText());
    EXPECT_TRUE(audit().contains(QStringLiteral("Job|Change Priority")));

    printLog.calls.clear();
    dialogs.textAnswers.push_back(QStringLiteral("high"));
    settle(w.MenuPriority_Click());
    settle(w);
    EXPECT_EQ(jobInfo(id).Priority, 5);
    EXPECT_TRUE(printLog.calls.isEmpty());

    const auto box = dialogs.shown.first();
    EXPECT_EQ(box.kind, QStringLiteral("input"));
    EXPECT_EQ(box.text, QStringLiteral("Please enter a new Priority for this Print Job:"));
    EXPECT_EQ(box.title, QStringLiteral("Halvern"));
    EXPECT_EQ(box.defaultText, QString());
}

TEST_F(JobActionsTest, Comment_BlanksStoredEmptyIgnored)
{
    const qint64 id = job(QStringLiteral("Report"), QStringLiteral("alice"), 3);
    FrmMain& w = open();
    selectJob(id);
    const QStringList auditBefore = audit();
    w.setStatusPanelText(1, QStringLiteral("before"));

    dialogs.textAnswers.push_back(QString());
    settle(w.mnuLogComment_Click());
    settle(w);
    EXPECT_TRUE(logRow(keyOf(id)).value(QStringLiteral("Comments")).isNull());

    dialogs.textAnswers.push_back(QStringLiteral("   "));
    settle(w.mnuLogComment_Click());
    settle(w);
    const QVariantMap row = logRow(keyOf(id));
    EXPECT_EQ(row.value(QStringLiteral("Comments")).toString(), QStringLiteral("   "));
    EXPECT_EQ(row.value(QStringLiteral("HLV User")).toString(), QStringLiteral("operator"));
    EXPECT_EQ(row.value(QStringLiteral("HLV Computer")).toString(), QStringLiteral("WS01"));
    EXPECT_EQ(audit(), auditBefore);
    EXPECT_EQ(w.statusPanelText(1), QStringLiteral("before"));

    const auto box = dialogs.shown.first();
    EXPECT_EQ(box.text, QStringLiteral("Enter your Comments:"));
    EXPECT_EQ(box.title, QStringLiteral("Add Log Comments - Halvern"));
}

} // namespace
} // namespace hlv::test
