#include "store/SubmitDates.h"

#include "platform/GeneralDate.h"
#include "store/JobLogColumns.h"

namespace hlv::joblog {

SubmitDateReader::SubmitDateReader()
    : m_byDatePart(!generalDateFormat().contains(QLatin1Char(' ')))
{}

QDate SubmitDateReader::dateOf(const QString& text)
{
    if (!m_byDatePart) {
        return parseGeneralDate(text).date();
    }
    const QString trimmed = text.trimmed();
    const qsizetype blank = trimmed.indexOf(QLatin1Char(' '));
    const QString datePart = blank < 0 ? trimmed : trimmed.left(blank);
    const auto found = m_cache.constFind(datePart);
    if (found != m_cache.constEnd()) {
        return found.value();
    }
    const QDate date = parseGeneralDate(datePart).date();
    m_cache.insert(datePart, date);
    return date;
}

QDate SubmitDateReader::dateOf(QByteArrayView utf8)
{
    if (!m_byDatePart || !isAscii(utf8)) {
        return dateOf(QString::fromUtf8(utf8));
    }
    qsizetype start = 0;
    qsizetype end = utf8.size();
    while (start < end && isAsciiSpace(utf8[start])) {
        ++start;
    }
    while (end > start && isAsciiSpace(utf8[end - 1])) {
        --end;
    }
    QByteArrayView datePart = utf8.sliced(start, end - start);
    if (const qsizetype blank = datePart.indexOf(' '); blank >= 0) {
        datePart = datePart.first(blank);
    }
    if (m_hasLast && datePart == QByteArrayView(m_lastPart)) {
        return m_lastDate;
    }
    m_lastDate = dateOf(QString::fromLatin1(datePart));
    m_lastPart = datePart.toByteArray();
    m_hasLast = true;
    return m_lastDate;
}

} // namespace hlv::joblog
