#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace hlv {

// The programs read and steer print servers through this layer. One PrintServer is
// one connection to one server, giving what a management interface of a print server
// gives: its printers (queues) with their state, its jobs, the computer's own name,
// and the operations on queues and jobs. Two implementations exist: CUPS over IPP
// (the real one) and a simulated print system kept in SQLite files (tests, demo).
// Which one is used is chosen by the environment variable HLV_PRINT_SYSTEM
// (unset or "cups": CUPS; "sim:DIR": simulated servers kept in DIR).

// Job status bits, as a job's StatusMask and its queue-level Status carry them.
namespace JobStatus {
constexpr quint32 Paused = 0x1;
constexpr quint32 Error = 0x2;
constexpr quint32 Deleting = 0x4;
constexpr quint32 Spooling = 0x8;
constexpr quint32 Printing = 0x10;
constexpr quint32 Offline = 0x20;
constexpr quint32 PaperOut = 0x40;
constexpr quint32 Printed = 0x80;
constexpr quint32 Deleted = 0x100;
constexpr quint32 BlockedDevQueue = 0x200;
constexpr quint32 UserInterventionRequired = 0x400;
constexpr quint32 Restarting = 0x800;
} // namespace JobStatus

// Spooler printer status bits, as a queue's Status carries them.
namespace PrinterStatus {
constexpr quint32 Paused = 0x1;
constexpr quint32 Error = 0x2;
constexpr quint32 PendingDeletion = 0x4;
constexpr quint32 PaperJam = 0x8;
constexpr quint32 PaperOut = 0x10;
constexpr quint32 ManualFeed = 0x20;
constexpr quint32 PaperProblem = 0x40;
constexpr quint32 Offline = 0x80;
constexpr quint32 IoActive = 0x100;
constexpr quint32 Busy = 0x200;
constexpr quint32 Printing = 0x400;
constexpr quint32 OutputBinFull = 0x800;
constexpr quint32 NotAvailable = 0x1000;
constexpr quint32 Waiting = 0x2000;
constexpr quint32 Processing = 0x4000;
constexpr quint32 Initializing = 0x8000;
constexpr quint32 WarmingUp = 0x10000;
constexpr quint32 TonerLow = 0x20000;
constexpr quint32 NoToner = 0x40000;
constexpr quint32 PagePunt = 0x80000;
constexpr quint32 UserIntervention = 0x100000;
constexpr quint32 OutOfMemory = 0x200000;
constexpr quint32 DoorOpen = 0x400000;
constexpr quint32 ServerUnknown = 0x800000;
constexpr quint32 PowerSave = 0x1000000;
} // namespace PrinterStatus

// A printer (print queue) of a server, with the properties the programs read.
struct PrinterInfo
{
    QString Name;      // the printer's own name
    QString ShareName; // the name it is shared under; the queue name the queue list shows
    bool Shared = false;
    bool Local = true;
    QString Location;
    QString Comment;    // also the queue's Description
    QString DriverName; // the model
    QString PortName;
    int ExtendedPrinterStatus = 2; // 1 Other, 2 Unknown, 3 Idle, 4 Printing, 5 Warming Up, 6 Stopped Printing,
                                   // 7 Offline, 8 Paused, 9 Error, 10 Busy, 11 Not Available, 12 Waiting, ...
    quint32 Status = 0;            // PrinterStatus bits
    // The bits of Status that keep the queue from printing, where the print system tells
    // them from those that only inform (a low toner); unset: every bit of Status does.
    std::optional<quint32> StoppedBy;
    QString PrinterPath; // "\\server\share" style path of the queue

    QString Description() const { return Comment; }
    QString Model() const { return DriverName; }
    // The name a queue operation takes: the share name, or the name when it has none.
    QString queueName() const { return ShareName.isEmpty() ? Name : ShareName; }
    // The trouble that keeps the queue from printing: its waiting jobs read it.
    quint32 stoppingStatus() const { return StoppedBy.value_or(Status); }
    // The queue prints what it is given: nothing stops it.
    bool canPrint() const { return stoppingStatus() == 0; }
};

