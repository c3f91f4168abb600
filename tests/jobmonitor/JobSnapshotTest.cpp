#include "jobmonitor/JobSnapshot.h"

#include <gtest/gtest.h>

#include "FakePrintSystem.h"
#include "jobmonitor/JobDetailRecord.h"

namespace hlv {
namespace {

using test::sampleJob;

TEST(JobSnapshot_Reset, JobsPresentAtStartAreNotReported)
{
    JobSnapshot snapshot;
    snapshot.reset({sampleJob(1), sampleJob(2)});
    EXPECT_EQ(snapshot.size(), 2);
    EXPECT_TRUE(snapshot.update({sampleJob(1), sampleJob(2)}).isEmpty());
}

TEST(JobSnapshot_Update, NewModifiedDeleted_DeletedCarriesLastState)
{
    JobSnapshot snapshot;
    snapshot.reset({});

    PrintJobInfo job = sampleJob(10);
    QList<JobChange> changes = snapshot.update({job});
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes.at(0), (JobChange{QStringLiteral("New"), buildJobDetailRecord(job)}));

    job.PagesPrinted = 2;
    job.StatusMask = 16;
    changes = snapshot.update({job});
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes.at(0), (JobChange{QStringLiteral("Modified"), buildJobDetailRecord(job)}));

    // Unchanged: nothing to report.
    EXPECT_TRUE(snapshot.update({job}).isEmpty());

    changes = snapshot.update({});
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes.at(0).action, QStringLiteral("Deleted"));
    EXPECT_EQ(changes.at(0).record, buildJobDetailRecord(job));
    EXPECT_TRUE(changes.at(0).record.startsWith(QStringLiteral("16|")));
    EXPECT_EQ(snapshot.size(), 0);
}

TEST(JobSnapshot_Update, MixedChanges_ServerOrderThenDeletedInLastOrder)
{
    JobSnapshot snapshot;
    snapshot.reset({sampleJob(1), sampleJob(2), sampleJob(3), sampleJob(4)});

    PrintJobInfo changed = sampleJob(3);
    changed.Priority = 99;
    const QList<JobChange> changes = snapshot.update({sampleJob(5), changed, sampleJob(1)});
    QStringList seen;
    for (const JobChange& c : changes) {
        seen << c.action + QLatin1Char(' ') + c.record.section(QLatin1Char('|'), 10, 10);
    }
    EXPECT_EQ(seen, (QStringList{QStringLiteral("New 5"), QStringLiteral("Modified 3"), QStringLiteral("Deleted 2"),
                                 QStringLiteral("Deleted 4")}));
}

TEST(JobSnapshot_Update, SameIdOnTwoQueues_AreTwoJobs)
{
    JobSnapshot snapshot;
    snapshot.reset({sampleJob(1)});
    PrintJobInfo other = sampleJob(1);
    other.Name = QStringLiteral("Plotter, 1");
    const QList<JobChange> changes = snapshot.update({sampleJob(1), other});
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes.at(0).action, QStringLiteral("New"));
    EXPECT_TRUE(changes.at(0).record.endsWith(QStringLiteral("|Plotter, 1")));
}

// A job that leaves the list leaves with its state now wherever that is known: moved to
// another queue, ended as the server's history or its notices tell, else as last seen.
TEST(JobSnapshot_Gone, DeletedCarriesTheStateNow)
{
    PrintJobInfo stuck = sampleJob(1);
    stuck.StatusMask = JobStatus::Error; // waiting on a stopped printer
    PrintJobInfo moved = sampleJob(1);
    moved.Name = QStringLiteral("Plotter, 1");
    moved.StatusMask = 0;
    PrintJobInfo printed = sampleJob(1);
    printed.StatusMask = JobStatus::Printed;
    printed.PagesPrinted = 3;
    printed.ended = true;
    PrintJobInfo told; // a notice: the job ended on the queue it was moved to
    told.JobId = 1;
    told.Name = QStringLiteral("Plotter, 1");
    told.StatusMask = JobStatus::Printed;
    told.ended = true;
    PrintJobInfo lastSeenPrinted = stuck;
    lastSeenPrinted.StatusMask = JobStatus::Printed;
    PrintJobInfo movedUnderOldName = moved;
    movedUnderOldName.Name = stuck.Name;

    struct Case
    {
        const char* name;
        QList<PrintJobInfo> listed, ended, told;
        QStringList expected;
    };
    const QList<Case> cases = {
        {"moved",
         {moved},
         {},
         {},
         {QStringLiteral("New ") + buildJobDetailRecord(moved),
          QStringLiteral("Deleted ") + buildJobDetailRecord(movedUnderOldName)}},
        {"ended, in the history", {}, {printed}, {}, {QStringLiteral("Deleted ") + buildJobDetailRecord(printed)}},
        {"ended, told", {}, {}, {told}, {QStringLiteral("Deleted ") + buildJobDetailRecord(lastSeenPrinted)}},
        {"nothing known", {}, {}, {}, {QStringLiteral("Deleted ") + buildJobDetailRecord(stuck)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const bool whole : {false, true}) {
            JobSnapshot snapshot;
            snapshot.reset({stuck});
            const QList<JobChange> changes = whole ? snapshot.update(c.listed, c.ended, c.told)
                                                   : snapshot.updatePart(c.listed, {1}, {}, c.ended, c.told);
            QStringList seen;
            for (const JobChange& change : changes) {
                seen << change.action + QLatin1Char(' ') + change.record;
            }
            EXPECT_EQ(seen, c.expected) << (whole ? "whole" : "part");
        }
    }
}

// A job that came and ended between two readings is reported New and then Deleted, with
// what the history keeps of it or, forgotten there, what the notices told.
TEST(JobSnapshot_CameAndWent, NewThenDeleted)
{
    PrintJobInfo printed = sampleJob(4);
    printed.StatusMask = JobStatus::Printed;
    printed.ended = true;
    PrintJobInfo told;
    told.JobId = 5;
    told.Name = QStringLiteral("Laser, 5");
    told.Document = QStringLiteral("quick");
    told.StatusMask = JobStatus::Printed;
    told.ended = true;
    PrintJobInfo stillThere = told; // told of, and still listed: an ordinary new job
    stillThere.JobId = 6;
    stillThere.Name = QStringLiteral("Laser, 6");
    stillThere.ended = false;

    JobSnapshot snapshot;
    snapshot.reset({});
    const QList<JobChange> changes = snapshot.updatePart({stillThere}, {4, 5, 6}, {}, {printed}, {told, stillThere});
    EXPECT_EQ(changes, (QList<JobChange>{{QStringLiteral("New"), buildJobDetailRecord(stillThere)},
                                         {QStringLiteral("New"), buildJobDetailRecord(printed)},
                                         {QStringLiteral("Deleted"), buildJobDetailRecord(printed)},
                                         {QStringLiteral("New"), buildJobDetailRecord(told)},
                                         {QStringLiteral("Deleted"), buildJobDetailRecord(told)}}));
    EXPECT_EQ(snapshot.size(), 1);
}

} // namespace
} // namespace hlv
