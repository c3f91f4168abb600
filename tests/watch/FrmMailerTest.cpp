#include "watch/frmMailer.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
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
    // Date and Message-ID change with every mail; the rest is fixed.
    QByteArray message = server.messages.first();
    const QRegularExpression stamp(
        QStringLiteral("Priority: normal\r\n"
                       "Date: \\w{3}, \\d{2} \\w{3} \\d{4} \\d{2}:\\d{2}:\\d{2} [+-]\\d{4}\r\n"
                       "Message-ID: <[0-9a-f-]{36}@example\\.org>\r\n"));
    const QRegularExpressionMatch match = stamp.match(QString::fromUtf8(message));
    ASSERT_TRUE(match.hasMatch()) << message.constData();
    message.replace(match.captured().toUtf8(), "Priority: normal\r\n");
    EXPECT_EQ(message, QByteArray("Return-Path: <alice@example.org>\r\n"
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

// An alert while the operator has the window open for a mail of his own goes out as a mail
// of its own: what the operator typed stays, and so does the window.
TEST_F(FrmMailerTest, AlertWhileOperatorTypes_LeavesTheWindowAndItsText)
{
    mailer->Show();
    mailer->txtEmailSubject->setText(QStringLiteral("Typed subject"));
    mailer->txtMessage->setPlainText(QStringLiteral("Typed body"));
    alert.MailAlertMode = true;
    alert.MailAlertSubject = QStringLiteral("HLV: Job Monitor stopped on PS1");
    alert.MailAlertBody = QStringLiteral("Warning");
    mailer->Show();
    ASSERT_TRUE(waitFor([&] { return server.messages.size() == 1; }));
    EXPECT_TRUE(server.messages.first().contains("Subject:HLV: Job Monitor stopped on PS1\r\n"));
    ASSERT_FALSE(mailer.isNull());
    EXPECT_TRUE(mailer->isVisible());
    EXPECT_EQ(mailer->txtEmailSubject->text(), QStringLiteral("Typed subject"));
    EXPECT_EQ(mailer->txtMessage->toPlainText(), QStringLiteral("Typed body"));
    EXPECT_TRUE(dialogs.shown.isEmpty());

    mailer->cmdSendEmail_Click();
    ASSERT_TRUE(waitForMessageBox()) << "the operator's own mail ends in a box, alert or no alert";
    EXPECT_EQ(dialogs.messages().first().text, QStringLiteral("Message sent!"));
    EXPECT_TRUE(server.messages.last().contains("Subject:Typed subject\r\n"));
}

// A refusal ends its dialogue with a box that nothing waits for; a mail sent while the box
// is still open (the box runs its own event loop where it waits) gets a dialogue of its own.
TEST_F(FrmMailerTest, ServerRefusals_ShowTheirMessagesAndTheNextMailStillGoesOut)
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
    dialogs.nestedLoop = true;
    for (const auto& c : cases) {
        dialogs.shown.clear();
        server.messages.clear();
        server.repliesOnce.clear();
        server.nextGreetings = {c.greeting421 ? QByteArray("421 too busy\r\n") : QByteArray("220 ready\r\n")};
        if (!c.verb.isEmpty()) {
            server.repliesOnce.insert(c.verb, c.reply);
        }
        bool secondSent = false;
        dialogs.onOpen = [&] {
            if (!secondSent) {
                secondSent = true;
                mailer->txtEmailSubject->setText(QStringLiteral("Second"));
                mailer->cmdSendEmail_Click();
            }
        };
        mailer->txtEmailSubject->setText(QStringLiteral("First"));
        mailer->cmdSendEmail_Click();
        ASSERT_TRUE(waitForMessageBox(2)) << c.text.toStdString();
        dialogs.closeBoxes();
        const auto box = dialogs.messages().first();
        EXPECT_EQ(box.text, c.text);
        EXPECT_EQ(box.style, c.style);
        EXPECT_EQ(box.title, c.title);
        EXPECT_EQ(dialogs.messages().at(1).text, QStringLiteral("Message sent!"));
        for (const auto& shown : dialogs.messages()) {
            EXPECT_FALSE(shown.waited) << shown.text.toStdString();
        }
        ASSERT_EQ(server.messages.size(), 1);
        EXPECT_TRUE(server.messages.first().contains("Subject:Second\r\n"));
        EXPECT_FALSE(mailer->isConnectionOpen());
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

TEST_F(FrmMailerTest, AlertsInQuickSuccession_AllArriveInOrder)
{
    alert.MailAlertMode = true;
    for (const char* subject : {"HLV: first", "HLV: second", "HLV: third"}) {
        alert.MailAlertSubject = QString::fromLatin1(subject);
        alert.MailAlertBody = QStringLiteral("body of ") + alert.MailAlertSubject;
        mailer->Show();
    }
    EXPECT_EQ(mailer->waitingMails(), 2);
    // Exit while alerts are on their way sends them first.
    mailer->cmdExit_Click();
    EXPECT_FALSE(mailer.isNull());
    ASSERT_TRUE(waitFor([&] { return mailer.isNull(); }));
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(server.connections, 3);
    ASSERT_EQ(server.messages.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const QByteArray subject = QByteArray("HLV: ") + (i == 0 ? "first" : i == 1 ? "second" : "third");
        EXPECT_TRUE(server.messages.at(i).contains("Subject:" + subject + "\r\n\r\nbody of " + subject)) << i;
    }
}

TEST_F(FrmMailerTest, FullQueue_DropsTheNewestMailAndSaysSo)
{
    alert.MailAlertMode = true;
    for (int i = 0; i <= frmMailer::kMaxWaitingMails + 1; ++i) {
        alert.MailAlertSubject = QStringLiteral("alert %1").arg(i);
        mailer->Show();
    }
    // One is being sent, kMaxWaitingMails wait, the last one is dropped.
    EXPECT_EQ(mailer->waitingMails(), frmMailer::kMaxWaitingMails);
    EXPECT_EQ(mailer->droppedMails(), 1);
    EXPECT_TRUE(mailer->txtServerReplies->toPlainText().contains(
        QStringLiteral("Mail \"alert %1\" dropped").arg(frmMailer::kMaxWaitingMails + 1)));
    ASSERT_TRUE(waitFor([&] { return mailer.isNull(); }));
    ASSERT_EQ(server.messages.size(), frmMailer::kMaxWaitingMails + 1);
    EXPECT_TRUE(server.messages.last().contains(
        QStringLiteral("Subject:alert %1\r\n").arg(frmMailer::kMaxWaitingMails).toUtf8()));
}

TEST_F(FrmMailerTest, ServerThatNeverAnswers_TimesOutAndTheNextAlertArrives)
{
    server.silentConnections = 1;
    mailer->setReplyTimeout(2000);
    QStringList notMailed;
    int mailed = 0;
    QObject::connect(mailer, &frmMailer::alertNotMailed, [&](const QString& why) { notMailed.append(why); });
    QObject::connect(mailer, &frmMailer::alertMailed, [&] { ++mailed; });
    alert.MailAlertMode = true;
    for (const char* subject : {"HLV: lost", "HLV: next"}) {
        alert.MailAlertSubject = QString::fromLatin1(subject);
        mailer->Show();
    }
    ASSERT_TRUE(waitFor([&] { return mailer.isNull(); }));
    // An alert's failure is told to the watch window, never in a box of its own.
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(notMailed, QStringList{QStringLiteral(
                             "Winsock Error number 10060\r\nThe mail server did not answer within 2 seconds.")});
    EXPECT_EQ(mailed, 1);
    ASSERT_EQ(server.messages.size(), 1);
    EXPECT_TRUE(server.messages.first().contains("Subject:HLV: next\r\n"));
    // The silent connection was given up, not left open.
    EXPECT_TRUE(waitFor([&] { return server.disconnections == 2; }));
}

// A reply line or a reply over its cap ends the dialogue at once as an error, and the reply
// log keeps no more than its cap.
TEST_F(FrmMailerTest, EndlessReplies_EndTheDialogueAsAnErrorWithinTheCaps)
{
    const struct
    {
        const char* name;
        QString ending;
        std::function<void(QTcpSocket*)> flood;
    } cases[] = {
        {"endless continuation lines", QStringLiteral("... (reply longer than 16384 bytes)"),
         [](QTcpSocket* socket) {
             auto* timer = new QTimer(socket);
             QObject::connect(timer, &QTimer::timeout, socket, [socket] {
                 for (int i = 0; i < 200 && socket->bytesToWrite() < (1 << 20); ++i) {
                     socket->write("220-and there is more to say about this server, much more\r\n");
                 }
             });
             timer->start(1);
         }},
        {"one line of 10 MB", QStringLiteral("... (reply line longer than 2048 bytes)"),
         [](QTcpSocket* socket) {
             socket->write(QByteArray(10 * 1024 * 1024, 'x'));
         }},
    };
    for (const auto& c : cases) {
        dialogs.shown.clear();
        server.onConnect = c.flood;
        QElapsedTimer clock;
        clock.start();
        mailer->cmdSendEmail_Click();
        ASSERT_TRUE(waitForMessageBox()) << c.name;
        // Well inside the 30 s a reply may take: the flood itself ends the mail.
        EXPECT_LT(clock.elapsed(), 15000) << c.name;
        const auto box = dialogs.messages().first();
        EXPECT_TRUE(box.text.startsWith(QStringLiteral("Error: "))) << c.name;
        EXPECT_TRUE(box.text.endsWith(c.ending)) << box.text.right(60).toStdString();
        EXPECT_LT(box.text.size(), 1000) << c.name;
        EXPECT_FALSE(mailer->isConnectionOpen()) << c.name;
        EXPECT_LE(mailer->txtServerReplies->toPlainText().size(), frmMailer::kMaxReplyLog) << c.name;
    }
}

// A subject and body beyond ASCII, under a locale with other digits and month names, as a
// mail reader sees them.
TEST_F(FrmMailerTest, NonAsciiAlert_DecodedByAMailReader)
{
    const QLocale savedLocale;
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
    alert.MailAlertMode = true;
    alert.MailAlertSubject = QStringLiteral("HLV: Job Error on Сервер-東京 with a subject long enough to be folded");
    alert.MailAlertBody = QStringLiteral("Warning: Job 5 titled Bücher «Q1» in Печать on Сервер-東京\r\n"
                                         "for jürgen on \\\\PC3 is reporting a status of Error");
    mailer->Show();
    ASSERT_TRUE(waitFor([&] { return mailer.isNull(); }));
    QLocale::setDefault(savedLocale);
    ASSERT_EQ(server.messages.size(), 1);
    // Only 7-bit text travels.
    for (const char byte : server.messages.first()) {
        ASSERT_GE(static_cast<signed char>(byte), 0);
    }

    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, json, email, email.policy, email.utils\n"
                                 "m = email.message_from_bytes(sys.stdin.buffer.read(), policy=email.policy.default)\n"
                                 "d = email.utils.parsedate_to_datetime(m['Date'])\n"
                                 "print(json.dumps({'subject': str(m['Subject']), 'body': m.get_content(),\n"
                                 "  'type': m.get_content_type(), 'charset': m.get_content_charset(),\n"
                                 "  'zone': d.tzinfo is not None, 'id': str(m['Message-ID'])}))\n")});
    ASSERT_TRUE(python.waitForStarted()) << "python3 is needed";
    python.write(server.messages.first());
    python.closeWriteChannel();
    ASSERT_TRUE(python.waitForFinished(20000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().constData();
    const QJsonObject mail = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    EXPECT_EQ(mail.value(QStringLiteral("subject")).toString(), alert.MailAlertSubject);
    QString body = mail.value(QStringLiteral("body")).toString();
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_TRUE(body.startsWith(QString(alert.MailAlertBody).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))))
        << body.toStdString();
    EXPECT_EQ(mail.value(QStringLiteral("type")).toString(), QStringLiteral("text/plain"));
    EXPECT_EQ(mail.value(QStringLiteral("charset")).toString(), QStringLiteral("utf-8"));
    EXPECT_TRUE(mail.value(QStringLiteral("zone")).toBool());
    EXPECT_TRUE(mail.value(QStringLiteral("id")).toString().endsWith(QStringLiteral("@example.org>")));
}

} // namespace
} // namespace hlv::test
