// Costs of the job log store on a log of realistic size. Every operation opens and closes
// the database file, as the programs do, so these figures include that price. Times are
// wall-clock: the writes wait for the disk, which CPU time does not show.
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
#include "store/JobLogTable.h"
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

// One field per call, as the job actions write: one open and one committed transaction
// each.
void BM_LogJobField_NewKeys(benchmark::State& state)
{
    constexpr int kCalls = 200;
    Bench bench;
    bench.fill(static_cast<int>(state.range(0)));
    int key = 0;
    for (auto _ : state) {
        for (int i = 0; i < kCalls; ++i) {
            bench.store->LogJobField(QStringLiteral("new-%1").arg(key++), QStringLiteral("Server"),
                                     QStringLiteral("PRINT1"));
        }
    }
    // Seconds per call (the figure is inverted: time per item).
    state.counters["s_per_call"] =
        benchmark::Counter(kCalls, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LogJobField_NewKeys)->Arg(0)->Arg(kLargeLog)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// The job log side of a job list retrieval (console start or Reload) of range(0) jobs on
// a log of 100,000 rows: the look-up of the listed jobs, then the rows of those not logged
// yet. range(1) = 1: none of them is logged yet; 0: all of them are.
void BM_RetrievalLogging(benchmark::State& state)
{
    const int jobs = static_cast<int>(state.range(0));
    Bench bench;
    bench.fill(kLargeLog);
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString prefix = state.range(1) ? QStringLiteral("r%1-").arg(round++) : QStringLiteral("r0-");
        QStringList keys;
        QList<joblog::JobEntry> entries;
        for (int i = 0; i < jobs; ++i) {
            const QString key = prefix + QString::number(i) + QStringLiteral("-3/14/2026 9:15:30 AM");
            keys << key;
            const QStringList d = {QStringLiteral("0"),    QStringLiteral("Report %1.pdf").arg(i),
                                   QStringLiteral("WS1"),  QStringLiteral("user1"),
                                   QStringLiteral("Q1"),   QStringLiteral("4"),
                                   QStringLiteral("0"),    QStringLiteral("1"),
                                   QStringLiteral("12KB"), QStringLiteral("3/14/2026 9:15:30 AM"),
                                   QString::number(i),     QStringLiteral("Q1, %1").arg(i)};
            entries << joblog::newJobEntry(key, QStringLiteral("PRINT1"), d, true);
        }
        if (!state.range(1)) {
            bench.store->LogNewJobs(entries); // logged before the timed pass
        }
        state.ResumeTiming();
        const std::optional<QSet<QString>> logged = bench.store->LoggedJobs(keys);
        QList<joblog::JobEntry> fresh;
        for (const joblog::JobEntry& entry : std::as_const(entries)) {
            if (logged && !logged->contains(entry.key)) {
                fresh << entry;
            }
        }
        if (!fresh.isEmpty()) {
            bench.store->LogNewJobs(fresh);
        }
    }
    state.counters["jobs"] = jobs;
}
BENCHMARK(BM_RetrievalLogging)
    ->Args({100, 1})
    ->Args({1000, 1})
    ->Args({5000, 1})
    ->Args({1000, 0})
    ->Args({5000, 0})
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

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
