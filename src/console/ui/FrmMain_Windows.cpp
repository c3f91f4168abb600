// The settings and statistics windows opened from the main window, and the two commands of
// the settings window that reach beyond it: resetting the job log and ending the program
// after a reset of the settings.

#include "console/ui/ConsoleContext.h"
#include "console/ui/FrmMain.h"
#include "console/ui/FrmSettings.h"
#include "console/ui/FrmStats.h"
#include "jobmonitor/MonitorBuilds.h"
#include "jobmonitor/client/MonitorBinding.h"
#include "platform/Clock.h"
#include "store/JobLogArchive.h"
#include "store/JobLogStore.h"

namespace hlv {

namespace {

// Brings a window that is already open to the front, or shows it for the first time.
void showModeless(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

void FrmMain::mnuOptions_Click()
{
    if (m_settingsWindow.window.isNull()) {
        m_settingsWindow.window = new FrmSettings(*this, this);
    }
    showModeless(m_settingsWindow.window);
}

void FrmMain::MenuStatistics_Click()
{
    showModeless(&statsWindow());
}

FrmStats& FrmMain::statsWindow()
{
    if (m_statsWindow.window.isNull()) {
        m_statsWindow.window = new FrmStats(*this, this);
    }
    return *qobject_cast<FrmStats*>(m_statsWindow.window.data());
}

FrmSettings* FrmMain::settingsWindow() const
{
    return qobject_cast<FrmSettings*>(m_settingsWindow.window.data());
}

FrmStats* FrmMain::loadedStatsWindow() const
{
    return qobject_cast<FrmStats*>(m_statsWindow.window.data());
}

void FrmMain::ResetLogDatabase()
{
    JobLogArchive archive(*m_jobLog, m_ctx.dialogs, m_ctx.clock);
    // Every job listed is recorded anew, into a fresh log made from the template.
    archive.ResetLogDatabase([this] { detach(RefreshJobList(serverBoxText(), queueBoxText())); });
}

void FrmMain::EndWithoutShutdown()
{
    m_unloaded = true;
    Timer1.stop();
    Timer2.stop();
    // The job monitor server is this program's child; it must not outlive the program, nor
    // leave its subscription behind on the print server.
    mwcmnMonitor->EndJobMonitor();
    KillProcess(QString::fromLatin1(kJobMonitorBuild.programName));
    if (m_ctx.endProgram) {
        m_ctx.endProgram();
    }
}

} // namespace hlv
