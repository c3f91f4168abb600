#include "console/ui/StatsText.h"

#include <QLocale>

#include "console/ui/ConsoleSettings.h"
#include "platform/GeneralDate.h"
#include "store/JobLogStore.h"

namespace hlv::StatsText {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kRule = QStringLiteral("------------------");

void appendBlock(QString& body, const QString& heading, const QStringList& lines)
{
    body += kCrLf + heading + kCrLf + kRule + kCrLf + kCrLf;
    for (const QString& line : lines) {
        body += line + kCrLf;
    }
}

} // namespace

QString pages(double value)
{
    return numberText(value);
}

QString percent(double value)
{
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', 2);
}

QString shortDate(const QDateTime& value)
{
    // The general form leaves the time out at midnight, which is the short date.
    return generalDateText(QDateTime(value.date(), QTime(0, 0)));
}

QString saving(const QString& prefix, double deleted, double printed)
{
    if (!(deleted > 0)) {
        return prefix;
    }
    return prefix + percent(100 * deleted / (deleted + printed)) + QLatin1Char('%');
}

QStringList sessionLines(double sessionPrinted, double sessionDeleted)
{
    return {QStringLiteral("Current Session - Printed Pages: ") + pages(sessionPrinted),
            QStringLiteral("Current Session - Deleted Pages: ") + pages(sessionDeleted),
            saving(QStringLiteral("Your Current Saving is "), sessionDeleted, sessionPrinted)};
}

QStringList totalLines(double printedCounter, double deletedCounter, const QDateTime& resetTotal)
{
    return {QStringLiteral("Total Printed Pages: ") + pages(printedCounter),
            QStringLiteral("Total Deleted Pages: ") + pages(deletedCounter),
            saving(QStringLiteral("Your Total Saving is "), deletedCounter, printedCounter),
            QStringLiteral("Total Last Reset: ") + shortDate(resetTotal)};
}

QStringList logLines(const LogStats& stats)
{
    return {QStringLiteral("Log Printed Pages: ") + pages(stats.LogPrintedPages),
            QStringLiteral("Log Deleted Pages: ") + pages(stats.LogDeletedPages),
            QStringLiteral("Log Saving is ") + percent(stats.LogSaving) + QLatin1Char('%'),
            QStringLiteral("Log Started: ") + shortDate(stats.LogStarted),
            QStringLiteral("Log Finished: ") + shortDate(stats.LogFinished),
            QStringLiteral("Pages Managed: ") + pages(stats.LogPagesManaged),
            QStringLiteral("Jobs Managed: ") + QString::number(stats.LogJobsManaged),
            QStringLiteral("Servers Managed: ") + QString::number(stats.LogServersManaged),
            QStringLiteral("Queues Managed: ") + QString::number(stats.LogQueuesManaged),
            QStringLiteral("Users Managed: ") + QString::number(stats.LogUsersManaged)};
}

QString mailBody(const QString& computerName, const QDateTime& now, const QStringList& session,
                 const QStringList& totals, const QStringList& log)
{
    QString body = QStringLiteral("Halvern on ") + computerName + QStringLiteral(" at ") + generalDateText(now) + kCrLf;
    appendBlock(body, QStringLiteral("Current Session"), session);
    appendBlock(body, QStringLiteral("Totals"), totals);
    appendBlock(body, QStringLiteral("Log File"), log);
    body += kCrLf;
    body += QStringLiteral(
                "Save money and the environment by reducing paper and ink usage through better printer management.") +
            kCrLf;
    body += QStringLiteral("Halvern - ") + webAddress();
    return body;
}

QString supportAddress()
{
    return QStringLiteral("support@halvern.example");
}

QString webAddress()
{
    return QStringLiteral("www.halvern.example");
}

} // namespace hlv::StatsText
