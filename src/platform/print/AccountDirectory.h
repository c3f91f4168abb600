#pragma once

#include <optional>

#include <QList>
#include <QString>
#include <QStringList>

namespace hlv {

// A member of a local group: a user, or another group (Class "User" or "Group").
struct AccountMember
{
    QString Name;
    QString Class;
};

// The local groups of this computer, as far as the administrator test needs them.
class AccountDirectory
{
public:
    virtual ~AccountDirectory() = default;
    // The members of a local group; nothing when the group cannot be found or read.
    virtual std::optional<QList<AccountMember>> groupMembers(const QString& group) = 0;
};

// The group whose members administer this computer.
QString administratorsGroupName(); // "Administrators"

// Whether a user is a member of the Administrators group: directly, or through a group
// that is a member of it (one level of nesting, no deeper). Names are compared ignoring
// letter case. False when the group cannot be read.
bool isLocalAdministrator(AccountDirectory& directory, const QString& user);

// The Linux accounts. The Administrators group is the set of groups that may administer
// printing here (by default lpadmin, sudo, wheel and root, those that exist; the groups
// CUPS accepts as its SystemGroup) plus the user root. Every other name is a group of the
// group database, whose members are the users it lists and the users whose primary group
// it is.
class LinuxAccountDirectory final : public AccountDirectory
{
public:
    explicit LinuxAccountDirectory(QStringList adminGroups = defaultAdminGroups());
    std::optional<QList<AccountMember>> groupMembers(const QString& group) override;

    static QStringList defaultAdminGroups();

private:
    QStringList m_adminGroups;
};

} // namespace hlv
