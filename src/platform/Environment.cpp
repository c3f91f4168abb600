#include "Environment.h"

#include <cerrno>

#include <QDir>
#include <QFile>
#include <QFileInfo>
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
    // Taken by someone else, or open to others: a folder of our own beside it, the one an
    // earlier run made when there is one (so runs do not leave a folder each), else a new one.
    const QString prefix = QFile::decodeName(path).section(QLatin1Char('/'), -1) + QLatin1Char('-');
    const QStringList earlier =
        QDir(base).entryList({prefix + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& name : earlier) {
        const QByteArray candidate = QFile::encodeName(base + QLatin1Char('/') + name);
        if (::lstat(candidate.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == uid &&
            (info.st_mode & 0777) == 0700) {
            return QFile::decodeName(candidate);
        }
    }
    QByteArray pattern = path + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        return QString();
    }
    return QFile::decodeName(pattern);
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
