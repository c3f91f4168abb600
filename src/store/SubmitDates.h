#pragma once

#include <QByteArrayView>
#include <QDate>
#include <QString>

namespace hlv {

class Database;

// The one reading of the stored "Time Submitted" texts. The template's day views, the CSV
// export and the statistics all take a row's day by the rule of data/job_days.sql: the
// passes over the log run that same SQL, so they agree with the views whoever reads the
// log and under whichever locale, and a text whose day cannot be told has none.
//
// The writing side keeps the rule sure of itself: every program records in the log which
// order of day, month and year each form of submit time text it writes uses.
namespace joblog {

// The WITH clause of the rule for this log, ending in the set "jobs": the columns of
// HLV_Log with RowNo and SubmitDay ('yyyy-MM-dd', NULL when the day cannot be told). A log
// made before the programs recorded their date forms has no HLV_DateForms: its rows are
// read by the older rules alone, as its own views read them.
QString jobDaysSql(Database& db);

// The day of a SubmitDay value; invalid for anything else.
QDate submitDay(QByteArrayView iso);

// The form of a submit time text as the views see it: blanks around it taken off, every
// digit (Arabic-Indic and Persian ones too) turned into '9', except that the first two runs
// of digits keep a leading zero ("09/99/9999 99:99:99").
QString dateForm(const QString& text);

// Records in the log the order of day, month and year of the form of text, when text is
// this program's own general date text (as the job lists and events write it). Runs in
// the caller's transaction after the row was written and never fails that write; a log
// without the table (made from an older template) is left as it is.
void recordDateForm(Database& db, const QString& text);

} // namespace joblog
} // namespace hlv
