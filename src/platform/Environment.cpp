#include "Environment.h"

#include <QDir>
#include <QSysInfo>
#include <pwd.h>
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
    return QStringLiteral("/tmp");
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
    if (const passwd* account = getpwuid(geteuid())) {
        return QString::fromLocal8Bit(account->pw_name);
    }
    return variable("USER");
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
