#pragma once

#include <memory>

#include "platform/PrintSystem.h"

namespace hlv {

// The print system of the computers we run on: CUPS, spoken to over IPP through libcups.
//
// Server names are taken as typed: "host", "host:port" or "[v6-address]:port". The local
// computer ("." , "localhost", or this computer's own host name, letter case ignored) is
// reached the way every CUPS client reaches it (the local socket or CUPS_SERVER), which
// lets the scheduler recognise the user by peer credentials for administrative
// operations. Other servers get a connection of their own with short time-outs (3 s to
// connect, 1.5 s for the answer to a first probe, 10 s for each answer after it), so a
// server that cannot be reached, or takes connections without answering, fails within a
// few seconds instead of holding the window. Every request carries requesting-user-name; a server
// that asks for a password gets one from the PasswordPrompt (none: the request fails).
//
// Operations: queue pause/resume = Pause-Printer/Resume-Printer; purge = Cancel-Jobs;
// job pause/resume/remove = Hold-Job/Release-Job/Cancel-Job; priority = job-priority
// through Set-Job-Attributes (1..100, passed through unchanged); test page = Print-Job of
// a short text page named "Test Page". Only jobs that are not completed are listed; CUPS
// keeps no "deleted" state a client could see, so a job that leaves the list is gone.
//
// How IPP states become the status values the programs read:
//
//   Job (job-state, job-state-reasons)            -> StatusMask
//     pending (3)                                  -> 0
//     pending (3) / processing (5) + job-incoming  -> Spooling (0x8)
//     pending-held (4)                             -> Paused (0x1)
//     processing (5)                               -> Printing (0x10)
//     processing (5) + processing-to-stop-point    -> Deleting (0x4)
//     processing-stopped (6)                       -> Error (0x2); with printer reasons
//                                                     media-empty/-needed -> Paperout (0x40),
//                                                     offline/timed-out/connecting-to-device
//                                                     -> Offline (0x20)
//     canceled (7) -> Deleted (0x100), aborted (8) -> Error (0x2), completed (9) -> Printed (0x80)
//   Size = job-k-octets x 1024; TotalPages = job-impressions, else job-media-sheets, else
//   unknown; PagesPrinted = job-impressions-completed, else job-media-sheets-completed;
//   TimeSubmitted = time-at-creation; HostPrintQueue = "\\" + job-originating-host-name,
//   where a loopback name of a remote server (the job came from the server itself) is
//   replaced by the server's host name.
//
//   Printer (printer-state, printer-state-reasons without -report/-warning/-error)
//                                                  -> Status bits
//     stopped (5), paused, moving-to-paused        -> Paused (0x1)
//     other, any other reason with "-error"        -> Error (0x2)
//     media-jam                                    -> Paper Jam (0x8)
//     media-empty, media-needed                    -> Paper Out (0x10)
//     input-tray-missing, media-low                -> Paper Problem (0x40)
//     offline, shutdown, timed-out, connecting-to-device
//                                                  -> OffLine (0x80)
//     output-area-full                             -> Output Bin Full (0x800)
//     spool-area-full                              -> Out of Memory (0x200000)
//     toner-low, marker-supply-low                 -> Toner Low (0x20000)
//     toner-empty, marker-supply-empty             -> No Toner (0x40000)
//     door-open, cover-open, interlock-open        -> Door Open (0x400000)
//     processing (4) and idle (3)                  -> no bit (see below)
//                                                  -> ExtendedPrinterStatus
//     Paused bit 8, OffLine bit 7, Error bit 9, other trouble bits 1 (Other),
//     processing 4, idle 3.
//
// What IPP cannot say, or says differently:
//   - A printing queue keeps Status 0 (the Printing bit 0x400 is not set): the queue's
//     Status stays the spooler's trouble report, and "0 while a released job prints" is
//     what the AutoQueue carry relies on. ExtendedPrinterStatus shows 4 (Printing).
//   - Only one job state at a time: a job never carries two StatusMask bits.
//   - A printer that rejects jobs (printer-is-accepting-jobs false) has no status bit.
//   - Size has 1 KB steps; TotalPages is often unknown until the job has been filtered.
//   - Restart (0x800), Blocked Dev Queue (0x200), User Intervention Required (0x400) and
//     the printer bits Pending Deletion, Manual Feed, IO Active, Busy, Waiting,
//     Processing, Initializing, Warming up, Page Punt, Server Unknown and Power Save are
//     never produced.
//   - Priority 100 exists only in IPP; the spooler range is 1..99 and IPP's default is 50.
//   - The computer name of a remote server is its host name as given (IPP has no
//     computer-system object); the local computer reports this computer's host name.
class CupsPrintSystem final : public PrintSystem
{
public:
    struct Shared;

    CupsPrintSystem();
    ~CupsPrintSystem() override;
    std::unique_ptr<PrintServer> connect(const QString& server, QString* error = nullptr) override;
    void setPasswordPrompt(PasswordPrompt prompt) override;

    // Whether a server name stands for the local computer.
    static bool isLocalServerName(const QString& server);
    // Splits "host", "host:port" and "[v6]:port"; port 0 when none is given. False when
    // the name cannot be a server name.
    static bool splitServerName(const QString& server, QString& host, int& port);

    // The status values of the mapping table above, for one printer or one job.
    static quint32 printerStatusBits(int printerState, const QStringList& reasons);
    static int extendedPrinterStatus(int printerState, quint32 statusBits);
    static quint32 jobStatusMask(int jobState, const QStringList& jobReasons, const QStringList& printerReasons = {});

private:
    std::shared_ptr<Shared> m_shared;
};

} // namespace hlv
