#pragma once

#include <functional>
#include <memory>

#include <QHash>
#include <QString>
#include <QStringList>

#include "console/access/Task.h"
#include "console/reports/ReportFrame.h"
#include "platform/PrintSystem.h"

namespace hlv {

class ConnectionSurface;
class Dialogs;
class PrintSystem;
class PrintWorker;
class ReportWindow;
class Shell;
class WMIPrint;
struct PrinterInfo;
struct PrintJobInfo;

// The live reports of print servers: the printer report (one queue and its jobs), the
// server report (every local shared printer of a server and its jobs) and the favourites
// report (the queue of each favourite, with the automation the favourite holds).
//
// The reports read through a connection of their own, so a report on another server
// never changes which server the main window's job lists read.
class WMIReports
{
public:
    static constexpr const char* kPrinterReportFile = "/HLV_PrinterReport.html";
    static constexpr const char* kServerReportFile = "/HLV_ServerReport.html";
    static constexpr const char* kFavouritesReportFile = "/HLV_FavReport.html";

    WMIReports(PrintSystem& printSystem, ConnectionSurface& surface, Dialogs& dialogs, Shell& shell,
               ReportWindow& window);
    ~WMIReports();
    WMIReports(const WMIReports&) = delete;
    WMIReports& operator=(const WMIReports&) = delete;

    // Quiet writes the page without opening it; Collapsible folds each jobs table behind a
    // "Show/Hide Jobs" link (and puts the script in the head). True when the page was
    // written with what it reports on: the printer found, the server reached.
    // A report goes on when its server has answered (see setWorker).
    Task<bool> PrinterReport(QString Server, QString Printer, bool Quiet, bool Collapsible);
    Task<bool> ServerReport(QString Server, bool Quiet, bool Collapsible);
    Task<bool> FavouritesReport(bool Quiet);

    // What the last report could not find, when it was written without what it reports on.
    enum class Missing { Nothing, Server, Queue };
    Missing lastMissing() const { return m_lastMissing; }
    // Whether the last report's page was written.
    bool lastWritten() const { return m_lastWritten; }

    // The tables of the printers of Server whose name or share name is Printer; empty
    // when none is. In favourite mode the automation cells come from the favourite's
    // caption fields, otherwise from the main window when it shows that queue.
    Task<QString> PrinterReportTable(QString Server, QString Printer, bool FavouriteMode,
                                     QStringList FavouriteParts = {});
    // The jobs table of the printer named Printer, or "</p>" when the server has no job.
    Task<QString> JobReportTable(QString Server, QString Printer, bool Collapsible);

    // The name of the last printer a printer table listed.
    QString FoundPrinterName() const { return m_FoundPrinterName; }
    WMIPrint& connection() { return *m_connection; }

    // From now on every server is read on a lane of worker: the connect, printers, jobs and
    // the server's own name in one call per server and report, while the window's events run.
    // A worker closed meanwhile (the program ends) ends the report without a page.
    void setWorker(PrintWorker* worker) { m_worker = worker; }
    // True while a report reads its servers.
    bool running() const { return m_inReport; }

    // Where the numbers of the section ids come from (default: RandomBetween(1, 1000000000)).
    void setSectionIdSource(std::function<int()> source) { m_sectionId = std::move(source); }

private:
    QString printerRow(const PrinterInfo& printer, const QString& Server, const QString& Printer, bool FavouriteMode,
                       const QStringList& FavouriteParts) const;
    QString jobRow(const PrintJobInfo& job);
    QString computerName(const QString& host);
    void askComputerNames(const QList<const PrintJobInfo*>& jobs);
    void beginReport();
    void endReport();
    // The connected server's printers and jobs, read once per report (and on every call
    // outside a report); false when the reading failed.
    bool readPrinters(QList<PrinterInfo>& out);
    bool readJobs(QList<PrintJobInfo>& out);
    // Binds server for the tables that follow; false when it cannot be reached.
    Task<bool> reach(QString server);
    // The server the tables read (the one bound last).
    QString readServer() const;
    // The report cannot go on: its worker was closed.
    bool abandoned() const;

    struct Readings
    {
        QString printersServer;
        bool printersRead = false;
        QList<PrinterInfo> printers;
        QString jobsServer;
        bool jobsRead = false;
        QList<PrintJobInfo> jobs;
        // Read on the worker: the server reached and the name its computer gives itself.
        bool reached = false;
        QString computerName;
    };

    PrintSystem& m_printSystem;
    PrintWorker* m_worker = nullptr;
    QString m_workerServer; // the server the worker's last reading was of
    std::unique_ptr<WMIPrint> m_connection;
    ReportWindow& m_window;
    ReportWriter m_writer;
    QString m_FoundPrinterName;
    QString m_foundQueueName; // the name that printer is listed under
    std::function<int()> m_sectionId;
    // The submitting computers' names, asked once per host and report.
    QHash<QString, QString> m_hostNames;
    Readings m_readings;
    bool m_inReport = false;
    Missing m_lastMissing = Missing::Nothing;
    bool m_lastWritten = false;
};

// The cell style of a printer's status and of a job's status ("'background-color: ...'",
// or "''" for none), by the value as a whole: a job mask of several bits is not split.
QString printerStatusColour(int extendedPrinterStatus);
QString jobStatusColour(quint32 statusMask);

} // namespace hlv
