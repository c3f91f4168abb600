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
    bool null = false;
    const std::optional<QByteArrayView> raw = plainText(query, column, &null);
    if (null) {
        return 0;
    }
    if (raw && !raw->isEmpty() && raw->size() <= 15 &&
        std::all_of(raw->begin(), raw->end(), [](char c) { return c >= '0' && c <= '9'; })) {
        qint64 value = 0;
        for (const char c : *raw) {
            value = value * 10 + (c - '0');
        }
        return static_cast<double>(value);
    }
    return leadingNumber(raw ? QString::fromLatin1(*raw) : fieldText(query.value(column)));
}

} // namespace hlv::joblog
