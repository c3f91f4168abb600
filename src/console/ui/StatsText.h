#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace hlv {

struct LogStats;

// The texts of the statistics window, built without widgets so the figures and the mail
// can be checked exactly.
namespace StatsText {

// A page count as the window shows it: plain decimal text, no grouping ("12", "12.5").
QString pages(double value);
// A percentage with two decimals in the system's number format ("75.00").
QString percent(double value);
// A date as the window shows it: the system's short date.
QString shortDate(const QDateTime& value);

// "prefix" followed, only when something was deleted, by the share of deleted pages among
// deleted and printed pages with two decimals and "%": with nothing deleted the bare prefix.
QString saving(const QString& prefix, double deleted, double printed);

// The three session figures, the four workstation totals and the ten log figures, in the
// order the window shows them.
QStringList sessionLines(double sessionPrinted, double sessionDeleted);
QStringList totalLines(double printedCounter, double deletedCounter, const QDateTime& resetTotal);
QStringList logLines(const LogStats& stats);

// The statistics mail: heading with the computer and the moment, then the three blocks of
// figures as the window shows them, lines separated by CR LF, no final line break.
QString mailBody(const QString& computerName, const QDateTime& now, const QStringList& session,
                 const QStringList& totals, const QStringList& log);

// The product's support address and web site, used in the mails.
QString supportAddress();
QString webAddress();

} // namespace StatsText

} // namespace hlv
