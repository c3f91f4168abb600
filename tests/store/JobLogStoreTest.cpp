#include <atomic>
#include <chrono>
#include <thread>

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <sys/stat.h>

#include "StoreFixture.h"
#include "platform/GeneralDate.h"

using namespace hlv;
using namespace hlv::test;

namespace {

class JobLogStoreTest : public StoreFixture
{
protected:
    QList<QStringList> auditRows() const
    {
        return rows(QStringLiteral("SELECT \"Time\", Action, Description, \"HLV User\", \"HLV Computer\" "
                                   "FROM HLV_Audit ORDER BY rowid"));
    }
    QList<QStringList> jobRows() const
    {
        return rows(QStringLiteral("SELECT TransactionID, Server, Pages, \"Deleted Pages\", Comments "
                                   "FROM HLV_Log ORDER BY rowid"));
    }
};

const QString kKey = QStringLiteral("17-3/5/2024 9:05:00 AM");

} // namespace

TEST_F(JobLogStoreTest, NewLog_AuditOn_RecordsCreationInOrderThenTheRow)
{
    for (const bool autoQueue : {false, true}) {
        QFile::remove(logPath());
        host.autoQueue = autoQueue;
        ASSERT_FALSE(QFile::exists(logPath()));

        ASSERT_TRUE(store->LogJobField(kKey, QStringLiteral("Server"), QStringLiteral("PRINT1")));

        const QString time = QStringLiteral("2026-03-14 09:30:00");
        QList<QStringList> expected = {
            {time, QStringLiteral("Log"), QStringLiteral("New log file created."), QStringLiteral("operator"),
             QStringLiteral("WS01")},
            {time, QStringLiteral("Queue"), QStringLiteral("Current Queue PRINT1-Q1"), QStringLiteral("operator"),
             QStringLiteral("WS01")},
        };
        if (autoQueue) {
            expected.append({time, QStringLiteral("AutoQueue"), QStringLiteral("AutoQueue Enabled"),
                             QStringLiteral("operator"), QStringLiteral("WS01")});
        }
        EXPECT_EQ(auditRows(), expected) << "AutoQueue " << autoQueue;
        EXPECT_EQ(jobRows(), (QList<QStringList>{{kKey, QStringLiteral("PRINT1"), QStringLiteral("<null>"),
                                                  QStringLiteral("<null>"), QStringLiteral("<null>")}}));
    }
}

TEST_F(JobLogStoreTest, NewLog_AuditOff_NoAuditRecordButTheRow)
{
    host.audit = false;
    host.autoQueue = true;
    ASSERT_TRUE(store->LogJobField(kKey, QStringLiteral("Pages"), 3));
    EXPECT_TRUE(auditRows().isEmpty());
    EXPECT_EQ(jobRows().size(), 1);
    // The new log is a copy of the template, writable although nothing was created by code.
    EXPECT_TRUE(QFileInfo(logPath()).isWritable());
}

TEST_F(JobLogStoreTest, WriteAudit_Off_CreatesNoFile_On_FirstActionFollowsCreationRecords)
{
    host.audit = false;
    EXPECT_TRUE(store->WriteAudit(QStringLiteral("Job"), QStringLiteral("Pause Job")));
    EXPECT_FALSE(QFile::exists(logPath()));

    host.audit = true;
    ASSERT_TRUE(store->WriteAudit(QStringLiteral("Queue"), QStringLiteral("Queue changed to PRINT1-Q1")));
    clock.advance(1);
    ASSERT_TRUE(store->WriteAudit(QStringLiteral("Job"), QStringLiteral("Pause Job")));
    ASSERT_TRUE(store->WriteAudit(QStringLiteral("Job"), QStringLiteral("Pause Job")));
    const QList<QStringList> audit = auditRows();
    ASSERT_EQ(audit.size(), 5);
    EXPECT_EQ(audit[0][2], QStringLiteral("New log file created."));
    EXPECT_EQ(audit[1][2], QStringLiteral("Current Queue PRINT1-Q1"));
    EXPECT_EQ(audit[2][1], QStringLiteral("Queue"));
    EXPECT_EQ(audit[2][2], QStringLiteral("Queue changed to PRINT1-Q1"));
    // Two actions within one second are two records, each with its own time.
    EXPECT_EQ(audit[3], audit[4]);
    EXPECT_EQ(audit[3][0], QStringLiteral("2026-03-14 09:30:01"));
    EXPECT_EQ(JobLogStore::displayTimeText(audit[3][0]), generalDateText(clock.current));

    // A record's time is that of its writing, after the records that open a new log: by
    // time it sorts after them.
    struct TickingClock : Clock
    {
        QDateTime now() const override { return QDateTime(QDate(2026, 3, 14), QTime(9, 30)).addSecs(++calls); }
        mutable int calls = 0;
    } ticking;
    JobLogStore store2(env, ticking, host, builtTemplatePath());
    ASSERT_TRUE(QFile::remove(logPath()));
    ASSERT_TRUE(store2.WriteAudit(QStringLiteral("Job"), QStringLiteral("Remove Job")));
    EXPECT_EQ(rows(QStringLiteral("SELECT Description FROM HLV_Audit ORDER BY \"Time\", rowid")),
              (QList<QStringList>{{QStringLiteral("New log file created.")},
                                  {QStringLiteral("Current Queue PRINT1-Q1")},
                                  {QStringLiteral("Remove Job")}}));
}

