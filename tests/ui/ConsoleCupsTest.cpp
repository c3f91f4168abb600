#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryFile>

#include "ConsoleCupsFixture.h"
#include "console/ui/JobListWidget.h"
#include "platform/print/CupsPrintSystem.h"
#include "support/ToolProcess.h"

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

} // namespace
} // namespace hlv::test
