#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>

#include <QDateTime>
#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>

#include "console/access/ConnectionSurface.h"
#include "console/access/Task.h"
#include "console/access/WMILiveView.h"
#include "console/ui/ConsoleSettings.h"
#include "jobmonitor/client/MonitorRestart.h"
#include "platform/PrintSystem.h"
#include "store/StoreHost.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QToolButton;

namespace hlv {

class ClickLabel;
class IniFile;
class JobListWidget;
class JobLogStore;
class Lamp;
class MonitorBinding;
class PrintWorker;
class ServerLink;
class WMIPrint;
class ConnectionBoxDialogs;
class WebBrowser;
class frmSplash;
struct JobRowValues;
struct ConsoleContext;

// The rule for print servers: this window never calls a PrintServer on its own thread. Every
// call goes to the print worker (PrintWorker.h) with what the action works on captured when
// the operator (or a tick) started it: server, queue (ActionScope), the rows and job states.
// A step that needs a server's answer before it goes on is a Task that co_awaits it: the
// window's own event loop runs meanwhile (no loop is nested for a server), and the step goes
// on when the answer comes. After any wait, nothing of that is read again from the
// controls; a step may find another server or queue shown, and a search may have replaced
// ServerContainer. An action that is already waiting for its server refuses a second start
// of itself. A handler whose outcome nobody needs lets its Task go with detach().
//
// The console's main window. It is the start-up object: Form_Load runs the whole start-up
// (settings, history, connection to the last server and queue), Form_Unload the whole
// shutdown. Its members carry the names of the controls they stand for and its methods the
// names of the handlers they run, so the window reads like the design it implements.
//
// The class is split over files by concern:
//   FrmMain_Controls.cpp       building controls and menus, small control helpers
//   FrmMain_Startup.cpp        Form_Load, ConnectStartupQueue, Form_Unload, exit, About
//   FrmMain_Settings.cpp       LoadSettings, SaveSettings
//   FrmMain_Server.cpp         server search, history, job reload, network search
//   FrmMain_Queue.cpp          queue selection and view refresh
//   FrmMain_JobLists.cpp       job list columns, icons, sorting, job menu, monitor binding
//   FrmMain_Panels.cpp         the panel and status bar switches
//   FrmMain_Layout.cpp         placing the panels on resize, the hover borders
//   FrmMain_Polling.cpp        the display timer and the polling loop
//   FrmMain_Automation.cpp     AutoQueue, AutoRelease, AutoActivate, Exceptions
//   FrmMain_JobActions.cpp     the Jobs menu's commands on the selected job
//   FrmMain_QueueActions.cpp   commands on the selected queue as a whole
//   FrmMain_ActionSupport.cpp  what the job and queue actions share
//   FrmMain_Favourites.cpp     favourites
//   FrmMain_MenuViews.cpp      the menu styles and the administrator test
//   FrmMain_CommandLine.cpp    the command line
//   FrmMain_Browser.cpp        server view, updates panel, update command, launchers
//   FrmMain_Windows.cpp        the settings and statistics windows, the log reset
//   FrmMain_Reports.cpp        reports and log commands
//
// Everything from outside (print system, dialogs, shell, clock, environment, job monitor,
// administrator test) comes in through the ConsoleContext, so tests build the window
// headless over fakes.
class FrmMain : public QMainWindow, public StoreHost, public LiveViewSurface, public ConnectionSurface
{
    Q_OBJECT

public:
    explicit FrmMain(ConsoleContext& context, QWidget* parent = nullptr);
    ~FrmMain() override;

    static QString productName() { return QStringLiteral("Halvern"); }
    // Major.Minor.Revision of the program.
    static QString versionText();
    // The update-check page that start-up lets the updates browser load.
    static QString updateCheckAddress();

    // ---- start-up and shutdown ----
    Task<void> Form_Load();
    void Form_Unload();
    void Form_Terminate();
    void menuExit_Click();
    void mnuAbout_Click();
    // Shows the window after start-up (maximised when the settings asked for it), unless
    // the start-up already ended the program.
    void showAfterLoad();
    bool isUnloaded() const { return m_unloaded; }
    // The program's exit status: non-zero when a report asked for on the command line
    // could not be written.
    int exitStatus() const { return m_exitStatus; }

