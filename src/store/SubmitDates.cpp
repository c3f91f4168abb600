#include "store/SubmitDates.h"

#include <algorithm>
#include <cstring>
#include <string>

#include <sqlite3.h>

#include "platform/Database.h"
#include "platform/GeneralDate.h"

namespace hlv::joblog {

namespace {

// The order of day, month and year in this program's general date form.
QString writtenOrder()
{
    const QString format = generalDateFormat();
    const qsizetype day = format.indexOf(QLatin1Char('d'));
    const qsizetype month = format.indexOf(QLatin1Char('M'));
    const qsizetype year = format.indexOf(QLatin1Char('y'));
    if (day < 0 || month < 0 || year < 0) {
        return QString();
    }
    if (year < month && month < day) {
        return QStringLiteral("ymd");
    }
    if (day < month && month < year) {
        return QStringLiteral("dmy");
    }
    if (month < day && day < year) {
        return QStringLiteral("mdy");
    }
    return QString();
}

// The value of a digit as the views read it (ASCII, Arabic-Indic and Persian digits), or -1.
int digitValue(QChar c)
{
    const char16_t u = c.unicode();
    for (const char16_t zero : {u'0', char16_t(0x0660), char16_t(0x06F0)}) {
        if (u >= zero && u <= zero + 9) {
            return u - zero;
        }
    }
    return -1;
}

// The text as the rule reads it, with every digit after the third run of digits (the time's,
// or whatever follows a date) turned into '9'.
void ruleKey(QByteArrayView utf8, std::string& key)
{
    // ASCII text (nearly every one) in a few plain loops; other text again, as text.
    const char* const from = utf8.data();
    const std::size_t size = std::size_t(utf8.size());
    unsigned char high = 0;
    for (std::size_t i = 0; i < size; ++i) {
        high |= static_cast<unsigned char>(from[i]);
    }
    if (high < 0x80) {
        const auto digit = [](char c) {
            return static_cast<unsigned char>(c - '0') < 10;
        };
        key.resize(size);
        char* const out = key.data();
        std::size_t i = 0;
        for (int run = 0; run < 3; ++run) {
            while (i < size && !digit(from[i])) {
                ++i;
            }
            while (i < size && digit(from[i])) {
                ++i;
            }
        }
        std::memcpy(out, from, i);
        for (; i < size; ++i) {
            out[i] = digit(from[i]) ? '9' : from[i];
        }
        return;
    }
    QString text = QString::fromUtf8(utf8);
    int runs = 0;
    bool inRun = false;
    for (QChar& c : text) {
        const bool digit = digitValue(c) >= 0;
        runs += digit && !inRun ? 1 : 0;
        inRun = digit;
        if (digit && runs > 3) {
            c = QLatin1Char('9');
        }
    }
    const QByteArray bytes = text.toUtf8();
    key.assign(bytes.constData(), std::size_t(bytes.size()));
}

// The value of a run of ASCII digits, held below a bound no date field reaches.
int fieldValue(QStringView digits)
{
    int value = 0;
    for (const QChar c : digits) {
        value = qMin(value * 10 + (c.unicode() - '0'), 100000);
    }
    return value;
}

// The day of the fields as the views check it: printed as yyyy-MM-dd, a day SQLite keeps.
QDate fieldsDay(int year, int month, int day)
{
    return year >= 1 && year <= 9999 ? QDate(year, month, day) : QDate();
}

} // namespace

QDate isoDay(QByteArrayView iso)
{
    if (iso.size() != 10 || iso[4] != '-' || iso[7] != '-') {
        return QDate();
    }
    const auto number = [&iso](qsizetype from, qsizetype count) {
        int value = 0;
        for (qsizetype i = from; i < from + count; ++i) {
            if (iso[i] < '0' || iso[i] > '9') {
                return -1;
            }
            value = value * 10 + (iso[i] - '0');
        }
        return value;
    };
    return QDate(number(0, 4), number(5, 2), number(8, 2));
}

bool SubmitDays::load(Database& db)
{
    // A log made before the programs recorded their date forms has no HLV_DateForms: it is
    // read by the older rules alone, as its own views read it.
    Query forms(db, withReadableSideTables(
                        db, QStringLiteral("SELECT \"Form\", MIN(\"Order\") = MAX(\"Order\"), MIN(\"Order\") "
                                           "FROM HLV_DateForms WHERE \"Order\" IN ('dmy', 'mdy') GROUP BY \"Form\"")));
    while (forms.next()) {
        const Order order = !forms.value(1).toBool()                            ? Undecided
                            : forms.value(2).toString() == QLatin1String("dmy") ? Dmy
                                                                                : Mdy;
        m_forms.insert(forms.value(0).toString(), order);
    }
    return !forms.failed();
}

std::optional<QByteArrayView> SubmitDays::submitText(const Query& query, int column)
{
    Query::Kind kind = Query::Kind::Null;
    const QByteArrayView raw = query.rawText(column, &kind);
    switch (kind) {
    case Query::Kind::Null:
        return std::nullopt;
    case Query::Kind::Float:
    case Query::Kind::Blob:
        m_text = query.value(column).toString().toUtf8();
        return QByteArrayView(m_text);
    default:
        return raw;
    }
}

int SubmitDays::marksOf(const QString& sep, Clock clock, bool anyClock)
{
    for (qsizetype i = 0; i < m_marks.size(); ++i) {
        const Marks& marks = m_marks.at(i);
        if (marks.anyClock == anyClock && (anyClock || marks.clock == clock) && marks.sep == sep) {
            return int(i);
        }
    }
    Marks marks;
    marks.sep = sep;
    marks.clock = clock;
    marks.anyClock = anyClock;
    m_marks.append(marks);
    return int(m_marks.size() - 1);
}

// The rule of data/job_days.sql for one text (its digits after the third run made '9').
SubmitDays::Reading SubmitDays::classify(const QByteArray& key)
{
    Reading reading;
    const QString original = QString::fromUtf8(key);
    // Blanks around it taken off (as SQLite's trim() does), Arabic-Indic and Persian digits
    // read as the digits they are.
    qsizetype start = 0;
    qsizetype end = original.size();
    while (start < end && original.at(start) == QLatin1Char(' ')) {
        ++start;
    }
    while (end > start && original.at(end - 1) == QLatin1Char(' ')) {
        --end;
    }
    QString text = original.mid(start, end - start);
    for (QChar& c : text) {
        const int digit = digitValue(c);
        if (digit >= 0) {
            c = QChar(u'0' + digit);
        }
    }
    const auto isDigit = [&text](qsizetype i) {
        return text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9');
    };
    // The first three runs of digits are the fields.
    QStringView fields[3];
    qsizetype at = 0;
    for (QStringView& field : fields) {
        while (at < text.size() && !isDigit(at)) {
            ++at;
        }
        if (at == text.size()) {
            return reading;
        }
        const qsizetype from = at;
        while (at < text.size() && isDigit(at)) {
            ++at;
        }
        field = QStringView(text).sliced(from, at - from);
    }
    const auto fieldEnd = [&text](QStringView field) {
        return field.data() - text.constData() + field.size();
    };
    if (fields[0].size() == 4) {
        reading.day = fieldsDay(fieldValue(fields[0]), fieldValue(fields[1]), fieldValue(fields[2]));
        return reading;
    }
    if (fields[2].size() != 4 || fields[0].size() > 2 || fields[1].size() > 2) {
        return reading;
    }
    // The year last: what the text proves of its form's order, and its two readings.
    const qsizetype sepAt = fieldEnd(fields[0]);
    const QString sep = text.mid(sepAt, text.at(sepAt).isHighSurrogate() ? 2 : 1);
    const QStringView tail = QStringView(text).sliced(fieldEnd(fields[2]));
    Clock clock = Clock::H24;
    if (std::all_of(tail.begin(), tail.end(), [](QChar c) { return c == QLatin1Char(' '); })) {
        clock = Clock::None;
    } else if (std::any_of(tail.begin(), tail.end(), [](QChar c) {
                   return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                          (c >= QLatin1Char('a') && c <= QLatin1Char('z'));
               })) {
        clock = Clock::H12;
    }
    const int first = fieldValue(fields[0]);
    const int second = fieldValue(fields[1]);
    const int year = fieldValue(fields[2]);
    for (const int index : {marksOf(sep, clock, false), marksOf(sep, clock, true)}) {
        Marks& marks = m_marks[index];
        marks.dayFirst = marks.dayFirst || first > 12;
        marks.monthFirst = marks.monthFirst || second > 12;
        marks.has12 = marks.has12 || clock == Clock::H12;
        marks.has24 = marks.has24 || clock == Clock::H24;
    }
    const QDate dmy = fieldsDay(year, second, first);
    const QDate mdy = fieldsDay(year, first, second);
    const auto form = m_forms.constFind(dateForm(original));
    if (form != m_forms.cend()) {
        reading.day = *form == Dmy ? dmy : *form == Mdy ? mdy : QDate();
        if (*form != Undecided || (first <= 12 && second <= 12)) {
            return reading;
        }
    }
    if (first > 12 || second > 12 || dmy == mdy) {
        reading.day = first > 12 ? dmy : mdy;
        return reading;
    }
    // The other texts of the log decide.
    Group group;
    group.marks = marksOf(sep, clock, false);
    group.sepMarks = marksOf(sep, clock, true);
    group.noClock = clock == Clock::None;
    group.lastResortMdy = sep == QLatin1String("/") && clock != Clock::H24 && !fields[0].startsWith(QLatin1Char('0')) &&
                          !fields[1].startsWith(QLatin1Char('0'));
    reading.dmy = dmy;
    reading.mdy = mdy;
    for (qsizetype i = 0; i < m_groups.size(); ++i) {
        const Group& known = m_groups.at(i);
        if (known.marks == group.marks && known.sepMarks == group.sepMarks &&
            known.lastResortMdy == group.lastResortMdy) {
            reading.group = int(i);
            return reading;
        }
    }
    m_groups.append(group);
    reading.group = int(m_groups.size() - 1);
    return reading;
}

SubmitDays::Order SubmitDays::orderOf(const Group& group) const
{
    if (group.settledOrder != Undecided) {
        return group.settledOrder;
    }
    const Marks& marks = m_marks.at(group.marks);
    if (marks.dayFirst != marks.monthFirst) {
        return marks.dayFirst ? Dmy : Mdy;
    }
    if (group.noClock) {
        const Marks& sep = m_marks.at(group.sepMarks);
        if (sep.dayFirst != sep.monthFirst) {
            return sep.dayFirst ? Dmy : Mdy;
        }
        if (sep.has12 != sep.has24) {
            return sep.has24 ? Dmy : Mdy;
        }
    }
    return group.lastResortMdy ? Mdy : Dmy;
}

const SubmitDays::Reading& SubmitDays::readingOf(QByteArrayView utf8)
{
    ruleKey(utf8, m_key);
    // Rows come mostly in the order they were logged: most share the previous row's text.
    if (m_hasLast && m_key == m_lastKey) {
        return m_last;
    }
    const QByteArray key = QByteArray::fromRawData(m_key.data(), qsizetype(m_key.size()));
    auto found = m_readings.constFind(key);
    if (found == m_readings.cend()) {
        // A log holds a few texts a day, mostly in the order of their days: the readings of
        // the last few hundred are kept, older ones read again when they come back, so the
        // memory does not grow with the log.
        if (m_readings.size() >= 512) {
            m_readings.clear();
        }
        const QByteArray owned(m_key.data(), qsizetype(m_key.size()));
        found = m_readings.insert(owned, classify(owned));
    }
    m_last = *found;
    std::swap(m_key, m_lastKey);
    m_hasLast = true;
    return m_last;
}

QDate SubmitDays::dayOf(QByteArrayView recordedDay, std::optional<QByteArrayView> utf8)
{
    const QDate recorded = isoDay(recordedDay);
    if (!utf8) {
        return recorded;
    }
    const Reading& reading = readingOf(*utf8);
    if (recorded.isValid()) {
        return recorded;
    }
    if (reading.group < 0) {
        return reading.day;
    }
    Group& group = m_groups[reading.group];
    if (orderOf(group) == Dmy) {
        ++group.givenDmy;
        return reading.dmy;
    }
    ++group.givenMdy;
    return reading.mdy;
}

void SubmitDays::widen(QDate day)
{
    if (day.isValid()) {
        m_first = m_first.isValid() ? qMin(m_first, day) : day;
        m_lastDay = m_lastDay.isValid() ? qMax(m_lastDay, day) : day;
    }
}

void SubmitDays::add(QByteArrayView recordedDay, std::optional<QByteArrayView> utf8)
{
    const QDate recorded = isoDay(recordedDay);
    if (!utf8) {
        widen(recorded);
        return;
    }
    const Reading& reading = readingOf(*utf8);
    if (recorded.isValid() || reading.group < 0) {
        widen(recorded.isValid() ? recorded : reading.day);
        return;
    }
    Group& group = m_groups[reading.group];
    const auto widenTo = [](QDate day, QDate& first, QDate& last) {
        if (day.isValid()) {
            first = first.isValid() ? qMin(first, day) : day;
            last = last.isValid() ? qMax(last, day) : day;
        }
    };
    widenTo(reading.dmy, group.firstDmy, group.lastDmy);
    widenTo(reading.mdy, group.firstMdy, group.lastMdy);
}

bool SubmitDays::settled() const
{
    return std::all_of(m_groups.begin(), m_groups.end(), [this](const Group& group) {
        return (orderOf(group) == Dmy ? group.givenMdy : group.givenDmy) == 0;
    });
}

void SubmitDays::settle()
{
    for (Group& group : m_groups) {
        group.settledOrder = orderOf(group);
        group.givenDmy = 0;
        group.givenMdy = 0;
    }
}

QDate SubmitDays::earliest() const
{
    QDate first = m_first;
    for (const Group& group : m_groups) {
        const QDate day = orderOf(group) == Dmy ? group.firstDmy : group.firstMdy;
        first = day.isValid() && (!first.isValid() || day < first) ? day : first;
    }
    return first;
}

QDate SubmitDays::latest() const
{
    QDate last = m_lastDay;
    for (const Group& group : m_groups) {
        const QDate day = orderOf(group) == Dmy ? group.lastDmy : group.lastMdy;
        last = day.isValid() && (!last.isValid() || day > last) ? day : last;
    }
    return last;
}

QString dateForm(const QString& text)
{
    // SQLite's trim() takes off blanks only.
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text.at(start) == QLatin1Char(' ')) {
        ++start;
    }
    while (end > start && text.at(end - 1) == QLatin1Char(' ')) {
        --end;
    }
    QString form = text.mid(start, end - start);
    int run = 0; // runs of digits begun so far
    for (qsizetype i = 0; i < form.size(); ++i) {
        const int digit = digitValue(form.at(i));
        if (digit < 0) {
            continue;
        }
        const bool first = i == 0 || digitValue(form.at(i - 1)) < 0;
        run += first ? 1 : 0;
        const bool keptZero = first && run <= 2 && digit == 0 && i + 1 < form.size() && digitValue(form.at(i + 1)) >= 0;
        form[i] = keptZero ? QLatin1Char('0') : QLatin1Char('9');
    }
    return form;
}

