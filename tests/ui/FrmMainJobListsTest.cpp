#include <limits>

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <time.h>

#include "ConsoleFixture.h"
#include "console/ui/JobListWidget.h"
#include "support/Settle.h"

namespace hlv::test {
namespace {

class JobListsTest : public ConsoleFixture
{
protected:
    void SetUp() override
    {
        ConsoleFixture::SetUp();
        addQueue(QStringLiteral("PS1"), QStringLiteral("Sales"));
        addQueue(QStringLiteral("PS1"), QStringLiteral("Admin"));
    }
    FrmMain& startOnSales(const QString& extra = QString())
    {
        writeIni(QStringLiteral("[Halvern]\nServer=PS1\nQueue=Sales\nStartMax=False\n") + extra);
        return start();
    }
};

TEST_F(JobListsTest, Lists_AfterStartUp_RowsWithEveryColumn)
{
    addJob(QStringLiteral("PS1"), QStringLiteral("Sales"), QStringLiteral("Report"), QStringLiteral("alice"), 3, 2048);
    addJob(QStringLiteral("PS1"), QStringLiteral("Admin"), QStringLiteral("Memo"), QStringLiteral("bob"), 1, 1023,
           true);
    FrmMain& w = startOnSales();

    ASSERT_EQ(w.SearchList->rowCount(), 2);
    EXPECT_EQ(w.SearchList->row(0),
              (JobRow{QStringLiteral("OK"), 1,
                      QStringList{QStringLiteral("Report"), QStringLiteral("\\\\PC7"), QStringLiteral("alice"),
                                  QStringLiteral("Sales"), QStringLiteral("3"), QStringLiteral("0"),
                                  QStringLiteral("1"), QStringLiteral("2KB"), QStringLiteral("3/14/2026 9:15:30 AM"),
                                  QStringLiteral("1"), QStringLiteral("Sales, 1")}}));
    EXPECT_EQ(w.SearchList->row(1).text, QStringLiteral("Paused"));
    EXPECT_EQ(w.SearchList->row(1).icon, 5);
    EXPECT_EQ(w.SearchList->row(1).subItems.at(7), QStringLiteral("0KB"));
    ASSERT_EQ(w.JobList->rowCount(), 1);
    EXPECT_EQ(w.JobList->row(0).subItems,
              (QStringList{QStringLiteral("Report"), QStringLiteral("\\\\PC7"), QStringLiteral("alice"),
                           QStringLiteral("3"), QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2KB"),
                           QStringLiteral("3/14/2026 9:15:30 AM"), QStringLiteral("1"), QStringLiteral("Sales, 1")}));
    // Both jobs are in the job log once, whatever the later refreshes.
    w.cmdRefreshJobs_Click();
    EXPECT_EQ(logCount(), 2);
    EXPECT_EQ(logRow(QStringLiteral("2-3/14/2026 9:15:30 AM")).value(QStringLiteral("Size")).toString(),
              QStringLiteral("0KB"));
}

TEST_F(JobListsTest, Lists_Design_HeadersAndWidths)
{
    FrmMain& w = build();
    QStringList headers;
    for (int c = 0; c < w.SearchList->columnCount(); ++c) {
        headers.append(w.SearchList->headerItem()->text(c));
    }
    EXPECT_EQ(headers, (QStringList{QStringLiteral("Status"), QStringLiteral("Description"), QStringLiteral("Computer"),
                                    QStringLiteral("User"), QStringLiteral("Printer"), QStringLiteral("Pages"),
                                    QStringLiteral("Printed"), QStringLiteral("Priority"), QStringLiteral("Size"),
                                    QStringLiteral("Submitted"), QStringLiteral("ID"), QStringLiteral("Name")}));
    EXPECT_EQ(w.JobList->columnCount(), 11);
    EXPECT_EQ(w.JobList->headerItem()->text(4), QStringLiteral("Pages"));
    const QList<int> searchTwips = {1440, 1440, 1440, 1440, 1440, 800, 800, 800, 1440, 2100, 800, 1440};
    for (int c = 0; c < searchTwips.size(); ++c) {
        EXPECT_EQ(w.SearchList->columnWidth(c), qRound(searchTwips.at(c) / 15.0)) << c;
    }
    EXPECT_EQ(w.JobList->columnWidth(10), 0);
    EXPECT_EQ(w.JobList->toolTip(), QStringLiteral("Double Click to action or Right Click for all job Options"));
    EXPECT_EQ(JobIcons::key(1), QStringLiteral("Document"));
    EXPECT_EQ(JobIcons::key(5), QStringLiteral("Stop"));
}

TEST_F(JobListsTest, ColumnClick_PagesThreeTimes_DescAscDescByText)
{
    addJob(QStringLiteral("PS1"), QStringLiteral("Sales"), QStringLiteral("a"), QStringLiteral("u1"), 9, 1);
    addJob(QStringLiteral("PS1"), QStringLiteral("Sales"), QStringLiteral("b"), QStringLiteral("u2"), 10, 1);
    addJob(QStringLiteral("PS1"), QStringLiteral("Sales"), QStringLiteral("c"), QStringLiteral("u3"), 2, 1);
    FrmMain& w = startOnSales();
    const int pages = 4;
    w.JobList_ColumnClick(pages);
    EXPECT_EQ(w.JobList->columnTexts(pages),
              (QStringList{QStringLiteral("9"), QStringLiteral("2"), QStringLiteral("10")}));
    w.JobList_ColumnClick(pages);
    EXPECT_EQ(w.JobList->columnTexts(pages),
              (QStringList{QStringLiteral("10"), QStringLiteral("2"), QStringLiteral("9")}));
    w.JobList_ColumnClick(pages);
    EXPECT_EQ(w.JobList->columnTexts(pages),
              (QStringList{QStringLiteral("9"), QStringLiteral("2"), QStringLiteral("10")}));
    // Another column continues the alternation instead of starting over: ascending now.
    w.JobList_ColumnClick(3);
    EXPECT_EQ(w.JobList->columnTexts(3),
              (QStringList{QStringLiteral("u1"), QStringLiteral("u2"), QStringLiteral("u3")}));
    // The all-jobs list keeps its own memory: its first click sorts descending.
    w.SearchList_ColumnClick(3);
    EXPECT_EQ(w.SearchList->columnTexts(3),
              (QStringList{QStringLiteral("u3"), QStringLiteral("u2"), QStringLiteral("u1")}));
}

TEST_F(JobListsTest, MouseDown_RightClick_MenuOnlyWithRowsAndQueue)
{
    FrmMain& w = startOnSales();
    w.JobList_MouseDown(2, 0, 0, 0);
    EXPECT_FALSE(w.menuJobs->isVisible()); // no rows
    w.mwcmnMonitor_JobEvent(QStringLiteral("New"),
                            QStringLiteral("0|Doc|\\\\PC7|bob|Sales|1|0|1|1KB|3/14/2026 9:15:30 AM|5|Sales, 5"));
    ASSERT_TRUE(waitFor([&w] { return w.JobList->rowCount() == 1; }));
    w.JobList_MouseDown(1, 0, 0, 0);
    EXPECT_FALSE(w.menuJobs->isVisible());
    w.JobList_MouseDown(3, 0, 0, 0); // both buttons count as a right click
    EXPECT_TRUE(w.menuJobs->isVisible());
    w.menuJobs->hide();
    settle(w.selectQueueEntry(-1));
    w.JobList_MouseDown(2, 0, 0, 0);
    EXPECT_FALSE(w.menuJobs->isVisible());
}

TEST_F(JobListsTest, DblClick_DefaultAction_LeavesJobActionPrint)
{
    FrmMain& w = startOnSales(QStringLiteral("JobAction=Other\n"));
    w.JobList_DblClick();
    EXPECT_EQ(w.settings().JobAction, QStringLiteral("Other")); // empty list: nothing happens
    w.mwcmnMonitor_JobEvent(QStringLiteral("New"),
                            QStringLiteral("0|Doc|\\\\PC7|bob|Sales|1|0|1|1KB|3/14/2026 9:15:30 AM|5|Sales, 5"));
    ASSERT_TRUE(waitFor([&w] { return w.JobList->rowCount() == 1; }));
    w.JobList_DblClick();
    EXPECT_EQ(w.settings().JobAction, QStringLiteral("Print"));
}

TEST_F(JobListsTest, ConnectEvent_ThroughWindow_StatusBarAndLabels)
{
    FrmMain& w = startOnSales();
    w.mwcmnMonitor_ConnectEvent(QStringLiteral("Connected"));
    EXPECT_EQ(w.statusPanelText(1), QStringLiteral("Server Connected 3/14/2026 9:30:00 AM"));
    EXPECT_EQ(w.ServerStatus->text(), QStringLiteral("Server Connected 3/14/2026 9:30:00 AM"));
    EXPECT_TRUE(dialogs.messages().isEmpty());
}

} // namespace
} // namespace hlv::test

