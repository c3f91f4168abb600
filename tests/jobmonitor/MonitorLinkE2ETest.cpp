// The real server programs on a simulated print server, changed through the simulator tool.

#include <csignal>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/types.h>
#include <unistd.h>

#include "jobmonitor/JobDetailRecord.h"
#include "jobmonitor/MonitorBuilds.h"
#include "jobmonitor/WireProtocol.h"
#include "jobmonitor/client/JobMonitorClient.h"
#include "jobmonitor/client/MonitorBinding.h"
#include "platform/Database.h"
#include "platform/GeneralDate.h"
#include "platform/ProcessControl.h"
#include "support/WaitFor.h"

namespace hlv {
namespace {

using test::waitFor;

const QString kBinDir = QStringLiteral(HLV_BIN_DIR);

// Whether a process still runs (a zombie waiting for its parent counts as ended).
bool processAlive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close < 0 || text.mid(close + 2, 1) != "Z";
}

// The running (not zombie) children of this test process with that program name.
QList<qint64> liveChildrenNamed(const QString& name)
{
    QList<qint64> found;
    LinuxProcessControl processes;
    QList<ProcessEntry> list;
    if (!processes.listProcesses(list)) {
        return found;
    }
    const QByteArray me = QByteArray::number(QCoreApplication::applicationPid());
    for (const ProcessEntry& p : std::as_const(list)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(p.pid));
        if (p.name != name || !stat.open(QIODevice::ReadOnly)) {
            continue;
        }
        const QByteArray text = stat.readAll();
        // Fields after the command: state, parent pid, ...
        const QList<QByteArray> rest = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (rest.size() > 1 && rest.at(1) == me && processAlive(p.pid)) {
            found.append(p.pid);
        }
    }
    return found;
}

struct Event
{
    QString kind; // "Connect" or "Job"
    QString text; // connect text or action
    QString record;
};

struct ClientLog
{
    QList<Event> events;

    template <typename Source> void attach(Source* source)
    {
        QObject::connect(source, &Source::ConnectEvent, [this](const QString& text) {
            events.append({QStringLiteral("Connect"), text, {}});
        });
        QObject::connect(source, &Source::JobEvent, [this](const QString& action, const QString& record) {
            events.append({QStringLiteral("Job"), action, record});
        });
    }
    bool has(const QString& text) const
    {
        return std::any_of(events.cbegin(), events.cend(), [&](const Event& e) { return e.text == text; });
    }
    QStringList texts() const
    {
        QStringList out;
        for (const Event& e : events) {
            out << e.text;
        }
        return out;
    }
    const Event* last(const QString& text) const
    {
        for (auto it = events.crbegin(); it != events.crend(); ++it) {
            if (it->text == text) {
                return &*it;
            }
        }
        return nullptr;
    }
};

