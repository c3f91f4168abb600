#pragma once

#include <optional>

#include <QString>
#include <QStringList>

namespace hlv {

// The rules of the settings window that need no widgets: reading the polling rates the
// operator typed (seconds) into the milliseconds the console keeps, the enabling that
// follows the quick-action choice and the menu styles on offer.

// How a typed polling rate fared against its allowed range.
enum class PollRateCheck {
    Accepted,   // inside the range; milliseconds holds the value to keep
    OutOfRange, // a number, but outside the range
    NotNumber,  // no number at all (or one no timer can take)
};

struct PollRate
{
    PollRateCheck check = PollRateCheck::NotNumber;
    double milliseconds = 0;
};

// The allowed ranges, in seconds, both ends included.
namespace PollRateLimits {
constexpr double kNormalMin = 1;     // the normal rate and the AutoQueue rate
constexpr double kActiveMin = 0.001; // the rate while a released job is still queued
constexpr double kActiveMax = 1;
} // namespace PollRateLimits

// Reads a rate typed in seconds (system decimal separator, or ".") and checks it against
// [minSeconds, maxSeconds]; the accepted value is kept unrounded (0.5 s gives 500 ms).
// A rate whose milliseconds would not fit a timer counts as no number.
PollRate checkPollRate(const QString& typedSeconds, double minSeconds, std::optional<double> maxSeconds = std::nullopt);

// A stored rate (milliseconds as text) shown in seconds; empty when the text is no number.
QString pollRateSecondsText(const QString& storedMilliseconds);

// What a double click on a job does is either the quick-action popup or the default
// action; only the controls of the chosen way can be changed.
struct QuickActionEnabling
{
    bool jobActionEnabled = false; // the default action list
    bool hideAllEnabled = false;   // "Hide Print All and Delete All"
};
QuickActionEnabling quickActionEnabling(bool quickActionTicked);

// The tagline as the settings file keeps it: one line, its line breaks written as "\r" and
// "\n" and a backslash doubled; taglineFromStored reads it back (a backslash before any
// other character stays as it is, so a one-line tagline stored plainly reads unchanged).
QString storedTagline(const QString& tagline);
QString taglineFromStored(const QString& stored);

// The menu styles, in the order the settings window offers them, and whether choosing
// one of them hides the settings command (so the operator is warned first).
const QStringList& menuStyles();
bool menuStyleHidesSettings(const QString& style);

} // namespace hlv
