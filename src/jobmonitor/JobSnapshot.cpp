#include "JobSnapshot.h"

#include <QSet>

#include "JobDetailRecord.h"

namespace hlv {

namespace {

const QString kNew = QStringLiteral("New");
const QString kModified = QStringLiteral("Modified");
const QString kDeleted = QStringLiteral("Deleted");

} // namespace

void JobSnapshot::clear()
{
    m_order.clear();
    m_record.clear();
}

void JobSnapshot::reset(const QList<PrintJobInfo>& jobs)
{
    clear();
    update(jobs);
}

void JobSnapshot::restore(const QStringList& records)
{
    clear();
    for (const QString& record : records) {
        const QStringList fields = readJobDetailRecord(record);
        const QString& name = fields.at(11);
        if (name.isEmpty() || m_record.contains(name)) {
            continue;
        }
        const qsizetype comma = name.lastIndexOf(QLatin1Char(','));
        m_order.append(name);
        m_record.insert(name, {record, fields.at(10).toLongLong(), comma < 0 ? name : name.left(comma)});
    }
}

QStringList JobSnapshot::records() const
{
    QStringList out;
    out.reserve(m_order.size());
    for (const QString& name : m_order) {
        out.append(m_record.value(name).record);
    }
    return out;
}

QList<JobChange> JobSnapshot::update(const QList<PrintJobInfo>& jobs)
{
    QList<JobChange> changes;
    QStringList order;
    QHash<QString, Entry> records;
    order.reserve(jobs.size());
    records.reserve(jobs.size());

    for (const PrintJobInfo& job : jobs) {
        // A server never lists one job twice; should it, the first entry stands.
        if (records.contains(job.Name)) {
            continue;
        }
        const QString record = buildJobDetailRecord(job);
        order.append(job.Name);
        records.insert(job.Name, {record, job.JobId, job.queueName()});
        const auto previous = m_record.constFind(job.Name);
        if (previous == m_record.constEnd()) {
            changes.append({kNew, record});
        } else if (previous->record != record) {
            changes.append({kModified, record});
        }
    }
    for (const QString& name : std::as_const(m_order)) {
        if (!records.contains(name)) {
            changes.append({kDeleted, m_record.value(name).record});
        }
    }

    m_order = std::move(order);
    m_record = std::move(records);
    return changes;
}

QList<JobChange> JobSnapshot::updatePart(const QList<PrintJobInfo>& jobs, const QList<qint64>& ids,
                                         const QStringList& queues)
{
    QList<JobChange> changes;
    QSet<QString> read;
    for (const PrintJobInfo& job : jobs) {
        if (read.contains(job.Name)) {
            continue;
        }
        read.insert(job.Name);
        QString record = buildJobDetailRecord(job);
        const auto previous = m_record.find(job.Name);
        if (previous == m_record.end()) {
            m_order.append(job.Name);
            m_record.insert(job.Name, {record, job.JobId, job.queueName()});
            changes.append({kNew, std::move(record)});
        } else if (previous->record != record) {
            previous->record = record;
            changes.append({kModified, std::move(record)});
        }
    }

    const QSet<qint64> idSet(ids.cbegin(), ids.cend());
    const QSet<QString> queueSet(queues.cbegin(), queues.cend());
    QSet<QString> gone;
    for (const QString& name : std::as_const(m_order)) {
        if (read.contains(name)) {
            continue;
        }
        const Entry& entry = m_record[name];
        if (idSet.contains(entry.id) || queueSet.contains(entry.queue)) {
            gone.insert(name);
            changes.append({kDeleted, entry.record});
        }
    }
    if (!gone.isEmpty()) {
        m_order.removeIf([&gone](const QString& name) { return gone.contains(name); });
        for (const QString& name : std::as_const(gone)) {
            m_record.remove(name);
        }
    }
    return changes;
}

} // namespace hlv
