// The panel, status bar and ServerView switches. Each panel's menu entry carries its
// check mark, which always equals the panel's visibility, and its settings flag.
#include <QAction>
#include <QGroupBox>
#include <QStatusBar>

#include "console/ui/FrmMain.h"

namespace hlv {

void FrmMain::panelSwitch(QAction* entry, QWidget* frame, QString& flag)
{
    if (entry->isChecked()) {
        frame->setVisible(false);
        entry->setChecked(false);
        flag = QStringLiteral("False");
    } else {
        // The updates panel stays hidden while the update check's site cannot be reached.
        frame->setVisible(!(frame == frmOnline && m_updateCheckUnreachable));
        entry->setChecked(true);
        flag = QStringLiteral("True");
    }
    Form_Resize();
}

void FrmMain::mnuSearchQueue_Click()
{
    panelSwitch(mnuSearchQueue, PrintQueue, m_settings.ShowSearch);
}

void FrmMain::mnuQueueInfo_Click()
{
    panelSwitch(mnuQueueInfo, frmQueueInfo, m_settings.ShowQueueInfo);
}

void FrmMain::mnuQueueControl_Click()
{
    panelSwitch(mnuQueueControl, frmQueueControl, m_settings.ShowQueueControl);
}

void FrmMain::mnuFavouritesPanel_Click()
{
    panelSwitch(mnuFavouritesPanel, FrameFavourites, m_settings.FavouritesPanel);
}

void FrmMain::mnuNetwork_Click()
{
    panelSwitch(mnuNetwork, frmServer, m_settings.ShowNetwork);
}

void FrmMain::mnuOnline_Click()
{
    panelSwitch(mnuOnline, frmOnline, m_settings.ShowUpdates);
}

void FrmMain::mnuStatusBar_Click()
{
    if (mnuStatusBar->isChecked()) {
        mnuStatusBar->setChecked(false);
        StatusBar1->setVisible(false);
    } else {
        mnuStatusBar->setChecked(true);
        StatusBar1->setVisible(true);
    }
    Form_Resize();
}

void FrmMain::mnuClosePanel_Click()
{
    const std::initializer_list<std::pair<QAction*, void (FrmMain::*)()>> panels = {
        {mnuQueueInfo, &FrmMain::mnuQueueInfo_Click},     {mnuQueueControl, &FrmMain::mnuQueueControl_Click},
        {mnuNetwork, &FrmMain::mnuNetwork_Click},         {mnuOnline, &FrmMain::mnuOnline_Click},
        {mnuSearchQueue, &FrmMain::mnuSearchQueue_Click}, {mnuFavouritesPanel, &FrmMain::mnuFavouritesPanel_Click}};
    for (const auto& [entry, handler] : panels) {
        if (entry->isChecked()) {
            (this->*handler)();
        }
    }
    Form_Resize();
}

void FrmMain::mnuSearch_Click()
{
    if (ServerViewShown) {
        ServerViewShown = false;
        FrameSearch->setVisible(false);
        mnuSearch->setText(QStringLiteral("ServerView"));
    } else {
        ServerViewShown = true;
        FrameSearch->setVisible(true);
        mnuSearch->setText(QStringLiteral("Hide ServerView"));
        FrameSearch->move(0, 0);
        FrameSearch->raise();
    }
}

} // namespace hlv
