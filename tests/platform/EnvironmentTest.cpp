#include "platform/Environment.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace hlv;

namespace {

// Sets or removes environment variables for one test and puts the old values back.
class ScopedEnv
{
public:
    ~ScopedEnv()
    {
        for (const auto& [name, value] : m_saved) {
            if (value.isNull()) {
                qunsetenv(name.constData());
            } else {
                qputenv(name.constData(), value);
            }
        }
    }
    void set(const char* name, const char* value)
    {
        remember(name);
        if (value) {
            qputenv(name, value);
        } else {
            qunsetenv(name);
        }
    }

private:
    void remember(const char* name)
    {
        for (const auto& saved : m_saved) {
            if (saved.first == name) {
                return;
            }
        }
        m_saved.emplace_back(QByteArray(name), qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray());
    }
    std::vector<std::pair<QByteArray, QByteArray>> m_saved;
};

} // namespace

TEST(EnvironmentTest, Folders_FollowVariablesAndFallbacks)
{
    struct Case
    {
        const char* appData;
        const char* xdgConfig;
        const char* home;
        const char* expected;
    };
    const Case cases[] = {
        {"/data/roaming", "/xdg", "/home/u", "/data/roaming"},
        {"/data/roaming/", nullptr, "/home/u", "/data/roaming"},
        {nullptr, "/xdg", "/home/u", "/xdg/Halvern"},
        {"", "/xdg/", "/home/u", "/xdg/Halvern"},
        {nullptr, nullptr, "/home/u", "/home/u/.config/Halvern"},
        {nullptr, "", "/home/u", "/home/u/.config/Halvern"},
    };
    for (const Case& c : cases) {
        ScopedEnv env;
        env.set("APPDATA", c.appData);
        env.set("XDG_CONFIG_HOME", c.xdgConfig);
        env.set("HOME", c.home);
        EXPECT_EQ(SystemEnvironment().appData(), QString::fromUtf8(c.expected)) << c.expected;
    }
}

TEST(EnvironmentTest, Temp_FollowsTempThenTmpdirThenAPrivateFolder)
{
    struct Case
    {
        const char* temp;
        const char* tmpdir;
        const char* expected; // nullptr: the account's private folder
    };
    const Case cases[] = {
        {"/t1", "/t2", "/t1"},       {nullptr, "/t2/", "/t2"}, {"", "/t2", "/t2"},
        {nullptr, nullptr, nullptr}, {"", "", nullptr},
    };
    for (const Case& c : cases) {
        ScopedEnv env;
        env.set("TEMP", c.temp);
        env.set("TMPDIR", c.tmpdir);
        const QString temp = SystemEnvironment().temp();
        if (c.expected) {
            EXPECT_EQ(temp, QString::fromUtf8(c.expected));
            continue;
        }
        EXPECT_EQ(temp, QStringLiteral("/tmp/halvern-") + QString::number(geteuid()));
        struct stat info
        {};
        ASSERT_EQ(::lstat(QFile::encodeName(temp).constData(), &info), 0);
        EXPECT_TRUE(S_ISDIR(info.st_mode));
        EXPECT_EQ(info.st_uid, geteuid());
        EXPECT_EQ(info.st_mode & 0777, 0700u);
    }
}

TEST(EnvironmentTest, PrivateTempFolder_TakenOrOpenName_AnotherPrivateFolder)
{
    enum class Before { Nothing, Private, OpenToAll, File, Link };
    for (const Before before : {Before::Nothing, Before::Private, Before::OpenToAll, Before::File, Before::Link}) {
        SCOPED_TRACE(static_cast<int>(before));
        QTemporaryDir base;
        ASSERT_TRUE(base.isValid());
        const QString named = base.path() + QStringLiteral("/halvern-") + QString::number(geteuid());
        const QByteArray path = QFile::encodeName(named);
        const QString elsewhere = base.path() + QStringLiteral("/elsewhere");
        switch (before) {
        case Before::Nothing:
            break;
        case Before::Private:
            ASSERT_EQ(::mkdir(path.constData(), 0700), 0);
            break;
        case Before::OpenToAll:
            ASSERT_EQ(::mkdir(path.constData(), 0700), 0);
            ASSERT_EQ(::chmod(path.constData(), 0777), 0);
            break;
        case Before::File:
            ASSERT_TRUE(QFile(named).open(QIODevice::WriteOnly));
            break;
        case Before::Link:
            ASSERT_TRUE(QDir().mkpath(elsewhere));
            ASSERT_TRUE(QFile::link(elsewhere, named));
            break;
        }
        // The folder an earlier run made beside a taken name is used again; a link or a
        // folder open to others with a like name is not.
        const bool reused = before == Before::Nothing || before == Before::Private;
        const QString earlier = named + QStringLiteral("-0ld0ne");
        if (!reused) {
            ASSERT_TRUE(QFile::link(elsewhere, named + QStringLiteral("-000000")));
            ASSERT_EQ(::mkdir(QFile::encodeName(named + QStringLiteral("-00pen0")).constData(), 0777), 0);
            ASSERT_EQ(::chmod(QFile::encodeName(named + QStringLiteral("-00pen0")).constData(), 0777), 0);
            ASSERT_EQ(::mkdir(QFile::encodeName(earlier).constData(), 0700), 0);
        }
        const QString folder = privateTempFolder(base.path());
        ASSERT_FALSE(folder.isEmpty());
        EXPECT_EQ(folder, reused ? named : earlier);
        struct stat info
        {};
        ASSERT_EQ(::lstat(QFile::encodeName(folder).constData(), &info), 0);
        EXPECT_TRUE(S_ISDIR(info.st_mode));
        EXPECT_EQ(info.st_mode & 0777, 0700u);
    }
}

TEST(EnvironmentTest, Names_FromVariablesElseFromSystem)
{
    ScopedEnv env;
    env.set("USERNAME", "jdoe");
    env.set("COMPUTERNAME", "WS-07");
    EXPECT_EQ(SystemEnvironment().userName(), QStringLiteral("jdoe"));
    EXPECT_EQ(SystemEnvironment().computerName(), QStringLiteral("WS-07"));

    // Rights are decided for the account the program runs as, not for a name the user sets.
    const passwd* account = getpwuid(geteuid());
    ASSERT_NE(account, nullptr);
    EXPECT_EQ(processAccountName(), QString::fromLocal8Bit(account->pw_name));

    env.set("USERNAME", nullptr);
    env.set("COMPUTERNAME", nullptr);
    EXPECT_FALSE(SystemEnvironment().userName().isEmpty());
    EXPECT_EQ(SystemEnvironment().computerName(), QSysInfo::machineHostName());
}
