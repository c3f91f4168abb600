#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "desktop/XdgMailClient.h"
#include "support/WaitFor.h"

namespace hlv::test {
namespace {

MailMessage logMail()
{
    return {QStringLiteral("support@halvern.example"),
            QStringLiteral("Halvern - Full Log"),
            QStringLiteral("line one\r\n\r\nlast line"),
            {QStringLiteral("/tmp/x y/HLV_Log.csv")}};
}

TEST(XdgMailClient, Arguments_SubjectBodyAttachmentThenRecipient)
{
    EXPECT_EQ(
        XdgMailClient::arguments(logMail()),
        (QStringList{QStringLiteral("--utf8"), QStringLiteral("--subject"), QStringLiteral("Halvern - Full Log"),
                     QStringLiteral("--body"), QStringLiteral("line one\r\n\r\nlast line"), QStringLiteral("--attach"),
                     QStringLiteral("/tmp/x y/HLV_Log.csv"), QStringLiteral("support@halvern.example")}));
    EXPECT_EQ(XdgMailClient::arguments({}), QStringList{QStringLiteral("--utf8")});
}

TEST(XdgMailClient, Compose_StartsTheCommandWithEachArgumentWhole)
{
    // GIVEN a stand-in for xdg-email that writes its arguments, one per line, to a file
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString out = dir.filePath(QStringLiteral("args.txt"));
    const QString script = dir.filePath(QStringLiteral("fake-xdg-email"));
    {
        QFile file(script);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done > '%1.part'\n"
                                  "mv '%1.part' '%1'\n")
                       .arg(out)
                       .toUtf8());
    }
    ASSERT_TRUE(
        QFile::setPermissions(script, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));

    XdgMailClient client(script);
    ASSERT_TRUE(client.compose(logMail()));
    ASSERT_TRUE(waitFor([&] { return QFile::exists(out); }, 10000));
    QFile file(out);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(),
              QByteArray("[--utf8]\n[--subject]\n[Halvern - Full Log]\n[--body]\n[line one\r\n\r\n"
                         "last line]\n[--attach]\n[/tmp/x y/HLV_Log.csv]\n[support@halvern.example]\n"));
}

TEST(XdgMailClient, MissingCommand_ReportsFailure)
{
    XdgMailClient client(QStringLiteral("/nonexistent/xdg-email"));
    EXPECT_FALSE(client.compose(logMail()));
}

} // namespace
} // namespace hlv::test