    // ---- settings ----
    void LoadSettings();
    void SaveSettings();
    ConsoleSettings& settings() { return m_settings; }
    const ConsoleSettings& settings() const { return m_settings; }

    // ---- server selection and history ----
    // True when this search ran to its end: false when a Resume All refused it, a later
    // search superseded it while it waited for its server, or the window was closed.
    Task<bool> FindPrintQueues_Click();
    void CurrentPrinter_KeyDown(int KeyCode, int Shift);
    void FindComputers_Click();
    void cmdRefreshJobs_Click();
    void List_Add(QComboBox* thelist, const QString& text);
    void List_Load(QComboBox* thelist, const QString& FileName);
    void List_Save(QComboBox* thelist, const QString& FileName);

    // ---- queue selection ----
    Task<void> CurrentPrintQueue_Click();
    // The selected queue of the connected server, or nothing.
    Task<std::optional<PrinterInfo>> GetPrintQueue();
    // What an action on the queue works on, taken when the operator (or a tick) starts it:
    // after a wait for the server it still names the server, queue and connection of that
    // moment, whatever the window shows by then.
    struct ActionScope
    {
        QString server;     // the bound server
        QString shownQueue; // the queue box's text
        std::shared_ptr<ServerLink> container;
        std::optional<PrinterInfo> queue;
        QString queueName() const { return queue ? queue->queueName() : QString(); }
    };
    // The scope of an action started now (the queue looked up on the server when no reading
    // has listed it yet: the one wait it may make).
    Task<ActionScope> actionScope();
    // Selects entry index of the queue box and runs its Click handler, as a user's choice.
    Task<void> selectQueueEntry(int index);
    // Sets the queue box's text: selects the first entry equal to it (running the Click
    // handler) or, when no entry matches, leaves no entry selected.
    Task<void> setQueueBoxText(QString text);

    // ---- job lists ----
    void JobList_ColumnClick(int column);
    void SearchList_ColumnClick(int column);
    void JobList_DblClick();
    void JobList_MouseDown(int Button, int Shift, int X, int Y);
    void mwcmnMonitor_JobEvent(const QString& strAction, const QString& strDetail);
    void mwcmnMonitor_ConnectEvent(const QString& strConnect);
    // The full retrieval and the queue filter of the live view, on the bound server. The
    // server is read on the print worker while the window's events run (the retrieval's
    // one yield); false when the answer was not waited for (a search superseded it, or the
    // window was closed).
    Task<bool> RefreshJobList(QString Server, QString Queue);
    void FilterQueueJobs(const QString& Queue);

    // ---- the server connection the job lists read ----
    // Marks the start of a bind to Server: the lamp goes blue, and cyan when the next
    // reading finds the server connected (it stays blue when it cannot be reached).
    void ConnectServer(const QString& Server);
    WMIPrint& wmiPrint() { return *m_wmiPrint; }
    // The printer properties window last shown, while it is open.
    QWidget* propertiesDialog() const { return m_propertiesDialog.data(); }
    // Runs every call that may wait on the searched server away from the window's thread.
    PrintWorker& printWorker() { return *m_printWorker; }
    // The server last searched for: the lists, the monitor and the job log belong to it.
    QString boundServerName() const override { return m_boundServer; }
    // A polling tick has started and not yet ended (its reading may still be out).
    bool pollTickRunning() const { return m_pollTickRunning; }
    // The searched server did not answer the last polling reading (shown as lost).
    bool serverLost() const { return m_serverLost; }

    // ---- job monitor binding ----
    void StartJobMonitor(const QString& Server);
    void StopJobMonitor();
    void KillProcess(const QString& processName);
    MonitorBinding* monitorBinding() const { return mwcmnMonitor.get(); }
    // The wait before the next start of a monitor that stopped; 0 when none is due.
    int monitorRestartDelayMs() const { return m_monitorRestart.isActive() ? m_monitorRestartRule.waitMs() : 0; }

