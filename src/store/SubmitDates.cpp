#include "store/SubmitDates.h"

#include <algorithm>

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <sqlite3.h>

#include "platform/Database.h"
#include "platform/GeneralDate.h"
#include "store/JobDaysSql.h"

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
void ruleKey(QByteArrayView utf8, QByteArray& key)
{
    // ASCII text (nearly every one) in one look at each byte; other text again, as text.
    key.resize(utf8.size());
    char* out = key.data();
    int runs = 0;
    bool inRun = false;
    unsigned char high = 0;
    for (const char c : utf8) {
        high |= static_cast<unsigned char>(c);
        const bool digit = c >= '0' && c <= '9';
        runs += digit && !inRun ? 1 : 0;
        inRun = digit;
        *out++ = digit && runs > 3 ? '9' : c;
    }
    if (high < 0x80) {
        return;
    }
    QString text = QString::fromUtf8(utf8);
    runs = 0;
    inRun = false;
    for (QChar& c : text) {
        const bool digit = digitValue(c) >= 0;
        runs += digit && !inRun ? 1 : 0;
        inRun = digit;
        if (digit && runs > 3) {
            c = QLatin1Char('9');
        }
    }
    key = text.toUtf8();
}

// A text the rule reads as it reads key: what follows the third run of digits only tells the
// rule the clock (none when blanks, 12-hour when it holds a letter, else 24-hour), unless the
// text's form was recorded (the form is then looked up whole). '\x01' is no writer's: a form
// made of it is never a recorded one.
QByteArray ruleText(const QByteArray& key, const QSet<QString>& recordedForms)
{
    if (!std::all_of(key.begin(), key.end(), [](char c) { return c > 0 && static_cast<unsigned char>(c) < 0x80; })) {
        return key;
    }
    qsizetype end = 0;
    for (int run = 0; run < 3; ++run) {
        while (end < key.size() && (key[end] < '0' || key[end] > '9')) {
            ++end;
        }
        if (end == key.size()) {
            return key;
        }
        while (end < key.size() && key[end] >= '0' && key[end] <= '9') {
            ++end;
        }
    }
    const QByteArrayView tail = QByteArrayView(key).sliced(end);
    if (std::all_of(tail.begin(), tail.end(), [](char c) { return c == ' '; }) ||
        recordedForms.contains(dateForm(QString::fromLatin1(key)))) {
        return key;
    }
    const bool letter =
        std::any_of(tail.begin(), tail.end(), [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); });
    QByteArray text = key.first(end);
    text.append(" \x01");
    if (letter) {
        text.append('a');
    }
    return text;
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
    Query query(db, QStringLiteral("SELECT \"Time Submitted\" FROM HLV_Log"));
    while (query.next()) {
        add(query, 0);
    }
    return !query.failed() && resolve(db);
}

void SubmitDays::add(const Query& query, int column, int dayColumn)
{
    Query::Kind kind = Query::Kind::Null;
    if (dayColumn >= 0) {
        const QDate recorded = isoDay(query.rawText(dayColumn, &kind));
        if (recorded.isValid()) {
            m_firstRecorded = m_firstRecorded.isValid() ? qMin(m_firstRecorded, recorded) : recorded;
            m_lastRecorded = m_lastRecorded.isValid() ? qMax(m_lastRecorded, recorded) : recorded;
            return;
        }
    }
    const QByteArrayView raw = query.rawText(column, &kind);
    if (kind == Query::Kind::Null) {
        return;
    }
    if (kind == Query::Kind::Float || kind == Query::Kind::Blob) {
        ruleKey(query.value(column).toString().toUtf8(), m_key);
    } else {
        ruleKey(raw, m_key);
    }
    // Rows come mostly in the order they were logged: most share the previous key.
    if (m_key != m_lastKey && !m_days.contains(m_key)) {
        m_days.insert(m_key, QDate());
        m_keys.append(m_key);
    }
    std::swap(m_key, m_lastKey);
}

bool SubmitDays::resolve(Database& db)
{
    const QList<QByteArray> keys = std::move(m_keys);
    m_keys.clear();
    m_hasLast = false;
    if (keys.isEmpty()) {
        return true;
    }
    // The rule reads the texts handed to it in place of the log's rows. A log made before the
    // programs recorded their date forms has no HLV_DateForms: it is read by the older rules
    // alone, as its own views read it.
    QString sql = QString::fromUtf8(kJobDaysSql);
    const qsizetype source = sql.indexOf(QLatin1String("submitted AS ("));
    const qsizetype sourceEnd = source < 0 ? -1 : sql.indexOf(QLatin1Char('\n'), source);
    if (sourceEnd < 0) {
        return false;
    }
    sql.replace(source, sourceEnd - source,
                QStringLiteral("submitted AS (SELECT key AS RowNo, value AS Submitted FROM json_each(?1)),"));
    sql = withReadableSideTables(db, sql);
    sql += QStringLiteral(" SELECT RowNo, Iso FROM days WHERE date(Iso, '+0 days') = Iso");
    // Texts the rule reads alike go to it once (see ruleText): a year's log then gives it one
    // text a day instead of one for every length of hour and half of the day.
    QSet<QString> recordedForms;
    {
        Query forms(db, withReadableSideTables(db, QStringLiteral("SELECT DISTINCT \"Form\" FROM HLV_DateForms "
                                                                  "WHERE \"Order\" IN ('dmy', 'mdy')")));
        while (forms.next()) {
            recordedForms.insert(forms.value(0).toString());
        }
    }
    QJsonArray texts;
    QHash<QByteArray, qsizetype> textRows;
    QList<qsizetype> keyRows; // each key's text
    keyRows.reserve(keys.size());
    for (const QByteArray& key : std::as_const(keys)) {
        const QByteArray text = ruleText(key, recordedForms);
        const auto found = textRows.constFind(text);
        if (found != textRows.cend()) {
            keyRows.append(*found);
        } else {
            keyRows.append(texts.size());
            textRows.insert(text, texts.size());
            texts.append(QString::fromUtf8(text));
        }
    }
    QList<QDate> textDays(texts.size());
    Query days(db, sql);
    days.bind(1, QString::fromUtf8(QJsonDocument(texts).toJson(QJsonDocument::Compact)));
    Query::Kind kind = Query::Kind::Null;
    while (days.next()) {
        const qint64 row = days.value(0).toLongLong();
        if (row >= 0 && row < textDays.size()) {
            textDays[row] = isoDay(days.rawText(1, &kind));
        }
    }
    for (qsizetype i = 0; i < keys.size(); ++i) {
        m_days.insert(keys.at(i), textDays.at(keyRows.at(i)));
    }
    return !days.failed();
}

QDate SubmitDays::dayOf(QByteArrayView recordedDay, QByteArrayView utf8)
{
    const QDate recorded = isoDay(recordedDay);
    return recorded.isValid() ? recorded : dayOf(utf8);
}

QDate SubmitDays::dayOf(QByteArrayView utf8)
{
    ruleKey(utf8, m_key);
    if (!m_hasLast || m_key != m_lastKey) {
        m_lastDay = m_days.value(m_key);
        std::swap(m_key, m_lastKey);
        m_hasLast = true;
    }
    return m_lastDay;
}

QDate SubmitDays::earliest() const
{
    QDate first = m_firstRecorded;
    for (const QDate& day : m_days) {
        first = day.isValid() && (!first.isValid() || day < first) ? day : first;
    }
    return first;
}

QDate SubmitDays::latest() const
{
    QDate last = m_lastRecorded;
    for (const QDate& day : m_days) {
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
