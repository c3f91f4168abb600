#include <QAction>
#include <QDialog>
#include <QMenu>

#include "ActionsFixture.h"
#include "console/access/WMIPrint.h"
#include "console/ui/VbColour.h"
#include "platform/GeneralDate.h"
#include "support/Settle.h"

namespace hlv::test {
namespace {

class QueueActionsTest : public ActionsFixture
{};

TEST_F(QueueActionsTest, PauseAndResumeQueue_StatusAuditAndRefresh)
{
    FrmMain& w = open();
    settle(w.MenuPause_Click());
    EXPECT_NE(queueStatus() & PrinterStatus::Paused, 0u);
    EXPECT_EQ(w.statusPanelText(1), QStringLiteral("Pause Queue ") + w.timeText());
    EXPECT_EQ(w.txtPrintStatus->text(), QStringLiteral(" Paused"));

    settle(w.imgPause_Click()); // the image of a held queue resumes it
    EXPECT_EQ(queueStatus() & PrinterStatus::Paused, 0u);
    EXPECT_EQ(w.statusPanelText(1), QStringLiteral("Resume Queue ") + w.timeText());
    EXPECT_EQ(w.txtPrintStatus->text(), QStringLiteral("OK"));

    settle(w.imgPlay_Click());
    const QStringList records = audit();
    EXPECT_EQ(records.mid(records.size() - 3),
              (QStringList{QStringLiteral("Queue|Pause Queue - Sales"), QStringLiteral("Queue|Resume Queue - Sales"),
                           QStringLiteral("Queue|Pause Queue - Sales")}));
    EXPECT_EQ(printLog.calls, (QStringList{QStringLiteral("pauseQueue Sales"), QStringLiteral("resumeQueue Sales"),
                                           QStringLiteral("pauseQueue Sales")}));
}

TEST_F(QueueActionsTest, PauseAllJobs_EveryJobPausedNothingLogged)
{
    const qint64 a = job(QStringLiteral("A"), QStringLiteral("alice"), 1);
    const qint64 b = job(QStringLiteral("B"), QStringLiteral("bob"), 2);
    FrmMain& w = open();
    const int logged = logCount();
    settle(w.mnupausealljobs_Click());
    EXPECT_NE(jobInfo(a).StatusMask & JobStatus::Paused, 0u);
    EXPECT_NE(jobInfo(b).StatusMask & JobStatus::Paused, 0u);
    EXPECT_EQ(w.statusPanelText(1), QStringLiteral("Pause All Jobs ") + w.timeText());
    EXPECT_EQ(audit().last(), QStringLiteral("Job|Pause All Jobs - Sales"));
    EXPECT_EQ(logCount(), logged);
}

TEST_F(QueueActionsTest, ResumeAll_AutoQueueOff_AllPausedRowsInOnePass)
{
    const qint64 a = job(QStringLiteral("A"), QStringLiteral("alice"), 1, true, 15);
    const qint64 b = job(QStringLiteral("B"), QStringLiteral("bob"), 2, false, 16);
    const qint64 c = job(QStringLiteral("C"), QStringLiteral("carol"), 3, true, 17);
    FrmMain& w = open();
    const QStringList auditBefore = audit();
    const quint32 commitsBefore = logCommits();

    settle(w.mnuresumealljobs_Click());

    // The audit records and the log rows of all released jobs: one transaction each.
    EXPECT_EQ(logCommits() - commitsBefore, 2u);
    EXPECT_EQ(logRow(keyOf(c, 17)).value(QStringLiteral("Printed Pages")).toString(), QStringLiteral("3"));

    const QString ra = QStringLiteral("resumeJob Sales ") + QString::number(a);
    const QString rc = QStringLiteral("resumeJob Sales ") + QString::number(c);
    const QString rq = QStringLiteral("resumeQueue Sales");
    EXPECT_EQ(printLog.calls, (QStringList{ra, rq, rc, rq}));
    EXPECT_EQ(jobInfo(b).StatusMask & JobStatus::Paused, 0u);
    EXPECT_TRUE(w.ResumeAllPending); // only an empty list ends it
    EXPECT_DOUBLE_EQ(w.SessionPrinted, 4.0);
    EXPECT_EQ(w.txtPrintStatus->text(), QStringLiteral("Resuming All Jobs"));
    // The pass itself writes no audit record; each release writes its own.
    EXPECT_EQ(audit().mid(auditBefore.size()),
              (QStringList{QStringLiteral("Job|Resume Job"), QStringLiteral("Job|Resume Job")}));
}

TEST_F(QueueActionsTest, ResumeAll_EmptyList_EndsWithoutRefresh)
{
    FrmMain& w = open();
    w.ResumeAllPending = true;
    ps1().pauseQueue(QStringLiteral("Sales")); // only a refresh would show this
    settle(w.mnuresumealljobs_Click());
    EXPECT_FALSE(w.ResumeAllPending);
    EXPECT_EQ(w.statusPanelText(1), QStringLiteral("Resume All Jobs ") + w.timeText());
    EXPECT_EQ(w.txtPrintStatus->text(), QStringLiteral("OK"));
    EXPECT_TRUE(printLog.calls.isEmpty());
}

TEST_F(QueueActionsTest, ResumeAll_AutoQueueOn_OneJobPerPassWaitingWhileInFlight)
{
    const qint64 a = job(QStringLiteral("A"), QStringLiteral("alice"), 1, false, 15);
    const qint64 b = job(QStringLiteral("B"), QStringLiteral("bob"), 2, false, 16);
    FrmMain& w = open(QStringLiteral("AutoQueue=1\nPollAQ=6000\nPollAQactive=10\n"));
    ASSERT_NE(jobInfo(a).StatusMask & JobStatus::Paused, 0u);
    ASSERT_NE(jobInfo(b).StatusMask & JobStatus::Paused, 0u);
    reload();

    settle(w.mnuresumealljobs_Click());
    EXPECT_EQ(w.LastReleasedJob, QString::number(a));
    EXPECT_NE(jobInfo(b).StatusMask & JobStatus::Paused, 0u);
    EXPECT_EQ(w.Timer2.interval(), 10);
    EXPECT_TRUE(w.ResumeAllPending);

    // While A prints, ticks keep polling fast and release nothing more.
    printLog.calls.clear();
    runPollTick(w);
    runPollTick(w);
    EXPECT_TRUE(printLog.calls.filter(QStringLiteral("resumeJob")).isEmpty());
    EXPECT_EQ(w.activeUpdateColour(), 255u);

    // A has printed and left: the next tick holds the queue again and releases B.
    ASSERT_TRUE(ps1().print(5).ok);
    ASSERT_FALSE(jobListed(a));
    reload();
    runPollTick(w);
    EXPECT_EQ(w.LastReleasedJob, QString::number(b));
    EXPECT_EQ(jobInfo(b).StatusMask & JobStatus::Paused, 0u);
    EXPECT_EQ(w.Timer2.interval(), 10);

    // B has printed too; the first tick that finds the list empty ends the Resume All.
    ASSERT_TRUE(ps1().print(5).ok);
    reload();
    runPollTick(w);
    EXPECT_FALSE(w.ResumeAllPending);
    EXPECT_EQ(w.Timer2.interval(), 6000);
}

TEST_F(QueueActionsTest, DeleteAll_TwoAndFivePages_CounterBySevenTwoAuditRecords)
{
    const qint64 a = job(QStringLiteral("A"), QStringLiteral("alice"), 2, false, 15);
    const qint64 b = job(QStringLiteral("B"), QStringLiteral("bob"), 5, false, 16);
    FrmMain& w = open(QStringLiteral("[Log Counters]\nDeletedCounter=10\n"));
    const QStringList auditBefore = audit();
    dialogs.msgAnswers.push_back(MsgBoxResult::Yes);

    settle(w.MenuPurge_Click());

    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(dialogs.messages().first().text.toStdString(), "Are you sure you want to delete \r\nall print jobs?");
    EXPECT_EQ(dialogs.messages().first().style, 20);
    EXPECT_EQ(dialogs.messages().first().title, QStringLiteral("Warning"));
    EXPECT_EQ(counter("DeletedCounter"), QStringLiteral("17"));
    EXPECT_EQ(w.SessionDeleted, 7);
    EXPECT_EQ(audit().mid(auditBefore.size()), (QStringList{QStringLiteral("Job|Purge all jobs - Sales"),
                                                            QStringLiteral("Job|Purge all jobs - Sales")}));
    EXPECT_FALSE(jobListed(a));
    EXPECT_FALSE(jobListed(b));
    EXPECT_EQ(w.statusPanelText(1), QStringLiteral("Purge All Jobs ") + w.timeText());
    const QVariantMap row = logRow(keyOf(b, 16));
    EXPECT_EQ(row.value(QStringLiteral("Deleted")).toString(), generalDateText(clock.now()));
    EXPECT_EQ(row.value(QStringLiteral("Deleted Pages")).toString(), QStringLiteral("5"));
    EXPECT_EQ(row.value(QStringLiteral("HLV User")).toString(), QStringLiteral("operator"));
}

TEST_F(QueueActionsTest, DeleteAll_No_NothingWrittenButRefreshed)
{
    const qint64 a = job(QStringLiteral("A"), QStringLiteral("alice"), 2);
    FrmMain& w = open();
    const QStringList auditBefore = audit();
    ps1().pauseQueue(QStringLiteral("Sales"));
    dialogs.msgAnswers.push_back(MsgBoxResult::No);
    settle(w.MenuPurge_Click());
    EXPECT_TRUE(jobListed(a));
    EXPECT_EQ(audit(), auditBefore);
    EXPECT_EQ(counter("DeletedCounter"), QString());
    EXPECT_TRUE(printLog.calls.isEmpty());
    EXPECT_EQ(w.txtPrintStatus->text(), QStringLiteral(" Paused"));
}

TEST_F(QueueActionsTest, DeleteAll_SilentUnderAutoQueue_AsksNothingAndPollsFast)
{
    job(QStringLiteral("A"), QStringLiteral("alice"), 2);
    FrmMain& w = open(QStringLiteral("AutoQueue=1\nPollAQactive=25\n"));
    settle(w.PurgeAllJobs(true));
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_TRUE(printLog.calls.contains(QStringLiteral("purgeQueue Sales")));
    EXPECT_EQ(w.Timer2.interval(), 25);
    EXPECT_TRUE(w.Timer2.isActive());
}

TEST_F(QueueActionsTest, DeleteAll_EmptyQueue_StatusAndPurgeNoAudit)
{
    FrmMain& w = open();
    const QStringList auditBefore = audit();
    settle(w.PurgeAllJobs(true));
    EXPECT_EQ(w.statusPanelText(1), QStringLiteral("Purge All Jobs ") + w.timeText());
    EXPECT_EQ(audit(), auditBefore);
    EXPECT_EQ(printLog.calls, QStringList{QStringLiteral("purgeQueue Sales")});
}

TEST_F(QueueActionsTest, QueueControlMouseDown_RightOpensPrinterMenuLeftNothing)
{
    FrmMain& w = open();
    w.frmQueueControl_MouseDown(1, 0, 300, 300);
    EXPECT_FALSE(w.menuPrinter->isVisible());
    w.frmQueueControl_MouseDown(3, 0, 300, 300); // both buttons count as a right click
    EXPECT_TRUE(w.menuPrinter->isVisible());
    w.menuPrinter->hide();
}

} // namespace
} // namespace hlv::test

