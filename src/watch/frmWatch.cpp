#include "watch/frmWatch.h"

#include <algorithm>

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "jobmonitor/MonitorBuilds.h"
#include "jobmonitor/client/MonitorBinding.h"
#include "platform/Dialogs.h"
#include "platform/Environment.h"
#include "platform/GeneralDate.h"
#include "store/IniFile.h"
#include "watch/MailTrouble.h"
#include "watch/PopupMessages.h"
#include "watch/TrayIcon.h"
#include "watch/WatchContext.h"
#include "watch/WatchJobLog.h"

namespace hlv {

namespace {

const QString kTitle = QStringLiteral("Halvern Watch");
const QLatin1String kWatchJobExe("HlvWatch_Job.exe");

// The program's icon: a green sheet with a printer's paper tray, drawn rather than shipped.
QIcon watchIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x20, 0x60, 0x20), 2));
    painter.setBrush(QColor(0xC0, 0xFF, 0xC0));
    painter.drawRoundedRect(3, 10, 26, 14, 3, 3);
    painter.setBrush(Qt::white);
    painter.drawRect(9, 3, 14, 8);
    painter.drawRect(9, 20, 14, 9);
    painter.end();
    return QIcon(pixmap);
}

} // namespace

frmWatch::frmWatch(WatchContext& context)
    : m_ctx(context)
    , m_ini(std::make_unique<IniFile>(context.environment, QString::fromLatin1(IniFile::kWatchFileName)))
{
    setWindowTitle(kTitle);
    setWindowIcon(watchIcon());
    setObjectName(QStringLiteral("frmWatch"));
    setStyleSheet(QStringLiteral("#frmWatch, #frmWatch > QWidget, QRadioButton { background-color: #C0FFC0; }"));
    buildControls();
    buildMenus();
    setIdle(true);

    m_binding = std::make_unique<MonitorBinding>(QString::fromLatin1(kWatchJobBuild.programName),
                                                 QString::fromLatin1(kWatchJobBuild.classId), m_ctx.processes);
    m_binding->setProgramDir(m_ctx.programDir);
    if (m_ctx.monitorEnvironment) {
        m_binding->setServerEnvironment(*m_ctx.monitorEnvironment);
    }
    connect(m_binding.get(), &MonitorBinding::JobEvent, this, &frmWatch::mwcmnMonitor_JobEvent);
    connect(m_binding.get(), &MonitorBinding::ConnectEvent, this, &frmWatch::mwcmnMonitor_ConnectEvent);
    connect(m_binding.get(), &MonitorBinding::MonitorEnded, this, &frmWatch::monitorLost);
    m_restartTimer.setSingleShot(true);
    connect(&m_restartTimer, &QTimer::timeout, this, &frmWatch::restartMonitor);

    QString templatePath = m_ctx.templatePath;
    if (templatePath.isEmpty()) {
        const QString dir = m_ctx.programDir.isEmpty() ? QCoreApplication::applicationDirPath() : m_ctx.programDir;
        templatePath = dir + QStringLiteral("/hlv.mdb");
    }
    // No database chosen means no job log: a write would otherwise create a file named
    // after the menu's unset word.
    m_jobLog = std::make_unique<WatchJobLog>(
        [this] { return mnuHlvDatabase->isChecked() ? mnuHlvDatabase->text() : QString(); }, templatePath);
    // Writes waiting for a full disk are kept in the tray's tip until they got through.
    m_jobLog->setWriteNotice([this](const QString& text) {
        m_jobLogTrouble = m_jobLog->waitingForDisk() ? QStringLiteral("Job log ") + text : QString();
        updateTrayTip();
    });
    m_processor = std::make_unique<JobEventProcessor>(*m_jobLog, m_ctx.popups, m_mailAlert, [this] { showMailer(); });
    m_processor->setCsvNotice([this](const QString& text) {
        m_csvTrouble = text;
        updateTrayTip();
    });
}

