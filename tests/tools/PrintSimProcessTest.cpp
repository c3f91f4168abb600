#include <QDir>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/print/SimPrintSystem.h"
#include "support/ToolProcess.h"

namespace hlv::test {
namespace {

QString tool()
{
    return QStringLiteral(HLV_BIN_DIR "/hlv-printsim");
}

ToolRun printsim(const QStringList& args)
{
    return runTool(tool(), args);
}

class PrintSimProcess : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_EQ(runTool({QStringLiteral("add-server"), QStringLiteral("PS1")}).exitCode, 0);
    }
    ToolRun runTool(QStringList args)
    {
        args.prepend(dir.path());
        return printsim(args);
    }
    QStringList addJobArgs(const QString& queue)
    {
        return {QStringLiteral("add-job"),
                QStringLiteral("PS1"),
                queue,
                QStringLiteral("--document"),
                QStringLiteral("Budget | 2026.xlsx"),
                QStringLiteral("--owner"),
                QStringLiteral("ann"),
                QStringLiteral("--host"),
                QStringLiteral("WS7"),
                QStringLiteral("--pages"),
                QStringLiteral("3"),
                QStringLiteral("--size"),
                QStringLiteral("4096")};
    }
    QList<PrintJobInfo> jobs()
    {
        SimPrintSystem system(dir.path());
        auto conn = system.connect(QStringLiteral("PS1"));
        QList<PrintJobInfo> list;
        EXPECT_TRUE(conn && conn->jobs(list));
        return list;
    }

    QTemporaryDir dir;
};

