#pragma once

#include <QString>
#include <QStringList>

namespace hlv {

// One message for the desktop's mail client.
struct MailMessage
{
    QString recipient;
    QString subject;
    QString body;            // lines separated by CR LF
    QStringList attachments; // full paths of files to attach
};

// Hands a message to the user's mail client, which shows it for the operator to check,
// change and send (or drop). Nothing is sent without the operator. The answer says only
// whether the mail client could be started; what the operator then does is not known.
class MailClient
{
public:
    virtual ~MailClient() = default;
    virtual bool compose(const MailMessage& message) = 0;
};

} // namespace hlv
