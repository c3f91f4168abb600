#include <algorithm>
#include <csignal>

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTimer>
#include <cups/cups.h>
#include <sys/types.h>

#include "ConsoleCupsFixture.h"
#include "console/ui/JobListWidget.h"
#include "platform/ProcessControl.h"
#include "platform/print/CupsPrintSystem.h"
#include "support/ToolProcess.h"
#include "support/WaitFor.h"

namespace hlv::test {
namespace {

// The console against the private CUPS server: its queues and the jobs lp submitted.
class ConsoleCupsTest : public ConsoleCupsFixture
{
protected:
    void SetUp() override { setUpCups(QStringLiteral("hlvui_"), {QStringLiteral("-L"), QStringLiteral("Room 12")}); }
};

TEST_F(ConsoleCupsTest, StartUp_PrivateServer_ListsItsQueueAndSubmittedJobs)
{
    const qint64 first = submitHeld(QStringLiteral("First report"));
    const qint64 second = submitHeld(QStringLiteral("Second report"));
    writeIni(QStringLiteral("[Halvern]\nServer=") + cupsServer + QStringLiteral("\nQueue=") + queue +
             QStringLiteral("\nStartMax=False\n"));
    FrmMain& w = start();

    EXPECT_GE(w.CurrentPrintQueue->findText(queue), 0);
    EXPECT_EQ(w.queueBoxText(), queue);
    EXPECT_EQ(w.txtLocation->text(), QStringLiteral("Room 12"));
    QStringList ids = w.JobList->columnTexts(9);
    EXPECT_TRUE(ids.contains(QString::number(first))) << ids.join(QLatin1Char(',')).toStdString();
    EXPECT_TRUE(ids.contains(QString::number(second)));
    const QStringList documents = w.JobList->columnTexts(1);
    EXPECT_TRUE(documents.contains(QStringLiteral("First report")));
    EXPECT_TRUE(documents.contains(QStringLiteral("Second report")));
    EXPECT_GE(w.SearchList->rowCount(), 2);
    EXPECT_EQ(w.windowTitle(), queue + QStringLiteral(" on ") + cupsServer + QStringLiteral(" - Halvern"));
}

// The console watching the private server with its real job monitor process.
class ConsoleCupsMonitorTest : public ConsoleCupsFixture
{
protected:
    void SetUp() override
    {
        setUpCups(QStringLiteral("hlvmon_"));
        processControl = &realProcesses;
    }
    void configure(ConsoleContext& ctx) override
    {
        ctx.startJobMonitor = true;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HLV_PRINT_SYSTEM"), QStringLiteral("cups"));
        ctx.monitorEnvironment = environment;
    }
    // Submits count held jobs through one connection (lp would start a process for each).
    int submitManyHeld(int count)
    {
        cupsSetServer(cupsServer.toUtf8().constData());
        const QByteArray host = cupsServer.section(QLatin1Char(':'), 0, 0).toUtf8();
        const int port = cupsServer.section(QLatin1Char(':'), 1, 1).toInt();
        http_t* http = httpConnect2(host.constData(), port > 0 ? port : IPP_PORT, nullptr, AF_UNSPEC,
                                    HTTP_ENCRYPTION_IF_REQUESTED, 1, 30000, nullptr);
        if (!http) {
            return 0;
        }
        cups_option_t* options = nullptr;
        const int optionCount = cupsAddOption("job-hold-until", "indefinite", 0, &options);
        const QByteArray name = queue.toUtf8();
        int made = 0;
        for (int i = 0; i < count; ++i) {
            const QByteArray title = QStringLiteral("Mass %1").arg(i).toUtf8();
            made +=
                cupsPrintFile2(http, name.constData(), "/etc/hostname", title.constData(), optionCount, options) > 0;
        }
        cupsFreeOptions(optionCount, options);
        httpClose(http);
        return made;
    }
    LinuxProcessControl realProcesses;
};

// Every job of the shown queue cancelled from outside at once: the monitor reports them
// all within moments, and the window goes on answering while both lists lose them; the
// job log keeps the one row per job that the listing wrote.
TEST_F(ConsoleCupsMonitorTest, ThousandsCancelledFromOutside_WindowKeepsAnsweringListsAndLogRight)
{
    constexpr int kJobs = 2000;
    // A loaded machine keeps this; a handler that opens the log per event takes many seconds.
    constexpr qint64 kStallLimitMs = 1000;
    ASSERT_EQ(submitManyHeld(kJobs), kJobs);
    writeIni(QStringLiteral("[Halvern]\nServer=") + cupsServer + QStringLiteral("\nQueue=") + queue +
             QStringLiteral("\nStartMax=False\n"));
    FrmMain& w = start();
    ASSERT_EQ(w.JobList->rowCount(), kJobs);
    ASSERT_TRUE(waitFor([&w] { return w.ServerStatus->text().startsWith(QStringLiteral("Server Connected")); }, 60000))
        << w.ServerStatus->text().toStdString();
    ASSERT_EQ(logCount(queue), kJobs);

    QElapsedTimer sinceBeat;
    qint64 longest = 0;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&] { longest = std::max(longest, sinceBeat.restart()); });
    QElapsedTimer whole;
    whole.start();
    sinceBeat.start();
    beat.start(20);
    QProcess cancel;
    cancel.start(QStringLiteral("cancel"), {QStringLiteral("-h"), cupsServer, QStringLiteral("-a"), queue});
    ASSERT_TRUE(waitFor(
        [&] {
            return cancel.state() == QProcess::NotRunning && w.JobList->rowCount() == 0 &&
                   !w.SearchList->columnTexts(4).contains(queue);
        },
        120000))
        << w.JobList->rowCount() << " rows left";
    beat.stop();
    longest = std::max(longest, sinceBeat.elapsed());
    RecordProperty("longest_stall_ms", static_cast<int>(longest));
    RecordProperty("whole_ms", static_cast<int>(whole.elapsed()));
    EXPECT_EQ(cancel.exitCode(), 0);
    EXPECT_LT(longest, kStallLimitMs) << "the window's event loop stalled";
    EXPECT_EQ(logCount(queue), kJobs);
}

