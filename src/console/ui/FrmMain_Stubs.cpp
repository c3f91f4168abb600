// Handlers of commands whose work is not built yet. The controls and menu entries that run
// them exist and are wired; each handler does nothing until its command is built in its
// own file, when its empty body here goes away.
#include "console/ui/FrmMain.h"

namespace hlv {

// ---- favourites ----
void FrmMain::imgFavourite_Click()
{}
void FrmMain::mnuAddFav_Click()
{}
void FrmMain::favbutton_Click(int Index)
{
    Q_UNUSED(Index);
}
void FrmMain::mnuFav_Click(int Index)
{
    Q_UNUSED(Index);
}
void FrmMain::mnuDelFav_Click()
{}
void FrmMain::mnuExportFav_Click()
{}
void FrmMain::mnuImportFav_Click()
{}

// ---- panel layout ----
void FrmMain::Form_Resize()
{}

// ---- server view, update check and launchers ----
void FrmMain::Image2_Click()
{}
void FrmMain::Image3_Click()
{}
void FrmMain::Image4_Click()
{}
void FrmMain::Image5_Click()
{}
void FrmMain::WebVersion_StatusTextChange(const QString& Text)
{
    Q_UNUSED(Text);
}
void FrmMain::mnuUpdate_Click()
{}
void FrmMain::lblWebsite_Click()
{}
void FrmMain::Help_Click()
{}
void FrmMain::mnuNew_Click()
{}
void FrmMain::mnupsr_Click()
{}
void FrmMain::MenuStatistics_Click()
{}
void FrmMain::mnuOptions_Click()
{}

// ---- command line and menu views ----
void FrmMain::GetCommandLine(int MaxArgs)
{
    Q_UNUSED(MaxArgs);
}
void FrmMain::SwSimpleView(QString TempView)
{
    Q_UNUSED(TempView);
}
void FrmMain::mnuMenu_Click()
{}

// ---- log and report commands ----
void FrmMain::mnuPrinterReport_Click()
{}
void FrmMain::mnuPrinterReportnj_Click()
{}
void FrmMain::mnuServerReport_Click()
{}
void FrmMain::mnuServerReportnj_Click()
{}
void FrmMain::mnuFavReport_Click()
{}
void FrmMain::mnuLogRptToday_Click()
{}
void FrmMain::mnuLogFullReportCSV_Click()
{}
void FrmMain::mnuLogFullReportEmail_Click()
{}
void FrmMain::mnuLogFullReportHTML_Click()
{}
void FrmMain::mnuLogRptPrinter_Click()
{}
void FrmMain::mnuLogRptUser_Click()
{}
void FrmMain::mnuLogRptDailyJobs_Click()
{}
void FrmMain::mnuLogRptMonthlyJobs_Click()
{}
void FrmMain::mnuLogRptHLV_Click()
{}
void FrmMain::mnuAuditRptToday_Click()
{}
void FrmMain::mnuAuditRptActions_Click()
{}
void FrmMain::mnuExportLog_Click()
{}

} // namespace hlv