    // ---- menu views and the administrator test ----
    bool UserIsAdmin();
    void SwSimpleView(QString TempView = QString());
    void mnuMenu_Click();
    Task<void> GetCommandLine(int MaxArgs = 10);

    // ---- panels (switches; the layout itself is Form_Resize) ----
    void Form_Resize();
    void mnuSearchQueue_Click();
    void mnuQueueInfo_Click();
    void mnuQueueControl_Click();
    void mnuFavouritesPanel_Click();
    void mnuNetwork_Click();
    void mnuOnline_Click();
    void mnuStatusBar_Click();
    void mnuClosePanel_Click();
    void mnuSearch_Click();

    // ---- job actions ----
    Task<void> MenuResumeJob_Click();
    Task<void> MenuPauseJob_Click();
    Task<void> MenuRemove_Click();
    Task<void> MenuPriority_Click();
    Task<void> mnuLogComment_Click();
    void mnuJobProperties_Click();
    // ---- queue actions ----
    Task<void> MenuPause_Click();
    Task<void> MenuResume_Click();
    Task<void> mnupausealljobs_Click();
    Task<void> mnuresumealljobs_Click();
    Task<void> MenuPurge_Click();
    Task<void> PurgeAllJobs(bool Silent);
    Task<void> mnuPrinterProperties_Click();
    Task<void> mnutestpage_Click();
    Task<void> imgPlay_Click();
    Task<void> imgPause_Click();
    Task<void> cmdPrintProperty_Click();
    Task<void> cmdTestPage_Click();
    void frmQueueControl_MouseDown(int Button, int Shift, int X, int Y);
    // ---- quick-action popup ----
    void showQuickAction();
    // ---- timers and automation ----
    void Timer1_Timer();
    void Timer2_Timer();
    Task<void> chkAutoQueue_Click();
    void chkTimed_Click();
    void chkAA_Click();
    Task<void> chkTimedRelease();
    Task<void> ResumeExceptions();
    // ---- favourites ----
    void imgFavourite_Click();
    void mnuAddFav_Click();
    void favbutton_Click(int Index);
    void mnuFav_Click(int Index);
    void mnuDelFav_Click();
    void mnuExportFav_Click();
    void mnuImportFav_Click();
    // ---- server view, update check and launchers ----
    void Image2_Click();
    void Image3_Click();
    void Image4_Click();
    void Image5_Click();
    void WebVersion_StatusTextChange(const QString& Text);
    void mnuUpdate_Click();
    void lblWebsite_Click();
    void Help_Click();
    void mnuNew_Click();
    void mnupsr_Click();
    void MenuStatistics_Click();
    void mnuOptions_Click();
    // ---- log and report commands ----
    Task<void> mnuPrinterReport_Click();
    Task<void> mnuPrinterReportnj_Click();
    Task<void> mnuServerReport_Click();
    Task<void> mnuServerReportnj_Click();
    Task<void> mnuFavReport_Click();
    void mnuLogRptToday_Click();
    void mnuLogFullReportCSV_Click();
    void mnuLogFullReportEmail_Click();
    void mnuLogFullReportHTML_Click();
    void mnuLogRptPrinter_Click();
    void mnuLogRptUser_Click();
    void mnuLogRptDailyJobs_Click();
    void mnuLogRptMonthlyJobs_Click();
    void mnuLogRptHLV_Click();
    void mnuAuditRptToday_Click();
    void mnuAuditRptActions_Click();
    void mnuExportLog_Click();
    // Writes the whole log to the CSV file for the operator to open or mail. When the file
    // could not be written a box says so (its path and why) and false is returned: the
    // file of an earlier export must not pass for this one.
    bool exportLogCsv();
    // The box of an output file (a report, the CSV export) that could not be written.
    void showNotWritten(const QString& kind, const QString& path, const QString& why);

    // ---- StoreHost ----
    QString serverBoxText() const override;
    QString queueBoxText() const override;
    bool autoQueueChecked() const override;
    QString logPath() const override;
    bool auditOn() const override;

