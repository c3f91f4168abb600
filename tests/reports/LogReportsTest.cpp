#include "console/reports/LogReports.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "ReportDoubles.h"
#include "platform/Database.h"
#include "platform/GeneralDate.h"
#include "store/JobLogStore.h"
#include "support/FakeClock.h"
#include "support/FakeEnvironment.h"
#include "support/FakeStoreHost.h"
#include "support/RecordingShell.h"

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace hlv::test {
namespace {

QString headerRowOf(const QStringList& headers)
{
    QString row = QStringLiteral("<tr style='border-width: 1px; background-color: #C0C0C0'>");
    for (const QString& h : headers) {
        row += QStringLiteral("<th>") + h + QStringLiteral("</th>");
    }
    return row + QStringLiteral("</tr>");
}

QString rowOf(const QStringList& cells)
{
    QString row = QStringLiteral("<tr>");
    for (const QString& c : cells) {
        row += QStringLiteral("<td>") + c + QStringLiteral("</td>");
    }
    return row + QStringLiteral("</tr>");
}

// The job log reports over a real job log made from the built template, in a temporary
// application-data folder; the report folder is a temporary folder too. The views select
// "today" by the computer's own date, so rows meant for today are dated now.
class LogReportsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_savedLocale = QLocale();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        env.appDataPath = m_dir.filePath(QStringLiteral("appdata"));
        env.tempPath = m_dir.filePath(QStringLiteral("temp"));
        reportDir = m_dir.filePath(QStringLiteral("reports"));
        ASSERT_TRUE(QDir().mkpath(env.appDataPath));
        ASSERT_TRUE(QDir().mkpath(env.tempPath));
        ASSERT_TRUE(QDir().mkpath(reportDir));
        ASSERT_TRUE(QFile::exists(QStringLiteral(HLV_BIN_DIR "/hlv.mdb"))) << "build the hlv_template target first";
        host.audit = false;
        store = std::make_unique<JobLogStore>(env, clock, host, QStringLiteral(HLV_BIN_DIR "/hlv.mdb"));
        window.settings = {reportDir, QStringLiteral("Acme"), QStringLiteral("Less paper.")};
        reports = std::make_unique<LogReports>(*store, surface, shell, window);
    }
    void TearDown() override { QLocale::setDefault(m_savedLocale); }

    void job(const QString& id, const QVariantMap& fields)
    {
        for (auto it = fields.cbegin(); it != fields.cend(); ++it) {
            ASSERT_TRUE(store->LogJobField(id, it.key(), it.value())) << it.key().toStdString();
        }
    }
    QString table(LogReport report) { return reports->table(logReportDefinition(report)); }
    QString page(LogReport report) const
    {
        QFile file(reportDir + logReportDefinition(report).fileName);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    QTemporaryDir m_dir;
    QLocale m_savedLocale;
    QString reportDir;
    FakeEnvironment env;
    FakeClock clock;
    FakeStoreHost host;
    std::unique_ptr<JobLogStore> store;
    RecordingSurface surface;
    RecordingShell shell;
    FakeReportWindow window;
    std::unique_ptr<LogReports> reports;
};

TEST_F(LogReportsTest, EmptyLog_EveryReportTitleAndHeaderRowsOnly)
{
    const struct
    {
        LogReport report;
        void (LogReports::*procedure)(bool);
        const char* file;
        const char* heading;
        const char* caption;
        int columns;
    } cases[] = {
        {LogReport::User, &LogReports::GenerateLogUserReport, "/HLV_LogUserReport.html", "Log User Report", "Users", 5},
        {LogReport::Printer, &LogReports::GenerateLogPrinterReport, "/HLV_LogPrinterReport.html", "Log Printer Report",
         "Printers", 6},
        {LogReport::AuditToday, &LogReports::GenerateAuditTodayReport, "/HLV_LogAuditTodayReport.html",
         "Today's Audit Log", "Jobs", 5},
        {LogReport::AuditActions, &LogReports::GenerateAuditActionsReport, "/HLV_LogAuditActionsReport.html",
         "Audit Actions", "Jobs", 5},
        {LogReport::Full, &LogReports::GenerateLogFullReport, "/HLV_LogFullReport.html", "Log Full Report", "Jobs", 17},
        {LogReport::Today, &LogReports::GenerateLogTodayReport, "/HLV_LogTodayReport.html", "Log Today's Jobs", "Jobs",
         17},
        {LogReport::DailyJobs, &LogReports::GenerateLogDailyJobsReport, "/HLV_LogDailyJobsReport.html",
         "Log Daily Jobs Report", "Jobs", 7},
        {LogReport::MonthlyJobs, &LogReports::GenerateLogMonthlyJobsReport, "/HLV_LogMonthlyJobsReport.html",
         "Log Monthly Jobs Report", "Jobs", 6},
        {LogReport::QueueManager, &LogReports::GenerateLogQueueManagerReport, "/HLV_LogQueueManagerReport.html",
         "Log Queue Manager Report", "Halverns", 6},
    };
    for (const auto& c : cases) {
        const LogReportDefinition& d = logReportDefinition(c.report);
        ASSERT_EQ(d.columns.size(), c.columns) << c.file;
        QStringList headers;
        for (const LogReportColumn& col : d.columns) {
            headers << col.header;
        }
        ((*reports).*(c.procedure))(false);
        const QString path = reportDir + QString::fromLatin1(c.file);
        EXPECT_EQ(shell.opened.last(), path);
        EXPECT_EQ(
            page(c.report),
            QStringLiteral("<html><head><title>Halvern</title>") + GetShowHideScript() +
                QStringLiteral("</head><body align='center' style='color: #000080'><h1>Acme </h1><em style='color: "
                               "#008000'>Less paper.</em><h2><u>") +
                QString::fromLatin1(c.heading) +
                QStringLiteral("</u></h2><table align='center'><tr><td><p><table border=1 cellpadding=2 "
                               "cellspacing=0><tr><th align='center' colspan=") +
                QString::number(c.columns) + QStringLiteral(" style='border-width: 0px; background-color: #C0FFC0'>") +
                QString::fromLatin1(c.caption) + QStringLiteral("</th></tr>") + headerRowOf(headers) +
                QStringLiteral("</table></td></tr></table></body></html>\r\n"))
            << c.file;
    }
    EXPECT_EQ(shell.opened.size(), 9);
    EXPECT_FALSE(surface.mainBusy);
    EXPECT_FALSE(surface.jobListBusy);
}

TEST_F(LogReportsTest, JobColumns_HeadersInOrderPrintedReadsResumed)
{
    QStringList headers;
    QStringList fields;
    for (const LogReportColumn& c : logReportDefinition(LogReport::Full).columns) {
        headers << c.header;
        fields << c.field;
    }
    EXPECT_EQ(headers.join(QLatin1Char(',')),
              QStringLiteral("Time Submitted,Server,Queue,Description,Computer,User,Name,Priority,Pages,Size,Deleted,"
                             "Deleted Pages,Printed,Printed Pages,HLV User,HLV Computer,Comments"));
    EXPECT_EQ(fields.at(12), QStringLiteral("Resumed"));
    QStringList audit;
    for (const LogReportColumn& c : logReportDefinition(LogReport::AuditToday).columns) {
        audit << c.header + QLatin1Char('=') + c.field;
    }
    EXPECT_EQ(audit.join(QLatin1Char(',')), QStringLiteral("Time=Time,HLV Computer=HLV Computer,HLV User=HLV User,"
                                                           "Action Type=Action,Detail=Description"));
}

TEST_F(LogReportsTest, FullReport_NullsEmptyResumedUnderPrintedMarkupEscaped)
{
    job(QStringLiteral("7-3/14/2026 9:15:30 AM"),
        {{QStringLiteral("Time Submitted"), QStringLiteral("3/14/2026 9:15:30 AM")},
         {QStringLiteral("Server"), QStringLiteral("PRINT1")},
         {QStringLiteral("Queue"), QStringLiteral("Sales")},
         {QStringLiteral("Description"), QStringLiteral("<b>a & b</b>")},
         {QStringLiteral("User"), QStringLiteral("alice")},
         {QStringLiteral("Name"), QStringLiteral("7")},
         {QStringLiteral("Pages"), QStringLiteral("3")},
         {QStringLiteral("Resumed"), QStringLiteral("3/14/2026 9:20:00 AM")},
         {QStringLiteral("Printed Pages"), QStringLiteral("3")}});
    EXPECT_TRUE(table(LogReport::Full)
                    .endsWith(rowOf({QStringLiteral("3/14/2026 9:15:30 AM"), QStringLiteral("PRINT1"),
                                     QStringLiteral("Sales"), QStringLiteral("&lt;b&gt;a &amp; b&lt;/b&gt;"), QString(),
                                     QStringLiteral("alice"), QStringLiteral("7"), QString(), QStringLiteral("3"),
                                     QString(), QString(), QString(), QStringLiteral("3/14/2026 9:20:00 AM"),
                                     QStringLiteral("3"), QString(), QString(), QString()}) +
                              QStringLiteral("</table>")));
}

TEST_F(LogReportsTest, Summaries_GroupedAndCountedByTheViews)
{
    const auto add = [&](const char* id, const char* user, const char* queue, const char* submitted, const char* pages,
                         const char* deleted, const char* printed, const char* hlvUser) {
        QVariantMap fields{{QStringLiteral("User"), QString::fromLatin1(user)},
                           {QStringLiteral("Server"), QStringLiteral("PRINT1")},
                           {QStringLiteral("Queue"), QString::fromLatin1(queue)},
                           {QStringLiteral("Time Submitted"), QString::fromLatin1(submitted)},
                           {QStringLiteral("Pages"), QString::fromLatin1(pages)}};
        if (deleted) {
            fields.insert(QStringLiteral("Deleted Pages"), QString::fromLatin1(deleted));
        }
        if (printed) {
            fields.insert(QStringLiteral("Printed Pages"), QString::fromLatin1(printed));
        }
        if (hlvUser) {
            fields.insert(QStringLiteral("HLV User"), QString::fromLatin1(hlvUser));
            fields.insert(QStringLiteral("HLV Computer"), QStringLiteral("WS01"));
        }
        job(QString::fromLatin1(id), fields);
    };
    add("1", "alice", "Sales", "3/14/2026 9:00:00 AM", "10", "10", nullptr, "op");
    add("2", "alice", "Sales", "3/14/2026 10:00:00 AM", "4", nullptr, "4", "op");
    add("3", "bob", "Back", "4/2/2026 8:00:00 AM", "5", "5", "5", nullptr);

    EXPECT_TRUE(table(LogReport::User)
                    .endsWith(rowOf({QStringLiteral("alice"), QStringLiteral("2"), QStringLiteral("14"),
                                     QStringLiteral("10"), QStringLiteral("4")}) +
                              rowOf({QStringLiteral("bob"), QStringLiteral("1"), QStringLiteral("5"),
                                     QStringLiteral("5"), QStringLiteral("0")}) +
                              QStringLiteral("</table>")));
    EXPECT_TRUE(table(LogReport::Printer)
                    .endsWith(rowOf({QStringLiteral("PRINT1"), QStringLiteral("Back"), QStringLiteral("1"),
                                     QStringLiteral("5"), QStringLiteral("5"), QStringLiteral("0")}) +
                              rowOf({QStringLiteral("PRINT1"), QStringLiteral("Sales"), QStringLiteral("2"),
                                     QStringLiteral("14"), QStringLiteral("10"), QStringLiteral("4")}) +
                              QStringLiteral("</table>")));
    const QString daily = rowOf({QStringLiteral("2026"), QStringLiteral("3"), QStringLiteral("14"), QStringLiteral("2"),
                                 QStringLiteral("14"), QStringLiteral("10"), QStringLiteral("4")}) +
                          rowOf({QStringLiteral("2026"), QStringLiteral("4"), QStringLiteral("2"), QStringLiteral("1"),
                                 QStringLiteral("5"), QStringLiteral("5"), QStringLiteral("0")}) +
                          QStringLiteral("</table>");
    const QString monthly = rowOf({QStringLiteral("2026"), QStringLiteral("3"), QStringLiteral("2"),
                                   QStringLiteral("14"), QStringLiteral("10"), QStringLiteral("4")}) +
                            rowOf({QStringLiteral("2026"), QStringLiteral("4"), QStringLiteral("1"),
                                   QStringLiteral("5"), QStringLiteral("5"), QStringLiteral("0")}) +
                            QStringLiteral("</table>");
    // A side table of the days dropped or made again with other columns leaves the days to
    // the texts: the day reports are not left empty.
    for (const char* damage :
         {"", "DROP TABLE HLV_DateForms; CREATE TABLE HLV_DateForms (Pattern TEXT)", "DROP TABLE HLV_SubmitDays"}) {
        if (*damage != '\0') {
            auto db = Database::open(store->logFilePath());
            ASSERT_TRUE(db && db->exec(QString::fromLatin1(damage))) << damage;
        }
        EXPECT_TRUE(table(LogReport::DailyJobs).endsWith(daily)) << damage;
        EXPECT_TRUE(table(LogReport::MonthlyJobs).endsWith(monthly)) << damage;
    }
    EXPECT_TRUE(table(LogReport::QueueManager)
                    .endsWith(rowOf({QStringLiteral("WS01"), QStringLiteral("op"), QStringLiteral("2"),
                                     QStringLiteral("14"), QStringLiteral("10"), QStringLiteral("4")}) +
                              QStringLiteral("</table>")));
}

TEST_F(LogReportsTest, TodayReports_OnlyTodaysRowsAuditTimeAsGeneralDate)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString today = generalDateText(now);
    job(QStringLiteral("1"),
        {{QStringLiteral("Time Submitted"), today}, {QStringLiteral("Description"), QStringLiteral("new")}});
    job(QStringLiteral("2"), {{QStringLiteral("Time Submitted"), generalDateText(now.addDays(-1))},
                              {QStringLiteral("Description"), QStringLiteral("old")}});
    const QString jobs = table(LogReport::Today);
    EXPECT_TRUE(jobs.contains(QStringLiteral("<td>new</td>")));
    EXPECT_FALSE(jobs.contains(QStringLiteral("<td>old</td>")));

    host.audit = true;
    clock.current = now.addDays(-1);
    ASSERT_TRUE(store->WriteAudit(QStringLiteral("Queue"), QStringLiteral("yesterday's")));
    clock.current = QDateTime(now.date(), QTime(0, 0, 1));
    ASSERT_TRUE(store->WriteAudit(QStringLiteral("Report"), QStringLiteral("Log <Today>")));
    ASSERT_TRUE(store->WriteAudit(QStringLiteral("Report"), QStringLiteral("Log <Today>")));
    const QString audit = table(LogReport::AuditToday);
    const QString row = rowOf({generalDateText(clock.current), QStringLiteral("WS01"), QStringLiteral("operator"),
                               QStringLiteral("Report"), QStringLiteral("Log &lt;Today&gt;")});
    EXPECT_TRUE(audit.endsWith(QStringLiteral("</tr>") + row + row + QStringLiteral("</table>")))
        << audit.toStdString();
    EXPECT_FALSE(audit.contains(QStringLiteral("yesterday")));

    EXPECT_TRUE(table(LogReport::AuditActions)
                    .contains(rowOf({QStringLiteral("Report"), QStringLiteral("Log &lt;Today&gt;"),
                                     QStringLiteral("operator"), QStringLiteral("WS01"), QStringLiteral("2")})));
}

