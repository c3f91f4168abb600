#include "watch/WatchJobLog.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "WatchDoubles.h"
#include "WatchTestSupport.h"
#include "platform/Clock.h"
#include "store/JobLogStore.h"
#include "store/JobLogStoreLock.h"
#include "support/FakeEnvironment.h"
#include "support/FakeStoreHost.h"
#include "support/WaitFor.h"
#include "watch/JobEventProcessing.h"

namespace hlv::test {
namespace {

class WatchJobLogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        path = m_dir.filePath(QStringLiteral("chosen-name.mdb"));
    }
    QTemporaryDir m_dir;
    QString path;
    WatchJobLog log{[this] { return path; }, templateDb()};
};

TEST_F(WatchJobLogTest, ChosenPathWithoutFile_FirstWriteCopiesTemplateAndAddsOneRow)
{
    ASSERT_FALSE(QFile::exists(path));
    EXPECT_FALSE(log.IsJobLogged(QStringLiteral("5-1/2/2026 3:04:05 PM")));
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_TRUE(
        log.LogJobField(QStringLiteral("5-1/2/2026 3:04:05 PM"), QStringLiteral("Queue"), QStringLiteral("Q1")));
    EXPECT_TRUE(log.LogJobField(QStringLiteral("5-1/2/2026 3:04:05 PM"), QStringLiteral("pages"), 3));
    EXPECT_TRUE(log.IsJobLogged(QStringLiteral("5-1/2/2026 3:04:05 PM")));
    EXPECT_FALSE(log.IsJobLogged(QStringLiteral("5-01/02/2026 15:04:05")));
    EXPECT_EQ(logCount(path), 1);
    const QVariantMap row = logRow(path, QStringLiteral("5-1/2/2026 3:04:05 PM"));
    EXPECT_EQ(row.value(QStringLiteral("Queue")).toString(), QStringLiteral("Q1"));
    EXPECT_EQ(row.value(QStringLiteral("Pages")).toString(), QStringLiteral("3"));

    // The watch program writes no audit records, also not for a new file.
    auto db = Database::open(path, Database::Mode::ReadOnly);
    ASSERT_TRUE(db);
    EXPECT_EQ(db->scalar(QStringLiteral("SELECT COUNT(*) FROM HLV_Audit")).value_or(-1).toInt(), 0);
}

TEST_F(WatchJobLogTest, KeysAndValuesWithQuotes_AreStoredAsTheyAre)
{
    const QString key = QStringLiteral("7-x' OR '1'='1");
    EXPECT_FALSE(log.IsJobLogged(key));
    EXPECT_TRUE(log.LogJobField(key, QStringLiteral("Description"), QStringLiteral("O'Brien's \"memo\"")));
    EXPECT_TRUE(log.IsJobLogged(key));
    EXPECT_FALSE(log.IsJobLogged(QStringLiteral("7-x")));
    EXPECT_EQ(logRow(path, key).value(QStringLiteral("Description")).toString(), QStringLiteral("O'Brien's \"memo\""));
}

TEST_F(WatchJobLogTest, FailingSteps_ReportFailureAndCreateNothing)
{
    EXPECT_FALSE(log.LogJobField(QStringLiteral("1-a"), QStringLiteral("NoSuchField"), QStringLiteral("v")));
    EXPECT_FALSE(log.IsJobLogged(QStringLiteral("1-a")));

    WatchJobLog noTemplate([this] { return m_dir.filePath(QStringLiteral("other.mdb")); },
                           m_dir.filePath(QStringLiteral("no-template.mdb")));
    bool failed = false;
    EXPECT_FALSE(noTemplate.IsJobLogged(QStringLiteral("1-a"), &failed));
    EXPECT_TRUE(failed);
    EXPECT_FALSE(noTemplate.LogJobField(QStringLiteral("1-a"), QStringLiteral("Queue"), QStringLiteral("Q")));
    EXPECT_FALSE(QFile::exists(m_dir.filePath(QStringLiteral("other.mdb"))));

    WatchJobLog unset([] { return QString(); }, templateDb());
    EXPECT_FALSE(unset.OpenLogDatabase());
}

TEST_F(WatchJobLogTest, ConsolesOwnLog_RowsOfEitherProgramCountForTheOther)
{
    FakeEnvironment env;
    env.appDataPath = m_dir.path();
    FakeStoreHost host;
    host.logFolder = m_dir.path();
    SystemClock clock;
    JobLogStore console(env, clock, host, templateDb());
    path = console.logFilePath();

    ASSERT_TRUE(console.LogJobField(QStringLiteral("1-d"), QStringLiteral("User"), QStringLiteral("carol")));
    EXPECT_TRUE(log.IsJobLogged(QStringLiteral("1-d")));
    ASSERT_TRUE(log.LogJobField(QStringLiteral("2-d"), QStringLiteral("User"), QStringLiteral("dave")));
    EXPECT_TRUE(console.IsJobLogged(QStringLiteral("2-d")));
    EXPECT_EQ(logCount(path), 2);
}

TEST_F(WatchJobLogTest, LockedByAnotherProcess_JobEventsGoOnAndTheirRowsLandInOrderAfterTheLock)
{
    ASSERT_TRUE(log.LogJobField(QStringLiteral("0-earlier"), QStringLiteral("User"), QStringLiteral("carol")));
    SqliteLockHolder other;
    ASSERT_TRUE(other.lock(path));

    RecordingPopupMessages popups;
    MailAlert mail;
    JobEventProcessor processor(log, popups, mail, {});
    WatchOutputs outputs;
    outputs.server = QStringLiteral("PS1");
    outputs.databaseOn = true;
    QElapsedTimer events;
    events.start();
    for (int id = 1; id <= 5; ++id) {
        processor.ProcessJobEvent(
            QStringLiteral("New"),
            QStringLiteral("8|Doc %1|PC7|bob|Sales|4|0|1|12KB|3/14/2026 9:15:30 AM|%1|Sales, %1").arg(id), outputs);
    }
    // The first event waits about a second at most, the others not at all (not a second, or
    // 10 s, each): five waits would take five seconds.
    EXPECT_LT(events.elapsed(), 3500);
    EXPECT_EQ(log.pendingWrites(), 5);

    ASSERT_TRUE(other.release());
    EXPECT_TRUE(waitFor([&] { return log.pendingWrites() == 0; }));
    auto db = Database::open(path, Database::Mode::ReadOnly);
    ASSERT_TRUE(db);
    Query rows(*db, QStringLiteral("SELECT Description, Pages FROM HLV_Log ORDER BY rowid"));
    QStringList stored;
    while (rows.next()) {
        stored << rows.value(0).toString() + QLatin1Char('/') + rows.value(1).toString();
    }
    EXPECT_EQ(stored, (QStringList{QStringLiteral("/"), QStringLiteral("Doc 1/4"), QStringLiteral("Doc 2/4"),
                                   QStringLiteral("Doc 3/4"), QStringLiteral("Doc 4/4"), QStringLiteral("Doc 5/4")}));
}

} // namespace
} // namespace hlv::test
