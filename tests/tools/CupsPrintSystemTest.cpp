#include "platform/print/CupsPrintSystem.h"

#include <chrono>

#include <QCoreApplication>
#include <QTemporaryFile>
#include <gtest/gtest.h>

#include "support/ToolProcess.h"

namespace hlv::test {

namespace {

class CupsPrivateServer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        server = privateCupsServer();
        ASSERT_FALSE(server.isEmpty()) << "no private CUPS server (fixture private_cupsd)";
        conn = system.connect(server);
        ASSERT_TRUE(conn);
        queue = QStringLiteral("hlvx_%1_%2")
                    .arg(QCoreApplication::applicationPid())
                    .arg(::testing::UnitTest::GetInstance()->random_seed() + ++counter);
        runToolChecked(QStringLiteral("lpadmin"),
                       {QStringLiteral("-h"), server, QStringLiteral("-p"), queue, QStringLiteral("-E"),
                        QStringLiteral("-v"), QStringLiteral("file:///dev/null")});
        ASSERT_TRUE(document.open());
        document.write("x\n");
        document.flush();
    }
    void TearDown() override
    {
        conn.reset();
        if (!queue.isEmpty() && !server.isEmpty()) {
            runToolChecked(QStringLiteral("lpadmin"), {QStringLiteral("-h"), server, QStringLiteral("-x"), queue});
        }
    }
    QList<PrintJobInfo> jobs()
    {
        QList<PrintJobInfo> list;
        EXPECT_TRUE(conn->queueJobs(queue, list));
        return list;
    }

    static inline int counter = 0;
    QString server;
    CupsPrintSystem system;
    std::unique_ptr<PrintServer> conn;
    QString queue;
    QTemporaryFile document;
};

TEST_F(CupsPrivateServer, HeldOnSubmission_ShowsPausedThenReleasedCompletesAtOnce)
{
    runToolChecked(QStringLiteral("lp"), {QStringLiteral("-h"), server, QStringLiteral("-d"), queue,
                                          QStringLiteral("-H"), QStringLiteral("hold"), document.fileName()});
    QList<PrintJobInfo> list = jobs();
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list.first().StatusMask, JobStatus::Paused);
    EXPECT_EQ(list.first().Size, 1024) << "sizes come in whole kilobytes";

    // An enabled queue on /dev/null finishes a released job at once; it leaves the list.
    ASSERT_TRUE(conn->resumeJob(queue, list.first().JobId));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!jobs().isEmpty() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_TRUE(jobs().isEmpty());
}

TEST_F(CupsPrivateServer, JobsOfAllQueues_IncludeEveryQueue)
{
    ASSERT_TRUE(conn->pauseQueue(queue));
    runToolChecked(QStringLiteral("lp"),
                   {QStringLiteral("-h"), server, QStringLiteral("-d"), queue, document.fileName()});
    QList<PrintJobInfo> all;
    ASSERT_TRUE(conn->jobs(all));
    const bool found =
        std::any_of(all.begin(), all.end(), [&](const PrintJobInfo& j) { return j.queueName() == queue; });
    EXPECT_TRUE(found);
}

TEST_F(CupsPrivateServer, PasswordWanted_PromptAskedWithServerAndCancelFails)
{
    runToolChecked(QStringLiteral("lpadmin"),
                   {QStringLiteral("-h"), server, QStringLiteral("-p"), queue, QStringLiteral("-o"),
                    QStringLiteral("printer-op-policy=authenticated")});
    QStringList asked;
    system.setPasswordPrompt([&](const QString& s, const QString& user) -> std::optional<QString> {
        asked.append(s + QLatin1Char('|') + user);
        return std::nullopt;
    });
    const PrintResult r = conn->pauseQueue(queue);
    EXPECT_FALSE(r);
    EXPECT_FALSE(r.error.isEmpty());
    ASSERT_FALSE(asked.isEmpty());
    EXPECT_TRUE(asked.first().startsWith(server + QLatin1Char('|')));

    // Operations that need no password still work on the same connection.
    QList<PrinterInfo> printers;
    EXPECT_TRUE(conn->printers(printers));
}

TEST_F(CupsPrivateServer, PrinterWebPage_NamesServerPortAndPrinter)
{
    EXPECT_EQ(conn->printerWebPage(queue), QStringLiteral("http://") + server + QStringLiteral("/printers/") + queue);
}

TEST_F(CupsPrivateServer, ComputerName_RemoteServer_IsItsHostName)
{
    QString name;
    ASSERT_TRUE(conn->computerName(name));
    EXPECT_EQ(name, QStringLiteral("127.0.0.1"));
}

} // namespace
} // namespace hlv::test
