#include <QApplication>
#include <QDirIterator>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>

#include "SmtpTestServer.h"
#include "WatchFixture.h"
#include "desktop/QtDialogs.h"
#include "jobmonitor/MonitorBuilds.h"
#include "jobmonitor/client/MonitorBinding.h"
#include "support/FullFilesystem.h"
#include "watch/JobEventProcessing.h"
#include "watch/MailTrouble.h"
#include "watch/frmMailer.h"

namespace hlv::test {
namespace {

const QString kErrorRecord =
    QStringLiteral("2|Budget.xlsx|\\\\PC7|carol|Sales|4|0|1|12KB|3/14/2026 9:15:30 AM|17|Sales, 17");

class FrmWatchTest : public WatchFixture
{
protected:
    static void expectIdle(const frmWatch& w, bool idle)
    {
        EXPECT_EQ(w.cmdStart->isEnabled(), idle);
        EXPECT_EQ(w.mnuStartStop[0]->isEnabled(), idle);
        EXPECT_EQ(w.cmdStop->isEnabled(), !idle);
        EXPECT_EQ(w.mnuStartStop[1]->isEnabled(), !idle);
        EXPECT_EQ(w.txtComputer->isEnabled(), idle);
    }
};

TEST_F(FrmWatchTest, FirstStart_NoSettingsFile_UnsetMenusAndStartAsksForSomethingToWatch)
{
    frmWatch& w = start();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Halvern Watch"));
    EXPECT_EQ(w.txtComputer->text(), QStringLiteral("WS01"));
    const struct
    {
        QAction* menu;
        QString caption;
    } menus[] = {{w.mnuMailServer, QStringLiteral("SMTP")},
                 {w.mnuMailFrom, QStringLiteral("FROM")},
                 {w.mnuMailTo, QStringLiteral("TO")},
                 {w.mnuComputer, QStringLiteral("COMPUTER")},
                 {w.mnuHlvDatabase, QStringLiteral("HLV DATABASE")},
                 {w.mnuJobsCSVfile, QStringLiteral("CSV")}};
    for (const auto& m : menus) {
        EXPECT_EQ(m.menu->text(), m.caption);
        EXPECT_FALSE(m.menu->isChecked()) << m.caption.toStdString();
    }
    EXPECT_FALSE(w.mnuWatchJobs->isChecked());
    EXPECT_TRUE(w.mnuRecordJobs->menuAction()->isEnabled());
    expectIdle(w, true);

    w.cmdStart_Click();
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(dialogs.messages().first().text, QStringLiteral("You have not selected any items to watch"));
    EXPECT_EQ(dialogs.messages().first().style, 48);
    EXPECT_EQ(dialogs.messages().first().title, QStringLiteral("Halvern Watch"));
    expectIdle(w, true);
    // The settings were saved before the refusal.
    EXPECT_TRUE(iniText().contains(QStringLiteral("WatchJobs=False")));
    EXPECT_TRUE(iniText().contains(QStringLiteral("Server=WS01")));
}

TEST_F(FrmWatchTest, StartWithEmptyServer_RefusesBeforeLookingAtWatchJobs)
{
    frmWatch& w = start();
    w.txtComputer->clear();
    w.cmdStart_Click();
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(dialogs.messages().first().text, QStringLiteral("You have not specified a server or IP to watch"));
    EXPECT_EQ(dialogs.messages().first().style, 48);
    expectIdle(w, true);
}

// A job monitor program that cannot be started (here one that ends at once without a word,
// noting the time of each start): watching goes on, the trouble is reported once through
// the chosen alert, and the monitor is tried again after waits that double up to their
// longest. Stop ends the trying.
TEST_F(FrmWatchTest, MonitorThatCannotStart_TriedAgainWithGrowingWaitsAndReportedOnce)
{
    const QString programs = path(QStringLiteral("programs"));
    const QString starts = path(QStringLiteral("starts"));
    ASSERT_TRUE(QDir().mkpath(programs));
    {
        QFile script(programs + QStringLiteral("/HlvWatch_Job"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\ndate +%s%N >> '%1'\nexit 1\n").arg(starts).toUtf8());
        script.close();
        ASSERT_TRUE(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    SmtpTestServer mail;
    ASSERT_TRUE(mail.isListening());
    writeIni(QStringLiteral("[Halvern]\nWatchJobs=True\nServer=PS1\nJobsPopupError=True\nMessageComputer=DESK9\n"
                            "JobsEmailError=True\nMailServer=127.0.0.1\nMailFrom=<watch@example.org>\n"
                            "MailTo=<ops@example.org>\n"));
    build();
    context->smtpPort = mail.port();
    context->monitorRestartFirstMs = 100;
    context->monitorRestartLimitMs = 400;
    frmWatch& w = *window;
    w.monitorBinding()->setProgramDir(programs);
    w.Form_Load();

    w.mnuStartStop_Click(0);
    expectIdle(w, false);
    EXPECT_TRUE(w.isWatching());
    EXPECT_TRUE(w.monitorDown());
    EXPECT_EQ(w.lblStatus->text(), QStringLiteral("Disconnected"));
    EXPECT_TRUE(tray.tip.startsWith(QStringLiteral("HLV Watch\nJob monitor stopped at "))) << tray.tip.toStdString();

    const auto startTimes = [&] {
        QList<qint64> ms;
        for (const QByteArray& line : fileBytes(starts).split('\n')) {
            if (!line.isEmpty()) {
                ms.append(line.toLongLong() / 1000000);
            }
        }
        return ms;
    };
    ASSERT_TRUE(waitFor([&] { return startTimes().size() >= 7; })) << startTimes().size();
    const QList<qint64> at = startTimes();
    const qint64 waits[] = {100, 200, 400, 400, 400, 400};
    for (int i = 0; i < 6; ++i) {
        // A timer may fire a little early; never much.
        EXPECT_GE(at.at(i + 1) - at.at(i), waits[i] * 9 / 10) << "wait " << i;
    }
    EXPECT_EQ(w.monitorRestartDelayMs(), 400);
    EXPECT_EQ(popups.sent.size(), 2);
    ASSERT_TRUE(waitFor([&] { return !mail.messages.isEmpty(); }));
    EXPECT_EQ(mail.messages.size(), 1);
    EXPECT_TRUE(mail.messages.first().contains("Subject:HLV: Job Monitor stopped on PS1\r\n"));
    for (const auto& popup : popups.sent) {
        EXPECT_TRUE(popup.text.startsWith(QStringLiteral("Warning: The job monitor watching PS1 stopped at ")));
        EXPECT_EQ(popup.computer, QStringLiteral("DESK9"));
    }
    EXPECT_TRUE(dialogs.shown.isEmpty());

    w.mnuStartStop_Click(7);
    expectIdle(w, false);
    w.mnuStartStop_Click(1);
    expectIdle(w, true);
    EXPECT_FALSE(w.isWatching());
    EXPECT_EQ(w.monitorRestartDelayMs(), 0);
    EXPECT_EQ(tray.tip, QStringLiteral("HLV Watch"));
}

// A monitor that announces itself and dies at once, again and again, is one outage: one
// report in a minute of it, and restarts that wait longer each time, as "Connected" does not
// end the outage until a monitor stays up. Stop then leaves no word of a restart.
TEST_F(FrmWatchTest, CrashLoopingMonitor_OneReportPerMinuteAndStopClearsTheRestart)
{
    const QString programs = path(QStringLiteral("programs"));
    const QString starts = path(QStringLiteral("starts"));
    ASSERT_TRUE(QDir().mkpath(programs));
    {
        QFile script(programs + QStringLiteral("/HlvWatch_Job"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\necho x >> '%1'\nprintf 'HELLO\\t%2\\t1\\nConnectEvent\\tConnected\\n'\n"
                                    "sleep 0.1\nexit 1\n")
                         .arg(starts, QString::fromLatin1(kWatchJobBuild.classId))
                         .toUtf8());
        script.close();
        ASSERT_TRUE(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    writeIni(QStringLiteral("[Halvern]\nWatchJobs=True\nServer=PS1\nJobsPopupError=True\nMessageComputer=DESK9\n"));
    build();
    context->monitorRestartFirstMs = 50;
    context->monitorRestartLimitMs = 200;
    // Each start moves the clock on by five seconds: twelve starts are a minute.
    context->monitorClock = [starts] {
        return fileBytes(starts).count('\n') * qint64(5000);
    };
    frmWatch& w = *window;
    w.monitorBinding()->setProgramDir(programs);
    w.Form_Load();
    w.mnuStartStop_Click(0);
    ASSERT_TRUE(waitFor([&] { return fileBytes(starts).count('\n') >= 12 && w.monitorRestartDelayMs() > 0; }));
    EXPECT_EQ(popups.sent.size(), 2) << "one report: a message to the computer and one to its sessions";
    EXPECT_EQ(w.monitorRestartDelayMs(), 200);

    w.mnuStartStop_Click(1);
    EXPECT_FALSE(w.lblDetailsTranslated->toPlainText().contains(QStringLiteral("started again")))
        << w.lblDetailsTranslated->toPlainText().toStdString();
    EXPECT_EQ(w.monitorRestartDelayMs(), 0);
}

TEST_F(FrmWatchTest, ConnectEvents_ShowTheRealStateAndNeverConnectedWhileNothingIsWatched)
{
    writeIni(QStringLiteral("[Halvern]\nWatchJobs=True\nServer=PS1\n"));
    frmWatch& w = start();
    w.cmdStart_Click();
    ASSERT_TRUE(w.isWatching());
    w.lblAction->setText(QStringLiteral("New"));
    w.lblDetails->setPlainText(QStringLiteral("raw"));
    const QString watchingSentence = QStringLiteral(
        "You are now watching jobs. If the status of a print job changes or a job is added or removed the "
        "job details will display here. ");
    // A lost server and its recovery, as the monitor reports them.
    const struct
    {
        QString state;
        bool watchJobs;
        QString text;
    } cases[] = {
        {QStringLiteral("Connected"), true,
         QStringLiteral("A connection event has occurred - Connected. ") + watchingSentence},
        {QStringLiteral("WMI Query Error"), true,
         QStringLiteral("A connection event has occurred - WMI Query Error. ")},
        {QStringLiteral("Connected"), true,
         QStringLiteral("A connection event has occurred - Connected. ") + watchingSentence},
        {QStringLiteral("Connected"), false, QStringLiteral("A connection event has occurred - Connected. ")},
        {QStringLiteral("WMI Connection Error"), true,
         QStringLiteral("A connection event has occurred - WMI Connection Error. ")},
        {QStringLiteral("Connected"), true,
         QStringLiteral("A connection event has occurred - Connected. ") + watchingSentence},
    };
    for (const auto& c : cases) {
        w.mnuWatchJobs->setChecked(c.watchJobs);
        w.mwcmnMonitor_ConnectEvent(c.state);
        EXPECT_EQ(w.lblStatus->text(), c.state);
        EXPECT_TRUE(w.lblAction->text().isEmpty());
        EXPECT_TRUE(w.lblDetails->toPlainText().isEmpty());
        EXPECT_EQ(w.lblDetailsTranslated->toPlainText(), c.text);
    }

    // Stopping a monitor that sends no "Disconnected" (here none runs) still says so, and a
    // state that arrives afterwards is not taken for the watching's.
    w.cmdStop_Click();
    EXPECT_EQ(w.lblStatus->text(), QStringLiteral("Disconnected"));
    EXPECT_EQ(w.lblDetailsTranslated->toPlainText(),
              QStringLiteral("A connection event has occurred - Disconnected. "));
    w.mwcmnMonitor_ConnectEvent(QStringLiteral("Connected"));
    EXPECT_EQ(w.lblStatus->text(), QStringLiteral("Disconnected"));
}

TEST_F(FrmWatchTest, ValueMenus_AskClearAndWrapAddresses)
{
    frmWatch& w = start();
    const struct
    {
        QAction* menu;
        void (frmWatch::*click)();
        QString answer;
        QString prompt;
        QString caption; // after a non-empty answer
        QString unset;
        QString emptyMessage;
    } cases[] = {
        {w.mnuMailServer, &frmWatch::mnuMailServer_Click, QStringLiteral("mail.example.org"),
         QStringLiteral("Enter the mail server or IP:"), QStringLiteral("mail.example.org"), QStringLiteral("SMTP"),
         QStringLiteral("No mail server specified.")},
        {w.mnuMailFrom, &frmWatch::mnuMailFrom_Click, QStringLiteral("watch@example.org"),
         QStringLiteral("Enter the From email address:"), QStringLiteral("<watch@example.org>"), QStringLiteral("FROM"),
         QStringLiteral("No from address specified.")},
        {w.mnuMailTo, &frmWatch::mnuMailTo_Click, QStringLiteral("<ops@example.org>"),
         QStringLiteral("Enter the To email address:"), QStringLiteral("<<ops@example.org>>"), QStringLiteral("TO"),
         QStringLiteral("No to address specified.")},
        {w.mnuComputer, &frmWatch::mnuComputer_Click, QStringLiteral("DESK9"), QStringLiteral("Enter computer name:"),
         QStringLiteral("DESK9"), QStringLiteral("COMPUTER"), QStringLiteral("No computer specified.")},
    };
    for (const auto& c : cases) {
        // An empty answer changes nothing and says so.
        dialogs.shown.clear();
        (w.*c.click)();
        ASSERT_EQ(dialogs.shown.size(), 2);
        EXPECT_EQ(dialogs.shown.at(0).kind, QStringLiteral("input"));
        EXPECT_EQ(dialogs.shown.at(0).text, c.prompt);
        EXPECT_EQ(dialogs.shown.at(0).title, QStringLiteral("Halvern Watch"));
        EXPECT_EQ(dialogs.shown.at(1).text, c.emptyMessage);
        EXPECT_EQ(dialogs.shown.at(1).style, 16);
        EXPECT_EQ(c.menu->text(), c.unset);
        EXPECT_FALSE(c.menu->isChecked());

        dialogs.textAnswers.push_back(c.answer);
        (w.*c.click)();
        EXPECT_EQ(c.menu->text(), c.caption);
        EXPECT_TRUE(c.menu->isChecked());

        // A set value is cleared at once, without asking; an empty answer then keeps it cleared.
        dialogs.shown.clear();
        (w.*c.click)();
        EXPECT_TRUE(dialogs.shown.isEmpty());
        EXPECT_EQ(c.menu->text(), c.unset);
        EXPECT_FALSE(c.menu->isChecked());
    }

    // Triggering the menu item works the same as calling its handler.
    dialogs.textAnswers.push_back(QStringLiteral("relay"));
    w.mnuMailServer->trigger();
    EXPECT_EQ(w.mnuMailServer->text(), QStringLiteral("relay"));
    EXPECT_TRUE(w.mnuMailServer->isChecked());
}

TEST_F(FrmWatchTest, FileMenus_TakeTheChosenPathOrFallBackToUnset)
{
    frmWatch& w = start();
    dialogs.textAnswers.push_back(path(QStringLiteral("jobs.csv")));
    w.mnuJobsCSVfile_Click();
    // Both files are only appended to: the dialog asks nothing about an existing file.
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown.first().kind, QStringLiteral("append"));
    EXPECT_EQ(dialogs.shown.first().text, QStringLiteral("CSV Files (*.csv)|*.csv|All Files (*.*)|*.*"));
    EXPECT_EQ(w.mnuJobsCSVfile->text(), path(QStringLiteral("jobs.csv")));
    EXPECT_TRUE(w.mnuJobsCSVfile->isChecked());
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("jobs.csv"))));

    dialogs.shown.clear();
    w.mnuHlvDatabase_Click();
    EXPECT_EQ(dialogs.shown.first().kind, QStringLiteral("append"));
    EXPECT_EQ(dialogs.shown.first().text, QStringLiteral("MDB Files (*.mdb)|*.mdb|All Files (*.*)|*.*"));
    EXPECT_EQ(w.mnuHlvDatabase->text(), QStringLiteral("HLV DATABASE"));
    EXPECT_FALSE(w.mnuHlvDatabase->isChecked());

    w.mnuJobsCSVfile_Click();
    EXPECT_EQ(w.mnuJobsCSVfile->text(), QStringLiteral("CSV"));
    EXPECT_FALSE(w.mnuJobsCSVfile->isChecked());
}

TEST_F(FrmWatchTest, JobEvent_ShownRecordedAndAlerted)
{
    writeIni(QStringLiteral("[Halvern]\nServer=PS1\nWatchJobs=True\nJobsCSVfile=%1\nHLVDatabase=%2\nJobDatabase=True\n"
                            "JobsPopupError=True\nMessageComputer=DESK9\n")
                 .arg(path(QStringLiteral("jobs.csv")), path(QStringLiteral("watch.mdb"))));
    frmWatch& w = start();
    w.mwcmnMonitor_JobEvent(QStringLiteral("Modified"), kErrorRecord);

    EXPECT_TRUE(w.optWatch[0]->isChecked());
    EXPECT_FALSE(w.optWatch[1]->isChecked());
    EXPECT_EQ(w.lblAction->text(), QStringLiteral("Modified"));
    EXPECT_EQ(w.lblDetails->toPlainText(), kErrorRecord);
    EXPECT_TRUE(w.lblDetailsTranslated->toPlainText().startsWith(
        QStringLiteral("Log ID: 17-3/14/2026 9:15:30 AM\nStatus: Error\nDescription: Budget.xlsx\n")));
    EXPECT_TRUE(fileBytes(path(QStringLiteral("jobs.csv"))).contains("\"Modified\",\"PS1\",\"Error\",\"Budget.xlsx\""));
    EXPECT_EQ(logRow(path(QStringLiteral("watch.mdb")), QStringLiteral("17-3/14/2026 9:15:30 AM"))
                  .value(QStringLiteral("Server"))
                  .toString(),
              QStringLiteral("PS1"));
    ASSERT_EQ(popups.sent.size(), 2);
    EXPECT_EQ(popups.sent.first().computer, QStringLiteral("DESK9"));
}

TEST_F(FrmWatchTest, FullDisk_JobEventsWaitForSpace_EveryRowStoredCsvLinesWholeToldOnce)
{
    // GIVEN the job log and the CSV file on a small file system of their own
    const QString mountPoint = path(QStringLiteral("disk"));
    ASSERT_TRUE(QDir().mkpath(mountPoint));
    FullFilesystem disk;
    QString why;
    if (!disk.mount(mountPoint, "2m", &why)) {
        GTEST_SKIP() << why.toStdString();
    }
    const QString csv = mountPoint + QStringLiteral("/jobs.csv");
    const QString mdb = mountPoint + QStringLiteral("/watch.mdb");
    writeIni(QStringLiteral("[Halvern]\nServer=PS1\nWatchJobs=True\nJobsCSVfile=%1\nHLVDatabase=%2\nJobDatabase=True\n")
                 .arg(csv, mdb));
    frmWatch& w = start();
    const auto event = [&w](int id) {
        QString record = kErrorRecord;
        record.replace(QStringLiteral("|17|Sales, 17"), QStringLiteral("|%1|Sales, %1").arg(id));
        w.mwcmnMonitor_JobEvent(QStringLiteral("New"), record);
    };
    event(1);
    ASSERT_EQ(logCount(mdb), 1);
    // The CSV file is padded so that the next line begins a few bytes before the end of a
    // page of the file system: a full disk takes the line's first bytes and refuses the rest.
    {
        QFile file(csv);
        ASSERT_TRUE(file.open(QIODevice::Append));
        const qint64 room = 4096 - file.size() % 4096 + 4096;
        file.write("\"Pad\",\"" + QByteArray(room - 20, 'p') + "\"\r\n");
    }
    const QByteArray before = fileBytes(csv);
    ASSERT_TRUE(before.endsWith("\r\n"));
    ASSERT_TRUE(disk.fill());

    // WHEN job events come while the disk is full
    for (int id = 2; id <= 40; ++id) {
        event(id);
    }

    // THEN the CSV file ends with its last whole line, nothing is lost, and the operator
    // sees both troubles in the tray's tip
    EXPECT_EQ(fileBytes(csv), before);
    EXPECT_EQ(logCount(mdb), 1);
    EXPECT_EQ(w.jobLogTrouble().isEmpty(), false);
    EXPECT_TRUE(tray.tip.contains(QStringLiteral("Job log cannot be written"))) << tray.tip.toStdString();
    EXPECT_TRUE(tray.tip.contains(QStringLiteral("CSV file cannot be written: ") + csv)) << tray.tip.toStdString();

    // AND once space is back every row is stored, and the next CSV line is a whole line
    // after the last whole one
    ASSERT_TRUE(disk.release());
    event(41);
    EXPECT_TRUE(waitFor([&] { return logCount(mdb) == 41; })) << logCount(mdb);
    EXPECT_EQ(fileBytes(csv).left(before.size()), before);
    EXPECT_TRUE(fileBytes(csv).mid(before.size()).startsWith("\"New\",\"PS1\",\"Error\",\"Budget.xlsx\""));
    EXPECT_TRUE(waitFor([&] { return tray.tip == QStringLiteral("HLV Watch"); })) << tray.tip.toStdString();

    // A CSV file first made while the disk is full gets its header with its first line.
    ASSERT_TRUE(QFile::remove(csv));
    ASSERT_TRUE(disk.fill());
    event(42);
    ASSERT_TRUE(disk.release());
    event(43);
    const QList<QByteArray> lines = fileBytes(csv).split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines.at(0), (jobCsvHeaderLine() + QStringLiteral("\r")).toUtf8());
    EXPECT_TRUE(lines.at(1).contains("\"43\",\"Sales, 43\""));
    EXPECT_TRUE(waitFor([&] { return logCount(mdb) == 43; })) << logCount(mdb);
}

TEST_F(FrmWatchTest, DatabaseRecordingWithoutADatabaseChosen_TouchesNoFile)
{
    writeIni(QStringLiteral("[Halvern]\nServer=PS1\nJobDatabase=True\n"));
    frmWatch& w = start();
    w.mwcmnMonitor_JobEvent(QStringLiteral("New"), kErrorRecord);
    EXPECT_FALSE(QFile::exists(QStringLiteral("HLV DATABASE")));
    QDirIterator it(env.appDataPath, QDir::Files);
    QStringList files;
    while (it.hasNext()) {
        files.append(QFileInfo(it.next()).fileName());
    }
    EXPECT_EQ(files, QStringList({QStringLiteral("hlvw.ini")}));
}

TEST_F(FrmWatchTest, EmailAlert_ReachesTheMailServerFromTheHiddenMailWindow)
{
    SmtpTestServer server;
    ASSERT_TRUE(server.isListening());
    writeIni(QStringLiteral("[Halvern]\nServer=PS1\nMailServer=127.0.0.1\nMailFrom=<watch@example.org>\n"
                            "MailTo=<ops@example.org>\nJobsEmailError=True\n"));
    build();
    context->smtpPort = server.port();
    frmWatch& w = *window;
    w.Form_Load();

    w.mwcmnMonitor_JobEvent(QStringLiteral("Modified"), kErrorRecord);
    ASSERT_NE(w.mailer(), nullptr);
    EXPECT_FALSE(w.mailer()->isVisible());
    ASSERT_TRUE(waitFor([&] { return w.mailer() == nullptr; }));
    EXPECT_TRUE(dialogs.shown.isEmpty());
    ASSERT_EQ(server.messages.size(), 1);
    EXPECT_TRUE(server.messages.first().contains("To: <ops@example.org>\r\nFrom: <watch@example.org>\r\n"
                                                 "Subject:HLV: Job Error on PS1\r\n\r\n"
                                                 "Warning: Job 17 titled Budget.xlsx in Sales on PS1\r\n"
                                                 "for carol on \\\\PC7 is reporting a status of Error\r\n"));
    EXPECT_EQ(server.commands.first(), QStringLiteral("HELO watch"));

    // Test Email shows the window for a send by hand, without sending.
    w.mnuTestEmail_Click();
    ASSERT_NE(w.mailer(), nullptr);
    EXPECT_TRUE(w.mailer()->isVisible());
    EXPECT_FALSE(w.mailAlert().MailAlertMode);
    EXPECT_EQ(server.connections, 1);
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kUnderSanitizer = true;
#else
constexpr bool kUnderSanitizer = false;
#endif

// Resident memory of this process in kilobytes.
qint64 residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toLongLong();
        }
    }
    return -1;
}

int visibleWindows()
{
    int count = 0;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        count += top->isVisible() ? 1 : 0;
    }
    return count;
}

