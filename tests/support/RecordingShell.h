#pragma once

#include <QStringList>

#include "platform/Shell.h"

namespace hlv::test {

class RecordingShell : public Shell
{
public:
    QStringList opened;
    void open(const QString& target) override { opened.append(target); }
};

} // namespace hlv::test