class MonitorLinkE2E : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QFile::exists(QDir(kBinDir).filePath(QStringLiteral("hlv-printsim"))));
        printsim({QStringLiteral("add-server"), QStringLiteral("srv")});
        printsim({QStringLiteral("add-queue"), QStringLiteral("srv"), QStringLiteral("Laser")});
    }

    // Runs the simulator tool on the test's folder; returns its output, trimmed.
    QString printsim(const QStringList& args)
    {
        QProcess tool;
        tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        tool.start(QDir(kBinDir).filePath(QStringLiteral("hlv-printsim")), QStringList{dir.path()} + args);
        const bool done = tool.waitForFinished(30000);
        EXPECT_TRUE(done && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0)
            << "hlv-printsim " << args.join(QLatin1Char(' ')).toStdString();
        return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
    }

    // Holds the simulated server's file locked, so that a monitor reading it gets stuck
    // there until the returned connection rolls back; null when the lock cannot be taken.
    std::unique_ptr<Database> lockServerFile() const
    {
        auto lock = Database::open(dir.filePath(QStringLiteral("srv.sqlite")));
        if (!lock || !lock->exec(QStringLiteral("PRAGMA locking_mode = EXCLUSIVE")) || !lock->begin(true) ||
            !lock->exec(QStringLiteral("CREATE TABLE hold_the_lock(x)"))) {
            return nullptr;
        }
        return lock;
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HLV_PRINT_SYSTEM"), QStringLiteral("sim:") + dir.path());
        return env;
    }

    JobMonitorClientOptions options(const MonitorBuild& build = kJobMonitorBuild) const
    {
        JobMonitorClientOptions o;
        o.programName = QString::fromLatin1(build.programName);
        o.classId = QString::fromLatin1(build.classId);
        o.programDir = kBinDir;
        o.environment = environment();
        return o;
    }

    std::unique_ptr<JobMonitorClient> startClient(ClientLog& log, const MonitorBuild& build = kJobMonitorBuild)
    {
        QString error;
        auto client = JobMonitorClient::create(options(build), &error);
        EXPECT_TRUE(client) << error.toStdString();
        if (client) {
            log.attach(client.get());
        }
        return client;
    }

    QString addJob(const QString& document, const QStringList& more = {})
    {
        return printsim(QStringList{QStringLiteral("add-job"), QStringLiteral("srv"), QStringLiteral("Laser"),
                                    QStringLiteral("--document"), document, QStringLiteral("--owner"),
                                    QStringLiteral("alice"), QStringLiteral("--host"), QStringLiteral("ws01"),
                                    QStringLiteral("--pages"), QStringLiteral("4"), QStringLiteral("--size"),
                                    QStringLiteral("5000")} +
                        more);
    }

    QTemporaryDir dir;
};

TEST_F(MonitorLinkE2E, JobAddedChangedRemoved_NewModifiedDeletedWithRecords)
{
    ClientLog log;
    auto client = startClient(log);
    ASSERT_TRUE(client);
    EXPECT_EQ(client->fileVersion(), QStringLiteral("1.00.0005"));
    client->StartMonitor(QStringLiteral("srv"));
    ASSERT_TRUE(waitFor([&] { return log.has(QStringLiteral("Connected")); }));

    const QDateTime before = QDateTime::currentDateTime().addSecs(-2);
    const QString id = addJob(QStringLiteral("quarterly.pdf"), {QStringLiteral("--priority"), QStringLiteral("7")});
    ASSERT_FALSE(id.isEmpty());
    ASSERT_TRUE(waitFor([&] { return log.has(QStringLiteral("New")); }));

    printsim({QStringLiteral("set-job"), QStringLiteral("srv"), id, QStringLiteral("--pages-printed"),
              QStringLiteral("2"), QStringLiteral("--status-mask"), QStringLiteral("16"), QStringLiteral("--priority"),
              QStringLiteral("9")});
    ASSERT_TRUE(waitFor([&] {
        const Event* m = log.last(QStringLiteral("Modified"));
        return m && m->record.startsWith(QStringLiteral("16|")) && m->record.contains(QStringLiteral("|4|2|9|"));
    }));
    printsim({QStringLiteral("remove-job"), QStringLiteral("srv"), id});
    ASSERT_TRUE(waitFor([&] { return log.has(QStringLiteral("Deleted")); }));

    // Order: Connected, New, one or more Modified, Deleted.
    const QStringList texts = log.texts();
    ASSERT_GE(texts.size(), 4);
    EXPECT_EQ(texts.at(0), QStringLiteral("Connected"));
    EXPECT_EQ(texts.at(1), QStringLiteral("New"));
    EXPECT_EQ(texts.last(), QStringLiteral("Deleted"));
    for (qsizetype i = 2; i + 1 < texts.size(); ++i) {
        EXPECT_EQ(texts.at(i), QStringLiteral("Modified"));
    }

    const QStringList created = log.last(QStringLiteral("New"))->record.split(QLatin1Char('|'));
    ASSERT_EQ(created.size(), 12);
    EXPECT_EQ(created.at(1), QStringLiteral("quarterly.pdf"));
    EXPECT_EQ(created.at(2), QStringLiteral("\\\\ws01"));
    EXPECT_EQ(created.at(3), QStringLiteral("alice"));
    EXPECT_EQ(created.at(4), QStringLiteral("Laser"));
    EXPECT_EQ(created.at(5), QStringLiteral("4"));
    EXPECT_EQ(created.at(6), QStringLiteral("0"));
    EXPECT_EQ(created.at(7), QStringLiteral("7"));
    EXPECT_EQ(created.at(8), QStringLiteral("4KB"));
    const QDateTime submitted = parseGeneralDate(created.at(9));
    ASSERT_TRUE(submitted.isValid()) << created.at(9).toStdString();
    EXPECT_GE(submitted, before);
    EXPECT_LE(submitted, QDateTime::currentDateTime().addSecs(2));
    EXPECT_EQ(created.at(10), id);
    EXPECT_EQ(created.at(11), QStringLiteral("Laser, ") + id);

    // The deletion carries the job as last seen, not as first seen.
    const QString lastModified = log.last(QStringLiteral("Modified"))->record;
    EXPECT_EQ(log.last(QStringLiteral("Deleted"))->record, lastModified);
    const QStringList gone = lastModified.split(QLatin1Char('|'));
    ASSERT_EQ(gone.size(), 12);
    EXPECT_EQ(gone.at(0), QStringLiteral("16"));
    EXPECT_EQ(gone.at(6), QStringLiteral("2"));
    EXPECT_EQ(gone.at(7), QStringLiteral("9"));
    EXPECT_EQ(gone.at(9), created.at(9));

    client->StopMonitor();
    EXPECT_EQ(log.texts().last(), QStringLiteral("Disconnected"));
}

