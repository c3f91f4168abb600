#pragma once

#include <utility>

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
// order of day, month and year each form of submit time text it writes uses, and the day of
// each row whose submit time it writes (HLV_SubmitDays, by TransactionID). A recorded day
// comes before any rule: it is the day the writer meant, whichever locale wrote the text.
// The rule reads the rows without one. A side table that was dropped, made again with other
// columns or damaged is read as an empty one, so the log is read by its texts alone.
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
    // of each row (a column of the pass) and its recorded day (dayColumn, -1 for none),
    // then the days of all of them.
    void add(const Query& query, int column, int dayColumn = -1);
    bool resolve(Database& db);
    // The day of a submit time text as it is stored; invalid when the rule gives none.
    QDate dayOf(QByteArrayView utf8);
    // The day of a row: its recorded day (ISO text) when it has a valid one, else the day
    // of its submit time text.
    QDate dayOf(QByteArrayView recordedDay, QByteArrayView utf8);
    QDate dayOf(const QString& text) { return dayOf(QByteArrayView(text.toUtf8())); }
    // The earliest and the latest day of the log's rows; invalid when no row has one.
    QDate earliest() const;
    QDate latest() const;

private:
    QHash<QByteArray, QDate> m_days;
    QDate m_firstRecorded;
    QDate m_lastRecorded;
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

// The day of a 'yyyy-MM-dd' text; invalid for anything else.
QDate isoDay(QByteArrayView iso);

// Records the row's submit day when text is this program's own general date text, or takes
// a recorded day away when the text is not (a field emptied or written elsewhere). Runs in
// the caller's transaction; a log without a usable HLV_SubmitDays is left as it is. False
// only when the log failed the write (a full disk): the caller's write fails with it.
bool recordSubmitDay(Database& db, const QString& transactionId, const QString& text);

// Whether the log's side table can be read with the columns the programs use.
bool submitDaysReadable(Database& db);
bool dateFormsReadable(Database& db);
// The SQL with each side table the log cannot read replaced by an empty set of its columns.
QString withReadableSideTables(Database& db, QString sql);
// The query of a day view of the log, its side tables made readable (see above); empty when
// the log has no such view.
QString readableViewSql(Database& db, const QString& view);
// The column and the join that give a pass over HLV_Log its rows' recorded days: the
// column reads NULL (and there is no join) when the log has no usable side table.
std::pair<QString, QString> submitDaySource(Database& db);

// Records in the log the order of day, month and year of the form of text, when text is
// this program's own general date text (as the job lists and events write it); true when
// it was. Runs in the caller's transaction after the row was written and never fails that
// write; a log without the table (made from an older template) is left as it is.
bool recordDateForm(Database& db, const QString& text);

} // namespace joblog
} // namespace hlv
