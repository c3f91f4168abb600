// The console's command line: a scheduled task or a shortcut can write a report without an
// operator (the console then closes), choose a menu style for one run, open the help, or
// name the print server that an empty server box falls back to.
#include <cstdio>

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>

#include "console/reports/WMIReports.h"
#include "console/ui/CommandLine.h"
#include "console/ui/ConsoleContext.h"
#include "console/ui/FrmMain.h"
#include "console/ui/frmSplash.h"
#include "platform/Shell.h"
#include "store/JobLogStore.h"

namespace hlv {

QString FrmMain::helpFilePath() const
{
    const QString folder = m_ctx.programDir.isEmpty() ? QCoreApplication::applicationDirPath() : m_ctx.programDir;
    return folder + QStringLiteral("/HLV.html");
}

bool FrmMain::isReportRun() const
{
    // The command line is acted on up to its first report or help switch.
    for (const QString& arg : splitCommandLine(m_ctx.commandLine)) {
        switch (classifyArgument(arg).kind) {
        case CommandSwitch::PrinterReport:
        case CommandSwitch::ServerReport:
        case CommandSwitch::FavouritesReport:
            return true;
        case CommandSwitch::Help:
            return false;
        case CommandSwitch::MenuStyle:
        case CommandSwitch::Server:
            break;
        }
    }
    return false;
}

Task<void> FrmMain::GetCommandLine(int MaxArgs)
{
    const QStringList args = splitCommandLine(m_ctx.commandLine, MaxArgs);
    // The progress line gets the report's name only while the splash window is on screen;
    // asking must not load it.
    const auto announce = [this](const QString& piece) {
        if (isSplashLoaded() && m_splash->isVisible()) {
            appendProgress(piece);
        }
    };
    for (const QString& arg : args) {
        const CommandArgument command = classifyArgument(arg);
        switch (command.kind) {
        case CommandSwitch::PrinterReport: {
            announce(QStringLiteral(" Generating Printer Report."));
            // A saved queue the start-up did not find is still the queue the run reports on.
            const QString queue = m_startupQueue.value_or(CurrentPrintQueue->currentText());
            const QString server = serverBoxText();
            const bool ok = co_await PrinterReport(server, queue, true, false);
            endReportRun(ok, QStringLiteral("printer report of ") + queue + QStringLiteral(" on ") + server, server,
                         queue);
            co_return;
        }
        case CommandSwitch::ServerReport: {
            announce(QStringLiteral(" Generating Server Report."));
            const QString server = serverBoxText();
            const bool ok = co_await ServerReport(server, true, false);
            endReportRun(ok, QStringLiteral("server report of ") + server, server, QString());
            co_return;
        }
        case CommandSwitch::FavouritesReport: {
            announce(QStringLiteral(" Generating Favourites Report."));
            const bool ok = co_await FavouritesReport(true);
            endReportRun(ok, QStringLiteral("favourites report"), serverBoxText(), QString());
            co_return;
        }
        case CommandSwitch::MenuStyle:
            SwSimpleView(command.menuStyle);
            break;
        case CommandSwitch::Help:
            // A help file that cannot be opened is not reported; the console closes anyway.
            m_ctx.shell.open(helpFilePath());
            Form_Unload();
            co_return;
        case CommandSwitch::Server:
            // Becomes the fallback of an empty server box; the connected server stays.
            m_settings.Server = arg;
            break;
        }
    }
}

void FrmMain::endReportRun(bool ok, const QString& report, const QString& server, const QString& queue)
{
    // Nobody waits for the run: a report that could not be written, or was written without
    // the server or queue it reports on, is told on stderr and in the exit status, and the
    // console closes either way.
    if (!ok) {
        m_exitStatus = 1;
        if (!wmiReports().lastWritten()) {
            std::fprintf(stderr, "hlv: the %s could not be written\n", qUtf8Printable(report));
        } else if (wmiReports().lastMissing() == WMIReports::Missing::Queue) {
            std::fprintf(stderr, "hlv: the %s was written, but the queue %s was not found\n", qUtf8Printable(report),
                         qUtf8Printable(queue));
        } else {
            std::fprintf(stderr, "hlv: the %s was written, but the print server %s was not found\n",
                         qUtf8Printable(report), qUtf8Printable(server));
        }
    }
    Form_Unload();
    // Job rows and audit records the run could not store (a full disk, a log locked to the
    // end) are lost when it ends: the exit status says so.
    const int lost = m_jobLog->lostWrites() + m_jobLog->pendingWrites();
    if (lost > 0) {
        m_exitStatus = 1;
        std::fprintf(stderr, "hlv: %d job log writes could not be stored\n", lost);
    }
}

} // namespace hlv