frmWatch::~frmWatch()
{
    delete m_mailer.data();
}

void frmWatch::buildControls()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("frmWatchCentral"));
    central->setAutoFillBackground(true);
    QPalette palette = central->palette();
    palette.setColor(QPalette::Window, QColor(0xC0, 0xFF, 0xC0));
    central->setPalette(palette);
    setCentralWidget(central);

    lblServer = new QLabel(QStringLiteral("Server"), central);
    txtComputer = new QLineEdit(central);
    QFont arial(QStringLiteral("Arial"));
    cmdStart = new QPushButton(QStringLiteral("Start"), central);
    cmdStart->setFont(arial);
    cmdStart->setStyleSheet(QStringLiteral("background-color: #80FF80;"));
    cmdStop = new QPushButton(QStringLiteral("Stop"), central);
    cmdStop->setFont(arial);
    cmdStop->setStyleSheet(QStringLiteral("background-color: #FF8080;"));
    lblStatus = new QLabel(QStringLiteral("Connection Status"), central);
    lblAction = new QLabel(central);
    const QStringList watchCaptions = {QStringLiteral("Job"), QStringLiteral("Printer"), QStringLiteral("Service")};
    for (int i = 0; i < 3; ++i) {
        optWatch[static_cast<size_t>(i)] = new QRadioButton(watchCaptions.at(i), central);
    }
    lblRawData = new QLabel(QStringLiteral("Raw Data"), central);
    lblDetails = new QPlainTextEdit(central);
    lblDetails->setReadOnly(true);
    lblTranslatedData = new QLabel(QStringLiteral("Translated Data"), central);
    lblDetailsTranslated = new QPlainTextEdit(central);
    lblDetailsTranslated->setReadOnly(true);

    auto* serverRow = new QHBoxLayout;
    serverRow->addWidget(lblServer);
    serverRow->addWidget(txtComputer, 1);
    serverRow->addWidget(cmdStart);
    serverRow->addWidget(cmdStop);
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(lblStatus, 1);
    statusRow->addWidget(lblAction);
    for (QRadioButton* option : optWatch) {
        statusRow->addWidget(option);
    }
    auto* layout = new QVBoxLayout(central);
    layout->addLayout(serverRow);
    layout->addLayout(statusRow);
    layout->addWidget(lblRawData);
    layout->addWidget(lblDetails, 1);
    layout->addWidget(lblTranslatedData);
    layout->addWidget(lblDetailsTranslated, 2);
    resize(480, 420);

    connect(cmdStart, &QPushButton::clicked, this, &frmWatch::cmdStart_Click);
    connect(cmdStop, &QPushButton::clicked, this, &frmWatch::cmdStop_Click);
}

QAction* frmWatch::item(QMenu* menu, const QString& caption, void (frmWatch::*handler)(), bool checkable)
{
    QAction* action = menu->addAction(caption);
    action->setCheckable(checkable);
    connect(action, &QAction::triggered, this, [this, action, handler, checkable] {
        // The handlers own the check mark: undo the flip the menu made on the way.
        if (checkable) {
            action->setChecked(!action->isChecked());
        }
        (this->*handler)();
    });
    return action;
}