// A queue whose backend cannot reach its device, under the error policy stop-printer.
class ConsoleCupsFailingBackendTest : public ConsoleCupsFixture
{
protected:
    void SetUp() override
    {
        setUpCups(QStringLiteral("hlvbad_"),
                  {QStringLiteral("-v"), QStringLiteral("serial:/dev/hlv-no-such-port"), QStringLiteral("-o"),
                   QStringLiteral("printer-error-policy=stop-printer")});
    }
};

// CUPS stops the queue when the backend fails: the console shows the queue in its error
// colour with the printer-error box, and its waiting job as "Error".
TEST_F(ConsoleCupsFailingBackendTest, QueueStoppedByBackend_ErrorColourAndJobInError)
{
    QTemporaryFile document;
    ASSERT_TRUE(document.open());
    document.write("Halvern console test\n");
    document.flush();
    runToolChecked(QStringLiteral("lp"), {QStringLiteral("-h"), cupsServer, QStringLiteral("-d"), queue,
                                          QStringLiteral("-t"), QStringLiteral("Stuck"), document.fileName()});
    ASSERT_TRUE(waitFor([&] {
        return runToolChecked(QStringLiteral("lpstat"), {QStringLiteral("-h"), cupsServer, QStringLiteral("-p"), queue})
            .contains(QStringLiteral("disabled"));
    }));
    writeIni(QStringLiteral("[Halvern]\nServer=") + cupsServer + QStringLiteral("\nQueue=") + queue +
             QStringLiteral("\nStartMax=False\n"));
    FrmMain& w = start();

    EXPECT_EQ(w.queueBoxText(), queue);
    EXPECT_TRUE(w.txtPrintStatus->text().contains(QStringLiteral(" Error"))) << w.txtPrintStatus->text().toStdString();
    const QImage shot = w.txtPrintStatus->grab().toImage();
    int red = 0;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            red += shot.pixelColor(x, y) == QColor(255, 0, 0) ? 1 : 0;
        }
    }
    EXPECT_GT(red, shot.width() * shot.height() / 3) << "the status box is red";
    ASSERT_FALSE(dialogs.messages().isEmpty());
    EXPECT_TRUE(dialogs.messages().first().text.startsWith(QStringLiteral("An Error has been reported!")));
    EXPECT_EQ(w.JobList->columnTexts(1), QStringList{QStringLiteral("Stuck")});
    EXPECT_EQ(w.JobList->row(0).text, QStringLiteral("Error"));
}

