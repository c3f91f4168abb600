#pragma once

#include <QStringList>
#include <QWidget>

class QListWidget;
class QPushButton;

namespace hlv {

class Environment;
class FrmMain;
class NetworkResources;

// The computer picker: lists the servers a network scan finds; Select puts the chosen one
// into the main window's server box and searches it, as if the operator had typed it.
//
// Life cycle:
//   Form_Load     first scan, before the window is shown (the main window shows the
//                 hourglass and hides its own search button meanwhile)
//   Refresh       scans again and adds what it finds below the items already listed
//   Select        fills the server box, searches the server, unloads the picker
//   Cancel/close  unloads the picker
class FrmComputers : public QWidget
{
    Q_OBJECT

public:
    // network: where the scans look; nullptr: a network where nothing is found.
    FrmComputers(FrmMain& main, NetworkResources* network, const Environment& environment);

    void Form_Load();
    void cmdSelect_Click();
    void cmdRefresh_Click();
    void cmdCancel_Click();
    void Form_Terminate();
    void Form_Unload() {}

    // The names of a server list ("\\name," for each server): each piece before a comma,
    // without the backslashes; a final piece without a comma and empty pieces are left out.
    static QStringList serverNames(const QString& serverList);

    QListWidget* lstComputers = nullptr;
    QPushButton* cmdSelect = nullptr;
    QPushButton* cmdRefresh = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void LoadComputers();
    void unload();

    FrmMain& m_main;
    NetworkResources* m_network;
    const Environment& m_environment;
    bool m_unloading = false;
};

} // namespace hlv
