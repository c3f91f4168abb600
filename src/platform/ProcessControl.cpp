#include "ProcessControl.h"

#include <cerrno>
#include <csignal>

#include <QFile>
#include <QFileInfo>
#include <dirent.h>
#include <sys/types.h>
#include <unistd.h>

namespace hlv {

namespace {

QString fileName(QString path)
{
    // An executable replaced on disk while it runs reads "path (deleted)".
    static const QString deleted = QStringLiteral(" (deleted)");
    if (path.endsWith(deleted)) {
        path.chop(deleted.size());
    }
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}

qint64 ownerOf(const QString& procDir)
{
    // The real uid is the first number of the "Uid:" line.
    QFile status(procDir + QStringLiteral("/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    // Files under /proc report no size, so they are read whole rather than by atEnd().
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray& line : lines) {
        if (line.startsWith("Uid:")) {
            const QList<QByteArray> parts = line.mid(4).simplified().split(' ');
            bool ok = false;
            const qint64 uid = parts.isEmpty() ? -1 : parts.first().toLongLong(&ok);
            return ok ? uid : -1;
        }
    }
    return -1;
}

} // namespace

LinuxProcessControl::LinuxProcessControl(QString procRoot)
    : m_procRoot(std::move(procRoot))
{}

QString LinuxProcessControl::processName(const QString& procDir)
{
    const QString exe = QFileInfo(procDir + QStringLiteral("/exe")).symLinkTarget();
    if (!exe.isEmpty()) {
        return fileName(exe);
    }
    QFile cmdline(procDir + QStringLiteral("/cmdline"));
    if (cmdline.open(QIODevice::ReadOnly)) {
        const QByteArray args = cmdline.readAll();
        const QByteArray first = args.left(args.indexOf('\0'));
        if (!first.isEmpty()) {
            return fileName(QString::fromLocal8Bit(first));
        }
    }
    QFile comm(procDir + QStringLiteral("/comm"));
    if (comm.open(QIODevice::ReadOnly)) {
        return QString::fromLocal8Bit(comm.readAll()).trimmed();
    }
    return QString();
}

bool LinuxProcessControl::listProcesses(QList<ProcessEntry>& out)
{
    out.clear();
    // Read with readdir: the process folders are what matter, in the kernel's order.
    DIR* root = ::opendir(QFile::encodeName(m_procRoot).constData());
    if (!root) {
        return false;
    }
    while (const dirent* entry = ::readdir(root)) {
        bool numeric = false;
        const qint64 pid = QByteArray(entry->d_name).toLongLong(&numeric);
        if (!numeric || pid <= 0) {
            continue;
        }
        const QString dir = m_procRoot + QLatin1Char('/') + QString::fromLatin1(entry->d_name);
        // A process that ended while the list was read is simply not listed.
        const qint64 uid = ownerOf(dir);
        if (uid < 0) {
            continue;
        }
        out.append({pid, processName(dir), uid});
    }
    ::closedir(root);
    return true;
}

bool LinuxProcessControl::terminate(qint64 pid)
{
    if (pid <= 0) {
        return false;
    }
    return ::kill(static_cast<pid_t>(pid), SIGTERM) == 0;
}

qint64 LinuxProcessControl::currentUid() const
{
    return static_cast<qint64>(::getuid());
}

} // namespace hlv