    // ---- what the connection code shows on the window ----
    void setActiveUpdateColour(quint32 bgr);
    quint32 activeUpdateColour() const;
    void setBusyPointer(bool busy) override;
    void setActiveUpdateColor(quint32 bgr) override { setActiveUpdateColour(bgr); }
    void setMainBusy(bool busy) override;
    void setJobListBusy(bool busy) override;

    // ---- small helpers other parts of the window use ----
    // Panel i (1 to 4) of the status bar.
    QString statusPanelText(int panel) const;
    void setStatusPanelText(int panel, const QString& text);
    // The start-up progress line of the splash window (loads the splash when needed).
    QString progressText();
    void appendProgress(const QString& piece);
    frmSplash& splash();
    bool isSplashLoaded() const { return !m_splash.isNull(); }
    void unloadSplash();
    // A check box's value (0 clear, 1 ticked) and setting it from code, which runs its
    // Click handler when the value changes, as a click does.
    static int value(const QCheckBox* box);
    static void setValue(QCheckBox* box, int value);
    // The print status box's back colour (0xBBGGRR).
    quint32 printStatusBackColour() const { return m_printStatusBack; }
    void setPrintStatusBackColour(quint32 bgr);
    QString timeText() const;      // the time of day as the status bar shows it
    QString nowText() const;       // the date and time as the status bar shows it
    void yieldToEvents() override; // let pending window events run once
    void writeAudit(const QString& action, const QString& description);
    JobLogStore& jobLog() { return *m_jobLog; }
    IniFile& iniFile() { return *m_ini; }
    ConsoleContext& context() { return m_ctx; }
    // A caller that waits on it keeps its own reference: a search made meanwhile replaces it.
    std::shared_ptr<ServerLink> serverContainer() const { return ServerContainer; }
    WMILiveView& liveView() { return *m_liveView; }
    QString historyPath() const { return m_historyPath; }
    QString iniPath() const { return m_iniPath; }
    // The twips values of JobList's 11 columns and their 1-based display positions.
    QList<double> jobListColumnWidthsTwips() const;
    QList<int> jobListColumnPositions() const;

    // ---- controls ----
    // menus
    QMenu* menufile = nullptr;
    QAction* mnuNew = nullptr;
    QAction* mnuseparator3 = nullptr;
    QAction* mnuOptions = nullptr;
    QAction* mnuseparator4 = nullptr;
    QAction* mnuseparator5 = nullptr;
    QAction* menuExit = nullptr;
    QMenu* mnuPanels = nullptr;
    QAction* mnuSearchQueue = nullptr;
    QAction* mnuQueueInfo = nullptr;
    QAction* mnuQueueControl = nullptr;
    QAction* mnuFavouritesPanel = nullptr;
    QAction* mnuNetwork = nullptr;
    QAction* mnuOnline = nullptr;
    QAction* mnusepPanel1 = nullptr;
    QAction* mnuClosePanel = nullptr;
    QAction* mnusepPanel2 = nullptr;
    QAction* mnuStatusBar = nullptr;
    QMenu* menuJobs = nullptr;
    QAction* MenuResumeJob = nullptr;
    QAction* MenuPauseJob = nullptr;
    QAction* mnuLogComment = nullptr;
    QAction* mnuseparator0 = nullptr;
    QAction* mnuresumealljobs = nullptr;
    QAction* mnupausealljobs = nullptr;
    QAction* menuSeparator2 = nullptr;
    QAction* MenuRemove = nullptr;
    QAction* menuPurge = nullptr;
    QAction* menuSeparator3 = nullptr;
    QAction* MenuPriority = nullptr;
    QAction* mnuJobProperties = nullptr;
    QMenu* menuPrinter = nullptr;
    QAction* MenuResume = nullptr;
    QAction* MenuPause = nullptr;
    QAction* menuSeparatorP1 = nullptr;
    QAction* mnuPrinterProperties = nullptr;
    QAction* mnutestpage = nullptr;
    QMenu* mnuFavourites = nullptr;
    QAction* mnuAddFav = nullptr;
    QAction* mnuFavSep1 = nullptr;
    std::array<QAction*, 20> mnuFav{};
    QAction* mnuFavSep2 = nullptr;
    QAction* mnuDelFav = nullptr;
    QAction* mnuFavToolsSep = nullptr;
    QAction* mnuImportFav = nullptr;
    QAction* mnuExportFav = nullptr;
    QMenu* mnuReports = nullptr;
    QMenu* mnuPrnRptMenu = nullptr;
    QAction* mnuPrinterReport = nullptr;
    QAction* mnuPrinterReportnj = nullptr;
    QMenu* mnuSrvRptMenu = nullptr;
    QAction* mnuServerReport = nullptr;
    QAction* mnuServerReportnj = nullptr;
    QMenu* mnuFavRptMenu = nullptr;
    QAction* mnuFavReport = nullptr;
    QMenu* mnuLogRptMenu = nullptr;
    QAction* mnuLogRptToday = nullptr;
    QMenu* mnuFullLogReports = nullptr;
    QAction* mnuLogFullReportCSV = nullptr;
    QAction* mnuLogFullReportEmail = nullptr;
    QAction* mnuLogFullReportHTML = nullptr;
    QAction* mnuLogRptPrinter = nullptr;
    QAction* mnuLogRptUser = nullptr;
    QAction* mnuLogRptDailyJobs = nullptr;
    QAction* mnuLogRptMonthlyJobs = nullptr;
    QAction* mnuLogRptHLV = nullptr;
    QMenu* mnuAuditRptMenu = nullptr;
    QAction* mnuAuditRptToday = nullptr;
    QAction* mnuAuditRptActions = nullptr;
    QAction* MenuStatistics = nullptr;
    QAction* mnuSearch = nullptr;
    QMenu* mnuHelpTop = nullptr;
    QAction* mnuAbout = nullptr;
    QAction* Help = nullptr;
    QAction* mnupsrsep = nullptr;
    QAction* mnupsr = nullptr;
    QAction* mnuMenu = nullptr;

