#include <QAction>
#include <QComboBox>

#include "console/ui/FrmStats.h"
#include "console/ui/VbColour.h"
#include "platform/GeneralDate.h"
#include "store/JobLogStore.h"
#include "support/FullFilesystem.h"
#include "support/RecordingMailClient.h"
#include "ui/ConsoleFixture.h"
#include "support/Settle.h"

namespace hlv::test {
namespace {

// Swallows a timer's ticks: the test looks at whether the timer runs, not at its work.
class TickBlocker : public QObject
{
public:
    bool eventFilter(QObject*, QEvent* event) override { return event->type() == QEvent::Timer; }
};

// The console connected to PRINT1 with the queue Q1 selected, audit on, reports written to
// a folder of their own, the mail client a recording double.
class FrmMainReportsTest : public ConsoleFixture
{
protected:
    void SetUp() override
    {
        ConsoleFixture::SetUp();
        reportDir = env.tempPath + QStringLiteral("/reports");
        ASSERT_TRUE(QDir().mkpath(reportDir));
        addQueue(QStringLiteral("PRINT1"), QStringLiteral("Q1"), QStringLiteral("Floor 2"));
    }
    void configure(ConsoleContext& c) override { c.mailClient = &mail; }

    FrmMain& open(const QString& extra = QString())
    {
        writeIni(QStringLiteral("[Halvern]\nServer=PRINT1\nQueue=Q1\nAudit=True\nStartMax=False\nReportPath=") +
                 reportDir + QLatin1Char('\n') + extra);
        build();
        window->Timer1.installEventFilter(&blocker);
        window->Timer2.installEventFilter(&blocker);
        settle(window->Form_Load());
        shell.opened.clear();
        return *window;
    }

