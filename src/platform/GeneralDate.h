#pragma once

#include <QDateTime>
#include <QString>

namespace hlv {

// The one conversion of a date-time to "the system's general date and time" text used
// everywhere a date becomes text: job list cells, job detail records, job log keys
// (job id "-" this text), status texts. Keeping it in one place is what makes a key
// written by the job list equal to one written from a job monitor event.
//
// Form: the system locale's short date (always with a four-digit year) and, unless the
// time is exactly midnight, a blank and the locale's time with seconds. With the C or
// an English (US) locale: "12/9/2026 4:22:44 AM", or "12/9/2026" at midnight.
QString generalDateText(const QDateTime& value);
// The time of day alone, as the status bar shows it ("4:22:44 AM").
QString generalTimeText(const QTime& value);
// Reads back a text written by generalDateText; invalid QDateTime when it cannot.
QDateTime parseGeneralDate(const QString& text);

// The formats behind the two helpers, exposed for parsing other texts of the same form.
QString generalDateFormat();
QString generalTimeFormat();

// Every job is turned into local time several times. Without TZ set, the C library looks
// at /etc/localtime again at every conversion, one file-system call each; naming that file
// in TZ has it read once. The programs call this first thing; a TZ already set is kept.
void readLocalTimeZoneOnce();

} // namespace hlv