    // print queue panel
    QGroupBox* PrintQueue = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* CurrentPrinter = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* CurrentPrintQueue = nullptr;
    QToolButton* FindPrintQueues = nullptr;
    QToolButton* FindComputers = nullptr;
    QLabel* LabelPrintQueues = nullptr;
    // queue information panel
    QGroupBox* frmQueueInfo = nullptr;
    QLineEdit* txtDescription = nullptr;
    QLineEdit* txtPrintPath = nullptr;
    QLineEdit* txtLocation = nullptr;
    QLineEdit* txtModel = nullptr;
    QLineEdit* txtPrintStatus = nullptr;
    // queue control panel
    QGroupBox* frmQueueControl = nullptr;
    QCheckBox* chkAutoQueue = nullptr;
    QCheckBox* chkTimed = nullptr;
    QCheckBox* chkAA = nullptr;
    std::array<QRadioButton*, 2> optTimed{};
    QLineEdit* txtTimed = nullptr;
    QToolButton* cmdRefreshJobs = nullptr;
    QToolButton* cmdPrintProperty = nullptr;
    QToolButton* cmdTestPage = nullptr;
    ClickLabel* imgPlay = nullptr;
    ClickLabel* imgPause = nullptr;
    ClickLabel* imgFavourite = nullptr;
    QLabel* LabelPrintJobs = nullptr;
    Lamp* ActiveUpdate = nullptr;
    // favourites panel
    QGroupBox* FrameFavourites = nullptr;
    std::array<QPushButton*, 20> favbutton{};
    // network panel
    QGroupBox* frmServer = nullptr;
    WebBrowser* WebServer = nullptr;
    ClickLabel* Image2 = nullptr;
    ClickLabel* Image3 = nullptr;
    ClickLabel* Image4 = nullptr;
    ClickLabel* Image5 = nullptr;
    // updates panel
    QGroupBox* frmOnline = nullptr;
    WebBrowser* WebVersion = nullptr;
    QPushButton* mnuUpdate = nullptr;
    ClickLabel* lblWebsite = nullptr;
    QLabel* Label3 = nullptr;
    // ServerView panel
    QGroupBox* FrameSearch = nullptr;
    JobListWidget* SearchList = nullptr;
    QLabel* SearchStatus = nullptr;
    QLabel* ServerStatus = nullptr;
    Lamp* SearchProgress = nullptr;
    // the queue's job list and the status bar
    JobListWidget* JobList = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    std::array<QLabel*, 4> statusPanels{};
    // timers
    QTimer Timer1;
    QTimer Timer2;

