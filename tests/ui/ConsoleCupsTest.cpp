#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryFile>

#include "ConsoleFixture.h"
#include "console/ui/JobListWidget.h"
#include "platform/print/CupsPrintSystem.h"
#include "support/ToolProcess.h"

namespace hlv::test {
namespace {

// The console against the private CUPS server: its queues and the jobs lp submitted.
class ConsoleCupsTest : public ConsoleFixture
{
protected:
    void SetUp() override
    {
        ConsoleFixture::SetUp();
        cupsServer = privateCupsServer();
        if (cupsServer.isEmpty()) {
            GTEST_SKIP() << "no private CUPS server: run through ctest (fixture private_cupsd)";
        }
        printSystem = std::make_unique<CupsPrintSystem>();
        queue = QStringLiteral("hlvui_%1").arg(QCoreApplication::applicationPid());
        runToolChecked(QStringLiteral("lpadmin"),
                       {QStringLiteral("-h"), cupsServer, QStringLiteral("-p"), queue, QStringLiteral("-E"),
                        QStringLiteral("-v"), QStringLiteral("file:///dev/null"), QStringLiteral("-L"),
                        QStringLiteral("Room 12"), QStringLiteral("-o"), QStringLiteral("printer-is-shared=true")});
    }
    void TearDown() override
    {
        if (!cupsServer.isEmpty()) {
            window.reset();
            runToolChecked(QStringLiteral("lpadmin"), {QStringLiteral("-h"), cupsServer, QStringLiteral("-x"), queue});
        }
        ConsoleFixture::TearDown();
    }
    qint64 submit(const QString& title)
    {
        QTemporaryFile document;
        EXPECT_TRUE(document.open());
        document.write("Halvern console test\n");
        document.flush();
        // Held, so the job stays listed until the test removes the queue.
        const QString out = runToolChecked(
            QStringLiteral("lp"), {QStringLiteral("-h"), cupsServer, QStringLiteral("-d"), queue, QStringLiteral("-t"),
                                   title, QStringLiteral("-H"), QStringLiteral("hold"), document.fileName()});
        static const QRegularExpression id(QStringLiteral("request id is .*-(\\d+) "));
        const auto match = id.match(out);
        EXPECT_TRUE(match.hasMatch()) << out.toStdString();
        return match.hasMatch() ? match.captured(1).toLongLong() : 0;
    }

    QString cupsServer;
    QString queue;
};

TEST_F(ConsoleCupsTest, StartUp_PrivateServer_ListsItsQueueAndSubmittedJobs)
{
    const qint64 first = submit(QStringLiteral("First report"));
    const qint64 second = submit(QStringLiteral("Second report"));
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

} // namespace
} // namespace hlv::test
