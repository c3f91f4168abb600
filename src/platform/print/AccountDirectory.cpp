#include "platform/print/AccountDirectory.h"

#include <cerrno>
#include <vector>

#include <grp.h>
#include <pwd.h>

namespace hlv {

namespace {

const QString kUser = QStringLiteral("User");
const QString kGroup = QStringLiteral("Group");

struct GroupEntry
{
    gid_t gid = 0;
    QStringList members;
};

std::optional<GroupEntry> findGroup(const QString& name)
{
    const QByteArray key = name.toUtf8();
    std::vector<char> buffer(16384);
    for (;;) {
        group entry{};
        group* found = nullptr;
        const int rc = getgrnam_r(key.constData(), &entry, buffer.data(), buffer.size(), &found);
        if (rc == ERANGE && buffer.size() < (1u << 24)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (rc != 0 || !found) {
            return std::nullopt;
        }
        GroupEntry out;
        out.gid = found->gr_gid;
        for (char** m = found->gr_mem; m && *m; ++m) {
            out.members.append(QString::fromUtf8(*m));
        }
        return out;
    }
}

// The users whose primary group is gid.
QStringList primaryMembers(gid_t gid)
{
    QStringList out;
    std::vector<char> buffer(16384);
    setpwent();
    for (;;) {
        passwd entry{};
        passwd* found = nullptr;
        const int rc = getpwent_r(&entry, buffer.data(), buffer.size(), &found);
        if (rc == ERANGE && buffer.size() < (1u << 24)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (rc != 0 || !found) {
            break;
        }
        if (found->pw_gid == gid) {
            out.append(QString::fromUtf8(found->pw_name));
        }
    }
    endpwent();
    return out;
}

} // namespace

QString administratorsGroupName()
{
    return QStringLiteral("Administrators");
}

bool isLocalAdministrator(AccountDirectory& directory, const QString& user)
{
    const auto members = directory.groupMembers(administratorsGroupName());
    if (!members) {
        return false;
    }
    bool result = false;
    for (const AccountMember& m : *members) {
        if (m.Name.compare(user, Qt::CaseInsensitive) == 0) {
            result = true;
        } else if (m.Class == kGroup) {
            if (const auto nested = directory.groupMembers(m.Name)) {
                for (const AccountMember& n : *nested) {
                    if (n.Name.compare(user, Qt::CaseInsensitive) == 0) {
                        result = true;
                    }
                }
            }
        }
    }
    return result;
}

LinuxAccountDirectory::LinuxAccountDirectory(QStringList adminGroups)
    : m_adminGroups(std::move(adminGroups))
{}

QStringList LinuxAccountDirectory::defaultAdminGroups()
{
    return {QStringLiteral("lpadmin"), QStringLiteral("sudo"), QStringLiteral("wheel"), QStringLiteral("root")};
}

std::optional<QList<AccountMember>> LinuxAccountDirectory::groupMembers(const QString& group)
{
    QList<AccountMember> out;
    if (group.compare(administratorsGroupName(), Qt::CaseInsensitive) == 0) {
        out.append({QStringLiteral("root"), kUser});
        for (const QString& name : m_adminGroups) {
            if (findGroup(name)) {
                out.append({name, kGroup});
            }
        }
        return out;
    }
    const auto entry = findGroup(group);
    if (!entry) {
        return std::nullopt;
    }
    QStringList users = entry->members;
    for (const QString& u : primaryMembers(entry->gid)) {
        if (!users.contains(u)) {
            users.append(u);
        }
    }
    for (const QString& u : users) {
        out.append({u, kUser});
    }
    return out;
}

} // namespace hlv
