#include <cstdio>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/FullFilesystem.h"
#include "support/ToolProcess.h"

namespace hlv::test {
namespace {

// A loopback port whose connections the kernel accepts but nobody ever answers.
class SilentServer
{
public:
    SilentServer()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof(addr);
        if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), len) == 0 && ::listen(m_fd, 16) == 0 &&
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
            m_port = ntohs(addr.sin_port);
        }
    }
    ~SilentServer()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

// The console program itself, started with a report switch on a simulated print server:
// it writes the report without opening it and ends on its own after the normal shutdown,
// without waiting for an operator, whatever the saved server and queue are like.
struct ReportRun
{
    const char* name;
    const char* savedServer; // empty: a CUPS server on loopback that never answers
    int queueStatus;         // set on the simulated queue before the run; 0 runs normally
    const char* arguments;
    const char* reportFile;
    bool written; // the report naming the queue, and exit status 0 unless rows were lost
    const char* stderrHolds;
    const char* log = nullptr; // the job log before the run (with Audit on); nullptr: none
    bool rowsLost = false;     // job or audit rows could not be stored: a non-zero status
    const char* savedQueue = "Sales";
    // A folder on a small file system of its own, full during the run.
    enum class Full { None, Temp, Tmpdir } full = Full::None;
};

const ReportRun kRuns[] = {
    // The arguments are joined with blanks: "/menu:Simple" "/rpt:Printer" would make the
    // first one "menu:Simple " (a server name), so the switches share one argument.
    {"printer", "PS1", 0, "/menu:Simple/rpt:Printer", "/HLV_PrinterReport.html", true, ""},
    {"server", "PS1", 0, "/rpt:Server", "/HLV_ServerReport.html", true, ""},
    // A run that cannot reach its server or queue writes the page all the same, says which
    // was not found, and leaves the saved server and queue as they were.
    {"server unreachable", "NOPE", 0, "/rpt:Server", "/HLV_ServerReport.html", false,
     "hlv: the server report of NOPE was written, but the print server NOPE was not found"},
    {"server never answers", "", 0, "/rpt:Server", "/HLV_ServerReport.html", false,
     "was written, but the print server 127.0.0.1:"},
    {"printer report, server unreachable", "NOPE", 0, "/rpt:Printer", "/HLV_PrinterReport.html", false,
     "hlv: the printer report of Sales on NOPE was written, but the print server NOPE was not found"},
    {"printer report, queue gone", "PS1", 0, "/rpt:Printer", "/HLV_PrinterReport.html", false,
     "hlv: the printer report of Lab on PS1 was written, but the queue Lab was not found", nullptr, false, "Lab"},
    // A queue in error raises the printer-error message during start-up: it goes to stderr.
    {"queue in error", "PS1", 2, "/rpt:Printer", "/HLV_PrinterReport.html", true,
     "hlv: Halvern: An Error has been reported! Please check the printer: PS1"},
    // A log of no bytes is made anew from the template, so the audit records land.
    {"empty job log", "PS1", 0, "/rpt:Printer", "/HLV_PrinterReport.html", true, "", ""},
    {"job log unwritable", "PS1", 0, "/rpt:Printer", "/HLV_PrinterReport.html", true,
     "job log writes could not be stored", "this is not a database", true},
    // The report folder (TEMP) full: said on stderr by path, no box; the system's temporary
    // folder full: no matter to a report.
    {"report folder full", "PS1", 0, "/rpt:Printer", "/HLV_PrinterReport.html", false,
     "Unable to write the report file ", nullptr, false, "Sales", ReportRun::Full::Temp},
    {"system temporary folder full", "PS1", 0, "/rpt:Printer", "/HLV_PrinterReport.html", true, "", nullptr, false,
     "Sales", ReportRun::Full::Tmpdir},
};

