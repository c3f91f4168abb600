// One measured operation per run, for the bench driver (bench/run-bench), which times whole
// processes from outside (wall clock and peak memory) and runs the anchors beside them.
//
//   bench_ops noop                         the program's own start and one SQL statement, for memory baselines
//   bench_ops fill-log LOG ROWS            a job log (copy of the template) with ROWS jobs
//   bench_ops stats LOG                    the statistics pass over LOG
//   bench_ops csv LOG                      the CSV export of LOG (into a temporary folder)
//   bench_ops report LOG OUTDIR            the full job log report of LOG into OUTDIR
//   bench_ops fill-cups SERVER QUEUE N     N held jobs on a CUPS server (one request each)
//   bench_ops joblist SERVER [RUNS]        ms of one job list reading through the CUPS backend
//   bench_ops joblist-anchor SERVER [RUNS] ms of the same Get-Jobs read whole, parsed from memory
//   bench_ops job-attributes               the attributes a job list asks for, joined by ","
//   bench_ops monitor-start SERVER         ms from starting the monitor program to "Connected"
//   bench_ops monitor-idle SERVER SECONDS  % of a core the monitor uses watching, once connected
//   bench_ops monitor-busy SERVER QUEUE SECONDS CUPSD_PID [none]
//                                          % of a core the monitor and the CUPS server (its own
//                                          process) use while QUEUE prints about three jobs a
//                                          second (a held job released every 300 ms); with
//                                          "none", the server's alone, without a monitor
//   bench_ops widget ROWS                  ms to fill a sorted and an unsorted job list with ROWS rows
//   bench_ops fill-sim DIR SERVER QUEUE N  a simulated server with one queue and N jobs
//   bench_ops delete-all N [monitor]       the console's Delete All over a simulated queue of N jobs,
//                                          with "monitor" while its job monitor watches (until the
//                                          events have emptied the list): the longest stall of the
//                                          window's thread and the whole action in ms, and the
//                                          console's processor time per job
//   bench_ops cancel-outside SERVER QUEUE  the console shown on QUEUE of a CUPS server, its monitor
//                                          on, while `cancel -a` cancels every job of the queue:
//                                          the same three figures, until the list is empty
//   bench_ops monitor-latency SERVER QUEUE CHANGES
//                                          p95 ms from a job change (lp -q) on a CUPS server to
//                                          its event at the client
//
// Figures go to stdout as "name value" lines.

#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <optional>
#include <random>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTimer>
#include <cups/cups.h>
#include <unistd.h>

#include "BenchLogFill.h"
#include "console/reports/LogReports.h"
#include "console/ui/ConsoleContext.h"
#include "console/ui/FrmMain.h"
#include "console/ui/JobListWidget.h"
#include "jobmonitor/MonitorBuilds.h"
#include "jobmonitor/client/JobMonitorClient.h"
#include "platform/Database.h"
#include "platform/GeneralDate.h"
#include "platform/PrintSystem.h"
#include "platform/ProcessControl.h"
#include "platform/print/CupsAttributes.h"
#include "platform/print/CupsPrintSystem.h"
#include "platform/print/SimPrintStore.h"
#include "platform/print/SimPrintSystem.h"
#include "reports/ReportDoubles.h"
#include "store/JobLogStore.h"
#include "support/FakeClock.h"
#include "support/FakeEnvironment.h"
#include "support/FakeProcessControl.h"
#include "support/FakeStoreHost.h"
#include "support/RecordingShell.h"
#include "support/ScriptedDialogs.h"
#include "support/WaitFor.h"

using namespace hlv;
using hlv::bench::Store;