bool recordDateForm(Database& db, const QString& text)
{
    // Only a text this program wrote tells the order of its form: a text written elsewhere
    // may merely look like one of its forms.
    const QDateTime written = parseGeneralDate(text);
    if (!written.isValid() || generalDateText(written) != text.trimmed()) {
        return false;
    }
    const QString order = writtenOrder();
    if (order.isEmpty()) {
        return false;
    }
    db.exec(QStringLiteral("INSERT OR IGNORE INTO HLV_DateForms (\"Form\", \"Order\") VALUES (?1, ?2)"),
            {dateForm(text), order});
    return true;
}

namespace {

const QString kSubmitDaysTable = QStringLiteral("HLV_SubmitDays");
const QString kDateFormsTable = QStringLiteral("HLV_DateForms");

// Whether the table reads with the columns the programs use, all of its pages: a damaged
// one fails the count.
bool tableReadable(Database& db, const QString& table, const QString& columns)
{
    // Names in brackets: SQLite would take a missing column named in double quotes for a
    // text.
    return db.scalar(QStringLiteral("SELECT COUNT(*) FROM (SELECT %1 FROM %2)").arg(columns, table)).has_value();
}

} // namespace

bool submitDaysReadable(Database& db)
{
    return tableReadable(db, kSubmitDaysTable, QStringLiteral("[TransactionID], [Day]"));
}

