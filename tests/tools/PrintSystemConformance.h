#pragma once

// One suite of behaviour every print-system backend must show. A backend takes part by
// providing a harness type with:
//   void setUp();                          // a fresh server, or skip the test
//   void tearDown();
//   hlv::PrintSystem& system();
//   QString serverName();                  // a server that can be reached
//   QString unreachableServer();           // a server that cannot
//   QString addQueue(const QString& location, const QString& comment);   // returns its name
//   qint64 submitJob(const QString& queue, const QString& document);     // on a paused queue it stays
//   QString expectedOwner();               // the owner a submitted job shows
// and instantiating the typed suite with it.

#include <chrono>

#include <QDateTime>
#include <gtest/gtest.h>

#include "platform/PrintSystem.h"

namespace hlv::test {

template <typename Harness> class PrintSystemConformance : public ::testing::Test
{
protected:
    void SetUp() override
    {
        h.setUp();
        if (::testing::Test::IsSkipped()) {
            return;
        }
        // A server busy with every other test of a loaded machine may miss the connection's
        // 1.5 s probe once; that is not what these tests look at.
        QString error;
        for (int attempt = 0; attempt < 3 && !server; ++attempt) {
            server = h.system().connect(h.serverName(), &error);
        }
        ASSERT_TRUE(server) << error.toStdString();
    }
    void TearDown() override
    {
        server.reset();
        h.tearDown();
    }

    const PrinterInfo* findPrinter(const QList<PrinterInfo>& list, const QString& name)
    {
        for (const PrinterInfo& p : list) {
            if (p.Name == name) {
                return &p;
            }
        }
        return nullptr;
    }
    PrinterInfo printer(const QString& name)
    {
        QList<PrinterInfo> list;
        EXPECT_TRUE(server->printers(list));
        const PrinterInfo* p = findPrinter(list, name);
        return p ? *p : PrinterInfo{};
    }
    QList<PrintJobInfo> queueJobs(const QString& queue)
    {
        QList<PrintJobInfo> list;
        const PrintResult r = server->queueJobs(queue, list);
        EXPECT_TRUE(r) << r.error.toStdString();
        return list;
    }
    std::optional<PrintJobInfo> job(const QString& queue, qint64 id)
    {
        for (const PrintJobInfo& j : queueJobs(queue)) {
            if (j.JobId == id) {
                return j;
            }
        }
        return std::nullopt;
    }
    // A queue that holds its jobs: paused, so nothing it receives prints away.
    QString heldQueue()
    {
        const QString q = h.addQueue(QStringLiteral("Room 1"), QStringLiteral("Held queue"));
        EXPECT_TRUE(server->pauseQueue(q));
        return q;
    }

    Harness h;
    std::unique_ptr<PrintServer> server;
};

TYPED_TEST_SUITE_P(PrintSystemConformance);

TYPED_TEST_P(PrintSystemConformance, Printers_ListedQueue_CarriesEveryProperty)
{
    const QString name = this->h.addQueue(QStringLiteral("Floor 2, Room 7"), QStringLiteral("Accounts laser"));
    QList<PrinterInfo> list;
    const PrintResult r = this->server->printers(list);
    ASSERT_TRUE(r) << r.error.toStdString();
    const PrinterInfo* p = this->findPrinter(list, name);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->ShareName, name);
    EXPECT_EQ(p->queueName(), name);
    EXPECT_TRUE(p->Shared);
    EXPECT_TRUE(p->Local);
    EXPECT_EQ(p->Location, QStringLiteral("Floor 2, Room 7"));
    EXPECT_EQ(p->Comment, QStringLiteral("Accounts laser"));
    EXPECT_EQ(p->Description(), QStringLiteral("Accounts laser"));
    EXPECT_FALSE(p->PortName.isEmpty());
    EXPECT_FALSE(p->DriverName.isEmpty());
    EXPECT_EQ(p->PrinterPath, QStringLiteral("\\\\") + this->h.serverName() + QStringLiteral("\\") + name);
    EXPECT_EQ(p->Status, 0u);
    EXPECT_EQ(p->ExtendedPrinterStatus, 3);
}