namespace {

QString arg(int argc, char** argv, int index)
{
    return index < argc ? QString::fromLocal8Bit(argv[index]) : QString();
}

void figure(const char* name, double value)
{
    std::printf("%s %.3f\n", name, value);
    std::fflush(stdout);
}

using test::waitFor;

// A connection to "host:port" (the IPP port when none is given).
http_t* connectTo(const QString& server)
{
    const QByteArray host = server.section(QLatin1Char(':'), 0, 0).toUtf8();
    const int port = server.section(QLatin1Char(':'), 1, 1).toInt();
    return httpConnect2(host.constData(), port > 0 ? port : IPP_PORT, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_IF_REQUESTED,
                        1, 30000, nullptr);
}

int fullReport(const QString& logFile, const QString& outDir)
{
    Store s(logFile);
    test::RecordingSurface surface;
    test::RecordingShell shell;
    test::FakeReportWindow window;
    window.settings = {outDir, QStringLiteral("Bench"), QStringLiteral("Less paper.")};
    LogReports reports(*s.store, surface, shell, window);
    reports.GenerateLogFullReport(true);
    return QFile::exists(outDir + QStringLiteral("/HLV_LogFullReport.html")) ? 0 : 1;
}

int fillCups(const QString& server, const QString& queue, int count)
{
    // The job requests name the printer through the default server.
    cupsSetServer(server.toUtf8().constData());
    http_t* http = connectTo(server);
    if (!http) {
        return 1;
    }
    const QByteArray name = queue.toUtf8();
    cups_option_t* options = nullptr;
    int optionCount = cupsAddOption("job-hold-until", "indefinite", 0, &options);
    int made = 0;
    for (int i = 0; i < count; ++i) {
        const QByteArray title = QStringLiteral("bench document %1").arg(i).toUtf8();
        if (cupsPrintFile2(http, name.constData(), "/etc/hostname", title.constData(), optionCount, options) > 0) {
            ++made;
        }
    }
    if (made < count) {
        std::fprintf(stderr, "bench_ops: %s\n", cupsLastErrorString());
    }
    cupsFreeOptions(optionCount, options);
    httpClose(http);
    figure("jobs_made", made);
    return made == count ? 0 : 1;
}

int jobList(const QString& server, int runs)
{
    CupsPrintSystem system;
    QString error;
    auto connection = system.connect(server, &error);
    if (!connection) {
        std::fprintf(stderr, "bench_ops: %s\n", qPrintable(error));
        return 1;
    }
    QList<double> times;
    qsizetype jobs = 0;
    for (int i = 0; i < runs; ++i) {
        QList<PrintJobInfo> list;
        QElapsedTimer clock;
        clock.start();
        if (!connection->jobs(list)) {
            return 1;
        }
        times.append(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        jobs = list.size();
    }
    std::sort(times.begin(), times.end());
    figure("jobs", static_cast<double>(jobs));
    figure("ms", times.at(times.size() / 2));
    return 0;
}

// The anchor of a job list reading: the same Get-Jobs request, its whole answer read into
// memory in large blocks and parsed from there.
int jobListAnchor(const QString& server, int runs)
{
    http_t* http = connectTo(server);
    if (!http) {
        return 1;
    }
    const QByteArray host = server.section(QLatin1Char(':'), 0, 0).toUtf8();
    const int port = server.section(QLatin1Char(':'), 1, 1).toInt();
    char uri[HTTP_MAX_URI];
    httpAssembleURI(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, host.constData(), port, "/");
    QList<double> times;
    int jobs = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        ipp_t* request = ippNewRequest(IPP_OP_GET_JOBS);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "not-completed");
        ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                      cupsattr::count(cupsattr::kJob), nullptr, cupsattr::kJob);
        if (cupsSendRequest(http, request, "/", ippLength(request)) != HTTP_STATUS_CONTINUE) {
            ippDelete(request);
            return 1;
        }
        http_status_t status;
        while ((status = httpUpdate(http)) == HTTP_STATUS_CONTINUE) {
        }
        QByteArray body;
        char block[65536];
        ssize_t got;
        while ((got = httpRead2(http, block, sizeof(block))) > 0) {
            body.append(block, got);
        }
        ippDelete(request);
        struct Reader
        {
            const QByteArray* data;
            qsizetype at = 0;
        } reader{&body};
        ipp_t* response = ippNew();
        ippReadIO(
            &reader,
            [](void* context, ipp_uchar_t* buffer, size_t bytes) -> ssize_t {
                auto* r = static_cast<Reader*>(context);
                const auto n = std::min<qsizetype>(static_cast<qsizetype>(bytes), r->data->size() - r->at);
                std::copy_n(r->data->constData() + r->at, n, reinterpret_cast<char*>(buffer));
                r->at += n;
                return n;
            },
            1, nullptr, response);
        jobs = 0;
        for (ipp_attribute_t* a = ippFindAttribute(response, "job-id", IPP_TAG_INTEGER); a;
             a = ippFindNextAttribute(response, "job-id", IPP_TAG_INTEGER)) {
            ++jobs;
        }
        ippDelete(response);
        times.append(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        Q_UNUSED(status);
    }
    httpClose(http);
    std::sort(times.begin(), times.end());
    figure("jobs", jobs);
    figure("ms", times.at(times.size() / 2));
    return 0;
}

