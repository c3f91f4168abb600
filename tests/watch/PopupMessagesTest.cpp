#include "watch/PopupMessages.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "WatchTestSupport.h"
#include "support/FakeEnvironment.h"
#include "support/WaitFor.h"

namespace hlv::test {
namespace {

// The Linux popup commands, with notify-send and wall replaced by scripts on PATH that
// record how they were called.
class PopupMessagesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_savedPath = qgetenv("PATH");
        // Each script writes a temporary file and renames it, so a test never reads half of it.
        writeScript(QStringLiteral("notify-send"),
                    "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done > \"$(dirname \"$0\")/notify.tmp\"\n"
                    "mv \"$(dirname \"$0\")/notify.tmp\" \"$(dirname \"$0\")/notify.out\"\n");
        writeScript(QStringLiteral("wall"), "#!/bin/sh\necho \"args:$#\" > \"$(dirname \"$0\")/wall.tmp\"\n"
                                            "cat >> \"$(dirname \"$0\")/wall.tmp\"\n"
                                            "mv \"$(dirname \"$0\")/wall.tmp\" \"$(dirname \"$0\")/wall.out\"\n");
        qputenv("PATH", m_dir.path().toUtf8() + ":/usr/bin:/bin");
        env.computer = QStringLiteral("DESK9");
    }
    void TearDown() override { qputenv("PATH", m_savedPath); }

    void writeScript(const QString& name, const QByteArray& text)
    {
        QFile file(m_dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    QString out(const QString& name) const { return QString::fromUtf8(fileBytes(m_dir.filePath(name))); }

    QTemporaryDir m_dir;
    QByteArray m_savedPath;
    FakeEnvironment env;
};

// notify-send reads its body as markup with backslash escapes, wall shows a CR as "^M":
// each gets the text in the form that shows it as it is, and no shell sees it.
TEST_F(PopupMessagesTest, ThisComputer_BothCommandsGetTheTextUntouchedByAnyShell)
{
    LinuxPopupMessages popups(env);
    const QString text = QStringLiteral("Warning: Job 5 titled \"$(touch pwned)\" x <b>bold</b> & y in Q on PS1\r\n"
                                        "for u on \\\\PC3\ris reporting");
    popups.netSend(QStringLiteral("desk9"), text);
    popups.msgAllSessions(QStringLiteral("localhost"), text);

    ASSERT_TRUE(waitFor([&] { return !out(QStringLiteral("notify.out")).isEmpty(); }));
    EXPECT_EQ(out(QStringLiteral("notify.out")),
              QStringLiteral("[--app-name=Halvern Watch][Halvern Watch][Warning: Job 5 titled \"$(touch pwned)\" x "
                             "&lt;b&gt;bold&lt;/b&gt; &amp; y in Q on PS1\r\nfor u on \\\\\\\\PC3\ris reporting]"));
    ASSERT_TRUE(waitFor([&] { return !out(QStringLiteral("wall.out")).isEmpty(); }));
    EXPECT_EQ(out(QStringLiteral("wall.out")),
              QStringLiteral("args:0\nWarning: Job 5 titled \"$(touch pwned)\" x <b>bold</b> & y in Q on PS1\n"
                             "for u on \\\\PC3\nis reporting\n"));
    EXPECT_FALSE(QFile::exists(QStringLiteral("pwned")));
    EXPECT_TRUE(waitFor([&] { return popups.runningCommands() == 0; }));
}

TEST_F(PopupMessagesTest, ComputerNames_OnlyThisComputerIsReached)
{
    LinuxPopupMessages popups(env);
    const struct
    {
        QString name;
        bool local;
    } cases[] = {
        {QStringLiteral("DESK9"), true},     {QStringLiteral(" desk9 "), true},
        {QStringLiteral("localhost"), true}, {QStringLiteral("127.0.0.1"), true},
        {QStringLiteral("."), true},         {QStringLiteral("COMPUTER"), false},
        {QStringLiteral("DESK10"), false},   {QString(), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(popups.isThisComputer(c.name), c.local) << c.name.toStdString();
    }

    popups.netSend(QStringLiteral("COMPUTER"), QStringLiteral("x"));
    popups.msgAllSessions(QStringLiteral("COMPUTER"), QStringLiteral("x"));
    EXPECT_FALSE(QFile::exists(m_dir.filePath(QStringLiteral("notify.out"))));
    EXPECT_FALSE(QFile::exists(m_dir.filePath(QStringLiteral("wall.tmp"))));
}

TEST_F(PopupMessagesTest, MissingCommands_AreSkippedQuietly)
{
    qputenv("PATH", m_dir.filePath(QStringLiteral("empty")).toUtf8());
    LinuxPopupMessages popups(env);
    popups.netSend(QStringLiteral("DESK9"), QStringLiteral("x"));
    popups.msgAllSessions(QStringLiteral("DESK9"), QStringLiteral("x"));
    EXPECT_EQ(popups.runningCommands(), 0);
    EXPECT_FALSE(QFile::exists(m_dir.filePath(QStringLiteral("notify.out"))));
}

} // namespace
} // namespace hlv::test
