#include "JobDetailRecord.h"

#include <QStringList>

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
           << QString::number(job.Size / 1024) + QStringLiteral("KB") << generalDateText(job.TimeSubmitted)
           << QString::number(job.JobId) << job.Name;
    return fields.join(QLatin1Char('|'));
}

} // namespace hlv