    // ---- shared state of the window ----
    QString ActiveServer;
    QString ActiveQueue;
    QString LastServer;
    bool ResumeAllPending = false;
    QString LastReleasedJob;
    // The jobs released under AutoQueue that have not yet printed (QueueAutomation.h).
    QStringList m_releasedJobs;
    double SessionPrinted = 0;
    qint64 SessionDeleted = 0; // wide: a 16-bit count would stop at 32,767 pages
    bool FavouriteAutoActivate = false;
    bool ServerViewShown = false;
    std::shared_ptr<ServerLink> ServerContainer;
    std::optional<PrinterInfo> CurrentQueue;
    std::optional<int> JobListSortMemory;
    std::optional<int> SearchListSortMemory;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The live reports of the menus, with or without their jobs.
    Task<void> runPrinterReport(bool withJobs);
    Task<void> runServerReport(bool withJobs);
    // controls
    void buildMenus();
    void buildPanels();
    void buildJobLists();
    void connectHandlers();
    void applyColumnLayout();
    void rememberNormalSize();
    void setWindowSizeTwips(const QString& width, const QString& height);
    void panelSwitch(QAction* entry, QWidget* frame, QString& flag);
    void applyPrintStatusColour(const QString& status);
    void showComputerPicker();
    Task<void> ConnectStartupQueue();
    // True once the window has been closed during start-up: the start-up ends there.
    bool startupEnded();

    // LiveViewSurface
    JobRowList& searchList() override;
    JobRowList& jobList() override;
    void setSearchStatus(const QString& text) override;
    void setServerStatus(const QString& text) override;
    void setInfoPanel(const QString& text) override;
    void setSearchProgress(quint32 bgr) override;

    // job monitor
    void bindMonitor();
    // A monitor whose server process ended, or that could not be started, is started again
    // after a wait that doubles at each failed attempt until a monitor stays up (the rule
    // the watch program keeps as well); the status bar says so.
    void monitorEnded();
    void restartMonitor();
    QTimer m_monitorRestart;
    MonitorRestart m_monitorRestartRule{0, 0};
    QString m_monitorServer; // the server the monitor was started on

    ConsoleContext& m_ctx;
    ConsoleSettings m_settings;
    std::unique_ptr<IniFile> m_ini;
    std::unique_ptr<JobLogStore> m_jobLog;
    // The live view's boxes: its connection box once per failure, over the shown window.
    std::unique_ptr<ConnectionBoxDialogs> m_liveViewDialogs;
    std::unique_ptr<WMILiveView> m_liveView;
    std::unique_ptr<WMIPrint> m_wmiPrint; // reports' and test pages' connection
    std::unique_ptr<PrintWorker> m_printWorker;
    std::unique_ptr<WebBrowser> m_webServer;
    std::unique_ptr<WebBrowser> m_webVersion;
    std::unique_ptr<MonitorBinding> mwcmnMonitor; // the job monitor and its server process
    QPointer<frmSplash> m_splash;
    QPointer<QWidget> m_propertiesDialog;
    QPointer<QWidget> m_computerPicker;
    QString m_appDataFolder;
    QString m_historyPath;
    QString m_iniPath;
    quint32 m_printStatusBack = 0xFFFFFF;
    // History lines that were not UTF-8, by the name they are shown as, with their bytes.
    QHash<QString, QByteArray> m_historyBytes;
    QString historyName(const QByteArray& line);
    QByteArray historyBytes(const QString& name) const;
    QList<double> m_columnTwips; // the twips each JobList column was last set to
    bool m_unloaded = false;
    int m_exitStatus = 0;