    QString reportDir;
    RecordingMailClient mail;
    TickBlocker blocker;
};

TEST_F(FrmMainReportsTest, LiveReports_OpenedLampGreenAuditRecord)
{
    FrmMain& w = open();
    ASSERT_EQ(w.queueBoxText(), QStringLiteral("Q1"));
    const struct
    {
        std::function<void(FrmMain&)> handler;
        const char* file;
        const char* description;
    } cases[] = {
        {toEnd(&FrmMain::mnuPrinterReport_Click), "/HLV_PrinterReport.html", "PRINT1-Q1"},
        {toEnd(&FrmMain::mnuPrinterReportnj_Click), "/HLV_PrinterReport.html", "PRINT1-Q1"},
        {toEnd(&FrmMain::mnuServerReport_Click), "/HLV_ServerReport.html", "PRINT1"},
        {toEnd(&FrmMain::mnuServerReportnj_Click), "/HLV_ServerReport.html", "PRINT1"},
        {toEnd(&FrmMain::mnuFavReport_Click), "/HLV_FavReport.html", "Favourites Report Generated"},
    };
    for (const auto& c : cases) {
        w.setActiveUpdateColour(VbColours::Red);
        shell.opened.clear();
        c.handler(w);
        EXPECT_EQ(shell.opened, QStringList{reportDir + QString::fromLatin1(c.file)}) << c.file;
        EXPECT_EQ(w.activeUpdateColour(), VbColours::Green) << c.file;
        EXPECT_EQ(audit().last(), QStringLiteral("Report|") + QString::fromLatin1(c.description));
    }
    // The printer report shows the queue the window shows, with its automation settings.
    const QString printer = readFile(reportDir + QStringLiteral("/HLV_PrinterReport.html"));
    EXPECT_TRUE(
        printer.contains(QStringLiteral("<td>PRINT1</td><td>Q1</td><td></td><td>True</td><td>\\\\PRINT1\\Q1</td>"
                                        "<td>Floor 2</td><td></td><td>Disabled</td><td>Disabled</td>")))
        << printer.toStdString();
}

TEST_F(FrmMainReportsTest, CommandLineCalls_QuietWritesWithoutOpening)
{
    FrmMain& w = open();
    settle(w.PrinterReport(w.serverBoxText(), w.queueBoxText(), true, false));
    settle(w.ServerReport(w.serverBoxText(), true, false));
    settle(w.FavouritesReport(true));
    EXPECT_TRUE(shell.opened.isEmpty());
    for (const char* file : {"/HLV_PrinterReport.html", "/HLV_ServerReport.html", "/HLV_FavReport.html"}) {
        EXPECT_TRUE(readFile(reportDir + QString::fromLatin1(file)).endsWith(QStringLiteral("</html>\r\n"))) << file;
    }
}

TEST_F(FrmMainReportsTest, FavouritesReport_ReadsTheFavouritesInUse)
{
    addQueue(QStringLiteral("PRINT1"), QStringLiteral("Back"));
    FrmMain& w = open(QStringLiteral("[Favourites]\n0=PRINT1 | Back | AQ On | AR On | Delete | 18:00\n"
                                     "3=PRINT1 | Q1 | AQ Off | AR Off\n"));
    EXPECT_EQ(w.favouriteCaptions(), (QStringList{QStringLiteral("PRINT1 | Back | AQ On | AR On | Delete | 18:00"),
                                                  QStringLiteral("PRINT1 | Q1 | AQ Off | AR Off")}));
    settle(w.mnuFavReport_Click());
    const QString text = readFile(reportDir + QStringLiteral("/HLV_FavReport.html"));
    const qsizetype back = text.indexOf(QStringLiteral("<td>Back</td>"));
    const qsizetype q1 = text.indexOf(QStringLiteral("<td>Q1</td>"));
    ASSERT_GE(back, 0);
    EXPECT_GT(q1, back);
    EXPECT_TRUE(text.contains(QStringLiteral("<td>Enabled</td><td>Delete at 18:00</td>")));
}

TEST_F(FrmMainReportsTest, LogReports_OpenedAndAudited)
{
    FrmMain& w = open();
    const struct
    {
        std::function<void(FrmMain&)> handler;
        const char* file;
        const char* description;
    } cases[] = {
        {toEnd(&FrmMain::mnuLogRptToday_Click), "/HLV_LogTodayReport.html", "Log Today Report"},
        {toEnd(&FrmMain::mnuLogFullReportHTML_Click), "/HLV_LogFullReport.html", "Log Full Report"},
        {toEnd(&FrmMain::mnuLogRptPrinter_Click), "/HLV_LogPrinterReport.html", "Log Printer"},
        {toEnd(&FrmMain::mnuLogRptUser_Click), "/HLV_LogUserReport.html", "Log User Report"},
        {toEnd(&FrmMain::mnuLogRptDailyJobs_Click), "/HLV_LogDailyJobsReport.html", "Log Daily Jobs"},
        {toEnd(&FrmMain::mnuLogRptMonthlyJobs_Click), "/HLV_LogMonthlyJobsReport.html", "Log Monthly Jobs"},
        {toEnd(&FrmMain::mnuLogRptHLV_Click), "/HLV_LogQueueManagerReport.html", "Log Queue Manager"},
        {toEnd(&FrmMain::mnuAuditRptToday_Click), "/HLV_LogAuditTodayReport.html", "Audit Today Report"},
        {toEnd(&FrmMain::mnuAuditRptActions_Click), "/HLV_LogAuditActionsReport.html", "Audit Actions Report"},
    };
    for (const auto& c : cases) {
        shell.opened.clear();
        c.handler(w);
        EXPECT_EQ(shell.opened, QStringList{reportDir + QString::fromLatin1(c.file)}) << c.file;
        EXPECT_EQ(audit().last(), QStringLiteral("Report|") + QString::fromLatin1(c.description));
    }
    // The audit record of a report is written after the report: the actions report counts
    // the records before it, not its own.
    EXPECT_FALSE(readFile(reportDir + QStringLiteral("/HLV_LogAuditActionsReport.html"))
                     .contains(QStringLiteral("<td>Audit Actions Report</td>")));
}

TEST_F(FrmMainReportsTest, CsvCommand_NoLog_NewLogHeaderOnlyFileOpenedTimerOn)
{
    FrmMain& w = open();
    QFile::remove(env.appDataPath + QStringLiteral("/hlv.mdb"));
    w.Timer2.stop();
    w.mnuLogFullReportCSV_Click();
    const QString csv = env.tempPath + QStringLiteral("/HLV_Log.csv");
    EXPECT_EQ(shell.opened, QStringList{csv});
    EXPECT_EQ(readFile(csv), QStringLiteral("Server,Queue,Description,Computer,User,Pages,Priority,Size,Time Submitted,"
                                            "Year,Month,Day,ID,Deleted,Resumed,Deleted Pages,Printed Pages,"
                                            "HLV Computer,HLV User,Comments\r\n\r\n"));
    EXPECT_TRUE(w.Timer2.isActive());
    const QStringList records = audit();
    ASSERT_FALSE(records.isEmpty());
    EXPECT_EQ(records.first(), QStringLiteral("Log|New log file created."));
    EXPECT_EQ(records.last(), QStringLiteral("Log|Log Exported to CSV"));
}

TEST_F(FrmMainReportsTest, EmailCommand_MailClientGetsSubjectBodyAndCsv)
{
    FrmMain& w = open();
    mail.answer = false; // the operator's mail client could not even start: still audited
    w.mnuLogFullReportEmail_Click();
    ASSERT_EQ(mail.composed.size(), 1);
    const MailMessage& m = mail.composed.first();
    EXPECT_EQ(m.subject, QStringLiteral("Halvern - Full Log"));
    EXPECT_EQ(m.recipient, QStringLiteral("support@halvern.example"));
    EXPECT_EQ(m.attachments, QStringList{env.tempPath + QStringLiteral("/HLV_Log.csv")});
    EXPECT_EQ(m.body, QStringLiteral("Exported from Halvern by operator on WS01 at ") + generalDateText(clock.now()) +
                          QStringLiteral("\r\n\r\nSave money and the environment by reducing paper and ink usage "
                                         "through better printer management.\r\nHalvern - www.halvern.example"));
    EXPECT_TRUE(QFile::exists(env.tempPath + QStringLiteral("/HLV_Log.csv")));
    EXPECT_EQ(audit().last(), QStringLiteral("Log|Log Emailed"));
    EXPECT_TRUE(shell.opened.isEmpty());
}

TEST_F(FrmMainReportsTest, FolderFullInTurn_FailedOutputSaidNothingOpenedOrMailedStillAudited)
{
    // GIVEN the application data (the job log), TEMP (the CSV export), the report folder
    // and the system's temporary folder each on a small file system of its own
    QTemporaryDir tmpdir;
    ASSERT_TRUE(tmpdir.isValid());
    FullFilesystem appDisk;
    FullFilesystem tempDisk;
    FullFilesystem reportDisk;
    FullFilesystem tmpDisk;
    QString why;
    if (!tempDisk.mount(env.tempPath, "4m", &why)) {
        GTEST_SKIP() << why.toStdString();
    }
    ASSERT_TRUE(QDir().mkpath(reportDir));
    ASSERT_TRUE(reportDisk.mount(reportDir, "4m", &why)) << why.toStdString();
    ASSERT_TRUE(appDisk.mount(env.appDataPath, "4m", &why)) << why.toStdString();
    ASSERT_TRUE(tmpDisk.mount(tmpdir.path(), "4m", &why)) << why.toStdString();
    const QByteArray savedTmpdir = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(tmpdir.path()));
    FrmMain& w = open();
    const QString csv = env.tempPath + QStringLiteral("/HLV_Log.csv");
    const QString page = reportDir + QStringLiteral("/HLV_LogUserReport.html");
    const auto put = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write("old") == 3;
    };
    const struct
    {
        const char* full;
        FullFilesystem& disk;
        bool csvFails;
        bool pageFails;
    } cases[] = {
        {"APPDATA", appDisk, false, false},
        {"TEMP", tempDisk, true, false},
        {"report folder", reportDisk, false, true},
        {"TMPDIR", tmpDisk, false, false},
    };
    for (const auto& c : cases) {
        // WHEN the export, its mailing and a report run with the folder full and the
        // previous outputs in place
        ASSERT_TRUE(put(csv) && put(page)) << c.full;
        ASSERT_TRUE(c.disk.fill()) << c.full;
        dialogs.shown.clear();
        shell.opened.clear();
        mail.composed.clear();
        w.mnuLogFullReportCSV_Click();
        w.mnuLogFullReportEmail_Click();
        w.statsWindow().cmdEmailLog_Click();
        w.mnuLogRptUser_Click();
        // The audit records wait for a full job log's disk, and the status bar says so.
        EXPECT_EQ(w.statusPanelText(1).startsWith(QStringLiteral("Job log cannot be written")), &c.disk == &appDisk)
            << c.full << ": " << w.statusPanelText(1).toStdString();
        ASSERT_TRUE(c.disk.release()) << c.full;
        ASSERT_TRUE(waitFor([&] { return w.jobLog().pendingWrites() == 0; })) << c.full;

        // THEN a failed output is said (its path and why), the old file is neither opened
        // nor mailed as if new, the other outputs do not depend on that folder, and every
        // command is audited
        QStringList opened;
        QStringList boxes;
        if (!c.csvFails) {
            opened << csv;
        } else {
            boxes << csv << csv << csv;
        }
        if (!c.pageFails) {
            opened << page;
        } else {
            boxes << page;
        }
        EXPECT_EQ(shell.opened, opened) << c.full;
        EXPECT_EQ(mail.composed.size(), c.csvFails ? 0 : 2) << c.full;
        const auto shown = dialogs.messages();
        ASSERT_EQ(shown.size(), boxes.size()) << c.full;
        for (qsizetype i = 0; i < shown.size(); ++i) {
            EXPECT_TRUE(shown.at(i).text.startsWith(QStringLiteral("Unable to write the ")) &&
                        shown.at(i).text.contains(boxes.at(i) + QLatin1Char('\n')) &&
                        shown.at(i).text.contains(QStringLiteral("No space left on device")))
                << c.full << ": " << shown.at(i).text.toStdString();
        }
        EXPECT_EQ(readFile(csv) == QStringLiteral("old"), c.csvFails) << c.full;
        EXPECT_EQ(readFile(page) == QStringLiteral("old"), c.pageFails) << c.full;
        EXPECT_EQ(audit().mid(audit().size() - 4),
                  (QStringList{QStringLiteral("Log|Log Exported to CSV"), QStringLiteral("Log|Log Emailed"),
                               QStringLiteral("Log|Log Emailed"), QStringLiteral("Report|Log User Report")}))
            << c.full;
    }
    window.reset();
    qputenv("TMPDIR", savedTmpdir);
}

} // namespace
} // namespace hlv::test
