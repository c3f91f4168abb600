#include "platform/print/StatusText.h"

#include <cmath>
#include <limits>
#include <set>

#include <gtest/gtest.h>

using namespace hlv;

TEST(StatusTextTest, PrinterStatus_PhrasesInBitOrder)
{
    struct Case
    {
        qint64 status;
        const char* text;
    };
    const Case cases[] = {
        {0, "OK"},
        {0x1, " Paused"},
        {0x401, " Paused Printing"},
        {0x8000, " Initializing"},
        {0x18000, " Initializing Warming up"},
        {0x80, " OffLine"},
        {0x2, " Error"},
        {0x1000, " Not Available"},
        {0x80000, " Can print Current Page"},
        {0x100000, " User Intervention"},
        {0x1000000, " Power Save"},
        {0x2000000, ""},
        {0x6000000, ""},
        {0x3000000, " Power Save"},
        {qint64(0x80000000), ""},
        {-1, " Paused Error Pending Deletion Paper Jam Paper Out Manual Feed Paper Problem OffLine IO Active Busy "
             "Printing Output Bin Full Not Available Waiting Processing Initializing Warming up Toner Low No Toner "
             "Can print Current Page User Intervention Out of Memory Door Open Server Unknown Power Save"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetPrinterStatusText(c.status), QString::fromUtf8(c.text)) << std::hex << c.status;
    }
}

TEST(StatusTextTest, ExtendedPrinterStatus_WordsOrTheValueItself)
{
    struct Case
    {
        qint64 value;
        const char* text;
    };
    const Case cases[] = {
        {1, "Other"},
        {2, "OK"},
        {3, "Idle"},
        {4, "Printing"},
        {5, "Warming Up"},
        {6, "Stopped Printing"},
        {7, "Offline"},
        {8, "Paused"},
        {9, "Error"},
        {10, "Busy"},
        {11, "Not Available"},
        {12, "Waiting"},
        {13, "Processing"},
        {14, "Initialization"},
        {15, "Power Save"},
        {16, "Pending Deletion"},
        {17, "I/O Active"},
        {18, "Manual Feed"},
        {0, "0"},
        {19, "19"},
        {-1, "-1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetExtendedPrinterStatusText(c.value), QString::fromUtf8(c.text)) << c.value;
    }
    // As a variant: fractions are cut off for the comparison only; unknown values come back unchanged.
    EXPECT_EQ(GetExtendedPrinterStatusText(QVariant(4.7)), QVariant(QStringLiteral("Printing")));
    EXPECT_EQ(GetExtendedPrinterStatusText(QVariant(19)), QVariant(19));
    EXPECT_EQ(GetExtendedPrinterStatusText(QVariant(0.5)), QVariant(0.5));
    EXPECT_EQ(GetExtendedPrinterStatusText(QVariant(QStringLiteral("6"))),
              QVariant(QStringLiteral("Stopped Printing")));
    EXPECT_EQ(GetExtendedPrinterStatusText(QVariant()), QVariant());
}

TEST(StatusTextTest, JobStatus_SingleKnownBitOnly)
{
    struct Case
    {
        qint64 mask;
        const char* text;
    };
    const Case cases[] = {
        {1, "Paused"},
        {2, "Error"},
        {4, "Deleting"},
        {8, "Spooling"},
        {16, "Printing"},
        {32, "Offline"},
        {64, "Paperout"},
        {128, "Printed"},
        {256, "Deleted"},
        {512, "Blocked Dev Queue"},
        {1024, "User Intervention Required"},
        {2048, "Restart"},
        {0, "OK"},
        {24, "OK"},
        {3, "OK"},
        {4096, "OK"},
        {-16, "OK"},
        {2049, "OK"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetJobStatusText(c.mask), QString::fromUtf8(c.text)) << c.mask;
    }
}

TEST(StatusTextTest, JobStatus_FromVariantTextOrNumber)
{
    EXPECT_EQ(GetJobStatusText(QVariant(QStringLiteral("16"))), QStringLiteral("Printing"));
    EXPECT_EQ(GetJobStatusText(QVariant(QStringLiteral(" 8 "))), QStringLiteral("Spooling"));
    EXPECT_EQ(GetJobStatusText(QVariant(16)), QStringLiteral("Printing"));
    EXPECT_EQ(GetJobStatusText(QVariant(16.9)), QStringLiteral("Printing"));
    EXPECT_EQ(GetJobStatusText(QVariant(QString())), QStringLiteral("OK"));
    EXPECT_EQ(GetJobStatusText(QVariant(QStringLiteral("abc"))), QStringLiteral("OK"));
    EXPECT_EQ(GetJobStatusText(QVariant(QStringLiteral("1e300"))), QStringLiteral("OK"));
    EXPECT_EQ(GetJobStatusText(QVariant()), QStringLiteral("OK"));
}

TEST(StatusTextTest, RandomBetween_StaysWithinBounds)
{
    for (int i = 0; i < 1000; ++i) {
        EXPECT_EQ(RandomBetween(7, 7), 7);
    }
    std::set<int> seen;
    for (int i = 0; i < 20000; ++i) {
        const int value = RandomBetween(1, 1000000000);
        ASSERT_GE(value, 1);
        ASSERT_LE(value, 1000000000);
        const int small = RandomBetween(-2, 2);
        ASSERT_GE(small, -2);
        ASSERT_LE(small, 2);
        seen.insert(small);
    }
    EXPECT_EQ(seen.size(), 5u);
    // The widest range does not overflow: its draws spread over both signs and its whole
    // width rather than piling up at a clamped end.
    std::set<int> wide;
    double sum = 0;
    int negative = 0;
    for (int i = 0; i < 4000; ++i) {
        const int value = RandomBetween(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
        wide.insert(value);
        sum += value;
        negative += value < 0 ? 1 : 0;
    }
    EXPECT_GT(wide.size(), 3900u);
    EXPECT_GT(negative, 1600);
    EXPECT_LT(negative, 2400);
    EXPECT_LT(std::abs(sum / 4000), 0.1 * std::numeric_limits<int>::max());
    EXPECT_LT(*wide.begin(), std::numeric_limits<int>::min() / 2);
    EXPECT_GT(*wide.rbegin(), std::numeric_limits<int>::max() / 2);
}