// A mail server that is down, or refuses every mail, for a night of alerts: no box, one
// window that counts the alerts not mailed since the first, and memory that stays flat. A
// burst beyond the waiting mails is counted too, and a job event is handled to its end
// whatever the mail did. The next mail that goes out ends the trouble.
TEST_F(FrmWatchTest, MailServerDownFor1000Alerts_OneWindowCountsThemAndMemoryStaysFlat)
{
    constexpr int kPaced = 1000;
    constexpr int kBurst = frmMailer::kMaxWaitingMails + 10;
    const struct
    {
        const char* name;
        bool listening;
        QByteArray greeting;
        QString lastError;
    } cases[] = {
        {"down", false, QByteArray(),
         QStringLiteral("The server rejected your conection attempt.  Check your send from email address and make sure "
                        "it has a account on the mail server with permission to send")},
        {"refusing", true, "554 5.3.2 no service\r\n", QStringLiteral("Error: 554 5.3.2 no service\n")},
    };
    for (const auto& c : cases) {
        SmtpTestServer server;
        ASSERT_TRUE(server.isListening());
        server.greeting = c.greeting;
        quint16 port = server.port();
        if (!c.listening) {
            QTcpServer probe;
            ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
            port = probe.serverPort();
        }
        writeIni(QStringLiteral("[Halvern]\nServer=PS1\nMailServer=127.0.0.1\nMailFrom=<watch@example.org>\n"
                                "MailTo=<ops@example.org>\nJobsEmailError=True\nJobsCSVfile=%1\n")
                     .arg(path(QStringLiteral("jobs-%1.csv").arg(QLatin1String(c.name)))));
        window.reset();
        build();
        context->smtpPort = port;
        frmWatch& w = *window;
        w.Form_Load();
        const int windowsBefore = visibleWindows();

        qint64 warmKb = 0;
        for (int i = 0; i < kPaced; ++i) {
            w.mwcmnMonitor_JobEvent(QStringLiteral("Modified"), kErrorRecord);
            ASSERT_TRUE(waitFor([&] { return w.mailTrouble() && w.mailTrouble()->notMailedCount() == i + 1; }))
                << c.name << " alert " << i;
            if (i == 99) {
                warmKb = residentKb();
            }
        }
        const qint64 afterKb = residentKb();
        // AddressSanitizer holds freed memory back in its quarantine, and ThreadSanitizer's
        // allocator and access history grow on their own, so resident size says nothing about
        // leaks there; AddressSanitizer's leak check and the plain build's run stand in.
        if (!kUnderSanitizer) {
            EXPECT_LT(afterKb - warmKb, 4096) << c.name << ": " << warmKb << " kB -> " << afterKb << " kB";
        }

        for (int i = 0; i < kBurst; ++i) {
            w.mwcmnMonitor_JobEvent(QStringLiteral("Modified"), kErrorRecord);
        }
        ASSERT_TRUE(waitFor([&] { return w.mailTrouble()->notMailedCount() == kPaced + kBurst; }))
            << c.name << ": " << w.mailTrouble()->notMailedCount();
        EXPECT_TRUE(w.mailer()->droppedMails() > 0) << c.name;

        EXPECT_TRUE(dialogs.shown.isEmpty()) << c.name << ": " << dialogs.shown.size() << " boxes";
        EXPECT_EQ(visibleWindows(), windowsBefore + 1) << c.name;
        EXPECT_TRUE(w.mailTrouble()->isVisible());
        const QString counted = QStringLiteral("%1 alerts not mailed since ").arg(kPaced + kBurst);
        EXPECT_TRUE(w.mailTrouble()->lblStatus->text().startsWith(counted))
            << w.mailTrouble()->lblStatus->text().toStdString();
        EXPECT_TRUE(tray.tip.startsWith(QStringLiteral("HLV Watch\n") + counted)) << tray.tip.toStdString();
        EXPECT_TRUE(w.mailTrouble()->txtLastError->toPlainText().endsWith(c.lastError))
            << w.mailTrouble()->txtLastError->toPlainText().toStdString();
        EXPECT_EQ(fileBytes(path(QStringLiteral("jobs-%1.csv").arg(QLatin1String(c.name)))).count('\n'),
                  1 + kPaced + kBurst);

        // A dropped alert is told in the window as well as on stderr.
        bool dropShown = false;
        w.mailTrouble()->txtLastError->setPlainText(QString());
        for (int i = 0; i <= frmMailer::kMaxWaitingMails + 1 && !dropShown; ++i) {
            w.mwcmnMonitor_JobEvent(QStringLiteral("Modified"), kErrorRecord);
            dropShown = w.mailTrouble()->txtLastError->toPlainText().contains(
                QStringLiteral("dropped: %1 mails are waiting already.").arg(frmMailer::kMaxWaitingMails));
        }
        EXPECT_TRUE(dropShown) << c.name;

        // The server is back: the next alert mailed ends the trouble, in the window and the tip.
        SmtpTestServer back;
        context->smtpPort = back.port();
        ASSERT_TRUE(waitFor([&] { return w.mailer()->waitingMails() == 0 && !w.mailer()->isConnectionOpen(); }));
        delete w.mailer(); // the next alert opens a mail window on the new port
        w.mwcmnMonitor_JobEvent(QStringLiteral("Modified"), kErrorRecord);
        ASSERT_TRUE(waitFor([&] { return !w.mailTrouble()->inTrouble(); })) << c.name;
        EXPECT_EQ(back.messages.size(), 1);
        EXPECT_EQ(tray.tip, QStringLiteral("HLV Watch"));
        EXPECT_TRUE(w.mailTrouble()->lblStatus->text().startsWith(QStringLiteral("Alerts are mailed again since ")));
    }
}