TEST_F(MonitorLinkE2E, UnreachableServer_ExactlyOneConnectionError)
{
    ClientLog log;
    auto client = startClient(log);
    ASSERT_TRUE(client);
    client->StartMonitor(QStringLiteral("no-such-server"));
    // The server answers in order, so once the stop is answered nothing of the start can follow.
    client->StopMonitor();
    EXPECT_EQ(log.texts(), (QStringList{QStringLiteral("WMI Connection Error"), QStringLiteral("Disconnected")}));
}

TEST_F(MonitorLinkE2E, StopBeforeStart_DisconnectedOnly)
{
    ClientLog log;
    auto client = startClient(log);
    ASSERT_TRUE(client);
    client->StopMonitor();
    EXPECT_EQ(log.texts(), QStringList{QStringLiteral("Disconnected")});
}

TEST_F(MonitorLinkE2E, DocumentWithBarTabAndLineBreak_CrossesIntact)
{
    ClientLog log;
    auto client = startClient(log);
    ASSERT_TRUE(client);
    client->StartMonitor(QStringLiteral("srv"));
    ASSERT_TRUE(waitFor([&] { return log.has(QStringLiteral("Connected")); }));

    const QString document = QStringLiteral("a|b\tc\nd\\e\r");
    const QString id = addJob(document);
    ASSERT_TRUE(waitFor([&] { return log.has(QStringLiteral("New")); }));
    const QString record = log.last(QStringLiteral("New"))->record;
    bool complete = false;
    const QStringList fields = readJobDetailRecord(record, &complete);
    EXPECT_TRUE(complete) << record.toStdString();
    EXPECT_EQ(record.count(QLatin1Char('|')) - record.count(QStringLiteral("\\|")), kJobDetailFieldCount - 1)
        << record.toStdString();
    EXPECT_EQ(fields.at(1), document);
    EXPECT_EQ(fields.at(2), QStringLiteral("\\\\ws01"));
    EXPECT_EQ(fields.last(), QStringLiteral("Laser, ") + id);
}