TEST_F(PrintSimProcess, Commands_FullRound_SeenThroughThePrintSystem)
{
    ToolRun r =
        runTool({QStringLiteral("add-queue"), QStringLiteral("PS1"), QStringLiteral("Laser 1"),
                 QStringLiteral("--share"), QStringLiteral("L1"), QStringLiteral("--location"), QStringLiteral("Hall"),
                 QStringLiteral("--comment"), QStringLiteral("Front desk"), QStringLiteral("--model"),
                 QStringLiteral("LX 9"), QStringLiteral("--port"), QStringLiteral("IP_10.0.0.5")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();

    QStringList args = addJobArgs(QStringLiteral("L1"));
    args << QStringLiteral("--priority") << QStringLiteral("7") << QStringLiteral("--paused");
    r = runTool(args);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("1\n")) << "the new job id alone on its line";

    SimPrintSystem system(dir.path());
    auto conn = system.connect(QStringLiteral("ps1"));
    ASSERT_TRUE(conn);
    QList<PrinterInfo> printers;
    ASSERT_TRUE(conn->printers(printers));
    ASSERT_EQ(printers.size(), 1);
    const PrinterInfo& p = printers.first();
    EXPECT_EQ(p.Name, QStringLiteral("Laser 1"));
    EXPECT_EQ(p.ShareName, QStringLiteral("L1"));
    EXPECT_EQ(p.Location, QStringLiteral("Hall"));
    EXPECT_EQ(p.Comment, QStringLiteral("Front desk"));
    EXPECT_EQ(p.DriverName, QStringLiteral("LX 9"));
    EXPECT_EQ(p.PortName, QStringLiteral("IP_10.0.0.5"));
    EXPECT_TRUE(p.Shared);

    QList<PrintJobInfo> list = jobs();
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list.first().Name, QStringLiteral("L1, 1"));
    EXPECT_EQ(list.first().Document, QStringLiteral("Budget | 2026.xlsx"));
    EXPECT_EQ(list.first().HostPrintQueue, QStringLiteral("\\\\WS7"));
    EXPECT_EQ(list.first().Priority, 7);
    EXPECT_EQ(list.first().StatusMask, JobStatus::Paused);
    EXPECT_EQ(list.first().TotalPages, 3);

    // Paused: printing passes it by; set-job then frees it and printing takes it.
    ASSERT_EQ(runTool({QStringLiteral("print"), QStringLiteral("PS1")}).exitCode, 0);
    ASSERT_EQ(jobs().first().PagesPrinted, 0);
    r = runTool({QStringLiteral("set-job"), QStringLiteral("PS1"), QStringLiteral("1"), QStringLiteral("--status-mask"),
                 QStringLiteral("0"), QStringLiteral("--priority"), QStringLiteral("9")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    ASSERT_EQ(runTool({QStringLiteral("print"), QStringLiteral("PS1"), QStringLiteral("--pages"), QStringLiteral("2")})
                  .exitCode,
              0);
    list = jobs();
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list.first().PagesPrinted, 2);
    EXPECT_EQ(list.first().StatusMask, JobStatus::Printing);
    EXPECT_EQ(list.first().Priority, 9);

    r = runTool({QStringLiteral("set-queue"), QStringLiteral("PS1"), QStringLiteral("L1"), QStringLiteral("--status"),
                 QStringLiteral("0x81"), QStringLiteral("--extended-status"), QStringLiteral("7"),
                 QStringLiteral("--deny-test-page")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    ASSERT_TRUE(conn->printers(printers));
    EXPECT_EQ(printers.first().Status, 0x81u);
    EXPECT_EQ(printers.first().ExtendedPrinterStatus, 7);
    EXPECT_EQ(conn->printTestPage(QStringLiteral("Laser 1")), TestPageResult::AccessDenied);

    r = runTool({QStringLiteral("show"), QStringLiteral("PS1")});
    ASSERT_EQ(r.exitCode, 0);
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << r.out.toStdString();
    EXPECT_TRUE(lines.at(0).startsWith(QStringLiteral("server\tName=PS1\t")));
    EXPECT_TRUE(lines.at(1).startsWith(QStringLiteral("queue\tName=Laser 1\tShareName=L1\tShared=1\tStatus=129\t")));
    EXPECT_TRUE(lines.at(1).endsWith(QStringLiteral("\tDenyTestPage=1")));
    EXPECT_TRUE(lines.at(2).startsWith(QStringLiteral("job\tJobId=1\tName=L1, 1\tDocument=Budget | 2026.xlsx\t")));
    EXPECT_TRUE(lines.at(2).contains(QStringLiteral("\tPagesPrinted=2\tPriority=9\tSize=4096\tStatusMask=16\t")));

    r = runTool({QStringLiteral("remove-job"), QStringLiteral("PS1"), QStringLiteral("1")});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_TRUE(jobs().isEmpty());
    r = runTool({QStringLiteral("remove-job"), QStringLiteral("PS1"), QStringLiteral("1")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(r.err.isEmpty());
}

TEST_F(PrintSimProcess, BadArguments_UsageAndExitTwo)
{
    ASSERT_EQ(runTool({QStringLiteral("add-queue"), QStringLiteral("PS1"), QStringLiteral("Q")}).exitCode, 0);
    const QStringList full = addJobArgs(QStringLiteral("Q"));
    const QList<QStringList> cases = {
        {},
        {QStringLiteral("frobnicate"), QStringLiteral("PS1")},
        {QStringLiteral("add-server")},
        {QStringLiteral("add-server"), QStringLiteral("A"), QStringLiteral("B")},
        {QStringLiteral("add-queue"), QStringLiteral("PS1")},
        {QStringLiteral("add-queue"), QStringLiteral("PS1"), QStringLiteral("Q2"), QStringLiteral("--share")},
        {QStringLiteral("add-queue"), QStringLiteral("PS1"), QStringLiteral("Q2"), QStringLiteral("--colour"),
         QStringLiteral("red")},
        full.mid(0, 3),               // no options at all
        full.mid(0, full.size() - 2), // --size missing
        QStringList(full).replaceInStrings(QStringLiteral("4096"), QStringLiteral("4k")),
        QStringList(full) << QStringLiteral("--priority") << QStringLiteral("0"),
        QStringList(full) << QStringLiteral("--priority") << QStringLiteral("100"),
        QStringList(full) << QStringLiteral("--submitted") << QStringLiteral("yesterday"),
        {QStringLiteral("set-job"), QStringLiteral("PS1"), QStringLiteral("one")},
        {QStringLiteral("set-job"), QStringLiteral("PS1"), QStringLiteral("1"), QStringLiteral("--status-mask"),
         QStringLiteral("-1")},
        {QStringLiteral("remove-job"), QStringLiteral("PS1")},
        {QStringLiteral("set-queue"), QStringLiteral("PS1"), QStringLiteral("Q"), QStringLiteral("--status"),
         QStringLiteral("0xZZ")},
        {QStringLiteral("set-queue"), QStringLiteral("PS1"), QStringLiteral("Q"), QStringLiteral("--deny-test-page"),
         QStringLiteral("--allow-test-page")},
        {QStringLiteral("print"), QStringLiteral("PS1"), QStringLiteral("--pages"), QStringLiteral("0")},
        {QStringLiteral("show")},
        {QStringLiteral("show"), QStringLiteral("PS1"), QStringLiteral("extra")},
    };
    for (const QStringList& args : cases) {
        const ToolRun r = runTool(args);
        const std::string what = args.join(QLatin1Char(' ')).toStdString();
        EXPECT_FALSE(r.crashed) << what;
        EXPECT_EQ(r.exitCode, 2) << what;
        EXPECT_TRUE(r.err.contains(QStringLiteral("usage: hlv-printsim DIR COMMAND"))) << what;
        EXPECT_TRUE(r.out.isEmpty()) << what;
    }
    EXPECT_TRUE(jobs().isEmpty()) << "no bad command changed the server";

    const ToolRun bare = printsim({});
    EXPECT_EQ(bare.exitCode, 2);
    EXPECT_TRUE(bare.err.contains(QStringLiteral("usage:")));
}

TEST_F(PrintSimProcess, MissingServerOrQueue_FailsWithExitOne)
{
    const QList<QStringList> cases = {
        {QStringLiteral("show"), QStringLiteral("nosuch")},
        {QStringLiteral("print"), QStringLiteral("nosuch")},
        {QStringLiteral("add-queue"), QStringLiteral("nosuch"), QStringLiteral("Q")},
        addJobArgs(QStringLiteral("NoQueue")),
        {QStringLiteral("set-queue"), QStringLiteral("PS1"), QStringLiteral("NoQueue"), QStringLiteral("--status"),
         QStringLiteral("1")},
        {QStringLiteral("set-job"), QStringLiteral("PS1"), QStringLiteral("77"), QStringLiteral("--priority"),
         QStringLiteral("2")},
        {QStringLiteral("add-server"), QStringLiteral("ps1")},
        {QStringLiteral("add-server"), QStringLiteral("../escape")},
    };
    for (const QStringList& args : cases) {
        const ToolRun r = runTool(args);
        const std::string what = args.join(QLatin1Char(' ')).toStdString();
        EXPECT_FALSE(r.crashed) << what;
        EXPECT_EQ(r.exitCode, 1) << what;
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("hlv-printsim: "))) << what;
    }
    EXPECT_FALSE(QFileInfo::exists(QDir(dir.path()).filePath(QStringLiteral("../escape.sqlite"))));
}

TEST_F(PrintSimProcess, ManyProcessesAtOnce_EveryJobKeptWithItsOwnId)
{
    ASSERT_EQ(runTool({QStringLiteral("add-queue"), QStringLiteral("PS1"), QStringLiteral("Q")}).exitCode, 0);
    constexpr int kProcesses = 8;
    std::vector<std::unique_ptr<QProcess>> running;
    for (int i = 0; i < kProcesses; ++i) {
        auto p = std::make_unique<QProcess>();
        QStringList args = addJobArgs(QStringLiteral("Q"));
        args.prepend(dir.path());
        p->start(tool(), args);
        running.push_back(std::move(p));
    }
    // A reader in this process at the same time sees whole jobs only.
    SimPrintSystem system(dir.path());
    auto conn = system.connect(QStringLiteral("PS1"));
    ASSERT_TRUE(conn);
    QSet<QString> ids;
    for (auto& p : running) {
        QList<PrintJobInfo> snapshot;
        EXPECT_TRUE(conn->jobs(snapshot));
        for (const PrintJobInfo& j : snapshot) {
            EXPECT_EQ(j.Size, 4096);
        }
        ASSERT_TRUE(p->waitForFinished(30000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
        ids.insert(QString::fromUtf8(p->readAllStandardOutput()).trimmed());
    }
    EXPECT_EQ(ids.size(), kProcesses);
    EXPECT_EQ(jobs().size(), kProcesses);
}

} // namespace
} // namespace hlv::test