// A CUPS server of its own, frozen with SIGSTOP while the console shows it: the window's
// event loop never stalls, the server is shown lost, and once it runs again its jobs are
// listed again.
class ConsoleFrozenCupsTest : public ConsoleFixture
{
protected:
    void SetUp() override
    {
        ConsoleFixture::SetUp();
        ASSERT_TRUE(m_state.isValid());
        runToolChecked(QStringLiteral(HLV_SOURCE_DIR "/scripts/private-cupsd"),
                       {QStringLiteral("start"), m_state.path(), QStringLiteral("Frozen")});
        cupsServer = readState(QStringLiteral("server"));
        cupsPid = readState(QStringLiteral("pid")).toLongLong();
        ASSERT_FALSE(cupsServer.isEmpty());
        ASSERT_GT(cupsPid, 0);
        printSystem = std::make_unique<CupsPrintSystem>();
    }
    void TearDown() override
    {
        if (cupsPid > 0) {
            ::kill(static_cast<pid_t>(cupsPid), SIGCONT);
        }
        window.reset();
        runTool(QStringLiteral(HLV_SOURCE_DIR "/scripts/private-cupsd"), {QStringLiteral("stop"), m_state.path()});
        ConsoleFixture::TearDown();
    }
    QString readState(const QString& name) const
    {
        QFile file(m_state.filePath(name));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
    }
    void submitHeld()
    {
        QTemporaryFile document;
        ASSERT_TRUE(document.open());
        document.write("Halvern console test\n");
        document.flush();
        runToolChecked(QStringLiteral("lp"),
                       {QStringLiteral("-h"), cupsServer, QStringLiteral("-d"), QStringLiteral("Frozen"),
                        QStringLiteral("-H"), QStringLiteral("hold"), document.fileName()});
    }

    QString cupsServer;
    qint64 cupsPid = 0;

private:
    QTemporaryDir m_state;
};

TEST_F(ConsoleFrozenCupsTest, ServerFrozenWhileShown_LoopNeverStallsLostThenListedAgain)
{
    submitHeld();
    submitHeld();
    writeIni(QStringLiteral("[Halvern]\nServer=") + cupsServer +
             QStringLiteral("\nQueue=Frozen\nStartMax=False\nPollNorm=300\n"));
    FrmMain& w = start();
    ASSERT_EQ(w.JobList->rowCount(), 2);
    ASSERT_TRUE(w.Timer2.isActive());

    // The loop's pulse: the longest time between two beats of a 20 ms timer.
    QElapsedTimer sinceBeat;
    qint64 longest = 0;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&] { longest = std::max(longest, sinceBeat.restart()); });
    sinceBeat.start();
    beat.start(20);

    // GIVEN the server frozen while the polling loop reads it
    ASSERT_EQ(::kill(static_cast<pid_t>(cupsPid), SIGSTOP), 0);
    // THEN it is shown lost once a reading has given up, and tried again later
    ASSERT_TRUE(waitFor([&] { return w.serverLost(); }, 30000));
    EXPECT_TRUE(w.ServerStatus->text().startsWith(QStringLiteral("Disconnected ")));
    // and a menu still opens at once meanwhile
    QElapsedTimer menu;
    menu.start();
    w.mnuHelpTop->popup(w.mapToGlobal(QPoint(0, 0)));
    EXPECT_TRUE(waitFor([&] { return w.mnuHelpTop->isVisible(); }, 250));
    w.mnuHelpTop->hide();
    EXPECT_LT(menu.elapsed(), kWindowStallLimitMs);
    ASSERT_EQ(::kill(static_cast<pid_t>(cupsPid), SIGCONT), 0);

    // WHEN it runs again THEN its jobs are listed again, read afresh
    ASSERT_TRUE(waitFor(
        [&] {
            return !w.serverLost() && w.SearchStatus->text().startsWith(QStringLiteral("Retrieved Jobs")) &&
                   w.JobList->rowCount() == 2;
        },
        40000));
    beat.stop();
    longest = std::max(longest, sinceBeat.elapsed());
    RecordProperty("longest_stall_ms", static_cast<int>(longest));
    EXPECT_LT(longest, kWindowStallLimitMs) << "the window's event loop stalled";
}

} // namespace
} // namespace hlv::test