TEST_F(MonitorLinkE2E, WrongClassId_ServerRefusedAndEnded)
{
    JobMonitorClientOptions o = options();
    o.classId = QString::fromLatin1(kWatchJobBuild.classId);
    QString error;
    EXPECT_EQ(JobMonitorClient::create(o, &error), nullptr);
    EXPECT_TRUE(error.contains(QString::fromLatin1(kJobMonitorBuild.classId))) << error.toStdString();
    // The refused server does not stay behind.
    EXPECT_TRUE(liveChildrenNamed(QString::fromLatin1(kJobMonitorBuild.programName)).isEmpty());
}

TEST_F(MonitorLinkE2E, WatchBuild_AnnouncesItsOwnClassAndVersion)
{
    ClientLog log;
    auto client = startClient(log, kWatchJobBuild);
    ASSERT_TRUE(client);
    EXPECT_EQ(client->fileVersion(), QStringLiteral("1.00.0006"));

    // The console's build does not pass for the watch program's.
    JobMonitorClientOptions o = options(kWatchJobBuild);
    o.programName = QString::fromLatin1(kJobMonitorBuild.programName);
    EXPECT_EQ(JobMonitorClient::create(o), nullptr);
}

TEST_F(MonitorLinkE2E, RawLink_HelloThenServerEndsWhenStdinCloses)
{
    QProcess server;
    server.setProcessEnvironment(environment());
    server.start(QDir(kBinDir).filePath(QString::fromLatin1(kJobMonitorBuild.programName)), {});
    ASSERT_TRUE(server.waitForStarted(10000));
    ASSERT_TRUE(waitFor([&] { return server.canReadLine(); }));
    EXPECT_EQ(server.readLine(), QByteArray("HELLO\t{C02EE862-9F1E-41CE-BD34-A8FB11E03F84}\t1.00.0005\n"));

    server.write("StartMonitor\tsrv\n");
    ASSERT_TRUE(waitFor([&] { return server.canReadLine(); }));
    EXPECT_EQ(server.readLine(), QByteArray("JobList\n"));
    ASSERT_TRUE(waitFor([&] { return server.canReadLine(); }));
    EXPECT_EQ(server.readLine(), QByteArray("ConnectEvent\tConnected\n"));

    // Monitoring is running; the end of stdin alone must end the program (it promises a second;
    // the fault is a program that stays, so a loaded machine gets three).
    QElapsedTimer clock;
    clock.start();
    server.closeWriteChannel();
    ASSERT_TRUE(server.waitForFinished(10000));
    EXPECT_EQ(server.exitStatus(), QProcess::NormalExit);
    EXPECT_LT(clock.elapsed(), 3000);
}

TEST_F(MonitorLinkE2E, ServerStuckOnPrintServer_StillEndsSoonAfterStdinCloses)
{
    // GIVEN a print server that holds every reader: the simulated server's file locked
    // exclusively by this test, so the monitor's reading waits on the lock.
    const auto lock = lockServerFile();
    ASSERT_TRUE(lock);

    QProcess server;
    server.setProcessEnvironment(environment());
    server.start(QDir(kBinDir).filePath(QString::fromLatin1(kJobMonitorBuild.programName)), {});
    ASSERT_TRUE(server.waitForStarted(10000));
    ASSERT_TRUE(waitFor([&] { return server.canReadLine(); }));
    server.readLine();
    server.write("StartMonitor\tsrv\n");
    ASSERT_TRUE(server.waitForBytesWritten(10000));
    // Give the request time to reach the lock; nothing may come back while it waits there.
    EXPECT_FALSE(server.waitForReadyRead(500));

    // WHEN the client goes away THEN the program ends within a second all the same (three on a
    // loaded machine; the fault is a wait for the lock's 10 s time-out).
    QElapsedTimer clock;
    clock.start();
    server.closeWriteChannel();
    ASSERT_TRUE(server.waitForFinished(10000));
    EXPECT_LT(clock.elapsed(), 3000);
    lock->rollback();
}