TEST_F(JobLogStoreTest, NewLog_FileModeIsWhatTheUmaskAllows)
{
    const std::pair<mode_t, QFileDevice::Permissions> cases[] = {
        {022, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther},
        {002, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                  QFileDevice::ReadOther},
        {077, QFileDevice::ReadOwner | QFileDevice::WriteOwner},
    };
    for (const auto& [mask, expected] : cases) {
        QFile::remove(logPath());
        const mode_t saved = ::umask(mask);
        const bool created = store->LogJobField(kKey, QStringLiteral("Server"), QStringLiteral("PRINT1"));
        ::umask(saved);
        ASSERT_TRUE(created);
        EXPECT_EQ(QFileInfo(logPath()).permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser), expected)
            << std::oct << mask;
    }
}

TEST_F(JobLogStoreTest, LogJobField_SameKeySeveralFields_OneRow)
{
    ASSERT_TRUE(store->LogJobField(kKey, QStringLiteral("Server"), QStringLiteral("PRINT1")));
    ASSERT_TRUE(store->LogJobField(kKey, QStringLiteral("Pages"), 12));
    ASSERT_TRUE(store->LogJobField(kKey, QStringLiteral("comments"), QStringLiteral("checked")));
    ASSERT_TRUE(store->LogJobField(QStringLiteral("18-3/5/2024 9:06:00 AM"), QStringLiteral("Pages"), 1));
    EXPECT_EQ(jobRows(), (QList<QStringList>{
                             {kKey, QStringLiteral("PRINT1"), QStringLiteral("12"), QStringLiteral("<null>"),
                              QStringLiteral("checked")},
                             {QStringLiteral("18-3/5/2024 9:06:00 AM"), QStringLiteral("<null>"), QStringLiteral("1"),
                              QStringLiteral("<null>"), QStringLiteral("<null>")},
                         }));
}

TEST_F(JobLogStoreTest, LogJobField_EmptyText_LeavesOrMakesFieldNull)
{
    ASSERT_TRUE(store->LogJobField(kKey, QStringLiteral("Deleted Pages"), QString()));
    EXPECT_EQ(jobRows()[0][3], QStringLiteral("<null>"));
    ASSERT_TRUE(store->LogJobField(kKey, QStringLiteral("Deleted Pages"), 4));
    EXPECT_EQ(jobRows()[0][3], QStringLiteral("4"));
    // A resume clears what a delete wrote.
    ASSERT_TRUE(store->LogJobField(kKey, QStringLiteral("Deleted Pages"), QStringLiteral("")));
    EXPECT_EQ(jobRows()[0][3], QStringLiteral("<null>"));
}

TEST_F(JobLogStoreTest, IsJobLogged_ExactKeyOnly)
{
    bool failed = true;
    EXPECT_FALSE(store->IsJobLogged(kKey, &failed));
    EXPECT_FALSE(failed);
    ASSERT_TRUE(store->LogJobField(kKey, QStringLiteral("Server"), QStringLiteral("PRINT1")));
    EXPECT_TRUE(store->IsJobLogged(kKey, &failed));
    EXPECT_FALSE(failed);
    // The same job under another date format is another key.
    EXPECT_FALSE(store->IsJobLogged(QStringLiteral("17-2024-03-05 09:05:00")));
    EXPECT_FALSE(store->IsJobLogged(QStringLiteral("17-3/5/2024 9:05:00 am")));
    EXPECT_FALSE(store->IsJobLogged(QStringLiteral("17")));
}

