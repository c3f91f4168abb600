#pragma once

#include <array>
#include <memory>

#include <QDateTime>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QTimer>

#include "jobmonitor/client/MonitorRestart.h"
#include "watch/JobEventProcessing.h"
#include "watch/MailTrouble.h"
#include "watch/WatchSettings.h"
#include "watch/frmMailer.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace hlv {

class IniFile;
class MonitorBinding;
class WatchJobLog;
struct WatchContext;

// The watch program's one window: the server to watch, Start and Stop, what the job monitor
// last reported, and the menus that choose what is recorded (CSV file, job log) and how
// trouble is reported (popup message, e-mail). It spends most of its life hidden behind its
// notification-area icon. Its settings are the state of its controls, kept in hlvw.ini.
//
//   control                  | Idle     | Watching
//   -------------------------+----------+-------------------
//   cmdStart, mnuStartStop[0]| enabled  | disabled
//   cmdStop,  mnuStartStop[1]| disabled | enabled
//   txtComputer              | enabled  | disabled
//   job monitor              | none     | a running monitor (none when it could not start)
//
// Idle -> Watching by cmdStart_Click (button, icon menu, or the start-up option), back by
// cmdStop_Click. Connection states do not change the state. The status shows the monitor's
// last connection state while watching, "Disconnected" once its server process has ended
// or watching has stopped; a state arriving while Idle is not shown.
//
// While watching, a monitor whose server process ends (or that cannot be started) is a
// trouble: it is reported once through the chosen alerts (message, e-mail) and shown in
// the icon's tip, and the monitor is started again after 1 s, then after twice as long at
// each failed attempt, up to 60 s. The new monitor takes the jobs as the last one knew them,
// so what changed meanwhile arrives as job events. The trouble ends with its "Connected".
class frmWatch : public QMainWindow, private MailCaptions
{
    Q_OBJECT
public:
    explicit frmWatch(WatchContext& context);
    ~frmWatch() override;

    // Start-up: show the window, add the icon, fill the server box with this computer's name
    // and load the settings (which may minimise the window and start watching).
    void Form_Load();
    // Shutdown: save the settings, remove the icon, end the job monitor process, and end
    // the program. Runs once; closing the window runs it.
    void Form_Unload();
    bool isUnloaded() const { return m_unloaded; }

    void cmdStart_Click();
    void cmdStop_Click();
    void mnuStartStop_Click(int index);
    void mwcmnMonitor_ConnectEvent(const QString& strConnect);
    void mwcmnMonitor_JobEvent(const QString& strAction, const QString& strDetail);
    void KillProcess(const QString& processName);

    // The icon's mouse messages (514, 515, 517).
    void trayIconMessage(int code);
    void mPopRestore_Click();

    void mnuMailServer_Click();
    void mnuMailFrom_Click();
    void mnuMailTo_Click();
    void mnuComputer_Click();
    void mnuJobsCSVfile_Click();
    void mnuHlvDatabase_Click();
    void mnuJobDatabase_Click();
    void mnuJobsPopup_Click();
    void mnuJobsEmail_Click();
    void mnuMinimised_Click();
    void mnuStartAuto_Click();
    void mnuWatchJobs_Click();
    void mnuTestMessage_Click();
    void mnuTestEmail_Click();
    void mnuJobsCSVview_Click();
    void mnuHelpContents_Click();
    void mnuExit_Click();

    void SaveWatchSettings();
    void LoadWatchSettings();

    // What the Record and Alert menus say now.
    WatchOutputs currentOutputs() const;
    // The mail window while it is loaded, else null.
    frmMailer* mailer() const { return m_mailer.data(); }
    MailAlert& mailAlert() { return m_mailAlert; }
    // The window that tells of alert mails not sent; null until the first one.
    MailTroubleWindow* mailTrouble() const { return m_mailTrouble.data(); }
    MonitorBinding* monitorBinding() const { return m_binding.get(); }
    QString iniPath() const;
    bool isWatching() const { return m_watching; }
    // A monitor stopped while watching and is not running again yet.
    bool monitorDown() const { return m_monitorDown; }
    // What the tray tells of job log writes waiting for the disk; empty without trouble.
    QString jobLogTrouble() const { return m_jobLogTrouble; }
    // The wait before the next start of the monitor; 0 when none is due.
    int monitorRestartDelayMs() const { return m_restartTimer.isActive() ? m_restart.waitMs() : 0; }

