// A stand-in client for the tests: starts the job monitor server from the folder given as
// its first argument, starts monitoring the server named by its second argument, prints the
// server's pid and then runs until it is killed.

#include <cstdio>

#include <QCoreApplication>

#include "jobmonitor/MonitorBuilds.h"
#include "jobmonitor/client/JobMonitorClient.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: %s PROGRAM_DIR SERVER\n", argv[0]);
        return 2;
    }
    hlv::JobMonitorClientOptions options;
    options.programName = QString::fromLatin1(hlv::kJobMonitorBuild.programName);
    options.classId = QString::fromLatin1(hlv::kJobMonitorBuild.classId);
    options.programDir = args.at(1);
    QString error;
    const auto client = hlv::JobMonitorClient::create(options, &error);
    if (!client) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    client->StartMonitor(args.at(2));
    std::printf("%lld\n", static_cast<long long>(client->serverPid()));
    std::fflush(stdout);
    return QCoreApplication::exec();
}
