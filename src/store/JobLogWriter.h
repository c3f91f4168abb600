#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <utility>

#include <QDeadlineTimer>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QVariantList>

namespace hlv {

class Database;

// The writing side of a job log, shared by the console's store and the watch program's
// log. It runs on the window's thread and never holds it long for a lock another program
// keeps on the file:
//
// - Writes wait in one queue, in the order they were given. A flush opens the file once,
//   writes everything queued in one transaction and closes it; each job's row is written
//   by one statement, so it is stored whole or not at all. A write the log refuses (a
//   rule of the table) is dropped with a line on stderr while the others are kept.
// - A write that fails because of the disk (full, an input/output error, a log that cannot
//   be made or opened now) stays queued, with everything queued after it, and the retry
//   timer writes it once the disk takes it; meanwhile calls neither wait nor write (a log
//   that could not be made or opened is looked for again by each call). The
//   operator is told once when such a failure begins (the notice, and stderr) and once
//   when the writes got through. The queue holds at most maxQueued() writes: beyond it the
//   oldest are dropped, and that is told too.
// - A lock is waited for up to the wait budget of the call (about a second, less when the
//   busy timeout is shorter). A write stopped by a lock stays queued and a timer of the
//   window's event loop tries again until it gets through; while writes are queued behind
//   a lock, and for a second after any lock stopped an operation, calls do not wait at
//   all, so one user action or event costs at most about a second in total.
// - The file is looked up by path for every flush: a log deleted between operations (a
//   reset) is made again from the template by prepare, and a log deleted or replaced
//   while a flush is writing (told by the identity of the open file, not of the path) is
//   noticed before the commit and the flush is written again to the log now at the path.
class JobLogWriter
{
public:
    // Makes sure the log file exists (a copy of the template when it is missing) and
    // gives its path; an empty path (with error) when there is no log to write.
    using Prepare = std::function<QString(QString* error)>;
    // One queued job write: the fields (names as the table spells them) as text.
    using Fields = QList<std::pair<QString, QString>>;

    JobLogWriter(QString programTag, Prepare prepare);
    ~JobLogWriter();
    JobLogWriter(const JobLogWriter&) = delete;
    JobLogWriter& operator=(const JobLogWriter&) = delete;

    // Queues a job's row: with onlyIfNew it is added only when the log holds no row for
    // the key when the write gets through (and not queued twice); otherwise the row is
    // edited or added. Returns a ticket for stored().
    quint64 queueJob(const QString& transactionId, Fields fields, bool onlyIfNew);
    // Queues one statement (an audit record).
    quint64 queueStatement(const QString& what, const QString& sql, const QVariantList& binds);
    // Writes what is queued, waiting for a lock up to the call's budget. True when the
    // queue is empty afterwards.
    bool flush();
    // Whether the write of the ticket has been stored (false while it waits or when it
    // failed).
    bool stored(quint64 ticket) const { return m_stored.value(ticket, false); }
    int pendingCount() const { return static_cast<int>(m_queue.size()); }
    // Writes given up since the writer was made (each told on stderr).
    int lostCount() const { return m_lost; }

    // Starts the wait budget of one call: the deadline that the connections opened for it
    // (openLog with waitDeadline()) wait for a lock.
    void startWait();
    // Starts a call that does not wait for a lock at all: what a lock keeps out stays queued.
    void startNoWait() { m_waitUntil = QDeadlineTimer(0); }
    const QDeadlineTimer* waitDeadline() const { return &m_waitUntil; }
    // Tells the writer that a lock stopped an operation of the owner (a read).
    void lockSeen();

    // The longest wait for a lock on the window's thread (the owner's busy timeout when
    // that is shorter); the queued writes are retried after it for as long as it takes.
    void setBusyTimeoutMs(int ms) { m_busyTimeoutMs = ms; }
    // Where the operator is told of writes that wait for the disk or were dropped (the
    // program's status line); each text is also written on stderr.
    void setNotice(std::function<void(const QString&)> notice) { m_notice = std::move(notice); }
    // The most writes kept waiting; more drop the oldest.
    static constexpr int kDefaultMaxQueued = 20000;
    int maxQueued() const { return m_maxQueued; }
    void setMaxQueued(int count) { m_maxQueued = qMax(1, count); }
    // Whether queued writes wait for the disk (full or failing).
    bool waitingForDisk() const { return m_diskEpisode; }

    // Called after each job's row was written into the open transaction (progress, tests).
    void setAfterJobWritten(std::function<void(const QString&)> hook) { m_afterJob = std::move(hook); }

private:
    struct Pending
    {
        quint64 ticket = 0;
        QString key;   // a job's key; empty for a statement
        Fields fields; // a job's fields
        bool onlyIfNew = false;
        QString what; // a statement's name for the messages
        QString sql;  // a statement
        QVariantList binds;
    };
    enum class Outcome { Done, Locked, DiskFailed, Failed };

    Outcome writeQueued(int count);
    void dropQueued(int count, const QString& why);
    void popFront(bool stored);
    void warn(const QString& text) const;
    void tell(const QString& text) const;
    void keepWithinBound();
    void tellDropped();
    void restartRetry(int intervalMs);

    QString m_tag;
    Prepare m_prepare;
    std::deque<Pending> m_queue;
    QSet<QString> m_queuedNew; // keys of the queued first sightings
    QHash<quint64, bool> m_stored;
    quint64 m_nextTicket = 1;
    QDeadlineTimer m_waitUntil;
    QDeadlineTimer m_quietUntil;
    int m_busyTimeoutMs;
    bool m_flushing = false;
    int m_lost = 0;
    std::function<void(const QString&)> m_afterJob;
    std::function<void(const QString&)> m_notice;
    int m_maxQueued = kDefaultMaxQueued;
    int m_droppedUntold = 0;
    bool m_diskEpisode = false;
    bool m_retrying = false;
    bool m_writesRefused = false; // the disk refused the writes (not the log's making)
    QString m_diskTrouble;        // why the disk refused the last write
    QTimer m_retry;
};

} // namespace hlv
