#include "console/ui/FrmStats.h"

#include <QLabel>
#include <QPushButton>

#include "ConsoleFixture.h"
#include "platform/GeneralDate.h"
#include "platform/MailClient.h"
#include "store/IniFile.h"
#include "store/JobLogStore.h"
#include "support/RecordingMailClient.h"

namespace hlv::test {
namespace {

class FrmStatsTest : public ConsoleFixture
{
protected:
    void configure(ConsoleContext& ctx) override { ctx.mailClient = withMail ? &mail : nullptr; }

    FrmStats& open()
    {
        if (!window) {
            start();
        }
        window->MenuStatistics_Click();
        FrmStats* stats = window->loadedStatsWindow();
        EXPECT_NE(stats, nullptr);
        return *stats;
    }

    void field(const QString& key, const QString& name, const QString& value)
    {
        ASSERT_TRUE(window->jobLog().LogJobField(key, name, value)) << name.toStdString();
    }
    // Four jobs: 25 pages deleted; 10 printed; 7 printed and then 5 of them deleted (counts
    // as deleted only); one without pages or date. Server, queue and user names repeat in
    // other letter cases.
    void fillLog()
    {
        const QString t1 = QStringLiteral("1-3/10/2026 8:00:00 AM");
        field(t1, QStringLiteral("Server"), QStringLiteral("PS1"));
        field(t1, QStringLiteral("Queue"), QStringLiteral("Q1"));
        field(t1, QStringLiteral("User"), QStringLiteral("alice"));
        field(t1, QStringLiteral("Time Submitted"), QStringLiteral("3/10/2026 8:00:00 AM"));
        field(t1, QStringLiteral("Pages"), QStringLiteral("25"));
        field(t1, QStringLiteral("Deleted Pages"), QStringLiteral("25"));
        const QString t2 = QStringLiteral("2-3/12/2026 10:00:00 AM");
        field(t2, QStringLiteral("Server"), QStringLiteral("PS1"));
        field(t2, QStringLiteral("Queue"), QStringLiteral("Q2"));
        field(t2, QStringLiteral("User"), QStringLiteral("bob"));
        field(t2, QStringLiteral("Time Submitted"), QStringLiteral("3/12/2026 10:00:00 AM"));
        field(t2, QStringLiteral("Pages"), QStringLiteral("10"));
        field(t2, QStringLiteral("Printed Pages"), QStringLiteral("10"));
        const QString t3 = QStringLiteral("3-3/13/2026 11:00:00 AM");
        field(t3, QStringLiteral("Server"), QStringLiteral("ps1"));
        field(t3, QStringLiteral("Queue"), QStringLiteral("q1"));
        field(t3, QStringLiteral("User"), QStringLiteral("Alice"));
        field(t3, QStringLiteral("Time Submitted"), QStringLiteral("3/13/2026 11:00:00 AM"));
        field(t3, QStringLiteral("Pages"), QStringLiteral("7 pages"));
        field(t3, QStringLiteral("Printed Pages"), QStringLiteral("7"));
        field(t3, QStringLiteral("Deleted Pages"), QStringLiteral("5"));
        const QString t4 = QStringLiteral("4-");
        field(t4, QStringLiteral("Server"), QStringLiteral("PS2"));
        field(t4, QStringLiteral("Queue"), QStringLiteral("Q3"));
        field(t4, QStringLiteral("User"), QStringLiteral("carol"));
    }
    static QStringList logTexts(const FrmStats& stats)
    {
        QStringList out;
        for (const QLabel* label : stats.lblLog) {
            out.append(label->text());
        }
        return out;
    }

