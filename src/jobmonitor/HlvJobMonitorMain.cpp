// The job monitor server. Built twice from this file: HlvJobMonitor for the console and
// HlvWatch_Job for the watch program; the build gives the executable name, the identifiers
// and the version (HLV_MONITOR_* definitions).
//
// The client starts this program with pipes: it reads StartMonitor/StopMonitor lines on
// stdin and writes HELLO and the events on stdout, one flushed line each. When stdin ends,
// or SIGTERM comes, the program stops its monitor (which cancels the subscription it holds
// on the print server) and ends; within a second in any case, even while a slow print
// server holds its main thread.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <QCoreApplication>
#include <QTextStream>
#include <unistd.h>

#include "jobmonitor/InputReader.h"
#include "jobmonitor/MonitorServer.h"
#include "platform/GeneralDate.h"
#include "platform/PrintSystem.h"
#include "platform/TerminationSignals.h"
#include "platform/print/CupsExchange.h"

#ifndef HLV_MONITOR_EXE_NAME
#error "HLV_MONITOR_EXE_NAME and the other HLV_MONITOR_* definitions come from the build"
#endif

namespace {

// Writes the whole line to stdout at once; a client that has gone is not an error here,
// the end of stdin ends the program.
void writeLine(const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(STDOUT_FILENO, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        data += written;
        left -= written;
    }
}

void printVersion()
{
    std::printf("%s\n%s\n%s %s\n", "HLV Job Monitor", "Halvern Job Monitor", HLV_MONITOR_EXE_NAME,
                HLV_MONITOR_FILE_VERSION);
    std::printf("class %s\ninterface %s\nsource interface %s\ntype library %s\n", HLV_MONITOR_CLASS_ID,
                HLV_MONITOR_INTERFACE_ID, HLV_MONITOR_SOURCE_INTERFACE_ID, HLV_MONITOR_TYPELIB_ID);
}

} // namespace

int main(int argc, char** argv)
{
    hlv::readLocalTimeZoneOnce();
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        printVersion();
        return 0;
    }
    // A client that dies between two events must not take this program down by a signal
    // in the middle of a write; the end of stdin is the orderly way out.
    std::signal(SIGPIPE, SIG_IGN);
    // Ctrl+C in a terminal and a hang-up reach the whole process group: the client ends
    // through its own shutdown and ends this program with it, rather than see it die first.
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGHUP, SIG_IGN);
    // SIGTERM ends the program in order on its main thread; should that thread be held by a
    // print server that does not answer, SIGALRM ends it a second later.
    hlv::TerminationSignals::install({SIGTERM}, 1);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral(HLV_MONITOR_EXE_NAME));
    QCoreApplication::setApplicationVersion(QStringLiteral(HLV_MONITOR_FILE_VERSION));

    // The short wait for a server's first answer lets a window give up at once on a server
    // that takes connections without answering. The monitor holds no window and is bound
    // for good by its first answer: a server busy or far away is a slow server, given the
    // time of every other answer, not one that cannot be reached.
    hlv::CupsExchange::Limits limits = hlv::CupsExchange::limits();
    limits.firstAnswerMs = limits.answerMs;
    hlv::CupsExchange::setLimits(limits);

    QString problem;
    const std::unique_ptr<hlv::PrintSystem> printSystem = hlv::createPrintSystem(&problem);
    if (!problem.isEmpty()) {
        QTextStream(stderr) << HLV_MONITOR_EXE_NAME << ": " << problem << '\n';
    }

    hlv::MonitorServer server(*printSystem,
                              {QStringLiteral("{" HLV_MONITOR_CLASS_ID "}"), QStringLiteral(HLV_MONITOR_FILE_VERSION)},
                              writeLine);

    // Never deleted: it may sit in read() when the program ends, and the process exit takes it.
    auto* input = new hlv::InputReader(STDIN_FILENO);
    // Seen on the reader's thread as well: a stop cuts short a reading that a server holds.
    QObject::connect(
        input, &hlv::InputReader::lineReceived, input, [&server](const QByteArray& line) { server.lineArrived(line); },
        Qt::DirectConnection);
    QObject::connect(input, &hlv::InputReader::lineReceived, &server, &hlv::MonitorServer::handleLine,
                     Qt::QueuedConnection);
    // Whatever the monitor holds on the print server is given back before the program ends.
    const auto end = [&server, &app] {
        server.monitor().StopMonitor();
        app.quit();
    };
    QObject::connect(input, &hlv::InputReader::inputClosed, &app, end, Qt::QueuedConnection);
    hlv::TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &hlv::TerminationSignals::received, &app, end);
    terminationSignals.start();

    server.sayHello();
    input->start();
    const int rc = QCoreApplication::exec();
    std::fflush(nullptr);
    // Ends without waiting for the reader thread, which may be blocked in read().
    std::_Exit(rc);
}
