// The job monitor at work, through the real HlvJobMonitor program, with servers holding
// 1,000 and 5,000 jobs: the time from StartMonitor to "Connected", the processor time the
// monitor takes while nothing changes (share of one core, over wall-clock time), and the
// event latency: the time from a change of a job on the print server to the job event at
// the client (wall clock).
//
//   bench_monitor_latency [CHANGES]
//
// Runs on a simulated print server (always) and on a private CUPS server: the one named by
// HLV_BENCH_CUPS_SERVER (host:port, with a queue named by HLV_BENCH_CUPS_QUEUE, default
// "bench"), or else one started with scripts/private-cupsd. Each change is made at a random
// moment, so the figures cover the whole range of the monitor's reading cycle.
// HLV_BENCH_MONITOR_DIR names another folder holding the HlvJobMonitor to measure (an older
// build, for a comparison); HLV_BENCH_JOBS the job counts (default "1000,5000");
// HLV_BENCH_IDLE_SECONDS the idle measurement (default 10).

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
#include <cups/cups.h>
#include <unistd.h>

#include "jobmonitor/MonitorBuilds.h"
#include "jobmonitor/client/JobMonitorClient.h"
#include "platform/print/SimPrintStore.h"

namespace {

QString programDir()
{
    return QCoreApplication::applicationDirPath();
}

QString monitorDir()
{
    return qEnvironmentVariable("HLV_BENCH_MONITOR_DIR", programDir());
}

// Processor time (user and system) a process has used, in seconds.
double cpuSeconds(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QByteArray stat = file.readAll();
    // The fields after the command name, which is in parentheses and may hold blanks.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) {
        return 0;
    }
    return static_cast<double>(fields.at(11).toLongLong() + fields.at(12).toLongLong()) /
           static_cast<double>(sysconf(_SC_CLK_TCK));
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
    double connectSeconds = -1; // StartMonitor -> "Connected", wall clock
    double idleCpuShare = -1;   // monitor processor time / wall-clock time while nothing changes
    QList<double> fromCommit;   // change committed (command returned) -> event, ms
    QList<double> fromStart;    // command started -> event, ms
};

double percentile(QList<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const auto index = static_cast<qsizetype>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values.at(std::clamp<qsizetype>(index, 0, values.size() - 1));
}

void report(const char* backend, int jobs, const Figures& f)
{
    std::printf("%-5s %5d jobs  start->Connected %6.2f s  idle CPU %6.2f %% of a core", backend, jobs, f.connectSeconds,
                f.idleCpuShare * 100.0);
    if (f.fromCommit.isEmpty()) {
        std::printf("  no latency figures\n");
        return;
    }
    const QList<double>& v = f.fromCommit;
    std::printf("  latency n=%lld median %5.0f  p95 %5.0f  max %5.0f ms (from command start: p95 %5.0f ms)  %s\n",
                static_cast<long long>(v.size()), percentile(v, 0.5), percentile(v, 0.95),
                *std::max_element(v.cbegin(), v.cend()), percentile(f.fromStart, 0.95),
                percentile(v, 0.95) <= 500.0 ? "(p95 within 0.5 s)" : "(p95 OVER 0.5 s)");
    std::fflush(stdout);
}

// Starts the monitor, then makes `changes` changes with `change(i)` and times each event.
Figures measure(const QProcessEnvironment& env, const QString& server, int changes,
                const std::function<bool(int)>& change)
{
    Figures figures;
    hlv::JobMonitorClientOptions options;
    options.programName = QString::fromLatin1(hlv::kJobMonitorBuild.programName);
    options.classId = QString::fromLatin1(hlv::kJobMonitorBuild.classId);
    options.programDir = monitorDir();
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
    const qint64 startedAt = clock.nsecsElapsed();
    client->StartMonitor(server);
    if (!waitFor([&] { return connected; }, 60000)) {
        std::fprintf(stderr, "the monitor did not connect to %s\n", qPrintable(server));
        return figures;
    }
    figures.connectSeconds = static_cast<double>(clock.nsecsElapsed() - startedAt) / 1e9;

    // Nothing changes: what the monitor costs by waiting alone.
    const int idleSeconds = qEnvironmentVariableIntValue("HLV_BENCH_IDLE_SECONDS") > 0
                                ? qEnvironmentVariableIntValue("HLV_BENCH_IDLE_SECONDS")
                                : 10;
    const double cpuBefore = cpuSeconds(client->serverPid());
    const qint64 idleFrom = clock.nsecsElapsed();
    const QDeadlineTimer idle(idleSeconds * 1000);
    waitFor([&] { return idle.hasExpired(); }, idleSeconds * 1000 + 1000);
    figures.idleCpuShare =
        (cpuSeconds(client->serverPid()) - cpuBefore) / (static_cast<double>(clock.nsecsElapsed() - idleFrom) / 1e9);

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

// A simulated server "bench" with `jobs` held jobs in queue Laser, the first of them the one
// the changes are made to.
Figures simulated(int changes, int jobs)
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
    QString error;
    const auto store = hlv::sim::SimPrintStore::open(dir.path(), QStringLiteral("bench"), &error);
    if (!store) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return none;
    }
    qint64 first = 0;
    for (int i = 0; i < jobs; ++i) {
        hlv::sim::NewJob job;
        job.queue = QStringLiteral("Laser");
        job.document = QStringLiteral("bench %1.pdf").arg(i);
        job.owner = QStringLiteral("bench");
        job.host = QStringLiteral("ws");
        job.pages = 1;
        job.size = 100;
        job.paused = true;
        qint64 id = 0;
        if (!store->addJob(job, id)) {
            return none;
        }
        first = first ? first : id;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HLV_PRINT_SYSTEM"), QStringLiteral("sim:") + dir.path());
    return measure(env, QStringLiteral("bench"), changes, [&](int i) {
        return sim({QStringLiteral("set-job"), QStringLiteral("bench"), QString::number(first),
                    QStringLiteral("--priority"), QString::number(2 + i % 90)})
            .has_value();
    });
}

