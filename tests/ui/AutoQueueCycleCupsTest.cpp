#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryFile>

#include "ConsoleCupsFixture.h"
#include "console/ui/JobListWidget.h"
#include "platform/print/CupsPrintSystem.h"
#include "store/IniFile.h"
#include "support/ToolProcess.h"

namespace hlv::test {
namespace {

// The AutoQueue cycle against the private CUPS server: real IPP holds, releases and a
// queue that prints into /dev/null as soon as it runs.
class AutoQueueCycleCupsTest : public ConsoleCupsFixture
{
protected:
    void SetUp() override
    {
        setUpCups(QStringLiteral("hlvaq_"));
        if (cupsServer.isEmpty()) {
            return;
        }
        observer = CupsPrintSystem().connect(cupsServer);
        ASSERT_TRUE(observer);
    }
    std::optional<PrintJobInfo> jobOnServer(qint64 id)
    {
        QList<PrintJobInfo> jobs;
        if (!observer->queueJobs(queue, jobs)) {
            return std::nullopt;
        }
        for (const PrintJobInfo& j : std::as_const(jobs)) {
            if (j.JobId == id) {
                return j;
            }
        }
        return std::nullopt;
    }
    bool held(qint64 id)
    {
        const auto j = jobOnServer(id);
        return j && (j->StatusMask & JobStatus::Paused);
    }
    bool queuePaused()
    {
        QList<PrinterInfo> printers;
        observer->printers(printers);
        for (const PrinterInfo& p : std::as_const(printers)) {
            if (p.queueName() == queue) {
                return (p.Status & PrinterStatus::Paused) != 0;
            }
        }
        return false;
    }
    void release(FrmMain& w, qint64 id)
    {
        w.cmdRefreshJobs_Click();
        const int row = static_cast<int>(w.JobList->columnTexts(9).indexOf(QString::number(id)));
        ASSERT_GE(row, 0) << w.JobList->columnTexts(9).join(QLatin1Char(',')).toStdString();
        w.JobList->selectRow(row);
        w.MenuResumeJob_Click();
        settle(w);
    }

    std::unique_ptr<PrintServer> observer;
};

TEST_F(AutoQueueCycleCupsTest, ThreeHeldJobs_ReleasedOnePrints_QueueHeldAgainAndNextReleaseWorks)
{
    const qint64 first = submitHeld(QStringLiteral("First"));
    const qint64 second = submitHeld(QStringLiteral("Second"));
    const qint64 third = submitHeld(QStringLiteral("Third"));
    ASSERT_TRUE(first > 0 && second > 0 && third > 0);
    writeIni(QStringLiteral("[Halvern]\nServer=") + cupsServer + QStringLiteral("\nQueue=") + queue +
             QStringLiteral("\nAutoQueue=1\nAudit=True\nStartMax=False\nPollNorm=100\nPollAQ=100\nPollAQactive=10\n"));
    FrmMain& w = start();
    ASSERT_EQ(w.queueBoxText(), queue);

    ASSERT_TRUE(waitFor([&] { return queuePaused() && held(first) && held(second) && held(third); }));

    // The released job prints (into /dev/null) and leaves; the others stay held and the
    // queue is paused again.
    release(w, first);
    ASSERT_TRUE(waitFor([&] { return !jobOnServer(first).has_value(); }, 30000));
    EXPECT_TRUE(held(second));
    EXPECT_TRUE(held(third));
    ASSERT_TRUE(waitFor([&] { return queuePaused() && w.Timer2.interval() == 100; }, 30000));
    EXPECT_TRUE(held(second));
    EXPECT_TRUE(held(third));

    release(w, second);
    ASSERT_TRUE(waitFor([&] { return !jobOnServer(second).has_value(); }, 30000));
    ASSERT_TRUE(waitFor([&] { return queuePaused() && w.Timer2.interval() == 100; }, 30000));
    EXPECT_TRUE(held(third));
    EXPECT_EQ(w.LastReleasedJob, QString::number(second));
    EXPECT_EQ(audit().filter(QStringLiteral("Job|Resume Job")).size(), 2);
}

} // namespace
} // namespace hlv::test
