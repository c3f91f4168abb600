#pragma once

#include <functional>
#include <optional>

#include <QProcessEnvironment>
#include <QString>

namespace hlv {

class Dialogs;
class Environment;
class PopupMessages;
class ProcessControl;
class Shell;
class TrayIcon;

// Everything the watch program's windows need from outside. The program fills it with the
// real services; a test fills it with doubles and runs the windows headless.
struct WatchContext
{
    WatchContext(Dialogs& dialogs_, Shell& shell_, Environment& environment_, ProcessControl& processes_,
                 PopupMessages& popups_, TrayIcon& tray_)
        : dialogs(dialogs_)
        , shell(shell_)
        , environment(environment_)
        , processes(processes_)
        , popups(popups_)
        , tray(tray_)
    {}

    Dialogs& dialogs;
    Shell& shell;
    Environment& environment;
    // Lists and ends processes (the job monitor servers this program started).
    ProcessControl& processes;
    PopupMessages& popups;
    TrayIcon& tray;

    // The folder of the programs: the job monitor server, the template job log, the help.
    QString programDir;
    // The template job log; empty: the one in programDir.
    QString templatePath;
    // The environment the job monitor server runs in; unset: the program's own.
    std::optional<QProcessEnvironment> monitorEnvironment;
    // The mail server's port, and how long its connect and each of its replies may take.
    quint16 smtpPort = 25;
    int smtpReplyTimeoutMs = 30000;
    // The wait before a job monitor that stopped while watching is started again, doubled
    // at each attempt that fails up to the longest.
    int monitorRestartFirstMs = 1000;
    int monitorRestartLimitMs = 60000;
    // Milliseconds on a clock that only goes forward, for how long a restarted monitor has
    // stayed up; unset: the process's own.
    std::function<qint64()> monitorClock;
    // Ends the program after the window's unload; unset: nothing (tests).
    std::function<void()> endProgram;
};

} // namespace hlv
