#include "store/JobLogArchive.h"

#include <csignal>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <sys/resource.h>

#include "StoreFixture.h"
#include "platform/Dialogs.h"
#include "support/ScriptedDialogs.h"
#include "support/ToolProcess.h"

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace hlv::test {
namespace {

TEST(ArchiveFileName, YearMonthNameDayHourMinuteWithoutLeadingZeros)
{
    const QLocale saved;
    QLocale::setDefault(QLocale::c());
    const struct
    {
        QDateTime when;
        const char* name;
    } cases[] = {
        {QDateTime(QDate(2024, 3, 5), QTime(9, 5)), "2024-March-5-95-hlv.mdb"},
        {QDateTime(QDate(2024, 11, 12), QTime(14, 30)), "2024-November-12-1430-hlv.mdb"},
        {QDateTime(QDate(2024, 1, 31), QTime(0, 0, 59)), "2024-January-31-00-hlv.mdb"},
        // Different moments of one day may share a name.
        {QDateTime(QDate(2024, 6, 1), QTime(1, 15)), "2024-June-1-115-hlv.mdb"},
        {QDateTime(QDate(2024, 6, 1), QTime(11, 5)), "2024-June-1-115-hlv.mdb"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(archiveFileName(c.when), QString::fromLatin1(c.name));
        EXPECT_EQ(archiveFileName(c.when, 1), QString::fromLatin1(c.name));
    }
    // A taken name gets a suffix that no first name can end in.
    EXPECT_EQ(archiveFileName(QDateTime(QDate(2024, 6, 1), QTime(1, 15)), 3),
              QStringLiteral("2024-June-1-115-hlv-3.mdb"));
    QLocale::setDefault(saved);
}

// GIVEN a job log holding one job row (and its journal beside it)
class JobLogArchiveTest : public StoreFixture
{
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        host.audit = false;
        clock.current = QDateTime(QDate(2024, 3, 5), QTime(9, 5, 10));
        archive = std::make_unique<JobLogArchive>(*store, dialogs, clock);
        archive->setLockTimeoutMs(200);
        ASSERT_TRUE(store->LogJobField(QStringLiteral("1-old"), QStringLiteral("Server"), QStringLiteral("PRINT1")));
    }

    QString archivePath(const char* name) const
    {
        return QFileInfo(logPath()).absolutePath() + QLatin1Char('/') + QLatin1String(name);
    }
    QStringList keysIn(const QString& path) const
    {
        QStringList keys;
        auto db = Database::open(path, Database::Mode::ReadOnly);
        if (!db) {
            return keys;
        }
        Query q(*db, QStringLiteral("SELECT TransactionID FROM HLV_Log ORDER BY rowid"));
        while (q.next()) {
            keys << q.value(0).toString();
        }
        return keys;
    }
    bool reset()
    {
        return archive->ResetLogDatabase([this] { ++refreshes; });
    }

    ScriptedDialogs dialogs;
    std::unique_ptr<JobLogArchive> archive;
    int refreshes = 0;
};

TEST_F(JobLogArchiveTest, Yes_ArchiveHoldsOldLogLogAndJournalGoneFreshLogNext)
{
    ASSERT_TRUE(QFile::exists(JobLogArchive::journalPath(logPath())));
    dialogs.msgAnswers.push_back(MsgBoxResult::Yes);
    EXPECT_TRUE(reset());

    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Do you want to archive a copy of the database?"));
    EXPECT_EQ(dialogs.shown[0].style, 20);
    EXPECT_EQ(dialogs.shown[0].title, QStringLiteral("Warning"));
    EXPECT_EQ(keysIn(archivePath("2024-March-5-95-hlv.mdb")), QStringList{QStringLiteral("1-old")});
    EXPECT_FALSE(QFile::exists(logPath()));
    EXPECT_FALSE(QFile::exists(JobLogArchive::journalPath(logPath())));
    EXPECT_EQ(refreshes, 1);

    // The next operation starts a new log from the template.
    ASSERT_TRUE(store->LogJobField(QStringLiteral("2-new"), QStringLiteral("Server"), QStringLiteral("PRINT1")));
    EXPECT_EQ(keysIn(logPath()), QStringList{QStringLiteral("2-new")});
}

TEST_F(JobLogArchiveTest, No_LogDeletedWithoutArchive)
{
    dialogs.msgAnswers.push_back(MsgBoxResult::No);
    EXPECT_TRUE(reset());
    EXPECT_FALSE(QFile::exists(logPath()));
    EXPECT_EQ(QDir(QFileInfo(logPath()).absolutePath()).entryList(QDir::Files), QStringList());
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(dialogs.shown.size(), 1); // no error message
}

TEST_F(JobLogArchiveTest, NoLogFile_NothingDeletedNoErrorListsRefreshed)
{
    dialogs.msgAnswers.push_back(MsgBoxResult::No);
    ASSERT_TRUE(reset());
    dialogs.msgAnswers.push_back(MsgBoxResult::Yes);
    EXPECT_TRUE(reset());
    EXPECT_EQ(dialogs.messages().size(), 2);
    EXPECT_EQ(refreshes, 2);
}

TEST_F(JobLogArchiveTest, TwoResetsInOneMinute_SecondArchiveTakesTheNextNameBothKept)
{
    dialogs.msgAnswers.push_back(MsgBoxResult::Yes);
    ASSERT_TRUE(reset());
    ASSERT_TRUE(store->LogJobField(QStringLiteral("2-second"), QStringLiteral("Server"), QStringLiteral("PRINT1")));
    clock.advance(40);
    dialogs.msgAnswers.push_back(MsgBoxResult::Yes);
    ASSERT_TRUE(reset());
    const QStringList files = QDir(QFileInfo(logPath()).absolutePath()).entryList(QDir::Files);
    EXPECT_EQ(files,
              (QStringList{QStringLiteral("2024-March-5-95-hlv-2.mdb"), QStringLiteral("2024-March-5-95-hlv.mdb")}));
    EXPECT_EQ(keysIn(archivePath("2024-March-5-95-hlv.mdb")), QStringList{QStringLiteral("1-old")});
    EXPECT_EQ(keysIn(archivePath("2024-March-5-95-hlv-2.mdb")), QStringList{QStringLiteral("2-second")});
}

TEST_F(JobLogArchiveTest, Yes_WriterOfAnotherProcessWaitsForTheDeleteNoWriteLost)
{
    const QString sqlite = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    ASSERT_FALSE(sqlite.isEmpty()) << "the sqlite3 tool is needed";
    // Another program writes while the archive is made and the log not yet deleted. It
    // opens the file anew, as the programs do for every write.
    ToolRun writer;
    archive->setBeforeDelete([&] {
        writer = runTool(sqlite, {QStringLiteral("-cmd"), QStringLiteral(".timeout 300"), logPath(),
                                  QStringLiteral("INSERT INTO HLV_Log (TransactionID) VALUES ('3-during')")});
    });
    dialogs.msgAnswers.push_back(MsgBoxResult::Yes);
    EXPECT_TRUE(reset());
    ASSERT_TRUE(writer.finished);
    EXPECT_NE(writer.exitCode, 0) << "the write landed in the log about to be deleted";
    EXPECT_EQ(keysIn(archivePath("2024-March-5-95-hlv.mdb")), QStringList{QStringLiteral("1-old")});
    EXPECT_FALSE(QFile::exists(logPath()));
}

TEST_F(JobLogArchiveTest, WriterOfAnotherProcessThroughSeveralResets_EveryRowInAnArchiveOrTheNewLog)
{
    // Single-field writes of new rows, one after another, while this program resets the log
    // (keeping an archive) again and again: a write that meets a reset lands in the new log.
    constexpr int kWrites = 400;
    constexpr int kResets = 8;
    QProcess writer;
    writer.start(QStringLiteral(HLV_BINARY_DIR "/tests/joblog_writer_process"),
                 {env.appDataPath, builtTemplatePath(), QString::number(kWrites)});
    ASSERT_TRUE(writer.waitForStarted(10000));
    int written = 0;
    const auto waitForWrites = [&](int count) {
        const QDeadlineTimer deadline(60000);
        while (written < count && !deadline.hasExpired() && writer.state() == QProcess::Running) {
            writer.waitForReadyRead(100);
            while (writer.canReadLine()) {
                written = writer.readLine().trimmed().toInt();
            }
        }
        return written >= count;
    };
    int resets = 0;
    for (int round = 1; round <= kResets; ++round) {
        ASSERT_TRUE(waitForWrites(round * kWrites / (kResets + 1))) << "the writer stopped after " << written;
        clock.advance(60);
        // A reset that finds the writer holding the log fails; the next try gets it.
        for (int attempt = 0; attempt < 20; ++attempt) {
            dialogs.msgAnswers.push_back(MsgBoxResult::Yes);
            if (reset()) {
                ++resets;
                break;
            }
        }
    }
    ASSERT_TRUE(writer.waitForFinished(60000));
    EXPECT_EQ(writer.exitCode(), 0) << writer.readAllStandardError().toStdString();
    EXPECT_EQ(resets, kResets);

    QStringList keys;
    const QDir folder(QFileInfo(logPath()).absolutePath());
    for (const QString& name : folder.entryList({QStringLiteral("*.mdb")}, QDir::Files)) {
        keys += keysIn(folder.filePath(name));
    }
    keys.removeAll(QStringLiteral("1-old"));
    EXPECT_EQ(keys.size(), kWrites) << "rows lost or written twice";
    EXPECT_EQ(QSet<QString>(keys.begin(), keys.end()).size(), kWrites);
}

TEST_F(JobLogArchiveTest, DamagedLog_BytesArchivedOnYesAndLogDeleted)
{
    const QByteArray garbage = QByteArray("this is no database\n").repeated(300);
    for (const auto answer : {MsgBoxResult::Yes, MsgBoxResult::No}) {
        QFile::remove(archivePath("2024-March-5-95-hlv.mdb"));
        QFile log(logPath());
        ASSERT_TRUE(log.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(log.write(garbage), garbage.size());
        log.close();

        dialogs.msgAnswers.push_back(answer);
        EXPECT_TRUE(reset());
        EXPECT_FALSE(QFile::exists(logPath()));
        EXPECT_EQ(fileBytes(archivePath("2024-March-5-95-hlv.mdb")),
                  answer == MsgBoxResult::Yes ? garbage : QByteArray());
        EXPECT_EQ(dialogs.messages().last().text, JobLogArchive::questionText()); // no error shown
    }
    EXPECT_EQ(refreshes, 2);
}

TEST_F(JobLogArchiveTest, LogInUseByAnotherProgram_ErrorShownLogUnchanged)
{
    auto other = Database::open(logPath());
    ASSERT_TRUE(other);
    ASSERT_TRUE(other->exec(QStringLiteral("BEGIN IMMEDIATE")));
    ASSERT_TRUE(other->exec(QStringLiteral("UPDATE HLV_Log SET Queue = 'Q9'")));

    dialogs.msgAnswers.push_back(MsgBoxResult::Yes);
    EXPECT_FALSE(reset());
    ASSERT_EQ(dialogs.shown.size(), 2);
    EXPECT_EQ(dialogs.shown[1].text, QStringLiteral("Error deleting log file - Check permissions"));
    EXPECT_EQ(dialogs.shown[1].style, 16);
    EXPECT_EQ(dialogs.shown[1].title, QStringLiteral("Halvern"));
    EXPECT_EQ(refreshes, 0);
    ASSERT_TRUE(other->commit());
    other.reset();
    EXPECT_EQ(rows(QStringLiteral("SELECT TransactionID, Queue FROM HLV_Log")),
              (QList<QStringList>{{QStringLiteral("1-old"), QStringLiteral("Q9")}}));
    EXPECT_FALSE(QFile::exists(archivePath("2024-March-5-95-hlv.mdb")));
}

TEST_F(JobLogArchiveTest, ReadOnlyLog_ArchivedFirstThenNotDeletedBothKept)
{
    ASSERT_TRUE(QFile::setPermissions(logPath(), QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    dialogs.msgAnswers.push_back(MsgBoxResult::Yes);
    EXPECT_FALSE(reset());
    EXPECT_EQ(dialogs.messages().last().text, JobLogArchive::failureText());
    EXPECT_EQ(keysIn(logPath()), QStringList{QStringLiteral("1-old")});
    EXPECT_EQ(keysIn(archivePath("2024-March-5-95-hlv.mdb")), QStringList{QStringLiteral("1-old")});
    EXPECT_EQ(refreshes, 0);
    QFile::setPermissions(logPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST_F(JobLogArchiveTest, ArchiveCopyRefused_LogLeftInPlace)
{
    // The system refuses to write the copy (a file size limit, which holds for root too).
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    dialogs.msgAnswers.push_back(MsgBoxResult::Yes);
    const bool done = reset();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_FALSE(done);
    EXPECT_EQ(dialogs.messages().last().text, JobLogArchive::failureText());
    EXPECT_EQ(keysIn(logPath()), QStringList{QStringLiteral("1-old")});
    EXPECT_EQ(QDir(QFileInfo(logPath()).absolutePath()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{QStringLiteral("hlv.mdb"), QStringLiteral("hlv.mdb-journal")}));
    EXPECT_EQ(refreshes, 0);
}

} // namespace
} // namespace hlv::test
