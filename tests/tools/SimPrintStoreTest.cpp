#include "platform/print/SimPrintStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/print/CupsPrintSystem.h"
#include "platform/print/SimPrintSystem.h"

namespace hlv::test {
namespace {

class SimPrintStoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QString error;
        store = sim::SimPrintStore::create(dir.path(), QStringLiteral("PS1"), QStringLiteral("PS1-HOST"), &error);
        ASSERT_TRUE(store) << error.toStdString();
        for (const char* name : {"A", "B"}) {
            sim::NewQueue q;
            q.name = QString::fromLatin1(name);
            ASSERT_TRUE(store->addQueue(q));
        }
    }
    qint64 add(const QString& queue, std::optional<qint64> pages, qint64 priority = 1, bool paused = false)
    {
        sim::NewJob j;
        j.queue = queue;
        j.document = QStringLiteral("doc");
        j.owner = QStringLiteral("ann");
        j.host = QStringLiteral("PC1");
        j.pages = pages;
        j.priority = priority;
        j.paused = paused;
        qint64 id = 0;
        EXPECT_TRUE(store->addJob(j, id));
        return id;
    }
    std::optional<PrintJobInfo> job(qint64 id)
    {
        QList<PrintJobInfo> all;
        EXPECT_TRUE(store->jobs(all));
        for (const PrintJobInfo& j : all) {
            if (j.JobId == id) {
                return j;
            }
        }
        return std::nullopt;
    }
    PrinterInfo queue(const QString& name)
    {
        QList<PrinterInfo> all;
        EXPECT_TRUE(store->printers(all, QStringLiteral("PS1")));
        for (const PrinterInfo& p : all) {
            if (p.Name == name) {
                return p;
            }
        }
        return {};
    }

    QTemporaryDir dir;
    std::unique_ptr<sim::SimPrintStore> store;
};

TEST(SimPrintStoreFile, FileFor_ServerNames_MapToLowerCaseFileOrNothing)
{
    const struct
    {
        const char* server;
        const char* file; // nullptr: no file can name it
    } cases[] = {
        {"PS1", "ps1.sqlite"},
        {"ps1", "ps1.sqlite"},
        {"Print-Srv.example.com", "print-srv.example.com.sqlite"},
        {"10.1.2.3", "10.1.2.3.sqlite"},
        {"host:8631", "host:8631.sqlite"},
        {".", "localhost.sqlite"},
        {"", nullptr},
        {"..", nullptr},
        {"../etc", nullptr},
        {"a/b", nullptr},
        {"a\\b", nullptr},
        {" ps1", nullptr},
        {".hidden", nullptr},
    };
    for (const auto& c : cases) {
        const QString file = sim::SimPrintStore::fileFor(QStringLiteral("/sim"), QString::fromUtf8(c.server));
        if (c.file) {
            EXPECT_EQ(file, QStringLiteral("/sim/") + QString::fromUtf8(c.file)) << c.server;
        } else {
            EXPECT_TRUE(file.isEmpty()) << c.server;
        }
    }
}

TEST_F(SimPrintStoreTest, Connect_OtherLetterCase_ReachesSameServerUnderItsGivenName)
{
    SimPrintSystem system(dir.path());
    auto conn = system.connect(QStringLiteral("ps1"));
    ASSERT_TRUE(conn);
    EXPECT_EQ(conn->serverName(), QStringLiteral("ps1"));
    QList<PrinterInfo> printers;
    ASSERT_TRUE(conn->printers(printers));
    ASSERT_EQ(printers.size(), 2);
    EXPECT_EQ(printers.at(0).PrinterPath, QStringLiteral("\\\\ps1\\A"));
    QString computer;
    ASSERT_TRUE(conn->computerName(computer));
    EXPECT_EQ(computer, QStringLiteral("PS1-HOST"));
}