TEST(CommandLineE2E, ReportSwitch_RealProgramReportsExitsOnItsOwnWithStatus)
{
    for (const ReportRun& run : kRuns) {
        SCOPED_TRACE(run.name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString appData = dir.filePath(QStringLiteral("appdata"));
        const QString temp = dir.filePath(QStringLiteral("temp"));
        const QString servers = dir.filePath(QStringLiteral("servers"));
        for (const QString& folder : {appData, temp, servers}) {
            ASSERT_TRUE(QDir().mkpath(folder));
        }
        const QString sim = QStringLiteral(HLV_BIN_DIR "/hlv-printsim");
        runToolChecked(sim, {servers, QStringLiteral("add-server"), QStringLiteral("PS1")});
        runToolChecked(sim, {servers, QStringLiteral("add-queue"), QStringLiteral("PS1"), QStringLiteral("Sales")});
        if (run.queueStatus != 0) {
            runToolChecked(sim, {servers, QStringLiteral("set-queue"), QStringLiteral("PS1"), QStringLiteral("Sales"),
                                 QStringLiteral("--status"), QString::number(run.queueStatus)});
        }
        SilentServer silent;
        QByteArray server(run.savedServer);
        if (server.isEmpty()) {
            ASSERT_GT(silent.port(), 0);
            server = "127.0.0.1:" + QByteArray::number(silent.port());
        }
        {
            QFile ini(appData + QStringLiteral("/hlv.ini"));
            ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
            ini.write("[Halvern]\r\nServer=" + server + "\r\nQueue=" + run.savedQueue + "\r\nStartMax=False\r\n" +
                      (run.log ? "Audit=True\r\n" : ""));
        }
        if (run.log) {
            QFile log(appData + QStringLiteral("/hlv.mdb"));
            ASSERT_TRUE(log.open(QIODevice::WriteOnly));
            ASSERT_EQ(log.write(run.log), qstrlen(run.log));
        }

        FullFilesystem disk;
        const QString tmpdir = dir.filePath(QStringLiteral("tmpdir"));
        if (run.full != ReportRun::Full::None) {
            ASSERT_TRUE(QDir().mkpath(tmpdir));
            QString why;
            if (!disk.mount(run.full == ReportRun::Full::Temp ? temp : tmpdir, "1m", &why)) {
                std::printf("skipped: %s\n", qPrintable(why));
                continue;
            }
            ASSERT_TRUE(disk.fill());
        }

        QProcess console;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (run.full == ReportRun::Full::Tmpdir) {
            env.insert(QStringLiteral("TMPDIR"), tmpdir);
        }
        env.insert(QStringLiteral("APPDATA"), appData);
        env.insert(QStringLiteral("TEMP"), temp);
        env.insert(QStringLiteral("HLV_PRINT_SYSTEM"),
                   *run.savedServer ? QStringLiteral("sim:") + servers : QStringLiteral("cups"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("HLV_WEB_SERVER"), QStringLiteral("http://127.0.0.1:9"));
        console.setProcessEnvironment(env);
        QElapsedTimer clock;
        clock.start();
        console.start(QStringLiteral(HLV_BIN_DIR "/hlv"), {QString::fromLatin1(run.arguments)});
        ASSERT_TRUE(console.waitForStarted(10000));
        const bool finished = console.waitForFinished(60000);
        if (!finished) {
            console.kill();
            console.waitForFinished();
        }
        ASSERT_TRUE(finished) << "the console did not end by itself";
        EXPECT_LT(clock.elapsed(), 15000);
        EXPECT_EQ(console.exitStatus(), QProcess::NormalExit);
        const QString errors = QString::fromUtf8(console.readAllStandardError());
        EXPECT_TRUE(errors.contains(QString::fromLatin1(run.stderrHolds))) << errors.toStdString();

        QFile page(temp + QLatin1String(run.reportFile));
        if (run.written) {
            EXPECT_EQ(console.exitCode() == 0, !run.rowsLost) << errors.toStdString();
            ASSERT_TRUE(page.open(QIODevice::ReadOnly));
            EXPECT_TRUE(page.readAll().contains("Sales"));
        } else {
            EXPECT_NE(console.exitCode(), 0);
            // Written all the same, unless its folder had no room for it.
            EXPECT_EQ(page.exists(), run.full != ReportRun::Full::Temp);
        }
        if (run.full == ReportRun::Full::Temp) {
            EXPECT_TRUE(errors.contains(temp + QLatin1String(run.reportFile))) << errors.toStdString();
            EXPECT_FALSE(page.exists());
        }
        if (run.log && !run.rowsLost) {
            EXPECT_FALSE(errors.contains(QStringLiteral("no such table"))) << errors.toStdString();
        }
        // The normal shutdown saved the settings: the file now holds keys start-up never read.
        QFile ini(appData + QStringLiteral("/hlv.ini"));
        ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
        const QByteArray saved = ini.readAll();
        EXPECT_TRUE(saved.contains("ColumnWidths=")) << saved.toStdString();
        EXPECT_TRUE(saved.contains("[Favourites]"));
        EXPECT_TRUE(saved.contains("Server=" + server + "\r\n")) << saved.toStdString();
        EXPECT_TRUE(saved.contains(QByteArray("Queue=") + run.savedQueue + "\r\n")) << saved.toStdString();
    }
}

} // namespace
} // namespace hlv::test
