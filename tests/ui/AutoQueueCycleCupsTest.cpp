#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryFile>

#include "ConsoleFixture.h"
#include "console/ui/JobListWidget.h"
#include "platform/print/CupsPrintSystem.h"
#include "store/IniFile.h"
#include "support/ToolProcess.h"

namespace hlv::test {
namespace {

// The AutoQueue cycle against the private CUPS server: real IPP holds, releases and a
// queue that prints into /dev/null as soon as it runs.
class AutoQueueCycleCupsTest : public ConsoleFixture
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
        queue = QStringLiteral("hlvaq_%1").arg(QCoreApplication::applicationPid());
        runToolChecked(QStringLiteral("lpadmin"),
                       {QStringLiteral("-h"), cupsServer, QStringLiteral("-p"), queue, QStringLiteral("-E"),
                        QStringLiteral("-v"), QStringLiteral("file:///dev/null"), QStringLiteral("-o"),
                        QStringLiteral("printer-is-shared=true")});
        observer = CupsPrintSystem().connect(cupsServer);
        ASSERT_TRUE(observer);
    }
    void TearDown() override
    {
        if (!cupsServer.isEmpty()) {
            window.reset();
            runToolChecked(QStringLiteral("lpadmin"), {QStringLiteral("-h"), cupsServer, QStringLiteral("-x"), queue});
        }
        ConsoleFixture::TearDown();
    }
    qint64 submitHeld(const QString& title)
    {
        QTemporaryFile document;
        EXPECT_TRUE(document.open());
        document.write("Halvern AutoQueue cycle\n");
        document.flush();
        const QString out = runToolChecked(
            QStringLiteral("lp"), {QStringLiteral("-h"), cupsServer, QStringLiteral("-d"), queue, QStringLiteral("-t"),
                                   title, QStringLiteral("-H"), QStringLiteral("hold"), document.fileName()});
        static const QRegularExpression id(QStringLiteral("request id is .*-(\\d+) "));
        const auto match = id.match(out);
        EXPECT_TRUE(match.hasMatch()) << out.toStdString();
        return match.hasMatch() ? match.captured(1).toLongLong() : 0;
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
    }

    QString cupsServer;
    QString queue;
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
