#include <QProcess>

#include "ConsoleFixture.h"
#include "console/ui/ControlWidgets.h"
#include "console/ui/JobListWidget.h"
#include "console/ui/VbColour.h"
#include "store/IniFile.h"
#include "support/ToolProcess.h"
#include "support/Settle.h"

namespace hlv::test {
namespace {

// The AutoQueue cycle with the window's own timers running, over a simulated server that
// the simulator tool, a separate process, sets up and prints on.
class AutoQueueCycleE2ETest : public ConsoleFixture
{
protected:
    QString tool(const QStringList& args)
    {
        return runToolChecked(QStringLiteral(HLV_BIN_DIR "/hlv-printsim"), QStringList{simDir} + args).trimmed();
    }
    qint64 submit(const QString& document, int pages)
    {
        return tool({QStringLiteral("add-job"), QStringLiteral("PS1"), QStringLiteral("Sales"),
                     QStringLiteral("--document"), document, QStringLiteral("--owner"), QStringLiteral("alice"),
                     QStringLiteral("--host"), QStringLiteral("PC7"), QStringLiteral("--pages"), QString::number(pages),
                     QStringLiteral("--size"), QStringLiteral("4096")})
            .toLongLong();
    }
    void printPages(int pages)
    {
        tool({QStringLiteral("print"), QStringLiteral("PS1"), QStringLiteral("--pages"), QString::number(pages)});
    }

    // The server as it is now, read through a connection of its own.
    std::optional<PrintJobInfo> jobOnServer(qint64 id)
    {
        QList<PrintJobInfo> jobs;
        EXPECT_TRUE(store()->jobs(jobs).ok);
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
        return j && (j->StatusMask & JobStatus::Paused) && j->PagesPrinted == 0;
    }
    bool queuePaused()
    {
        QList<PrinterInfo> printers;
        store()->printers(printers, QStringLiteral("PS1"));
        return !printers.isEmpty() && (printers.first().Status & PrinterStatus::Paused);
    }
    sim::SimPrintStore* store()
    {
        if (!m_store) {
            QString error;
            m_store = sim::SimPrintStore::open(simDir, QStringLiteral("PS1"), &error);
        }
        return m_store.get();
    }
    void release(FrmMain& w, qint64 id)
    {
        w.cmdRefreshJobs_Click(); // the operator reloads the list and picks the job
        const int row = static_cast<int>(w.JobList->columnTexts(9).indexOf(QString::number(id)));
        ASSERT_GE(row, 0);
        w.JobList->selectRow(row);
        settle(w.MenuResumeJob_Click());
        settle(w);
    }

private:
    std::unique_ptr<sim::SimPrintStore> m_store;
};

TEST_F(AutoQueueCycleE2ETest, ThreeHeldJobs_ReleasedOnePrintsAlone_QueueHeldAgainAndNextReleaseWorks)
{
    tool({QStringLiteral("add-server"), QStringLiteral("PS1")});
    tool({QStringLiteral("add-queue"), QStringLiteral("PS1"), QStringLiteral("Sales")});
    const qint64 first = submit(QStringLiteral("First"), 2);
    const qint64 second = submit(QStringLiteral("Second"), 1);
    const qint64 third = submit(QStringLiteral("Third"), 3);
    ASSERT_TRUE(first > 0 && second > 0 && third > 0);

    writeIni(QStringLiteral("[Halvern]\nServer=PS1\nQueue=Sales\nAutoQueue=1\nAudit=True\nStartMax=False\n"
                            "PollNorm=40\nPollAQ=40\nPollAQactive=10\n"));
    FrmMain& w = start();

    // AutoQueue holds the queue and every job in it.
    ASSERT_TRUE(waitFor([&] { return queuePaused() && held(first) && held(second) && held(third); }));

    // The operator releases the first job: it runs while the others stay held.
    release(w, first);
    ASSERT_TRUE(waitFor([&] { return w.activeUpdateColour() == VbColours::Red && w.Timer2.interval() == 10; }));
    EXPECT_FALSE(queuePaused());
    printPages(1);
    ASSERT_EQ(jobOnServer(first).value_or(PrintJobInfo{}).PagesPrinted, 1);
    EXPECT_TRUE(held(second));
    EXPECT_TRUE(held(third));
    EXPECT_TRUE(waitFor([&] { return w.activeUpdateColour() == VbColours::Red; }));

    // Once it has printed and left the queue, the queue is held again.
    printPages(1);
    ASSERT_FALSE(jobOnServer(first).has_value());
    ASSERT_TRUE(waitFor(
        [&] { return queuePaused() && w.Timer2.interval() == 40 && w.activeUpdateColour() == VbColours::Green; }));
    EXPECT_TRUE(held(second));
    EXPECT_TRUE(held(third));

    // The next release works the same way.
    release(w, second);
    ASSERT_TRUE(waitFor([&] { return !queuePaused() && w.activeUpdateColour() == VbColours::Red; }));
    printPages(1);
    ASSERT_FALSE(jobOnServer(second).has_value());
    ASSERT_TRUE(waitFor([&] { return queuePaused() && w.Timer2.interval() == 40; }));
    EXPECT_TRUE(held(third));

    EXPECT_EQ(w.LastReleasedJob, QString::number(second));
    EXPECT_EQ(w.iniFile().ReadIni(QStringLiteral("Log Counters"), QStringLiteral("PrintedCounter")),
              QStringLiteral("3"));
    const QStringList records = audit();
    EXPECT_TRUE(records.contains(QStringLiteral("AutoQueue|Enable AutoQueue - Sales")));
    EXPECT_EQ(records.filter(QStringLiteral("Job|Resume Job")).size(), 2);
}

} // namespace
} // namespace hlv::test
