#pragma once

#include <QList>
#include <QString>

#include "console/reports/ReportFrame.h"

namespace hlv {

class ConnectionSurface;
class JobLogStore;
class ReportWindow;
class Shell;

// The nine reports over the job log database. Each reads one stored query (a view of the
// template database) or the job table row by row into one table; the summing, the
// filtering by day and the counting are the views' work, not the program's.
enum class LogReport {
    User,
    Printer,
    AuditToday,
    AuditActions,
    Full,
    Today,
    DailyJobs,
    MonthlyJobs,
    QueueManager,
};

struct LogReportColumn
{
    QString header;
    QString field;          // the source's column read for it
    bool auditTime = false; // the audit table's stored time, shown as general date text
};

struct LogReportDefinition
{
    QString fileName; // "/HLV_...html"
    QString heading;  // the heading line, "<h2><u>...</u></h2>"
    QString source;   // view or table
    QString caption;  // the table's title
    QList<LogReportColumn> columns;
};

const LogReportDefinition& logReportDefinition(LogReport report);

class LogReports
{
public:
    LogReports(JobLogStore& store, ConnectionSurface& pointers, Shell& shell, ReportWindow& window);

    // NoOpen writes the page without opening it.
    void GenerateLogUserReport(bool NoOpen) { run(LogReport::User, NoOpen); }
    void GenerateLogPrinterReport(bool NoOpen) { run(LogReport::Printer, NoOpen); }
    void GenerateAuditTodayReport(bool NoOpen) { run(LogReport::AuditToday, NoOpen); }
    void GenerateAuditActionsReport(bool NoOpen) { run(LogReport::AuditActions, NoOpen); }
    void GenerateLogFullReport(bool NoOpen) { run(LogReport::Full, NoOpen); }
    void GenerateLogTodayReport(bool NoOpen) { run(LogReport::Today, NoOpen); }
    void GenerateLogDailyJobsReport(bool NoOpen) { run(LogReport::DailyJobs, NoOpen); }
    void GenerateLogMonthlyJobsReport(bool NoOpen) { run(LogReport::MonthlyJobs, NoOpen); }
    void GenerateLogQueueManagerReport(bool NoOpen) { run(LogReport::QueueManager, NoOpen); }

    // False when the page could not be written (the window was told why).
    bool run(LogReport report, bool NoOpen);

    // The report's table, from its opening to "</table>": title and header rows, then one
    // row per record of the source. A log or source that cannot be read gives the title and
    // header rows alone.
    QString table(const LogReportDefinition& definition);
    void writeTable(const LogReportDefinition& definition, ReportFile& out);

private:
    JobLogStore& m_store;
    ReportWindow& m_window;
    ReportWriter m_writer;
};

} // namespace hlv
