#pragma once

#include <QString>
#include <QVariant>

namespace hlv {

// The words shown for the status codes print servers report. Other code searches these
// texts (for example for " Paused"), so their case and leading blanks matter.

// The queue's status bits as phrases, each with a leading blank, in ascending bit order;
// "OK" for 0; bits above 0x1000000 are ignored.
QString GetPrinterStatusText(qint64 status);

// The extended printer status as a word ("OK" for 2, "Printing" for 4, ...); a value that
// has no word comes back as its decimal digits.
QString GetExtendedPrinterStatusText(qint64 status);
// The same for a value as the print system hands it over: a number (fractions are cut
// off for the comparison), or the argument itself when it has no word.
QVariant GetExtendedPrinterStatusText(const QVariant& status);

// The job status mask as one word when exactly one known bit is set ("Printing" for 16);
// "OK" for 0, for any combination of bits, for unknown values.
QString GetJobStatusText(qint64 mask);
// The same for a number or its decimal digits as text; "OK" when it is not a number.
QString GetJobStatusText(const QVariant& mask);

// A pseudo-random whole number from low to high inclusive (for low <= high), from one
// process-wide generator that is never seeded, so every run draws the same sequence.
int RandomBetween(int low, int high);

} // namespace hlv
