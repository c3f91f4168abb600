#include "JobDetailRecord.h"

#include "platform/GeneralDate.h"

namespace hlv {

QString buildJobDetailRecord(const PrintJobInfo& job)
{
    QStringList fields;
    fields.reserve(kJobDetailFieldCount);
    fields << QString::number(job.StatusMask) << job.Document << job.HostPrintQueue << job.Owner << job.queueName()
           << (job.TotalPages ? QString::number(*job.TotalPages) : QString()) << QString::number(job.PagesPrinted)
           << QString::number(job.Priority)
           // Whole kilobytes, the remainder dropped: a job under 1024 bytes reads "0KB".
           << (job.Size ? QString::number(*job.Size / 1024) : QString()) + QStringLiteral("KB")
           << generalDateText(job.TimeSubmitted) << QString::number(job.JobId) << job.Name;
    return fields.join(QLatin1Char('|'));
}

QStringList readJobDetailRecord(const QString& record, bool* complete)
{
    QStringList parts = record.split(QLatin1Char('|'));
    const bool whole = parts.size() >= kJobDetailFieldCount;
    if (complete) {
        *complete = whole;
    }
    if (!whole) {
        while (parts.size() < kJobDetailFieldCount) {
            parts.append(QString());
        }
        return parts;
    }
    constexpr int kAfterDocument = kJobDetailFieldCount - 2; // fields 2 to 11
    const qsizetype documentEnd = parts.size() - kAfterDocument;
    QStringList fields;
    fields.reserve(kJobDetailFieldCount);
    fields << parts.at(0) << parts.mid(1, documentEnd - 1).join(QLatin1Char('|'));
    fields << parts.mid(documentEnd);
    return fields;
}

} // namespace hlv
