#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTemporaryDir>

#include "ConsoleFixture.h"
#include "console/ui/JobListWidget.h"
#include "console/ui/WebBrowser.h"
#include "console/ui/frmSplash.h"
#include "platform/Environment.h"
#include "support/Settle.h"

namespace hlv::test {
namespace {

class StartupTest : public ConsoleFixture
{};

TEST_F(StartupTest, FormLoad_FullStartUp_ProgressPiecesInOrder)
{
    addQueue(QStringLiteral("PS1"), QStringLiteral("Sales"));
    writeIni(QStringLiteral("[Halvern]\nServer=PS1\nQueue=Sales\nAutoQueue=1\nTimedRelease=1\n"
                            "TimedReleaseTime=6:00 PM\nTimedReleaseAction=PRINT\n"));
    FrmMain& w = start();
    EXPECT_EQ(w.progressText(), QStringLiteral("Loading....     History, Internet Connection, Settings, Favourites, "
                                               "AutoQueue, Timed Release (PRINT at 6:00 PM), Server (PS1), "
                                               "WMI Connection, Queue (Sales), WMI Job Monitor, Done."));
    // The splash window is filled but stays hidden during start-up; its timer runs.
    ASSERT_TRUE(w.isSplashLoaded());
    EXPECT_FALSE(w.splash().isVisible());
    EXPECT_TRUE(w.splash().Timer1.isActive());
    EXPECT_EQ(w.splash().Timer1.interval(), 5000);
    EXPECT_EQ(w.splash().lblVersion->text(), QStringLiteral("Version ") + FrmMain::versionText());
    EXPECT_EQ(w.splash().lblProductName->text(), QStringLiteral("Halvern"));
}

TEST_F(StartupTest, FormLoad_EmptyServerAndQueue_LocalComputerAndEmptyQueuePiece)
{
    env.computer = QStringLiteral("WS01");
    addQueue(QStringLiteral("WS01"), QStringLiteral("Local"));
    FrmMain& w = start();
    EXPECT_EQ(w.CurrentPrinter->currentText(), QStringLiteral("WS01"));
    EXPECT_TRUE(
        w.progressText().contains(QStringLiteral("Server (WS01), WMI Connection, Queue (), WMI Job Monitor, ")));
    EXPECT_EQ(w.CurrentPrintQueue->count(), 1);
    EXPECT_EQ(w.CurrentPrintQueue->currentIndex(), -1);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Halvern"));
}

TEST_F(StartupTest, FormLoad_SavedQueue_SelectedAndCaptionSet)
{
    addQueue(QStringLiteral("PS1"), QStringLiteral("Admin"));
    addQueue(QStringLiteral("PS1"), QStringLiteral("Sales"));
    writeIni(QStringLiteral("[Halvern]\nServer=PS1\nQueue=Sales\nAudit=True\n"));
    FrmMain& w = start();
    EXPECT_EQ(w.queueBoxText(), QStringLiteral("Sales"));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Sales on PS1 - Halvern"));
    EXPECT_TRUE(w.Timer2.isActive());
    const QStringList records = audit();
    // A new log file begins with its own records; the console's follow them.
    EXPECT_EQ(
        records.mid(records.indexOf(QStringLiteral("Program|Queue Manager Started"))),
        (QStringList{QStringLiteral("Program|Queue Manager Started"), QStringLiteral("Queue|Search for queues on PS1"),
                     QStringLiteral("Queue|Queue changed to PS1-Sales")}));
}

TEST_F(StartupTest, FormLoad_SavedQueueGone_NoSelectionAndMenusDisabled)
{
    addQueue(QStringLiteral("PS1"), QStringLiteral("Admin"));
    writeIni(QStringLiteral("[Halvern]\nServer=PS1\nQueue=Sales\n"));
    FrmMain& w = start();
    EXPECT_EQ(w.queueBoxText(), QString());
    EXPECT_FALSE(w.menuJobs->isEnabled());
    EXPECT_FALSE(w.menuPrinter->isEnabled());
    EXPECT_TRUE(w.progressText().contains(QStringLiteral("Queue (Sales), ")));
    // The close keeps the saved queue: it was not found, and no other was chosen. Once one
    // is chosen, that one is saved.
    w.Form_Unload();
    EXPECT_TRUE(readFile(iniPath()).contains(QStringLiteral("Queue=Sales"))) << readFile(iniPath()).toStdString();
    window.reset();
    FrmMain& next = start();
    settle(next.setQueueBoxText(QStringLiteral("Admin")));
    next.Form_Unload();
    EXPECT_TRUE(readFile(iniPath()).contains(QStringLiteral("Queue=Admin")));
}

TEST_F(StartupTest, ServerFailsBeforeTheWindowIsShown_OneConnectionBoxOverTheShownWindow)
{
    addQueue(QStringLiteral("PS1"), QStringLiteral("Sales"));
    writeIni(QStringLiteral("[Halvern]\nServer=PS1\nQueue=Sales\n"));
    FrmMain& w = start();
    QList<bool> shownOverWindow;
    dialogs.onOpen = [&] {
        shownOverWindow.append(w.isVisible());
    };
    const QString failed = QStringLiteral("WMI Connection Error");
    const auto boxes = [&] {
        return dialogs.messages().size();
    };

    // The monitor fails twice while the start-up's window is not on screen yet
    w.mwcmnMonitor_ConnectEvent(failed);
    w.mwcmnMonitor_ConnectEvent(failed);
    EXPECT_EQ(boxes(), 0);
    w.showAfterLoad();
    EXPECT_EQ(boxes(), 1);
    EXPECT_EQ(shownOverWindow, QList<bool>{true});
    // and again after the window is up: the same failure, no second box
    w.mwcmnMonitor_ConnectEvent(failed);
    EXPECT_EQ(boxes(), 1);
    // A failure after the server was connected again is a new one.
    w.mwcmnMonitor_ConnectEvent(QStringLiteral("Connected"));
    w.mwcmnMonitor_ConnectEvent(failed);
    EXPECT_EQ(boxes(), 2);
}

TEST_F(StartupTest, FormLoad_UpdateCheck_NavigatesToVersionedCheckPage)
{
    FrmMain& w = start();
    EXPECT_EQ(w.WebVersion->lastAddress(),
              QStringLiteral("http://www.halvern.example/cgi-bin/updatecheck.cgi?soft=HLV&vers=") +
                  FrmMain::versionText());
    EXPECT_TRUE(FrmMain::versionText().contains(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$"))));
}

TEST_F(StartupTest, FormLoad_EmptyColumnSettings_DefaultWidthsIncludingLastColumn)
{
    FrmMain& w = start();
    const QList<int> twips = {1200, 3000, 1800, 1200, 800, 800, 700, 1300, 2500, 800, 1800};
    for (int i = 0; i < twips.size(); ++i) {
        EXPECT_EQ(w.JobList->columnWidth(i), qRound(twips.at(i) / 15.0)) << i;
        EXPECT_EQ(w.jobListColumnWidthsTwips().at(i), twips.at(i)) << i;
    }
}

TEST_F(StartupTest, FormLoad_ColumnSettings_WidthsAndPositionsApplied)
{
    writeIni(QStringLiteral("[Halvern]\nColumnWidths=1500,1500,1500\n"
                            "ColumnPositions=2,1,3,4,5,6,7,8,9,10,11\n"));
    FrmMain& w = start();
    EXPECT_EQ(w.JobList->columnWidth(0), 100);
    EXPECT_EQ(w.JobList->columnWidth(2), 100);
    EXPECT_EQ(w.JobList->columnWidth(3), 96); // fewer values: the rest keep their design width
    EXPECT_EQ(w.JobList->header()->visualIndex(0), 1);
    EXPECT_EQ(w.JobList->header()->visualIndex(1), 0);
    EXPECT_EQ(w.jobListColumnPositions(), (QList<int>{2, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
}

TEST_F(StartupTest, Shutdown_ClosedTwiceAndExit_OneShutdownRecordAndSettingsSaved)
{
    writeIni(QStringLiteral("[Halvern]\nAudit=True\nStartMax=False\n"));
    int ended = 0;
    FrmMain& w = build();
    context->endProgram = [&ended] {
        ++ended;
    };
    settle(w.Form_Load());
    w.show();
    w.close();
    w.close();
    w.menuExit_Click();
    const QStringList records = audit();
    EXPECT_EQ(records.count(QStringLiteral("Program|Queue Manager Shutdown")), 1);
    EXPECT_EQ(records.last(), QStringLiteral("Program|Queue Manager Shutdown"));
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(w.Timer1.isActive());
    EXPECT_FALSE(w.Timer2.isActive());
    EXPECT_FALSE(w.isSplashLoaded());
    EXPECT_TRUE(readFile(iniPath()).contains(QStringLiteral("PollNorm=10000")));
}

TEST_F(StartupTest, About_Shown_ClosesByItsTimerAndShowsMainWindow)
{
    FrmMain& w = start();
    w.unloadSplash();
    w.mnuAbout_Click();
    frmSplash& about = w.splash();
    EXPECT_TRUE(about.isVisible());
    // The whole text shows: the window is as tall as its contents need, and the promotion
    // text does not scroll.
    EXPECT_GE(about.height(), about.sizeHint().height());
    EXPECT_EQ(about.txtPromo->verticalScrollBar()->maximum(), 0);
    for (const QLabel* label : {about.lblProductName, about.lblVersion, about.lblCompanyProduct}) {
        EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
    }
    EXPECT_EQ(about.Timer1.interval(), 10000);
    EXPECT_TRUE(about.Timer1.isActive());
    about.Timer1_Timer();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(w.isSplashLoaded());
    EXPECT_TRUE(w.isVisible());
}

TEST_F(StartupTest, Controls_DesignState_CaptionsShortcutsAndHiddenItems)
{
    FrmMain& w = build();
    EXPECT_EQ(w.menufile->title(), QStringLiteral("&File"));
    EXPECT_EQ(w.MenuResumeJob->shortcut(), QKeySequence(Qt::Key_F2));
    EXPECT_EQ(w.menuPurge->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_Delete));
    EXPECT_EQ(w.mnuLogComment->text(), QStringLiteral("Add &Log Comment"));
    EXPECT_FALSE(w.mnuJobProperties->isVisible());
    EXPECT_FALSE(w.mnuJobProperties->isEnabled());
    EXPECT_FALSE(w.mnuMenu->isVisible());
    EXPECT_FALSE(w.mnuSearch->isVisible());
    EXPECT_FALSE(w.mnupsr->isVisible());
    EXPECT_FALSE(w.mnuExportFav->isVisible());
    EXPECT_TRUE(w.mnuStatusBar->isChecked());
    EXPECT_EQ(w.CurrentPrinter->toolTip(), QStringLiteral("Enter Server name or IP address"));
    EXPECT_EQ(w.txtTimed->text(), QStringLiteral("5:00 PM"));
    EXPECT_FALSE(w.chkTimed->isEnabled());
    EXPECT_FALSE(w.Timer2.isActive());
    EXPECT_EQ(w.Timer2.interval(), 1000);
    EXPECT_EQ(w.Timer1.interval(), 100);
    for (QWidget* panel : {static_cast<QWidget*>(w.PrintQueue), static_cast<QWidget*>(w.frmQueueInfo),
                           static_cast<QWidget*>(w.frmQueueControl), static_cast<QWidget*>(w.FrameFavourites),
                           static_cast<QWidget*>(w.frmServer), static_cast<QWidget*>(w.frmOnline),
                           static_cast<QWidget*>(w.FrameSearch)}) {
        EXPECT_TRUE(panel->isHidden());
    }
}

TEST_F(StartupTest, FirstRun_EmptyHomeFolder_HistoryWrittenAndJobsLogged)
{
    // A new account: no APPDATA, no configuration folder, a home folder with nothing in it.
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QList<QByteArray> names = {"APPDATA", "XDG_CONFIG_HOME", "HOME", "COMPUTERNAME"};
    QList<std::optional<QByteArray>> saved;
    for (const QByteArray& name : names) {
        saved.append(qEnvironmentVariableIsSet(name.constData()) ? std::optional(qgetenv(name.constData()))
                                                                 : std::nullopt);
    }
    const auto restore = qScopeGuard([&] {
        for (int i = 0; i < names.size(); ++i) {
            if (saved.at(i)) {
                qputenv(names.at(i).constData(), *saved.at(i));
            } else {
                qunsetenv(names.at(i).constData());
            }
        }
    });
    qunsetenv("APPDATA");
    qunsetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("COMPUTERNAME", "PS1");
    SystemEnvironment system;
    environment = &system;
    const QString folder = home.path() + QStringLiteral("/.config/Halvern");
    env.appDataPath = folder; // where the fixture's readers look
    ASSERT_FALSE(QFileInfo::exists(folder));

    addQueue(QStringLiteral("PS1"), QStringLiteral("Sales"));
    addJob(QStringLiteral("PS1"), QStringLiteral("Sales"), QStringLiteral("Report.pdf"), QStringLiteral("alice"), 3,
           4096);
    FrmMain& w = start();
    EXPECT_EQ(w.CurrentPrinter->currentText(), QStringLiteral("PS1"));
    EXPECT_EQ(logCount(), 1);
    w.Form_Unload();
    EXPECT_EQ(readFile(folder + QStringLiteral("/hlv.his")), QStringLiteral("PS1\r\n"));
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/hlv.ini")));
    window.reset();
}

} // namespace
} // namespace hlv::test
