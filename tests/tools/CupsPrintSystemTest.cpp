#include "platform/print/CupsPrintSystem.h"

#include <chrono>

#include <QCoreApplication>
#include <QScopeGuard>
#include <QTemporaryFile>
#include <cups/cups.h>
#include <gtest/gtest.h>

#include "support/ToolProcess.h"
#include "support/WaitFor.h"

namespace hlv::test {

namespace {

class CupsPrivateServer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        server = privateCupsServer();
        ASSERT_FALSE(server.isEmpty()) << "no private CUPS server (fixture private_cupsd)";
        // The connection's probe answers within 1.5 s; a private server busy with every other
        // test of a loaded machine may miss that once, which is not what these tests look at.
        QString error;
        for (int attempt = 0; attempt < 3 && !conn; ++attempt) {
            conn = system.connect(server, &error);
        }
        ASSERT_TRUE(conn) << error.toStdString();
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
    std::optional<PrinterInfo> printer(const QString& name)
    {
        QList<PrinterInfo> list;
        EXPECT_TRUE(conn->printers(list));
        for (const PrinterInfo& p : std::as_const(list)) {
            if (p.Name == name) {
                return p;
            }
        }
        return std::nullopt;
    }
    qint64 submit(const QString& printer, const QStringList& options = {})
    {
        const QString out = runToolChecked(QStringLiteral("lp"),
                                           QStringList{QStringLiteral("-h"), server, QStringLiteral("-d"), printer} +
                                               options + QStringList{document.fileName()});
        return out.section(QLatin1Char(' '), 3, 3).section(QLatin1Char('-'), -1).toLongLong();
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
    EXPECT_TRUE(waitFor([&] { return jobs().isEmpty(); }, 20000));
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

// A backend that cannot reach its device stops the queue, with its complaint or without a
// word: the queue reads as an error, its waiting job too. An operator's pause reads as a
// pause only, its waiting job as waiting.
TEST_F(CupsPrivateServer, FailingBackendStopsQueue_ErrorNotPause)
{
    for (const char* device : {"serial:/dev/hlv-no-such-port", "hlvstate:/stop", "hlvstate:/stop+quiet"}) {
        SCOPED_TRACE(device);
        runToolChecked(QStringLiteral("lpadmin"),
                       {QStringLiteral("-h"), server, QStringLiteral("-p"), queue, QStringLiteral("-E"),
                        QStringLiteral("-v"), QString::fromLatin1(device), QStringLiteral("-o"),
                        QStringLiteral("printer-error-policy=stop-printer")});
        const qint64 id = submit(queue);
        ASSERT_TRUE(waitFor([&] {
            const auto p = printer(queue);
            return p && (p->Status & PrinterStatus::Paused);
        }));
        const auto stopped = printer(queue);
        EXPECT_EQ(stopped->Status & (PrinterStatus::Paused | PrinterStatus::Error),
                  PrinterStatus::Paused | PrinterStatus::Error);
        EXPECT_FALSE(stopped->canPrint());
        QList<PrintJobInfo> list = jobs();
        ASSERT_EQ(list.size(), 1);
        EXPECT_EQ(list.first().JobId, id);
        EXPECT_EQ(list.first().StatusMask, JobStatus::Error);
        // AutoQueue's hold leaves the backend's stop as it is: still an error, not a pause.
        ASSERT_TRUE(conn->holdQueue(queue));
        EXPECT_EQ(printer(queue)->Status & PrinterStatus::Error, PrinterStatus::Error);
        ASSERT_TRUE(conn->purgeQueue(queue));
    }

    // Paused by the operator instead: no error anywhere.
    runToolChecked(QStringLiteral("lpadmin"), {QStringLiteral("-h"), server, QStringLiteral("-p"), queue,
                                               QStringLiteral("-v"), QStringLiteral("file:///dev/null")});
    ASSERT_TRUE(conn->purgeQueue(queue));
    ASSERT_TRUE(conn->resumeQueue(queue));
    ASSERT_TRUE(conn->pauseQueue(queue));
    submit(queue);
    EXPECT_EQ(printer(queue)->Status, PrinterStatus::Paused);
    QList<PrintJobInfo> list = jobs();
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list.first().StatusMask, 0u);
}

// AutoQueue's hold never stops the job being printed (Pause-Printer would send it back to
// wait): a printer that prints is left to end its job, an idle one is paused. A printer
// whose toner runs low, or that is still connecting, can print.
TEST_F(CupsPrivateServer, HoldQueue_JobPrintingGoesOnIdlePrinterPaused)
{
    runToolChecked(QStringLiteral("lpadmin"),
                   {QStringLiteral("-h"), server, QStringLiteral("-p"), queue, QStringLiteral("-E"),
                    QStringLiteral("-v"), QStringLiteral("hlvstate:/connecting+toner+slow=2")});
    const qint64 id = submit(queue);
    ASSERT_TRUE(waitFor([&] {
        const QList<PrintJobInfo> list = jobs();
        return !list.isEmpty() && list.first().ownStatus == JobStatus::Printing;
    }));
    const auto connecting = printer(queue);
    EXPECT_TRUE(connecting->canPrint()) << connecting->Status;
    EXPECT_EQ(jobs().value(0).StatusMask, JobStatus::Printing);
    ASSERT_TRUE(conn->holdQueue(queue));
    EXPECT_EQ(printer(queue)->Status & PrinterStatus::Paused, 0u);
    ASSERT_TRUE(waitFor([&] { return jobs().isEmpty(); }, 20000)) << "job " << id << " was stopped";

    const auto idle = printer(queue);
    EXPECT_EQ(idle->Status, PrinterStatus::TonerLow);
    EXPECT_TRUE(idle->canPrint());
    ASSERT_TRUE(conn->holdQueue(queue));
    EXPECT_EQ(printer(queue)->Status, PrinterStatus::Paused | PrinterStatus::TonerLow);
}

// A job sent to a class prints on one of its members and is held up by that printer's
// trouble, as the member's own jobs are.
TEST_F(CupsPrivateServer, ClassJob_ShowsTheTroubleOfTheMemberPrintingIt)
{
    const QString fine = queue + QStringLiteral("_fine");
    const QString trouble = queue + QStringLiteral("_paper");
    const QString cls = queue + QStringLiteral("_class");
    const auto remove = qScopeGuard([&] {
        runTool(QStringLiteral("lpadmin"), {QStringLiteral("-h"), server, QStringLiteral("-x"), cls});
        runTool(QStringLiteral("lpadmin"), {QStringLiteral("-h"), server, QStringLiteral("-x"), fine});
        runTool(QStringLiteral("lpadmin"), {QStringLiteral("-h"), server, QStringLiteral("-x"), trouble});
    });
    for (const auto& [name, device] : {std::pair{fine, QStringLiteral("hlvstate:/slow=20")},
                                       std::pair{trouble, QStringLiteral("hlvstate:/paperout=20")}}) {
        runToolChecked(QStringLiteral("lpadmin"), {QStringLiteral("-h"), server, QStringLiteral("-p"), name,
                                                   QStringLiteral("-E"), QStringLiteral("-v"), device});
        runToolChecked(QStringLiteral("lpadmin"),
                       {QStringLiteral("-h"), server, QStringLiteral("-p"), name, QStringLiteral("-c"), cls});
    }
    runToolChecked(QStringLiteral("cupsenable"), {QStringLiteral("-h"), server, cls});
    runToolChecked(QStringLiteral("cupsaccept"), {QStringLiteral("-h"), server, cls});
    submit(cls);
    submit(cls);
    QList<quint32> seen;
    const bool both = waitFor(
        [&] {
            QList<PrintJobInfo> list;
            seen.clear();
            if (!conn->queueJobs(cls, list)) {
                return false;
            }
            for (const PrintJobInfo& j : std::as_const(list)) {
                seen.append(j.StatusMask);
            }
            std::sort(seen.begin(), seen.end());
            return seen == QList<quint32>{JobStatus::Printing, JobStatus::PaperOut};
        },
        15000);
    EXPECT_TRUE(both) << QStringList([&] {
                             QStringList t;
                             for (quint32 v : std::as_const(seen)) {
                                 t.append(QString::number(v));
                             }
                             return t;
                         }())
                             .join(QLatin1Char(','))
                             .toStdString();
    ASSERT_TRUE(conn->purgeQueue(cls));
}

// Names CUPS allows: "%" (decoded once), "," (the queue part of the job name keeps it), "|",
// non-ASCII; tabs, "|" and "%" in titles and user names come through as they are.
TEST_F(CupsPrivateServer, AwkwardNames_ListedAndActedOnAsTheyAre)
{
    const QString title = QStringLiteral("Bericht|Q1\t50%41, Größe – 日本");
    const QString owner = QStringLiteral("jürgen%41,x");
    for (const QString& prefix :
         {QStringLiteral("Q%41x_"), QStringLiteral("a,b_"), QStringLiteral("Büro_"), QStringLiteral("p|ipe_")}) {
        const QString name = prefix + queue;
        runToolChecked(QStringLiteral("lpadmin"),
                       {QStringLiteral("-h"), server, QStringLiteral("-p"), name, QStringLiteral("-E"),
                        QStringLiteral("-v"), QStringLiteral("file:///dev/null")});
        const auto removeQueue = qScopeGuard([&] {
            runToolChecked(QStringLiteral("lpadmin"), {QStringLiteral("-h"), server, QStringLiteral("-x"), name});
        });
        const qint64 id = submit(name, {QStringLiteral("-H"), QStringLiteral("hold"), QStringLiteral("-t"), title,
                                        QStringLiteral("-U"), owner});
        QList<PrintJobInfo> list;
        ASSERT_TRUE(conn->queueJobs(name, list)) << name.toStdString();
        ASSERT_EQ(list.size(), 1) << name.toStdString();
        const PrintJobInfo job = list.first();
        EXPECT_EQ(job.JobId, id);
        EXPECT_EQ(job.queueName(), name);
        EXPECT_EQ(job.Name, name + QStringLiteral(", ") + QString::number(id));
        EXPECT_EQ(job.Document, title);
        EXPECT_EQ(job.Owner, owner);
        EXPECT_TRUE(printer(name)) << name.toStdString();

        ASSERT_TRUE(conn->pauseQueue(name)) << name.toStdString();
        EXPECT_EQ(printer(name)->Status, PrinterStatus::Paused) << name.toStdString();
        ASSERT_TRUE(conn->setJobPriority(name, id, 60)) << name.toStdString();
        ASSERT_TRUE(conn->resumeJob(name, id)) << name.toStdString();
        ASSERT_TRUE(conn->queueJobs(name, list));
        ASSERT_EQ(list.size(), 1);
        EXPECT_EQ(list.first().StatusMask, 0u) << "released, waiting on the paused queue";
        EXPECT_EQ(list.first().Priority, 60);
        EXPECT_TRUE(conn->removeJob(name, id)) << name.toStdString();
        EXPECT_TRUE(conn->resumeQueue(name)) << name.toStdString();
        EXPECT_EQ(conn->printTestPage(name), TestPageResult::Success) << name.toStdString();
    }
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

// A server named without a port is looked for on the IPP port, even while the default
// server (CUPS_SERVER) names another port: here the private server's port is that other
// one, and nothing listens on the IPP port of the loopback address.
TEST_F(CupsPrivateServer, NameWithoutPort_IppPortNotTheDefaultServersPort)
{
    const QByteArray saved = qgetenv("CUPS_SERVER");
    qputenv("CUPS_SERVER", server.toUtf8());
    cupsSetServer(nullptr);
    QString error;
    auto other = system.connect(server.section(QLatin1Char(':'), 0, 0), &error);
    if (saved.isNull()) {
        qunsetenv("CUPS_SERVER");
    } else {
        qputenv("CUPS_SERVER", saved);
    }
    cupsSetServer(nullptr);
    EXPECT_FALSE(other) << "reached the default server's port";
    // Nothing listens there: the port refuses, and the text says so.
    EXPECT_TRUE(error.endsWith(QStringLiteral("cannot be reached: Connection refused"))) << error.toStdString();
}

} // namespace
} // namespace hlv::test
