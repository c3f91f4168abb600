#pragma once

#include <optional>

#include <QString>
#include <QStringList>

namespace hlv::cupsstate {

// How a CUPS printer and its jobs read as spooler status values. The one place where IPP
// states and reasons become the bits that the queue status box, the job lists and the
// watch program's alerts are judged by.
//
// Printer (printer-state, printer-state-reasons, printer-state-message) -> Status bits,
// what the printer says (the queue's status text), and the stopping bits among them, what
// keeps it from printing (whether a queue can print, and what its waiting jobs read).
// A reason's suffix is its severity (-report information, -warning warning, -error error;
// none: an error); several reasons give several bits.
//
//   reason or state                             Status bits                  stops
//   stopped (5), message "Paused", or empty
//     without the reason "paused"               -> Paused (0x1)              yes [operator]
//   stopped (5), any other message              -> Paused | Error (0x3)      yes [backend]
//   paused                                      -> Paused (0x1)              yes
//   moving-to-paused                            -> Paused (0x1)              no (job goes on)
//   media-jam                                   -> Paper Jam | User Intervention   as error
//   media-empty, media-needed                   -> Paper Out (0x10)          as error
//   input-tray-missing                          -> Paper Problem (0x40)      as error
//   media-low                                   -> Paper Problem (0x40)      -error only
//   offline, shutdown, timed-out                -> OffLine (0x80)            any severity
//   connecting-to-device, for kConnectingLasts s or more
//                                               -> OffLine (0x80)            yes
//   connecting-to-device, shorter               -> nothing
//   output-area-full                            -> Output Bin Full (0x800)   as error
//   spool-area-full                             -> Out of Memory (0x200000)  as error
//   toner-low, marker-supply-low                -> Toner Low (0x20000)       -error only
//   toner-empty, marker-supply-empty            -> No Toner | User Intervention   as error
//   door-open, cover-open, interlock-open       -> Door Open | User Intervention  as error
//   other                                       -> Error (0x2)               as error
//   any other reason ending in "-error"         -> Error (0x2)               yes
//   anything else (none, hold-new-jobs, unknown -warning/-report) -> no bit
//
// "as error": stops with "-error" or without a suffix, not as a -report or -warning.
//
// connecting-to-device: the ipp and socket backends report it at the start of every job
// while they reach the device; only a printer that stays so (its state unchanged that long,
// printer-state-change-time) is taken as unreachable.
//
// Why the message decides between an operator's pause and a stop: CUPS marks both the same
// way (state stopped, reason "paused"). Pause-Printer without a text of its own leaves the
// message "Paused"; a backend that fails under the error policy stop-printer leaves its own
// complaint there ("Unable to open serial port: ..." or "Printer stopped due to backend
// errors; ..."), or nothing when it said nothing at error level. A pause is never an error;
// a stop by the backend is one, and the queue then still needs a resume, so it keeps the
// Paused bit beside the Error bit.
//
// Job (job-state, job-state-reasons, the stopping bits of its printer) -> StatusMask, one
// bit at most, so that every text of the job status table can be reached:
//
//   canceled (7)                                -> Deleted (0x100)
//   aborted (8)                                 -> Error (0x2)
//   completed (9)                               -> Printed (0x80)
//   pending-held (4) + job-incoming             -> Spooling (0x8) (Create-Job, document to come)
//   pending-held (4)                            -> Paused (0x1)
//   processing (5) + processing-to-stop-point   -> Deleting (0x4)
//   pending (3) / processing (5) + job-incoming -> Spooling (0x8)
//   pending (3), processing (5), processing-stopped (6), when the printer's stopping bits
//   report trouble,
//   the first of:
//     printer OffLine                           -> Offline (0x20)
//     printer Paper Out                         -> Paperout (0x40)
//     printer User Intervention                 -> User Intervention Required (0x400)
//     printer Error                             -> Error (0x2)
//   otherwise: pending (3)                      -> 0 (also on a queue the operator paused)
//              processing (5)                   -> Printing (0x10)
//              processing-stopped (6)           -> Error (0x2)
//
// A job waits on the printer's trouble as much as the job that is printing does, so every
// job that is not held reads the printer's trouble. Offline comes first because a device
// that cannot be reached says nothing true about its paper; a job on a queue that the
// operator paused stays 0, as a job on a paused spooler queue does, and the console's hold
// of waiting jobs (it holds every job whose status is not Paused) keeps working on it.
// How long connecting-to-device lasts before the printer counts as offline (seconds).
constexpr qint64 kConnectingLasts = 30;
// stateAgeSeconds: how long the printer has been in its state (now - printer-state-change-time).
quint32 printerStatusBits(int printerState, const QStringList& reasons, const QString& message = QString(),
                          qint64 stateAgeSeconds = 0);
quint32 printerStoppingBits(int printerState, const QStringList& reasons, const QString& message = QString(),
                            qint64 stateAgeSeconds = 0);
// ExtendedPrinterStatus: Paused 8, OffLine 7, Error 9, other trouble 1 (Other),
// processing 4, idle 3.
int extendedPrinterStatus(int printerState, quint32 statusBits);
quint32 jobStatusMask(int jobState, const QStringList& jobReasons, quint32 printerStatusBits = 0);
// The job's status without its printer's trouble, for a job whose status reads it (the rows
// "when the printer reports trouble" above); nullopt for every other job.
std::optional<quint32> jobOwnStatus(int jobState, const QStringList& jobReasons);
// The status of a job that reads its printer's trouble: ownStatus is what jobOwnStatus gave.
quint32 jobStatusOnPrinter(quint32 ownStatus, quint32 printerStatusBits);

} // namespace hlv::cupsstate
