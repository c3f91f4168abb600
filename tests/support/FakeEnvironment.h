#pragma once

#include "platform/Environment.h"

namespace hlv::test {

// Folders and names set by the test, usually pointing into a temporary folder.
class FakeEnvironment : public Environment
{
public:
    QString appData() const override { return appDataPath; }
    QString temp() const override { return tempPath; }
    QString userName() const override { return user; }
    QString computerName() const override { return computer; }

    QString appDataPath;
    QString tempPath;
    QString user = QStringLiteral("operator");
    QString computer = QStringLiteral("WS01");
};

} // namespace hlv::test
