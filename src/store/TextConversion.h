#pragma once

#include <optional>

#include <QString>
#include <QStringView>
#include <QVariant>

namespace hlv {

// The program's ordinary conversion of a value to text, as used for settings and job log
// fields: a Boolean becomes "True" or "False", a whole number its decimal digits, a
// fractional number its shortest decimal form with "." (up to 15 significant digits), a
// date-time the general date-and-time text, a date its date text, a time its time text,
// and a text stays as it is. An absent (invalid) value has no text: nothing is returned.
std::optional<QString> vbText(const QVariant& value);

// The number at the start of a text, 0 when there is none: "12" gives 12, "12 pages" 12,
// "12.5abc" 12.5, " -3" -3, "abc" and "" give 0. Counters and page fields are read back
// this way.
double leadingNumber(QStringView text);

} // namespace hlv
