#include <grp.h>
#include <gtest/gtest.h>

#include "support/FakeAccountDirectory.h"

namespace hlv::test {
namespace {

TEST(IsLocalAdministrator, Memberships_DirectOrOneLevelDeep)
{
    FakeAccountDirectory dir;
    dir.groups[QStringLiteral("Administrators")] = {FakeAccountDirectory::user("Admin"),
                                                    FakeAccountDirectory::group("Helpdesk"),
                                                    FakeAccountDirectory::group("Missing")};
    dir.groups[QStringLiteral("Helpdesk")] = {FakeAccountDirectory::user("ann"),
                                              FakeAccountDirectory::group("Interns")};
    dir.groups[QStringLiteral("Interns")] = {FakeAccountDirectory::user("tim")};

    const struct
    {
        const char* user;
        bool admin;
    } cases[] = {
        {"Admin", true},    {"ADMIN", true}, // letter case ignored
        {"ann", true},                       // through a group listed in Administrators
        {"Ann", true},      {"tim", false},  // two levels deep
        {"Helpdesk", true},                  // a member's own name matches
        {"bob", false},     {"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isLocalAdministrator(dir, QString::fromUtf8(c.user)), c.admin) << c.user;
    }
}

TEST(IsLocalAdministrator, UserNamedLikeAGroup_NotWalkedAsGroup)
{
    FakeAccountDirectory dir;
    dir.groups[QStringLiteral("Administrators")] = {FakeAccountDirectory::user("ops")};
    dir.groups[QStringLiteral("ops")] = {FakeAccountDirectory::user("eve")};
    EXPECT_FALSE(isLocalAdministrator(dir, QStringLiteral("eve")));
    EXPECT_EQ(dir.asked, QStringList{QStringLiteral("Administrators")});
}

TEST(IsLocalAdministrator, GroupUnreadable_False)
{
    FakeAccountDirectory dir;
    EXPECT_FALSE(isLocalAdministrator(dir, QStringLiteral("root")));
}

TEST(LinuxAccountDirectory, Administrators_ExistingAdminGroupsAndRoot)
{
    LinuxAccountDirectory dir({QStringLiteral("root"), QStringLiteral("no_such_group_hlv")});
    const auto members = dir.groupMembers(QStringLiteral("Administrators"));
    ASSERT_TRUE(members);
    ASSERT_EQ(members->size(), 2);
    EXPECT_EQ(members->at(0).Name, QStringLiteral("root"));
    EXPECT_EQ(members->at(0).Class, QStringLiteral("User"));
    EXPECT_EQ(members->at(1).Name, QStringLiteral("root"));
    EXPECT_EQ(members->at(1).Class, QStringLiteral("Group"));
    EXPECT_TRUE(isLocalAdministrator(dir, QStringLiteral("root")));
    EXPECT_TRUE(isLocalAdministrator(dir, QStringLiteral("ROOT")));
    EXPECT_FALSE(isLocalAdministrator(dir, QStringLiteral("no_such_user_hlv")));
}

TEST(LinuxAccountDirectory, Group_ListsPrimaryAndListedMembers)
{
    LinuxAccountDirectory dir;
    // root's primary group is root on every Linux system.
    const auto root = dir.groupMembers(QStringLiteral("root"));
    ASSERT_TRUE(root);
    const bool hasRoot = std::any_of(root->begin(), root->end(), [](const AccountMember& m) {
        return m.Name == QStringLiteral("root") && m.Class == QStringLiteral("User");
    });
    EXPECT_TRUE(hasRoot);
    EXPECT_FALSE(dir.groupMembers(QStringLiteral("no_such_group_hlv")));
}

TEST(LinuxAccountDirectory, DefaultAdminGroups_AreThePrintAdministrationGroups)
{
    EXPECT_EQ(LinuxAccountDirectory::defaultAdminGroups(),
              (QStringList{QStringLiteral("lpadmin"), QStringLiteral("sudo"), QStringLiteral("wheel"),
                           QStringLiteral("root")}));
}

} // namespace
} // namespace hlv::test
