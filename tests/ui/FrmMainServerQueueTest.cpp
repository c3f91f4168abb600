#include <csignal>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <sys/resource.h>

#include "ConsoleFixture.h"
#include "console/ui/ControlWidgets.h"
#include "console/ui/JobListWidget.h"
#include "console/ui/QueueStatusColour.h"
#include "platform/PrintSystem.h"
#include "support/Settle.h"

namespace hlv::test {
namespace {

class ServerQueueTest : public ConsoleFixture
{
protected:
    void SetUp() override
    {
        ConsoleFixture::SetUp();
        addQueue(QStringLiteral("PS1"), QStringLiteral("Sales"), QStringLiteral("Floor 2"),
                 QStringLiteral("Sales printer"), QStringLiteral("LaserJet"));
        addQueue(QStringLiteral("PS1"), QStringLiteral("Admin"));
    }
    FrmMain& startOn(const QString& extra = QString())
    {
        writeIni(QStringLiteral("[Halvern]\nServer=PS1\nAudit=True\nStartMax=False\n") + extra);
        return start();
    }
    QString historyPath() const { return env.appDataPath + QStringLiteral("/hlv.his"); }
    void writeHistory(const QByteArray& bytes)
    {
        QFile file(historyPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    QByteArray historyBytes() const
    {
        QFile file(historyPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    int selectQueue(FrmMain& w, const QString& name)
    {
        const int index = w.CurrentPrintQueue->findText(name);
        settle(w.selectQueueEntry(index));
        return index;
    }
};

TEST_F(ServerQueueTest, FindPrintQueues_SameServerTwiceAndOtherCase_HistoryOncePerExactName)
{
    FrmMain& w = startOn();
    settle(w.FindPrintQueues_Click());
    w.CurrentPrinter->setEditText(QStringLiteral("ps1"));
    settle(w.FindPrintQueues_Click());
    w.CurrentPrinter->setEditText(QStringLiteral("PS1"));
    settle(w.FindPrintQueues_Click());
    w.SaveSettings();
    EXPECT_EQ(readFile(env.appDataPath + QStringLiteral("/hlv.his")), QStringLiteral("PS1\r\nps1\r\n"));
}

TEST_F(ServerQueueTest, ListLoad_EmptyLinesAndLastLineWithoutBreak_EachNameOnce)
{
    QFile file(env.appDataPath + QStringLiteral("/hlv.his"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\xEF\xBB\xBFOLD1\r\n\r\nOLD2\r\nOLD1\r\nLAST"); // a byte-order mark first
    file.close();
    FrmMain& w = startOn();
    QStringList entries;
    for (int i = 0; i < w.CurrentPrinter->count(); ++i) {
        entries.append(w.CurrentPrinter->itemText(i));
    }
    EXPECT_EQ(entries, (QStringList{QStringLiteral("OLD1"), QStringLiteral("OLD2"), QStringLiteral("LAST"),
                                    QStringLiteral("PS1")}));
    EXPECT_EQ(w.CurrentPrinter->currentText(), QStringLiteral("PS1"));
}

TEST_F(ServerQueueTest, FindPrintQueues_ListsQueuesSelectsNoneAndAudits)
{
    FrmMain& w = startOn();
    EXPECT_EQ(w.CurrentPrintQueue->count(), 2);
    EXPECT_EQ(w.CurrentPrintQueue->itemText(0), QStringLiteral("Sales"));
    EXPECT_EQ(w.queueBoxText(), QString());
    EXPECT_TRUE(w.statusPanelText(1).startsWith(QStringLiteral("Queues Found ")));
    EXPECT_TRUE(audit().contains(QStringLiteral("Queue|Search for queues on PS1")));
}

TEST_F(ServerQueueTest, FindPrintQueues_EmptyBoxAndSetting_NoQueuesFoundAndEmptyAudit)
{
    writeIni(QStringLiteral("[Halvern]\nAudit=True\n"));
    FrmMain& w = build();
    settle(w.Form_Load());
    w.CurrentPrinter->setEditText(QString());
    settle(w.FindPrintQueues_Click());
    EXPECT_EQ(w.CurrentPrintQueue->count(), 0);
    EXPECT_EQ(w.JobList->rowCount(), 0);
    EXPECT_EQ(w.statusPanelText(1), QStringLiteral("No Queues Found 9:30:00 AM"));
    EXPECT_EQ(audit().last(), QStringLiteral("Queue|Search for queues on "));
}

TEST_F(ServerQueueTest, CurrentPrinterKeyDown_EnterSearchesOtherKeysDoNot)
{
    FrmMain& w = startOn();
    const qsizetype searches = audit().count(QStringLiteral("Queue|Search for queues on PS1"));
    QWidget* focus = focusServerBox(w);
    ASSERT_TRUE(focus);
    QTest::keyClick(focus, Qt::Key_Left);
    QTest::keyClick(focus, Qt::Key_End);
    EXPECT_EQ(audit().count(QStringLiteral("Queue|Search for queues on PS1")), searches);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    settle(w);
    EXPECT_EQ(audit().count(QStringLiteral("Queue|Search for queues on PS1")), searches + 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
    settle(w);
    EXPECT_EQ(audit().count(QStringLiteral("Queue|Search for queues on PS1")), searches + 2);
}

TEST_F(ServerQueueTest, ServerBox_TypedNames_StayAsTypedWhateverTheHistoryHolds)
{
    writeHistory("NOPE\r\nPS1\r\n");
    FrmMain& w = startOn();
    QWidget* focus = focusServerBox(w);
    ASSERT_TRUE(focus);

    // Typing a name that begins a longer history entry searches what was typed.
    w.CurrentPrinter->clearEditText();
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("NO"));
    EXPECT_EQ(w.CurrentPrinter->currentText(), QStringLiteral("NO"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    settle(w);
    EXPECT_EQ(audit().last(), QStringLiteral("Queue|Search for queues on NO"));

    // Opening the list and leaving it with Escape keeps a name that differs in case only.
    w.CurrentPrinter->clearEditText();
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("ps1"));
    w.CurrentPrinter->showPopup();
    ASSERT_TRUE(waitFor([&w] { return w.CurrentPrinter->view()->isVisible(); }));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&w] { return !w.CurrentPrinter->view()->isVisible(); }));
    EXPECT_EQ(w.CurrentPrinter->currentText(), QStringLiteral("ps1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    settle(w);
    EXPECT_EQ(audit().last(), QStringLiteral("Queue|Search for queues on ps1"));
}

TEST_F(ServerQueueTest, History_SavedWhileTheWriteFails_OldFileStaysWhole)
{
    writeHistory("OLD1\r\nOLD2\r\n");
    FrmMain& w = startOn();
    for (int i = 0; i < 2000; ++i) {
        w.List_Add(w.CurrentPrinter, QStringLiteral("SERVER-%1").arg(i));
    }
    // A disk that fills up after a few bytes, as a crash part way through would leave it.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    w.List_Save(w.CurrentPrinter, historyPath());
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
    EXPECT_EQ(historyBytes(), QByteArray("OLD1\r\nOLD2\r\n"));

    w.List_Save(w.CurrentPrinter, historyPath());
    EXPECT_TRUE(historyBytes().startsWith("OLD1\r\nOLD2\r\nPS1\r\nSERVER-0\r\n"));
    EXPECT_TRUE(historyBytes().endsWith("SERVER-1999\r\n"));
}

TEST_F(ServerQueueTest, History_LineInAnotherEncoding_WrittenBackByteForByte)
{
    writeHistory("serv\xe9r\r\nPS1\r\n");
    FrmMain& w = startOn();
    EXPECT_EQ(w.CurrentPrinter->itemText(0), QStringLiteral("serv\u00e9r"));
    w.List_Add(w.CurrentPrinter, QStringLiteral("caf\u00e9"));
    w.SaveSettings();
    EXPECT_EQ(historyBytes(), QByteArray("serv\xe9r\r\nPS1\r\ncaf\xc3\xa9\r\n"));
}

TEST_F(ServerQueueTest, History_FiftyThousandLines_LoadInLinearTime)
{
    QByteArray bytes;
    for (int i = 0; i < 50000; ++i) {
        bytes += "PRINT-SERVER-" + QByteArray::number(i) + "\r\n";
    }
    writeHistory(bytes);
    build();
    QElapsedTimer timer;
    timer.start();
    window->List_Load(window->CurrentPrinter, historyPath());
    const qint64 elapsed = timer.elapsed();
    EXPECT_EQ(window->CurrentPrinter->count(), 50000);
    EXPECT_EQ(window->CurrentPrinter->itemText(49999), QStringLiteral("PRINT-SERVER-49999"));
    // Minutes when each line is compared with every earlier one; well under a second here.
    EXPECT_LT(elapsed, 10000);
}

TEST_F(ServerQueueTest, FindComputers_CancelOpensNothingOkOpensPicker)
{
    FrmMain& w = startOn();
    dialogs.msgAnswers = {2};
    const QString before = w.statusPanelText(1);
    w.FindComputers_Click();
    EXPECT_EQ(w.statusPanelText(1), before);
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(dialogs.messages().at(0).text, QStringLiteral("Press OK to begin searching your network for machines.\r\n"
                                                            "This may take a few minutes."));
    EXPECT_EQ(dialogs.messages().at(0).style, 1);
    dialogs.msgAnswers = {1};
    w.FindComputers_Click();
    EXPECT_EQ(w.statusPanelText(1), QStringLiteral("Search for Print Servers 9:30:00 AM"));
}

TEST_F(ServerQueueTest, CurrentPrintQueueClick_QueueChangeRecordsOnlyOnChange)
{
    FrmMain& w = startOn();
    selectQueue(w, QStringLiteral("Sales"));
    selectQueue(w, QStringLiteral("Sales"));
    settle(w.CurrentPrintQueue_Click());
    selectQueue(w, QStringLiteral("Admin"));
    const QStringList records = audit();
    EXPECT_EQ(records.count(QStringLiteral("Queue|Queue changed to PS1-Sales")), 1);
    EXPECT_EQ(records.count(QStringLiteral("Queue|Queue changed to PS1-Admin")), 1);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Admin on PS1 - Halvern"));
}

TEST_F(ServerQueueTest, CurrentPrintQueueClick_Selected_DetailsStatusAndTimer)
{
    FrmMain& w = startOn();
    selectQueue(w, QStringLiteral("Sales"));
    EXPECT_EQ(w.txtDescription->text(), QStringLiteral("Sales printer"));
    EXPECT_EQ(w.txtLocation->text(), QStringLiteral("Floor 2"));
    EXPECT_EQ(w.txtModel->text(), QStringLiteral("LaserJet"));
    EXPECT_EQ(w.txtPrintStatus->text(), QStringLiteral("OK"));
    EXPECT_EQ(w.statusPanelText(4), QStringLiteral("OK"));
    EXPECT_EQ(w.printStatusBackColour(), 65280u);
    EXPECT_FALSE(w.imgPlay->isHidden());
    EXPECT_TRUE(w.imgPause->isHidden());
    EXPECT_TRUE(w.menuJobs->isEnabled());
    EXPECT_TRUE(w.Timer2.isActive());
    EXPECT_EQ(w.activeUpdateColour(), 65280u);
}

TEST_F(ServerQueueTest, CurrentPrintQueueClick_PausedAndError_RedPlayImageAndMessageByShowErrors)
{
    ASSERT_TRUE(
        server(QStringLiteral("PS1"))
            .setQueue(QStringLiteral("Sales"), PrinterStatus::Paused | PrinterStatus::Error, std::nullopt, std::nullopt)
            .ok);
    const QList<std::pair<QString, bool>> cases = {{QStringLiteral("ShowErrors=\n"), true},
                                                   {QStringLiteral("ShowErrors=True\n"), true},
                                                   {QStringLiteral("ShowErrors=whatever\n"), true},
                                                   {QStringLiteral("ShowErrors=False\n"), false}};
    for (const auto& [setting, shown] : cases) {
        dialogs.shown.clear();
        FrmMain& w = startOn(setting);
        selectQueue(w, QStringLiteral("Sales"));
        EXPECT_TRUE(w.txtPrintStatus->text().contains(QStringLiteral(" Paused")));
        EXPECT_TRUE(w.txtPrintStatus->text().contains(QStringLiteral(" Error")));
        EXPECT_EQ(w.printStatusBackColour(), 255u);
        EXPECT_FALSE(w.imgPlay->isHidden());
        EXPECT_TRUE(w.imgPause->isHidden());
        ASSERT_EQ(dialogs.messages().size(), shown ? 1 : 0) << setting.toStdString();
        if (shown) {
            EXPECT_EQ(dialogs.messages().at(0).text, QStringLiteral("An Error has been reported!\r\nPlease check the "
                                                                    "printer: PS1\r\nLocation: Floor 2"));
            EXPECT_EQ(dialogs.messages().at(0).style, 16);
            EXPECT_EQ(dialogs.messages().at(0).title, QStringLiteral("Halvern"));
        }
        window.reset();
    }
}

TEST_F(ServerQueueTest, CurrentPrintQueueClick_PausedQueue_OrangePauseImage)
{
    ASSERT_TRUE(server(QStringLiteral("PS1"))
                    .setQueue(QStringLiteral("Admin"), PrinterStatus::Paused, std::nullopt, std::nullopt)
                    .ok);
    FrmMain& w = startOn();
    selectQueue(w, QStringLiteral("Admin"));
    EXPECT_EQ(w.printStatusBackColour(), 33023u);
    EXPECT_TRUE(w.imgPlay->isHidden());
    EXPECT_FALSE(w.imgPause->isHidden());
}

TEST_F(ServerQueueTest, CurrentPrintQueueClick_ResumingAll_KeepsColourAndPanel)
{
    FrmMain& w = startOn();
    selectQueue(w, QStringLiteral("Sales"));
    w.setPrintStatusBackColour(33023);
    w.setStatusPanelText(4, QStringLiteral("before"));
    w.ResumeAllPending = true;
    settle(w.CurrentPrintQueue_Click());
    EXPECT_EQ(w.txtPrintStatus->text(), QStringLiteral("Resuming All Jobs"));
    EXPECT_EQ(w.printStatusBackColour(), 33023u);
    EXPECT_EQ(w.statusPanelText(4), QStringLiteral("before"));
}

TEST_F(ServerQueueTest, CurrentPrintQueueClick_NoQueue_DisablesMenusKeepsCaption)
{
    FrmMain& w = startOn();
    selectQueue(w, QStringLiteral("Sales"));
    settle(w.selectQueueEntry(-1));
    EXPECT_FALSE(w.menuJobs->isEnabled());
    EXPECT_FALSE(w.menuPrinter->isEnabled());
    EXPECT_FALSE(w.cmdPrintProperty->isEnabled());
    EXPECT_FALSE(w.cmdTestPage->isEnabled());
    EXPECT_TRUE(w.imgPlay->isHidden());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Sales on PS1 - Halvern"));
}

TEST_F(ServerQueueTest, CurrentPrintQueueClick_AutoQueueOn_PausesAllButLastReleased)
{
    const qint64 a =
        addJob(QStringLiteral("PS1"), QStringLiteral("Sales"), QStringLiteral("a"), QStringLiteral("u"), 1, 10);
    const qint64 b =
        addJob(QStringLiteral("PS1"), QStringLiteral("Sales"), QStringLiteral("b"), QStringLiteral("u"), 1, 10);
    FrmMain& w = startOn();
    selectQueue(w, QStringLiteral("Sales"));
    w.LastReleasedJob = QString::number(b);
    {
        const QSignalBlocker blocker(w.chkAutoQueue);
        w.chkAutoQueue->setChecked(true);
    }
    settle(w.CurrentPrintQueue_Click());
    QList<PrintJobInfo> jobs;
    ASSERT_TRUE(server(QStringLiteral("PS1")).jobs(jobs, QStringLiteral("Sales")).ok);
    ASSERT_EQ(jobs.size(), 2);
    for (const PrintJobInfo& job : jobs) {
        EXPECT_EQ((job.StatusMask & JobStatus::Paused) != 0, job.JobId == a) << job.JobId;
    }
    EXPECT_EQ(w.statusPanelText(4), QStringLiteral("AQ:OK"));
    EXPECT_FALSE(w.imgPlay->isEnabled());
}

TEST(QueueStatusColourRules, Words_LastMatchWinsCaseSensitive)
{
    const QList<std::tuple<QString, std::optional<quint32>, bool>> cases = {
        {QStringLiteral("OK"), 65280u, false},
        {QStringLiteral(" Printing"), 65280u, false},
        {QStringLiteral(" Paused"), 33023u, false},
        {QStringLiteral(" Paused Error"), 255u, true},
        {QStringLiteral(" Error Busy"), 255u, true},
        {QStringLiteral(" Offline Waiting"), 255u, false},
        {QStringLiteral(" Busy Printing"), 33023u, false},
        {QStringLiteral("paused error"), std::nullopt, false},
        {QStringLiteral("Resuming All Jobs"), std::nullopt, false}};
    for (const auto& [text, colour, error] : cases) {
        const QueueStatusColour c = queueStatusColour(text);
        EXPECT_EQ(c.colour, colour) << text.toStdString();
        EXPECT_EQ(c.error, error) << text.toStdString();
    }
    EXPECT_EQ(queueImageFor(255), QueueImage::Play);
    EXPECT_EQ(queueImageFor(65280), QueueImage::Play);
    EXPECT_EQ(queueImageFor(33023), QueueImage::Pause);
    EXPECT_EQ(queueImageFor(0xFFFFFF), QueueImage::Unchanged);
}

} // namespace
} // namespace hlv::test

namespace hlv::test {
namespace {

// A server that cannot be reached leaves nothing bound: the old server's jobs are neither
// listed nor logged under the new name, not at the search and not at a later refresh.
TEST_F(ServerQueueTest, FindPrintQueues_UnreachableServer_ListsAndLogsNothingUntilBoundAgain)
{
    addJob(QStringLiteral("PS1"), QStringLiteral("Sales"), QStringLiteral("first.pdf"), QStringLiteral("ann"), 3, 2048);
    FrmMain& w = startOn(QStringLiteral("Queue=Sales\n"));
    ASSERT_EQ(w.SearchList->rowCount(), 1);
    ASSERT_EQ(logCount(), 1);
    addJob(QStringLiteral("PS1"), QStringLiteral("Sales"), QStringLiteral("second.pdf"), QStringLiteral("bob"), 3,
           2048);

    w.CurrentPrinter->setEditText(QStringLiteral("NoSuchServer"));
    settle(w.FindPrintQueues_Click());
    EXPECT_EQ(w.SearchList->rowCount(), 0);
    EXPECT_EQ(w.JobList->rowCount(), 0);
    w.cmdRefreshJobs_Click();
    EXPECT_EQ(w.SearchList->rowCount(), 0);
    EXPECT_EQ(logCount(), 1) << "the second job of PS1 was logged under NoSuchServer";

    w.CurrentPrinter->setEditText(QStringLiteral("PS1"));
    settle(w.FindPrintQueues_Click());
    EXPECT_EQ(w.SearchList->rowCount(), 2);
    EXPECT_EQ(logCount(), 2);
}

} // namespace
} // namespace hlv::test