std::unique_ptr<JobMonitorClient> startMonitor(const QString& server, bool* connected)
{
    JobMonitorClientOptions options;
    options.programName = QString::fromLatin1(kJobMonitorBuild.programName);
    options.classId = QString::fromLatin1(kJobMonitorBuild.classId);
    options.programDir = QCoreApplication::applicationDirPath();
    QString error;
    auto client = JobMonitorClient::create(options, &error);
    if (!client) {
        std::fprintf(stderr, "bench_ops: cannot start the monitor: %s\n", qPrintable(error));
        return nullptr;
    }
    QObject::connect(client.get(), &JobMonitorClient::ConnectEvent, [connected](const QString& text) {
        if (text == QStringLiteral("Connected")) {
            *connected = true;
        }
    });
    client->StartMonitor(server);
    return client;
}

int monitorStart(const QString& server)
{
    QElapsedTimer clock;
    clock.start();
    bool connected = false;
    auto client = startMonitor(server, &connected);
    if (!client || !waitFor([&] { return connected; }, 120000)) {
        return 1;
    }
    figure("ms", static_cast<double>(clock.nsecsElapsed()) / 1e6);
    client->StopMonitor();
    client->EndServer(QDeadlineTimer(1500));
    return 0;
}

double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QString text = QString::fromLatin1(stat.readAll());
    // Fields after the command's closing parenthesis; utime and stime are the 12th and 13th.
    const QStringList fields = text.mid(text.lastIndexOf(QLatin1Char(')')) + 2).split(QLatin1Char(' '));
    if (fields.size() < 13) {
        return 0;
    }
    return (fields.at(11).toDouble() + fields.at(12).toDouble()) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

int monitorIdle(const QString& server, int seconds)
{
    bool connected = false;
    auto client = startMonitor(server, &connected);
    if (!client || !waitFor([&] { return connected; }, 120000)) {
        return 1;
    }
    // Settle after the first reading, then measure.
    waitFor([] { return false; }, 1500);
    const double before = cpuSeconds(client->serverPid());
    QElapsedTimer clock;
    clock.start();
    waitFor([] { return false; }, seconds * 1000);
    const double after = cpuSeconds(client->serverPid());
    figure("cpu_percent", 100.0 * (after - before) / (static_cast<double>(clock.nsecsElapsed()) / 1e9));
    client->StopMonitor();
    client->EndServer(QDeadlineTimer(1500));
    return 0;
}

int monitorBusy(const QString& server, const QString& queue, int seconds, qint64 cupsdPid, bool withMonitor)
{
    CupsPrintSystem system;
    QString error;
    auto connection = system.connect(server, &error);
    QList<PrintJobInfo> jobs;
    if (!connection || !connection->queueJobs(queue, jobs)) {
        std::fprintf(stderr, "bench_ops: %s\n", qPrintable(error));
        return 1;
    }
    QList<qint64> held;
    for (const PrintJobInfo& job : std::as_const(jobs)) {
        if (job.StatusMask == JobStatus::Paused) {
            held.append(job.JobId);
        }
    }
    bool connected = !withMonitor;
    std::unique_ptr<JobMonitorClient> client;
    if (withMonitor) {
        client = startMonitor(server, &connected);
        if (!client || !waitFor([&] { return connected; }, 120000)) {
            return 1;
        }
        waitFor([] { return false; }, 1500);
    }
    const qint64 monitorPid = client ? client->serverPid() : 0;
    const double monitorBefore = client ? cpuSeconds(monitorPid) : 0;
    const double cupsdBefore = cpuSeconds(cupsdPid);
    QElapsedTimer clock;
    clock.start();
    int released = 0;
    QTimer printer;
    QObject::connect(&printer, &QTimer::timeout, [&] {
        if (released < held.size() && connection->resumeJob(queue, held.at(released))) {
            ++released;
        }
    });
    printer.start(300);
    waitFor([] { return false; }, seconds * 1000);
    printer.stop();
    const double elapsed = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    if (client) {
        figure("monitor_cpu_percent", 100.0 * (cpuSeconds(monitorPid) - monitorBefore) / elapsed);
    }
    figure("cupsd_cpu_percent", 100.0 * (cpuSeconds(cupsdPid) - cupsdBefore) / elapsed);
    figure("printed_per_second", released / elapsed);
    if (client) {
        client->StopMonitor();
        client->EndServer(QDeadlineTimer(1500));
    }
    return 0;
}

