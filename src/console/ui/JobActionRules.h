#pragma once

#include <optional>

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>

namespace hlv {

// The operator's own words of the job and queue actions, kept together because several
// handlers and the tests use them.
namespace ActionText {
// Status bar texts; each is followed by the time of day.
inline constexpr QLatin1String ResumeJob("Resume Job ");
inline constexpr QLatin1String PauseJob("Pause Job ");
inline constexpr QLatin1String RemoveJob("Remove Job ");
inline constexpr QLatin1String ChangePriority("Change Priority ");
inline constexpr QLatin1String PauseQueue("Pause Queue ");
inline constexpr QLatin1String ResumeQueue("Resume Queue ");
inline constexpr QLatin1String PauseAllJobs("Pause All Jobs ");
inline constexpr QLatin1String ResumeAllJobs("Resume All Jobs ");
inline constexpr QLatin1String PurgeAllJobs("Purge All Jobs ");
inline constexpr QLatin1String PrintTestPage("Print Test Page ");
inline constexpr QLatin1String ResumePrintJob("Resume Print Job ");
inline constexpr QLatin1String EnableAutoQueue("Enable AutoQueue ");
inline constexpr QLatin1String DisableAutoQueue("Disable AutoQueue ");
inline constexpr QLatin1String EnableAutoRelease("Enable AutoRelease ");
inline constexpr QLatin1String DisableAutoRelease("Disable AutoRelease ");

// Prompts and titles.
inline constexpr QLatin1String Warning("Warning");
inline constexpr QLatin1String PriorityPrompt("Please enter a new Priority for this Print Job:");
inline constexpr QLatin1String CommentPrompt("Enter your Comments:");
inline constexpr QLatin1String CommentTitle("Add Log Comments - Halvern");
inline constexpr QLatin1String CheckTimeError("ERROR: Unable to Perform Timed Release - Check Time");
inline constexpr QLatin1String PrintPurgeError("ERROR: Unable to Perform Timed Release - Print/Purge Error");

// Page counters of the settings file.
inline constexpr QLatin1String CountersSection("Log Counters");
inline constexpr QLatin1String DeletedCounter("DeletedCounter");
inline constexpr QLatin1String PrintedCounter("PrintedCounter");
} // namespace ActionText

// One row of the queue's job list, as the row shows it.
struct JobRowValues
{
    QString Status;
    QString Description;
    QString Computer;
    QString User;
    QString Pages;
    QString Printed;
    QString Priority;
    QString Size;
    QString Submitted;
    QString ID;
    QString Name;
};

// The key of a job's job log row: the ID and Submitted columns as displayed.
QString transactionIdOf(const JobRowValues& row);

enum class JobLogKind { Release, Delete };

struct JobLogField
{
    QString field;
    QVariant value;
    bool operator==(const JobLogField&) const = default;
};

// The fields a release or a delete writes for one job, in the order they are written. A
// release clears an earlier delete mark of the same job and a delete clears a release mark.
QList<JobLogField> jobLogFields(JobLogKind kind, const JobRowValues& row, const QString& server, const QString& queue,
                                const QDateTime& now, const QString& hlvUser, const QString& hlvComputer);

// "Are you sure you want to delete " CR LF description CR LF "by " computer " " size "?"
QString deleteQuestion(const JobRowValues& row);
// "Are you sure you want to delete " CR LF "all print jobs?"
QString purgeQuestion();

// A Pages value as a number; nullopt when the text is not a number (the addition is
// then skipped and the counters stay as they were). The running counters of the settings
// file are read back by the leading-number rule instead (see readLogCounter).
std::optional<double> pagesValue(const QString& text);

// Raise the session's page counters by a job's pages; false (and no change) when the pages
// are not a number. Deleted pages are counted in a wide integer so that a busy session does
// not stop counting at 32,767.
bool addDeletedPages(qint64& SessionDeleted, const QString& pages);
bool addPrintedPages(double& SessionPrinted, const QString& pages);

} // namespace hlv
