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
// operations. Other servers get a connection of their own. Every exchange is bounded in
// time and size (CupsExchange: 3 s to connect, 1.5 s for the whole answer to a first
// probe, 10 s for each whole answer after it), so a server that cannot be reached, takes
// connections without answering, or answers without end fails within seconds instead of
// holding the window. Every request carries requesting-user-name; a server that asks for
// a password gets one from the PasswordPrompt (none: the request fails).
//
// Operations: queue pause/resume = Pause-Printer/Resume-Printer; AutoQueue's hold of a
// queue = Pause-Printer of a printer that is idle, nothing while it prints or is stopped
// (Pause-Printer stops the job being printed; CUPS 2.4 answers
// Pause-Printer-After-Current-Job with "not supported" and takes Hold-New-Jobs without
// holding any new job); purge = Cancel-Jobs;
// job pause/resume/remove = Hold-Job/Release-Job/Cancel-Job; priority = job-priority
// through Set-Job-Attributes (1..100, passed through unchanged); test page = Print-Job of
// a short text page named "Test Page". Only jobs that are not completed are listed; CUPS
// keeps no "deleted" state a client could see, so a job that leaves the list is gone.
//
// How IPP states, reasons and messages become the status values the programs read is the
// table of CupsStateMap.h. Beyond it:
//   Size = job-k-octets x 1024 (none when the server does not say); TotalPages =
//   job-impressions, else job-media-sheets, else job-pages, else unknown (CUPS 2.4 counts a
//   job's pages only while it prints, so a held job has none); PagesPrinted =
//   job-impressions-completed, else job-media-sheets-completed; TimeSubmitted =
//   time-at-creation; HostPrintQueue = "\\" + job-originating-host-name, where a loopback
//   name of a remote server (the job came from the server itself) is replaced by the
//   server's host name.
//
// What IPP cannot say, or says differently:
//   - A printing queue keeps Status 0 (the Printing bit 0x400 is not set): the queue's
//     Status stays the spooler's trouble report. What of it stops printing (StoppedBy) is
//     told apart: a low toner is shown, and the queue still prints. ExtendedPrinterStatus
//     shows 4 (Printing).
//   - A job of a class reads the trouble of the member printer that prints it
//     (job-printer-uri-actual, job-printer-state-reasons) beside the class's own.
//   - Only one job state at a time: a job never carries two StatusMask bits.
//   - A printer that rejects jobs (printer-is-accepting-jobs false) has no status bit.
//   - Size has 1 KB steps; TotalPages is often unknown until the job has been filtered.
//   - Restart (0x800) and Blocked Dev Queue (0x200), and the printer bits Pending Deletion,
//     Manual Feed, IO Active, Busy, Waiting, Processing, Initializing, Warming up, Page
//     Punt, Server Unknown and Power Save are never produced.
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
    void interruptCalls(bool on) override;
    bool callsInterrupted() const override;

    // Whether a server name stands for the local computer.
    static bool isLocalServerName(const QString& server);
    // Splits "host", "host:port" and "[v6]:port"; port 0 when none is given. False when
    // the name cannot be a server name.
    static bool splitServerName(const QString& server, QString& host, int& port);

private:
    std::shared_ptr<Shared> m_shared;
};

} // namespace hlv
