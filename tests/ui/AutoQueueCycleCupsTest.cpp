#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryFile>

#include "ConsoleCupsFixture.h"
#include "console/ui/JobListWidget.h"
#include "platform/print/CupsPrintSystem.h"
#include "store/IniFile.h"
#include "support/ToolProcess.h"
#include "support/Settle.h"

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
    // The printer is stopped by its backend (or its trouble keeps it from printing).
    bool queueInError()
    {
        QList<PrinterInfo> printers;
        observer->printers(printers);
        for (const PrinterInfo& p : std::as_const(printers)) {
            if (p.queueName() == queue) {
                return (p.Status & PrinterStatus::Error) != 0 && (p.Status & PrinterStatus::Paused) != 0;
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
        settle(w.MenuResumeJob_Click());
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

// Printers that report states as real ones do (the test backend hlvstate): under AutoQueue
// every job that Exceptions releases prints to its end, counted by the server's backend, and
// the job of a user not listed stays held. The stopped printers are resumed by the test, as
// an operator does once the printer is fixed; the release must still be standing then.
TEST_F(AutoQueueCycleCupsTest, PrintersReportingStates_EveryReleasedJobPrintsTheOthersStayHeld)
{
    if (cupsServer.isEmpty()) {
        return;
    }
    const QString printed =
        QFile::exists(cupsRoot()) ? cupsRoot() + QStringLiteral("/spool/tmp/hlvstate-printed") : QString();
    ASSERT_FALSE(printed.isEmpty()) << "the private CUPS server's folder is not known";
    const struct
    {
        const char* device; // the backend's words (tests/support/cups-backends/hlvstate)
        bool stops;         // the backend stops the printer at the first job
    } cases[] = {
        {"connecting+toner", false}, // a network printer with low toner
        {"paperout=15", false},      // out of paper while the released job is on it
        {"stoponce", true},          // stopped by its backend, with its complaint
        {"stoponce+quiet", true},    // the same without a word
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device);
        window.reset();
        // The backend stops the printer once per queue name; each case is a new printer.
        QFile::remove(cupsRoot() + QStringLiteral("/spool/tmp/hlvstate-stopped-") + queue);
        const QString device = QStringLiteral("hlvstate:/") + QLatin1String(c.device);
        runToolChecked(QStringLiteral("lpadmin"), {QStringLiteral("-h"), cupsServer, QStringLiteral("-p"), queue,
                                                   QStringLiteral("-E"), QStringLiteral("-v"), device});
        const qint64 first = submitHeld(QStringLiteral("First"), QStringLiteral("exc1"));
        const qint64 second = submitHeld(QStringLiteral("Second"), QStringLiteral("exc2"));
        const qint64 kept = submitHeld(QStringLiteral("Kept"), QStringLiteral("keeper"));
        ASSERT_TRUE(first > 0 && second > 0 && kept > 0);
        writeIni(QStringLiteral("[Halvern]\nServer=") + cupsServer + QStringLiteral("\nQueue=") + queue +
                 QStringLiteral("\nAutoQueue=1\nExceptions=exc\nStartMax=False\nPollNorm=100\nPollAQ=100\n"
                                "PollAQactive=10\n"));
        FrmMain& w = start();
        ASSERT_EQ(w.queueBoxText(), queue);

        const auto printedJobs = [&] {
            QStringList ids;
            for (const QString& line : readFile(printed).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
                if (line.section(QLatin1Char(' '), 0, 0) == queue) {
                    ids.append(line.section(QLatin1Char(' '), 1, 1));
                }
            }
            return ids;
        };
        // The operator resumes a stopped printer once it is fixed (the backend works from
        // its second job on).
        bool resumed = false;
        const bool both = waitFor(
            [&] {
                if (!resumed && queueInError()) {
                    resumed = true;
                    runToolChecked(QStringLiteral("cupsenable"), {QStringLiteral("-h"), cupsServer, queue});
                }
                const QStringList ids = printedJobs();
                return ids.contains(QString::number(first)) && ids.contains(QString::number(second));
            },
            120000);
        EXPECT_TRUE(both) << "printed: " << printedJobs().join(QLatin1Char(',')).toStdString() << " of " << first << ","
                          << second;
        EXPECT_EQ(resumed, c.stops);
        EXPECT_FALSE(printedJobs().contains(QString::number(kept)));
        EXPECT_TRUE(held(kept));
        window.reset();
        runToolChecked(QStringLiteral("cancel"), {QStringLiteral("-h"), cupsServer, QStringLiteral("-a"), queue});
    }
}

} // namespace
} // namespace hlv::test