void frmWatch::buildMenus()
{
    QMenuBar* bar = menuBar();
    mnuSettings = bar->addMenu(QStringLiteral("&Settings"));
    mnuemail = mnuSettings->addMenu(QStringLiteral("Email"));
    mnuMailServer = item(mnuemail, QStringLiteral("S&MTP"), &frmWatch::mnuMailServer_Click, true);
    mnuMailTo = item(mnuemail, QStringLiteral("TO"), &frmWatch::mnuMailTo_Click, true);
    mnuMailFrom = item(mnuemail, QStringLiteral("FROM"), &frmWatch::mnuMailFrom_Click, true);
    mnuemail->addSeparator();
    mnuTestEmail = item(mnuemail, QStringLiteral("&Test Email"), &frmWatch::mnuTestEmail_Click, false);
    mnumessage = mnuSettings->addMenu(QStringLiteral("Message"));
    mnuComputer = item(mnumessage, QStringLiteral("&COMPUTER"), &frmWatch::mnuComputer_Click, true);
    mnumessage->addSeparator();
    mnuTestMessage = item(mnumessage, QStringLiteral("&Test Message"), &frmWatch::mnuTestMessage_Click, false);
    mnuDatabase = mnuSettings->addMenu(QStringLiteral("Database"));
    mnuHlvDatabase = item(mnuDatabase, QStringLiteral("HLV &DATABASE"), &frmWatch::mnuHlvDatabase_Click, true);
    mnuMinimised = item(mnuSettings, QStringLiteral("Start Minimised"), &frmWatch::mnuMinimised_Click, true);
    mnuStartAuto = item(mnuSettings, QStringLiteral("Start Watching"), &frmWatch::mnuStartAuto_Click, true);
    mnuSettings->addSeparator();
    mnuExit = item(mnuSettings, QStringLiteral("E&xit"), &frmWatch::mnuExit_Click, false);

    mnuWatch = bar->addMenu(QStringLiteral("&Watch"));
    mnuWatchJobs = item(mnuWatch, QStringLiteral("&Jobs"), &frmWatch::mnuWatchJobs_Click, true);
    mnuWatchJobs->setChecked(true);

    mnuRecord = bar->addMenu(QStringLiteral("&Record"));
    mnuRecordJobs = mnuRecord->addMenu(QStringLiteral("&Jobs"));
    mnuJobDatabase = item(mnuRecordJobs, QStringLiteral("&Database"), &frmWatch::mnuJobDatabase_Click, true);
    mnuJobsCSVfile = item(mnuRecordJobs, QStringLiteral("&CSV"), &frmWatch::mnuJobsCSVfile_Click, true);
    mnuRecordJobs->addSeparator();
    mnuJobsCSVview = item(mnuRecordJobs, QStringLiteral("&View CSV File"), &frmWatch::mnuJobsCSVview_Click, false);

    mnuAlert = bar->addMenu(QStringLiteral("&Alert"));
    mnuAlertJobs = mnuAlert->addMenu(QStringLiteral("&Jobs"));
    mnuJobsPopup = item(mnuAlertJobs, QStringLiteral("&Message on Error"), &frmWatch::mnuJobsPopup_Click, true);
    mnuJobsEmail = item(mnuAlertJobs, QStringLiteral("&Email on Error"), &frmWatch::mnuJobsEmail_Click, true);

    // The notification-area menu is never part of the menu bar.
    mPopupSys = new QMenu(QStringLiteral("&SysTray"), this);
    mnuStartStop[0] = mPopupSys->addAction(QStringLiteral("Start"));
    mnuStartStop[1] = mPopupSys->addAction(QStringLiteral("Stop"));
    connect(mnuStartStop[0], &QAction::triggered, this, [this] { mnuStartStop_Click(0); });
    connect(mnuStartStop[1], &QAction::triggered, this, [this] { mnuStartStop_Click(1); });
    mPopupSys->addSeparator();
    mPopRestore = item(mPopupSys, QStringLiteral("&Restore"), &frmWatch::mPopRestore_Click, false);
    mPopupSys->addSeparator();
    mPopExit = item(mPopupSys, QStringLiteral("E&xit"), &frmWatch::mnuExit_Click, false);

    mnuHelp = bar->addMenu(QStringLiteral("&Help"));
    mnuHelpContents = item(mnuHelp, QStringLiteral("&Contents"), &frmWatch::mnuHelpContents_Click, false);
    mnuHelpContents->setShortcut(QKeySequence(Qt::Key_F1));
}

