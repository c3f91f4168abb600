#include "platform/print/CupsStateMap.h"

#include <cups/ipp.h>

#include "platform/PrintSystem.h"

namespace hlv::cupsstate {

namespace {

enum class Severity { None, Report, Warning, Error };

// A reason without its severity suffix, and the severity.
QString baseReason(const QString& reason, Severity* severity = nullptr)
{
    const struct
    {
        const char* suffix;
        Severity severity;
    } suffixes[] = {{"-report", Severity::Report}, {"-warning", Severity::Warning}, {"-error", Severity::Error}};
    for (const auto& s : suffixes) {
        if (reason.endsWith(QLatin1String(s.suffix))) {
            if (severity) {
                *severity = s.severity;
            }
            return reason.left(reason.size() - static_cast<qsizetype>(qstrlen(s.suffix)));
        }
    }
    if (severity) {
        *severity = Severity::None;
    }
    return reason;
}

// When a reason keeps the printer from printing.
enum class Stops {
    AsError,  // with "-error", or without a suffix (a reason without one is an error)
    Only,     // only with "-error": by nature a warning (supplies running low)
    Whatever, // at any severity: a printer that cannot be reached prints nothing
};

struct ReasonBits
{
    const char* reason;
    quint32 bits;
    Stops stops;
};

constexpr quint32 kUserAction = PrinterStatus::UserIntervention;

constexpr ReasonBits kReasons[] = {
    {"paused", PrinterStatus::Paused, Stops::Whatever},
    // Pause-Printer-After-Current-Job: the job printing goes on to its end.
    {"moving-to-paused", PrinterStatus::Paused, Stops::Only},
    {"media-jam", PrinterStatus::PaperJam | kUserAction, Stops::AsError},
    {"media-empty", PrinterStatus::PaperOut, Stops::AsError},
    {"media-needed", PrinterStatus::PaperOut, Stops::AsError},
    {"input-tray-missing", PrinterStatus::PaperProblem, Stops::AsError},
    {"media-low", PrinterStatus::PaperProblem, Stops::Only},
    // CUPS's ipp and socket backends say "offline-report" of a printer they cannot reach.
    {"offline", PrinterStatus::Offline, Stops::Whatever},
    {"shutdown", PrinterStatus::Offline, Stops::Whatever},
    {"timed-out", PrinterStatus::Offline, Stops::Whatever},
    {"output-area-full", PrinterStatus::OutputBinFull, Stops::AsError},
    {"spool-area-full", PrinterStatus::OutOfMemory, Stops::AsError},
    {"toner-low", PrinterStatus::TonerLow, Stops::Only},
    {"marker-supply-low", PrinterStatus::TonerLow, Stops::Only},
    {"toner-empty", PrinterStatus::NoToner | kUserAction, Stops::AsError},
    {"marker-supply-empty", PrinterStatus::NoToner | kUserAction, Stops::AsError},
    {"door-open", PrinterStatus::DoorOpen | kUserAction, Stops::AsError},
    {"cover-open", PrinterStatus::DoorOpen | kUserAction, Stops::AsError},
    {"interlock-open", PrinterStatus::DoorOpen | kUserAction, Stops::AsError},
    {"other", PrinterStatus::Error, Stops::AsError},
};

// What Pause-Printer leaves without a text of the operator's own. A queue that the backend
// stopped without a word has an empty message and the reason "paused"; a queue created
// disabled has an empty message and no reason: the administrator's doing, not a fault.
bool pausedByOperator(const QStringList& reasons, const QString& message)
{
    const QString m = message.trimmed();
    if (m == QLatin1String("Paused")) {
        return true;
    }
    return m.isEmpty() && !reasons.contains(QLatin1String("paused"));
}

struct Reading
{
    quint32 status = 0;
    quint32 stopping = 0;
};

Reading readPrinter(int printerState, const QStringList& reasons, const QString& message, qint64 stateAgeSeconds)
{
    Reading out;
    if (printerState == IPP_PSTATE_STOPPED) {
        out.status |= PrinterStatus::Paused;
        if (!pausedByOperator(reasons, message)) {
            out.status |= PrinterStatus::Error;
        }
        out.stopping = out.status;
    }
    for (const QString& full : reasons) {
        Severity severity = Severity::None;
        const QString r = baseReason(full.trimmed(), &severity);
        if (r.isEmpty() || r == QLatin1String("none")) {
            continue;
        }
        if (r == QLatin1String("connecting-to-device")) {
            if (stateAgeSeconds >= kConnectingLasts) {
                out.status |= PrinterStatus::Offline;
                out.stopping |= PrinterStatus::Offline;
            }
            continue;
        }
        bool known = false;
        for (const ReasonBits& entry : kReasons) {
            if (r == QLatin1String(entry.reason)) {
                out.status |= entry.bits;
                const bool stops = entry.stops == Stops::Whatever || severity == Severity::Error ||
                                   (entry.stops == Stops::AsError && severity == Severity::None);
                if (stops) {
                    out.stopping |= entry.bits;
                }
                known = true;
                break;
            }
        }
        if (!known && severity == Severity::Error) {
            out.status |= PrinterStatus::Error;
            out.stopping |= PrinterStatus::Error;
        }
    }
    return out;
}

} // namespace

quint32 printerStatusBits(int printerState, const QStringList& reasons, const QString& message, qint64 stateAgeSeconds)
{
    return readPrinter(printerState, reasons, message, stateAgeSeconds).status;
}

quint32 printerStoppingBits(int printerState, const QStringList& reasons, const QString& message,
                            qint64 stateAgeSeconds)
{
    return readPrinter(printerState, reasons, message, stateAgeSeconds).stopping;
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
        // Create-Job holds a job until its document has come: nobody paused it.
        return jobReasons.contains(QStringLiteral("job-incoming")) ? JobStatus::Spooling : JobStatus::Paused;
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