TYPED_TEST_P(PrintSystemConformance, PauseResumeQueue_StatusBitsAndExtendedStatus_Follow)
{
    const QString name = this->h.addQueue(QStringLiteral("L"), QStringLiteral("C"));
    ASSERT_TRUE(this->server->pauseQueue(name));
    PrinterInfo p = this->printer(name);
    EXPECT_EQ(p.Status & PrinterStatus::Paused, PrinterStatus::Paused);
    EXPECT_EQ(p.ExtendedPrinterStatus, 8);

    ASSERT_TRUE(this->server->resumeQueue(name));
    p = this->printer(name);
    EXPECT_EQ(p.Status, 0u);
    EXPECT_EQ(p.ExtendedPrinterStatus, 3);
}

TYPED_TEST_P(PrintSystemConformance, Jobs_SubmittedJob_CarriesEveryProperty)
{
    const QString q = this->heldQueue();
    const QDateTime before = QDateTime::currentDateTime().addSecs(-2);
    const qint64 id = this->h.submitJob(q, QStringLiteral("Quarterly report.pdf"));
    ASSERT_GT(id, 0);

    QList<PrintJobInfo> all;
    ASSERT_TRUE(this->server->jobs(all));
    const auto it = std::find_if(all.begin(), all.end(), [&](const PrintJobInfo& j) { return j.JobId == id; });
    ASSERT_NE(it, all.end());
    const PrintJobInfo& j = *it;
    EXPECT_EQ(j.Name, q + QStringLiteral(", ") + QString::number(id));
    EXPECT_EQ(j.queueName(), q);
    EXPECT_EQ(j.queueJobName(), QString::number(id));
    EXPECT_EQ(j.Document, QStringLiteral("Quarterly report.pdf"));
    EXPECT_EQ(j.Owner, this->h.expectedOwner());
    EXPECT_TRUE(j.HostPrintQueue.startsWith(QStringLiteral("\\\\")));
    EXPECT_GT(j.HostPrintQueue.size(), 2);
    EXPECT_GT(j.Size, 0);
    EXPECT_GE(j.Priority, 1);
    EXPECT_LE(j.Priority, 100);
    EXPECT_EQ(j.PagesPrinted, 0);
    if (j.TotalPages) {
        EXPECT_GE(*j.TotalPages, 0);
    }
    EXPECT_GE(j.TimeSubmitted, before);
    EXPECT_LE(j.TimeSubmitted, QDateTime::currentDateTime().addSecs(2));
    EXPECT_EQ(j.TimeSubmitted.timeSpec(), Qt::LocalTime);
    EXPECT_EQ(j.StatusMask, 0u) << "a job waiting in a paused queue is neither paused itself nor printing";

    // The same job through the queue's own collection, by either of its names.
    const auto same = this->job(q, id);
    ASSERT_TRUE(same);
    EXPECT_EQ(same->Name, j.Name);
}

TYPED_TEST_P(PrintSystemConformance, HoldReleaseCancel_Job_StatusFollowsAndJobLeaves)
{
    const QString q = this->heldQueue();
    const qint64 id = this->h.submitJob(q, QStringLiteral("memo.txt"));

    ASSERT_TRUE(this->server->pauseJob(q, id));
    auto j = this->job(q, id);
    ASSERT_TRUE(j);
    EXPECT_EQ(j->StatusMask, JobStatus::Paused);
    EXPECT_EQ(j->Status(), JobStatus::Paused);

    ASSERT_TRUE(this->server->resumeJob(q, id));
    j = this->job(q, id);
    ASSERT_TRUE(j);
    EXPECT_EQ(j->StatusMask & JobStatus::Paused, 0u);

    ASSERT_TRUE(this->server->removeJob(q, id));
    EXPECT_FALSE(this->job(q, id));
}

TYPED_TEST_P(PrintSystemConformance, Purge_QueueWithJobs_LeavesNoJobAndSparesOtherQueues)
{
    const QString q = this->heldQueue();
    const QString other = this->heldQueue();
    this->h.submitJob(q, QStringLiteral("one"));
    this->h.submitJob(q, QStringLiteral("two"));
    const qint64 kept = this->h.submitJob(other, QStringLiteral("three"));
    ASSERT_EQ(this->queueJobs(q).size(), 2);

    const PrintResult r = this->server->purgeQueue(q);
    ASSERT_TRUE(r) << r.error.toStdString();
    EXPECT_TRUE(this->queueJobs(q).isEmpty());
    EXPECT_TRUE(this->job(other, kept));
}