void frmWatch::setIdle(bool idle)
{
    cmdStart->setEnabled(idle);
    mnuStartStop[0]->setEnabled(idle);
    cmdStop->setEnabled(!idle);
    mnuStartStop[1]->setEnabled(!idle);
    txtComputer->setEnabled(idle);
}

QString frmWatch::iniPath() const
{
    return m_ini->path();
}

QString frmWatch::helpFileName()
{
    return QStringLiteral("HLV.html");
}

// ---- start-up and shutdown ----

void frmWatch::Form_Load()
{
    show();
    repaint();
    m_ctx.tray.add(windowIcon(), QStringLiteral("HLV Watch"), mPopupSys, [this](int code) { trayIconMessage(code); });
    m_iconAdded = true;
    txtComputer->setText(m_ctx.environment.computerName());
    LoadWatchSettings();
}

void frmWatch::Form_Unload()
{
    if (m_unloaded) {
        return;
    }
    m_unloaded = true;
    m_restartTimer.stop();
    SaveWatchSettings();
    if (m_iconAdded) {
        m_ctx.tray.remove();
        m_iconAdded = false;
    }
    // The monitor is stopped and waited for, so that it cancels its subscription and no
    // server process is left running when the program goes.
    m_binding->EndJobMonitor();
    KillProcess(kWatchJobExe);
    // A mail window left loaded (hidden after a failed alert) must not outlive the program.
    if (m_mailer) {
        m_mailer->close();
    }
    if (m_mailTrouble) {
        m_mailTrouble->close();
    }
    if (m_ctx.endProgram) {
        m_ctx.endProgram();
    }
}

void frmWatch::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}

void frmWatch::mnuExit_Click()
{
    close();
}

void frmWatch::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) {
        return;
    }
    if (windowState() & Qt::WindowMinimized) {
        // Only the icon remains, when there is an icon to bring the window back with. Hidden
        // once the state change is over, as showMinimized() shows the window after it.
        if (m_ctx.tray.isAvailable()) {
            QTimer::singleShot(0, this, [this] {
                if (isMinimized()) {
                    hide();
                }
            });
        }
    } else if (isHidden() && !m_unloaded) {
        show();
    }
}

void frmWatch::trayIconMessage(int code)
{
    switch (code) {
    case TrayIcon::kLeftButtonUp:
    case TrayIcon::kLeftDoubleClick:
        mPopRestore_Click();
        break;
    case TrayIcon::kRightButtonUp:
        activateWindow();
        mPopupSys->popup(QCursor::pos());
        break;
    default:
        break;
    }
}