// The real box the mail window shows: it returns at once and leaves the window, its menus
// and the notification-area menu free while it stays open.
TEST_F(FrmWatchTest, RealMailerBox_BlocksNeitherTheWindowNorTheTrayMenu)
{
    frmWatch& w = start();
    w.showMinimized();
    ASSERT_TRUE(waitFor([&] { return !w.isVisible(); }));
    QtDialogs real(&w);
    // Should the box wait after all, it is closed again rather than hang the test.
    QTimer::singleShot(3000, &w, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
    });
    real.showMessage(QStringLiteral("Error: 550 no such user\r\n"), MsgBoxStyle::Critical, QStringLiteral("Error"));
    QPointer<QMessageBox> box;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<QMessageBox*>(top); found && found->isVisible()) {
            box = found;
        }
    }
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("Error: 550 no such user\n"));
    EXPECT_EQ(box->windowModality(), Qt::NonModal);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    tray.click(TrayIcon::kRightButtonUp);
    EXPECT_TRUE(w.mPopupSys->isVisible());
    w.mPopupSys->hide();
    tray.click(TrayIcon::kLeftButtonUp);
    EXPECT_TRUE(w.isVisible());
    box->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(waitFor([&] { return box.isNull(); }));
}

TEST_F(FrmWatchTest, NotificationArea_HidesRestoresAndOffersStartStop)
{
    frmWatch& w = start();
    EXPECT_EQ(tray.added, 1);
    EXPECT_EQ(tray.tip, QStringLiteral("HLV Watch"));
    EXPECT_EQ(tray.menu, w.mPopupSys);

    w.showMinimized();
    EXPECT_TRUE(waitFor([&] { return !w.isVisible(); }));
    tray.click(TrayIcon::kLeftButtonUp);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.isMinimized());
    w.showMinimized();
    EXPECT_TRUE(waitFor([&] { return !w.isVisible(); }));
    tray.click(TrayIcon::kLeftDoubleClick);
    EXPECT_TRUE(w.isVisible());
    tray.click(600);
    EXPECT_TRUE(w.isVisible());

    tray.click(TrayIcon::kRightButtonUp);
    EXPECT_TRUE(w.mPopupSys->isVisible());
    EXPECT_TRUE(w.mnuStartStop[0]->isEnabled());
    EXPECT_FALSE(w.mnuStartStop[1]->isEnabled());
    w.mPopupSys->hide();

    w.close();
    EXPECT_EQ(tray.removed, 1);
    EXPECT_EQ(programEnded, 1);
    EXPECT_TRUE(QFile::exists(iniPath()));
    w.Form_Unload();
    EXPECT_EQ(programEnded, 1);
}

