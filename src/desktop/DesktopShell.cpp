#include "desktop/DesktopShell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace hlv {

bool DesktopShell::open(const QString& target)
{
    // Opening a program runs it, as the desktop runs a program that is opened.
    const QFileInfo info(target);
    if (info.isFile() && info.isExecutable()) {
        return QProcess::startDetached(info.absoluteFilePath(), {}, info.absolutePath());
    }
    // A path that exists is a file or a folder; anything else is taken as an address.
    const QUrl url = QFileInfo::exists(target) ? QUrl::fromLocalFile(target) : QUrl::fromUserInput(target);
    // False when the desktop has no opener (no xdg-open, no browser) or the opener failed.
    return url.isValid() && QDesktopServices::openUrl(url);
}

} // namespace hlv
