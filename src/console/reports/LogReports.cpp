#include "console/reports/LogReports.h"

#include <QDebug>
#include <QHash>

#include "console/reports/ReportWindow.h"
#include "platform/Database.h"
#include "store/JobLogStore.h"
#include "store/SubmitDates.h"

namespace hlv {

namespace {

LogReportColumn column(const char* header, const char* field = nullptr)
{
    return {QLatin1String(header), QLatin1String(field ? field : header), false};
}

QList<LogReportColumn> jobColumns()
{
    return {
        column("Time Submitted"),
        column("Server"),
        column("Queue"),
        column("Description"),
        column("Computer"),
        column("User"),
        column("Name"),
        column("Priority"),
        column("Pages"),
        column("Size"),
        column("Deleted"),
        column("Deleted Pages"),
        column("Printed", "Resumed"),
        column("Printed Pages"),
        column("HLV User"),
        column("HLV Computer"),
        column("Comments"),
    };
}

LogReportDefinition definition(const char* fileName, const char* heading, const char* source, const char* caption,
                               QList<LogReportColumn> columns)
{
    return {QLatin1String(fileName), QLatin1String(heading), QLatin1String(source), QLatin1String(caption),
            std::move(columns)};
}

QString sourceIdentifier(const QString& name)
{
    // The names are the program's own constants; quoting keeps names with blanks whole.
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

// One data row per record of the source, its columns read by name; a name the source does
// not give reads as empty. Text and whole numbers go from SQLite's text straight into the
// page; the rest (real numbers, non-ASCII text, the audit time) takes the QVariant route,
// so every value shows exactly as QVariant::toString gives it.
void appendRows(Database& db, const LogReportDefinition& definition, ReportFile& out)
{
    // A day view whose side tables were dropped or damaged is read with them empty: its
    // rows keep the days their texts give rather than vanish.
    QString sql = QStringLiteral("SELECT * FROM ") + sourceIdentifier(definition.source);
    if (!joblog::submitDaysReadable(db) || !joblog::dateFormsReadable(db)) {
        const QString readable = joblog::readableViewSql(db, definition.source);
        sql = readable.isEmpty() ? sql : readable;
    }
    Query query(db, sql);
    QHash<QString, int> index;
    for (int i = 0; i < query.columnCount(); ++i) {
        index.insert(query.columnName(i).toCaseFolded(), i);
    }
    QList<int> positions;
    for (const LogReportColumn& c : definition.columns) {
        positions << index.value(c.field.toCaseFolded(), -1);
    }
    const auto isAscii = [](QByteArrayView text) {
        for (const char c : text) {
            if (static_cast<unsigned char>(c) > 0x7F) {
                return false;
            }
        }
        return true;
    };
    while (query.next()) {
        out.appendUtf8("<tr>");
        for (int i = 0; i < positions.size(); ++i) {
            const int position = positions.at(i);
            Query::Kind kind = Query::Kind::Null;
            const QByteArrayView raw = position < 0 ? QByteArrayView() : query.rawText(position, &kind);
            const bool auditTime = definition.columns.at(i).auditTime;
            if (kind == Query::Kind::Null) {
                out.appendUtf8("<td></td>");
            } else if (!auditTime && (kind == Query::Kind::Integer || (kind == Query::Kind::Text && isAscii(raw)))) {
                out.appendUtf8("<td>");
                out.appendEscapedUtf8(raw);
                out.appendUtf8("</td>");
            } else {
                QString shown = query.value(position).toString();
                if (auditTime && !shown.isEmpty()) {
                    shown = JobLogStore::displayTimeText(shown);
                }
                out << ReportFrame::cell(shown);
            }
        }
        out.appendUtf8("</tr>");
    }
    if (query.failed()) {
        qWarning().noquote() << "hlv: report: cannot read" << definition.source << ":" << db.lastError();
    }
}

} // namespace

const LogReportDefinition& logReportDefinition(LogReport report)
{
    static const QList<LogReportDefinition> definitions = [] {
        LogReportColumn auditTime = column("Time");
        auditTime.auditTime = true;
        return QList<LogReportDefinition>{
            definition("/HLV_LogUserReport.html", "<h2><u>Log User Report</u></h2>", "LogUserReport", "Users",
                       {column("User"), column("Jobs"), column("Pages"), column("Deleted"), column("Printed")}),
            definition("/HLV_LogPrinterReport.html", "<h2><u>Log Printer Report</u></h2>", "LogPrinterReport",
                       "Printers",
                       {column("Server"), column("Queue"), column("Jobs"), column("Pages"), column("Deleted"),
                        column("Printed")}),
            definition("/HLV_LogAuditTodayReport.html", "<h2><u>Today's Audit Log</u></h2>", "LogAuditTodayReport",
                       "Jobs",
                       {auditTime, column("HLV Computer"), column("HLV User"), column("Action Type", "Action"),
                        column("Detail", "Description")}),
            definition(
                "/HLV_LogAuditActionsReport.html", "<h2><u>Audit Actions</u></h2>", "LogAuditActionsReport", "Jobs",
                {column("Action"), column("Description"), column("HLV User"), column("HLV Computer"), column("Count")}),
            definition("/HLV_LogFullReport.html", "<h2><u>Log Full Report</u></h2>", "HLV_Log", "Jobs", jobColumns()),
            definition("/HLV_LogTodayReport.html", "<h2><u>Log Today's Jobs</u></h2>", "LogTodayReport", "Jobs",
                       jobColumns()),
            definition("/HLV_LogDailyJobsReport.html", "<h2><u>Log Daily Jobs Report</u></h2>", "LogDailyJobsReport",
                       "Jobs",
                       {column("Year"), column("Month"), column("Day"), column("Jobs"), column("Pages"),
                        column("Deleted"), column("Printed")}),
            definition("/HLV_LogMonthlyJobsReport.html", "<h2><u>Log Monthly Jobs Report</u></h2>",
                       "LogMonthlyJobsReport", "Jobs",
                       {column("Year"), column("Month"), column("Jobs"), column("Pages"), column("Deleted"),
                        column("Printed")}),
            definition("/HLV_LogQueueManagerReport.html", "<h2><u>Log Queue Manager Report</u></h2>",
                       "LogQueueManagersReport", "Halverns",
                       {column("HLV Computer"), column("HLV User"), column("Jobs"), column("Pages"), column("Deleted"),
                        column("Printed")}),
        };
    }();
    return definitions.at(static_cast<int>(report));
}

LogReports::LogReports(JobLogStore& store, ConnectionSurface& pointers, Shell& shell, ReportWindow& window)
    : m_store(store)
    , m_window(window)
    , m_writer(pointers, shell, &window)
{}

QString LogReports::table(const LogReportDefinition& definition)
{
    ReportFile out;
    writeTable(definition, out);
    return out.text();
}

void LogReports::writeTable(const LogReportDefinition& definition, ReportFile& out)
{
    QStringList headers;
    for (const LogReportColumn& c : definition.columns) {
        headers << c.header;
    }
    out << ReportFrame::tableOpening(true) +
               ReportFrame::titleRow(int(definition.columns.size()), ReportFrame::kPrinterTitleColour,
                                     definition.caption) +
               ReportFrame::headerRow(headers);

    if (m_store.OpenLogDatabase()) {
        appendRows(*m_store.database(), definition, out);
        m_store.CloseLogDatabase();
    }
    out.appendUtf8("</table>");
}

bool LogReports::run(LogReport report, bool NoOpen)
{
    const LogReportDefinition& definition = logReportDefinition(report);
    const ReportSettings settings = m_window.reportSettings();
    const QString path = reportFilePath(settings, definition.fileName);
    m_writer.begin();
    ReportFile page(path);
    page << ReportFrame::pageHead(QStringLiteral("Halvern"), true, settings, definition.heading);
    writeTable(definition, page);
    page << ReportFrame::pageTail();
    return m_writer.finish(path, page, !NoOpen);
}

} // namespace hlv
