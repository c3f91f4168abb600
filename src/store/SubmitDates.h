#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QHash>
#include <QList>
#include <QString>

namespace hlv {

class Database;
class Query;

// The one reading of the stored "Time Submitted" texts. The template's day views, the CSV
// export and the statistics all take a row's day by the rule of data/job_days.sql: the
// passes over the log run that same SQL, so they agree with the views whoever reads the
// log and under whichever locale, and a text whose day cannot be told has none.
//
// The writing side keeps the rule sure of itself: every program records in the log which
// order of day, month and year each form of submit time text it writes uses.
namespace joblog {

// The days of the submit times of one pass over the log, by the rule of the views. The rule
// looks at a text's first three runs of digits, the character after the first, what follows
// the third and the log's other texts; the passes hand it each different text once, with the
// digits after the third run all '9' (which the rule reads alike), so that a log of a year's
// jobs gives it a few thousand texts however many rows it holds.
class SubmitDays
{
public:
    // Reads the log's submit times and works out their days. The caller keeps the log in one
    // read transaction until its pass is done. False when the log could not be read.
    bool load(Database& db);
    // The same in two steps, for a pass that needs the days only at its end: the submit time
    // of each row (a column of the pass), then the days of all of them.
    void add(const Query& query, int column);
    bool resolve(Database& db);
    // The day of a submit time text as it is stored; invalid when the rule gives none.
    QDate dayOf(QByteArrayView utf8);
    QDate dayOf(const QString& text) { return dayOf(QByteArrayView(text.toUtf8())); }
    // The earliest and the latest day of the log's rows; invalid when no row has one.
    QDate earliest() const;
    QDate latest() const;

private:
    QHash<QByteArray, QDate> m_days;
    QList<QByteArray> m_keys; // added, not yet resolved
    QByteArray m_key;
    QByteArray m_lastKey;
    QDate m_lastDay;
    bool m_hasLast = false;
};

// The form of a submit time text as the views see it: blanks around it taken off, every
// digit (Arabic-Indic and Persian ones too) turned into '9', except that the first two runs
// of digits keep a leading zero ("09/99/9999 99:99:99").
QString dateForm(const QString& text);

// Records in the log the order of day, month and year of the form of text, when text is
// this program's own general date text (as the job lists and events write it); true when
// it was. Runs in the caller's transaction after the row was written and never fails that
// write; a log without the table (made from an older template) is left as it is.
bool recordDateForm(Database& db, const QString& text);

} // namespace joblog
} // namespace hlv