int fillSim(const QString& dir, const QString& server, const QString& queue, int count)
{
    QString error;
    auto store = sim::SimPrintStore::create(dir, server, server, &error);
    if (!store) {
        std::fprintf(stderr, "bench_ops: %s\n", qPrintable(error));
        return 1;
    }
    sim::NewQueue q;
    q.name = queue;
    if (!store->addQueue(q).ok) {
        return 1;
    }
    for (int i = 0; i < count; ++i) {
        sim::NewJob job;
        job.queue = queue;
        job.document = QStringLiteral("bench document %1").arg(i);
        job.owner = QStringLiteral("bench");
        job.host = QStringLiteral("ws");
        job.pages = 1;
        job.size = 100;
        job.submitted = QDateTime::currentDateTime();
        qint64 id = 0;
        if (!store->addJob(job, id).ok) {
            return 1;
        }
    }
    return 0;
}

// Runs the event loop until condition holds (looked at every 10 ms) or the deadline
// passes, sleeping meanwhile: a loop that spun would count as the console's processor time.
bool waitQuietly(const std::function<bool()>& condition, int timeoutMs)
{
    if (condition()) {
        return true;
    }
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (condition()) {
            loop.quit();
        }
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    look.start(10);
    loop.exec();
    return condition();
}

// The longest gap between the ticks of a 5 ms timer while it runs: the window's longest
// stall.
class StallMeter
{
public:
    StallMeter()
    {
        QObject::connect(&m_beat, &QTimer::timeout, [this] { m_longest = std::max(m_longest, m_gap.restart()); });
    }
    void start()
    {
        m_gap.start();
        m_beat.start(5);
    }
    qint64 stop()
    {
        m_beat.stop();
        return m_longest = std::max(m_longest, m_gap.elapsed());
    }

private:
    QTimer m_beat;
    QElapsedTimer m_gap;
    qint64 m_longest = 0;
};

// The console's main window over a print system, its settings and log in a temporary
// folder, showing queue of server; with a job monitor watching when monitorSystem names
// the print system the monitor's process uses.
struct Console
{
    Console(PrintSystem& printSystem, const QString& server, const QString& queue, const QString& monitorSystem)
    {
        env.appDataPath = dir.filePath(QStringLiteral("appdata"));
        env.tempPath = dir.filePath(QStringLiteral("temp"));
        QDir().mkpath(env.appDataPath);
        QDir().mkpath(env.tempPath);
        QFile ini(env.appDataPath + QStringLiteral("/hlv.ini"));
        if (ini.open(QIODevice::WriteOnly)) {
            ini.write(QStringLiteral("[Halvern]\nServer=%1\nQueue=%2\nAudit=True\nStartMax=False\n")
                          .arg(server, queue)
                          .toUtf8());
        }
        ini.close();
        context = std::make_unique<ConsoleContext>(printSystem, dialogs, shell, clock, env,
                                                   monitorSystem.isEmpty() ? static_cast<ProcessControl&>(fakeProcesses)
                                                                           : processes);
        context->templatePath = QCoreApplication::applicationDirPath() + QStringLiteral("/hlv.mdb");
        context->programDir = QCoreApplication::applicationDirPath();
        context->startJobMonitor = !monitorSystem.isEmpty();
        if (!monitorSystem.isEmpty()) {
            QProcessEnvironment monitorEnv = QProcessEnvironment::systemEnvironment();
            monitorEnv.insert(QStringLiteral("HLV_PRINT_SYSTEM"), monitorSystem);
            context->monitorEnvironment = monitorEnv;
        }
        window = std::make_unique<FrmMain>(*context);
        Task<void> load = window->Form_Load();
        waitFor([&load] { return load.done(); }, 600000);
        // The measured action alone: no polling tick reads the queue meanwhile.
        window->Timer2.stop();
    }
    ~Console()
    {
        // The shutdown ends the monitor's process, as the console's own does.
        window->close();
    }
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;
    // Whether the monitor (when one was asked for) has connected.
    bool connected(bool monitor)
    {
        return !monitor ||
               waitQuietly(
                   [this] { return window->ServerStatus->text().startsWith(QStringLiteral("Server Connected")); },
                   120000);
    }

