#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include "platform/PrintSystem.h"

namespace hlv {

// One change between two readings of a server's jobs.
struct JobChange
{
    QString action; // "New", "Modified" or "Deleted"
    QString record; // the job detail record; for "Deleted" the job as it was last seen

    bool operator==(const JobChange&) const = default;
};

// The jobs of a server as last read, keyed by job name ("queue, id"), each with its job
// detail record. Readings are turned into events by their difference: a job that appears
// is new, a job whose record text changed is modified, a job that is gone is deleted. A
// reading covers either the whole server (update) or only some jobs and queues that the
// server said had changed (updatePart).
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
    // Takes the new reading and returns what changed since the last one: new and modified
    // jobs in the server's order, then deleted jobs in the order they were last seen.
    QList<JobChange> update(const QList<PrintJobInfo>& jobs);
    // Takes a reading of part of the server: the jobs with the given ids and every job of
    // the given queues, as far as the server still lists them (`jobs`). A job last seen in
    // that part and missing from `jobs` is deleted; jobs outside it stay as they were. New
    // and modified jobs come in the order of `jobs`, then deleted ones.
    QList<JobChange> updatePart(const QList<PrintJobInfo>& jobs, const QList<qint64>& ids, const QStringList& queues);

    qsizetype size() const { return m_order.size(); }
    void clear();

private:
    struct Entry
    {
        QString record; // the job detail record
        qint64 id = 0;
        QString queue;
    };
    QStringList m_order;            // job names in the order last read
    QHash<QString, Entry> m_record; // job name -> what was read of it
};

} // namespace hlv
