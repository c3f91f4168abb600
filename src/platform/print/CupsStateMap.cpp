#include "platform/print/CupsStateMap.h"

#include <cups/ipp.h>

#include "platform/PrintSystem.h"

namespace hlv::cupsstate {

namespace {

// Strips the severity suffix IPP puts on printer-state-reasons.
QString baseReason(const QString& reason)
{
    for (const char* suffix : {"-report", "-warning", "-error"}) {
        if (reason.endsWith(QLatin1String(suffix))) {
            return reason.left(reason.size() - static_cast<qsizetype>(qstrlen(suffix)));
        }
    }
    return reason;
}

struct ReasonBits
{
    const char* reason;
    quint32 bits;
};

constexpr quint32 kUserAction = PrinterStatus::UserIntervention;

constexpr ReasonBits kReasons[] = {
    {"paused", PrinterStatus::Paused},
    {"moving-to-paused", PrinterStatus::Paused},
    {"media-jam", PrinterStatus::PaperJam | kUserAction},
    {"media-empty", PrinterStatus::PaperOut},
    {"media-needed", PrinterStatus::PaperOut},
    {"input-tray-missing", PrinterStatus::PaperProblem},
    {"media-low", PrinterStatus::PaperProblem},
    {"offline", PrinterStatus::Offline},
    {"shutdown", PrinterStatus::Offline},
    {"timed-out", PrinterStatus::Offline},
    {"connecting-to-device", PrinterStatus::Offline},
    {"output-area-full", PrinterStatus::OutputBinFull},
    {"spool-area-full", PrinterStatus::OutOfMemory},
    {"toner-low", PrinterStatus::TonerLow},
    {"marker-supply-low", PrinterStatus::TonerLow},
    {"toner-empty", PrinterStatus::NoToner | kUserAction},
    {"marker-supply-empty", PrinterStatus::NoToner | kUserAction},
    {"door-open", PrinterStatus::DoorOpen | kUserAction},
    {"cover-open", PrinterStatus::DoorOpen | kUserAction},
    {"interlock-open", PrinterStatus::DoorOpen | kUserAction},
    {"other", PrinterStatus::Error},
};

// The message CUPS leaves on a queue paused without a text of the operator's own.
bool pausedByOperator(const QString& message)
{
    const QString m = message.trimmed();
    return m.isEmpty() || m == QLatin1String("Paused");
}

} // namespace

quint32 printerStatusBits(int printerState, const QStringList& reasons, const QString& message)
{
    quint32 bits = 0;
    if (printerState == IPP_PSTATE_STOPPED) {
        bits |= PrinterStatus::Paused;
        if (!pausedByOperator(message)) {
            bits |= PrinterStatus::Error;
        }
    }
    for (const QString& full : reasons) {
        const QString r = baseReason(full.trimmed());
        if (r.isEmpty() || r == QLatin1String("none")) {
            continue;
        }
        bool known = false;
        for (const ReasonBits& entry : kReasons) {
            if (r == QLatin1String(entry.reason)) {
                bits |= entry.bits;
                known = true;
                break;
            }
        }
        if (!known && full.endsWith(QLatin1String("-error"))) {
            bits |= PrinterStatus::Error;
        }
    }
    return bits;
}

int extendedPrinterStatus(int printerState, quint32 statusBits)
{
    if (statusBits & PrinterStatus::Paused) {
        return 8;
    }
    if (statusBits & PrinterStatus::Offline) {
        return 7;
    }
    if (statusBits & PrinterStatus::Error) {
        return 9;
    }
    if (statusBits != 0) {
        return 1;
    }
    return printerState == IPP_PSTATE_PROCESSING ? 4 : 3;
}

quint32 jobStatusMask(int jobState, const QStringList& jobReasons, quint32 printer)
{
    if (const std::optional<quint32> own = jobOwnStatus(jobState, jobReasons)) {
        return jobStatusOnPrinter(*own, printer);
    }
    switch (jobState) {
    case IPP_JSTATE_CANCELED:
        return JobStatus::Deleted;
    case IPP_JSTATE_ABORTED:
        return JobStatus::Error;
    case IPP_JSTATE_COMPLETED:
        return JobStatus::Printed;
    case IPP_JSTATE_HELD:
        return JobStatus::Paused;
    case IPP_JSTATE_PENDING:
    case IPP_JSTATE_PROCESSING:
        // Not reading its printer: on its way to the stop point, or still arriving.
        if (jobState == IPP_JSTATE_PROCESSING && jobReasons.contains(QStringLiteral("processing-to-stop-point"))) {
            return JobStatus::Deleting;
        }
        return JobStatus::Spooling;
    default:
        return 0;
    }
}

std::optional<quint32> jobOwnStatus(int jobState, const QStringList& jobReasons)
{
    if (jobState != IPP_JSTATE_PENDING && jobState != IPP_JSTATE_PROCESSING && jobState != IPP_JSTATE_STOPPED) {
        return std::nullopt;
    }
    if (jobState == IPP_JSTATE_PROCESSING && jobReasons.contains(QStringLiteral("processing-to-stop-point"))) {
        return std::nullopt;
    }
    if (jobReasons.contains(QStringLiteral("job-incoming")) && jobState != IPP_JSTATE_STOPPED) {
        return std::nullopt;
    }
    switch (jobState) {
    case IPP_JSTATE_PROCESSING:
        return JobStatus::Printing;
    case IPP_JSTATE_STOPPED:
        return JobStatus::Error;
    default:
        return 0;
    }
}

quint32 jobStatusOnPrinter(quint32 ownStatus, quint32 printer)
{
    if (printer & PrinterStatus::Offline) {
        return JobStatus::Offline;
    }
    if (printer & PrinterStatus::PaperOut) {
        return JobStatus::PaperOut;
    }
    if (printer & PrinterStatus::UserIntervention) {
        return JobStatus::UserInterventionRequired;
    }
    if (printer & PrinterStatus::Error) {
        return JobStatus::Error;
    }
    return ownStatus;
}

} // namespace hlv::cupsstate
