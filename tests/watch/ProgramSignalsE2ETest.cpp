#include <csignal>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "WatchTestSupport.h"
#include "platform/print/SimPrintStore.h"
#include "support/ToolProcess.h"
#include "support/WaitFor.h"

namespace hlv::test {
namespace {

// One line of /proc/PID/status, after its name and colon.
QByteArray statusField(qint64 pid, const QByteArray& name)
{
    for (const QByteArray& line : fileBytes(QStringLiteral("/proc/%1/status").arg(pid)).split('\n')) {
        if (line.startsWith(name + ':')) {
            return line.mid(name.size() + 1).trimmed();
        }
    }
    return {};
}

// Whether the process has its own handler for the signal.
bool catches(qint64 pid, int signalNumber)
{
    bool ok = false;
    const qulonglong mask = statusField(pid, "SigCgt").toULongLong(&ok, 16);
    return ok && (mask >> (signalNumber - 1) & 1U) != 0;
}

// The processor time the process has used, in clock ticks.
qint64 cpuTicks(qint64 pid)
{
    const QByteArray stat = fileBytes(QStringLiteral("/proc/%1/stat").arg(pid));
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields.at(11).toLongLong() + fields.at(12).toLongLong() : -1;
}

// The first child process of parent whose name starts with the given name; 0 when none.
qint64 childNamed(qint64 parent, const QByteArray& name)
{
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (number && statusField(pid, "PPid").toLongLong() == parent && statusField(pid, "Name").startsWith(name)) {
            return pid;
        }
    }
    return 0;
}

bool gone(qint64 pid)
{
    return !QFile::exists(QStringLiteral("/proc/%1").arg(pid));
}

struct Program
{
    const char* name;
    const char* executable;
    const char* monitor;
    const char* iniName;
    const char* iniText;   // StartWatching is added for the moments after start-up
    const char* savedMark; // a key that only the shutdown's save writes into iniText
};

const Program kPrograms[] = {
    {"console", "hlv", "HlvJobMonitor", "hlv.ini",
     "[Halvern]\r\nServer=PS1\r\nQueue=Sales\r\nStartMax=False\r\nAudit=True\r\n", "ColumnWidths="},
    {"watch", "HlvWatch", "HlvWatch_Job", "hlvw.ini",
     "[Halvern]\r\nServer=PS1\r\nWatchJobs=True\r\nJobsCSVfile=@/jobs.csv\r\nHLVDatabase=@/watch.mdb\r\n"
     "JobDatabase=True\r\n",
     "StartMinimised="},
};

enum class Moment { StartUp, Idle, Busy, StartBox };

// The two programs themselves, ended by each signal of a logout, a kill and Ctrl+C while
// they start, while they wait, while a burst of job changes keeps them busy, and (the watch
// program) while its start-up waits in a box for the operator: each ends
// through its normal shutdown (exit status 0, the settings saved, its job monitor ended, its
// records complete).
TEST(ProgramSignalsE2E, EachSignalAtEachMoment_EndsThroughTheNormalShutdown)
{
    const struct
    {
        const char* name;
        int number;
    } signalsSent[] = {{"SIGTERM", SIGTERM}, {"SIGHUP", SIGHUP}, {"SIGINT", SIGINT}};
    const struct
    {
        const char* name;
        Moment moment;
    } moments[] = {{"start-up", Moment::StartUp},
                   {"idle", Moment::Idle},
                   {"busy", Moment::Busy},
                   {"start-up box", Moment::StartBox}};

    for (const Program& program : kPrograms) {
        for (const auto& sent : signalsSent) {
            for (const auto& at : moments) {
                const bool watch = QLatin1String(program.name) == QLatin1String("watch");
                if (at.moment == Moment::StartBox && !watch) {
                    continue;
                }
                SCOPED_TRACE(QStringLiteral("%1, %2, %3")
                                 .arg(QLatin1String(program.name), QLatin1String(sent.name), QLatin1String(at.name))
                                 .toStdString());
                QTemporaryDir dir;
                ASSERT_TRUE(dir.isValid());
                const QString appData = dir.filePath(QStringLiteral("appdata"));
                const QString temp = dir.filePath(QStringLiteral("temp"));
                const QString servers = dir.filePath(QStringLiteral("servers"));
                for (const QString& folder : {appData, temp, servers}) {
                    ASSERT_TRUE(QDir().mkpath(folder));
                }
                QString error;
                const auto store =
                    sim::SimPrintStore::create(servers, QStringLiteral("PS1"), QStringLiteral("PS1"), &error);
                ASSERT_TRUE(store) << error.toStdString();
                sim::NewQueue queue;
                queue.name = QStringLiteral("Sales");
                ASSERT_TRUE(store->addQueue(queue).ok);

                const QString iniPath = appData + QLatin1Char('/') + QLatin1String(program.iniName);
                QString iniText = QString::fromLatin1(program.iniText).replace(QLatin1Char('@'), temp);
                if (at.moment != Moment::StartUp && watch) {
                    iniText += QStringLiteral("StartWatching=True\r\n");
                }
                if (at.moment == Moment::StartBox) {
                    // Told to start watching with nothing to watch: "You have not selected any
                    // items to watch" waits for the operator.
                    iniText.replace(QStringLiteral("WatchJobs=True"), QStringLiteral("WatchJobs=False"));
                }
                {
                    QFile ini(iniPath);
                    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
                    ini.write(iniText.toUtf8());
                }

                QProcess process;
                QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
                env.insert(QStringLiteral("APPDATA"), appData);
                env.insert(QStringLiteral("TEMP"), temp);
                env.insert(QStringLiteral("HLV_PRINT_SYSTEM"), QStringLiteral("sim:") + servers);
                env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
                env.insert(QStringLiteral("HLV_WEB_SERVER"), QStringLiteral("http://127.0.0.1:9"));
                process.setProcessEnvironment(env);
                process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
                process.start(QStringLiteral(HLV_BIN_DIR "/") + QLatin1String(program.executable), {});
                ASSERT_TRUE(process.waitForStarted(10000));
                const qint64 pid = process.processId();
                const auto cleanup = qScopeGuard([&] {
                    if (process.state() != QProcess::NotRunning) {
                        process.kill();
                        process.waitForFinished(5000);
                    }
                });

                // The handlers are in place from the first moment of start-up.
                ASSERT_TRUE(waitFor([&] { return catches(pid, sent.number) || gone(pid); }, 10000));
                qint64 monitor = 0;
                if (at.moment != Moment::StartUp) {
                    // Idle: the monitor runs (none at the box) and the program has used no
                    // processor time for a while.
                    qint64 lastTicks = -1;
                    QElapsedTimer quiet;
                    quiet.start();
                    ASSERT_TRUE(waitFor([&] {
                        monitor = monitor != 0 ? monitor : childNamed(pid, program.monitor);
                        const qint64 ticks = cpuTicks(pid);
                        if (ticks != lastTicks) {
                            lastTicks = ticks;
                            quiet.restart();
                        }
                        return (monitor != 0 || at.moment == Moment::StartBox) && quiet.elapsed() >= 300;
                    }));
                    // What is written from here on is the shutdown's.
                    ASSERT_TRUE(QFile::remove(iniPath));
                }
                if (at.moment == Moment::Busy) {
                    const qint64 before = cpuTicks(pid);
                    for (int i = 0; i < 300; ++i) {
                        sim::NewJob job;
                        job.queue = QStringLiteral("Sales");
                        job.document = QStringLiteral("Burst %1").arg(i);
                        job.owner = QStringLiteral("carol");
                        job.host = QStringLiteral("PC7");
                        job.pages = 1;
                        job.size = 1024;
                        job.paused = true; // an error-free state that stays put
                        qint64 id = 0;
                        ASSERT_TRUE(store->addJob(job, id).ok);
                    }
                    ASSERT_TRUE(waitFor([&] { return cpuTicks(pid) >= before + 3; }, 10000));
                }

                // A program that already ended has freed its process number: never signal it.
                ASSERT_EQ(process.state(), QProcess::Running);
                ASSERT_EQ(::kill(static_cast<pid_t>(pid), sent.number), 0);
                ASSERT_TRUE(process.waitForFinished(20000));
                EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
                EXPECT_EQ(process.exitCode(), 0);

                const QByteArray saved = fileBytes(iniPath);
                EXPECT_TRUE(saved.contains(program.savedMark)) << saved.toStdString();
                if (monitor != 0) {
                    EXPECT_TRUE(waitFor([&] { return gone(monitor); }, 5000));
                }
                if (QLatin1String(program.name) == QLatin1String("console")) {
                    auto db = Database::open(appData + QStringLiteral("/hlv.mdb"), Database::Mode::ReadOnly);
                    ASSERT_TRUE(db);
                    EXPECT_EQ(db->scalar(QStringLiteral("SELECT COUNT(*) FROM HLV_Audit WHERE Description = "
                                                        "'Queue Manager Shutdown'"))
                                  .value_or(-1)
                                  .toInt(),
                              1);
                } else if (at.moment == Moment::Busy) {
                    // Every job in the CSV file, each line whole, has its row in the job log.
                    const QByteArray csv = fileBytes(temp + QStringLiteral("/jobs.csv"));
                    ASSERT_TRUE(csv.endsWith("\r\n"));
                    QSet<QByteArray> ids;
                    for (const QByteArray& line : csv.split('\n').mid(1)) {
                        const QList<QByteArray> values = line.split(',');
                        if (values.size() > 13) {
                            ids.insert(values.at(12));
                        }
                    }
                    EXPECT_GT(ids.size(), 0);
                    EXPECT_EQ(logCount(temp + QStringLiteral("/watch.mdb")), ids.size());
                }
            }
        }
    }
}

} // namespace
} // namespace hlv::test
