#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryFile>

#include "ConsoleCupsFixture.h"
#include "console/ui/JobListWidget.h"
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

} // namespace
} // namespace hlv::test
