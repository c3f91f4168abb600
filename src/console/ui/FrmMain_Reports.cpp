// The Reports menu: the live printer, server and favourites reports, the job log and audit
// reports, and the ways the whole job log leaves the program (CSV file, e-mail, HTML page).
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

#include "console/access/PrintWorker.h"
#include "console/reports/LogReports.h"
#include "console/reports/ReportWindow.h"
#include "console/reports/WMIReports.h"
#include "console/ui/ConsoleContext.h"
#include "console/ui/FrmMain.h"
#include "console/ui/FrmStats.h"
#include "console/ui/VbColour.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Environment.h"
#include "platform/GeneralDate.h"
#include "platform/Shell.h"
#include "store/JobLogStore.h"

namespace hlv {

namespace {

constexpr int kFavouriteSlotCount = 20;

// The main window as the reports read it, at the moment each report runs.
class MainReportWindow final : public ReportWindow
{
public:
    explicit MainReportWindow(FrmMain& main)
        : m_main(main)
    {}

    ReportSettings reportSettings() const override
    {
        const ConsoleSettings& s = m_main.settings();
        return {s.ReportPath, s.Company, s.Tagline};
    }

    ShownQueue shownQueue() const override
    {
        ShownQueue shown;
        shown.server = m_main.serverBoxText();
        shown.queue = m_main.queueBoxText();
        shown.autoQueue = FrmMain::value(m_main.chkAutoQueue) == 1;
        shown.timedRelease = FrmMain::value(m_main.chkTimed) == 1;
        shown.printJobs = m_main.optTimed[0] && m_main.optTimed[0]->isChecked();
        shown.releaseTime = m_main.txtTimed->text();
        return shown;
    }

    QStringList favouriteCaptions() const override { return m_main.favouriteCaptions(); }

    void reportNotWritten(const QString& path, const QString& why) override
    {
        m_main.showNotWritten(QStringLiteral("report file"), path, why);
    }

private:
    FrmMain& m_main;
};

QString logMailBody(const Environment& env, const QDateTime& now)
{
    const QLatin1String crLf("\r\n");
    return QStringLiteral("Exported from Halvern by ") + env.userName() + QStringLiteral(" on ") + env.computerName() +
           QStringLiteral(" at ") + generalDateText(now) + crLf + crLf +
           QStringLiteral(
               "Save money and the environment by reducing paper and ink usage through better printer management.") +
           crLf + QStringLiteral("Halvern - www.halvern.example");
}

} // namespace

struct FrmMain::ReportsPart
{
    explicit ReportsPart(FrmMain& main)
        : window(main)
        , wmi(main.context().printSystem, main, main.context().dialogs, main.context().shell, window)
        , log(main.jobLog(), main, main.context().shell, window)
    {
        // The servers are read on the print worker: a silent server holds the report, never
        // the window, and a close ends the report's wait.
        wmi.setWorker(&main.printWorker());
    }