TEST_F(MonitorLinkE2E, Binding_StopOfAMonitorThatDoesNotAnswer_ProgramKeepsRunning)
{
    // GIVEN a monitor stuck on its print server (the simulated server's file locked by this
    // test), so that it never answers the stop.
    const auto lock = lockServerFile();
    ASSERT_TRUE(lock);
    LinuxProcessControl processes;
    MonitorBinding binding(QString::fromLatin1(kJobMonitorBuild.programName),
                           QString::fromLatin1(kJobMonitorBuild.classId), processes);
    binding.setProgramDir(kBinDir);
    binding.setServerEnvironment(environment());
    binding.StartJobMonitor(QStringLiteral("srv"));
    ASSERT_NE(binding.mwcmnMonitor(), nullptr);
    const qint64 pid = binding.mwcmnMonitor()->serverPid();

    // WHEN it is stopped THEN the program's own timers go on firing while the stop waits,
    // and releasing the monitor does not wait for its server to end.
    int ticks = 0;
    QTimer heartbeat;
    QObject::connect(&heartbeat, &QTimer::timeout, [&ticks] { ++ticks; });
    heartbeat.start(50);
    QElapsedTimer clock;
    clock.start();
    binding.StopJobMonitor();
    const qint64 stopped = clock.elapsed();
    EXPECT_EQ(binding.mwcmnMonitor(), nullptr);
    EXPECT_GE(ticks, static_cast<int>(stopped / 50 / 2)) << "stop took " << stopped << " ms";
    EXPECT_GE(ticks, 10);
    // Releasing it must not wait for the stuck server to end (seconds); a loaded machine may
    // take a good part of a second to reap what it can.
    clock.restart();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_LT(clock.elapsed(), 1000);

    // The server is ended all the same.
    EXPECT_TRUE(waitFor([&] { return !processAlive(pid); }, 10000));
    lock->rollback();
}

// A monitor started while another is being stopped (the operator searches again while the
// stop waits) keeps its server: the kill that ends a stop ends only the stopped one's.
TEST_F(MonitorLinkE2E, Binding_MonitorStartedDuringAStop_KeepsItsServer)
{
    const auto lock = lockServerFile();
    ASSERT_TRUE(lock);
    LinuxProcessControl processes;
    MonitorBinding binding(QString::fromLatin1(kJobMonitorBuild.programName),
                           QString::fromLatin1(kJobMonitorBuild.classId), processes);
    binding.setProgramDir(kBinDir);
    binding.setServerEnvironment(environment());
    binding.StartJobMonitor(QStringLiteral("srv"));
    ASSERT_NE(binding.mwcmnMonitor(), nullptr);
    const qint64 first = binding.mwcmnMonitor()->serverPid();

    qint64 second = 0;
    QTimer::singleShot(200, [&] {
        binding.StartJobMonitor(QStringLiteral("srv"));
        second = binding.mwcmnMonitor() ? binding.mwcmnMonitor()->serverPid() : 0;
    });
    binding.StopJobMonitor();
    ASSERT_GT(second, 0);
    ASSERT_NE(binding.mwcmnMonitor(), nullptr);
    EXPECT_EQ(binding.mwcmnMonitor()->serverPid(), second);
    EXPECT_TRUE(waitFor([&] { return !processAlive(first); }, 10000));
    EXPECT_TRUE(processAlive(second)) << "the new monitor's server was ended with the old one";
    lock->rollback();
}

TEST_F(MonitorLinkE2E, ClientKilled_NoMonitorProcessLeft)
{
    QProcess probe;
    probe.setProcessEnvironment(environment());
    probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    probe.start(QStringLiteral(HLV_BINARY_DIR "/tests/monitor_client_probe"), {kBinDir, QStringLiteral("srv")});
    ASSERT_TRUE(probe.waitForStarted(10000));
    ASSERT_TRUE(waitFor([&] { return probe.canReadLine(); }));
    const qint64 monitorPid = probe.readLine().trimmed().toLongLong();
    ASSERT_GT(monitorPid, 0);
    ASSERT_TRUE(processAlive(monitorPid));
    EXPECT_EQ(LinuxProcessControl::processName(QStringLiteral("/proc/%1").arg(monitorPid)),
              QString::fromLatin1(kJobMonitorBuild.programName));

    probe.kill(); // SIGKILL: the client gets no chance to release its server
    ASSERT_TRUE(probe.waitForFinished(10000));
    EXPECT_TRUE(waitFor([&] { return !processAlive(monitorPid); }, 10000))
        << "job monitor " << monitorPid << " outlived its client";
    if (processAlive(monitorPid)) {
        ::kill(static_cast<pid_t>(monitorPid), SIGKILL);
    }
}

