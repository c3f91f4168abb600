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

using namespace hlv;
using hlv::bench::fillLog;
using hlv::bench::Store;

namespace {

QString arg(int argc, char** argv, int index)
{
    return index < argc ? QString::fromLocal8Bit(argv[index]) : QString();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString command = arg(argc, argv, 1);
    if (command == QStringLiteral("noop")) {
        // What the sqlite3 shell's baseline does too: the database library loaded and one
        // statement run, so both baselines hold its code.
        auto db = Database::open(QStringLiteral(":memory:"), Database::Mode::Create);
        return db && db->scalar(QStringLiteral("SELECT 1")) ? 0 : 1;
    }
    if (command == QStringLiteral("fill-log")) {
        return fillLog(arg(argc, argv, 2), arg(argc, argv, 3).toInt());
    }
    if (command == QStringLiteral("stats")) {
        Store s(arg(argc, argv, 2));
        return s.store->ComputeLogStats() ? 0 : 1;
    }
    if (command == QStringLiteral("csv")) {
        Store s(arg(argc, argv, 2));
        if (!s.store->ExportLogToCsv()) {
            return 1;
        }
        const QString copy = arg(argc, argv, 3);
        return copy.isEmpty() || (QFile::remove(copy), QFile::copy(s.store->csvFilePath(), copy)) ? 0 : 1;
    }
    return 2;
}