TYPED_TEST_P(PrintSystemConformance, Priority_Changed_ReadsBack)
{
    const QString q = this->heldQueue();
    const qint64 id = this->h.submitJob(q, QStringLiteral("urgent"));
    for (const qint64 priority : {42, 1, 99}) {
        const PrintResult r = this->server->setJobPriority(q, id, priority);
        ASSERT_TRUE(r) << r.error.toStdString();
        const auto j = this->job(q, id);
        ASSERT_TRUE(j);
        EXPECT_EQ(j->Priority, priority);
    }
    EXPECT_FALSE(this->server->setJobPriority(q, id, 0));
    EXPECT_FALSE(this->server->setJobPriority(q, id, 101));
    EXPECT_EQ(this->job(q, id)->Priority, 99);
}

TYPED_TEST_P(PrintSystemConformance, Operations_UnknownQueueOrJob_FailWithMessage)
{
    const QString q = this->heldQueue();
    const QString missing = QStringLiteral("no_such_queue_") + QString::number(QDateTime::currentMSecsSinceEpoch());
    for (const PrintResult& r :
         {this->server->pauseQueue(missing), this->server->resumeQueue(missing), this->server->purgeQueue(missing),
          this->server->pauseJob(q, 999999), this->server->resumeJob(q, 999999), this->server->removeJob(q, 999999)}) {
        EXPECT_FALSE(r);
        EXPECT_FALSE(r.error.isEmpty());
    }
    QList<PrintJobInfo> list;
    EXPECT_FALSE(this->server->queueJobs(missing, list));
}

TYPED_TEST_P(PrintSystemConformance, JobOperations_JobOfAnotherQueue_FailAndLeaveJob)
{
    const QString q = this->heldQueue();
    const QString other = this->heldQueue();
    const qint64 id = this->h.submitJob(q, QStringLiteral("stays"));
    EXPECT_FALSE(this->server->pauseJob(other, id));
    EXPECT_FALSE(this->server->setJobPriority(other, id, 7));
    EXPECT_FALSE(this->server->removeJob(other, id));
    const auto j = this->job(q, id);
    ASSERT_TRUE(j);
    EXPECT_EQ(j->StatusMask, 0u);
    EXPECT_NE(j->Priority, 7);
}

TYPED_TEST_P(PrintSystemConformance, TestPage_Printed_ReturnsZeroAndQueuesAJob)
{
    const QString q = this->heldQueue();
    EXPECT_EQ(this->server->printTestPage(q), TestPageResult::Success);
    const auto jobs = this->queueJobs(q);
    ASSERT_EQ(jobs.size(), 1);
    EXPECT_EQ(jobs.first().Owner, this->h.expectedOwner());
}

TYPED_TEST_P(PrintSystemConformance, ComputerName_Reachable_IsNotEmpty)
{
    QString name;
    ASSERT_TRUE(this->server->computerName(name));
    EXPECT_FALSE(name.isEmpty());
    EXPECT_EQ(this->server->serverName(), this->h.serverName());
}

TYPED_TEST_P(PrintSystemConformance, Connect_UnreachableServer_FailsWithinFiveSeconds)
{
    QString error;
    const auto start = std::chrono::steady_clock::now();
    const auto conn = this->h.system().connect(this->h.unreachableServer(), &error);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(conn);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_LT(elapsed, std::chrono::seconds(5));
}

REGISTER_TYPED_TEST_SUITE_P(PrintSystemConformance, Printers_ListedQueue_CarriesEveryProperty,
                            PauseResumeQueue_StatusBitsAndExtendedStatus_Follow, Jobs_SubmittedJob_CarriesEveryProperty,
                            HoldReleaseCancel_Job_StatusFollowsAndJobLeaves,
                            Purge_QueueWithJobs_LeavesNoJobAndSparesOtherQueues, Priority_Changed_ReadsBack,
                            Operations_UnknownQueueOrJob_FailWithMessage,
                            JobOperations_JobOfAnotherQueue_FailAndLeaveJob, TestPage_Printed_ReturnsZeroAndQueuesAJob,
                            ComputerName_Reachable_IsNotEmpty, Connect_UnreachableServer_FailsWithinFiveSeconds);

} // namespace hlv::test
