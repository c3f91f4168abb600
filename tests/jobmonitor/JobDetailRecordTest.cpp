#include "jobmonitor/JobDetailRecord.h"

#include <string>

#include <gtest/gtest.h>

#include "FakePrintSystem.h"
#include "platform/GeneralDate.h"

namespace hlv {
namespace {

using test::sampleJob;

TEST(JobDetailRecord_FullJob, FieldsInOrder_ExactText)
{
    const PrintJobInfo job = sampleJob(42);
    EXPECT_EQ(buildJobDetailRecord(job), QStringLiteral("8|report.pdf|\\\\ws01|alice|Laser|3|0|1|4KB|") +
                                             generalDateText(job.TimeSubmitted) + QStringLiteral("|42|Laser, 42"));
}

struct SizeCase
{
    qint64 bytes;
    const char* field;
};

class JobDetailRecord_Size : public ::testing::TestWithParam<SizeCase>
{};

TEST_P(JobDetailRecord_Size, WholeKilobytesRemainderDropped)
{
    PrintJobInfo job = sampleJob(1);
    job.Size = GetParam().bytes;
    const QStringList fields = buildJobDetailRecord(job).split(QLatin1Char('|'));
    ASSERT_EQ(fields.size(), kJobDetailFieldCount);
    EXPECT_EQ(fields.at(8), QLatin1String(GetParam().field));
}

INSTANTIATE_TEST_SUITE_P(Boundaries, JobDetailRecord_Size,
                         ::testing::Values(SizeCase{0, "0KB"}, SizeCase{1023, "0KB"}, SizeCase{1024, "1KB"},
                                           SizeCase{2047, "1KB"}, SizeCase{2048, "2KB"},
                                           SizeCase{Q_INT64_C(5368709120), "5242880KB"}),
                         [](const ::testing::TestParamInfo<SizeCase>& param) {
                             return std::to_string(param.param.bytes) + "_bytes";
                         });

TEST(JobDetailRecord_UnknownValues, EmptyFieldsKeepPositions)
{
    PrintJobInfo job = sampleJob(7);
    job.TotalPages.reset();
    job.TimeSubmitted = QDateTime();
    job.Document.clear();
    job.HostPrintQueue.clear();
    job.Owner.clear();
    const QStringList fields = buildJobDetailRecord(job).split(QLatin1Char('|'));
    ASSERT_EQ(fields.size(), kJobDetailFieldCount);
    EXPECT_EQ(fields.at(1), QString());
    EXPECT_EQ(fields.at(2), QString());
    EXPECT_EQ(fields.at(3), QString());
    EXPECT_EQ(fields.at(5), QString());
    EXPECT_EQ(fields.at(9), QString());
    EXPECT_EQ(fields.at(10), QStringLiteral("7"));
    EXPECT_EQ(fields.at(11), QStringLiteral("Laser, 7"));
}

TEST(JobDetailRecord_QueueName, NameWithoutCommaIsTakenWhole)
{
    PrintJobInfo job = sampleJob(3);
    job.Name = QStringLiteral("Plotter");
    EXPECT_EQ(buildJobDetailRecord(job).split(QLatin1Char('|')).at(4), QStringLiteral("Plotter"));
    job.Name = QStringLiteral("Colour, A3, 3");
    EXPECT_EQ(buildJobDetailRecord(job).split(QLatin1Char('|')).at(4), QStringLiteral("Colour"));
}

TEST(JobDetailRecord_Separator, BarInDocumentShiftsLaterFields)
{
    const PrintJobInfo job = sampleJob(9, QStringLiteral("a|b"));
    const QStringList fields = buildJobDetailRecord(job).split(QLatin1Char('|'));
    ASSERT_EQ(fields.size(), kJobDetailFieldCount + 1);
    EXPECT_EQ(fields.at(1), QStringLiteral("a"));
    EXPECT_EQ(fields.at(2), QStringLiteral("b"));
    EXPECT_EQ(fields.last(), QStringLiteral("Laser, 9"));
}

TEST(JobDetailRecord_Submitted, SameTextAsTheJobLogKeyUses)
{
    PrintJobInfo job = sampleJob(5);
    job.TimeSubmitted = QDateTime(QDate(2026, 1, 31), QTime(0, 0));
    EXPECT_EQ(buildJobDetailRecord(job).split(QLatin1Char('|')).at(9), generalDateText(job.TimeSubmitted));
}

} // namespace
} // namespace hlv
