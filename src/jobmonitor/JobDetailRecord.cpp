#include "JobDetailRecord.h"

#include "platform/GeneralDate.h"

namespace hlv {

namespace {

const QLatin1Char kBar('|');
const QLatin1Char kBackslash('\\');

QString escapedField(const QString& text)
{
    QString out;
    out.reserve(text.size());
    qsizetype backslashes = 0;
    for (const QChar c : text) {
        if (c == kBackslash) {
            ++backslashes;
            out += c;
            continue;
        }
        if (c == kBar) {
            out += QString(backslashes + 1, kBackslash);
        }
        out += c;
        backslashes = 0;
    }
    out += QString(backslashes, kBackslash);
    return out;
}

// The fields of a record, split at every "|" that is not escaped, with their texts restored.
QStringList splitRecord(const QString& record)
{
    QStringList fields;
    QString current;
    qsizetype backslashes = 0;
    for (const QChar c : record) {
        if (c == kBackslash) {
            ++backslashes;
            continue;
        }
        if (c == kBar) {
            current += QString(backslashes / 2, kBackslash);
            if (backslashes % 2 == 1) {
                current += c;
            } else {
                fields.append(current);
                current.clear();
            }
        } else {
            current += QString(backslashes, kBackslash);
            current += c;
        }
        backslashes = 0;
    }
    current += QString(backslashes / 2, kBackslash);
    fields.append(current);
    return fields;
}

} // namespace

QString buildJobDetailRecord(const PrintJobInfo& job)
{
    QStringList fields;
    fields.reserve(kJobDetailFieldCount);
    fields << QString::number(job.StatusMask) << job.Document << job.HostPrintQueue << job.Owner << job.queueName()
           << (job.TotalPages ? QString::number(*job.TotalPages) : QString()) << QString::number(job.PagesPrinted)
           << (job.Priority == PrintJobInfo::kUnknownPriority ? QString() : QString::number(job.Priority))
           // Whole kilobytes, the remainder dropped: a job under 1024 bytes reads "0KB". What
           // the server did not tell stays empty rather than read as a value.
           << (job.Size ? QString::number(*job.Size / 1024) + QStringLiteral("KB") : QString())
           << generalDateText(job.TimeSubmitted) << QString::number(job.JobId) << job.Name;
    for (QString& field : fields) {
        field = escapedField(field);
    }
    return fields.join(kBar);
}

QStringList readJobDetailRecord(const QString& record, bool* complete)
{
    QStringList parts = splitRecord(record);
    const qsizetype n = parts.size();
    const bool whole = n >= kJobDetailFieldCount;
    if (complete) {
        *complete = whole;
    }
    if (!whole) {
        while (parts.size() < kJobDetailFieldCount) {
            parts.append(QString());
        }
        return parts;
    }
    const auto join = [&parts](qsizetype first, qsizetype last) {
        return parts.mid(first, last - first + 1).join(QLatin1Char('|'));
    };
    // A printer name may hold "|" as well; it then stands twice, in the queue field and in
    // the name "queue, id". The smallest count of "|" in the printer name for which the two
    // agree is the one; none at all is the common case.
    qsizetype bars = 0;
    for (qsizetype m = 0; kJobDetailFieldCount + 2 * m <= n; ++m) {
        const QString name = join(n - 1 - m, n - 1);
        const QString queue = join(n - 8 - 2 * m, n - 8 - m);
        if (name == queue + QStringLiteral(", ") + parts.at(n - 2 - m)) {
            bars = m;
            break;
        }
    }
    const qsizetype queueFirst = n - 8 - 2 * bars;
    QStringList fields;
    fields.reserve(kJobDetailFieldCount);
    fields << parts.at(0) << join(1, queueFirst - 3) << parts.at(queueFirst - 2) << parts.at(queueFirst - 1)
           << join(queueFirst, queueFirst + bars);
    fields << parts.mid(queueFirst + bars + 1, 6) << join(n - 1 - bars, n - 1);
    return fields;
}

} // namespace hlv
