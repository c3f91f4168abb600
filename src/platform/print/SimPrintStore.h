#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QDateTime>
#include <QList>
#include <QString>

#include "platform/Database.h"
#include "platform/PrintSystem.h"

namespace hlv::sim {

// One simulated print server, kept in one SQLite file so that the console, the job
// monitor process, the simulator tool and a test can all look at and change the same
// server at the same time. Every change runs in its own BEGIN IMMEDIATE transaction;
// every multi-statement read runs in one read transaction, so a reader never sees half
// of a change made by another process.
//
// Printing never happens by itself: a job moves on only when print() is called (by the
// simulator tool or a test), which keeps tests deterministic.
//
// A queue's ExtendedPrinterStatus is derived from its state unless one was set by hand:
//   Paused bit -> 8 Paused, Offline bit -> 7 Offline, Error bit -> 9 Error,
//   a job printing -> 4 Printing, otherwise 3 Idle.

struct NewQueue
{
    QString name;
    QString shareName; // empty: shared under its own name (unless notShared)
    bool notShared = false;
    QString location;
    QString comment;
    QString model;
    QString port;
};

struct NewJob
{
    QString queue; // name or share name
    QString document;
    QString owner;
    QString host; // computer name, with or without the leading backslashes
    std::optional<qint64> pages;
    qint64 size = 0;
    qint64 priority = 1;
    bool paused = false;
    QDateTime submitted; // invalid: now
};

// Lowest and highest job priority the simulated spooler accepts.
constexpr qint64 kMinPriority = 1;
constexpr qint64 kMaxPriority = 99;

class SimPrintStore
{
public:
    // The file that holds a server, or an empty text when the name cannot name one.
    // Host names ignore letter case, so the file name is the server name in lower case;
    // "." is the local computer and is kept as "localhost".
    static QString fileFor(const QString& dir, const QString& server);

    // Opens an existing server; fails as an unreachable server does when it has no file.
    static std::unique_ptr<SimPrintStore> open(const QString& dir, const QString& server, QString* error);
    // Creates a new server file; fails when the server exists already.
    static std::unique_ptr<SimPrintStore> create(const QString& dir, const QString& server, const QString& computerName,
                                                 QString* error);

    QString computerName();

    PrintResult printers(QList<PrinterInfo>& out, const QString& serverName);
    // Jobs of the whole server (queue empty) or of one queue, in the spooler's order.
    PrintResult jobs(QList<PrintJobInfo>& out, const QString& queue = {});

    PrintResult pauseQueue(const QString& queue);
    PrintResult resumeQueue(const QString& queue);
    PrintResult purgeQueue(const QString& queue);
    PrintResult pauseJob(const QString& queue, qint64 jobId);
    PrintResult resumeJob(const QString& queue, qint64 jobId);
    PrintResult removeJob(const QString& queue, qint64 jobId);
    PrintResult setJobPriority(const QString& queue, qint64 jobId, qint64 priority);
    int printTestPage(const QString& printerName, const QString& user, const QString& host);

    // Operations of the simulator tool.
    PrintResult addQueue(const NewQueue& def);
    PrintResult addJob(const NewJob& def, qint64& jobId);
    PrintResult setJob(qint64 jobId, std::optional<quint32> statusMask, std::optional<qint64> pagesPrinted,
                       std::optional<qint64> priority);
    PrintResult removeJob(qint64 jobId);
    PrintResult setQueue(const QString& queue, std::optional<quint32> status, std::optional<int> extendedStatus,
                         std::optional<bool> denyTestPage);
    // One step of printing on every queue that runs: its current job prints `pages` more
    // pages and leaves the queue once all its pages are printed.
    PrintResult print(qint64 pages);
    // The server's queues and jobs, one line each (see the simulator tool).
    PrintResult show(QStringList& lines, const QString& serverName);

    QString path() const { return m_db->path(); }
    // A number that changes whenever another connection changed the file; nothing when the
    // file cannot be read.
    std::optional<qint64> dataVersion();

private:
    explicit SimPrintStore(std::unique_ptr<Database> db);
    PrintResult dbFailure();
    // The id of the queue named by its name or share name; nothing when there is none.
    std::optional<qint64> findQueue(const QString& queue);
    PrintResult changeQueueBits(const QString& queue, quint32 set, quint32 clear);
    PrintResult changeJobBits(const QString& queue, qint64 jobId, quint32 set, quint32 clear);
    PrintResult write(const std::function<PrintResult()>& body);

    std::unique_ptr<Database> m_db;
};

} // namespace hlv::sim