TEST_F(LogReportsTest, NoLogAndNoTemplate_TableHeadOnlyPageStillWrittenAndOpened)
{
    JobLogStore broken(env, clock, host, m_dir.filePath(QStringLiteral("missing-template.mdb")));
    LogReports noLog(broken, surface, shell, window);
    noLog.GenerateLogUserReport(false);
    EXPECT_TRUE(page(LogReport::User)
                    .endsWith(headerRowOf({QStringLiteral("User"), QStringLiteral("Jobs"), QStringLiteral("Pages"),
                                           QStringLiteral("Deleted"), QStringLiteral("Printed")}) +
                              QStringLiteral("</table></td></tr></table></body></html>\r\n")));
    EXPECT_EQ(shell.opened, QStringList{reportDir + QStringLiteral("/HLV_LogUserReport.html")});
}

TEST_F(LogReportsTest, NoOpen_WrittenNotOpenedSecondRunReplacesFirst)
{
    reports->GenerateLogFullReport(true);
    job(QStringLiteral("9"), {{QStringLiteral("Comments"), QStringLiteral("second run")}});
    reports->GenerateLogFullReport(true);
    EXPECT_TRUE(shell.opened.isEmpty());
    EXPECT_TRUE(page(LogReport::Full).contains(QStringLiteral("<td>second run</td>")));
    EXPECT_EQ(QDir(reportDir).entryList(QDir::Files), QStringList{QStringLiteral("HLV_LogFullReport.html")});
}

} // namespace
} // namespace hlv::test