    QTemporaryDir dir;
    test::FakeEnvironment env;
    test::ScriptedDialogs dialogs;
    test::RecordingShell shell;
    test::FakeClock clock;
    test::FakeProcessControl fakeProcesses;
    LinuxProcessControl processes;
    std::unique_ptr<ConsoleContext> context;
    std::unique_ptr<FrmMain> window;
};

void consoleFigures(qint64 stallMs, qint64 wallMs, double cpu, int jobs)
{
    figure("stall_ms", static_cast<double>(stallMs));
    figure("wall_ms", static_cast<double>(wallMs));
    figure("cpu_ms_per_job", 1000.0 * cpu / std::max(1, jobs));
}

// The console shown on a simulated queue of count jobs; Delete All is run from the event
// loop while a 5 ms timer notes the longest gap between its ticks (the window's longest
// stall). With the monitor, the action ends when its events have emptied the list.
int deleteAll(int count, bool withMonitor)
{
    QTemporaryDir dir;
    const QString sim = dir.filePath(QStringLiteral("sim"));
    QDir().mkpath(sim);
    if (fillSim(sim, QStringLiteral("bench"), QStringLiteral("Laser"), count) != 0) {
        return 1;
    }
    SimPrintSystem printSystem(sim);
    Console console(printSystem, QStringLiteral("bench"), QStringLiteral("Laser"),
                    withMonitor ? QStringLiteral("sim:") + sim : QString());
    FrmMain& window = *console.window;
    if (!console.connected(withMonitor) || window.JobList->rowCount() != count) {
        std::fprintf(stderr, "bench_ops: %d jobs listed, %d expected\n", window.JobList->rowCount(), count);
        return 1;
    }

    StallMeter stall;
    QElapsedTimer whole;
    std::optional<Task<void>> purge;
    double cpuBefore = 0;
    QTimer::singleShot(20, [&] {
        cpuBefore = cpuSeconds(QCoreApplication::applicationPid());
        whole.start();
        purge.emplace(window.PurgeAllJobs(true));
    });
    stall.start();
    const bool ended = waitQuietly(
        [&] { return purge && purge->done() && (!withMonitor || window.JobList->rowCount() == 0); }, 600000);
    const qint64 wall = whole.elapsed();
    const double cpu = cpuSeconds(QCoreApplication::applicationPid()) - cpuBefore;
    consoleFigures(stall.stop(), wall, cpu, count);
    return ended ? 0 : 1;
}

