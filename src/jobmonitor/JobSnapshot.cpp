#include "JobSnapshot.h"

#include "JobDetailRecord.h"

namespace hlv {

namespace {

const QString kNew = QStringLiteral("New");
const QString kModified = QStringLiteral("Modified");
const QString kDeleted = QStringLiteral("Deleted");

// A record with another status: the status is its first field, digits only.
QString withStatus(const QString& record, quint32 status)
{
    const qsizetype bar = record.indexOf(QLatin1Char('|'));
    return QString::number(status) + (bar < 0 ? QString() : record.mid(bar));
}

// The record of a job as it is now, under the name it was last seen by.
QString recordAs(PrintJobInfo job, const QString& name)
{
    job.Name = name;
    return buildJobDetailRecord(job);
}

} // namespace

void JobSnapshot::clear()
{
    m_order.clear();
    m_entries.clear();
    m_ended.clear();
    m_endedOrder.clear();
}

void JobSnapshot::rememberEnded(const QStringList& names)
{
    for (const QString& name : names) {
        if (!name.isEmpty()) {
            rememberEnd(name);
        }
    }
}

void JobSnapshot::rememberEnd(const QString& name)
{
    if (m_ended.contains(name)) {
        return;
    }
    // Forgotten half at a time, so that remembering costs no more than a constant per end.
    if (m_endedOrder.size() >= kMostEndsKept) {
        const qsizetype drop = m_endedOrder.size() / 2;
        for (qsizetype i = 0; i < drop; ++i) {
            m_ended.remove(m_endedOrder.at(i));
        }
        m_endedOrder.remove(0, drop);
    }
    m_ended.insert(name);
    m_endedOrder.append(name);
}

void JobSnapshot::reset(const QList<PrintJobInfo>& jobs)
{
    m_order.clear();
    m_entries.clear();
    update(jobs);
}

void JobSnapshot::restore(const QStringList& records)
{
    m_order.clear();
    m_entries.clear();
    for (const QString& record : records) {
        const QStringList fields = readJobDetailRecord(record);
        const QString& name = fields.at(11);
        if (name.isEmpty() || m_entries.contains(name)) {
            continue;
        }
        // Only what a record tells: enough to settle the job by its name and id.
        PrintJobInfo job;
        job.Name = name;
        job.JobId = fields.at(10).toLongLong();
        job.StatusMask = fields.at(0).toUInt();
        m_order.append(name);
        m_entries.insert(name, {record, job});
    }
}

QStringList JobSnapshot::records() const
{
    QStringList out;
    out.reserve(m_order.size());
    for (const QString& name : m_order) {
        out.append(m_entries.value(name).record);
    }
    return out;
}

QList<JobChange> JobSnapshot::update(const QList<PrintJobInfo>& jobs, const QList<PrintJobInfo>& ended,
                                     const QList<PrintJobInfo>& told)
{
    return settle(jobs, true, {}, {}, ended, told);
}

QList<JobChange> JobSnapshot::updatePart(const QList<PrintJobInfo>& jobs, const QList<qint64>& ids,
                                         const QStringList& queues, const QList<PrintJobInfo>& ended,
                                         const QList<PrintJobInfo>& told)
{
    return settle(jobs, false, QSet<qint64>(ids.cbegin(), ids.cend()), QSet<QString>(queues.cbegin(), queues.cend()),
                  ended, told);
}

bool JobSnapshot::followsPrinter(const QString& queue) const
{
    for (const Entry& entry : m_entries) {
        if (entry.job.ownStatus && entry.job.queueName() == queue) {
            return true;
        }
    }
    return false;
}

QList<PrintJobInfo> JobSnapshot::jobs() const
{
    QList<PrintJobInfo> out;
    out.reserve(m_order.size());
    for (const QString& name : m_order) {
        const auto entry = m_entries.constFind(name);
        if (entry != m_entries.cend()) {
            out.append(entry->job);
        }
    }
    return out;
}

QList<qint64> JobSnapshot::missing(const QList<PrintJobInfo>& jobs) const
{
    QSet<QString> names;
    QSet<qint64> ids;
    for (const PrintJobInfo& job : jobs) {
        names.insert(job.Name);
        ids.insert(job.JobId);
    }
    QList<qint64> out;
    for (const QString& name : m_order) {
        const qint64 id = m_entries.value(name).job.JobId;
        if (!names.contains(name) && !ids.contains(id)) {
            out.append(id);
        }
    }
    return out;
}

void JobSnapshot::modify(Entry& entry, const PrintJobInfo& job, QString record, QList<JobChange>& changes)
{
    if (record.isNull()) {
        record = buildJobDetailRecord(job);
    }
    entry.job = job;
    if (entry.record != record) {
        entry.record = record;
        changes.append({kModified, std::move(record)});
    }
}

QList<JobChange> JobSnapshot::settle(const QList<PrintJobInfo>& jobs, bool whole, const QSet<qint64>& ids,
                                     const QSet<QString>& queues, const QList<PrintJobInfo>& ended,
                                     const QList<PrintJobInfo>& told)
{
    QList<JobChange> changes;
    QSet<QString> read;
    QHash<qint64, const PrintJobInfo*> listedById;
    QStringList order;
    if (whole) {
        order.reserve(jobs.size());
    }
    for (const PrintJobInfo& job : jobs) {
        // A server never lists one job twice; should it, the first entry stands.
        if (read.contains(job.Name)) {
            continue;
        }
        read.insert(job.Name);
        listedById.insert(job.JobId, &job);
        if (whole) {
            order.append(job.Name);
        }
        QString record = buildJobDetailRecord(job);
        const auto previous = m_entries.find(job.Name);
        if (previous == m_entries.end()) {
            if (!whole) {
                m_order.append(job.Name);
            }
            m_entries.insert(job.Name, {record, job});
            changes.append({kNew, std::move(record)});
        } else {
            modify(*previous, job, std::move(record), changes);
        }
    }

    QHash<qint64, const PrintJobInfo*> endedById;
    for (const PrintJobInfo& job : ended) {
        endedById.insert(job.JobId, &job);
    }
    QHash<qint64, const PrintJobInfo*> toldById;
    for (const PrintJobInfo& job : told) {
        toldById.insert(job.JobId, &job);
    }

    // Jobs of the part that the reading no longer lists.
    QSet<QString> gone;
    QSet<qint64> settled;
    for (const QString& name : std::as_const(m_order)) {
        if (read.contains(name)) {
            continue;
        }
        const Entry& entry = m_entries[name];
        const qint64 id = entry.job.JobId;
        if (!whole && !ids.contains(id) && !queues.contains(entry.job.queueName())) {
            continue;
        }
        gone.insert(name);
        settled.insert(id);
        QString record;
        if (const PrintJobInfo* moved = listedById.value(id)) {
            record = recordAs(*moved, name);
        } else if (const PrintJobInfo* over = endedById.value(id)) {
            record = recordAs(*over, name);
        } else if (const PrintJobInfo* notice = toldById.value(id)) {
            record = withStatus(entry.record, notice->StatusMask);
        } else {
            record = entry.record;
        }
        changes.append({kDeleted, std::move(record)});
        if (!listedById.contains(id)) {
            rememberEnd(name);
        }
    }
    if (whole) {
        for (const QString& name : std::as_const(gone)) {
            m_entries.remove(name);
        }
        m_order = std::move(order);
    } else if (!gone.isEmpty()) {
        m_order.removeIf([&gone](const QString& name) { return gone.contains(name); });
        for (const QString& name : std::as_const(gone)) {
            m_entries.remove(name);
        }
    }

    // Jobs that came and ended between two readings: what the history keeps of them, else
    // what the notices told.
    const auto cameAndWent = [&](const PrintJobInfo& job) {
        if (!job.ended || settled.contains(job.JobId) || listedById.contains(job.JobId) ||
            m_entries.contains(job.Name) || job.Name.isEmpty() || m_ended.contains(job.Name)) {
            return;
        }
        settled.insert(job.JobId);
        rememberEnd(job.Name);
        const QString record = buildJobDetailRecord(job);
        changes.append({kNew, record});
        changes.append({kDeleted, record});
    };
    for (const PrintJobInfo& job : ended) {
        cameAndWent(job);
    }
    for (const PrintJobInfo& job : told) {
        cameAndWent(job);
    }
    return changes;
}

} // namespace hlv
