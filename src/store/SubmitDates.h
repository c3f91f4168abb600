#pragma once

#include <optional>
#include <string>
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
// export and the statistics all take a row's day by the rule of data/job_days.sql: the views
// run that SQL, and the passes over the log (SubmitDays) follow it step by step as they read
// the rows, so both agree whoever reads the log and under whichever locale, and a text whose
// day cannot be told has none. A change to the rule is made in both.
//
// The writing side keeps the rule sure of itself: every program records in the log which
// order of day, month and year each form of submit time text it writes uses, and the day of
// each row whose submit time it writes (HLV_SubmitDays, by TransactionID). A recorded day
// comes before any rule: it is the day the writer meant, whichever locale wrote the text.
// The rule reads the rows without one. A side table that was dropped, made again with other
// columns or damaged is read as an empty one, so the log is read by its texts alone.
namespace joblog {

// The days of the submit times of one pass over the log, by the rule of the views, worked
// out as the pass reads the rows. The rule looks at a text's first three runs of digits, the
// character after the first, what follows the third, the recorded forms and the log's other
// texts; what the other texts tell it comes down to a few marks for each separator and clock
// (a field above 12 seen first or second), gathered as the rows go by. Each different text is
// read once (the digits after the third run all taken as '9', which the rule reads alike),
// and only the last few hundred readings are kept, so the memory does not grow with the log.
//
// A text whose order the marks decide (both fields 12 or less, its form recorded by nobody)
// has two possible days: dayOf() gives the one the rule gives were the log to end at that row,
// and settled() tells at the end of the pass whether every such guess held. Only a log no
// writer recorded can miss: one whose first rows read either way and whose form looks like
// another locale's (a day-first "d/M/yyyy h:mm:ss AM" looks like English (US)), or that
// mixes both orders in one form. It is read again after settle(), its orders then known.
class SubmitDays
{
public:
    // Reads the recorded forms (HLV_DateForms, a row for each form the programs wrote).
    // The caller keeps the log in one read transaction until its pass is done. False when
    // the log could not be read.
    bool load(Database& db);
    // The submit time text of a row as the rule reads it (column of the pass); nothing when
    // it is NULL. Valid until the next call or the next step of the query.
    std::optional<QByteArrayView> submitText(const Query& query, int column);
    // The day of a row: its recorded day (ISO text) when it has a valid one, else the day of
    // its submit time text (null: the row has none). Every row of the pass must come through
    // here, or through add(): the rule learns from the texts of the rows with days recorded
    // too, as the views do.
    QDate dayOf(QByteArrayView recordedDay, std::optional<QByteArrayView> utf8);
    // The same for a pass that needs only the first and the last day (see earliest()).
    void add(QByteArrayView recordedDay, std::optional<QByteArrayView> utf8);
    // Whether every day dayOf() gave is the one the whole log gives its row.
    bool settled() const;
    // From now on dayOf() gives the days the whole log gives: for the pass again when the
    // guesses did not hold.
    void settle();
    // The earliest and the latest day of the rows added; invalid when no row has one.
    QDate earliest() const;
    QDate latest() const;

private:
    enum Order : signed char { Dmy, Mdy, Undecided };
    enum class Clock : signed char { None, H12, H24 };
    // A text with both of its days: which holds depends on the order of its group.
    struct Reading
    {
        QDate day; // when the text alone tells it (an invalid one: no day)
        QDate dmy; // the two readings of a text that does not
        QDate mdy;
        int group = -1;
    };
    // The marks of one separator and clock, or of one separator alone.
    struct Marks
    {
        QString sep;
        Clock clock = Clock::None;
        bool anyClock = false; // the marks of the separator alone
        bool dayFirst = false;
        bool monthFirst = false;
        bool has12 = false;
        bool has24 = false;
    };
    // The texts whose order one set of marks decides, and the last resort when they do not.
    struct Group
    {
        int marks = -1;
        int sepMarks = -1;
        bool noClock = false;
        bool lastResortMdy = false;
        Order settledOrder = Undecided;
        qint64 givenDmy = 0; // days given by dayOf() each way
        qint64 givenMdy = 0;
        QDate firstDmy, lastDmy, firstMdy, lastMdy; // of the rows added
    };
    const Reading& readingOf(QByteArrayView utf8);
    Reading classify(const QByteArray& key);
    int marksOf(const QString& sep, Clock clock, bool anyClock);
    Order orderOf(const Group& group) const;
    void widen(QDate day);

    QHash<QString, Order> m_forms; // Undecided: recorded both ways
    QList<Marks> m_marks;
    QList<Group> m_groups;
    QHash<QByteArray, Reading> m_readings;
    std::string m_key;
    std::string m_lastKey;
    Reading m_last;
    bool m_hasLast = false;
    QByteArray m_text;
    QDate m_first;
    QDate m_lastDay;
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
