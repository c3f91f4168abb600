// The watch program: its window is the program; start-up and shutdown are the window's.
#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include "desktop/DesktopShell.h"
#include "desktop/QtDialogs.h"
#include "platform/Environment.h"
#include "platform/GeneralDate.h"
#include "platform/ProcessControl.h"
#include "platform/TerminationSignals.h"
#include "watch/PopupMessages.h"
#include "watch/TrayIcon.h"
#include "watch/WatchContext.h"
#include "watch/frmWatch.h"

int main(int argc, char** argv)
{
    // From the first moment: a signal during start-up ends the program once it has started.
    hlv::TerminationSignals::install();
    hlv::readLocalTimeZoneOnce();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("HlvWatch"));
    QApplication::setApplicationVersion(QStringLiteral(HLV_VERSION_STRING));
    // The window hides into the notification area and the mail window comes and goes: the
    // program ends only when the watch window unloads.
    QApplication::setQuitOnLastWindowClosed(false);

    hlv::SystemEnvironment environment;
    hlv::QtDialogs dialogs;
    hlv::DesktopShell shell;
    hlv::LinuxProcessControl processes;
    hlv::LinuxPopupMessages popups(environment);
    hlv::QtTrayIcon tray;

    hlv::WatchContext context(dialogs, shell, environment, processes, popups, tray);
    context.programDir = QCoreApplication::applicationDirPath();
    context.endProgram = [] {
        QCoreApplication::exit(0);
    };

    hlv::frmWatch window(context);
    dialogs.setParent(&window);
    // A logout, a kill or Ctrl+C ends the program as Exit does, from the start: also while
    // start-up waits in a box for the operator.
    hlv::TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &hlv::TerminationSignals::received, &window, [&window] {
        window.close();
        window.Form_Unload();
    });
    terminationSignals.start();
    window.Form_Load();
    // Ended while start-up waited in a box: the event loop that was to end has not run yet.
    if (window.isUnloaded()) {
        return 0;
    }

    // HLV_SCREENSHOT: a picture of the window once start-up has settled, then the normal
    // shutdown (for the documentation and for checking the layout without a display).
    const QString screenshot = qEnvironmentVariable("HLV_SCREENSHOT");
    if (!screenshot.isEmpty()) {
        QTimer::singleShot(1500, &window, [&window, screenshot] {
            const QString path = QFileInfo(screenshot).absoluteFilePath();
            QDir().mkpath(QFileInfo(path).absolutePath());
            if (!window.grab().save(path, "PNG")) {
                std::fprintf(stderr, "HlvWatch: could not save %s\n", qUtf8Printable(path));
            }
            window.close();
        });
    }
    return QApplication::exec();
}