TEST_F(FrmWatchTest, NoNotificationArea_MinimisedWindowStaysVisible)
{
    tray.available = false;
    frmWatch& w = start();
    w.showMinimized();
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.isMinimized());
}

TEST_F(FrmWatchTest, StoredStartOptions_MinimiseAndStartWatchingTheStoredServer)
{
    writeIni(QStringLiteral("[Halvern]\nStartMinimised=True\nStartWatching=True\nServer=PS9\nWatchJobs=True\n"
                            "MailTo=<ops@example.org>\nJobsCSVfile=/srv/jobs.csv\n"));
    frmWatch& w = start();
    EXPECT_TRUE(waitFor([&] { return !w.isVisible(); }));
    EXPECT_TRUE(w.isWatching());
    EXPECT_EQ(w.txtComputer->text(), QStringLiteral("PS9"));
    expectIdle(w, false);
    // The start saved what was loaded, not the window's design state.
    const QString ini = iniText();
    for (const char* line : {"StartMinimised=True", "StartWatching=True", "Server=PS9", "WatchJobs=True",
                             "MailTo=<ops@example.org>", "JobsCSVfile=/srv/jobs.csv", "MailServer=SMTP"}) {
        EXPECT_TRUE(ini.contains(QString::fromLatin1(line))) << line;
    }
}