    static QString helpFileName();

    // Controls.
    QLabel* lblServer = nullptr;
    QLineEdit* txtComputer = nullptr;
    QPushButton* cmdStart = nullptr;
    QPushButton* cmdStop = nullptr;
    QLabel* lblStatus = nullptr;
    QLabel* lblAction = nullptr;
    std::array<QRadioButton*, 3> optWatch{};
    QLabel* lblRawData = nullptr;
    QPlainTextEdit* lblDetails = nullptr;
    QLabel* lblTranslatedData = nullptr;
    QPlainTextEdit* lblDetailsTranslated = nullptr;

    // Menus.
    QMenu* mnuSettings = nullptr;
    QMenu* mnuemail = nullptr;
    QAction* mnuMailServer = nullptr;
    QAction* mnuMailTo = nullptr;
    QAction* mnuMailFrom = nullptr;
    QAction* mnuTestEmail = nullptr;
    QMenu* mnumessage = nullptr;
    QAction* mnuComputer = nullptr;
    QAction* mnuTestMessage = nullptr;
    QMenu* mnuDatabase = nullptr;
    QAction* mnuHlvDatabase = nullptr;
    QAction* mnuMinimised = nullptr;
    QAction* mnuStartAuto = nullptr;
    QAction* mnuExit = nullptr;
    QMenu* mnuWatch = nullptr;
    QAction* mnuWatchJobs = nullptr;
    QMenu* mnuRecord = nullptr;
    QMenu* mnuRecordJobs = nullptr;
    QAction* mnuJobDatabase = nullptr;
    QAction* mnuJobsCSVfile = nullptr;
    QAction* mnuJobsCSVview = nullptr;
    QMenu* mnuAlert = nullptr;
    QMenu* mnuAlertJobs = nullptr;
    QAction* mnuJobsPopup = nullptr;
    QAction* mnuJobsEmail = nullptr;
    QMenu* mPopupSys = nullptr;
    std::array<QAction*, 2> mnuStartStop{};
    QAction* mPopRestore = nullptr;
    QAction* mPopExit = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpContents = nullptr;

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    QAction* item(QMenu* menu, const QString& caption, void (frmWatch::*handler)(), bool checkable);
    void valueMenu(QAction* menu, const char* unsetWord, const QString& prompt, const QString& emptyMessage,
                   bool bracketed);
    void fileMenu(QAction* menu, const char* unsetWord, const QString& filter);
    void setIdle(bool idle);
    // The connection state in the status and translated boxes.
    void showConnectState(const QString& strConnect);
    void showMailer();
    // Starts the monitor on the server box; resume takes the jobs the last one knew.
    void startMonitor(bool resume);
    void monitorLost();
    void restartMonitor();
    void alertNotMailed(const QString& why);
    void alertMailed();
    // The icon's tip: the program's name, and each trouble that lasts.
    void updateTrayTip();
    WatchSettingsState settingsState() const;
    void applySettingsState(const WatchSettingsState& state);

    // MailCaptions
    QString mailServerCaption() const override;
    QString mailFromCaption() const override;
    QString mailToCaption() const override;

    WatchContext& m_ctx;
    std::unique_ptr<IniFile> m_ini;
    std::unique_ptr<MonitorBinding> m_binding;
    std::unique_ptr<WatchJobLog> m_jobLog;
    std::unique_ptr<JobEventProcessor> m_processor;
    MailAlert m_mailAlert;
    QPointer<frmMailer> m_mailer;
    QPointer<MailTroubleWindow> m_mailTrouble;
    QTimer m_restartTimer;
    MonitorRestart m_restart{0, 0};
    bool m_monitorDown = false; // shown as stopped: from its end to the next "Connected"
    QString m_jobLogTrouble;    // writes of the job log waiting for its disk
    QString m_csvTrouble;       // the CSV file refusing lines
    QDateTime m_monitorDownSince;
    bool m_watching = false;
    bool m_unloaded = false;
    bool m_iconAdded = false;
};

} // namespace hlv
