#pragma once

#include <QString>
#include <QStringList>

#include "platform/PrintSystem.h"

namespace hlv {

// The job detail record that every job event carries: 12 fields joined by "|", in this
// order:
//   0 status mask, 1 document, 2 submitting computer ("\\host"), 3 owner, 4 queue name,
//   5 total pages, 6 pages printed, 7 priority, 8 size in whole KB followed by "KB",
//   9 time submitted (general date text),
//   10 job id, 11 name ("queue, id").
// A value the server does not know gives an empty field.
//
// Names are whatever the submitting client chose, "|" included, so a "|" inside a field is
// written "\|", and the backslashes directly before such a "|" or at the end of a field
// are doubled; every other backslash stays as it is. A field without "|" and not ending in
// a backslash (the common case, "\\host" included) is written unchanged.
QString buildJobDetailRecord(const PrintJobInfo& job);

inline constexpr int kJobDetailFieldCount = 12;

// Takes a record apart into its twelve fields, each with its exact text. A record of more
// than twelve fields comes from a monitor that does not escape: field 0 is read from the
// front, fields 2 to 11 from the back, and the document is whatever lies between them; a
// printer name with "|" is found by the name field, which repeats it before the job id.
// A record of fewer than twelve fields is filled up with empty fields at its end;
// *complete (when given) tells the two apart.
QStringList readJobDetailRecord(const QString& record, bool* complete = nullptr);

} // namespace hlv
