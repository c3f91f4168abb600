#include <gtest/gtest.h>

#include "console/ui/ActionLayout.h"
#include "console/ui/AutoRelease.h"
#include "console/ui/QueueAutomation.h"

using namespace hlv;

TEST(TimeOfDay, TypedTexts_ReadAsHourAndMinute)
{
    struct Case
    {
        const char* typed;
        const char* compared; // nullptr: not a time
    };
    const Case cases[] = {
        {"5:00 PM", "17:0"}, {"17:00", "17:0"},      {"5:00pm", "17:0"},    {"5:00 p.m.", "17:0"},
        {"9:05 AM", "9:5"},  {"09:05", "9:5"},       {"12:00 AM", "0:0"},   {"12:30 PM", "12:30"},
        {"0:00", "0:0"},     {"23:59", "23:59"},     {"17:00:45", "17:0"},  {" 5:00 PM ", "17:0"},
        {"5 PM", "17:0"},    {"24:00", nullptr},     {"13:00 PM", nullptr}, {"5:60", nullptr},
        {"17", nullptr},     {"", nullptr},          {"abc", nullptr},      {"5:00 XM", nullptr},
        {"-1:00", nullptr},  {"5:00 PM x", nullptr},
    };
    for (const Case& c : cases) {
        const auto got = comparedTimeText(QString::fromUtf8(c.typed));
        if (c.compared == nullptr) {
            EXPECT_FALSE(got.has_value()) << c.typed;
        } else {
            ASSERT_TRUE(got.has_value()) << c.typed;
            EXPECT_EQ(*got, QString::fromUtf8(c.compared)) << c.typed;
        }
    }
}

TEST(TimedRelease, SetTimeFivePm_FiresOnlyWithinItsMinute)
{
    TimedReleaseState state{true, true, true, false, QStringLiteral("5:00 PM")};
    EXPECT_EQ(timedActionDue(state, QTime(16, 59, 59)), TimedAction::None);
    EXPECT_EQ(timedActionDue(state, QTime(17, 0, 0)), TimedAction::ResumeAll);
    EXPECT_EQ(timedActionDue(state, QTime(17, 0, 30)), TimedAction::ResumeAll); // repeated within the minute
    EXPECT_EQ(timedActionDue(state, QTime(17, 0, 59)), TimedAction::ResumeAll);
    EXPECT_EQ(timedActionDue(state, QTime(17, 1, 0)), TimedAction::None);
    EXPECT_EQ(timedActionDue(state, QTime(5, 0, 0)), TimedAction::None); // AM is another time

    state.setTime = QStringLiteral("17:00");
    EXPECT_EQ(timedActionDue(state, QTime(17, 0, 10)), TimedAction::ResumeAll);
}

TEST(TimedRelease, ChoiceAndBoxState_DecideTheAction)
{
    const QTime at(9, 5, 0);
    TimedReleaseState print{true, true, true, false, QStringLiteral("9:05 AM")};
    TimedReleaseState purge{true, true, false, true, QStringLiteral("9:05")};
    EXPECT_EQ(timedActionDue(print, at), TimedAction::ResumeAll);
    EXPECT_EQ(timedActionDue(purge, at), TimedAction::Purge);

    TimedReleaseState disabled = print;
    disabled.enabled = false; // ticked but its box disabled: a favourite loaded with AutoQueue off
    EXPECT_EQ(timedActionDue(disabled, at), TimedAction::None);
    TimedReleaseState unticked = purge;
    unticked.checked = false;
    EXPECT_EQ(timedActionDue(unticked, at), TimedAction::None);

    TimedReleaseState bad = print;
    bad.setTime = QStringLiteral("teatime");
    EXPECT_FALSE(timedActionDue(bad, at).has_value());
    bad.enabled = false; // nothing is read while the release is off
    EXPECT_EQ(timedActionDue(bad, at), TimedAction::None);
}