namespace hlv::test {
namespace {

class PrinterCommandsTest : public ActionsFixture
{};

TEST_F(PrinterCommandsTest, PrinterProperties_ShownAndAuditedWithPath)
{
    FrmMain& w = open();
    const QString path = w.txtPrintPath->text();
    ASSERT_FALSE(path.isEmpty());
    w.setStatusPanelText(1, QStringLiteral("before"));
    settle(w.cmdPrintProperty_Click());
    QWidget* d = w.propertiesDialog();
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->isVisible());
    EXPECT_FALSE(d->isModal());
    auto* name = d->findChild<QLineEdit*>(QStringLiteral("Name"));
    ASSERT_NE(name, nullptr);
    EXPECT_TRUE(name->isReadOnly());
    EXPECT_EQ(name->text(), w.CurrentQueue->Name);
    d->close();
    EXPECT_EQ(audit().last(), QStringLiteral("Queue|Get printer properties: ") + path);
    EXPECT_EQ(w.statusPanelText(1), QStringLiteral("before"));
}

TEST_F(PrinterCommandsTest, TestPage_PrintedAuditedLampGreenTimerRunning)
{
    FrmMain& w = open();
    w.setActiveUpdateColour(VbColours::Orange);
    settle(w.cmdTestPage_Click());
    EXPECT_EQ(printLog.calls.filter(QStringLiteral("printTestPage")),
              QStringList{QStringLiteral("printTestPage Sales")});
    EXPECT_EQ(w.statusPanelText(1), QStringLiteral("Print Test Page ") + w.timeText());
    EXPECT_EQ(audit().last(), QStringLiteral("Queue|Print Test Page - Sales"));
    EXPECT_EQ(w.activeUpdateColour(), VbColours::Green);
    EXPECT_TRUE(w.Timer2.isActive());
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(PrinterCommandsTest, TestPage_Refused_PermissionMessage)
{
    FrmMain& w = open();
    ASSERT_TRUE(ps1().setQueue(QStringLiteral("Sales"), std::nullopt, std::nullopt, true).ok);
    settle(w.mnutestpage_Click());
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(dialogs.messages().first().text, QStringLiteral("You do not have permission to print a test page!"));
    EXPECT_EQ(dialogs.messages().first().style, 16);
    EXPECT_TRUE(w.Timer2.isActive());
}

} // namespace
} // namespace hlv::test
