#include "platform/Environment.h"

#include <QSysInfo>
#include <gtest/gtest.h>

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

TEST(EnvironmentTest, Temp_FollowsTempThenTmpdirThenTmp)
{
    struct Case
    {
        const char* temp;
        const char* tmpdir;
        const char* expected;
    };
    const Case cases[] = {
        {"/t1", "/t2", "/t1"},
        {nullptr, "/t2/", "/t2"},
        {"", "/t2", "/t2"},
        {nullptr, nullptr, "/tmp"},
    };
    for (const Case& c : cases) {
        ScopedEnv env;
        env.set("TEMP", c.temp);
        env.set("TMPDIR", c.tmpdir);
        EXPECT_EQ(SystemEnvironment().temp(), QString::fromUtf8(c.expected)) << c.expected;
    }
}

TEST(EnvironmentTest, Names_FromVariablesElseFromSystem)
{
    ScopedEnv env;
    env.set("USERNAME", "jdoe");
    env.set("COMPUTERNAME", "WS-07");
    EXPECT_EQ(SystemEnvironment().userName(), QStringLiteral("jdoe"));
    EXPECT_EQ(SystemEnvironment().computerName(), QStringLiteral("WS-07"));

    env.set("USERNAME", nullptr);
    env.set("COMPUTERNAME", nullptr);
    EXPECT_FALSE(SystemEnvironment().userName().isEmpty());
    EXPECT_EQ(SystemEnvironment().computerName(), QSysInfo::machineHostName());
}
