#include "console/ui/JobActionRules.h"

#include <gtest/gtest.h>

using namespace hlv;

namespace {
JobRowValues sampleRow()
{
    JobRowValues row;
    row.Status = QStringLiteral("Paused");
    row.Description = QStringLiteral("Quarterly report.pdf");
    row.Computer = QStringLiteral("\\\\PC7");
    row.User = QStringLiteral("alice");
    row.Pages = QStringLiteral("3");
    row.Priority = QStringLiteral("1");
    row.Size = QStringLiteral("120KB");
    row.Submitted = QStringLiteral("3/14/2026 9:30:00 AM");
    row.ID = QStringLiteral("42");
    return row;
}
} // namespace

TEST(TransactionId, Row_IdDashSubmitted)
{
    EXPECT_EQ(transactionIdOf(sampleRow()), QStringLiteral("42-3/14/2026 9:30:00 AM"));
}

TEST(JobLogFields, ReleaseAndDelete_FifteenFieldsInOrder)
{
    const QDateTime now(QDate(2026, 3, 14), QTime(10, 0, 0));
    const auto release = jobLogFields(JobLogKind::Release, sampleRow(), QStringLiteral("srv"), QStringLiteral("Laser"),
                                      now, QStringLiteral("op"), QStringLiteral("ws1"));
    const auto remove = jobLogFields(JobLogKind::Delete, sampleRow(), QStringLiteral("srv"), QStringLiteral("Laser"),
                                     now, QStringLiteral("op"), QStringLiteral("ws1"));
    const QList<JobLogField> expectedRelease = {
        {QStringLiteral("Server"), QStringLiteral("srv")},
        {QStringLiteral("Queue"), QStringLiteral("Laser")},
        {QStringLiteral("Description"), QStringLiteral("Quarterly report.pdf")},
        {QStringLiteral("Computer"), QStringLiteral("\\\\PC7")},
        {QStringLiteral("User"), QStringLiteral("alice")},
        {QStringLiteral("Name"), QStringLiteral("42")},
        {QStringLiteral("Priority"), QStringLiteral("1")},
        {QStringLiteral("Time Submitted"), QStringLiteral("3/14/2026 9:30:00 AM")},
        {QStringLiteral("Pages"), QStringLiteral("3")},
        {QStringLiteral("Resumed"), now},
        {QStringLiteral("Printed Pages"), QStringLiteral("3")},
        {QStringLiteral("Deleted"), QString()},
        {QStringLiteral("Deleted Pages"), QString()},
        {QStringLiteral("HLV User"), QStringLiteral("op")},
        {QStringLiteral("HLV Computer"), QStringLiteral("ws1")},
    };
    EXPECT_EQ(release, expectedRelease);

    ASSERT_EQ(remove.size(), 15);
    for (int i : {0, 1, 2, 3, 4, 5, 6, 7, 8, 13, 14}) {
        EXPECT_EQ(remove[i], expectedRelease[i]) << i;
    }
    EXPECT_EQ(remove[9], (JobLogField{QStringLiteral("Deleted"), now}));
    EXPECT_EQ(remove[10], (JobLogField{QStringLiteral("Deleted Pages"), QStringLiteral("3")}));
    EXPECT_EQ(remove[11], (JobLogField{QStringLiteral("Resumed"), QString()}));
    EXPECT_EQ(remove[12], (JobLogField{QStringLiteral("Printed Pages"), QString()}));
}

TEST(Questions, DeleteAndPurge_ExactTexts)
{
    EXPECT_EQ(deleteQuestion(sampleRow()),
              QStringLiteral("Are you sure you want to delete \r\nQuarterly report.pdf\r\nby \\\\PC7 120KB?"));
    EXPECT_EQ(purgeQuestion(), QStringLiteral("Are you sure you want to delete \r\nall print jobs?"));
}

TEST(PagesValue, Texts_NumberOrNothing)
{
    EXPECT_EQ(pagesValue(QStringLiteral("3")), 3.0);
    EXPECT_EQ(pagesValue(QStringLiteral(" 12 ")), 12.0);
    EXPECT_EQ(pagesValue(QStringLiteral("2.5")), 2.5);
    EXPECT_FALSE(pagesValue(QString()).has_value());
    EXPECT_FALSE(pagesValue(QStringLiteral("3 pages")).has_value());
    EXPECT_FALSE(pagesValue(QStringLiteral("nan")).has_value());
}

TEST(SessionCounters, DeletedPast16Bits_KeepsCounting)
{
    qint64 deleted = 32760;
    EXPECT_TRUE(addDeletedPages(deleted, QStringLiteral("10")));
    EXPECT_EQ(deleted, 32770);
    for (int i = 0; i < 4; ++i) {
        addDeletedPages(deleted, QStringLiteral("20000"));
    }
    EXPECT_EQ(deleted, 112770);
    EXPECT_FALSE(addDeletedPages(deleted, QStringLiteral("lots")));
    EXPECT_FALSE(addDeletedPages(deleted, QString()));
    EXPECT_EQ(deleted, 112770);

    double printed = 0;
    EXPECT_TRUE(addPrintedPages(printed, QStringLiteral("10")));
    EXPECT_TRUE(addPrintedPages(printed, QStringLiteral("3")));
    EXPECT_FALSE(addPrintedPages(printed, QString()));
    EXPECT_DOUBLE_EQ(printed, 13.0);
}
