#include "desktop/XdgMailClient.h"

#include <QDebug>
#include <QProcess>

namespace hlv {

XdgMailClient::XdgMailClient(QString program)
    : m_program(std::move(program))
{}

QStringList XdgMailClient::arguments(const MailMessage& message)
{
    QStringList args{QStringLiteral("--utf8")};
    if (!message.subject.isEmpty()) {
        args << QStringLiteral("--subject") << message.subject;
    }
    if (!message.body.isEmpty()) {
        args << QStringLiteral("--body") << message.body;
    }
    for (const QString& file : message.attachments) {
        args << QStringLiteral("--attach") << file;
    }
    if (!message.recipient.isEmpty()) {
        args << message.recipient;
    }
    return args;
}

bool XdgMailClient::compose(const MailMessage& message)
{
    // Detached: the mail client's window belongs to the operator, not to this program,
    // and may stay open long after the console has gone on or ended.
    if (!QProcess::startDetached(m_program, arguments(message))) {
        qWarning().noquote() << "hlv: cannot start the mail client" << m_program;
        return false;
    }
    return true;
}

} // namespace hlv