TEST(InFlight, EachCondition_IsRequired)
{
    const InFlightProbe base{true, true, QStringLiteral("12"), QStringLiteral("12"), 0};
    EXPECT_TRUE(isJobInFlight(base));

    InFlightProbe p = base;
    p.autoQueueOn = false;
    EXPECT_FALSE(isJobInFlight(p));
    p = base;
    p.queueCanPrint = false; // queue paused by hand, or in error
    EXPECT_FALSE(isJobInFlight(p));
    p = base;
    p.jobStatus = 1; // the released job was paused again
    EXPECT_FALSE(isJobInFlight(p));
    p = base;
    p.jobStatus = 0x10; // printing
    EXPECT_TRUE(isJobInFlight(p));
    p = base;
    p.lastReleasedJob.clear();
    p.jobName.clear();
    EXPECT_FALSE(isJobInFlight(p)); // nothing released yet
    p = base;
    p.jobName = QStringLiteral("120");
    EXPECT_FALSE(isJobInFlight(p));
}

TEST(PollInterval, ModeAndSettings_ChooseTheInterval)
{
    const PollSettings defaults{QStringLiteral("10000"), QStringLiteral("6000"), QStringLiteral("10")};
    EXPECT_EQ(nextPollInterval(defaults, false, false), 10000);
    EXPECT_EQ(nextPollInterval(defaults, true, false), 6000);
    EXPECT_EQ(nextPollInterval(defaults, true, true), 10);

    EXPECT_EQ(intervalFromSetting(QStringLiteral("2500.4")), 2500);
    EXPECT_EQ(intervalFromSetting(QStringLiteral("12,6")), 13); // written with a decimal comma before
    EXPECT_EQ(intervalFromSetting(QStringLiteral(" 750 ")), 750);
    EXPECT_FALSE(intervalFromSetting(QString()).has_value());
    EXPECT_FALSE(intervalFromSetting(QStringLiteral("fast")).has_value());
    EXPECT_FALSE(intervalFromSetting(QStringLiteral("0")).has_value());
    EXPECT_FALSE(intervalFromSetting(QStringLiteral("-5")).has_value());
    EXPECT_FALSE(intervalFromSetting(QStringLiteral("1e12")).has_value());

    EXPECT_TRUE(releaseInFlight(10, QStringLiteral("10")));
    EXPECT_FALSE(releaseInFlight(6000, QStringLiteral("10")));
    EXPECT_FALSE(releaseInFlight(10, QStringLiteral("garbage")));
}

TEST(Exceptions, UserContainsText_MatchesIgnoringCase)
{
    const QString adm = QStringLiteral("adm");
    EXPECT_TRUE(userMatchesExceptions(QStringLiteral("Admin"), adm));
    EXPECT_TRUE(userMatchesExceptions(QStringLiteral("sysadm"), adm));
    EXPECT_TRUE(userMatchesExceptions(QStringLiteral("ADM"), adm));
    EXPECT_FALSE(userMatchesExceptions(QStringLiteral("ad"), adm));
    EXPECT_FALSE(userMatchesExceptions(QStringLiteral("bob"), adm));
    EXPECT_FALSE(userMatchesExceptions(QStringLiteral("bob"), QString()));
    EXPECT_FALSE(userMatchesExceptions(QString(), QString()));
}

TEST(RowStatus, ReleaseRules_MatchPausedAndOk)
{
    EXPECT_TRUE(rowIsPausedForResumeAll(QStringLiteral("Paused")));
    EXPECT_TRUE(rowIsPausedForResumeAll(QStringLiteral(" Paused")));
    EXPECT_TRUE(rowIsPausedForResumeAll(QStringLiteral("paused")));
    EXPECT_FALSE(rowIsPausedForResumeAll(QStringLiteral("OK")));
    EXPECT_FALSE(rowIsPausedForResumeAll(QStringLiteral("Printing")));

    EXPECT_TRUE(rowReleasableForExceptions(QStringLiteral("OK")));
    EXPECT_TRUE(rowReleasableForExceptions(QStringLiteral("Paused")));
    EXPECT_FALSE(rowReleasableForExceptions(QStringLiteral("Printing")));
    EXPECT_FALSE(rowReleasableForExceptions(QStringLiteral("Spooling")));
    EXPECT_FALSE(rowReleasableForExceptions(QStringLiteral("Error")));
}