TEST_F(JobLogStoreTest, KeysAndValues_WithQuotesMarkupAndForeignText_RoundTrip)
{
    const QString keys[] = {
        QStringLiteral("5-O'Brien's job"),
        QStringLiteral("6-' OR '1'='1"),
        QStringLiteral("7-\"; DROP TABLE HLV_Log; --"),
        QString::fromUtf8("8-Büro|東京"),
    };
    const QString value = QString::fromUtf8("<b>Report</b> | 'quoted' \"double\" – ü 🖨");
    for (const QString& key : keys) {
        ASSERT_TRUE(store->LogJobField(key, QStringLiteral("Description"), value)) << key.toStdString();
    }
    for (const QString& key : keys) {
        EXPECT_TRUE(store->IsJobLogged(key)) << key.toStdString();
    }
    EXPECT_FALSE(store->IsJobLogged(QStringLiteral("6-")));
    const QList<QStringList> stored =
        rows(QStringLiteral("SELECT TransactionID, Description FROM HLV_Log ORDER BY rowid"));
    ASSERT_EQ(stored.size(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(stored[i], (QStringList{keys[i], value}));
    }
}

TEST_F(JobLogStoreTest, LogJobField_UnknownFieldOrAbsentValue_StoresNothing)
{
    EXPECT_FALSE(store->LogJobField(kKey, QStringLiteral("Colour"), QStringLiteral("red")));
    EXPECT_FALSE(store->LogJobField(kKey, QStringLiteral("Pages\" = 1; --"), QStringLiteral("1")));
    EXPECT_FALSE(store->LogJobField(kKey, QStringLiteral("Pages"), QVariant()));
    EXPECT_TRUE(jobRows().isEmpty());
    EXPECT_FALSE(store->IsJobLogged(kKey));
}

TEST_F(JobLogStoreTest, TemplateMissing_EveryOperationFailsQuietly_NextOneRetries)
{
    JobLogStore broken(env, clock, host, m_dir.filePath(QStringLiteral("nowhere/hlv.mdb")));
    EXPECT_FALSE(broken.LogJobField(kKey, QStringLiteral("Server"), QStringLiteral("PRINT1")));
    bool failed = false;
    EXPECT_FALSE(broken.IsJobLogged(kKey, &failed));
    EXPECT_TRUE(failed);
    EXPECT_FALSE(broken.WriteAudit(QStringLiteral("Job"), QStringLiteral("Pause Job")));
    EXPECT_FALSE(QFile::exists(logPath()));
    // With the template back, the next operation creates the log.
    EXPECT_TRUE(store->LogJobField(kKey, QStringLiteral("Server"), QStringLiteral("PRINT1")));
    EXPECT_TRUE(store->IsJobLogged(kKey));
}

TEST_F(JobLogStoreTest, LogNotADatabase_FailsWithoutTouchingTheFile)
{
    const QByteArray garbage = QByteArrayLiteral("this is not a database file\n") + QByteArray(5000, 'z');
    {
        QFile file(logPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(garbage);
    }
    EXPECT_FALSE(store->LogJobField(kKey, QStringLiteral("Server"), QStringLiteral("PRINT1")));
    bool failed = false;
    EXPECT_FALSE(store->IsJobLogged(kKey, &failed));
    EXPECT_TRUE(failed);
    EXPECT_FALSE(store->WriteAudit(QStringLiteral("Job"), QStringLiteral("Pause Job")));
    EXPECT_FALSE(store->ComputeLogStats());
    EXPECT_EQ(fileBytes(logPath()), garbage);
}

TEST_F(JobLogStoreTest, LogDeletedBetweenOperations_IsRecreatedFromTheTemplate)
{
    ASSERT_TRUE(store->LogJobField(kKey, QStringLiteral("Server"), QStringLiteral("PRINT1")));
    ASSERT_TRUE(QFile::remove(logPath()));
    EXPECT_FALSE(store->IsJobLogged(kKey));
    EXPECT_TRUE(QFile::exists(logPath()));
    EXPECT_EQ(auditRows().size(), 2);
}

TEST_F(JobLogStoreTest, LogPath_SettingChoosesTheFolder_MissingFolderIsNotCreated)
{
    host.logFolder = m_dir.filePath(QStringLiteral("shared/"));
    EXPECT_EQ(logPath(), m_dir.filePath(QStringLiteral("shared/hlv.mdb")));
    EXPECT_FALSE(store->LogJobField(kKey, QStringLiteral("Server"), QStringLiteral("PRINT1")));
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath(QStringLiteral("shared"))));

    ASSERT_TRUE(QDir().mkpath(host.logFolder));
    EXPECT_TRUE(store->LogJobField(kKey, QStringLiteral("Server"), QStringLiteral("PRINT1")));
    EXPECT_TRUE(QFile::exists(m_dir.filePath(QStringLiteral("shared/hlv.mdb"))));
    EXPECT_FALSE(QFile::exists(env.appDataPath + QStringLiteral("/hlv.mdb")));

    // The default folder is the application-data folder, created when missing.
    host.logFolder.clear();
    env.appDataPath = m_dir.filePath(QStringLiteral("new/profile/Halvern"));
    EXPECT_TRUE(store->LogJobField(kKey, QStringLiteral("Server"), QStringLiteral("PRINT1")));
    EXPECT_TRUE(QFile::exists(env.appDataPath + QStringLiteral("/hlv.mdb")));
}

