#pragma once

#include <optional>

#include <QString>

#include "console/ui/VbColour.h"
#include "platform/PrintSystem.h"

namespace hlv {

// The rules that AutoQueue, Resume All, Exceptions and the polling loop share.
//
// AutoQueue life cycle, as the polling loop sees it:
//
//   state      | entered when                                   | interval      | lamp
//   -----------+------------------------------------------------+---------------+------
//   off        | AutoQueue unticked                             | PollNorm      | green
//   holding    | AutoQueue ticked, nothing released             | PollAQ        | green
//   in flight  | the operator released a job and it is still    | PollAQactive  | red
//              | listed, not paused, and nothing stops the      |               |
//              | queue (a toner-low warning does not)           |               |
//
// Leaving "in flight" (the job gone, paused, or the queue stopped by hand) holds the
// queue again and returns to "holding".
//
// A release is never lost: every job released under AutoQueue stays released until it has
// printed (it has left the queue) or is paused again, however many releases come after it
// and whatever trouble its printer has meanwhile. The refresh's hold of the queue's jobs
// passes it over, and the queue is not held while it still waits to print: it prints as
// soon as its printer can.

// Colours of the automation check boxes (0xBBGGRR values): light green with navy text while
// unticked, red with white text while ticked.
namespace AutomationColour {
constexpr quint32 UncheckedBack = VbColours::PanelBack;
constexpr quint32 UncheckedFore = VbColours::PanelFore;
constexpr quint32 CheckedBack = VbColours::Red;
constexpr quint32 CheckedFore = VbColours::White;
} // namespace AutomationColour

// A job of the polled queue counts as the released job still printing.
struct InFlightProbe
{
    bool autoQueueOn = false;  // AutoQueue box value is 1
    bool queueCanPrint = true; // nothing stops the queue (PrinterInfo::canPrint)
    QString lastReleasedJob;   // name of the job released last; empty before the first release
    QString jobName;           // the polled job's name (its id as text)
    quint32 jobStatus = 0;     // the polled job's status; 1 = paused
};
bool isJobInFlight(const InFlightProbe& probe);

// The jobs released and not yet printed: the last release added, those that have left the
// queue (jobs, as now read) dropped.
QStringList releasedStillListed(QStringList released, const QString& lastReleased, const QList<PrintJobInfo>& jobs);
// The refresh under AutoQueue holds a job that is not paused, not released and not
// printing (a hold stops a job that prints; it prints to its end).
bool holdOnRefresh(const PrintJobInfo& job, const QStringList& released);
// A released job still waits to print (listed, not paused again): the queue stays open.
bool releasedJobWaits(const QList<PrintJobInfo>& jobs, const QStringList& released);

// The polling intervals, as their settings texts hold them (milliseconds, whole or
// decimal). A text that is not a positive number leaves the timer as it was.
std::optional<int> intervalFromSetting(const QString& text);

struct PollSettings
{
    QString PollNorm;
    QString PollAQ;
    QString PollAQactive;
};

// The interval of the next polling tick: fast while a released job is in flight under
// AutoQueue, PollAQ while AutoQueue holds the queue, PollNorm otherwise.
std::optional<int> nextPollInterval(const PollSettings& settings, bool autoQueueOn, bool inFlight);

// True while the polling timer runs at the in-flight interval: a job released under
// AutoQueue is still printing, so Resume All and Exceptions wait.
bool releaseInFlight(int timerInterval, const QString& pollAQactive);

// Resume All releases a row whose status text shows it paused ("Paused", any case). Job
// rows carry the job status word without a leading blank, so the word is matched on its
// own; requiring the blank of the queue status phrase would never match a job row.
bool rowIsPausedForResumeAll(const QString& statusText);
// The same for a row whose job's status bits are known: a job paused while it carries
// other bits (printing, spooling, in error) reads "OK", so the paused bit decides.
bool rowIsPausedForResumeAll(const QString& statusText, quint32 jobStatus);

// Exceptions: the user column contains the exceptions text, ignoring case ("adm" matches
// "Admin" and "sysadm"). An empty exceptions text matches nobody.
bool userMatchesExceptions(const QString& user, const QString& exceptions);

// A matching row is released only while it waits ("OK" or "Paused", any case).
bool rowReleasableForExceptions(const QString& statusText);

} // namespace hlv
