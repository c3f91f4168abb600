#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include "platform/PrintSystem.h"

namespace hlv {

// One change between two readings of a server's jobs.
struct JobChange
{
    QString action; // "New", "Modified" or "Deleted"
    QString record; // the job detail record; for "Deleted" the job as it is now (see below)

    bool operator==(const JobChange&) const = default;
};

// The jobs of a server as last read, keyed by job name ("queue, id"), each with its job
// detail record. Readings are turned into events by their difference: a job that appears
// is new, a job whose record text changed is modified, a job that is gone is deleted. A
// reading covers either the whole server (update) or only some jobs and queues that the
// server said had changed (updatePart).
//
// A job that left the list is reported with its state now wherever that is known, not as
// it was last seen: a job moved to another queue (the same id listed under a new name)
// leaves its old name with the state it has on the new queue; a job that ended leaves with
// its end ("Printed", "Deleted", "Error") as the server's history (`ended`) or its notices
// (`told`) give it. Only a job of which nothing more is known leaves as it was last seen.
// A job that came and ended between two readings, of which the history or the notices
// tell, is reported "New" and then "Deleted".
//
// A job whose end was reported is remembered by name, so that its end is reported once
// however its notices are split or repeated, and whatever a reading of the history finds
// of it later.
class JobSnapshot
{
public:
    // Takes the jobs as they stand without reporting any of them (the state at subscription).
    void reset(const QList<PrintJobInfo>& jobs);
    // Takes jobs known from their job detail records (as an earlier monitor reported them)
    // as the last reading. Records without a job name are left out.
    void restore(const QStringList& records);
    // The records of the jobs as last read, in that order.
    QStringList records() const;
    // Takes the new reading of the whole server and returns what changed since the last
    // one: new and modified jobs in the server's order, then deleted jobs in the order they
    // were last seen, then jobs that came and went.
    QList<JobChange> update(const QList<PrintJobInfo>& jobs, const QList<PrintJobInfo>& ended = {},
                            const QList<PrintJobInfo>& told = {});
    // Takes a reading of part of the server: the jobs with the given ids and every job of
    // the given queues, as far as the server still lists them (`jobs`). A job last seen in
    // that part and missing from `jobs` is deleted; jobs outside it stay as they were.
    QList<JobChange> updatePart(const QList<PrintJobInfo>& jobs, const QList<qint64>& ids, const QStringList& queues,
                                const QList<PrintJobInfo>& ended = {}, const QList<PrintJobInfo>& told = {});
    // A queue's printer now has the status bits `printerStatus`: every job of the queue
    // whose status reads its printer's trouble takes it on, through derive(ownStatus,
    // printerStatus); the jobs whose status changed are returned as "Modified".
    template <typename Derive>
    QList<JobChange> updateQueueStatus(const QString& queue, quint32 printerStatus, Derive derive);
    // Whether any job of the queue reads its printer's trouble (updateQueueStatus would
    // change anything there).
    bool followsPrinter(const QString& queue) const;
    // The jobs as last read, in that order.
    QList<PrintJobInfo> jobs() const;
    // The ids of the jobs that a whole reading `jobs` would report deleted without knowing
    // their state now (not listed under any name).
    QList<qint64> missing(const QList<PrintJobInfo>& jobs) const;

    qsizetype size() const { return m_order.size(); }
    bool contains(const QString& name) const { return m_entries.contains(name); }
    // Whether the end of the job of that name was reported (by this snapshot, or by an
    // earlier monitor as given to rememberEnded).
    bool hasEnded(const QString& name) const { return m_ended.contains(name); }
    void rememberEnded(const QStringList& names);
    // Forgets the jobs and the ends reported.
    void clear();

    // Ends remembered at most: far more jobs than end between two readings, or between a
    // monitor's end and its successor's first reading.
    static constexpr qsizetype kMostEndsKept = 20000;

private:
    struct Entry
    {
        QString record; // the job detail record
        PrintJobInfo job;
    };
    QList<JobChange> settle(const QList<PrintJobInfo>& jobs, bool whole, const QSet<qint64>& ids,
                            const QSet<QString>& queues, const QList<PrintJobInfo>& ended,
                            const QList<PrintJobInfo>& told);
    void modify(Entry& entry, const PrintJobInfo& job, QString record, QList<JobChange>& changes);
    void rememberEnd(const QString& name);

    QStringList m_order;             // job names in the order last read
    QHash<QString, Entry> m_entries; // job name -> what was read of it
    QSet<QString> m_ended;           // names of the jobs whose end was reported
    QStringList m_endedOrder;        // the same, oldest first: the first forgotten
};

template <typename Derive>
QList<JobChange> JobSnapshot::updateQueueStatus(const QString& queue, quint32 printerStatus, Derive derive)
{
    QList<JobChange> changes;
    for (const QString& name : std::as_const(m_order)) {
        Entry& entry = m_entries[name];
        if (!entry.job.ownStatus || entry.job.queueName() != queue) {
            continue;
        }
        PrintJobInfo job = entry.job;
        job.StatusMask = derive(*job.ownStatus, printerStatus);
        if (job.StatusMask != entry.job.StatusMask) {
            modify(entry, job, QString(), changes);
        }
    }
    return changes;
}

} // namespace hlv
