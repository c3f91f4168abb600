#include "JobSnapshot.h"

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

QList<JobChange> JobSnapshot::update(const QList<PrintJobInfo>& jobs)
{
    QList<JobChange> changes;
    QStringList order;
    QHash<QString, QString> records;
    order.reserve(jobs.size());
    records.reserve(jobs.size());

    for (const PrintJobInfo& job : jobs) {
        // A server never lists one job twice; should it, the first entry stands.
        if (records.contains(job.Name)) {
            continue;
        }
        const QString record = buildJobDetailRecord(job);
        order.append(job.Name);
        records.insert(job.Name, record);
        const auto previous = m_record.constFind(job.Name);
        if (previous == m_record.constEnd()) {
            changes.append({kNew, record});
        } else if (*previous != record) {
            changes.append({kModified, record});
        }
    }
    for (const QString& name : std::as_const(m_order)) {
        if (!records.contains(name)) {
            changes.append({kDeleted, m_record.value(name)});
        }
    }

    m_order = std::move(order);
    m_record = std::move(records);
    return changes;
}

} // namespace hlv
