#include <limits>

#include <QLocale>
#include <gtest/gtest.h>

#include "console/ui/SettingsRules.h"
#include "console/ui/StatsText.h"
#include "console/ui/VbColour.h"
#include "store/JobLogStore.h"

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace hlv {
namespace {

// Every case runs with the C locale's number and date forms.
class RulesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_saved = QLocale();
        QLocale::setDefault(QLocale::c());
    }
    void TearDown() override { QLocale::setDefault(m_saved); }

private:
    QLocale m_saved;
};

using PollRateTest = RulesTest;

TEST_F(PollRateTest, CheckPollRate_Boundaries_AcceptedOrRefused)
{
    struct Case
    {
        const char* typed;
        double min;
        std::optional<double> max;
        PollRateCheck check;
        double milliseconds;
    };
    const Case cases[] = {
        {"1", 1, std::nullopt, PollRateCheck::Accepted, 1000},
        {"0.999", 1, std::nullopt, PollRateCheck::OutOfRange, 0},
        {"2.5", 1, std::nullopt, PollRateCheck::Accepted, 2500},
        {" 10 ", 1, std::nullopt, PollRateCheck::Accepted, 10000},
        {"0.001", 0.001, 1, PollRateCheck::Accepted, 1},
        {"1", 0.001, 1, PollRateCheck::Accepted, 1000},
        {"0.5", 0.001, 1, PollRateCheck::Accepted, 500},
        {"0", 0.001, 1, PollRateCheck::OutOfRange, 0},
        {"1.5", 0.001, 1, PollRateCheck::OutOfRange, 0},
        {"-1", 1, std::nullopt, PollRateCheck::OutOfRange, 0},
        {"abc", 1, std::nullopt, PollRateCheck::NotNumber, 0},
        {"", 1, std::nullopt, PollRateCheck::NotNumber, 0},
        {"1s", 1, std::nullopt, PollRateCheck::NotNumber, 0},
        {"inf", 1, std::nullopt, PollRateCheck::NotNumber, 0},
        {"nan", 1, std::nullopt, PollRateCheck::NotNumber, 0},
        // A rate no timer can take (more than 2^31-1 milliseconds).
        {"2147484", 1, std::nullopt, PollRateCheck::NotNumber, 0},
        {"2147483", 1, std::nullopt, PollRateCheck::Accepted, 2147483000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        const PollRate rate = checkPollRate(QString::fromLatin1(c.typed), c.min, c.max);
        EXPECT_EQ(rate.check, c.check);
        if (c.check == PollRateCheck::Accepted) {
            EXPECT_DOUBLE_EQ(rate.milliseconds, c.milliseconds);
        }
    }
}

TEST_F(PollRateTest, CheckPollRate_GermanLocale_ReadsComma)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const PollRate rate = checkPollRate(QStringLiteral("2,5"), 1);
    EXPECT_EQ(rate.check, PollRateCheck::Accepted);
    EXPECT_DOUBLE_EQ(rate.milliseconds, 2500);
}

TEST_F(PollRateTest, PollRateSecondsText_StoredMilliseconds_ShownInSeconds)
{
    EXPECT_EQ(pollRateSecondsText(QStringLiteral("10000")), QStringLiteral("10"));
    EXPECT_EQ(pollRateSecondsText(QStringLiteral("6000")), QStringLiteral("6"));
    EXPECT_EQ(pollRateSecondsText(QStringLiteral("10")), QStringLiteral("0.01"));
    EXPECT_EQ(pollRateSecondsText(QStringLiteral("2500")), QStringLiteral("2.5"));
    EXPECT_EQ(pollRateSecondsText(QStringLiteral("1")), QStringLiteral("0.001"));
    EXPECT_EQ(pollRateSecondsText(QStringLiteral("junk")), QString());
    EXPECT_EQ(pollRateSecondsText(QString()), QString());
}

TEST(SettingsRules, QuickActionEnabling_EitherWay_OnlyItsControlsEnabled)
{
    EXPECT_TRUE(quickActionEnabling(true).hideAllEnabled);
    EXPECT_FALSE(quickActionEnabling(true).jobActionEnabled);
    EXPECT_FALSE(quickActionEnabling(false).hideAllEnabled);
    EXPECT_TRUE(quickActionEnabling(false).jobActionEnabled);
}

TEST(SettingsRules, MenuStyles_OrderAndWarnedStyles_Fixed)
{
    EXPECT_EQ(menuStyles(),
              (QStringList{QStringLiteral("Full Menu"), QStringLiteral("Classic Menu"), QStringLiteral("Simple Menu"),
                           QStringLiteral("Help Menu"), QStringLiteral("No Menu")}));
    for (const QString& style : menuStyles()) {
        SCOPED_TRACE(style.toStdString());
        EXPECT_EQ(menuStyleHidesSettings(style),
                  style == QStringLiteral("Help Menu") || style == QStringLiteral("No Menu"));
    }
    EXPECT_FALSE(menuStyleHidesSettings(QStringLiteral("no menu")));
}

using StatsTextTest = RulesTest;