// A print job, with the properties the programs read.
struct PrintJobInfo
{
    qint64 JobId = 0;
    QString Name; // "<printer name>, <job id>"
    QString Document;
    QString HostPrintQueue; // "\\" followed by the submitting computer
    QString Owner;
    std::optional<qint64> TotalPages; // empty while the spooler does not know it yet
    qint64 PagesPrinted = 0;
    qint64 Priority = 1;        // kUnknownPriority when the server did not tell it
    std::optional<qint64> Size; // bytes; empty when the server does not say
    QDateTime TimeSubmitted;    // local time
    quint32 StatusMask = 0;     // JobStatus bits
    // For a job whose status shows its printer's trouble (one waiting or printing): its
    // status while the printer has none. Unset when the status does not follow the printer.
    std::optional<quint32> ownStatus;
    // The job has ended (printed, cancelled or aborted); only a job read by its id comes so,
    // while the server still keeps it in its history. No listing holds ended jobs.
    bool ended = false;

    // No server gives a job this priority (IPP's run from 1 to 100).
    static constexpr qint64 kUnknownPriority = 0;

    // The printer name part of Name: up to the comma before the job id, all of it without
    // a comma. A printer name may hold commas of its own; the job id never does.
    QString queueName() const
    {
        const auto comma = Name.lastIndexOf(QLatin1Char(','));
        return comma < 0 ? Name : Name.left(comma);
    }
    // The name a queue's job collection gives the job: its id as text.
    QString queueJobName() const { return QString::number(JobId); }
    // The job's state as the queue's job collection reports it (1 = paused).
    quint32 Status() const { return StatusMask; }
};

// The outcome of one call: ok, or failed with a message.
struct PrintResult
{
    bool ok = true;
    QString error;
    // A failure that the server answered with a refusal (it wants a password, or forbids
    // the operation): the server is there, it only will not do this.
    bool refused = false;
    static PrintResult success() { return {}; }
    static PrintResult failure(QString message) { return {false, std::move(message)}; }
    static PrintResult refusal(QString message) { return {false, std::move(message), true}; }
    explicit operator bool() const { return ok; }
};

// Result codes of printTestPage, as the management interface returns them.
namespace TestPageResult {
constexpr int Success = 0;
constexpr int AccessDenied = 5;
constexpr int Failed = 8;
} // namespace TestPageResult

// What changed on a server since a watch last looked (see PrintServer::watchJobs).
struct JobChanges
{
    bool everything = false; // the watch lost track of single changes: read every job again
    QList<qint64> jobIds;    // jobs created, changed, finished or gone, each once
    QStringList queues;      // queues whose own state changed; the state of their jobs may follow it
    // The jobs of jobIds as the server last told of them in its notices, as far as it did:
    // id, Name, Document, StatusMask and ended always; TimeSubmitted when the job's creation
    // was told. What is left of a job that the server forgot as soon as it ended.
    QList<PrintJobInfo> told;

    bool isEmpty() const { return !everything && jobIds.isEmpty() && queues.isEmpty(); }
};

// A standing request to a server to keep track of its job changes. Ends with the object
// (the server is told); it must go before the PrintServer that made it.
class JobWatch
{
public:
    virtual ~JobWatch() = default;
    // What changed since the last call. A failure means the server no longer answers; the
    // watch is then of no further use.
    virtual PrintResult changes(JobChanges& out) = 0;
    // The server is taken as lost: end without telling it (whatever it keeps for the watch
    // runs out on its own). A watch that keeps nothing at the server has nothing to leave.
    virtual void abandon() {}
};

// Threads: a PrintServer belongs to the thread that connected it and is used by that
// thread alone (the console's print lanes, a watch's or monitor's own thread); its calls may
// block for as long as the server takes to answer, so the window's thread never makes them.
// Out-parameters are written by the calling thread during the call only.
// No call has a default: each server says what it does for every one, and one that stands
// in front of another passes each call on itself (a call it forgot would otherwise be
// answered by another server's idea of it).
class PrintServer
{
public:
    virtual ~PrintServer() = default;

    // The server name exactly as it was given to connect.
    virtual QString serverName() const = 0;

    // All printers of the server, in the server's order.
    virtual PrintResult printers(QList<PrinterInfo>& out) = 0;
    // All jobs of the server that are not finished, in the server's order.
    virtual PrintResult jobs(QList<PrintJobInfo>& out) = 0;
    // The jobs of one queue (by queue name: share name or printer name).
    virtual PrintResult queueJobs(const QString& queue, QList<PrintJobInfo>& out) = 0;
    // The name the server's computer reports for itself.
    virtual PrintResult computerName(QString& out) = 0;