bool dateFormsReadable(Database& db)
{
    return tableReadable(db, kDateFormsTable, QStringLiteral("[Form], [Order]"));
}

QString withReadableSideTables(Database& db, QString sql)
{
    if (sql.contains(kDateFormsTable) && !dateFormsReadable(db)) {
        sql.replace(QStringLiteral("FROM HLV_DateForms"),
                    QStringLiteral("FROM (SELECT NULL AS \"Form\", NULL AS \"Order\" WHERE 0)"));
    }
    if (sql.contains(kSubmitDaysTable) && !submitDaysReadable(db)) {
        sql.replace(QStringLiteral("JOIN HLV_SubmitDays AS"),
                    QStringLiteral("JOIN (SELECT NULL AS \"TransactionID\", NULL AS \"Day\" WHERE 0) AS"));
    }
    return sql;
}

QString readableViewSql(Database& db, const QString& view)
{
    Query query(db, QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'view' AND name = ?1"));
    query.bind(1, view);
    if (!query.next()) {
        return QString();
    }
    QString sql = query.value(0).toString();
    // "CREATE VIEW name AS" and the query.
    const qsizetype as = sql.indexOf(QStringLiteral(" AS"), 12 + view.size());
    if (!sql.startsWith(QStringLiteral("CREATE VIEW ")) || as < 0) {
        return QString();
    }
    return withReadableSideTables(db, sql.mid(as + 3));
}

std::pair<QString, QString> submitDaySource(Database& db)
{
    // A log in which no writer recorded a day (or one it cannot read) is read without the
    // join: a look-up for every row that finds nothing.
    const auto recorded = db.scalar(QStringLiteral("SELECT EXISTS (SELECT 1 FROM HLV_SubmitDays)"));
    if (!recorded || !recorded->toBool() || !submitDaysReadable(db)) {
        return {QStringLiteral("NULL"), QString()};
    }
    return {QStringLiteral("sd.\"Day\""),
            QStringLiteral(" LEFT JOIN HLV_SubmitDays AS sd ON sd.\"TransactionID\" = HLV_Log.TransactionID")};
}

bool recordSubmitDay(Database& db, const QString& transactionId, const QString& text)
{
    const QDateTime written = parseGeneralDate(text);
    const bool own = written.isValid() && generalDateText(written) == text.trimmed();
    const bool ok =
        own ? db.exec(QStringLiteral("INSERT OR REPLACE INTO HLV_SubmitDays (\"TransactionID\", \"Day\") "
                                     "VALUES (?1, ?2)"),
                      {transactionId, written.date().toString(Qt::ISODate)})
            : db.exec(QStringLiteral("DELETE FROM HLV_SubmitDays WHERE \"TransactionID\" = ?1"), {transactionId});
    // A log without the table (or with one of other columns) keeps its rows' days to the rule.
    return ok || (sqlite3_extended_errcode(db.handle()) & 0xff) == SQLITE_ERROR;
}

} // namespace hlv::joblog