TEST_F(JobLogStoreTest, LockedByAnotherProgram_WriteWaitsForTheLock)
{
    ASSERT_TRUE(store->LogJobField(kKey, QStringLiteral("Server"), QStringLiteral("PRINT1")));
    auto other = peek();
    ASSERT_TRUE(other);
    ASSERT_TRUE(other->begin(true));
    ASSERT_TRUE(other->exec(QStringLiteral("INSERT INTO HLV_Log (TransactionID) VALUES (?1)"), {QStringLiteral("w")}));

    // The other program keeps its write lock for a while, then commits.
    std::atomic<bool> released = false;
    std::thread holder([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        released = other->commit();
    });
    const bool stored = store->LogJobField(kKey, QStringLiteral("Pages"), 9);
    holder.join();
    EXPECT_TRUE(released);
    EXPECT_TRUE(stored);
    EXPECT_EQ(rows(QStringLiteral("SELECT Pages FROM HLV_Log WHERE TransactionID = '") + kKey + QStringLiteral("'")),
              QList<QStringList>{{QStringLiteral("9")}});
    EXPECT_EQ(rows(QStringLiteral("SELECT COUNT(*) FROM HLV_Log")), QList<QStringList>{{QStringLiteral("2")}});
}

TEST_F(JobLogStoreTest, LockedTooLong_WriteIsLostButTheLogStaysGood)
{
    ASSERT_TRUE(store->LogJobField(kKey, QStringLiteral("Server"), QStringLiteral("PRINT1")));
    auto other = peek();
    ASSERT_TRUE(other && other->begin(true));
    store->setBusyTimeoutMs(50);
    EXPECT_FALSE(store->LogJobField(kKey, QStringLiteral("Pages"), 9));
    bool failed = false;
    store->IsJobLogged(kKey, &failed); // readers still get through a write lock
    EXPECT_FALSE(failed);
    other->rollback();
    EXPECT_TRUE(store->LogJobField(kKey, QStringLiteral("Pages"), 9));
    EXPECT_EQ(jobRows()[0][2], QStringLiteral("9"));
    EXPECT_EQ(rows(QStringLiteral("PRAGMA integrity_check")), QList<QStringList>{{QStringLiteral("ok")}});
}

TEST_F(JobLogStoreTest, LockedByAnotherProcess_WriteFailsAfterTimeoutThenSucceeds)
{
    ASSERT_TRUE(store->LogJobField(kKey, QStringLiteral("Server"), QStringLiteral("PRINT1")));
    const QByteArray before = fileBytes(logPath());

    // The sqlite3 tool stands for the other program: it takes the write lock and says so.
    QProcess other;
    other.start(QStringLiteral("sqlite3"), {logPath()});
    ASSERT_TRUE(other.waitForStarted(10000));
    other.write("BEGIN IMMEDIATE;\nUPDATE HLV_Log SET Comments = 'other';\nSELECT 'locked';\n");
    QByteArray said;
    const QDeadlineTimer deadline(10000);
    while (!said.contains("locked") && !deadline.hasExpired()) {
        other.waitForReadyRead(100);
        said += other.readAllStandardOutput();
    }
    ASSERT_TRUE(said.contains("locked"));

    store->setBusyTimeoutMs(100);
    EXPECT_FALSE(store->LogJobField(kKey, QStringLiteral("Pages"), 9));
    EXPECT_EQ(fileBytes(logPath()), before);

    other.write("COMMIT;\n.quit\n");
    other.closeWriteChannel();
    ASSERT_TRUE(other.waitForFinished(10000));
    EXPECT_TRUE(store->LogJobField(kKey, QStringLiteral("Pages"), 9));
    EXPECT_EQ(rows(QStringLiteral("SELECT Pages, Comments FROM HLV_Log")),
              (QList<QStringList>{{QStringLiteral("9"), QStringLiteral("other")}}));
}

TEST_F(JobLogStoreTest, StripChars_RemovesEachCharacterCaseSensitively)
{
    EXPECT_EQ(StripChars(QStringLiteral("Report, final"), QStringLiteral(",")), QStringLiteral("Report final"));
    EXPECT_EQ(StripChars(QStringLiteral("a,b;c,,"), QStringLiteral(",;")), QStringLiteral("abc"));
    EXPECT_EQ(StripChars(QStringLiteral("AaBb"), QStringLiteral("a")), QStringLiteral("ABb"));
    EXPECT_EQ(StripChars(QString(), QStringLiteral(",")), QString());
    EXPECT_EQ(StripChars(QStringLiteral("x,y"), QString()), QStringLiteral("x,y"));
}
