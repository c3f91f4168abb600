// Another program writing the job log: one new row per single-field write, as fast as it
// can, through the store the programs use. Arguments: the log's folder, the template and
// the number of writes. Each stored write is reported on stdout ("<n>" per line); the exit
// code is 0 when every write was stored (queued writes are waited for at the end).
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTextStream>
#include <QTimer>

#include "store/JobLogStore.h"
#include "support/FakeClock.h"
#include "support/FakeEnvironment.h"
#include "support/FakeStoreHost.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        return 2;
    }
    hlv::test::FakeEnvironment env;
    env.appDataPath = args.at(1);
    env.tempPath = args.at(1);
    hlv::test::FakeClock clock;
    hlv::test::FakeStoreHost host;
    host.audit = false;
    hlv::JobLogStore store(env, clock, host, args.at(2));
    const int count = args.at(3).toInt();
    QTextStream out(stdout);
    int failed = 0;
    for (int n = 1; n <= count; ++n) {
        if (!store.LogJobField(QStringLiteral("w%1").arg(n), QStringLiteral("Server"), QStringLiteral("PRINT1")) &&
            store.pendingWrites() == 0) {
            ++failed;
        }
        out << n << '\n';
        out.flush();
    }
    const QDeadlineTimer deadline(20000);
    // Sleeps between looks (a time limit would make Qt spin instead of waiting).
    QTimer wake;
    wake.start(50);
    while (store.pendingWrites() > 0 && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return failed == 0 && store.pendingWrites() == 0 ? 0 : 1;
}
