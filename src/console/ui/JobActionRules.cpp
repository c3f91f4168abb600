#include "console/ui/JobActionRules.h"

#include <cmath>

#include "console/ui/ConsoleSettings.h"

namespace hlv {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
}

QString transactionIdOf(const JobRowValues& row)
{
    return row.ID + QLatin1Char('-') + row.Submitted;
}

QList<JobLogField> jobLogFields(JobLogKind kind, const JobRowValues& row, const QString& server, const QString& queue,
                                const QDateTime& now, const QString& hlvUser, const QString& hlvComputer)
{
    const bool release = kind == JobLogKind::Release;
    const QString markField = release ? QStringLiteral("Resumed") : QStringLiteral("Deleted");
    const QString pagesField = release ? QStringLiteral("Printed Pages") : QStringLiteral("Deleted Pages");
    const QString clearedMark = release ? QStringLiteral("Deleted") : QStringLiteral("Resumed");
    const QString clearedPages = release ? QStringLiteral("Deleted Pages") : QStringLiteral("Printed Pages");
    return {
        {QStringLiteral("Server"), server},
        {QStringLiteral("Queue"), queue},
        {QStringLiteral("Description"), row.Description},
        {QStringLiteral("Computer"), row.Computer},
        {QStringLiteral("User"), row.User},
        {QStringLiteral("Name"), row.ID},
        {QStringLiteral("Priority"), row.Priority},
        {QStringLiteral("Time Submitted"), row.Submitted},
        {QStringLiteral("Pages"), row.Pages},
        {markField, now},
        {pagesField, row.Pages},
        {clearedMark, QString()},
        {clearedPages, QString()},
        {QStringLiteral("HLV User"), hlvUser},
        {QStringLiteral("HLV Computer"), hlvComputer},
    };
}

QString deleteQuestion(const JobRowValues& row)
{
    return QStringLiteral("Are you sure you want to delete ") + kCrLf + row.Description + kCrLf +
           QStringLiteral("by ") + row.Computer + QLatin1Char(' ') + row.Size + QLatin1Char('?');
}

QString purgeQuestion()
{
    return QStringLiteral("Are you sure you want to delete ") + kCrLf + QStringLiteral("all print jobs?");
}

std::optional<double> pagesValue(const QString& text)
{
    return typedNumber(text);
}

bool addDeletedPages(qint64& SessionDeleted, const QString& pages)
{
    const auto add = pagesValue(pages);
    if (!add || std::abs(*add) > 1e15) {
        return false;
    }
    SessionDeleted += static_cast<qint64>(std::llround(*add));
    return true;
}

bool addPrintedPages(double& SessionPrinted, const QString& pages)
{
    const auto add = pagesValue(pages);
    if (!add) {
        return false;
    }
    SessionPrinted += *add;
    return true;
}

} // namespace hlv
