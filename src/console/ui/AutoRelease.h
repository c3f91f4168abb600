#pragma once

#include <optional>

#include <QList>
#include <QString>
#include <QTime>

namespace hlv {

// Times of the timed release and of self-activating favourites are compared by hour and
// minute only, as the text "H:M" with both parts as plain numbers (9:05 AM -> "9:5",
// 5:00 PM -> "17:0"). Comparing at minute resolution is what makes a release set for
// 5:00 PM fire on every polling tick from 17:00:00 to 17:00:59.
QString comparedTimeText(const QTime& time);

// Reads a time of day as the operator types it: "17:00", "5:00 PM", "5:00pm", "9:05 a.m.",
// "17:00:30", "5 PM". Hours run 0-23 without a suffix and 0-12 with AM/PM; minutes and
// seconds 0-59. Anything else is not a time (nullopt).
std::optional<QTime> parseTimeOfDay(const QString& text);

// The text form of a typed time for comparison, or nullopt when the text is not a time.
std::optional<QString> comparedTimeText(const QString& typed);

// What the timed release does at a given moment.
enum class TimedAction { None, ResumeAll, Purge };

struct TimedReleaseState
{
    bool checked = false;        // AutoRelease ticked
    bool enabled = false;        // AutoRelease box enabled (only while AutoQueue is on)
    bool printSelected = true;   // "Print Jobs" chosen
    bool deleteSelected = false; // "Delete Jobs" chosen
    QString setTime;             // text of the time box
};

// The decision of one polling tick. A set time that is not a time yields nullopt (the
// caller reports it); otherwise the action due now, repeated on every tick of the minute.
std::optional<TimedAction> timedActionDue(const TimedReleaseState& state, const QTime& now);

// One slot of the favourites menu as the timed activation sees it.
struct FavouriteSlot
{
    bool enabled = false;
    bool visible = false;
    bool checked = false; // AutoActivate
    QString caption;      // fields joined by " | "; field 5 is the AutoRelease time
};

// A slot takes part in the timed activation while it is enabled, visible and checked.
bool takesPartInActivation(const FavouriteSlot& slot);

// The slot that activates itself now: the first slot taking part whose time is the current
// hour and minute; -1 when none is due. A slot whose time is not a time is never due and
// does not keep later slots from their turn.
int dueFavourite(const QList<FavouriteSlot>& entries, const QTime& now);

} // namespace hlv
