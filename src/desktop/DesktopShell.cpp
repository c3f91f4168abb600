#include "desktop/DesktopShell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace hlv {

void DesktopShell::open(const QString& target)
{
    // Opening a program runs it, as the desktop runs a program that is opened.
    const QFileInfo info(target);
    if (info.isFile() && info.isExecutable()) {
        QProcess::startDetached(info.absoluteFilePath(), {}, info.absolutePath());
        return;
    }
    // A path that exists is a file or a folder; anything else is taken as an address.
    const QUrl url = QFileInfo::exists(target) ? QUrl::fromLocalFile(target) : QUrl::fromUserInput(target);
    QDesktopServices::openUrl(url);
}

} // namespace hlv
