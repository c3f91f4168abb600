// Event latency of the job monitor: the time from a change of a job on the print server to
// the job event at the client, through the real HlvJobMonitor program.
//
//   bench_monitor_latency [CHANGES]
//
// Runs on a simulated print server (always) and on a private CUPS server: the one named by
// HLV_BENCH_CUPS_SERVER (host:port, with a queue named by HLV_BENCH_CUPS_QUEUE, default
// "bench"), or else one started with scripts/private-cupsd. Each change is made at a random
// moment relative to the monitor's one-second readings, so the figures cover the whole range.

#include <algorithm>
#include <cstdio>
#include <functional>
#include <numeric>
#include <random>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include "console/access/JobMonitorClient.h"
#include "jobmonitor/MonitorBuilds.h"

namespace {

QString programDir()
{
    return QCoreApplication::applicationDirPath();
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QTimer wake;
    wake.start(5);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return condition();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Runs a command to its end; its output, or nullopt when it failed.
std::optional<QString> run(const QString& program, const QStringList& args)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return std::nullopt;
    }
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

struct Figures
{
    QList<double> fromCommit; // change committed (command returned) -> event, ms
    QList<double> fromStart;  // command started -> event, ms
};

double percentile(QList<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const auto index = static_cast<qsizetype>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values.at(std::clamp<qsizetype>(index, 0, values.size() - 1));
}

void report(const char* backend, const Figures& f, int pollMs)
{
    if (f.fromCommit.isEmpty()) {
        std::printf("%-6s no figures\n", backend);
        return;
    }
    const auto line = [&](const char* what, const QList<double>& v) {
        const double mean = std::accumulate(v.cbegin(), v.cend(), 0.0) / static_cast<double>(v.size());
        const double max = *std::max_element(v.cbegin(), v.cend());
        std::printf("%-6s %-14s n=%lld  min %6.0f  median %6.0f  p90 %6.0f  max %6.0f  mean %6.0f ms"
                    "  max/poll %.2f  %s\n",
                    backend, what, static_cast<long long>(v.size()), *std::min_element(v.cbegin(), v.cend()),
                    percentile(v, 0.5), percentile(v, 0.9), max, mean, max / pollMs,
                    max < 1200.0 ? "(under 1.2 s)" : "(OVER 1.2 s)");
    };
    line("from commit", f.fromCommit);
    line("from command", f.fromStart);
}

// Starts the monitor, then makes `changes` changes with `change(i)` and times each event.
Figures measure(const QProcessEnvironment& env, const QString& server, int changes,
                const std::function<bool(int)>& change)
{
    Figures figures;
    hlv::JobMonitorClientOptions options;
    options.programName = QString::fromLatin1(hlv::kJobMonitorBuild.programName);
    options.classId = QString::fromLatin1(hlv::kJobMonitorBuild.classId);
    options.programDir = programDir();
    options.environment = env;
    QString error;
    const auto client = hlv::JobMonitorClient::create(options, &error);
    if (!client) {
        std::fprintf(stderr, "cannot start the monitor: %s\n", qPrintable(error));
        return figures;
    }
    int events = 0;
    bool connected = false;
    QElapsedTimer clock;
    clock.start();
    qint64 lastEventAt = 0;
    QObject::connect(client.get(), &hlv::JobMonitorClient::JobEvent, [&] {
        ++events;
        lastEventAt = clock.nsecsElapsed();
    });
    QObject::connect(client.get(), &hlv::JobMonitorClient::ConnectEvent,
                     [&](const QString& text) { connected = connected || text == QStringLiteral("Connected"); });
    client->StartMonitor(server);
    if (!waitFor([&] { return connected; }, 30000)) {
        std::fprintf(stderr, "the monitor did not connect to %s\n", qPrintable(server));
        return figures;
    }

    std::mt19937 random(12345);
    std::uniform_int_distribution<int> phase(0, 1000);
    for (int i = 0; i < changes; ++i) {
        // A random moment within the reading interval; events of the previous change settle.
        const QDeadlineTimer pause(phase(random));
        waitFor([&] { return pause.hasExpired(); }, 2000);
        const int before = events;
        const qint64 started = clock.nsecsElapsed();
        if (!change(i)) {
            std::fprintf(stderr, "change %d failed\n", i);
            break;
        }
        const qint64 committed = clock.nsecsElapsed();
        if (!waitFor([&] { return events > before; }, 10000)) {
            std::fprintf(stderr, "no event for change %d\n", i);
            continue;
        }
        figures.fromCommit.append(static_cast<double>(lastEventAt - committed) / 1e6);
        figures.fromStart.append(static_cast<double>(lastEventAt - started) / 1e6);
    }
    client->StopMonitor();
    return figures;
}

Figures simulated(int changes)
{
    Figures none;
    QTemporaryDir dir;
    const QString tool = QDir(programDir()).filePath(QStringLiteral("hlv-printsim"));
    const auto sim = [&](const QStringList& args) {
        return run(tool, QStringList{dir.path()} + args);
    };
    if (!sim({QStringLiteral("add-server"), QStringLiteral("bench")}) ||
        !sim({QStringLiteral("add-queue"), QStringLiteral("bench"), QStringLiteral("Laser")})) {
        return none;
    }
    const auto id =
        sim({QStringLiteral("add-job"), QStringLiteral("bench"), QStringLiteral("Laser"), QStringLiteral("--document"),
             QStringLiteral("bench.pdf"), QStringLiteral("--owner"), QStringLiteral("bench"), QStringLiteral("--host"),
             QStringLiteral("ws"), QStringLiteral("--pages"), QStringLiteral("1"), QStringLiteral("--size"),
             QStringLiteral("100")});
    if (!id) {
        return none;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HLV_PRINT_SYSTEM"), QStringLiteral("sim:") + dir.path());
    return measure(env, QStringLiteral("bench"), changes, [&](int i) {
        return sim({QStringLiteral("set-job"), QStringLiteral("bench"), *id, QStringLiteral("--priority"),
                    QString::number(2 + i % 90)})
            .has_value();
    });
}

Figures cups(int changes, bool* reachable)
{
    Figures none;
    *reachable = false;
    QString server = qEnvironmentVariable("HLV_BENCH_CUPS_SERVER");
    QString queue = qEnvironmentVariable("HLV_BENCH_CUPS_QUEUE", QStringLiteral("bench"));
    QTemporaryDir state;
    const QString script = QStringLiteral(HLV_SOURCE_DIR "/scripts/private-cupsd");
    bool ownServer = false;
    if (server.isEmpty()) {
        if (!QFile::exists(script) || !run(script, {QStringLiteral("start"), state.path(), queue})) {
            return none;
        }
        ownServer = true;
        QFile file(state.filePath(QStringLiteral("server")));
        if (file.open(QIODevice::ReadOnly)) {
            server = QString::fromUtf8(file.readAll()).trimmed();
        }
    }
    Figures figures;
    const auto id = run(QStringLiteral("lp"), {QStringLiteral("-h"), server, QStringLiteral("-d"), queue,
                                               QStringLiteral("-H"), QStringLiteral("hold"), QStringLiteral("-t"),
                                               QStringLiteral("bench"), QStringLiteral("/etc/hostname")});
    if (id) {
        *reachable = true;
        // "request id is bench-12 (1 file(s))"
        const QString job = id->section(QLatin1Char(' '), 3, 3);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HLV_PRINT_SYSTEM"), QStringLiteral("cups"));
        figures = measure(env, server, changes, [&](int i) {
            return run(QStringLiteral("lp"), {QStringLiteral("-h"), server, QStringLiteral("-i"), job,
                                              QStringLiteral("-q"), QString::number(2 + i % 90)})
                .has_value();
        });
        run(QStringLiteral("cancel"), {QStringLiteral("-h"), server, job});
    }
    if (ownServer) {
        run(script, {QStringLiteral("stop"), state.path()});
    }
    return figures;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int changes = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 20;
    constexpr int kPollMs = 1000;

    std::printf("job monitor event latency, %d changes per backend, reading interval %d ms\n", changes, kPollMs);
    report("sim", simulated(changes), kPollMs);
    bool reachable = false;
    const Figures onCups = cups(changes, &reachable);
    if (reachable) {
        report("cups", onCups, kPollMs);
    } else {
        std::printf("cups   not reachable (set HLV_BENCH_CUPS_SERVER or install cupsd); skipped\n");
    }
    return 0;
}
