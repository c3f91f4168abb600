#include "store/SubmitDates.h"

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

} // namespace

QString jobDaysSql(Database& db)
{
    QString sql = QString::fromUtf8(kJobDaysSql);
    const std::optional<QVariant> forms =
        db.scalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = 'HLV_DateForms'"));
    if (!forms || forms->toInt() == 0) {
        sql.replace(QStringLiteral("FROM HLV_DateForms"),
                    QStringLiteral("FROM (SELECT NULL AS Form, NULL AS \"Order\" WHERE 0)"));
    }
    return sql;
}

QDate submitDay(QByteArrayView iso)
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

void recordDateForm(Database& db, const QString& text)
{
    // Only a text this program wrote tells the order of its form: a text written elsewhere
    // may merely look like one of its forms.
    const QDateTime written = parseGeneralDate(text);
    if (!written.isValid() || generalDateText(written) != text.trimmed()) {
        return;
    }
    const QString order = writtenOrder();
    if (order.isEmpty()) {
        return;
    }
    db.exec(QStringLiteral("INSERT OR IGNORE INTO HLV_DateForms (\"Form\", \"Order\") VALUES (?1, ?2)"),
            {dateForm(text), order});
}

} // namespace hlv::joblog
