#pragma once

#include <iterator>

namespace hlv::cupsattr {

// The attributes asked for in each reading, kept here so that the bench sends the same
// requests as the programs.

// A job list, or one job.
inline constexpr const char* kJob[] = {"job-id",
                                       "job-name",
                                       "job-originating-host-name",
                                       "job-originating-user-name",
                                       "job-printer-uri",
                                       "job-priority",
                                       "job-k-octets",
                                       "time-at-creation",
                                       "time-at-completed",
                                       "job-state",
                                       "job-state-reasons",
                                       "job-impressions",
                                       "job-impressions-completed",
                                       "job-media-sheets",
                                       "job-media-sheets-completed",
                                       "job-pages",
                                       "job-printer-uri-actual",
                                       "job-printer-state-reasons",
                                       "job-printer-state-message"};

// The queue that holds a job.
inline constexpr const char* kJobQueue[] = {"job-printer-uri"};

// The printer list.
inline constexpr const char* kPrinter[] = {"printer-name",
                                           "printer-info",
                                           "printer-location",
                                           "printer-make-and-model",
                                           "device-uri",
                                           "printer-state",
                                           "printer-state-reasons",
                                           "printer-state-message",
                                           "printer-is-shared",
                                           "printer-type",
                                           "printer-uri-supported",
                                           "printer-is-accepting-jobs",
                                           "printer-state-change-time"};

// The state of printers, for the trouble their jobs share.
inline constexpr const char* kPrinterState[] = {"printer-name", "printer-state", "printer-state-reasons",
                                                "printer-state-message", "printer-state-change-time"};

// The events a watch subscribes to.
inline constexpr const char* kEvents[] = {"job-created",        "job-completed",   "job-state-changed",
                                          "job-config-changed", "job-progress",    "printer-state-changed",
                                          "printer-deleted",    "server-restarted"};

template <typename List> constexpr int count(const List& list)
{
    return static_cast<int>(std::size(list));
}

} // namespace hlv::cupsattr