TEST_F(StatsTextTest, Saving_DeletedAndPrinted_TwoDecimalsOrBarePrefix)
{
    const QString prefix = QStringLiteral("Your Current Saving is ");
    const struct
    {
        double deleted;
        double printed;
        const char* text;
    } cases[] = {
        {500, 0, "Your Current Saving is 100.00%"}, {30, 90, "Your Current Saving is 25.00%"},
        {30, 10, "Your Current Saving is 75.00%"},  {1, 2, "Your Current Saving is 33.33%"},
        {2, 1, "Your Current Saving is 66.67%"},    {0, 90, "Your Current Saving is "},
        {0, 0, "Your Current Saving is "},          {-5, 10, "Your Current Saving is "},
        {1, 99999, "Your Current Saving is 0.00%"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StatsText::saving(prefix, c.deleted, c.printed), QString::fromLatin1(c.text));
    }
}

TEST_F(StatsTextTest, Percent_GermanLocale_SystemSeparatorNoGrouping)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(StatsText::percent(75), QStringLiteral("75,00"));
    EXPECT_EQ(StatsText::pages(1234567), QStringLiteral("1234567"));
    EXPECT_EQ(StatsText::pages(12.5), QStringLiteral("12,5"));
}

TEST_F(StatsTextTest, Lines_Figures_ExactTextsInWindowOrder)
{
    EXPECT_EQ(StatsText::sessionLines(12, 0), (QStringList{QStringLiteral("Current Session - Printed Pages: 12"),
                                                           QStringLiteral("Current Session - Deleted Pages: 0"),
                                                           QStringLiteral("Your Current Saving is ")}));
    EXPECT_EQ(
        StatsText::totalLines(90, 30, QDateTime(QDate(2026, 3, 14), QTime(9, 30))),
        (QStringList{QStringLiteral("Total Printed Pages: 90"), QStringLiteral("Total Deleted Pages: 30"),
                     QStringLiteral("Your Total Saving is 25.00%"), QStringLiteral("Total Last Reset: 3/14/2026")}));

    LogStats stats;
    stats.LogPrintedPages = 10;
    stats.LogDeletedPages = 30;
    stats.LogSaving = 75;
    stats.LogStarted = QDateTime(QDate(2026, 2, 1), QTime(0, 0));
    stats.LogFinished = QDateTime(QDate(2026, 3, 14), QTime(9, 30, 12));
    stats.LogPagesManaged = 1234567;
    stats.LogJobsManaged = 40000;
    stats.LogServersManaged = 2;
    stats.LogQueuesManaged = 3;
    stats.LogUsersManaged = 4;
    EXPECT_EQ(StatsText::logLines(stats),
              (QStringList{QStringLiteral("Log Printed Pages: 10"), QStringLiteral("Log Deleted Pages: 30"),
                           QStringLiteral("Log Saving is 75.00%"), QStringLiteral("Log Started: 2/1/2026"),
                           QStringLiteral("Log Finished: 3/14/2026"), QStringLiteral("Pages Managed: 1234567"),
                           QStringLiteral("Jobs Managed: 40000"), QStringLiteral("Servers Managed: 2"),
                           QStringLiteral("Queues Managed: 3"), QStringLiteral("Users Managed: 4")}));

    // An empty log still shows a number for its saving.
    EXPECT_EQ(StatsText::logLines(LogStats{}).at(2), QStringLiteral("Log Saving is 0.00%"));
}

TEST_F(StatsTextTest, MailBody_Blocks_CrLfSeparatedNoFinalLineBreak)
{
    const QString body = StatsText::mailBody(QStringLiteral("WS01"), QDateTime(QDate(2026, 3, 14), QTime(9, 30)),
                                             {QStringLiteral("s1"), QStringLiteral("s2")}, {QStringLiteral("t1")},
                                             {QStringLiteral("l1"), QStringLiteral("l2")});
    EXPECT_EQ(body, QStringLiteral("Halvern on WS01 at 3/14/2026 9:30:00 AM\r\n"
                                   "\r\nCurrent Session\r\n------------------\r\n\r\ns1\r\ns2\r\n"
                                   "\r\nTotals\r\n------------------\r\n\r\nt1\r\n"
                                   "\r\nLog File\r\n------------------\r\n\r\nl1\r\nl2\r\n"
                                   "\r\nSave money and the environment by reducing paper and ink usage through "
                                   "better printer management.\r\n"
                                   "Halvern - www.halvern.example"));
}

} // namespace
} // namespace hlv

namespace hlv {
namespace {

// Window sizes come from the settings file as any number at all; the conversion to pixels
// must give a size a widget can take, never an out-of-range cast.
TEST(TwipsToPixels, AnyNumber_HeldToWidgetSizes)
{
    struct Case
    {
        double twips;
        int pixels;
    };
    const Case cases[] = {
        {15, 1},
        {14580, 972},
        {-15, 0},
        {1e308, 16777215},
        {-1e308, -16777215},
        {1e10, 16777215},
        {std::numeric_limits<double>::infinity(), 16777215},
        {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(twipsToPixels(c.twips), c.pixels) << c.twips;
    }
}

} // namespace
} // namespace hlv
