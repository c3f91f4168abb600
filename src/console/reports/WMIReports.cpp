#include "console/reports/WMIReports.h"

#include <algorithm>
#include <future>
#include <vector>

#include "console/access/PrintWorker.h"
#include "console/access/WMIPrint.h"
#include "console/reports/ReportWindow.h"
#include "platform/GeneralDate.h"
#include "platform/PrintSystem.h"
#include "platform/print/StatusText.h"

namespace hlv {

namespace {

using ReportFrame::cell;

const QString kProduct = QStringLiteral("Halvern");

QString styledCell(const QString& style, const QString& value)
{
    return QStringLiteral("<td style=") + style + QLatin1Char('>') + htmlText(value) + QStringLiteral("</td>");
}

QString field(const QStringList& fields, int index)
{
    return index < fields.size() ? fields.at(index) : QString();
}

const QStringList& printerHeaders()
{
    static const QStringList headers = {
        QStringLiteral("Status"),      QStringLiteral("Server"), QStringLiteral("Printer"),
        QStringLiteral("Description"), QStringLiteral("Shared"), QStringLiteral("Path"),
        QStringLiteral("Location"),    QStringLiteral("Model"),  QStringLiteral("AutoQueue"),
        QStringLiteral("AutoRelease"),
    };
    return headers;
}

const QStringList& jobHeaders()
{
    static const QStringList headers = {
        QStringLiteral("Status"),   QStringLiteral("Computer"), QStringLiteral("User"),
        QStringLiteral("Document"), QStringLiteral("Pages"),    QStringLiteral("Printed Pages"),
        QStringLiteral("Priority"), QStringLiteral("Size"),     QStringLiteral("Time Submitted"),
        QStringLiteral("ID"),
    };
    return headers;
}

} // namespace

QString printerStatusColour(int extendedPrinterStatus)
{
    switch (extendedPrinterStatus) {
    case 2:
    case 3:
    case 4:
        return QStringLiteral("'background-color: #00FF00'");
    case 7:
    case 9:
        return QStringLiteral("'background-color: #FF0000'");
    case 8:
    case 10:
    case 12:
    case 13:
        return QStringLiteral("'background-color: #FF9900'");
    default:
        return QStringLiteral("''");
    }
}

QString jobStatusColour(quint32 statusMask)
{
    switch (statusMask) {
    case 2:
    case 32:
    case 64:
    case 1024:
        return QStringLiteral("'background-color: #FF0000'");
    case 1:
    case 4:
    case 8:
        return QStringLiteral("'background-color: #FF9900'");
    default: // 16 (printing), 0 and every combination of bits
        return QStringLiteral("'background-color: #00FF00'");
    }
}

WMIReports::WMIReports(PrintSystem& printSystem, ConnectionSurface& surface, Dialogs& dialogs, Shell& shell,
                       ReportWindow& window)
    : m_printSystem(printSystem)
    , m_connection(std::make_unique<WMIPrint>(printSystem, surface, dialogs, shell))
    , m_window(window)
    , m_writer(surface, shell, &window)
    , m_sectionId([] { return RandomBetween(1, 1000000000); })
{}

WMIReports::~WMIReports() = default;

QString WMIReports::printerRow(const PrinterInfo& printer, const QString& Server, const QString& Printer,
                               bool FavouriteMode, const QStringList& FavouriteParts) const
{
    QString row = styledCell(printerStatusColour(printer.ExtendedPrinterStatus),
                             GetExtendedPrinterStatusText(qint64(printer.ExtendedPrinterStatus)));
    row += cell(Server) + cell(Printer) + cell(printer.Comment);
    row += printer.Shared ? QStringLiteral("<td>True</td>") : QStringLiteral("<td>False</td>");
    row += cell(printer.Shared ? QStringLiteral("\\\\") + Server + QLatin1Char('\\') + printer.ShareName
                               : printer.PortName);
    row += cell(printer.Location) + cell(printer.Model());

    if (FavouriteMode) {
        row += cell(field(FavouriteParts, 2) == QStringLiteral("AQ On") ? QStringLiteral("Enabled")
                                                                        : QStringLiteral("Disabled"));
        if (field(FavouriteParts, 3) == QStringLiteral("AR On")) {
            QString release = field(FavouriteParts, 4) + QStringLiteral(" at ") + field(FavouriteParts, 5);
            if (field(FavouriteParts, 6) == QStringLiteral("AA")) {
                release += QLatin1Char('*');
            }
            row += cell(release);
        } else {
            row += cell(QStringLiteral("Disabled"));
        }
        return row;
    }

    // Only the queue the main window shows has automation settings to tell. The queue box
    // names a queue by its share name, or by its own name when it has none.
    const ShownQueue shown = m_window.shownQueue();
    if (shown.server == Server && shown.queue == printer.queueName()) {
        row += cell(shown.autoQueue ? QStringLiteral("Enabled") : QStringLiteral("Disabled"));
        if (shown.timedRelease) {
            row += cell((shown.printJobs ? QStringLiteral("Print at ") : QStringLiteral("Delete at ")) +
                        shown.releaseTime);
        } else {
            row += cell(QStringLiteral("Disabled"));
        }
    } else {
        row += QStringLiteral("<td></td><td></td>");
    }
    return row;
}

Task<QString> WMIReports::PrinterReportTable(QString Server, QString Printer, bool FavouriteMode,
                                             QStringList FavouriteParts)
{
    // A server that cannot be bound lists nothing: the connection still bound belongs to
    // another server, whose printer of the same name is not the one asked for.
    const bool reached = co_await reach(Server.toUpper());
    if (!reached || Printer.isEmpty()) {
        co_return QString();
    }
    QList<PrinterInfo> printers;
    if (!readPrinters(printers)) {
        co_return QString();
    }
    QString text;
    for (const PrinterInfo& printer : printers) {
        // Compared as plain text, whatever characters the name holds.
        if (printer.Name != Printer && printer.ShareName != Printer) {
            continue;
        }
        m_FoundPrinterName = printer.Name;
        m_foundQueueName = printer.queueName();
        text += ReportFrame::tableOpening(true) +
                ReportFrame::titleRow(10, ReportFrame::kPrinterTitleColour, QStringLiteral("Printer"));
        // The header row's end opens the data row.
        text += ReportFrame::headerRow(printerHeaders()) + QStringLiteral("<tr>");
        text += printerRow(printer, Server, Printer, FavouriteMode, FavouriteParts);
        text += QStringLiteral("</tr></table>");
    }
    co_return text;
}

void WMIReports::beginReport()
{
    m_writer.begin();
    m_hostNames.clear();
    m_readings = Readings();
    m_inReport = true;
}

void WMIReports::endReport()
{
    m_inReport = false;
    m_readings = Readings();
}

Task<bool> WMIReports::reach(QString server)
{
    if (!m_worker) {
        co_return m_connection->ConnectServer(server) && m_connection->objWMIService();
    }
    // Within a report a server is read once, whatever case its name is given in.
    if (m_inReport && m_readings.reached && m_workerServer.compare(server, Qt::CaseInsensitive) == 0) {
        co_return true;
    }
    m_workerServer = server;
    m_readings = Readings();
    if (m_worker->closed()) {
        co_return false;
    }
    // Everything the tables need of the server comes in one call; nothing of it is read
    // unless the call answered (a dropped call's lane may still be filling it).
    auto reading = std::make_shared<Readings>();
    const quint64 id = m_worker->postTo(server, [reading, server](PrintServer* service, const QString&) {
        if (!service) {
            return;
        }
        reading->reached = true;
        reading->printersServer = server;
        reading->printersRead = bool(service->printers(reading->printers));
        reading->jobsServer = server;
        reading->jobsRead = reading->printersRead && bool(service->jobs(reading->jobs));
        QString name;
        if (reading->printersRead && service->computerName(name)) {
            reading->computerName = name;
        }
    });
    const bool answered = co_await m_worker->answerOf(id);
    if (!answered) {
        co_return false;
    }
    m_readings = *reading;
    co_return m_readings.reached;
}

QString WMIReports::readServer() const
{
    return m_worker ? m_workerServer : m_connection->ConnectedServerName();
}

bool WMIReports::abandoned() const
{
    return m_worker && m_worker->closed();
}

bool WMIReports::readPrinters(QList<PrinterInfo>& out)
{
    if (m_worker) {
        out = m_readings.printers;
        return m_readings.reached && m_readings.printersRead;
    }
    // Within one report every table reads the same server's printers and jobs: they are
    // read once per server and report, not once per table.
    const QString server = m_connection->ConnectedServerName();
    if (!m_inReport || m_readings.printersServer != server) {
        m_readings.printersServer = server;
        m_readings.printers.clear();
        m_readings.printersRead = bool(m_connection->objWMIService()->printers(m_readings.printers));
        if (!m_inReport) {
            m_readings.printersServer.clear();
        }
    }
    out = m_readings.printers; // shared, not copied
    return m_readings.printersRead;
}

bool WMIReports::readJobs(QList<PrintJobInfo>& out)
{
    if (m_worker) {
        out = m_readings.jobs;
        return m_readings.reached && m_readings.jobsRead;
    }
    const QString server = m_connection->ConnectedServerName();
    if (!m_inReport || m_readings.jobsServer != server) {
        m_readings.jobsServer = server;
        m_readings.jobs.clear();
        m_readings.jobsRead = bool(m_connection->objWMIService()->jobs(m_readings.jobs));
        if (!m_inReport) {
            m_readings.jobsServer.clear();
        }
    }
    out = m_readings.jobs;
    return m_readings.jobsRead;
}

QString WMIReports::computerName(const QString& host)
{
    const auto known = m_hostNames.constFind(host);
    if (known != m_hostNames.constEnd()) {
        return known.value();
    }
    const QString name = m_connection->GetHostComputerName(host);
    m_hostNames.insert(host, name);
    return name;
}

void WMIReports::askComputerNames(const QList<const PrintJobInfo*>& jobs)
{
    // Every submitting computer not asked yet in this report is asked now, all of them at
    // once (a few at a time), each on a thread and connection of its own: a computer that
    // keeps the others waiting costs its time-out once, not once per computer. The
    // connected server answers on this thread, through its own connection.
    constexpr int kAtOnce = 16;
    QStringList hosts;
    for (const PrintJobInfo* job : jobs) {
        const QString& host = job->HostPrintQueue;
        if (!m_hostNames.contains(host) && !hosts.contains(host)) {
            if (host.size() >= 2 && host.mid(2) == readServer()) {
                m_hostNames.insert(host, m_worker ? (m_readings.computerName.isEmpty() ? host : m_readings.computerName)
                                                  : m_connection->GetHostComputerName(host));
            } else {
                hosts.append(host);
            }
        }
    }
    PrintSystem& printSystem = m_printSystem;
    for (qsizetype first = 0; first < hosts.size(); first += kAtOnce) {
        std::vector<std::future<QString>> answers;
        const qsizetype end = std::min<qsizetype>(first + kAtOnce, hosts.size());
        for (qsizetype i = first; i < end; ++i) {
            answers.push_back(std::async(std::launch::async, [&printSystem, host = hosts.at(i)] {
                return WMIPrint::hostComputerName(printSystem, host);
            }));
        }
        for (qsizetype i = first; i < end; ++i) {
            m_hostNames.insert(hosts.at(i), answers.at(static_cast<size_t>(i - first)).get());
        }
    }
}

QString WMIReports::jobRow(const PrintJobInfo& job)
{
    QString computer = computerName(job.HostPrintQueue);
    if (computer.isEmpty()) {
        computer = job.HostPrintQueue;
    }
    QString row =
        QStringLiteral("<tr>") + styledCell(jobStatusColour(job.StatusMask), GetJobStatusText(qint64(job.StatusMask)));
    row += cell(computer) + cell(job.Owner) + cell(job.Document);
    row += cell(job.TotalPages ? QString::number(*job.TotalPages) : QString());
    row += cell(QString::number(job.PagesPrinted)) + cell(QString::number(job.Priority));
    row += cell((job.Size ? QString::number(*job.Size / 1024) : QString()) + QStringLiteral("KB"));
    row += cell(job.TimeSubmitted.isValid() ? generalDateText(job.TimeSubmitted) : QString());
    row += cell(QString::number(job.JobId)) + QStringLiteral("</tr>");
    return row;
}

Task<QString> WMIReports::JobReportTable(QString Server, QString Printer, bool Collapsible)
{
    const QString noJobs = QStringLiteral("</p>");
    const bool reached = co_await reach(Server.toUpper());
    if (!reached) {
        co_return noJobs;
    }
    QList<PrintJobInfo> jobs;
    if (!readJobs(jobs) || jobs.isEmpty()) {
        co_return noJobs;
    }

    const QString id = QLatin1Char(' ') + QString::number(m_sectionId()) + QLatin1Char(' ');
    QString text;
    if (Collapsible) {
        text += QStringLiteral("<a href='#' name='") + htmlText(Printer) +
                QStringLiteral("' onclick='javascript:showhide(\"") + id +
                QStringLiteral("\");'>Show/Hide Jobs</a><div id='") + id + QStringLiteral("' style='display:none;'>");
    } else {
        text += QStringLiteral("<div id='") + id + QStringLiteral("'>");
    }
    text += ReportFrame::tableOpening(false) +
            ReportFrame::titleRow(10, ReportFrame::kJobsTitleColour, QStringLiteral("Jobs")) +
            ReportFrame::headerRow(jobHeaders());

    // A job belongs to the printer whose name and a comma begin the job's name, so the
    // jobs of "P2" never show under "P".
    // Jobs carry the name the queue is listed under, which for a shared printer may be its
    // share name.
    const QString prefix = Printer + QLatin1Char(',');
    const QString queuePrefix =
        (Printer == m_FoundPrinterName && !m_foundQueueName.isEmpty() ? m_foundQueueName : Printer) + QLatin1Char(',');
    QList<const PrintJobInfo*> listed;
    for (const PrintJobInfo& job : jobs) {
        if (job.Name.startsWith(prefix) || job.Name.startsWith(queuePrefix)) {
            listed.append(&job);
        }
    }
    askComputerNames(listed);
    for (const PrintJobInfo* job : listed) {
        text += jobRow(*job);
    }
    co_return text + QStringLiteral("</table></div></p>");
}

Task<bool> WMIReports::PrinterReport(QString Server, QString Printer, bool Quiet, bool Collapsible)
{
    const ReportSettings settings = m_window.reportSettings();
    const QString path = reportFilePath(settings, QLatin1String(kPrinterReportFile));
    beginReport();
    QString page = ReportFrame::pageHead(kProduct + QStringLiteral(" - ") + Printer + QStringLiteral(" on ") + Server,
                                         Collapsible, settings,
                                         QStringLiteral("<h2><u>Printer Report:</u> ") + htmlText(Printer) +
                                             QStringLiteral(" on ") + htmlText(Server) + QStringLiteral("</h2>"));
    const QString table = co_await PrinterReportTable(Server, Printer, false);
    if (!table.isEmpty()) {
        const QString jobs = co_await JobReportTable(Server, m_FoundPrinterName, Collapsible);
        page += table + jobs;
        m_lastMissing = Missing::Nothing;
    } else {
        // A printer that was looked for on a server that listed nothing: the server is missing.
        m_lastMissing = !Printer.isEmpty() && !m_readings.printersRead ? Missing::Server : Missing::Queue;
    }
    page += ReportFrame::pageTail();
    endReport();
    if (abandoned()) {
        m_lastWritten = false;
        co_return false; // the program ends: no page is written or opened after its close
    }
    m_lastWritten = m_writer.finish(path, page, !Quiet);
    co_return m_lastWritten && !table.isEmpty();
}

Task<bool> WMIReports::ServerReport(QString Server, bool Quiet, bool Collapsible)
{
    const ReportSettings settings = m_window.reportSettings();
    const QString path = reportFilePath(settings, QLatin1String(kServerReportFile));
    beginReport();
    QString page = ReportFrame::pageHead(kProduct + QStringLiteral(" - ") + Server, Collapsible, settings,
                                         QStringLiteral("<h2><u>Server Report:</u> ") + htmlText(Server) +
                                             QStringLiteral("</h2>"));
    QList<PrinterInfo> printers;
    const bool reachedServer = co_await reach(Server);
    const bool reached = reachedServer && readPrinters(printers);
    if (reached) {
        for (const PrinterInfo& printer : printers) {
            if (!printer.Local || !printer.Shared) {
                continue;
            }
            const QString table = co_await PrinterReportTable(Server, printer.Name, false);
            if (!table.isEmpty()) {
                const QString jobs = co_await JobReportTable(Server, m_FoundPrinterName, Collapsible);
                page += table + jobs;
            }
        }
    }
    page += ReportFrame::pageTail();
    endReport();
    if (abandoned()) {
        m_lastWritten = false;
        co_return false; // the program ends: no page is written or opened after its close
    }
    m_lastMissing = reached ? Missing::Nothing : Missing::Server;
    m_lastWritten = m_writer.finish(path, page, !Quiet);
    co_return m_lastWritten&& reached;
}

Task<bool> WMIReports::FavouritesReport(bool Quiet)
{
    const ReportSettings settings = m_window.reportSettings();
    const QString path = reportFilePath(settings, QLatin1String(kFavouritesReportFile));
    beginReport();
    QString page = ReportFrame::pageHead(kProduct + QStringLiteral(" - Favourites"), false, settings,
                                         QStringLiteral("<h2><u>Favourites Report</u></h2>"));
    for (const QString& caption : m_window.favouriteCaptions()) {
        if (caption.isEmpty()) {
            continue;
        }
        const QStringList fields = caption.split(QStringLiteral(" | "));
        const QString table = co_await PrinterReportTable(field(fields, 0), field(fields, 1), true, fields);
        if (!table.isEmpty()) {
            const QString jobs = co_await JobReportTable(field(fields, 0), m_FoundPrinterName, false);
            page += table + jobs;
        }
    }
    page += ReportFrame::pageTail();
    endReport();
    if (abandoned()) {
        m_lastWritten = false;
        co_return false; // the program ends: no page is written or opened after its close
    }
    m_lastMissing = Missing::Nothing;
    m_lastWritten = m_writer.finish(path, page, !Quiet);
    co_return m_lastWritten;
}

} // namespace hlv
