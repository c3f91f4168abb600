#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QHash>
#include <QString>

namespace hlv::joblog {

// The calendar day of a submit-time text, cached by its date part: a log holds many jobs
// per day, and reading a date through the locale is the costly step of a pass. Every pass
// over the log that reads stored submit times (the CSV export, the statistics) reads them
// here.
class SubmitDateReader
{
public:
    SubmitDateReader();

    QDate dateOf(const QString& text);
    // The same for a value as SQLite gives it. Rows come mostly in the order they were
    // logged, so the date part of the previous row answers most of them without a look-up.
    QDate dateOf(QByteArrayView utf8);

private:
    static bool isAsciiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

    bool m_byDatePart;
    QHash<QString, QDate> m_cache;
    bool m_hasLast = false;
    QByteArray m_lastPart;
    QDate m_lastDate;
};

} // namespace hlv::joblog