TEST_F(FrmWatchTest, StoredStartWithoutWatchJobs_RefusesAfterSaving)
{
    writeIni(QStringLiteral("[Halvern]\nStartWatching=True\nServer=PS9\n"));
    frmWatch& w = start();
    EXPECT_FALSE(w.isWatching());
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(dialogs.messages().first().text, QStringLiteral("You have not selected any items to watch"));
    EXPECT_TRUE(iniText().contains(QStringLiteral("WatchJobs=False")));
}

TEST_F(FrmWatchTest, MenuCommands_TestMessageViewCsvHelpAndToggles)
{
    frmWatch& w = start();
    w.mnuTestMessage_Click();
    ASSERT_EQ(popups.sent.size(), 2);
    EXPECT_EQ(popups.sent.at(0).kind, QStringLiteral("net send"));
    EXPECT_EQ(popups.sent.at(1).kind, QStringLiteral("msg"));
    for (const auto& popup : popups.sent) {
        EXPECT_EQ(popup.computer, QStringLiteral("COMPUTER"));
        EXPECT_EQ(popup.text, QStringLiteral("Test from Halvern Watch"));
    }

    w.mnuJobsCSVview_Click();
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(dialogs.messages().first().text, QStringLiteral("You have not chosen a CSV file yet"));
    EXPECT_EQ(dialogs.messages().first().style, 16);
    EXPECT_TRUE(shell.opened.isEmpty());
    dialogs.textAnswers.push_back(path(QStringLiteral("jobs.csv")));
    w.mnuJobsCSVfile_Click();
    w.mnuJobsCSVview_Click();
    w.mnuHelpContents_Click();
    EXPECT_EQ(shell.opened, QStringList({path(QStringLiteral("jobs.csv")),
                                         context->programDir + QStringLiteral("/") + frmWatch::helpFileName()}));

    // Watch > Jobs switches the Record and Alert job menus with it.
    w.mnuWatchJobs->trigger();
    EXPECT_TRUE(w.mnuWatchJobs->isChecked());
    EXPECT_TRUE(w.mnuRecordJobs->menuAction()->isEnabled());
    w.mnuWatchJobs->trigger();
    EXPECT_FALSE(w.mnuWatchJobs->isChecked());
    EXPECT_FALSE(w.mnuRecordJobs->menuAction()->isEnabled());
    EXPECT_FALSE(w.mnuAlertJobs->menuAction()->isEnabled());

    for (QAction* toggle : {w.mnuJobDatabase, w.mnuJobsPopup, w.mnuJobsEmail, w.mnuMinimised, w.mnuStartAuto}) {
        const bool before = toggle->isChecked();
        toggle->trigger();
        EXPECT_NE(toggle->isChecked(), before) << toggle->text().toStdString();
    }
}

} // namespace
} // namespace hlv::test