    // ---- job and queue actions, polling loop and automation ----
    // The handlers restart Timer2 (the refresh arms it), so a tick could fire again while
    // its own tick waits in a message box or yields; such a nested tick is skipped.
    bool m_pollTickRunning = false;
    // The polling loop's reading of the queue is out on the print worker.
    bool m_pollReadingPending = false;
    struct PollReading;
    Task<void> pollTickAnswered(PollReading reading, quint64 search, QString queue, quint64 readingId);
    // Shows that the searched server did not answer and sets the next try's delay.
    void showServerLost(const QString& error);
    // Counts the searches: an answer of an earlier search's server is of no use any more.
    quint64 m_searchGeneration = 0;
    QString m_boundServer;
    bool m_connectPending = false; // ConnectServer's lamp waits for the first reading
    quint64 m_jobReadingSeq = 0;   // counts the full retrievals
    bool m_serverLost = false;
    int m_lostTries = 0;
    // The queues of the searched server as its last readings listed them, by queue name.
    QHash<QString, PrinterInfo> m_knownQueues;
    void rememberQueue(const QString& queue, const std::optional<PrinterInfo>& printer);
    // The server and queue whose printer error was last told, until it is fine again.
    QString m_printerErrorShownFor;
    // The queue the start-up is to select, until it has selected it: a close before then
    // keeps it as the saved queue.
    std::optional<QString> m_startupQueue;
    // Releases the job behind the selected row; true when a job of the queue answered to
    // it (a row left over from before a refresh releases nothing and opens nothing).
    Task<bool> releaseSelectedJob();
    // The same for a row taken when the action started, within that action's scope.
    Task<bool> releaseJobRow(JobRowValues row, ActionScope scope);
    // The queue's jobs as the scope's connection reads them now (a wait); empty when they
    // cannot be read.
    static Task<QList<PrintJobInfo>> scopeJobs(ActionScope scope);
    // The queue actions now waiting for their server, by name: a second start of one of
    // them meanwhile is refused.
    QSet<QString> m_actionsWaiting;
    // The last request of each job action still waited for, by the action's name.
    QHash<QString, quint64> m_jobActionRequests;
    bool jobActionWaiting(const QString& action) const;
    // The window's part of releasing one job of the row: its audit record (first: the
    // row's first job), log fields (under queue, the queue box's text when the operator
    // acted) and pages.
    void recordRelease(const JobRowValues& row, const QString& server, const QString& queue, const QString& jobName,
                       bool first);
    // A job action without a wait: the queue's jobs are read on the print worker and act
    // (may be empty) runs there on each job that answers to the selected row; then gets
    // those jobs on the window's thread when the answer comes. A search made meanwhile
    // drops the answer, and then never runs.
    using JobCall = std::function<void(PrintServer& server, const QString& queue, qint64 jobId)>;
    // Returns the reading's request (0: none was posted).
    quint64 actOnSelectedJob(JobCall act, std::function<void(const QList<PrintJobInfo>&)> then);
    // Resume All without AutoQueue: releases every paused row in one batch (jobStatus: the
    // jobs' status bits by name).
    Task<void> releaseAllPausedRows(ActionScope scope, QList<JobRow> listed, QList<PrintJobInfo> jobs);
    // A favourite's own activation from the polling loop: loads it unless a Resume All is
    // pending (then false; the next tick tries again). No box, no delete mode.
    Task<bool> activateFavourite(int Index);
    Task<void> loadFavourite(int Index);
    // Shows a timed-release failure in the status bar and the audit, once for each cause.
    void reportTimedReleaseFault(QLatin1String message, const QString& cause);
    QSet<QString> m_exceptionReleases; // transaction ids of jobs Exceptions released
    int m_activatedFavourite = -1;     // the favourite that loaded itself last, and when
    QDateTime m_activationMinute;
    QString m_timedReleaseFault; // the timed-release failure last reported
    // The minute of the last timed purge of each queue ("server\nqueue"), so that a
    // favourite loaded within that minute still purges its own queue.
    QHash<QString, QDateTime> m_timedPurgeMinutes;
    // Self-activating favourites whose time is not a time, reported once ("slot\ncaption").
    QSet<QString> m_unreadableFavourites;