// The console on a CUPS queue, its monitor on, while every job of the queue is cancelled
// from outside with one `cancel -a`.
int cancelOutside(const QString& server, const QString& queue)
{
    CupsPrintSystem printSystem;
    Console console(printSystem, server, queue, QStringLiteral("cups"));
    FrmMain& window = *console.window;
    const int count = window.JobList->rowCount();
    if (!console.connected(true) || count == 0) {
        std::fprintf(stderr, "bench_ops: no monitor or no jobs listed\n");
        return 1;
    }
    StallMeter stall;
    QProcess cancel;
    stall.start();
    const double cpuBefore = cpuSeconds(QCoreApplication::applicationPid());
    QElapsedTimer whole;
    whole.start();
    cancel.start(QStringLiteral("cancel"), {QStringLiteral("-h"), server, QStringLiteral("-a"), queue});
    const bool ended =
        waitQuietly([&] { return cancel.state() == QProcess::NotRunning && window.JobList->rowCount() == 0; }, 600000);
    const qint64 wall = whole.elapsed();
    const double cpu = cpuSeconds(QCoreApplication::applicationPid()) - cpuBefore;
    consoleFigures(stall.stop(), wall, cpu, count);
    figure("jobs", count);
    return ended && cancel.exitCode() == 0 ? 0 : 1;
}

int monitorLatency(const QString& server, const QString& queue, int changes)
{
    QProcess lp;
    lp.start(QStringLiteral("lp"),
             {QStringLiteral("-h"), server, QStringLiteral("-d"), queue, QStringLiteral("-H"), QStringLiteral("hold"),
              QStringLiteral("-t"), QStringLiteral("latency"), QStringLiteral("/etc/hostname")});
    if (!lp.waitForFinished(30000) || lp.exitCode() != 0) {
        return 1;
    }
    // "request id is bench-12 (1 file(s))"
    const QString job = QString::fromUtf8(lp.readAllStandardOutput()).section(QLatin1Char(' '), 3, 3);
    bool connected = false;
    auto client = startMonitor(server, &connected);
    if (!client || !waitFor([&] { return connected; }, 120000)) {
        return 1;
    }
    int events = 0;
    QElapsedTimer clock;
    clock.start();
    qint64 lastEventAt = 0;
    QObject::connect(client.get(), &JobMonitorClient::JobEvent, [&] {
        ++events;
        lastEventAt = clock.nsecsElapsed();
    });
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> phase(0, 1000);
    QList<double> latencies;
    for (int i = 0; i < changes; ++i) {
        // A random moment within a second; the events of the previous change settle.
        waitFor([] { return false; }, phase(random));
        const int before = events;
        QProcess change;
        change.start(QStringLiteral("lp"), {QStringLiteral("-h"), server, QStringLiteral("-i"), job,
                                            QStringLiteral("-q"), QString::number(2 + i % 90)});
        if (!change.waitForFinished(30000) || change.exitCode() != 0) {
            break;
        }
        const qint64 committed = clock.nsecsElapsed();
        if (waitFor([&] { return events > before; }, 10000)) {
            latencies.append(static_cast<double>(lastEventAt - committed) / 1e6);
        } else {
            latencies.append(10000);
        }
    }
    client->StopMonitor();
    client->EndServer(QDeadlineTimer(1500));
    QProcess::execute(QStringLiteral("cancel"), {QStringLiteral("-h"), server, job});
    if (latencies.isEmpty()) {
        return 1;
    }
    std::sort(latencies.begin(), latencies.end());
    const auto at = static_cast<qsizetype>(0.95 * static_cast<double>(latencies.size() - 1) + 0.5);
    figure("p50_ms", latencies.at(latencies.size() / 2));
    figure("p95_ms", latencies.at(at));
    return 0;
}

