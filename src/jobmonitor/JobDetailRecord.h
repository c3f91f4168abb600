#pragma once

#include <QString>

#include "platform/PrintSystem.h"

namespace hlv {

// The job detail record that every job event carries: 12 fields joined by "|", without
// quoting or escaping, in this order:
//   0 status mask, 1 document, 2 submitting computer ("\\host"), 3 owner, 4 queue name,
//   5 total pages, 6 pages printed, 7 priority, 8 size in whole KB followed by "KB",
//   9 time submitted (general date text), 10 job id, 11 name ("queue, id").
// Readers split at every "|" and take fields by position, so a "|" inside a document name
// shifts the later fields; a value the server does not know gives an empty field.
QString buildJobDetailRecord(const PrintJobInfo& job);

inline constexpr int kJobDetailFieldCount = 12;

} // namespace hlv
