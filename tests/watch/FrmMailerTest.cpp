#include "watch/frmMailer.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTcpServer>
#include <gtest/gtest.h>

#include "SmtpTestServer.h"
#include "WatchTestSupport.h"
#include "support/ScriptedDialogs.h"
#include "support/WaitFor.h"
#include "watch/JobEventProcessing.h"

namespace hlv::test {
namespace {

class Captions : public MailCaptions
{
public:
    QString server = QStringLiteral("127.0.0.1");
    QString from = QStringLiteral("<alice@example.org>");
    QString to = QStringLiteral("<bob@example.org>");
    QString mailServerCaption() const override { return server; }
    QString mailFromCaption() const override { return from; }
    QString mailToCaption() const override { return to; }
};

// The mail window against a real SMTP server on loopback.
class FrmMailerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.isListening());
        mailer = new frmMailer(dialogs, captions, alert, server.port());
    }
    void TearDown() override { delete mailer.data(); }

    bool waitForMessageBox(int count = 1)
    {
        return waitFor([&] { return dialogs.messages().size() >= count; });
    }

    SmtpTestServer server;
    ScriptedDialogs dialogs;
    Captions captions;
    MailAlert alert;
    QPointer<frmMailer> mailer;
};

TEST_F(FrmMailerTest, ManualSend_ServerGetsTheExactMailAndOperatorIsTold)
{
    mailer->Show();
    EXPECT_TRUE(mailer->isVisible());
    mailer->txtEmailSubject->setText(QStringLiteral("Test"));
    mailer->txtMessage->setPlainText(QStringLiteral("First line\n.\nLast line"));
    mailer->cmdSendEmail_Click();

    ASSERT_TRUE(waitForMessageBox());
    const auto box = dialogs.messages().first();
    EXPECT_EQ(box.text, QStringLiteral("Message sent!"));
    EXPECT_EQ(box.style, 64);
    EXPECT_EQ(box.title, QStringLiteral("HlvWatch"));
    EXPECT_EQ(
        server.commands,
        QStringList({QStringLiteral("HELO alice"), QStringLiteral("MAIL FROM: <alice@example.org>"),
                     QStringLiteral("RCPT TO: <bob@example.org>"), QStringLiteral("DATA"), QStringLiteral("QUIT")}));
    ASSERT_EQ(server.messages.size(), 1);
    EXPECT_EQ(server.messages.first(), QByteArray("Return-Path: <alice@example.org>\r\n"
                                                  "Content-type: text/plain\r\n"
                                                  "Priority: normal\r\n"
                                                  "To: <bob@example.org>\r\n"
                                                  "From: <alice@example.org>\r\n"
                                                  "Subject:Test\r\n"
                                                  "\r\n"
                                                  "First line\r\n..\r\nLast line\r\n\r\n\r\n\r\n"));
    EXPECT_EQ(mailer->SmtpState(), 7);
    EXPECT_FALSE(mailer->isConnectionOpen());
    EXPECT_TRUE(mailer->txtServerReplies->toPlainText().startsWith(QStringLiteral("220 mail.test ESMTP ready")));
    EXPECT_TRUE(mailer->txtServerReplies->toPlainText().contains(QStringLiteral("221 2.0.0 bye")));
}

TEST_F(FrmMailerTest, AlertMode_SendsWithoutShowingAndUnloadsSilently)
{
    alert.MailAlertMode = true;
    alert.MailAlertSubject = QStringLiteral("HLV: Job Error on PS1");
    alert.MailAlertBody =
        QStringLiteral("Warning: Job 3 titled A in Q on PS1\r\nfor u on c is reporting a status of Error");
    mailer->Show();
    EXPECT_FALSE(mailer->isVisible());

    ASSERT_TRUE(waitFor([&] { return mailer.isNull(); }));
    EXPECT_TRUE(dialogs.shown.isEmpty());
    ASSERT_EQ(server.messages.size(), 1);
    EXPECT_TRUE(server.messages.first().contains("Subject:HLV: Job Error on PS1\r\n\r\n"
                                                 "Warning: Job 3 titled A in Q on PS1\r\n"
                                                 "for u on c is reporting a status of Error\r\n\r\n\r\n"));
}

TEST_F(FrmMailerTest, ServerRefusals_ShowTheirMessagesAndCloseTheConnection)
{
    const struct
    {
        bool greeting421;
        QString verb;
        QByteArray reply;
        QString text;
        int style;
        QString title;
    } cases[] = {
        {true, QString(), QByteArray(),
         QStringLiteral("The from email address is invalid for this mail server.  Please check it and try again"), 0,
         QStringLiteral("HlvWatch")},
        {false, QStringLiteral("RCPT"), "550 5.1.1 no such user\r\n",
         QStringLiteral("Error: 550 5.1.1 no such user\r\n"), 16, QStringLiteral("Error")},
        {false, QStringLiteral("HELO"), "501-bad\r\n501 very bad\r\n",
         QStringLiteral("Error: 501-bad\r\n501 very bad\r\n"), 16, QStringLiteral("Error")},
    };
    for (const auto& c : cases) {
        dialogs.shown.clear();
        server.replies.clear();
        server.greeting = c.greeting421 ? QByteArray("421 too busy\r\n") : QByteArray("220 ready\r\n");
        if (!c.verb.isEmpty()) {
            server.replies.insert(c.verb, c.reply);
        }
        mailer->cmdSendEmail_Click();
        ASSERT_TRUE(waitForMessageBox()) << c.text.toStdString();
        const auto box = dialogs.messages().first();
        EXPECT_EQ(box.text, c.text);
        EXPECT_EQ(box.style, c.style);
        EXPECT_EQ(box.title, c.title);
        EXPECT_FALSE(mailer->isConnectionOpen());
        EXPECT_TRUE(server.messages.isEmpty());
    }
}

