#include "GeneralDate.h"

#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

namespace hlv {

namespace {

QLocale formatLocale()
{
    // The C locale has no useful short date of its own; it reads like English (US).
    // The default locale is the system one unless the program (or a test) set another.
    const QLocale system;
    if (system.language() == QLocale::C) {
        return QLocale(QLocale::English, QLocale::UnitedStates);
    }
    return system;
}

} // namespace

QString generalDateFormat()
{
    QString format = formatLocale().dateFormat(QLocale::ShortFormat);
    // A two-digit year cannot be read back unambiguously.
    if (!format.contains(QStringLiteral("yyyy"))) {
        format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    }
    return format;
}

QString generalTimeFormat()
{
    QString format = formatLocale().timeFormat(QLocale::LongFormat);
    // Drop the time zone the long form may carry; keep hours, minutes, seconds, AM/PM.
    static const QRegularExpression zone(QStringLiteral("\\s*\\(?t+\\)?"));
    format.remove(zone);
    return format.trimmed();
}

QString generalDateText(const QDateTime& value)
{
    if (!value.isValid()) {
        return QString();
    }
    const QLocale locale = formatLocale();
    const QString date = locale.toString(value.date(), generalDateFormat());
    if (value.time() == QTime(0, 0)) {
        return date;
    }
    return date + QLatin1Char(' ') + locale.toString(value.time(), generalTimeFormat());
}

QString generalTimeText(const QTime& value)
{
    return formatLocale().toString(value, generalTimeFormat());
}

QDateTime parseGeneralDate(const QString& text)
{
    const QLocale locale = formatLocale();
    const QString trimmed = text.trimmed();
    QDateTime full = locale.toDateTime(trimmed, generalDateFormat() + QLatin1Char(' ') + generalTimeFormat());
    if (full.isValid()) {
        return full;
    }
    const QDate date = locale.toDate(trimmed, generalDateFormat());
    if (date.isValid()) {
        return QDateTime(date, QTime(0, 0));
    }
    return {};
}

void readLocalTimeZoneOnce()
{
    if (!qEnvironmentVariableIsSet("TZ") && QFileInfo::exists(QStringLiteral("/etc/localtime"))) {
        qputenv("TZ", ":/etc/localtime");
    }
}

} // namespace hlv
