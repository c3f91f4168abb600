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
    job.Size.reset();
    job.Priority = PrintJobInfo::kUnknownPriority;
    const QStringList fields = buildJobDetailRecord(job).split(QLatin1Char('|'));
    ASSERT_EQ(fields.size(), kJobDetailFieldCount);
    EXPECT_EQ(fields.at(1), QString());
    EXPECT_EQ(fields.at(2), QString());
    EXPECT_EQ(fields.at(3), QString());
    EXPECT_EQ(fields.at(5), QString());
    EXPECT_EQ(fields.at(7), QString()) << "an unknown priority is no priority of 1";
    EXPECT_EQ(fields.at(8), QString()) << "an unknown size is neither 0KB nor KB without a number";
    EXPECT_EQ(fields.at(9), QString());
    EXPECT_EQ(fields.at(10), QStringLiteral("7"));
    EXPECT_EQ(fields.at(11), QStringLiteral("Laser, 7"));
}

TEST(JobDetailRecord_QueueName, UpToTheCommaBeforeTheJobId)
{
    PrintJobInfo job = sampleJob(3);
    job.Name = QStringLiteral("Plotter");
    EXPECT_EQ(buildJobDetailRecord(job).split(QLatin1Char('|')).at(4), QStringLiteral("Plotter"));
    // CUPS allows commas in printer names.
    job.Name = QStringLiteral("Colour, A3, 3");
    EXPECT_EQ(buildJobDetailRecord(job).split(QLatin1Char('|')).at(4), QStringLiteral("Colour, A3"));
}

// Whatever a document, computer, printer or user name holds, "|" and "\" included, the
// reader gives back the twelve fields the record was built from.
TEST(JobDetailRecord_Read, RoundTrip_AnyCharactersInNames)
{
    const struct
    {
        const char* document;
        const char* host;
        const char* owner;
        const char* printer;
    } cases[] = {
        {"a|b", "\\\\ws01", "alice", "Laser"},
        {"|lead and trail|", "\\\\ws01", "alice", "Laser"},
        {"||", "\\\\ws01", "alice", "Laser"},
        {"x|1KB|3/14/2026 9:15:30 AM|17|Laser, 17", "\\\\ws01", "alice", "Laser"},
        {"50% off, final", "\\\\ws01", "bob%20", "Q%41x"},
        {"tab\there", "\\\\ws01", "car,ol", "a,b"},
        {"Bücher – Ελληνικά|日本語", "\\\\ws01", "Jürgen", "Drucker-Büro"},
        {"", "", "", "Laser"},
        {"x|y", "\\\\ws01", "alice", "a|b"},
        {"x|y, 9", "\\\\ws01", "alice", "|a||b|"},
        {"report", "\\\\we|ird", "we|ird", "Laser"},
        {"report", "\\\\ws01", "|", "Laser"},
        {"C:\\temp\\", "\\\\ws01\\", "dom\\user", "Laser\\"},
        {"\\|", "\\\\|\\", "\\\\|", "\\|\\"},
        {"ends\\\\", "\\", "a\\|b", "p\\|q"},
    };
    for (const auto& c : cases) {
        PrintJobInfo job = sampleJob(9, QString::fromUtf8(c.document));
        job.Name = QString::fromUtf8(c.printer) + QStringLiteral(", 9");
        job.Owner = QString::fromUtf8(c.owner);
        job.HostPrintQueue = QString::fromUtf8(c.host);
        const QStringList expected = {QString::number(job.StatusMask),
                                      job.Document,
                                      job.HostPrintQueue,
                                      job.Owner,
                                      QString::fromUtf8(c.printer),
                                      QString::number(*job.TotalPages),
                                      QString::number(job.PagesPrinted),
                                      QString::number(job.Priority),
                                      QString::number(*job.Size / 1024) + QStringLiteral("KB"),
                                      generalDateText(job.TimeSubmitted),
                                      QStringLiteral("9"),
                                      job.Name};
        bool complete = false;
        const QString record = buildJobDetailRecord(job);
        EXPECT_EQ(readJobDetailRecord(record, &complete), expected) << record.toStdString();
        EXPECT_TRUE(complete) << record.toStdString();
    }
}

TEST(JobDetailRecord_Submitted, SameTextAsTheJobLogKeyUses)
{
    PrintJobInfo job = sampleJob(5);
    job.TimeSubmitted = QDateTime(QDate(2026, 1, 31), QTime(0, 0));
    EXPECT_EQ(buildJobDetailRecord(job).split(QLatin1Char('|')).at(9), generalDateText(job.TimeSubmitted));
}

} // namespace
} // namespace hlv