    // Layout, favourites, command line and menu views
public:
    // Hover borders: a panel is marked while the pointer is well inside it.
    void frmServer_MouseMove(int Button, int Shift, int X, int Y);
    void frmOnline_MouseMove(int Button, int Shift, int X, int Y);
    void frmQueueControl_MouseMove(int Button, int Shift, int X, int Y);
    void frmQueueInfo_MouseMove(int Button, int Shift, int X, int Y);
    void FrameFavourites_MouseMove(int Button, int Shift, int X, int Y);
    void txtLocation_MouseMove(int Button, int Shift, int X, int Y);
    void txtModel_MouseMove(int Button, int Shift, int X, int Y);
    void txtPrintPath_MouseMove(int Button, int Shift, int X, int Y);
    void txtDescription_MouseMove(int Button, int Shift, int X, int Y);
    // A panel's border style: 0 none, 1 single line.
    static int borderStyle(const QGroupBox* frame);
    // Whether favourite slot i (0 to 19) is in use: its menu entry is visible and enabled.
    bool favouriteSlotInUse(int index) const;
    // The help pages shipped beside the programs.
    QString helpFilePath() const;

private:
    // Ends a run of a report switch: records a report that could not be written and shuts down.
    // queue: the queue a printer report is about.
    void endReportRun(bool ok, const QString& report, const QString& server, const QString& queue);
    // The command line asks for a report: the console writes it and closes, nobody sees the
    // job lists.
    bool isReportRun() const;
    void watchPanels();
    void frameMouseMove(QGroupBox* frame, int X, int Y);
    static void setBorderStyle(QGroupBox* frame, int style);
    void setFavouriteSlot(int index, const QString& caption, bool checked);
    void freeFavouriteSlot(int index);
    void showFavouriteMenuEntries();
    QObject* m_panelWatch = nullptr;
    bool m_formResizeRunning = false;

    // Settings and statistics windows
public:
    // The statistics window, loaded hidden on first use (its load computes the figures);
    // the main window's mail commands use its mail procedure.
    class FrmStats& statsWindow();
    // The open settings or statistics window, or nullptr.
    class FrmSettings* settingsWindow() const;
    class FrmStats* loadedStatsWindow() const;
    // Offers an archive copy of the job log, deletes the log and lists the jobs anew, which
    // records them into a fresh log.
    void ResetLogDatabase();
    // Ends the program at once, without the shutdown: no audit record, no settings saved.
    void EndWithoutShutdown();

private:
    // The windows go before the rest of the main window, so nothing they set off while
    // closing (focus changes) reaches a half-destroyed main window.
    struct OwnedWindow
    {
        QPointer<QWidget> window;
        ~OwnedWindow() { delete window.data(); }
    };
    OwnedWindow m_settingsWindow;
    OwnedWindow m_statsWindow;

    // Reports and log commands
public:
    // The live reports of the Reports menu, also run from the command line ("rpt:Printer",
    // "rpt:Server", "rpt:Fav" pass Quiet true): Quiet writes the page without opening it,
    // Collapsible folds each jobs table behind a "Show/Hide Jobs" link.
    // True when the report was written with what it reports on.
    Task<bool> PrinterReport(const QString& Server, const QString& Printer, bool Quiet, bool Collapsible);
    Task<bool> ServerReport(const QString& Server, bool Quiet, bool Collapsible);
    Task<bool> FavouritesReport(bool Quiet);
    // The captions of the favourites in use, in slot order.
    QStringList favouriteCaptions() const;
    // The report procedures (built on first use).
    class WMIReports& wmiReports();
    class LogReports& logReports();

private:
    struct ReportsPart;
    struct ReportsPartDeleter
    {
        void operator()(ReportsPart* part) const;
    };
    ReportsPart& reportsPart();
    std::unique_ptr<ReportsPart, ReportsPartDeleter> m_reports;

    // Server view, update check and launchers
public:
    // The product's web server (update check, update page, home page): the environment
    // variable HLV_WEB_SERVER when set, else http://www.halvern.example.
    static QString webServerAddress();
    // The update page the update command opens.
    static QString updateAddress();
    void WebServer_GotFocus();

private:
    void connectBrowserHandlers();
    bool m_updateCheckUnreachable = false; // the update check's host did not resolve
};

} // namespace hlv