void frmWatch::mPopRestore_Click()
{
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

// ---- watching ----

void frmWatch::cmdStart_Click()
{
    SaveWatchSettings();
    if (txtComputer->text().isEmpty()) {
        m_ctx.dialogs.msgBox(QStringLiteral("You have not specified a server or IP to watch"), MsgBoxStyle::Exclamation,
                             kTitle);
        return;
    }
    if (!mnuWatchJobs->isChecked()) {
        m_ctx.dialogs.msgBox(QStringLiteral("You have not selected any items to watch"), MsgBoxStyle::Exclamation,
                             kTitle);
        return;
    }
    cmdStart->setEnabled(false);
    mnuStartStop[0]->setEnabled(false);
    lblStatus->setText(QStringLiteral("Job Connection Initiated"));
    m_watching = true;
    m_monitorDown = false;
    m_restart = MonitorRestart(m_ctx.monitorRestartFirstMs, m_ctx.monitorRestartLimitMs, m_ctx.monitorClock);
    cmdStop->setEnabled(true);
    mnuStartStop[1]->setEnabled(true);
    txtComputer->setEnabled(false);
    lblDetailsTranslated->setPlainText(QStringLiteral(
        "A connection is being initiated. This message will disappear when connected. Watch will monitor print jobs "
        "on the specified server."));
    startMonitor(false);
}

void frmWatch::startMonitor(bool resume)
{
    if (resume) {
        m_binding->ResumeJobMonitor(txtComputer->text());
    } else {
        m_binding->StartJobMonitor(txtComputer->text());
    }
    if (m_binding->mwcmnMonitor() == nullptr) {
        monitorLost();
    }
}

void frmWatch::monitorLost()
{
    if (!m_watching || m_unloaded) {
        return;
    }
    // However the monitor dies, and however often it announces itself in between, one
    // outage is reported once and its restarts wait longer and longer.
    const MonitorRestart::Stop stop = m_restart.monitorEnded();
    const bool begins = stop.outageBegins;
    if (begins) {
        m_monitorDownSince = QDateTime::currentDateTime();
    }
    m_monitorDown = true;
    m_restartTimer.start(stop.waitMs);
    showConnectState(QStringLiteral("Disconnected"));
    lblDetailsTranslated->appendPlainText(QStringLiteral("The job monitor stopped at %1; it is started again in %2 s.")
                                              .arg(generalDateText(m_monitorDownSince))
                                              .arg(stop.waitMs / 1000.0));
    updateTrayTip();
    if (!begins) {
        return;
    }
    // Once per trouble, through the alerts the operator chose for jobs in trouble.
    const WatchOutputs outputs = currentOutputs();
    const QString warning = QStringLiteral("Warning: The job monitor watching %1 stopped at %2.\r\n"
                                           "Halvern Watch is starting it again; changes meanwhile follow.")
                                .arg(outputs.server, generalDateText(m_monitorDownSince));
    if (outputs.popupOn) {
        m_ctx.popups.netSend(outputs.popupComputer, warning);
        m_ctx.popups.msgAllSessions(outputs.popupComputer, warning);
    }
    if (outputs.emailOn) {
        m_mailAlert.MailAlertMode = true;
        m_mailAlert.MailAlertSubject = QStringLiteral("HLV: Job Monitor stopped on ") + outputs.server;
        m_mailAlert.MailAlertBody = warning;
        showMailer();
    }
}

void frmWatch::restartMonitor()
{
    if (!m_watching || m_unloaded) {
        return;
    }
    lblStatus->setText(QStringLiteral("Job Connection Initiated"));
    startMonitor(true);
}

void frmWatch::cmdStop_Click()
{
    // Stops and releases the monitor, then ends its server process, which may still be
    // waiting for the next job change.
    m_restartTimer.stop();
    m_restart.reset();
    m_monitorDown = false;
    m_binding->StopJobMonitor();
    // A monitor that could not answer (never started, or its process gone) sent no
    // "Disconnected": the window says it all the same, as nothing is watched any more, and
    // no longer says when a stopped monitor is started again.
    showConnectState(QStringLiteral("Disconnected"));
    m_watching = false;
    cmdStop->setEnabled(false);
    mnuStartStop[0]->setEnabled(true);
    mnuStartStop[1]->setEnabled(false);
    cmdStart->setEnabled(true);
    txtComputer->setEnabled(true);
    KillProcess(kWatchJobExe);
    updateTrayTip();
}

void frmWatch::mnuStartStop_Click(int index)
{
    if (index == 0) {
        cmdStart_Click();
    } else if (index == 1) {
        cmdStop_Click();
    }
}

void frmWatch::KillProcess(const QString& processName)
{
    m_binding->KillProcess(processName);
}

void frmWatch::mwcmnMonitor_ConnectEvent(const QString& strConnect)
{
    // A state that arrives while nothing is watched belongs to a monitor already stopped.
    if (!m_watching) {
        return;
    }
    if (strConnect == QLatin1String("Connected")) {
        m_restart.monitorConnected();
        if (m_monitorDown) {
            m_monitorDown = false;
            updateTrayTip();
        }
    }
    showConnectState(strConnect);
}

void frmWatch::showConnectState(const QString& strConnect)
{
    lblStatus->setText(strConnect);
    lblAction->clear();
    lblDetails->clear();
    QString text = QStringLiteral("A connection event has occurred - ") + strConnect + QStringLiteral(". ");
    if (strConnect == QLatin1String("Connected") && mnuWatchJobs->isChecked()) {
        text += QStringLiteral("You are now watching jobs. If the status of a print job changes or a job is added or "
                               "removed the job details will display here. ");
    }
    lblDetailsTranslated->setPlainText(text);
}

void frmWatch::mwcmnMonitor_JobEvent(const QString& strAction, const QString& strDetail)
{
    optWatch[0]->setChecked(true);
    lblAction->setText(strAction);
    lblDetails->setPlainText(strDetail);
    const QString translated = m_processor->ProcessJobEvent(strAction, strDetail, currentOutputs());
    // The box shows lines; the text's own line ends are CR LF.
    QString shown = translated;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lblDetailsTranslated->setPlainText(shown);
}

WatchOutputs frmWatch::currentOutputs() const
{
    WatchOutputs outputs;
    outputs.server = txtComputer->text();
    outputs.csvOn = mnuJobsCSVfile->isChecked();
    outputs.csvPath = mnuJobsCSVfile->text();
    outputs.databaseOn = mnuJobDatabase->isChecked();
    outputs.popupOn = mnuJobsPopup->isChecked();
    outputs.popupComputer = mnuComputer->text();
    outputs.emailOn = mnuJobsEmail->isChecked();
    return outputs;
}

// ---- mail ----

void frmWatch::showMailer()
{
    if (!m_mailer) {
        m_mailer = new frmMailer(m_ctx.dialogs, *this, m_mailAlert, m_ctx.smtpPort);
        m_mailer->setReplyTimeout(m_ctx.smtpReplyTimeoutMs);
        m_mailer->setWindowIcon(windowIcon());
        connect(m_mailer, &frmMailer::alertNotMailed, this, &frmWatch::alertNotMailed);
        connect(m_mailer, &frmMailer::alertMailed, this, &frmWatch::alertMailed);
    }
    m_mailer->Show();
}

void frmWatch::alertNotMailed(const QString& why)
{
    if (!m_mailTrouble) {
        m_mailTrouble = new MailTroubleWindow(this);
        m_mailTrouble->setWindowIcon(windowIcon());
    }
    m_mailTrouble->notMailed(why, QDateTime::currentDateTime());
    updateTrayTip();
}

void frmWatch::alertMailed()
{
    if (m_mailTrouble && m_mailTrouble->inTrouble()) {
        m_mailTrouble->mailed(QDateTime::currentDateTime());
        updateTrayTip();
    }
}

void frmWatch::updateTrayTip()
{
    QString tip = QStringLiteral("HLV Watch");
    if (m_monitorDown) {
        tip += QStringLiteral("\nJob monitor stopped at ") + generalDateText(m_monitorDownSince) +
               QStringLiteral(", starting it again");
    }
    if (m_mailTrouble && m_mailTrouble->inTrouble()) {
        tip += QLatin1Char('\n') + m_mailTrouble->summary();
    }
    for (const QString& trouble : {m_jobLogTrouble, m_csvTrouble}) {
        if (!trouble.isEmpty()) {
            tip += QLatin1Char('\n') + trouble;
        }
    }
    if (m_iconAdded) {
        m_ctx.tray.setToolTip(tip);
    }
}

void frmWatch::mnuTestEmail_Click()
{
    m_mailAlert.MailAlertMode = false;
    showMailer();
}

QString frmWatch::mailServerCaption() const
{
    return mnuMailServer->text();
}

QString frmWatch::mailFromCaption() const
{
    return mnuMailFrom->text();
}

QString frmWatch::mailToCaption() const
{
    return mnuMailTo->text();
}

} // namespace hlv
