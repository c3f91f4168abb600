#include "Environment.h"

#include <cerrno>
#include <mutex>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSysInfo>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hlv {

namespace {

QString variable(const char* name)
{
    return qEnvironmentVariable(name);
}

QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) {
        path.chop(1);
    }
    return path;
}

} // namespace

QString SystemEnvironment::appData() const
{
    const QString appData = variable("APPDATA");
    if (!appData.isEmpty()) {
        return withoutTrailingSlash(QDir::fromNativeSeparators(appData));
    }
    QString config = variable("XDG_CONFIG_HOME");
    if (config.isEmpty()) {
        config = QDir::homePath() + QStringLiteral("/.config");
    }
    return withoutTrailingSlash(config) + QStringLiteral("/Halvern");
}

QString SystemEnvironment::temp() const
{
    for (const char* name : {"TEMP", "TMPDIR"}) {
        const QString value = variable(name);
        if (!value.isEmpty()) {
            return withoutTrailingSlash(QDir::fromNativeSeparators(value));
        }
    }
    // Reports and the CSV export have fixed names: in the shared /tmp another account could
    // read them or put a link in their place, so they go into a folder of this account.
    const QString folder = privateTempFolder();
    return folder.isEmpty() ? QStringLiteral("/tmp") : folder;
}

QString processAccountName()
{
    if (const passwd* account = getpwuid(geteuid())) {
        return QString::fromLocal8Bit(account->pw_name);
    }
    return QString::number(geteuid());
}

QString privateTempFolder(const QString& base)
{
    const uid_t uid = geteuid();
    const QByteArray path = QFile::encodeName(base + QStringLiteral("/halvern-") + QString::number(uid));
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        return QString();
    }
    struct stat info
    {};
    if (::lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == uid &&
        (info.st_mode & 0077) == 0) {
        // Ours and closed to others; the account itself may need its rights back.
        if ((info.st_mode & 0700) == 0700 || ::chmod(path.constData(), 0700) == 0) {
            return QFile::decodeName(path);
        }
    }
    // Taken by someone else, or open to others: a folder of our own with a fresh name,
    // the same one for the rest of the run.
    static QHash<QByteArray, QString> fresh;
    static std::mutex freshLock;
    const std::lock_guard<std::mutex> guard(freshLock);
    QString& folder = fresh[path];
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        folder.clear();
        QByteArray pattern = path + "-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) {
            folder = QFile::decodeName(pattern);
        }
    }
    return folder;
}

QString SystemEnvironment::userName() const
{
    const QString user = variable("USERNAME");
    if (!user.isEmpty()) {
        return user;
    }
    if (const char* login = getlogin()) {
        return QString::fromLocal8Bit(login);
    }
    // No controlling terminal (a service, a test runner): the account of the process.
    return processAccountName();
}

QString SystemEnvironment::computerName() const
{
    const QString computer = variable("COMPUTERNAME");
    if (!computer.isEmpty()) {
        return computer;
    }
    return QSysInfo::machineHostName();
}

} // namespace hlv