    RecordingMailClient mail;
    bool withMail = true;
};

TEST_F(FrmStatsTest, MenuStatistics_Opened_ModelessCaptionOneInstance)
{
    FrmStats& stats = open();
    EXPECT_EQ(stats.windowTitle(), QStringLiteral("Statistics - Halvern"));
    EXPECT_TRUE(stats.isVisible());
    EXPECT_EQ(stats.windowModality(), Qt::NonModal);
    window->MenuStatistics_Click();
    EXPECT_EQ(window->loadedStatsWindow(), &stats);
    EXPECT_EQ(stats.frmTotalStats->title(), QStringLiteral("My Computer"));
    EXPECT_EQ(stats.frmLog->title(), QStringLiteral("Log"));
    EXPECT_EQ(stats.cmdResetStats->text(), QStringLiteral("Reset"));
    EXPECT_EQ(stats.cmdResetStats->toolTip(), QStringLiteral("Reset Totals"));
    EXPECT_EQ(stats.cmdExportLog->toolTip(), QStringLiteral("Export Log to CSV"));
    EXPECT_EQ(stats.cmdEmailLog->toolTip(), QStringLiteral("Email Session Statistics and Log File"));
    EXPECT_EQ(stats.CmdAccess->toolTip(), QStringLiteral("Open Log in Access"));
    EXPECT_FALSE(stats.cmdResetStats->isHidden());
    EXPECT_FALSE(stats.CmdAccess->isHidden());
}

TEST_F(FrmStatsTest, Load_LogSessionAndTotals_EveryFigureExact)
{
    writeIni(QStringLiteral("[Halvern]\nResetTotal=3/1/2026 4:05:06 PM\n"
                            "[Log Counters]\nDeletedCounter=30\nPrintedCounter=90 pages\n"));
    start();
    fillLog();
    window->SessionDeleted = 500;
    window->SessionPrinted = 0;
    FrmStats& stats = open();

    EXPECT_EQ(stats.lblSessionPrinted->text(), QStringLiteral("Current Session - Printed Pages: 0"));
    EXPECT_EQ(stats.lblSessionDeleted->text(), QStringLiteral("Current Session - Deleted Pages: 500"));
    EXPECT_EQ(stats.lblSessionSavings->text(), QStringLiteral("Your Current Saving is 100.00%"));
    EXPECT_EQ(stats.lblTotalPrinted->text(), QStringLiteral("Total Printed Pages: 90"));
    EXPECT_EQ(stats.lblTotalDeleted->text(), QStringLiteral("Total Deleted Pages: 30"));
    EXPECT_EQ(stats.lblTotalSavings->text(), QStringLiteral("Your Total Saving is 25.00%"));
    EXPECT_EQ(stats.lblTotalReset->text(), QStringLiteral("Total Last Reset: 3/1/2026"));
    EXPECT_EQ(logTexts(stats),
              (QStringList{QStringLiteral("Log Printed Pages: 10"), QStringLiteral("Log Deleted Pages: 30"),
                           QStringLiteral("Log Saving is 75.00%"), QStringLiteral("Log Started: 3/10/2026"),
                           QStringLiteral("Log Finished: 3/14/2026"), QStringLiteral("Pages Managed: 42"),
                           QStringLiteral("Jobs Managed: 4"), QStringLiteral("Servers Managed: 2"),
                           QStringLiteral("Queues Managed: 3"), QStringLiteral("Users Managed: 3")}));
}

TEST_F(FrmStatsTest, Load_NothingAnywhere_ZerosBarePrefixesAndToday)
{
    FrmStats& stats = open();
    EXPECT_EQ(stats.lblSessionSavings->text(), QStringLiteral("Your Current Saving is "));
    EXPECT_EQ(stats.lblTotalSavings->text(), QStringLiteral("Your Total Saving is "));
    EXPECT_EQ(stats.lblTotalPrinted->text(), QStringLiteral("Total Printed Pages: 0"));
    EXPECT_EQ(stats.lblTotalReset->text(), QStringLiteral("Total Last Reset: 3/14/2026"));
    EXPECT_EQ(logTexts(stats),
              (QStringList{QStringLiteral("Log Printed Pages: 0"), QStringLiteral("Log Deleted Pages: 0"),
                           QStringLiteral("Log Saving is 0.00%"), QStringLiteral("Log Started: 3/14/2026"),
                           QStringLiteral("Log Finished: 3/14/2026"), QStringLiteral("Pages Managed: 0"),
                           QStringLiteral("Jobs Managed: 0"), QStringLiteral("Servers Managed: 0"),
                           QStringLiteral("Queues Managed: 0"), QStringLiteral("Users Managed: 0")}));
}

TEST_F(FrmStatsTest, Refresh_FiguresNotLive_ChangeOnlyOnRefresh)
{
    FrmStats& stats = open();
    window->SessionPrinted = 12;
    window->iniFile().WriteIni(QStringLiteral("Log Counters"), QStringLiteral("DeletedCounter"), QStringLiteral("4"));
    EXPECT_EQ(stats.lblSessionPrinted->text(), QStringLiteral("Current Session - Printed Pages: 0"));
    stats.cmdRefreshStats->click();
    EXPECT_EQ(stats.lblSessionPrinted->text(), QStringLiteral("Current Session - Printed Pages: 12"));
    EXPECT_EQ(stats.lblTotalDeleted->text(), QStringLiteral("Total Deleted Pages: 4"));
    EXPECT_EQ(stats.lblTotalSavings->text(), QStringLiteral("Your Total Saving is 100.00%"));
}

TEST_F(FrmStatsTest, Reset_Totals_ZeroWrittenDateSetLogUnchanged)
{
    writeIni(QStringLiteral("[Halvern]\nResetTotal=3/1/2026\n"
                            "[Log Counters]\nDeletedCounter=30\nPrintedCounter=90\n"));
    start();
    fillLog();
    window->SessionDeleted = 7;
    window->SessionPrinted = 3;
    FrmStats& stats = open();
    const QStringList logBefore = logTexts(stats);
    clock.advance(3600);

    stats.cmdResetStats->click();

    const IniFile& ini = window->iniFile();
    EXPECT_EQ(ini.ReadIni(QStringLiteral("Log Counters"), QStringLiteral("DeletedCounter")), QStringLiteral("0"));
    EXPECT_EQ(ini.ReadIni(QStringLiteral("Log Counters"), QStringLiteral("PrintedCounter")), QStringLiteral("0"));
    EXPECT_EQ(window->settings().ResetTotal, clock.now());
    EXPECT_EQ(window->SessionDeleted, 0);
    EXPECT_EQ(window->SessionPrinted, 0);
    EXPECT_EQ(stats.lblSessionPrinted->text(), QStringLiteral("Current Session - Printed Pages: 0"));
    EXPECT_EQ(stats.lblSessionDeleted->text(), QStringLiteral("Current Session - Deleted Pages: 0"));
    EXPECT_EQ(stats.lblSessionSavings->text(), QStringLiteral("Your Current Saving is "));
    EXPECT_EQ(stats.lblTotalPrinted->text(), QStringLiteral("Total Printed Pages: 0"));
    EXPECT_EQ(stats.lblTotalDeleted->text(), QStringLiteral("Total Deleted Pages: 0"));
    EXPECT_EQ(stats.lblTotalSavings->text(), QStringLiteral("Your Total Saving is "));
    EXPECT_EQ(stats.lblTotalReset->text(), QStringLiteral("Total Last Reset: 3/14/2026"));
    EXPECT_EQ(logTexts(stats), logBefore);
    // The reset date reaches the settings file with the other settings at shutdown.
    window->Form_Unload();
    EXPECT_EQ(ini.ReadIni(QStringLiteral("Halvern"), QStringLiteral("ResetTotal")),
              generalDateText(QDateTime(QDate(2026, 3, 14), QTime(10, 30))));
}

TEST_F(FrmStatsTest, Load_SimpleMenu_ResetAndAccessHiddenFiguresShown)
{
    writeIni(QStringLiteral("[Halvern]\nSimpleView=Simple Menu\n"));
    FrmStats& stats = open();
    EXPECT_TRUE(stats.cmdResetStats->isHidden());
    EXPECT_TRUE(stats.CmdAccess->isHidden());
    EXPECT_FALSE(stats.cmdEmailLog->isHidden());
    EXPECT_EQ(stats.lblLog[2]->text(), QStringLiteral("Log Saving is 0.00%"));
}

TEST_F(FrmStatsTest, Email_Statistics_MailClientGetsSubjectBodyAndCsv)
{
    writeIni(QStringLiteral("[Halvern]\nAudit=True\n[Log Counters]\nDeletedCounter=30\nPrintedCounter=90\n"));
    start();
    fillLog();
    FrmStats& stats = open();
    // The mail carries the figures as the window shows them, not recomputed.
    window->SessionPrinted = 99;
    clock.advance(60);

    stats.cmdEmailLog->click();

    ASSERT_EQ(mail.composed.size(), 1);
    const MailMessage& m = mail.composed.at(0);
    EXPECT_EQ(m.subject, QStringLiteral("Halvern - Statistics"));
    EXPECT_EQ(m.recipient, QStringLiteral("support@halvern.example"));
    EXPECT_EQ(m.attachments, QStringList{env.tempPath + QStringLiteral("/HLV_Log.csv")});
    EXPECT_EQ(m.body,
              QStringLiteral("Halvern on WS01 at 3/14/2026 9:31:00 AM\r\n"
                             "\r\nCurrent Session\r\n------------------\r\n\r\n"
                             "Current Session - Printed Pages: 0\r\n"
                             "Current Session - Deleted Pages: 0\r\n"
                             "Your Current Saving is \r\n"
                             "\r\nTotals\r\n------------------\r\n\r\n"
                             "Total Printed Pages: 90\r\nTotal Deleted Pages: 30\r\n"
                             "Your Total Saving is 25.00%\r\nTotal Last Reset: 3/14/2026\r\n"
                             "\r\nLog File\r\n------------------\r\n\r\n"
                             "Log Printed Pages: 10\r\nLog Deleted Pages: 30\r\nLog Saving is 75.00%\r\n"
                             "Log Started: 3/10/2026\r\nLog Finished: 3/14/2026\r\nPages Managed: 42\r\n"
                             "Jobs Managed: 4\r\nServers Managed: 2\r\nQueues Managed: 3\r\nUsers Managed: 3\r\n"
                             "\r\nSave money and the environment by reducing paper and ink usage through better "
                             "printer management.\r\n"
                             "Halvern - www.halvern.example"));
    // The attachment is exported first: the header and one line per job.
    const QString csv = readFile(env.tempPath + QStringLiteral("/HLV_Log.csv"));
    EXPECT_TRUE(csv.startsWith(QStringLiteral("Server,Queue,Description,")));
    EXPECT_EQ(csv.count(QStringLiteral("\r\n")), 6);
    EXPECT_EQ(audit().last(), QStringLiteral("Log|Log Emailed"));
}

TEST_F(FrmStatsTest, Email_MailClientRefusesOrMissing_AuditStillWritten)
{
    writeIni(QStringLiteral("[Halvern]\nAudit=True\n"));
    mail.answer = false;
    FrmStats& stats = open();
    stats.cmdEmailLog_Click();
    EXPECT_EQ(mail.composed.size(), 1);
    EXPECT_EQ(audit().count(QStringLiteral("Log|Log Emailed")), 1);
    EXPECT_TRUE(dialogs.messages().isEmpty());

    window.reset();
    withMail = false;
    FrmStats& without = open();
    without.cmdEmailLog_Click();
    EXPECT_EQ(mail.composed.size(), 1);
    EXPECT_EQ(audit().count(QStringLiteral("Log|Log Emailed")), 2);
    EXPECT_TRUE(dialogs.messages().isEmpty());
}

TEST_F(FrmStatsTest, SendMail_Hidden_LoadsWithoutShowingAndPassesArguments)
{
    start();
    EXPECT_EQ(window->loadedStatsWindow(), nullptr);
    FrmStats& stats = window->statsWindow();
    EXPECT_FALSE(stats.isVisible());
    EXPECT_EQ(stats.lblLog[6]->text(), QStringLiteral("Jobs Managed: 0"));
    EXPECT_TRUE(stats.send_mail(QStringLiteral("a@b.example"), QStringLiteral("Halvern - Full Log"),
                                QStringLiteral("text"), QStringLiteral("/tmp/x.csv")));
    EXPECT_TRUE(stats.send_mail(QStringLiteral("a@b.example"), QStringLiteral("s"), QStringLiteral("t")));
    ASSERT_EQ(mail.composed.size(), 2);
    EXPECT_EQ(mail.composed.at(0).recipient, QStringLiteral("a@b.example"));
    EXPECT_EQ(mail.composed.at(0).subject, QStringLiteral("Halvern - Full Log"));
    EXPECT_EQ(mail.composed.at(0).body, QStringLiteral("text"));
    EXPECT_EQ(mail.composed.at(0).attachments, QStringList{QStringLiteral("/tmp/x.csv")});
    EXPECT_TRUE(mail.composed.at(1).attachments.isEmpty());
    // Shown later, the loaded window is the one shown.
    window->MenuStatistics_Click();
    EXPECT_EQ(window->loadedStatsWindow(), &stats);
    EXPECT_TRUE(stats.isVisible());
}

TEST_F(FrmStatsTest, Access_OpensLogFileAndAudits)
{
    writeIni(QStringLiteral("[Halvern]\nAudit=True\n"));
    FrmStats& stats = open();
    stats.CmdAccess->click();
    EXPECT_EQ(shell.opened, QStringList{env.appDataPath + QStringLiteral("/hlv.mdb")});
    EXPECT_EQ(audit().last(), QStringLiteral("Log|Log opened in Access"));
}

TEST_F(FrmStatsTest, ExportCsv_Clicked_AuditRecordWritten)
{
    writeIni(QStringLiteral("[Halvern]\nAudit=True\n"));
    FrmStats& stats = open();
    stats.cmdExportLog->click();
    EXPECT_EQ(audit().last(), QStringLiteral("Log|Log Exported to CSV"));
}

} // namespace
} // namespace hlv::test
