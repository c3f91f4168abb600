#include "console/ui/QueueAutomation.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "console/ui/ConsoleSettings.h"
#include "platform/PrintSystem.h"

namespace hlv {

bool isJobInFlight(const InFlightProbe& probe)
{
    return probe.autoQueueOn && probe.queueCanPrint && !probe.lastReleasedJob.isEmpty() &&
           probe.lastReleasedJob == probe.jobName && probe.jobStatus != 1;
}

QStringList releasedStillListed(QStringList released, const QString& lastReleased, const QList<PrintJobInfo>& jobs)
{
    if (!lastReleased.isEmpty() && !released.contains(lastReleased)) {
        released.append(lastReleased);
    }
    QStringList listed;
    for (const PrintJobInfo& job : jobs) {
        listed.append(job.queueJobName());
    }
    released.removeIf([&](const QString& name) { return !listed.contains(name); });
    return released;
}

bool holdOnRefresh(const PrintJobInfo& job, const QStringList& released)
{
    return job.Status() != JobStatus::Paused && !released.contains(job.queueJobName()) &&
           job.ownStatus.value_or(0) != JobStatus::Printing;
}

bool releasedJobWaits(const QList<PrintJobInfo>& jobs, const QStringList& released)
{
    return std::any_of(jobs.cbegin(), jobs.cend(), [&](const PrintJobInfo& job) {
        return job.Status() != JobStatus::Paused && released.contains(job.queueJobName());
    });
}

std::optional<int> intervalFromSetting(const QString& text)
{
    const std::optional<double> typed = storedNumber(text);
    if (!typed) {
        return std::nullopt;
    }
    const double value = *typed;
    const double rounded = std::round(value);
    // A zero interval would spin the event loop; a timer cannot take more than an int.
    if (rounded < 1 || rounded > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    return static_cast<int>(rounded);
}

std::optional<int> nextPollInterval(const PollSettings& settings, bool autoQueueOn, bool inFlight)
{
    if (autoQueueOn) {
        return intervalFromSetting(inFlight ? settings.PollAQactive : settings.PollAQ);
    }
    return intervalFromSetting(settings.PollNorm);
}

bool releaseInFlight(int timerInterval, const QString& pollAQactive)
{
    const auto active = intervalFromSetting(pollAQactive);
    return active && *active == timerInterval;
}

bool rowIsPausedForResumeAll(const QString& statusText)
{
    return statusText.contains(QLatin1String("Paused"), Qt::CaseInsensitive);
}

bool rowIsPausedForResumeAll(const QString& statusText, quint32 jobStatus)
{
    return (jobStatus & JobStatus::Paused) != 0 || rowIsPausedForResumeAll(statusText);
}

bool userMatchesExceptions(const QString& user, const QString& exceptions)
{
    return !exceptions.isEmpty() && user.contains(exceptions, Qt::CaseInsensitive);
}

bool rowReleasableForExceptions(const QString& statusText)
{
    return statusText.contains(QLatin1String("OK"), Qt::CaseInsensitive) || rowIsPausedForResumeAll(statusText);
}

} // namespace hlv