    // A watch on the server's jobs, or null when the server offers none or refuses it;
    // whoever wants changes then compares whole job lists.
    virtual std::unique_ptr<JobWatch> watchJobs() = 0;
    // One printer with its state, as printers() reads it; found is false when the server has
    // no such printer. A server without a lookup of its own answers with printerFromList().
    virtual PrintResult printer(const QString& name, PrinterInfo& out, bool& found) = 0;
    // Whether job() may still find a job that has ended (the server keeps a history of them).
    virtual bool keepsEndedJobs() const = 0;
    // The jobs that ended at `since` or later by the server's clock, each as job() reads it,
    // as far as the server keeps a history of them (none where it keeps none: noEndedJobs()).
    virtual PrintResult endedJobs(const QDateTime& since, QList<PrintJobInfo>& out) = 0;
    // One job read as jobs() reads it; found is false when the server no longer lists it.
    // A job that has ended but is still in the server's history comes with ended set. A
    // server without a lookup of its own answers with jobFromList().
    virtual PrintResult job(qint64 jobId, PrintJobInfo& out, bool& found) = 0;

    virtual PrintResult pauseQueue(const QString& queue) = 0;
    virtual PrintResult resumeQueue(const QString& queue) = 0;
    // AutoQueue's hold of a queue: no further job starts printing, and the job printing now
    // prints to its end. Where a paused queue lets its current job finish, that is a pause.
    virtual PrintResult holdQueue(const QString& queue) = 0;
    // Removes every job of the queue.
    virtual PrintResult purgeQueue(const QString& queue) = 0;

    virtual PrintResult pauseJob(const QString& queue, qint64 jobId) = 0;
    virtual PrintResult resumeJob(const QString& queue, qint64 jobId) = 0;
    virtual PrintResult removeJob(const QString& queue, qint64 jobId) = 0;
    virtual PrintResult setJobPriority(const QString& queue, qint64 jobId, qint64 priority) = 0;

    // Prints the printer's test page; returns a TestPageResult code.
    virtual int printTestPage(const QString& printerName) = 0;

    // The address of the print system's own web page of a printer, or an empty text when
    // the print system has none (the caller then shows the properties itself).
    virtual QString printerWebPage(const QString& printerName) const = 0;
};

// One printer picked out of the server's whole printer list, by name or share name: the
// answer of printer() for a server that cannot read one printer alone.
inline PrintResult printerFromList(PrintServer& server, const QString& name, PrinterInfo& out, bool& found)
{
    found = false;
    QList<PrinterInfo> all;
    const PrintResult r = server.printers(all);
    for (const PrinterInfo& p : std::as_const(all)) {
        if (p.Name == name || p.ShareName == name) {
            out = p;
            found = true;
            break;
        }
    }
    return r;
}

// One job picked out of the server's whole job list: the answer of job() for a server that
// cannot read one job alone. Such a server keeps no history, so the job is never ended.
inline PrintResult jobFromList(PrintServer& server, qint64 jobId, PrintJobInfo& out, bool& found)
{
    found = false;
    QList<PrintJobInfo> all;
    const PrintResult r = server.jobs(all);
    for (const PrintJobInfo& j : std::as_const(all)) {
        if (j.JobId == jobId) {
            out = j;
            found = true;
            break;
        }
    }
    return r;
}

// The answer of endedJobs() for a server that keeps no history of ended jobs.
inline PrintResult noEndedJobs(QList<PrintJobInfo>& out)
{
    out.clear();
    return PrintResult::success();
}

// Threads: connect() may be called from any thread, several at once (each lane and each
// report or host lookup connects on its own thread); the password prompt is then called on
// the connecting thread.
class PrintSystem
{
public:
    // Asked for a password when a server wants one; nullopt when the operator cancels.
    using PasswordPrompt = std::function<std::optional<QString>(const QString& server, const QString& user)>;

    virtual ~PrintSystem() = default;
    // Opens a connection to a server (a name, "host:port", or the local computer).
    // Fails within a few seconds for a server that cannot be reached.
    virtual std::unique_ptr<PrintServer> connect(const QString& server, QString* error = nullptr) = 0;
    virtual void setPasswordPrompt(PasswordPrompt prompt) = 0;
    // From any thread: every call to a server in progress ends at once and every new one
    // fails at once, until called again with false (a program asked to stop while a server
    // that does not answer holds its thread).
    virtual void interruptCalls(bool on) { Q_UNUSED(on); }
    virtual bool callsInterrupted() const { return false; }
};

// The print system chosen by HLV_PRINT_SYSTEM; never null (an unknown value falls back
// to CUPS and reports the problem through error).
std::unique_ptr<PrintSystem> createPrintSystem(QString* error = nullptr);

} // namespace hlv
