#include "StoreFixture.h"

using namespace hlv;
using namespace hlv::test;

namespace {

struct Row
{
    const char* server;
    const char* queue;
    const char* user;
    const char* submitted;
    const char* pages;
    const char* deletedPages;
    const char* printedPages;
};

class LogStatsTest : public StoreFixture
{
protected:
    // The submit times below are English (US) general texts, read back through the locale.
    void SetUp() override
    {
        StoreFixture::SetUp();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    // Rows go straight into a fresh copy of the template, as another writer would leave them.
    void insert(const QList<Row>& rows)
    {
        ASSERT_TRUE(store->OpenLogDatabase());
        store->CloseLogDatabase();
        auto db = peek();
        ASSERT_TRUE(db && db->begin());
        Query insert(*db,
                     QStringLiteral("INSERT INTO HLV_Log (TransactionID, Server, Queue, User, \"Time Submitted\", "
                                    "Pages, \"Deleted Pages\", \"Printed Pages\") VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
        auto text = [](const char* value) {
            return value ? QVariant(QString::fromUtf8(value)) : QVariant();
        };
        for (const Row& row : rows) {
            insert.reset();
            insert.bindAll({QString::number(m_next++), text(row.server), text(row.queue), text(row.user),
                            text(row.submitted), text(row.pages), text(row.deletedPages), text(row.printedPages)});
            ASSERT_TRUE(insert.exec()) << db->lastError().toStdString();
        }
        ASSERT_TRUE(db->commit());
    }
    const LogStats& stats()
    {
        EXPECT_TRUE(store->ComputeLogStats());
        return store->stats();
    }
    int m_next = 1;
};

} // namespace

TEST_F(LogStatsTest, EmptyLog_AllZeroAndBothDatesNow)
{
    const LogStats& s = stats();
    EXPECT_EQ(s.LogJobsManaged, 0);
    EXPECT_EQ(s.LogPagesManaged, 0);
    EXPECT_EQ(s.LogPrintedPages, 0);
    EXPECT_EQ(s.LogDeletedPages, 0);
    EXPECT_EQ(s.LogSaving, 0);
    EXPECT_EQ(s.LogServersManaged + s.LogQueuesManaged + s.LogUsersManaged, 0);
    EXPECT_EQ(s.LogStarted, clock.current);
    EXPECT_EQ(s.LogFinished, clock.current);
}

TEST_F(LogStatsTest, DeletedAndPrinted_GiveTheSaving)
{
    insert({
        {"S", "Q", "u", nullptr, "20", "20", nullptr},
        {"S", "Q", "u", nullptr, "10", "10", nullptr},
        {"S", "Q", "u", nullptr, "6", nullptr, "6"},
        {"S", "Q", "u", nullptr, "4", nullptr, "4 pages"},
    });
    const LogStats& s = stats();
    EXPECT_DOUBLE_EQ(s.LogDeletedPages, 30);
    EXPECT_DOUBLE_EQ(s.LogPrintedPages, 10);
    EXPECT_DOUBLE_EQ(s.LogSaving, 75);
    EXPECT_DOUBLE_EQ(s.LogPagesManaged, 40);
    EXPECT_EQ(s.LogJobsManaged, 4);
}

TEST_F(LogStatsTest, ReleasedThenDeleted_CountsAsDeletedOnly)
{
    insert({{"S", "Q", "u", nullptr, "7", "5", "7"}, {"S", "Q", "u", nullptr, "x", "abc", "9"}});
    const LogStats& s = stats();
    EXPECT_DOUBLE_EQ(s.LogDeletedPages, 5);
    EXPECT_DOUBLE_EQ(s.LogPrintedPages, 0);
    EXPECT_DOUBLE_EQ(s.LogSaving, 100);
    EXPECT_DOUBLE_EQ(s.LogPagesManaged, 7);
}

TEST_F(LogStatsTest, DistinctNames_ExactIgnoringCase_IndependentOfOrder)
{
    insert({
        {"PRINT10", "PRN10", "bob", nullptr, nullptr, nullptr, nullptr},
        {"PRINT1", "PRN1", "Bob", nullptr, nullptr, nullptr, nullptr},
        {"print1", "prn1", "BOB", nullptr, nullptr, nullptr, nullptr},
        {"", nullptr, "", nullptr, nullptr, nullptr, nullptr},
        {"RINT1", "RN1", "bo", nullptr, nullptr, nullptr, nullptr},
        {"a,b", "a", "b", nullptr, nullptr, nullptr, nullptr},
    });
    const LogStats& s = stats();
    EXPECT_EQ(s.LogServersManaged, 4); // PRINT10, PRINT1, RINT1, "a,b"
    EXPECT_EQ(s.LogQueuesManaged, 4);  // PRN10, PRN1, RN1, a
    EXPECT_EQ(s.LogUsersManaged, 3);   // bob, bo, b
    EXPECT_EQ(s.LogJobsManaged, 6);
}

TEST_F(LogStatsTest, Dates_StretchFromEarliestToLatestDay)
{
    // The clock says 3/14/2026 9:30; one job is dated tomorrow by a wrong server clock.
    insert({
        {"S", "Q", "u", "3/5/2024 9:05:00 AM", nullptr, nullptr, nullptr},
        {"S", "Q", "u", "3/15/2026 1:00:00 AM", nullptr, nullptr, nullptr},
        {"S", "Q", "u", "not a date", nullptr, nullptr, nullptr},
        {"S", "Q", "u", "", nullptr, nullptr, nullptr},
    });
    const LogStats& s = stats();
    EXPECT_EQ(s.LogStarted, QDateTime(QDate(2024, 3, 5), QTime(0, 0)));
    EXPECT_EQ(s.LogFinished, QDateTime(QDate(2026, 3, 15), QTime(0, 0)));

    // Dates inside the range leave the moment of the pass as the end.
    QFile::remove(logPath());
    insert({{"S", "Q", "u", "3/1/2026", nullptr, nullptr, nullptr}});
    const LogStats& t = stats();
    EXPECT_EQ(t.LogStarted, QDateTime(QDate(2026, 3, 1), QTime(0, 0)));
    EXPECT_EQ(t.LogFinished, clock.current);
}

TEST_F(LogStatsTest, ManyRows_EveryRowCounted)
{
    QList<Row> rows;
    rows.reserve(40000);
    for (int i = 0; i < 40000; ++i) {
        rows.append({"S", "Q", "u", nullptr, "2", (i % 4 == 0) ? "2" : nullptr, (i % 4 == 0) ? nullptr : "2"});
    }
    insert(rows);
    const LogStats& s = stats();
    EXPECT_EQ(s.LogJobsManaged, 40000);
    EXPECT_DOUBLE_EQ(s.LogPagesManaged, 80000);
    EXPECT_DOUBLE_EQ(s.LogDeletedPages, 20000);
    EXPECT_DOUBLE_EQ(s.LogPrintedPages, 60000);
    EXPECT_DOUBLE_EQ(s.LogSaving, 25);
}

TEST_F(LogStatsTest, UnreadableLog_ResetValuesAndFailure)
{
    insert({{"S", "Q", "u", nullptr, "5", "5", nullptr}});
    ASSERT_TRUE(store->ComputeLogStats());
    ASSERT_EQ(store->stats().LogJobsManaged, 1);
    {
        QFile file(logPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("garbage");
    }
    clock.advance(60);
    EXPECT_FALSE(store->ComputeLogStats());
    EXPECT_EQ(store->stats().LogJobsManaged, 0);
    EXPECT_EQ(store->stats().LogDeletedPages, 0);
    EXPECT_EQ(store->stats().LogStarted, clock.current);
    EXPECT_EQ(store->stats().LogFinished, clock.current);
}
