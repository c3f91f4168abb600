#pragma once

#include <QStringList>

#include "platform/Shell.h"

namespace hlv::test {

class RecordingShell : public Shell
{
public:
    QStringList opened;
    bool opens = true; // false: every launch fails, as without a desktop opener
    bool open(const QString& target) override
    {
        opened.append(target);
        return opens;
    }
};

} // namespace hlv::test