    MainReportWindow window;
    WMIReports wmi;
    LogReports log;
};

void FrmMain::ReportsPartDeleter::operator()(ReportsPart* part) const
{
    delete part;
}

FrmMain::ReportsPart& FrmMain::reportsPart()
{
    if (!m_reports) {
        m_reports.reset(new ReportsPart(*this));
    }
    return *m_reports;
}

WMIReports& FrmMain::wmiReports()
{
    return reportsPart().wmi;
}

LogReports& FrmMain::logReports()
{
    return reportsPart().log;
}

QStringList FrmMain::favouriteCaptions() const
{
    QStringList captions;
    for (int i = 0; i < kFavouriteSlotCount; ++i) {
        if (favouriteSlotInUse(i)) {
            captions.append(mnuFav[static_cast<size_t>(i)]->text());
        }
    }
    return captions;
}

Task<bool> FrmMain::PrinterReport(const QString& Server, const QString& Printer, bool Quiet, bool Collapsible)
{
    return wmiReports().PrinterReport(Server, Printer, Quiet, Collapsible);
}

Task<bool> FrmMain::ServerReport(const QString& Server, bool Quiet, bool Collapsible)
{
    return wmiReports().ServerReport(Server, Quiet, Collapsible);
}

Task<bool> FrmMain::FavouritesReport(bool Quiet)
{
    return wmiReports().FavouritesReport(Quiet);
}

// ---- live reports ----

Task<void> FrmMain::runPrinterReport(bool withJobs)
{
    if (wmiReports().running()) {
        co_return; // one live report at a time: the window's events run while it reads
    }
    // The report and its record are of the server and queue shown when it was asked for.
    const QString server = serverBoxText();
    const QString queue = queueBoxText();
    co_await PrinterReport(server, queue, false, withJobs);
    if (m_unloaded) {
        co_return;
    }
    setActiveUpdateColour(VbColours::Green);
    writeAudit(QStringLiteral("Report"), server + QLatin1Char('-') + queue);
}

Task<void> FrmMain::runServerReport(bool withJobs)
{
    if (wmiReports().running()) {
        co_return; // one live report at a time: the window's events run while it reads
    }
    const QString server = serverBoxText();
    co_await ServerReport(server, false, withJobs);
    if (m_unloaded) {
        co_return;
    }
    setActiveUpdateColour(VbColours::Green);
    writeAudit(QStringLiteral("Report"), server);
}

Task<void> FrmMain::mnuPrinterReport_Click()
{
    co_await runPrinterReport(true);
}

Task<void> FrmMain::mnuPrinterReportnj_Click()
{
    co_await runPrinterReport(false);
}

Task<void> FrmMain::mnuServerReport_Click()
{
    co_await runServerReport(true);
}

Task<void> FrmMain::mnuServerReportnj_Click()
{
    co_await runServerReport(false);
}

Task<void> FrmMain::mnuFavReport_Click()
{
    if (wmiReports().running()) {
        co_return; // one live report at a time: the window's events run while it reads
    }
    co_await FavouritesReport(false);
    if (m_unloaded) {
        co_return;
    }
    setActiveUpdateColour(VbColours::Green);
    writeAudit(QStringLiteral("Report"), QStringLiteral("Favourites Report Generated"));
}

// ---- job log and audit reports ----

void FrmMain::mnuLogRptToday_Click()
{
    logReports().GenerateLogTodayReport(false);
    writeAudit(QStringLiteral("Report"), QStringLiteral("Log Today Report"));
}

void FrmMain::mnuLogFullReportHTML_Click()
{
    logReports().GenerateLogFullReport(false);
    writeAudit(QStringLiteral("Report"), QStringLiteral("Log Full Report"));
}

void FrmMain::mnuLogRptPrinter_Click()
{
    logReports().GenerateLogPrinterReport(false);
    writeAudit(QStringLiteral("Report"), QStringLiteral("Log Printer"));
}

void FrmMain::mnuLogRptUser_Click()
{
    logReports().GenerateLogUserReport(false);
    writeAudit(QStringLiteral("Report"), QStringLiteral("Log User Report"));
}

void FrmMain::mnuLogRptDailyJobs_Click()
{
    logReports().GenerateLogDailyJobsReport(false);
    writeAudit(QStringLiteral("Report"), QStringLiteral("Log Daily Jobs"));
}

void FrmMain::mnuLogRptMonthlyJobs_Click()
{
    logReports().GenerateLogMonthlyJobsReport(false);
    writeAudit(QStringLiteral("Report"), QStringLiteral("Log Monthly Jobs"));
}

void FrmMain::mnuLogRptHLV_Click()
{
    logReports().GenerateLogQueueManagerReport(false);
    writeAudit(QStringLiteral("Report"), QStringLiteral("Log Queue Manager"));
}

void FrmMain::mnuAuditRptToday_Click()
{
    logReports().GenerateAuditTodayReport(false);
    writeAudit(QStringLiteral("Report"), QStringLiteral("Audit Today Report"));
}

void FrmMain::mnuAuditRptActions_Click()
{
    logReports().GenerateAuditActionsReport(false);
    writeAudit(QStringLiteral("Report"), QStringLiteral("Audit Actions Report"));
}

// ---- the whole log as CSV file and e-mail ----

void FrmMain::mnuExportLog_Click()
{
    // The polling loop stays off while the log is read; it runs afterwards in every case,
    // also when it was off before the command.
    Timer2.stop();
    if (exportLogCsv()) {
        m_ctx.shell.open(m_jobLog->csvFilePath());
    }
    Timer2.start();
}

bool FrmMain::exportLogCsv()
{
    // A log that could not be read still gives a new file (its header); only a file that
    // was not written is kept from the operator.
    QString error;
    m_jobLog->ExportLogToCsv(&error);
    if (!error.isEmpty()) {
        showNotWritten(QStringLiteral("CSV file"), m_jobLog->csvFilePath(), error);
        return false;
    }
    return true;
}

void FrmMain::showNotWritten(const QString& kind, const QString& path, const QString& why)
{
    // Under /rpt: the unattended dialogs turn the box into a line on stderr.
    m_ctx.dialogs.showMessage(QStringLiteral("Unable to write the ") + kind + QLatin1Char(' ') + path +
                                  QStringLiteral("\n") + why,
                              16, productName());
}

void FrmMain::mnuLogFullReportCSV_Click()
{
    mnuExportLog_Click();
    writeAudit(QStringLiteral("Log"), QStringLiteral("Log Exported to CSV"));
}

void FrmMain::mnuLogFullReportEmail_Click()
{
    // The mail client shows the message; whether the operator sends it is not known here.
    // The record says what the operator asked for, also when the file could not be made.
    if (exportLogCsv()) {
        statsWindow().send_mail(QStringLiteral("support@halvern.example"), QStringLiteral("Halvern - Full Log"),
                                logMailBody(m_ctx.environment, m_ctx.clock.now()), m_jobLog->csvFilePath());
    }
    writeAudit(QStringLiteral("Log"), QStringLiteral("Log Emailed"));
}

} // namespace hlv
