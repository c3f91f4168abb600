#include "TextConversion.h"

#include <cmath>

#include <QDateTime>

#include "platform/GeneralDate.h"

namespace hlv {

namespace {

QString numberText(double value)
{
    if (!std::isfinite(value)) {
        return QString::number(value);
    }
    // Whole numbers as plain digits; others in the shortest form with up to 15 digits,
    // an exponent written with a capital E ("1.5E-07").
    if (value == std::floor(value) && std::fabs(value) < 1e15) {
        return QString::number(static_cast<qint64>(value));
    }
    return QString::number(value, 'g', 15).toUpper();
}

} // namespace

std::optional<QString> vbText(const QVariant& value)
{
    if (!value.isValid()) {
        return std::nullopt;
    }
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::Short:
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return QString::number(value.toLongLong());
    case QMetaType::UChar:
    case QMetaType::UShort:
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return QString::number(value.toULongLong());
    case QMetaType::Float:
    case QMetaType::Double:
        return numberText(value.toDouble());
    case QMetaType::QDateTime:
        return generalDateText(value.toDateTime());
    case QMetaType::QDate:
        return generalDateText(QDateTime(value.toDate(), QTime(0, 0)));
    case QMetaType::QTime:
        return generalTimeText(value.toTime());
    default:
        if (value.canConvert<QString>()) {
            return value.toString();
        }
        return std::nullopt;
    }
}

double leadingNumber(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text.at(i).isSpace()) {
        ++i;
    }
    const qsizetype start = i;
    if (i < n && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        ++i;
    }
    auto isDigit = [&](qsizetype at) {
        return at < n && text.at(at) >= QLatin1Char('0') && text.at(at) <= QLatin1Char('9');
    };
    qsizetype digits = 0;
    while (isDigit(i)) {
        ++i;
        ++digits;
    }
    if (i < n && text.at(i) == QLatin1Char('.')) {
        qsizetype j = i + 1;
        qsizetype fraction = 0;
        while (isDigit(j)) {
            ++j;
            ++fraction;
        }
        if (digits + fraction > 0) {
            i = j;
            digits += fraction;
        }
    }
    if (digits == 0) {
        return 0;
    }
    // An exponent counts only when digits follow it ("12e" is 12).
    if (i < n && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < n && (text.at(j) == QLatin1Char('-') || text.at(j) == QLatin1Char('+'))) {
            ++j;
        }
        if (isDigit(j)) {
            while (isDigit(j)) {
                ++j;
            }
            i = j;
        }
    }
    bool ok = false;
    const double value = text.mid(start, i - start).toString().toDouble(&ok);
    return ok ? value : 0;
}

} // namespace hlv