TEST(ActionLayout, AllButtonsShown_DesignPlaces)
{
    const ActionLayout l = actionLayout(false);
    EXPECT_TRUE(l.allButtonsVisible);
    EXPECT_EQ(l.txtPrintJob, QRect(0, 0, 4575, 615));
    EXPECT_EQ(l.PrintButton, QRect(0, 600, 2295, 855));
    EXPECT_EQ(l.DeleteButton, QRect(2280, 600, 2295, 855));
    EXPECT_EQ(l.cmdPrintAll, QRect(0, 1440, 2295, 495));
    EXPECT_EQ(l.cmdDeleteAll, QRect(2280, 1440, 2295, 495));
    EXPECT_EQ(l.CancelButton, QRect(0, 1920, 4575, 495));
}

TEST(ActionLayout, AllButtonsHidden_PrintDeleteReachCancelOnce)
{
    const ActionLayout l = actionLayout(true);
    EXPECT_FALSE(l.allButtonsVisible);
    EXPECT_GT(l.PrintButton.height(), 855);
    EXPECT_EQ(l.PrintButton.height(), l.DeleteButton.height());
    EXPECT_EQ(l.PrintButton.top() + l.PrintButton.height(), l.CancelButton.top()); // touches, never covers
    EXPECT_EQ(l.CancelButton, QRect(0, 1920, 4575, 495));
    // Laying out again gives the same places: nothing grows at each activation.
    EXPECT_EQ(actionLayout(true).PrintButton, l.PrintButton);
}

TEST(ActionSummary, Row_TwoLines)
{
    EXPECT_EQ(actionSummaryText(QStringLiteral("Report"), QStringLiteral("PC7"), QStringLiteral("120KB"),
                                QStringLiteral("3")),
              QStringLiteral("Report\r\nPC7 - 120KB - Pages: 3"));
    EXPECT_EQ(actionNoJobText(), QStringLiteral("No Job Selected"));
}

TEST(TimedFavourites, Slots_FirstCheckedDueSlotWins)
{
    const auto slot = [](bool checked, const char* caption, bool visible = true, bool enabled = true) {
        return FavouriteSlot{enabled, visible, checked, QString::fromUtf8(caption)};
    };
    const QTime six(18, 0, 20);
    const char* due = "PS1 | Sales | AQ On | AR On | Delete | 6:00 PM | AA";
    const char* later = "PS1 | Admin | AQ On | AR On | Print | 7:00 PM | AA";

    EXPECT_EQ(dueFavourite({slot(true, later), slot(true, due), slot(true, due)}, six), 1); // the lower slot
    EXPECT_EQ(dueFavourite({slot(false, due), slot(true, later)}, six), -1);                // not checked
    EXPECT_EQ(dueFavourite({slot(true, due, false)}, six), -1);                             // hidden
    EXPECT_EQ(dueFavourite({slot(true, due, true, false)}, six), -1);                       // disabled
    EXPECT_EQ(dueFavourite({slot(true, due)}, QTime(18, 1, 0)), -1);
    EXPECT_EQ(dueFavourite({slot(true, "PS1 | Sales | AQ On | AR On | Print | 18:00 | AA")}, six), 0);
    EXPECT_EQ(dueFavourite({}, six), -1);

    // A checked slot whose time is not a time is never due and keeps no later slot waiting.
    const char* broken = "PS1 | Sales | AQ On | AR On | Print | soon | AA";
    EXPECT_EQ(dueFavourite({slot(true, broken), slot(true, due)}, six), 1);
    EXPECT_EQ(dueFavourite({slot(true, due), slot(true, broken)}, six), 0);
    EXPECT_EQ(dueFavourite({slot(true, broken)}, six), -1);
}
