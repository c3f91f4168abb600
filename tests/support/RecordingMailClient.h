#pragma once

#include <QList>

#include "platform/MailClient.h"

namespace hlv::test {

// Keeps every message handed to the mail client; answers as set (true: the client started).
class RecordingMailClient : public MailClient
{
public:
    QList<MailMessage> composed;
    bool answer = true;

    bool compose(const MailMessage& message) override
    {
        composed.append(message);
        return answer;
    }
};

} // namespace hlv::test
