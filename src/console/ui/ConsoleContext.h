#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace hlv {

class Clock;
class Dialogs;
class Environment;
class MailClient;
class NetworkResources;
class PrintSystem;
class ProcessControl;
class Shell;
class WebBrowser;

// Everything the console's windows need from outside. The program fills it with the real
// services; a test fills it with doubles and builds the whole window headless.
struct ConsoleContext
{
    ConsoleContext(PrintSystem& printSystem_, Dialogs& dialogs_, Shell& shell_, Clock& clock_,
                   Environment& environment_, ProcessControl& processes_)
        : printSystem(printSystem_)
        , dialogs(dialogs_)
        , shell(shell_)
        , clock(clock_)
        , environment(environment_)
        , processes(processes_)
    {}

    PrintSystem& printSystem;
    Dialogs& dialogs;
    Shell& shell;
    Clock& clock;
    Environment& environment;
    // Lists and ends processes (the job monitor servers this console started).
    ProcessControl& processes;

    // The folder of the programs: the job monitor server, the template job log, the help.
    QString programDir;
    // The template job log; empty: the one beside the programs.
    QString templatePath;
    // The command line without the program's own name.
    QString commandLine;
    // The environment the job monitor server runs in; empty: the console's own.
    std::optional<QProcessEnvironment> monitorEnvironment;
    // False starts no job monitor server (report runs, and tests that do not want the process).
    bool startJobMonitor = true;
    // The wait before a job monitor whose server process ended is started again, doubled
    // at each attempt that fails up to the longest.
    int monitorRestartFirstMs = 1000;
    int monitorRestartLimitMs = 60000;
    // Milliseconds on a clock that only goes forward, for how long a restarted monitor has
    // stayed up; unset: the process's own.
    std::function<qint64()> monitorClock;

    // Composes mail in the desktop's mail client; unset: no mail client (nothing is sent).
    MailClient* mailClient = nullptr;

    // Whether the user may administer printing; unset: nobody.
    std::function<bool()> userIsAdmin;
    // Browses the network for the computer picker; unset: a network where nothing is found.
    NetworkResources* networkResources = nullptr;
    // Makes the browser of a panel; unset: a stand-in that only remembers its address.
    std::function<std::unique_ptr<WebBrowser>(QWidget* parent)> browserFactory;
    // Ends the program after the main window's shutdown; unset: nothing (tests).
    std::function<void()> endProgram;
    // Saves a picture of the main window after start-up and closes it; empty: no picture.
    QString screenshotPath;
};

} // namespace hlv
