#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/ToolProcess.h"

namespace hlv::test {
namespace {

// The console program itself, started with a report switch on a simulated print server:
// it writes the report without opening it and ends on its own after the normal shutdown.
TEST(CommandLineE2E, ReportSwitch_RealProgramWritesReportSavesSettingsAndExits)
{
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
    {
        QFile ini(appData + QStringLiteral("/hlv.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Halvern]\r\nServer=PS1\r\nQueue=Sales\r\nStartMax=False\r\n");
    }

    QProcess console;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("APPDATA"), appData);
    env.insert(QStringLiteral("TEMP"), temp);
    env.insert(QStringLiteral("HLV_PRINT_SYSTEM"), QStringLiteral("sim:") + servers);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HLV_WEB_SERVER"), QStringLiteral("http://127.0.0.1:9"));
    console.setProcessEnvironment(env);
    // The arguments are joined with blanks: "/menu:Simple" "/rpt:Printer" would make the
    // first one "menu:Simple " (a server name), so the switches share one argument.
    console.start(QStringLiteral(HLV_BIN_DIR "/hlv"), {QStringLiteral("/menu:Simple/rpt:Printer")});
    ASSERT_TRUE(console.waitForStarted(10000));
    const bool finished = console.waitForFinished(60000);
    if (!finished) {
        console.kill();
        console.waitForFinished();
    }
    ASSERT_TRUE(finished) << "the console did not end by itself";
    EXPECT_EQ(console.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(console.exitCode(), 0);

    QFile page(temp + QStringLiteral("/HLV_PrinterReport.html"));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    EXPECT_TRUE(page.readAll().contains("Sales"));
    // The normal shutdown saved the settings: the file now holds keys start-up never read.
    QFile ini(appData + QStringLiteral("/hlv.ini"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray saved = ini.readAll();
    EXPECT_TRUE(saved.contains("ColumnWidths=")) << saved.toStdString();
    EXPECT_TRUE(saved.contains("[Favourites]"));
}

} // namespace
} // namespace hlv::test
