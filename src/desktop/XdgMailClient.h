#pragma once

#include <QString>
#include <QStringList>

#include "platform/MailClient.h"

namespace hlv {

// Composes a message in the desktop's mail client through xdg-email, which opens the
// client's compose window filled in; the operator sends the message from there.
class XdgMailClient final : public MailClient
{
public:
    // program: the xdg-email command (a test may point it at a stand-in).
    explicit XdgMailClient(QString program = QStringLiteral("xdg-email"));
    // Starts the command without waiting for it; false when it could not be started.
    bool compose(const MailMessage& message) override;

    // The command's arguments for a message: the texts in UTF-8, subject, body, each
    // attachment, and the recipient last.
    static QStringList arguments(const MailMessage& message);

private:
    QString m_program;
};

} // namespace hlv