int widget(int rows)
{
    const QStringList headers = {QStringLiteral("Status"),   QStringLiteral("Description"), QStringLiteral("Computer"),
                                 QStringLiteral("User"),     QStringLiteral("Pages"),       QStringLiteral("Printed"),
                                 QStringLiteral("Priority"), QStringLiteral("Size"),        QStringLiteral("Submitted"),
                                 QStringLiteral("ID"),       QStringLiteral("Name")};
    QList<JobRow> list;
    for (int i = 0; i < rows; ++i) {
        JobRow row;
        row.text = i % 3 ? QStringLiteral("OK") : QStringLiteral("Paused");
        row.icon = 1;
        row.subItems = {QStringLiteral("Document %1").arg((i * 7919) % rows),
                        QStringLiteral("\\\\WS%1").arg(i % 50),
                        QStringLiteral("user%1").arg(i % 70),
                        QString::number(i % 17 + 1),
                        QStringLiteral("0"),
                        QStringLiteral("1"),
                        QStringLiteral("%1KB").arg(i % 900),
                        QStringLiteral("01/02/2026 10:%1").arg(i % 60),
                        QString::number(i),
                        QStringLiteral("Q, %1").arg(i)};
        list.append(row);
    }
    // The best of three fills of each kind, after one fill that is not counted: the first
    // fill of the program pays for drawing the icons and the fonts.
    const auto fillMs = [&](bool sorted) {
        double best = std::numeric_limits<double>::max();
        for (int run = 0; run < 3; ++run) {
            JobListWidget view(headers);
            view.resize(800, 400);
            view.show();
            if (sorted) {
                view.setSortKey(1);
                view.setSortOrder(1);
                view.setSorted(true);
            }
            QElapsedTimer clock;
            clock.start();
            view.addRows(list);
            QCoreApplication::processEvents();
            best = std::min(best, static_cast<double>(clock.nsecsElapsed()) / 1e6);
        }
        return best;
    };
    fillMs(false);
    figure("unsorted_ms", fillMs(false));
    figure("sorted_ms", fillMs(true));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Only the job list needs widgets; the rest runs as a plain program, as light as it can be.
    const QString command = arg(argc, argv, 1);
    std::unique_ptr<QCoreApplication> app;
    if (command == QStringLiteral("widget") || command == QStringLiteral("delete-all") ||
        command == QStringLiteral("cancel-outside")) {
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    if (const int status = bench::logCommand(command, QCoreApplication::arguments().mid(2)); status >= 0) {
        return status;
    }
    if (command == QStringLiteral("report")) {
        return fullReport(arg(argc, argv, 2), arg(argc, argv, 3));
    }
    if (command == QStringLiteral("fill-cups")) {
        return fillCups(arg(argc, argv, 2), arg(argc, argv, 3), arg(argc, argv, 4).toInt());
    }
    if (command == QStringLiteral("joblist")) {
        return jobList(arg(argc, argv, 2), std::max(1, arg(argc, argv, 3).toInt()));
    }
    if (command == QStringLiteral("joblist-anchor")) {
        return jobListAnchor(arg(argc, argv, 2), std::max(1, arg(argc, argv, 3).toInt()));
    }
    if (command == QStringLiteral("job-attributes")) {
        for (int i = 0; i < cupsattr::count(cupsattr::kJob); ++i) {
            std::printf("%s%s", i ? "," : "", cupsattr::kJob[i]);
        }
        std::printf("\n");
        return 0;
    }
    if (command == QStringLiteral("monitor-start")) {
        return monitorStart(arg(argc, argv, 2));
    }
    if (command == QStringLiteral("monitor-idle")) {
        return monitorIdle(arg(argc, argv, 2), std::max(1, arg(argc, argv, 3).toInt()));
    }
    if (command == QStringLiteral("monitor-busy")) {
        return monitorBusy(arg(argc, argv, 2), arg(argc, argv, 3), std::max(1, arg(argc, argv, 4).toInt()),
                           arg(argc, argv, 5).toLongLong(), arg(argc, argv, 6) != QStringLiteral("none"));
    }
    if (command == QStringLiteral("fill-sim")) {
        return fillSim(arg(argc, argv, 2), arg(argc, argv, 3), arg(argc, argv, 4), arg(argc, argv, 5).toInt());
    }
    if (command == QStringLiteral("monitor-latency")) {
        return monitorLatency(arg(argc, argv, 2), arg(argc, argv, 3), std::max(1, arg(argc, argv, 4).toInt()));
    }
    if (command == QStringLiteral("widget")) {
        return widget(std::max(1, arg(argc, argv, 2).toInt()));
    }
    if (command == QStringLiteral("delete-all")) {
        return deleteAll(std::max(1, arg(argc, argv, 2).toInt()), arg(argc, argv, 3) == QStringLiteral("monitor"));
    }
    if (command == QStringLiteral("cancel-outside")) {
        return cancelOutside(arg(argc, argv, 2), arg(argc, argv, 3));
    }
    std::fprintf(stderr, "usage: see the head of bench/BenchOps.cpp\n");
    return 2;
}