TEST_F(MonitorLinkE2E, Binding_StopEndsOwnServerOnly_OtherInstanceKeepsMonitoring)
{
    LinuxProcessControl processes;
    MonitorBinding first(QString::fromLatin1(kJobMonitorBuild.programName),
                         QString::fromLatin1(kJobMonitorBuild.classId), processes);
    MonitorBinding second(QString::fromLatin1(kJobMonitorBuild.programName),
                          QString::fromLatin1(kJobMonitorBuild.classId), processes);
    ClientLog firstLog;
    ClientLog secondLog;
    firstLog.attach(&first);
    secondLog.attach(&second);
    for (MonitorBinding* b : {&first, &second}) {
        b->setProgramDir(kBinDir);
        b->setServerEnvironment(environment());
        b->StartJobMonitor(QStringLiteral("srv"));
        ASSERT_NE(b->mwcmnMonitor(), nullptr);
    }
    ASSERT_TRUE(waitFor(
        [&] { return firstLog.has(QStringLiteral("Connected")) && secondLog.has(QStringLiteral("Connected")); }));
    const qint64 firstPid = first.mwcmnMonitor()->serverPid();
    const qint64 secondPid = second.mwcmnMonitor()->serverPid();
    EXPECT_EQ(first.startedProcesses(), QSet<qint64>{firstPid});

    first.StopJobMonitor();
    EXPECT_EQ(first.mwcmnMonitor(), nullptr);
    EXPECT_EQ(firstLog.texts().last(), QStringLiteral("Disconnected"));
    EXPECT_TRUE(waitFor([&] { return !processAlive(firstPid) && first.startedProcesses().isEmpty(); }));

    // The other instance's monitor still runs and still reports.
    EXPECT_TRUE(processAlive(secondPid));
    addJob(QStringLiteral("still watched"));
    EXPECT_TRUE(waitFor([&] { return secondLog.has(QStringLiteral("New")); }));
    EXPECT_FALSE(firstLog.has(QStringLiteral("New")));

    // Ending by name without a stop (as at shutdown) ends only what this instance started.
    second.KillProcess(QStringLiteral("hlvjobmonitor"));
    EXPECT_TRUE(waitFor([&] { return !processAlive(secondPid); }));
}

TEST_F(MonitorLinkE2E, Binding_StartAgain_ReplacesMonitorAndEndsOldServer)
{
    LinuxProcessControl processes;
    MonitorBinding binding(QString::fromLatin1(kJobMonitorBuild.programName),
                           QString::fromLatin1(kJobMonitorBuild.classId), processes);
    binding.setProgramDir(kBinDir);
    binding.setServerEnvironment(environment());
    ClientLog log;
    log.attach(&binding);
    binding.StartJobMonitor(QStringLiteral("srv"));
    ASSERT_NE(binding.mwcmnMonitor(), nullptr);
    const qint64 oldPid = binding.mwcmnMonitor()->serverPid();
    binding.StartJobMonitor(QStringLiteral("no-such-server"));
    ASSERT_NE(binding.mwcmnMonitor(), nullptr);
    EXPECT_NE(binding.mwcmnMonitor()->serverPid(), oldPid);
    ASSERT_TRUE(waitFor([&] { return log.has(QStringLiteral("WMI Connection Error")); }));
    EXPECT_TRUE(waitFor([&] { return !processAlive(oldPid); }));
    EXPECT_EQ(binding.startedProcesses(), QSet<qint64>{binding.mwcmnMonitor()->serverPid()});
}

} // namespace
} // namespace hlv