namespace hlv::test {
namespace {

// A sorted list places each row where a stable sort of the whole list would put it: new
// rows after the rows they compare equal to, changed rows keeping their place among equals,
// in both orders; and finds rows by name after every kind of change.
TEST(JobListWidgetTest, SortedList_RowsPlacedAsAStableSortWouldPlaceThem)
{
    const auto makeRow = [](const QString& status, int id) {
        JobRow r;
        r.text = status;
        r.icon = 1;
        r.subItems = {QStringLiteral("doc"), QStringLiteral("P, %1").arg(id)};
        return r;
    };
    const QStringList statuses = {QStringLiteral("b"), QStringLiteral("A"), QStringLiteral("c"),
                                  QStringLiteral("a"), QStringLiteral("B"), QStringLiteral("a")};
    for (const int order : {0, 1}) {
        JobListWidget incremental({QStringLiteral("Status"), QStringLiteral("Doc"), QStringLiteral("Name")});
        JobListWidget reference({QStringLiteral("Status"), QStringLiteral("Doc"), QStringLiteral("Name")});
        incremental.setSortOrder(order);
        incremental.setSorted(true);
        reference.setSortOrder(order);
        for (int i = 0; i < 60; ++i) {
            const JobRow r = makeRow(statuses.at((i * 7) % statuses.size()), i);
            incremental.addRow(r);
            reference.addRow(r);
        }
        reference.setSorted(true);
        ASSERT_EQ(incremental.columnTexts(2), reference.columnTexts(2)) << "order " << order;
        // A fill sorts its rows at once: into an empty list, then merged with listed rows.
        JobListWidget bulk({QStringLiteral("Status"), QStringLiteral("Doc"), QStringLiteral("Name")});
        bulk.setSortOrder(order);
        bulk.setSorted(true);
        QList<JobRow> rows;
        for (int i = 0; i < 60; ++i) {
            rows.append(makeRow(statuses.at((i * 7) % statuses.size()), i));
        }
        bulk.addRows(rows.mid(0, 20));
        bulk.addRows(rows.mid(20));
        ASSERT_EQ(bulk.columnTexts(2), reference.columnTexts(2)) << "order " << order;
        EXPECT_EQ(bulk.findByName(QStringLiteral("P, 7")), bulk.columnTexts(2).indexOf(QStringLiteral("P, 7")));

        // A changed row: into its new run, and within an unchanged run it keeps its place.
        for (const int index : {0, 17, 59, 30}) {
            const JobRow changed = makeRow(QStringLiteral("a"), 1000 + index);
            incremental.setRow(index, changed);
            reference.setSorted(false);
            reference.setRow(index, changed);
            reference.setSorted(true);
            ASSERT_EQ(incremental.columnTexts(2), reference.columnTexts(2)) << "order " << order << " row " << index;
        }
        for (int i = 0; i < incremental.rowCount(); ++i) {
            EXPECT_EQ(incremental.findByName(incremental.row(i).name()), i);
        }
        incremental.removeRow(3);
        EXPECT_EQ(incremental.findByName(reference.row(3).name()), -1);
        EXPECT_EQ(incremental.findByName(QStringLiteral("P, 1")),
                  incremental.columnTexts(2).indexOf(QStringLiteral("P, 1")));
        incremental.clear();
        EXPECT_EQ(incremental.findByName(reference.row(0).name()), -1);
    }
}

// Filling the sorted list costs about what filling an unsorted one does: one sort, not a
// search and a move per row (which took three times as long at this size).
TEST(JobListWidgetTest, SortedFill_TwentyThousandRows_WithinTwiceTheUnsortedFill)
{
    const QStringList headers = {QStringLiteral("Status"), QStringLiteral("Description"), QStringLiteral("Name")};
    QList<JobRow> rows;
    for (int i = 0; i < 20000; ++i) {
        rows.append(JobRow{QStringLiteral("OK"),
                           1,
                           {QStringLiteral("Document %1").arg((i * 7919) % 20000), QStringLiteral("Q, %1").arg(i)}});
    }
    // This thread's processor time, the best of five of each, taken in turn so that a busy
    // spell of the machine falls on both: other programs take wall-clock time, not this
    // thread's.
    const auto threadNanoseconds = [] {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<qint64>(now.tv_sec) * 1000000000 + now.tv_nsec;
    };
    const auto fill = [&](bool sorted) {
        JobListWidget list(headers);
        list.resize(800, 400);
        list.show();
        list.setSortKey(1);
        list.setSorted(sorted);
        const qint64 start = threadNanoseconds();
        list.addRows(rows);
        QCoreApplication::processEvents();
        const qint64 took = threadNanoseconds() - start;
        EXPECT_EQ(list.row(list.findByName(QStringLiteral("Q, 19999"))).name(), QStringLiteral("Q, 19999"));
        return took;
    };
    double unsorted = std::numeric_limits<double>::max();
    double sorted = std::numeric_limits<double>::max();
    for (int round = 0; round < 5; ++round) {
        unsorted = std::min(unsorted, static_cast<double>(fill(false)));
        sorted = std::min(sorted, static_cast<double>(fill(true)));
    }
    RecordProperty("sorted_to_unsorted_percent", static_cast<int>(100 * sorted / unsorted));
    EXPECT_LT(sorted, 2 * unsorted) << sorted / 1e6 << " ms sorted, " << unsorted / 1e6 << " ms unsorted";
}

} // namespace
} // namespace hlv::test
