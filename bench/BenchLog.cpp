// The job log's passes, one per run, for the bench driver (bench/run-bench), which times whole
// processes from outside (wall clock and peak memory) beside the sqlite3 shell. This program
// holds the job log store alone (Qt Core and SQLite), as the passes need: the console's other
// libraries (widgets, printing, the network) would time their own loading, not the pass.
//
//   bench_log noop                         the program's own start and one SQL statement, for memory baselines
//   bench_log fill-log LOG ROWS            a job log (copy of the template) with ROWS jobs, at any path
//   bench_log stats LOG                    the statistics pass over LOG
//   bench_log csv LOG [COPY]               the CSV export of LOG (into a temporary folder), copied to COPY

#include <QCoreApplication>

#include "BenchLogFill.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    const QString command = args.isEmpty() ? QString() : args.takeFirst();
    const int status = hlv::bench::logCommand(command, args);
    return status >= 0 ? status : 2;
}