// Adds held jobs to a CUPS queue until it holds `total` of this bench's jobs; the id of the
// first, or 0 when the server refused.
int fillCups(const QString& server, const QString& queue, int total, int have)
{
    const QString host = server.section(QLatin1Char(':'), 0, 0);
    const int port = server.section(QLatin1Char(':'), 1).toInt();
    http_t* http = httpConnect2(host.toUtf8().constData(), port, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_IF_REQUESTED, 1,
                                5000, nullptr);
    if (!http) {
        return 0;
    }
    const QByteArray uri = QStringLiteral("ipp://%1/printers/%2").arg(server, queue).toUtf8();
    const QByteArray resource = QStringLiteral("/printers/%1").arg(queue).toUtf8();
    int first = 0;
    for (int i = have; i < total; ++i) {
        ipp_t* request = ippNewRequest(IPP_OP_PRINT_JOB);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.constData());
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr,
                     QStringLiteral("bench %1").arg(i).toUtf8().constData());
        ippAddString(request, IPP_TAG_JOB, IPP_TAG_KEYWORD, "job-hold-until", nullptr, "indefinite");
        ipp_t* answer = cupsDoFileRequest(http, request, resource.constData(), "/etc/hostname");
        ipp_attribute_t* id = answer ? ippFindAttribute(answer, "job-id", IPP_TAG_INTEGER) : nullptr;
        if (!id) {
            ippDelete(answer);
            httpClose(http);
            return 0;
        }
        first = first ? first : ippGetInteger(id, 0);
        ippDelete(answer);
    }
    httpClose(http);
    return first ? first : -1;
}

// Runs `each(server, queue)` on the private CUPS server; false when there is none.
bool withCups(const std::function<void(const QString&, const QString&)>& each)
{
    QString server = qEnvironmentVariable("HLV_BENCH_CUPS_SERVER");
    const QString queue = qEnvironmentVariable("HLV_BENCH_CUPS_QUEUE", QStringLiteral("bench"));
    QTemporaryDir state;
    const QString script = QStringLiteral(HLV_SOURCE_DIR "/scripts/private-cupsd");
    bool ownServer = false;
    if (server.isEmpty()) {
        if (!QFile::exists(script) || !run(script, {QStringLiteral("start"), state.path(), queue})) {
            return false;
        }
        ownServer = true;
        QFile file(state.filePath(QStringLiteral("server")));
        if (file.open(QIODevice::ReadOnly)) {
            server = QString::fromUtf8(file.readAll()).trimmed();
        }
    }
    each(server, queue);
    if (ownServer) {
        run(script, {QStringLiteral("stop"), state.path()});
    } else {
        run(QStringLiteral("cancel"), {QStringLiteral("-h"), server, QStringLiteral("-a"), queue});
    }
    return true;
}

Figures cups(int changes, const QString& server, const QString& queue, int jobId)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HLV_PRINT_SYSTEM"), QStringLiteral("cups"));
    const QString job = queue + QLatin1Char('-') + QString::number(jobId);
    return measure(env, server, changes, [&](int i) {
        return run(QStringLiteral("lp"), {QStringLiteral("-h"), server, QStringLiteral("-i"), job, QStringLiteral("-q"),
                                          QString::number(2 + i % 90)})
            .has_value();
    });
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int changes = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 40;
    QList<int> sizes;
    for (const QString& n :
         qEnvironmentVariable("HLV_BENCH_JOBS", QStringLiteral("1000,5000")).split(QLatin1Char(','))) {
        if (n.toInt() > 0) {
            sizes.append(n.toInt());
        }
    }
    std::sort(sizes.begin(), sizes.end());

    std::printf("job monitor (%s): start, idle processor time and event latency, %d changes per run, wall clock\n",
                qPrintable(QDir(monitorDir()).filePath(QString::fromLatin1(hlv::kJobMonitorBuild.programName))),
                changes);
    std::fflush(stdout);
    for (const int jobs : sizes) {
        report("sim", jobs, simulated(changes, jobs));
    }
    const bool reachable = withCups([&](const QString& server, const QString& queue) {
        int have = 0;
        int first = 0;
        for (const int jobs : sizes) {
            const int added = fillCups(server, queue, jobs, have);
            if (added == 0) {
                std::printf("cups  %5d jobs  could not be submitted; skipped\n", jobs);
                return;
            }
            first = first ? first : added;
            have = jobs;
            report("cups", jobs, cups(changes, server, queue, first));
        }
    });
    if (!reachable) {
        std::printf("cups  not reachable (set HLV_BENCH_CUPS_SERVER or install cupsd); skipped\n");
    }
    return 0;
}
