#include "store/JobLogColumns.h"

#include <algorithm>

#include "platform/Database.h"
#include "store/TextConversion.h"

namespace hlv::joblog {

QString fieldText(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

bool isAscii(QByteArrayView text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::optional<QByteArrayView> plainText(const Query& query, int column, bool* null)
{
    Query::Kind kind = Query::Kind::Null;
    const QByteArrayView raw = query.rawText(column, &kind);
    *null = kind == Query::Kind::Null;
    if (*null) {
        return QByteArrayView();
    }
    if (kind == Query::Kind::Integer || (kind == Query::Kind::Text && isAscii(raw))) {
        return raw;
    }
    return std::nullopt;
}

double numberOf(const Query& query, int column)
{
    // Whole numbers are read as stored, without SQLite building their texts.
    Query::Kind kind = Query::Kind::Null;
    qint64 integer = 0;
    const QByteArrayView raw = query.rawValue(column, &kind, &integer);
    switch (kind) {
    case Query::Kind::Null:
        return 0;
    case Query::Kind::Integer:
        if (integer >= 0 && integer < 1000000000000000) {
            return static_cast<double>(integer);
        }
        return leadingNumber(QString::number(integer));
    case Query::Kind::Text:
        if (!isAscii(raw)) {
            break;
        }
        if (!raw.isEmpty() && raw.size() <= 15 &&
            std::all_of(raw.begin(), raw.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            qint64 value = 0;
            for (const char c : raw) {
                value = value * 10 + (c - '0');
            }
            return static_cast<double>(value);
        }
        return leadingNumber(QString::fromLatin1(raw));
    default:
        break;
    }
    return leadingNumber(fieldText(query.value(column)));
}

} // namespace hlv::joblog
