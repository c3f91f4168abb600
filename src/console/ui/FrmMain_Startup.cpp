// Start-up and shutdown of the console, the splash window's progress line and the About box.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "console/access/PrintWorker.h"
#include "console/access/WMIPrint.h"
#include "console/ui/ConnectionBoxDialogs.h"
#include "console/ui/ConsoleContext.h"
#include "console/ui/FrmMain.h"
#include "console/ui/JobListWidget.h"
#include "console/ui/PrinterPropertiesDialog.h"
#include "console/ui/VbColour.h"
#include "console/ui/WebBrowser.h"
#include "console/ui/frmSplash.h"
#include "jobmonitor/MonitorBuilds.h"
#include "jobmonitor/client/MonitorBinding.h"
#include "platform/Environment.h"
#include "store/IniFile.h"
#include "store/JobLogStore.h"

namespace hlv {

namespace {

// The main window's width before the saved size is applied, and its design height.
constexpr int kStartWidthTwips = 14970;
constexpr int kDesignHeightTwips = 9000;

} // namespace

QString FrmMain::versionText()
{
    const QStringList parts = QStringLiteral(HLV_VERSION_STRING).split(QLatin1Char('.'));
    QStringList out;
    for (int i = 0; i < 3; ++i) {
        out.append(QString::number(i < parts.size() ? parts.at(i).toInt() : 0));
    }
    return out.join(QLatin1Char('.'));
}

QString FrmMain::updateCheckAddress()
{
    return webServerAddress() + QStringLiteral("/cgi-bin/updatecheck.cgi?soft=HLV&vers=") + versionText();
}

FrmMain::FrmMain(ConsoleContext& context, QWidget* parent)
    : QMainWindow(parent)
    , m_ctx(context)
{
    m_ini = std::make_unique<IniFile>(m_ctx.environment);
    m_jobLog = m_ctx.templatePath.isEmpty()
                   ? std::make_unique<JobLogStore>(m_ctx.environment, m_ctx.clock, *this)
                   : std::make_unique<JobLogStore>(m_ctx.environment, m_ctx.clock, *this, m_ctx.templatePath);
    m_jobLog->setWriteNotice([this](const QString& text) {
        setStatusPanelText(1, QStringLiteral("Job log ") + text + QLatin1Char(' ') + timeText());
    });
    m_liveViewDialogs = std::make_unique<ConnectionBoxDialogs>(m_ctx.dialogs);
    m_liveView = std::make_unique<WMILiveView>(*this, *m_jobLog, m_ctx.clock, *m_liveViewDialogs);
    m_wmiPrint = std::make_unique<WMIPrint>(m_ctx.printSystem, *this, m_ctx.dialogs, m_ctx.shell,
                                            [this](const PrinterInfo& printer, const QString& server) {
                                                m_propertiesDialog = makePrinterPropertiesDialog(printer, server, this);
                                                m_propertiesDialog->show();
                                            });
    m_printWorker = std::make_unique<PrintWorker>(m_ctx.printSystem);

    buildMenus();
    buildPanels();
    connectHandlers();
    watchPanels();
    bindMonitor();

    resize(twipsToPixels(kStartWidthTwips), twipsToPixels(kDesignHeightTwips));
    setActiveUpdateColour(VbColours::Green);
    setSearchProgress(VbColours::Green);

    Timer1.setInterval(100);
    Timer1.start();
    Timer2.setInterval(1000);
    Timer2.stop();
}

FrmMain::~FrmMain()
{
    // The steps still waiting for a server come to their end in close(): as after a close,
    // none of them goes on with its work.
    m_unloaded = true;
    m_printWorker->close();
    Timer1.stop();
    Timer2.stop();
    delete m_splash.data();
    delete m_computerPicker.data();
}

// ---------------------------------------------------------------------------------------
// The splash window and its progress line

frmSplash& FrmMain::splash()
{
    // Referring to the splash window loads it (hidden) and starts its timer.
    if (m_splash.isNull()) {
        m_splash = new frmSplash(this);
        m_splash->Form_Load();
        m_splash->Timer1.setInterval(frmSplash::kDesignInterval);
        m_splash->Timer1.start();
    }
    return *m_splash;
}

void FrmMain::unloadSplash()
{
    if (!m_splash.isNull()) {
        m_splash->Timer1.stop();
        m_splash->hide();
        delete m_splash.data();
    }
}

QString FrmMain::progressText()
{
    return splash().lblStatus->text();
}

void FrmMain::appendProgress(const QString& piece)
{
    QLabel* status = splash().lblStatus;
    status->setText(status->text() + piece);
}

// ---------------------------------------------------------------------------------------
// Start-up

bool FrmMain::startupEnded()
{
    if (m_unloaded) {
        // A step that ran on to its end after the shutdown may have armed the timers again.
        Timer1.stop();
        Timer2.stop();
    }
    return m_unloaded;
}

Task<void> FrmMain::Form_Load()
{
    splash().lblStatus->setText(QStringLiteral("Loading....     "));

    // From here on a failing step is passed over and the next one runs; every step below
    // reports its own failures, if any, and none stops the start-up. Only the shutdown
    // does: the window closed while start-up yields (or waits for a slow server) ends the
    // program at once, and nothing of the start-up runs after it.
    setWindowTitle(productName());
    appendProgress(QStringLiteral("History, "));
    appendProgress(QStringLiteral("Internet Connection, "));

    // The update check does not hold the start-up: the reply is shown when it comes.
    WebVersion->Navigate2(updateCheckAddress());

    yieldToEvents();
    if (startupEnded()) {
        co_return;
    }
    if (UserIsAdmin()) {
        mnuMenu->setVisible(true);
    }

    m_appDataFolder = m_ctx.environment.appData();
    m_historyPath = m_appDataFolder + QStringLiteral("/hlv.his");
    m_iniPath = m_appDataFolder + QStringLiteral("/hlv.ini");
    List_Load(CurrentPrinter, m_historyPath);
    yieldToEvents();
    if (startupEnded()) {
        co_return;
    }

    appendProgress(QStringLiteral("Settings, "));
    resize(twipsToPixels(kStartWidthTwips), height());
    rememberNormalSize();
    SessionPrinted = 0;

    LoadSettings();

    writeAudit(QStringLiteral("Program"), QStringLiteral("Queue Manager Started"));
    yieldToEvents();
    if (startupEnded()) {
        co_return;
    }

    applyColumnLayout();
    co_await ConnectStartupQueue();
    if (startupEnded()) {
        co_return;
    }
    appendProgress(QStringLiteral("Done."));

    co_await GetCommandLine();
    if (startupEnded()) {
        co_return;
    }

    yieldToEvents();
    if (!m_splash.isNull()) {
        m_splash->update();
    }
}

void FrmMain::applyColumnLayout()
{
    if (m_settings.ColumnWidths.isEmpty()) {
        m_settings.ColumnWidths = SettingsDefaults::kColumnWidths;
    }
    if (m_settings.ColumnPositions.isEmpty()) {
        m_settings.ColumnPositions = SettingsDefaults::kColumnPositions;
    }
    const QStringList widths = m_settings.ColumnWidths.split(QLatin1Char(','));
    const QStringList positions = m_settings.ColumnPositions.split(QLatin1Char(','));
    QHeaderView* header = JobList->header();
    const int columns = JobList->columnCount();
    for (int i = 0; i < columns; ++i) {
        // A missing or unreadable value leaves that column at its design width or place.
        bool ok = false;
        const double width = i < widths.size() ? widths.at(i).trimmed().toDouble(&ok) : 0.0;
        if (ok && width >= 0) {
            JobList->setColumnWidth(i, twipsToPixels(width, logicalDpiX()));
            m_columnTwips[i] = width;
        }
        const auto position = i < positions.size() ? wholeNumber(positions.at(i)) : std::nullopt;
        if (position && *position >= 1 && *position <= columns) {
            header->moveSection(header->visualIndex(i), *position - 1);
        }
    }
}

Task<void> FrmMain::ConnectStartupQueue()
{
    // Until the saved queue is selected, a close keeps it as the saved queue.
    m_startupQueue = m_settings.Queue;
    CurrentPrinter->setEditText(!m_settings.Server.isEmpty() ? m_settings.Server : m_ctx.environment.computerName());
    appendProgress(QStringLiteral("Server (") + serverBoxText() + QStringLiteral("), "));
    appendProgress(QStringLiteral("WMI Connection") + QStringLiteral(", "));

    const bool searched = co_await FindPrintQueues_Click();
    const quint64 search = m_searchGeneration;
    yieldToEvents();
    if (startupEnded()) {
        co_return;
    }
    if (!searched) {
        // The operator searched for another server while the start-up waited for this one:
        // the saved queue and automation belong to the server the start-up asked for.
        m_startupQueue.reset();
        co_return;
    }

    // Every entry equal to the saved queue is selected in turn, as a user's choice would.
    if (!m_settings.Queue.isEmpty()) {
        for (int i = 0; i < CurrentPrintQueue->count(); ++i) {
            if (startupEnded()) {
                co_return;
            }
            if (search != m_searchGeneration) {
                // The operator searched meanwhile: the queue box lists another server's.
                m_startupQueue.reset();
                co_return;
            }
            if (CurrentPrintQueue->itemText(i) == m_settings.Queue) {
                co_await selectQueueEntry(i);
            }
        }
    }
    if (startupEnded()) {
        co_return;
    }

    // A saved queue the start-up did not find (its server down, the queue gone) stays the
    // saved queue until the operator chooses one: a run that could not reach it must not
    // lose the operator's setting.
    if (m_settings.Queue.isEmpty() || queueBoxText() == m_settings.Queue) {
        m_startupQueue.reset();
    }
    appendProgress(QStringLiteral("Queue (") + m_settings.Queue + QStringLiteral("), "));
    appendProgress(QStringLiteral("WMI Job Monitor") + QStringLiteral(", "));
    yieldToEvents();
    if (startupEnded()) {
        co_return;
    }

    co_await CurrentPrintQueue_Click();
    if (startupEnded()) {
        co_return;
    }

    if (const auto autoQueue = wholeNumber(m_settings.AutoQueue)) {
        setValue(chkAutoQueue, *autoQueue);
    }
    if (const auto timedRelease = wholeNumber(m_settings.TimedRelease)) {
        setValue(chkTimed, *timedRelease);
    }
    if (!m_settings.TimedReleaseTime.isEmpty()) {
        txtTimed->setText(m_settings.TimedReleaseTime);
    }
    if (m_settings.TimedReleaseAction == QStringLiteral("PRINT")) {
        optTimed[0]->setChecked(true);
    } else if (m_settings.TimedReleaseAction == QStringLiteral("CLEAR")) {
        optTimed[1]->setChecked(true);
    }
    yieldToEvents();
}

void FrmMain::showAfterLoad()
{
    if (m_unloaded) {
        return;
    }
    show();
}

// ---------------------------------------------------------------------------------------
// Shutdown

void FrmMain::Form_Unload()
{
    if (m_unloaded) {
        return;
    }
    m_unloaded = true;
    Timer1.stop();
    Timer2.stop();
    // Nothing waits for a print server any more: every wait ends, and a server that hangs
    // does not hold the close.
    m_printWorker->close();
    // The monitor is stopped and waited for, so that it cancels its subscription and no
    // server process is left running when the program goes.
    mwcmnMonitor->EndJobMonitor();
    KillProcess(QString::fromLatin1(kJobMonitorBuild.programName));
    writeAudit(QStringLiteral("Program"), QStringLiteral("Queue Manager Shutdown"));
    SaveSettings();
    unloadSplash();
    if (m_ctx.endProgram) {
        m_ctx.endProgram();
    }
}

void FrmMain::Form_Terminate()
{
    close();
}

void FrmMain::menuExit_Click()
{
    close();
    // close() ran the shutdown, which ends the program; a window that was never shown is
    // closed the same way.
    Form_Unload();
}

void FrmMain::mnuAbout_Click()
{
    frmSplash& about = splash();
    about.Timer1.stop();
    about.show();
    about.raise();
    about.Timer1.setInterval(10000);
    about.Timer1.start();
}

} // namespace hlv
