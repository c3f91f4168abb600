#include "platform/print/LocalUser.h"

#include <vector>

#include <QByteArray>
#include <pwd.h>
#include <unistd.h>

namespace hlv {

QString localUserName()
{
    // The password database names the effective user; the environment only when that fails,
    // because USER may be stale after su or sudo.
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name) {
        return QString::fromUtf8(found->pw_name);
    }
    const QByteArray user = qgetenv("USER");
    return user.isEmpty() ? QStringLiteral("unknown") : QString::fromUtf8(user);
}

} // namespace hlv
