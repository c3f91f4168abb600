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
// detail record. The print system reports no events of its own, so the monitor reads the
// whole list each second and turns the difference into events: a job that appears is
// new, a job whose record text changed is modified, a job that is gone is deleted.
class JobSnapshot
{
public:
    // Takes the jobs as they stand without reporting any of them (the state at subscription).
    void reset(const QList<PrintJobInfo>& jobs);
    // Takes the new reading and returns what changed since the last one: new and modified
    // jobs in the server's order, then deleted jobs in the order they were last seen.
    QList<JobChange> update(const QList<PrintJobInfo>& jobs);

    qsizetype size() const { return m_order.size(); }
    void clear();

private:
    QStringList m_order;              // job names in the order last read
    QHash<QString, QString> m_record; // job name -> job detail record
};

} // namespace hlv
