#include <atomic>
#include <chrono>
#include <thread>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <sys/stat.h>

#include "JobLogStoreLock.h"
#include "StoreFixture.h"
#include "platform/GeneralDate.h"
#include "store/JobLogTable.h"
#include "store/JobLogWriter.h"
#include "support/FullFilesystem.h"
#include "support/WaitFor.h"

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

// The warnings the program writes while it lives.
class WarningCapture
{
public:
    WarningCapture()
    {
        s_lines.clear();
        s_previous = qInstallMessageHandler(&WarningCapture::handle);
    }
    ~WarningCapture() { qInstallMessageHandler(s_previous); }
    WarningCapture(const WarningCapture&) = delete;
    WarningCapture& operator=(const WarningCapture&) = delete;
    QStringList lines() const { return s_lines; }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        if (type == QtWarningMsg) {
            s_lines.append(text);
        }
        if (s_previous) {
            s_previous(type, context, text);
        }
    }
    static inline QtMessageHandler s_previous = nullptr;
    static inline QStringList s_lines;
};

} // namespace

TEST_F(JobLogStoreTest, NewLog_AuditOn_RecordsCreationInOrderThenTheRow)
{
    // A log without a table (a file of no bytes, or the one page failed writes leave in
    // it) is made anew as a missing one is.
    enum class Before { Missing, NoBytes, OnePage };
    for (const auto& [autoQueue, before] :
         {std::pair{false, Before::Missing}, std::pair{true, Before::Missing}, std::pair{false, Before::NoBytes},
          std::pair{true, Before::NoBytes}, std::pair{false, Before::OnePage}}) {
        QFile::remove(logPath());
        host.autoQueue = autoQueue;
        if (before == Before::NoBytes) {
            QFile empty(logPath());
            ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
        } else if (before == Before::OnePage) {
            auto db = Database::open(logPath(), Database::Mode::Create);
            ASSERT_TRUE(db && db->exec(QStringLiteral("PRAGMA user_version = 7")));
        }
        ASSERT_EQ(QFile::exists(logPath()), before != Before::Missing);

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
        EXPECT_EQ(auditRows(), expected) << "AutoQueue " << autoQueue << " before " << int(before);
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
    EXPECT_FALSE(store->LoggedJobs({kKey}).has_value());
    store->LogNewJobs({joblog::JobEntry{kKey, {{QStringLiteral("Server"), QStringLiteral("PRINT1")}}}});
    EXPECT_EQ(store->pendingWrites(), 0);
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

TEST_F(JobLogStoreTest, LockedTooLong_WritesWaitInOrderAndLandWhenTheLockGoes)
{
    ASSERT_TRUE(store->LogJobField(kKey, QStringLiteral("Server"), QStringLiteral("PRINT1")));
    auto other = peek();
    ASSERT_TRUE(other && other->begin(true));
    store->setBusyTimeoutMs(50);
    EXPECT_FALSE(store->LogJobField(kKey, QStringLiteral("Pages"), 9));
    EXPECT_FALSE(store->LogJobField(kKey, QStringLiteral("Pages"), 10));
    EXPECT_FALSE(store->WriteAudit(QStringLiteral("Job"), QStringLiteral("Pause Job")));
    EXPECT_EQ(store->pendingWrites(), 3);
    bool failed = false;
    store->IsJobLogged(kKey, &failed); // readers still get through a write lock
    EXPECT_FALSE(failed);
    other->rollback();
    // Nothing more is asked of the store: the writes land by themselves, in their order.
    EXPECT_TRUE(waitFor([&] { return store->pendingWrites() == 0; }));
    EXPECT_EQ(jobRows()[0][2], QStringLiteral("10"));
    EXPECT_EQ(auditRows().last()[2], QStringLiteral("Pause Job"));
    EXPECT_EQ(rows(QStringLiteral("PRAGMA integrity_check")), QList<QStringList>{{QStringLiteral("ok")}});
}

TEST_F(JobLogStoreTest, LockedByAnotherProcess_WindowWaitsAboutASecondAndTheWriteLandsAfterTheLock)
{
    ASSERT_TRUE(store->LogJobField(kKey, QStringLiteral("Server"), QStringLiteral("PRINT1")));
    const QByteArray before = fileBytes(logPath());
    SqliteLockHolder other;
    ASSERT_TRUE(other.lock(logPath()));
    other.tool().write("UPDATE HLV_Log SET Comments = 'other';\n");

    // One action: the job's fields, then its audit record, under the default busy timeout.
    QElapsedTimer action;
    action.start();
    EXPECT_FALSE(store->LogJobField(kKey, QStringLiteral("Pages"), 9));
    EXPECT_FALSE(store->LogJobField(kKey, QStringLiteral("Deleted Pages"), 9));
    EXPECT_FALSE(store->WriteAudit(QStringLiteral("Job"), QStringLiteral("Delete Job")));
    // One wait of a second for the three writes; a wait for each would take three.
    EXPECT_LT(action.elapsed(), 2500);
    // A later retrieval while the lock stays does not wait again, and the lock does not
    // count as an unreadable log (which would end the walk): no job counts as logged.
    QElapsedTimer retrieval;
    retrieval.start();
    const std::optional<QSet<QString>> logged = store->LoggedJobs({kKey, QStringLiteral("18-x")});
    ASSERT_TRUE(logged.has_value());
    EXPECT_TRUE(logged->isEmpty());
    const QList<joblog::JobEntry> listed = {
        joblog::JobEntry{kKey, {{QStringLiteral("Server"), QStringLiteral("again")}}},
        joblog::JobEntry{QStringLiteral("18-x"), {{QStringLiteral("Server"), QStringLiteral("P")}}}};
    store->LogNewJobs(listed);
    // Waiting again would take a second.
    EXPECT_LT(retrieval.elapsed(), 900);
    // Listing the same jobs again while they wait adds nothing to the queue.
    store->LogNewJobs(listed);
    EXPECT_EQ(store->pendingWrites(), 5);
    EXPECT_EQ(fileBytes(logPath()), before);

    ASSERT_TRUE(other.release());
    EXPECT_TRUE(waitFor([&] { return store->pendingWrites() == 0; }));
    EXPECT_EQ(rows(QStringLiteral("SELECT TransactionID, Server, Pages, \"Deleted Pages\", Comments FROM HLV_Log "
                                  "ORDER BY rowid")),
              (QList<QStringList>{
                  {kKey, QStringLiteral("PRINT1"), QStringLiteral("9"), QStringLiteral("9"), QStringLiteral("other")},
                  {QStringLiteral("18-x"), QStringLiteral("P"), QStringLiteral("<null>"), QStringLiteral("<null>"),
                   QStringLiteral("<null>")}}));
    EXPECT_EQ(auditRows().last()[2], QStringLiteral("Delete Job"));
}

TEST_F(JobLogStoreTest, LogNewJobs_FailureInsideAJob_LeavesThatRowAbsentAndTheOthersWhole)
{
    ASSERT_TRUE(store->LogJobField(QStringLiteral("1-logged"), QStringLiteral("User"), QStringLiteral("carol")));
    // The log refuses one value, as a full disk or a kill would stop a write half-way.
    auto db = peek();
    ASSERT_TRUE(
        db->exec(QStringLiteral("CREATE TRIGGER refuse_insert BEFORE INSERT ON HLV_Log WHEN NEW.Priority = 'refused' "
                                "BEGIN SELECT RAISE(ABORT, 'refused'); END; "
                                "CREATE TRIGGER refuse_update BEFORE UPDATE ON HLV_Log WHEN NEW.Priority = 'refused' "
                                "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
    db.reset();
    const QStringList d = {QStringLiteral("8"),   QStringLiteral("Doc"),   QStringLiteral("PC7"),
                           QStringLiteral("bob"), QStringLiteral("Sales"), QStringLiteral("4"),
                           QStringLiteral("0"),   QStringLiteral("1"),     QStringLiteral("12KB"),
                           QStringLiteral("t"),   QStringLiteral("2"),     QStringLiteral("Sales, 2")};
    QStringList refused = d;
    refused[7] = QStringLiteral("refused");
    store->LogNewJobs({joblog::newJobEntry(QStringLiteral("2-t"), QStringLiteral("PS1"), refused, true),
                       joblog::newJobEntry(QStringLiteral("3-t"), QStringLiteral("PS1"), d, true),
                       joblog::newJobEntry(QStringLiteral("1-logged"), QStringLiteral("PS1"), d, true)});
    EXPECT_EQ(store->pendingWrites(), 0);
    EXPECT_EQ(rows(QStringLiteral("SELECT TransactionID, Server, User, Priority, Pages, Size FROM HLV_Log "
                                  "ORDER BY rowid")),
              (QList<QStringList>{{QStringLiteral("1-logged"), QStringLiteral("<null>"), QStringLiteral("carol"),
                                   QStringLiteral("<null>"), QStringLiteral("<null>"), QStringLiteral("<null>")},
                                  {QStringLiteral("3-t"), QStringLiteral("PS1"), QStringLiteral("bob"),
                                   QStringLiteral("1"), QStringLiteral("4"), QStringLiteral("12KB")}}));
}

TEST_F(JobLogStoreTest, FullDisk_WritesWaitToldOnceStoredWhenSpaceReturns)
{
    // GIVEN a log on a small file system of its own, filled to the last byte
    QTemporaryDir mountPoint;
    ASSERT_TRUE(mountPoint.isValid());
    FullFilesystem disk;
    QString why;
    if (!disk.mount(mountPoint.path(), "16m", &why)) {
        GTEST_SKIP() << why.toStdString();
    }
    env.appDataPath = mountPoint.path();
    ASSERT_TRUE(store->LogJobField(kKey, QStringLiteral("Server"), QStringLiteral("PRINT1")));
    QStringList notices;
    store->setWriteNotice([&notices](const QString& text) { notices.append(text); });
    ASSERT_TRUE(disk.fill());

    // WHEN more rows are written than the cache holds until the commit, in several calls,
    // and an audit record; then the space comes back
    WarningCapture warnings;
    const auto jobs = [](int from, int count) {
        QList<joblog::JobEntry> list;
        for (int i = from; i < from + count; ++i) {
            list.append({QString::number(i) + QStringLiteral("-t"),
                         {{QStringLiteral("Description"), QString(1000, QLatin1Char('d'))}}});
        }
        return list;
    };
    store->LogNewJobs(jobs(0, 3000));
    EXPECT_FALSE(store->WriteAudit(QStringLiteral("Job"), QStringLiteral("Pause Job")));
    for (int call = 0; call < 20; ++call) {
        store->LogNewJobs(jobs(3000 + call * 10, 10));
    }

    // THEN nothing is lost: the writes wait, the operator is told once, naming the full disk
    EXPECT_EQ(store->lostWrites(), 0);
    EXPECT_EQ(store->pendingWrites(), 3201);
    ASSERT_EQ(notices.size(), 1) << notices.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(notices.at(0).contains(QStringLiteral("full"))) << notices.at(0).toStdString();
    EXPECT_EQ(warnings.lines().size(), 1) << warnings.lines().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(jobRows().size(), 1);

    // AND once the space is back every waiting row and the audit record are stored, and
    // the operator is told so
    ASSERT_TRUE(disk.release());
    ASSERT_TRUE(waitFor([&] { return store->pendingWrites() == 0; }));
    EXPECT_EQ(jobRows().size(), 3201);
    ASSERT_EQ(auditRows().size(), 3); // after the log's two creation records
    EXPECT_EQ(auditRows().last().at(2), QStringLiteral("Pause Job"));
    EXPECT_EQ(notices.size(), 2);
    EXPECT_EQ(store->lostWrites(), 0);

    // A log made anew on the full disk leaves no part of a log, and is made once it can be.
    ASSERT_TRUE(QFile::remove(logPath()));
    ASSERT_TRUE(disk.fill());
    EXPECT_FALSE(store->LogJobField(kKey, QStringLiteral("Server"), QStringLiteral("PRINT1")));
    EXPECT_FALSE(QFile::exists(logPath()));
    EXPECT_TRUE(notices.last().contains(QStringLiteral("No space left on device"))) << notices.last().toStdString();
    ASSERT_TRUE(disk.release());
    ASSERT_TRUE(waitFor([&] { return store->pendingWrites() == 0; }));
    EXPECT_EQ(jobRows().size(), 1);
    store.reset();
}

TEST_F(JobLogStoreTest, FullQueue_OldestDroppedAndTold)
{
    // GIVEN writes that wait behind a full disk, with room for three of them
    QTemporaryDir mountPoint;
    ASSERT_TRUE(mountPoint.isValid());
    FullFilesystem disk;
    QString why;
    if (!disk.mount(mountPoint.path(), "2m", &why)) {
        GTEST_SKIP() << why.toStdString();
    }
    env.appDataPath = mountPoint.path();
    ASSERT_TRUE(store->LogJobField(kKey, QStringLiteral("Server"), QStringLiteral("PRINT1")));
    store->writer().setMaxQueued(3);
    QStringList notices;
    store->setWriteNotice([&notices](const QString& text) { notices.append(text); });
    ASSERT_TRUE(disk.fill());

    // WHEN five jobs come
    for (int i = 0; i < 5; ++i) {
        store->LogNewJobs({{QString::number(i) + QStringLiteral("-t"),
                            {{QStringLiteral("Description"), QString(100000, QLatin1Char('d'))}}}});
    }

    // THEN the two oldest are dropped and that is told, the newest three are stored later
    EXPECT_EQ(store->lostWrites(), 2);
    ASSERT_EQ(notices.filter(QStringLiteral("dropped")).size(), 2) << notices.join(QLatin1Char('\n')).toStdString();
    ASSERT_TRUE(disk.release());
    ASSERT_TRUE(waitFor([&] { return store->pendingWrites() == 0; }));
    EXPECT_EQ(rows(QStringLiteral("SELECT TransactionID FROM HLV_Log ORDER BY rowid")),
              (QList<QStringList>{{kKey}, {QStringLiteral("2-t")}, {QStringLiteral("3-t")}, {QStringLiteral("4-t")}}));
    store.reset();
}

TEST_F(JobLogStoreTest, LogNewJobs_LogResetBetweenTwoJobsOfOneBatch_BothLandInTheNewLog)
{
    ASSERT_TRUE(store->LogJobField(QStringLiteral("1-a"), QStringLiteral("Server"), QStringLiteral("OLD")));
    bool reset = false;
    store->setAfterJobWritten([&](const QString& key) {
        if (!reset && key == QStringLiteral("1-a")) {
            reset = QFile::remove(logPath());
        }
    });
    store->LogNewJobs({joblog::JobEntry{QStringLiteral("1-a"), {{QStringLiteral("Server"), QStringLiteral("P")}}},
                       joblog::JobEntry{QStringLiteral("2-b"), {{QStringLiteral("Server"), QStringLiteral("P")}}}});
    ASSERT_TRUE(reset);
    // The new log is a copy of the template that opens with its creation records, and the
    // job that the old log held counts as new in it.
    const QList<QStringList> audit = auditRows();
    ASSERT_FALSE(audit.isEmpty());
    EXPECT_EQ(audit.first()[2], QStringLiteral("New log file created."));
    EXPECT_EQ(rows(QStringLiteral("SELECT TransactionID, Server FROM HLV_Log ORDER BY rowid")),
              (QList<QStringList>{{QStringLiteral("1-a"), QStringLiteral("P")},
                                  {QStringLiteral("2-b"), QStringLiteral("P")}}));
}

TEST_F(JobLogStoreTest, StripChars_RemovesEachCharacterCaseSensitively)
{
    EXPECT_EQ(StripChars(QStringLiteral("Report, final"), QStringLiteral(",")), QStringLiteral("Report final"));
    EXPECT_EQ(StripChars(QStringLiteral("a,b;c,,"), QStringLiteral(",;")), QStringLiteral("abc"));
    EXPECT_EQ(StripChars(QStringLiteral("AaBb"), QStringLiteral("a")), QStringLiteral("ABb"));
    EXPECT_EQ(StripChars(QString(), QStringLiteral(",")), QString());
    EXPECT_EQ(StripChars(QStringLiteral("x,y"), QString()), QStringLiteral("x,y"));
}
