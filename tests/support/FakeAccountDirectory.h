#pragma once

#include <map>

#include "platform/print/AccountDirectory.h"

namespace hlv::test {

// Local groups set up by a test. A group that is not in the map cannot be read.
class FakeAccountDirectory : public AccountDirectory
{
public:
    std::map<QString, QList<AccountMember>> groups;
    QStringList asked;

    std::optional<QList<AccountMember>> groupMembers(const QString& group) override
    {
        asked.append(group);
        const auto it = groups.find(group);
        if (it == groups.end()) {
            return std::nullopt;
        }
        return it->second;
    }

    static AccountMember user(const char* name) { return {QString::fromUtf8(name), QStringLiteral("User")}; }
    static AccountMember group(const char* name) { return {QString::fromUtf8(name), QStringLiteral("Group")}; }
};

} // namespace hlv::test