TEST_F(SimPrintStoreTest, Connect_FileThatIsNoServer_Fails)
{
    QFile junk(QDir(dir.path()).filePath(QStringLiteral("junk.sqlite")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a database at all, just text");
    junk.close();
    SimPrintSystem system(dir.path());
    QString error;
    EXPECT_FALSE(system.connect(QStringLiteral("junk"), &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(SimPrintStoreTest, Create_ExistingServer_Fails)
{
    QString error;
    EXPECT_FALSE(sim::SimPrintStore::create(dir.path(), QStringLiteral("ps1"), {}, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(SimPrintStoreTest, Print_StepByStep_JobPrintsItsPagesThenLeaves)
{
    const qint64 id = add(QStringLiteral("A"), 3);
    ASSERT_TRUE(store->print(2));
    auto j = job(id);
    ASSERT_TRUE(j);
    EXPECT_EQ(j->StatusMask, JobStatus::Printing);
    EXPECT_EQ(j->PagesPrinted, 2);
    EXPECT_EQ(queue(QStringLiteral("A")).ExtendedPrinterStatus, 4);
    EXPECT_EQ(queue(QStringLiteral("A")).Status, 0u) << "a printing queue keeps its status bits clear";

    ASSERT_TRUE(store->print(2));
    EXPECT_FALSE(job(id));
    EXPECT_EQ(queue(QStringLiteral("A")).ExtendedPrinterStatus, 3);
}

TEST_F(SimPrintStoreTest, Print_NothingAsked_NothingMoves)
{
    const qint64 id = add(QStringLiteral("A"), 1);
    SimPrintSystem system(dir.path());
    auto conn = system.connect(QStringLiteral("PS1"));
    QList<PrintJobInfo> jobs;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(conn->jobs(jobs));
    }
    ASSERT_EQ(jobs.size(), 1);
    EXPECT_EQ(jobs.first().JobId, id);
    EXPECT_EQ(jobs.first().StatusMask, 0u);
}

TEST_F(SimPrintStoreTest, Print_PausedQueueOrPausedJob_DoesNotProgress)
{
    const qint64 held = add(QStringLiteral("A"), 1, 1, true);
    const qint64 next = add(QStringLiteral("A"), 1);
    const qint64 inPausedQueue = add(QStringLiteral("B"), 1);
    ASSERT_TRUE(store->pauseQueue(QStringLiteral("B")));

    ASSERT_TRUE(store->print(1));
    EXPECT_TRUE(job(held)) << "a paused job waits";
    EXPECT_FALSE(job(next)) << "the job behind it prints";
    EXPECT_TRUE(job(inPausedQueue));

    ASSERT_TRUE(store->resumeQueue(QStringLiteral("B")));
    ASSERT_TRUE(store->print(1));
    EXPECT_FALSE(job(inPausedQueue));
}

TEST_F(SimPrintStoreTest, Print_SeveralWaiting_HighestPriorityThenOldestFirst)
{
    const qint64 low = add(QStringLiteral("A"), 1, 1);
    const qint64 high1 = add(QStringLiteral("A"), 1, 50);
    const qint64 high2 = add(QStringLiteral("A"), 1, 50);
    ASSERT_TRUE(store->print(1));
    EXPECT_FALSE(job(high1));
    EXPECT_TRUE(job(high2));
    ASSERT_TRUE(store->print(1));
    EXPECT_FALSE(job(high2));
    EXPECT_TRUE(job(low));
}

TEST_F(SimPrintStoreTest, Print_UnknownPageCount_FinishesInOneStep)
{
    const qint64 id = add(QStringLiteral("A"), std::nullopt);
    EXPECT_FALSE(job(id)->TotalPages.has_value());
    ASSERT_TRUE(store->print(1));
    EXPECT_FALSE(job(id));
}

TEST_F(SimPrintStoreTest, JobIds_AfterRemoval_AreNeverReused)
{
    const qint64 first = add(QStringLiteral("A"), 1);
    ASSERT_TRUE(store->removeJob(first));
    EXPECT_GT(add(QStringLiteral("A"), 1), first);
}

TEST_F(SimPrintStoreTest, JobOperation_JobOfAnotherQueue_Fails)
{
    const qint64 id = add(QStringLiteral("A"), 1);
    EXPECT_FALSE(store->pauseJob(QStringLiteral("B"), id));
    EXPECT_FALSE(store->removeJob(QStringLiteral("B"), id));
    EXPECT_TRUE(job(id));
}

TEST_F(SimPrintStoreTest, Queue_NamedByShareName_IsFound)
{
    sim::NewQueue q;
    q.name = QStringLiteral("HP LaserJet 4");
    q.shareName = QStringLiteral("HP4");
    ASSERT_TRUE(store->addQueue(q));
    const qint64 id = add(QStringLiteral("HP4"), 1);
    const auto j = job(id);
    ASSERT_TRUE(j);
    // Named after the queue as the queue list shows it, so that the queue's jobs are listed.
    EXPECT_EQ(j->Name, QStringLiteral("HP4, ") + QString::number(id));
    EXPECT_EQ(queue(QStringLiteral("HP LaserJet 4")).PrinterPath, QStringLiteral("\\\\PS1\\HP4"));
    QList<PrintJobInfo> jobs;
    ASSERT_TRUE(store->jobs(jobs, QStringLiteral("HP4")));
    EXPECT_EQ(jobs.size(), 1);
}

TEST_F(SimPrintStoreTest, ExtendedStatus_SetByHandThenZero_OverridesThenDerives)
{
    ASSERT_TRUE(store->setQueue(QStringLiteral("A"), PrinterStatus::Offline | PrinterStatus::Error, 9, std::nullopt));
    EXPECT_EQ(queue(QStringLiteral("A")).ExtendedPrinterStatus, 9);
    EXPECT_EQ(queue(QStringLiteral("A")).Status, PrinterStatus::Offline | PrinterStatus::Error);
    ASSERT_TRUE(store->setQueue(QStringLiteral("A"), std::nullopt, 0, std::nullopt));
    EXPECT_EQ(queue(QStringLiteral("A")).ExtendedPrinterStatus, 7) << "offline wins over error";
}

TEST_F(SimPrintStoreTest, TestPage_Denied_ReturnsFiveAndQueuesNothing)
{
    ASSERT_TRUE(store->setQueue(QStringLiteral("A"), std::nullopt, std::nullopt, true));
    EXPECT_EQ(store->printTestPage(QStringLiteral("A"), QStringLiteral("ann"), QStringLiteral("PC")),
              TestPageResult::AccessDenied);
    QList<PrintJobInfo> jobs;
    ASSERT_TRUE(store->jobs(jobs));
    EXPECT_TRUE(jobs.isEmpty());
    EXPECT_EQ(store->printTestPage(QStringLiteral("Z"), QStringLiteral("ann"), QStringLiteral("PC")),
              TestPageResult::Failed);
}

TEST(CreatePrintSystem, Environment_ChoosesBackend)
{
    QTemporaryDir dir;
    const QByteArray saved = qgetenv("HLV_PRINT_SYSTEM");
    const bool wasSet = qEnvironmentVariableIsSet("HLV_PRINT_SYSTEM");

    qputenv("HLV_PRINT_SYSTEM", "sim:" + dir.path().toUtf8());
    QString error;
    auto system = createPrintSystem(&error);
    EXPECT_NE(dynamic_cast<SimPrintSystem*>(system.get()), nullptr);
    EXPECT_TRUE(error.isEmpty());

    for (const char* value : {"cups", ""}) {
        qputenv("HLV_PRINT_SYSTEM", value);
        error.clear();
        system = createPrintSystem(&error);
        EXPECT_NE(dynamic_cast<CupsPrintSystem*>(system.get()), nullptr) << value;
        EXPECT_TRUE(error.isEmpty()) << value;
    }
    for (const char* value : {"sim:", "windows"}) {
        qputenv("HLV_PRINT_SYSTEM", value);
        error.clear();
        system = createPrintSystem(&error);
        EXPECT_NE(dynamic_cast<CupsPrintSystem*>(system.get()), nullptr) << value;
        EXPECT_FALSE(error.isEmpty()) << value;
    }

    if (wasSet) {
        qputenv("HLV_PRINT_SYSTEM", saved);
    } else {
        qunsetenv("HLV_PRINT_SYSTEM");
    }
}

} // namespace
} // namespace hlv::test

namespace hlv::test {
namespace {

TEST_F(SimPrintStoreTest, AddQueue_NamesAndShareNames_EachUniqueInTheirOwnKind)
{
    sim::NewQueue q;
    q.name = QStringLiteral("a"); // "A" exists: printer names ignore letter case
    EXPECT_FALSE(store->addQueue(q));
    q.name = QStringLiteral("C");
    q.shareName = QStringLiteral("b"); // "B" is shared as "B"
    EXPECT_FALSE(store->addQueue(q));
    q.shareName = QStringLiteral("A2");
    EXPECT_TRUE(store->addQueue(q));
    q.name = QStringLiteral("A2"); // a printer named like another printer's share
    q.shareName = QStringLiteral("D");
    EXPECT_TRUE(store->addQueue(q));
    // By its own name first: "A2" is the printer named so, not the one shared so.
    QList<PrintJobInfo> jobs;
    EXPECT_TRUE(store->jobs(jobs, QStringLiteral("A2")));
    const qint64 id = add(QStringLiteral("A2"), 1);
    EXPECT_EQ(job(id)->queueName(), QStringLiteral("D")) << "the share name of the printer named A2";
}

} // namespace
} // namespace hlv::test
