#pragma once

#include <optional>

#include <QString>
#include <QStringList>

namespace hlv::cupsstate {

// How a CUPS printer and its jobs read as spooler status values. The one place where IPP
// states and reasons become the bits that the queue status box, the job lists and the
// watch program's alerts are judged by.
//
// Printer (printer-state, printer-state-reasons, printer-state-message) -> Status bits.
// A reason counts without its severity suffix (-report, -warning, -error); several reasons
// give several bits.
//
//   stopped (5), message empty or "Paused"      -> Paused (0x1)              [operator]
//   stopped (5), any other message              -> Paused | Error (0x3)      [backend]
//   paused, moving-to-paused                    -> Paused (0x1)
//   media-jam                                   -> Paper Jam | User Intervention
//   media-empty, media-needed                   -> Paper Out (0x10)
//   input-tray-missing, media-low               -> Paper Problem (0x40)
//   offline, shutdown, timed-out, connecting-to-device
//                                               -> OffLine (0x80)
//   output-area-full                            -> Output Bin Full (0x800)
//   spool-area-full                             -> Out of Memory (0x200000)
//   toner-low, marker-supply-low                -> Toner Low (0x20000)
//   toner-empty, marker-supply-empty            -> No Toner | User Intervention
//   door-open, cover-open, interlock-open       -> Door Open | User Intervention
//   other, any other reason ending in "-error"  -> Error (0x2)
//   anything else (none, -warning/-report of unknown reasons) -> no bit
//
// Why the message decides between an operator's pause and a stop: CUPS marks both the same
// way (state stopped, reason "paused"). Pause-Printer without a text of its own leaves the
// message "Paused"; a backend that fails under the error policy stop-printer leaves its own
// complaint there ("Unable to open serial port: ..." or "Printer stopped due to backend
// errors; ..."). A pause is never an error; a stop by the backend is one, and the queue then
// still needs a resume, so it keeps the Paused bit beside the Error bit.
//
// Job (job-state, job-state-reasons, the Status bits of its printer) -> StatusMask, one
// bit at most, so that every text of the job status table can be reached:
//
//   canceled (7)                                -> Deleted (0x100)
//   aborted (8)                                 -> Error (0x2)
//   completed (9)                               -> Printed (0x80)
//   pending-held (4)                            -> Paused (0x1)
//   processing (5) + processing-to-stop-point   -> Deleting (0x4)
//   pending (3) / processing (5) + job-incoming -> Spooling (0x8)
//   pending (3), processing (5), processing-stopped (6), when the printer reports trouble,
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
quint32 printerStatusBits(int printerState, const QStringList& reasons, const QString& message = QString());
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
