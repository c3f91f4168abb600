// The console: its main window is the program; start-up and shutdown are the window's.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include "console/access/PrintWorker.h"
#include "console/ui/ConsoleContext.h"
#include "console/ui/ConsolePasswordPrompt.h"
#include "console/ui/FrmMain.h"
#include "console/ui/QtWebBrowser.h"
#include "console/ui/UnattendedDialogs.h"
#include "desktop/DesktopShell.h"
#include "desktop/QtDialogs.h"
#include "desktop/XdgMailClient.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/GeneralDate.h"
#include "platform/NetworkResources.h"
#include "platform/PrintSystem.h"
#include "platform/ProcessControl.h"
#include "platform/TerminationSignals.h"
#include "platform/print/AccountDirectory.h"

namespace {

// The start-up goes on as its servers answer, in the event loop; the window is shown when
// it is over, unless it ended the program.
hlv::Task<void> startUp(hlv::FrmMain& window)
{
    co_await window.Form_Load();
    if (window.isUnloaded()) {
        QCoreApplication::exit(window.exitStatus());
        co_return;
    }
    window.showAfterLoad();
}

} // namespace

int main(int argc, char** argv)
{
    // From the first moment: a signal during start-up ends the program once it has started.
    hlv::TerminationSignals::install();
    hlv::readLocalTimeZoneOnce();
    QApplication app(argc, argv);
    QApplication::setApplicationName(hlv::FrmMain::productName());
    QApplication::setApplicationVersion(hlv::FrmMain::versionText());

    QString error;
    std::unique_ptr<hlv::PrintSystem> printSystem = hlv::createPrintSystem(&error);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "hlv: %s\n", qUtf8Printable(error));
    }
    hlv::SystemEnvironment environment;
    hlv::SystemClock clock;
    hlv::QtDialogs dialogs;
    hlv::DesktopShell shell;
    hlv::LinuxProcessControl processes;
    hlv::XdgMailClient mail;

    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();

    // A report switch runs the console without an operator: no box may wait for an answer.
    const QString commandLine = arguments.join(QLatin1Char(' '));
    hlv::UnattendedDialogs boxes(dialogs);
    boxes.setUnattended(hlv::runsUnattended(commandLine));

    hlv::ConsoleContext context(*printSystem, boxes, shell, clock, environment, processes);
    context.programDir = QCoreApplication::applicationDirPath();
    context.commandLine = commandLine;
    // A report run closes as soon as its page is written: a job monitor would only make the
    // server answer one more reading of every job while the report waits for its own.
    context.startJobMonitor = !boxes.unattended();
    context.mailClient = &mail;
    hlv::DnsSdNetworkResources network;
    context.networkResources = &network;
    context.browserFactory = [&printSystem](QWidget* parent) -> std::unique_ptr<hlv::WebBrowser> {
        return std::make_unique<hlv::QtWebBrowser>(*printSystem, parent);
    };
    context.endProgram = [] {
        QCoreApplication::exit(0);
    };
    // Rights follow the account the program runs as, not a name the user can set.
    context.userIsAdmin = [] {
        hlv::LinuxAccountDirectory accounts;
        return hlv::isLocalAdministrator(accounts, hlv::processAccountName());
    };
    context.screenshotPath = qEnvironmentVariable("HLV_SCREENSHOT");

    auto mainWindow = std::make_unique<hlv::FrmMain>(context);
    hlv::FrmMain& window = *mainWindow;
    dialogs.setParent(&window);
    // A print server that wants a password asks the operator for it, when one waits.
    printSystem->setPasswordPrompt(hlv::consolePasswordPrompt(boxes, &window));
    // A print server that hangs does not hold the end of the program: its call is left to
    // the end of the process rather than waited for.
    const auto end = [&mainWindow, &printSystem](int status) {
        mainWindow.reset();
        printSystem->setPasswordPrompt({});
        // Lanes still running were left to a server that does not answer (the job lists'
        // or the server view's).
        if (hlv::PrintWorker::runningLanes() > 0) {
            std::fflush(nullptr);
            std::_Exit(status);
        }
        return status;
    };
    // A logout, a kill or Ctrl+C ends the program as Exit does; one that comes during the
    // start-up below waits for it to finish.
    hlv::TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &hlv::TerminationSignals::received, &window, [&window] {
        window.close();
        window.Form_Unload();
    });
    hlv::Task<void> started = startUp(window);
    if (started.done() && window.isUnloaded()) {
        return end(window.exitStatus());
    }

    if (!context.screenshotPath.isEmpty()) {
        // A picture of the window once start-up is over and the window has settled, then
        // the normal shutdown.
        QTimer::singleShot(2500, &window, [&window, &context] {
            const QString path = QFileInfo(context.screenshotPath).absoluteFilePath();
            QDir().mkpath(QFileInfo(path).absolutePath());
            if (!window.grab().save(path, "PNG")) {
                std::fprintf(stderr, "hlv: could not save %s\n", qUtf8Printable(path));
            }
            window.close();
        });
    }
    terminationSignals.start();
    const int status = QApplication::exec();
    // A report run that ended in the loop says how it went in the window's exit status.
    return end(window.exitStatus() != 0 ? window.exitStatus() : status);
}
