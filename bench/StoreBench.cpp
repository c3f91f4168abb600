// Costs of the job log store on a log of realistic size. Every operation opens and closes
// the database file, as the programs do, so these figures include that price.
#include <memory>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "platform/Database.h"
#include "platform/GeneralDate.h"
#include "store/JobLogStore.h"
#include "support/FakeClock.h"
#include "support/FakeEnvironment.h"
#include "support/FakeStoreHost.h"

using namespace hlv;

namespace {

constexpr int kLargeLog = 100000;

struct Bench
{
    Bench()
    {
        env.appDataPath = dir.filePath(QStringLiteral("appdata"));
        env.tempPath = dir.filePath(QStringLiteral("temp"));
        QDir().mkpath(env.appDataPath);
        QDir().mkpath(env.tempPath);
        host.audit = false;
        store = std::make_unique<JobLogStore>(env, clock, host);
    }

    // Fills a fresh log with jobs spread over a year, a few servers, queues and users.
    void fill(int count)
    {
        QFile::remove(store->logFilePath());
        store->OpenLogDatabase();
        store->CloseLogDatabase();
        auto db = Database::open(store->logFilePath());
        db->begin();
        Query insert(*db, QStringLiteral("INSERT INTO HLV_Log (TransactionID, Server, Queue, Description, Computer, "
                                         "User, Name, Priority, \"Time Submitted\", Pages, Size, \"Deleted Pages\", "
                                         "\"Printed Pages\") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        const QDateTime start(QDate(2025, 1, 1), QTime(8, 0));
        for (int i = 0; i < count; ++i) {
            const QString submitted = generalDateText(start.addSecs(qint64(i) * 317));
            insert.reset();
            insert.bindAll({QString::number(i) + QLatin1Char('-') + submitted, QStringLiteral("PRINT%1").arg(i % 4),
                            QStringLiteral("Q%1").arg(i % 40), QStringLiteral("Report %1, draft").arg(i),
                            QStringLiteral("WS%1").arg(i % 300), QStringLiteral("user%1").arg(i % 500), i, 1, submitted,
                            QString::number(i % 17 + 1), QStringLiteral("%1KB").arg(i % 900),
                            i % 5 == 0 ? QVariant(QString::number(i % 17 + 1)) : QVariant(),
                            i % 5 == 1 ? QVariant(QString::number(i % 17 + 1)) : QVariant()});
            insert.exec();
        }
        db->commit();
    }

    QTemporaryDir dir;
    test::FakeEnvironment env;
    test::FakeClock clock;
    test::FakeStoreHost host;
    std::unique_ptr<JobLogStore> store;
};

void BM_LogJobField_NewKeys(benchmark::State& state)
{
    Bench bench;
    bench.fill(static_cast<int>(state.range(0)));
    int key = 0;
    for (auto _ : state) {
        for (int i = 0; i < 10000; ++i) {
            bench.store->LogJobField(QStringLiteral("new-%1").arg(key++), QStringLiteral("Server"),
                                     QStringLiteral("PRINT1"));
        }
    }
    // Seconds per call (the figure is inverted: time per item).
    state.counters["s_per_call"] =
        benchmark::Counter(10000, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LogJobField_NewKeys)->Arg(0)->Arg(kLargeLog)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ComputeLogStats(benchmark::State& state)
{
    Bench bench;
    bench.fill(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        bench.store->ComputeLogStats();
    }
    state.counters["rows"] = static_cast<double>(bench.store->stats().LogJobsManaged);
    state.counters["s_per_row"] =
        benchmark::Counter(static_cast<double>(state.range(0)),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ComputeLogStats)->Arg(10000)->Arg(kLargeLog)->Unit(benchmark::kMillisecond);

void BM_ExportLogToCsv(benchmark::State& state)
{
    Bench bench;
    bench.fill(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        bench.store->ExportLogToCsv();
    }
    state.counters["bytes"] = static_cast<double>(QFile(bench.store->csvFilePath()).size());
    state.counters["s_per_row"] =
        benchmark::Counter(static_cast<double>(state.range(0)),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ExportLogToCsv)->Arg(10000)->Arg(kLargeLog)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale::c());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
