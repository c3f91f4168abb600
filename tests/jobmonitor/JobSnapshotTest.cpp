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

} // namespace
} // namespace hlv
