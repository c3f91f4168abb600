#include "watch/WatchJobLog.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "WatchTestSupport.h"
#include "platform/Clock.h"
#include "store/JobLogStore.h"
#include "support/FakeEnvironment.h"
#include "support/FakeStoreHost.h"

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

} // namespace
} // namespace hlv::test