TEST_F(FrmMailerTest, MultiLineGreeting_DialogueWaitsForItsLastLine)
{
    server.multiLineGreeting = true;
    mailer->txtEmailSubject->setText(QStringLiteral("S"));
    mailer->cmdSendEmail_Click();
    ASSERT_TRUE(waitForMessageBox());
    EXPECT_EQ(dialogs.messages().first().text, QStringLiteral("Message sent!"));
    EXPECT_EQ(server.commands.first(), QStringLiteral("HELO alice"));
    EXPECT_EQ(server.commands.size(), 5);
}

TEST_F(FrmMailerTest, SendingTwice_EachDialogueStartsAtHeloAndRepliesAccumulate)
{
    mailer->cmdSendEmail_Click();
    ASSERT_TRUE(waitForMessageBox(1));
    mailer->cmdSendEmail_Click();
    ASSERT_TRUE(waitForMessageBox(2));
    EXPECT_EQ(server.connections, 2);
    EXPECT_EQ(server.commands.count(QStringLiteral("HELO alice")), 2);
    EXPECT_EQ(server.messages.size(), 2);
    EXPECT_EQ(mailer->txtServerReplies->toPlainText().count(QStringLiteral("220 mail.test ESMTP ready")), 2);
}

TEST_F(FrmMailerTest, BadAddresses_AreRefusedBeforeConnecting)
{
    const struct
    {
        QString to;
        QString from;
        QString text;
    } cases[] = {
        {QStringLiteral("TO"), QStringLiteral("<alice@example.org>"),
         QStringLiteral("The To: address does not appear to be a valid email address.  Please correct this.")},
        {QStringLiteral("<bob@example.org"), QStringLiteral("<alice@example.org>"),
         QStringLiteral("The email address listed on the To: line should be bracketed with a < and >.  Please correct "
                        "this.")},
        {QStringLiteral("<bob@example.org>"), QStringLiteral("FROM"),
         QStringLiteral("The From: address does not appear to be a valid email address.  Please correct this.")},
        {QStringLiteral("<bob@example.org>"), QStringLiteral("alice@example.org>"),
         QStringLiteral("The email address listed on the From: line should be bracketed with a < and >.  Please "
                        "correct this.")},
    };
    for (const auto& c : cases) {
        dialogs.shown.clear();
        captions.to = c.to;
        captions.from = c.from;
        mailer->cmdSendEmail_Click();
        ASSERT_EQ(dialogs.messages().size(), 1);
        EXPECT_EQ(dialogs.messages().first().text, c.text);
        EXPECT_EQ(dialogs.messages().first().style, 16);
        EXPECT_EQ(dialogs.messages().first().title, QStringLiteral("HlvWatch"));
        EXPECT_FALSE(mailer->isConnectionOpen());
    }
    EXPECT_EQ(server.connections, 0);
}

TEST_F(FrmMailerTest, RefusedConnection_ShowsTheRefusalMessage)
{
    // A port nobody listens on: taken from a server that is closed again at once.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 closedPort = probe.serverPort();
    probe.close();
    delete mailer.data();
    mailer = new frmMailer(dialogs, captions, alert, closedPort);

    mailer->cmdSendEmail_Click();
    ASSERT_TRUE(waitForMessageBox());
    EXPECT_EQ(dialogs.messages().first().text,
              QStringLiteral("The server rejected your conection attempt.  Check your send from email address and make "
                             "sure it has a account on the mail server with permission to send"));
    EXPECT_EQ(dialogs.messages().first().style, 0);
    EXPECT_FALSE(mailer->isConnectionOpen());
}

TEST_F(FrmMailerTest, SendWhileADialogueRuns_IsRefusedAndTheFirstGoesOn)
{
    mailer->cmdSendEmail_Click();
    ASSERT_TRUE(mailer->isConnectionOpen());
    mailer->cmdSendEmail_Click();
    ASSERT_GE(dialogs.messages().size(), 1);
    EXPECT_EQ(dialogs.messages().first().text,
              QStringLiteral("Error Received from cmdSendEmail: \r\n Error Number: 40020\r\nError Description: Invalid "
                             "operation at current state."));
    ASSERT_TRUE(waitForMessageBox(2));
    EXPECT_EQ(dialogs.messages().at(1).text, QStringLiteral("Message sent!"));
    EXPECT_EQ(server.messages.size(), 1);
}

} // namespace
} // namespace hlv::test
