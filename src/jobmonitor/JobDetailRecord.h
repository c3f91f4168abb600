#pragma once

#include <QString>
#include <QStringList>

#include "platform/PrintSystem.h"

namespace hlv {

// The job detail record that every job event carries: 12 fields joined by "|", without
// quoting or escaping, in this order:
//   0 status mask, 1 document, 2 submitting computer ("\\host"), 3 owner, 4 queue name,
//   5 total pages, 6 pages printed, 7 priority, 8 size in whole KB followed by "KB"
//   ("KB" alone when the size is not known), 9 time submitted (general date text),
//   10 job id, 11 name ("queue, id").
// A value the server does not know gives an empty field.
QString buildJobDetailRecord(const PrintJobInfo& job);

inline constexpr int kJobDetailFieldCount = 12;

// Takes a record apart into its twelve fields. Field 0 is read from the front, fields 2 to
// 11 from the back, and the document is whatever lies between them, so a "|" in a document
// moves nothing. A printer name with "|" is found by the name field, which repeats it
// before the job id. (A "|" in an owner's name cannot be told from one in the document:
// the document then takes the computer and the front of the owner's name; the queue, the
// key and every later field still read right.) A record of fewer than twelve fields cannot
// be read that way: it is split at every "|" and filled up with empty fields at its end;
// *complete (when given) tells the two apart.
QStringList readJobDetailRecord(const QString& record, bool* complete = nullptr);

} // namespace hlv
