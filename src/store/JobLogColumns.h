#pragma once

#include <optional>

#include <QByteArrayView>
#include <QString>
#include <QVariant>

namespace hlv {

class Query;

// Reading the columns of a pass over the job log (the CSV export, the statistics): whole
// numbers and ASCII text are taken from SQLite's bytes, everything else through QVariant,
// and both routes give the same text.
namespace joblog {

// The text of a stored value: NULL gives an empty text.
QString fieldText(const QVariant& value);

bool isAscii(QByteArrayView text);

// The text a column gives, as fieldText(query.value(column)) would, for whole numbers and
// ASCII text straight from SQLite's bytes (nothing when the value must take the QVariant
// route: real numbers, blobs, text beyond ASCII).
std::optional<QByteArrayView> plainText(const Query& query, int column, bool* null);

// leadingNumber of a column's text; plain digits are read without building a text.
double numberOf(const Query& query, int column);

} // namespace joblog
} // namespace hlv
