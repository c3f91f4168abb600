#include "watch/PopupMessages.h"

#include <QDebug>
#include <QHostInfo>
#include <QProcess>
#include <QStandardPaths>

#include "platform/Environment.h"

namespace hlv {

LinuxPopupMessages::LinuxPopupMessages(const Environment& environment)
    : m_environment(environment)
{}

LinuxPopupMessages::~LinuxPopupMessages()
{
    // A command that is about to end gets the chance to, rather than being killed with us.
    for (QObject* child : m_processes.children()) {
        if (auto* process = qobject_cast<QProcess*>(child)) {
            process->waitForFinished(500);
        }
    }
}

bool LinuxPopupMessages::isThisComputer(const QString& computer) const
{
    const QString name = computer.trimmed();
    const QStringList local = {QHostInfo::localHostName(),  m_environment.computerName(), QStringLiteral("localhost"),
                               QStringLiteral("127.0.0.1"), QStringLiteral("::1"),        QStringLiteral(".")};
    for (const QString& candidate : local) {
        if (!candidate.isEmpty() && name.compare(candidate, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

QString LinuxPopupMessages::notificationBody(const QString& text)
{
    QString body;
    body.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            body += QStringLiteral("&amp;");
            break;
        case '<':
            body += QStringLiteral("&lt;");
            break;
        case '>':
            body += QStringLiteral("&gt;");
            break;
        case '\\':
            body += QStringLiteral("\\\\");
            break;
        default:
            body += c;
            break;
        }
    }
    return body;
}

QByteArray LinuxPopupMessages::wallInput(const QString& text)
{
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return lines.toUtf8() + '\n';
}

void LinuxPopupMessages::netSend(const QString& computer, const QString& text)
{
    if (!isThisComputer(computer)) {
        qWarning().noquote() << "HlvWatch: popup for" << computer << "skipped: not this computer";
        return;
    }
    run(QStringLiteral("notify-send"),
        {QStringLiteral("--app-name=Halvern Watch"), QStringLiteral("Halvern Watch"), notificationBody(text)},
        QByteArray());
}

void LinuxPopupMessages::msgAllSessions(const QString& computer, const QString& text)
{
    if (!isThisComputer(computer)) {
        qWarning().noquote() << "HlvWatch: message for" << computer << "skipped: not this computer";
        return;
    }
    // On stdin, because wall reads a file when its argument names one.
    run(QStringLiteral("wall"), {}, wallInput(text));
}

void LinuxPopupMessages::run(const QString& program, const QStringList& arguments, const QByteArray& input)
{
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty()) {
        qWarning().noquote() << "HlvWatch:" << program << "is not installed; popup skipped";
        return;
    }
    auto* process = new QProcess(&m_processes);
    process->setStandardOutputFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    QObject::connect(process, &QProcess::errorOccurred, process, [process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            process->deleteLater();
        }
    });
    process->start(path, arguments);
    if (!input.isEmpty()) {
        process->write(input);
    }
    process->closeWriteChannel();
}

} // namespace hlv
