#include "watch/SmtpDialogue.h"

#include <QTimeZone>
#include <gtest/gtest.h>

namespace hlv::test {
namespace {

QByteArray joined(const QList<QByteArray>& parts)
{
    QByteArray out;
    for (const QByteArray& part : parts) {
        out += part;
    }
    return out;
}

// Feeds one reply and returns what the client answers with.
QByteArray answerTo(SmtpDialogue& dialogue, const QByteArray& reply, SmtpDialogue::Outcome* outcome = nullptr)
{
    const QList<SmtpDialogue::Step> steps = dialogue.receive(reply);
    EXPECT_EQ(steps.size(), 1) << reply.constData();
    if (steps.isEmpty()) {
        return {};
    }
    if (outcome) {
        *outcome = steps.first().outcome;
    }
    return joined(steps.first().send);
}

const QDateTime kSent(QDate(2026, 3, 14), QTime(9, 15, 30), QTimeZone(3600));

SmtpDialogue started(const QString& subject = QStringLiteral("Hello"), const QString& body = QStringLiteral("L1\r\nL2"),
                     const QString& to = QStringLiteral("<bob@example.org>"))
{
    SmtpDialogue dialogue;
    dialogue.start(QStringLiteral("<alice@example.org>"), to, [subject, body] {
        return SmtpDialogue::MailText{subject, body, kSent, QStringLiteral("<m1@example.org>")};
    });
    return dialogue;
}

TEST(SmtpDialogueTest, WholeDialogue_SendsCommandsAndMessageInOrder)
{
    SmtpDialogue d = started();
    EXPECT_EQ(d.SmtpState(), 0);
    EXPECT_EQ(answerTo(d, "220 mail ready\r\n"), QByteArray("HELO alice\r\n"));
    EXPECT_EQ(d.SmtpState(), 1);
    EXPECT_EQ(answerTo(d, "250 hello\r\n"), QByteArray("MAIL FROM: <alice@example.org>\r\n"));
    EXPECT_EQ(answerTo(d, "250 ok\r\n"), QByteArray("RCPT TO: <bob@example.org>\r\n"));
    EXPECT_EQ(answerTo(d, "250 ok\r\n"), QByteArray("DATA\r\n"));
    EXPECT_EQ(d.SmtpState(), 4);
    EXPECT_EQ(answerTo(d, "354 go ahead\r\n"), QByteArray("Return-Path: <alice@example.org>\r\n"
                                                          "Content-type: text/plain\r\n"
                                                          "Priority: normal\r\n"
                                                          "Date: Sat, 14 Mar 2026 09:15:30 +0100\r\n"
                                                          "Message-ID: <m1@example.org>\r\n"
                                                          "To: <bob@example.org>\r\n"
                                                          "From: <alice@example.org>\r\n"
                                                          "Subject:Hello\r\n"
                                                          "\r\n"
                                                          "L1\r\nL2\r\n\r\n\r\n"
                                                          "\r\n.\r\n"));
    EXPECT_EQ(d.SmtpState(), 6);
    EXPECT_EQ(answerTo(d, "250 queued\r\n"), QByteArray("QUIT\r\n"));
    EXPECT_EQ(d.SmtpState(), 7);
    SmtpDialogue::Outcome outcome = SmtpDialogue::Outcome::Continue;
    EXPECT_EQ(answerTo(d, "221 bye\r\n", &outcome), QByteArray());
    EXPECT_EQ(outcome, SmtpDialogue::Outcome::Sent);
}

TEST(SmtpDialogueTest, ReplyCodes_EndTheDialogueAsTheStateSays)
{
    struct Case
    {
        int repliesBefore; // "250" replies after the greeting before the reply under test
        QByteArray reply;
        SmtpDialogue::Outcome outcome;
    };
    const Case cases[] = {
        {-1, "421 service not available\r\n", SmtpDialogue::Outcome::FromRejected},
        {2, "550 no such user here\r\n", SmtpDialogue::Outcome::Failed},
        {0, "501 syntax\r\n", SmtpDialogue::Outcome::Failed},
        {1, "421 closing\r\n", SmtpDialogue::Outcome::FromRejected},
        {5, "221 bye\r\n", SmtpDialogue::Outcome::Sent},
        {5, "250 still here\r\n", SmtpDialogue::Outcome::Closed},
        {5, "500 what\r\n", SmtpDialogue::Outcome::Sent},
    };
    for (const Case& c : cases) {
        SmtpDialogue d = started();
        if (c.repliesBefore >= 0) {
            d.receive("220 ready\r\n");
            for (int i = 0; i < c.repliesBefore; ++i) {
                d.receive(i == 3 ? QByteArray("354 go\r\n") : QByteArray("250 ok\r\n"));
            }
        }
        const QList<SmtpDialogue::Step> steps = d.receive(c.reply);
        ASSERT_EQ(steps.size(), 1) << c.reply.constData();
        EXPECT_EQ(steps.first().outcome, c.outcome) << c.reply.constData();
        EXPECT_TRUE(steps.first().send.isEmpty()) << c.reply.constData();
        EXPECT_EQ(steps.first().reply, QString::fromUtf8(c.reply));
    }
}

TEST(SmtpDialogueTest, MultiLineAndSplitReplies_AdvanceOncePerCompleteReply)
{
    SmtpDialogue d = started();
    EXPECT_TRUE(d.receive("220-mail.example first line\r\n").isEmpty());
    EXPECT_TRUE(d.receive("220-second line\r\n22").isEmpty());
    QList<SmtpDialogue::Step> steps = d.receive("0 last line\r\n");
    ASSERT_EQ(steps.size(), 1);
    EXPECT_EQ(joined(steps.first().send), QByteArray("HELO alice\r\n"));
    EXPECT_EQ(steps.first().reply,
              QStringLiteral("220-mail.example first line\r\n220-second line\r\n220 last line\r\n"));
    EXPECT_EQ(d.SmtpState(), 1);

    // A reply cut in the middle of its line waits for the line's end.
    EXPECT_TRUE(d.receive("25").isEmpty());
    steps = d.receive("0 ok\r\n");
    ASSERT_EQ(steps.size(), 1);
    EXPECT_EQ(joined(steps.first().send), QByteArray("MAIL FROM: <alice@example.org>\r\n"));
}

TEST(SmtpDialogueTest, OverlongReplies_EndTheDialogueAsFailedAndLaterDataIsIgnored)
{
    const struct
    {
        const char* name;
        QList<QByteArray> arrivals;
    } cases[] = {
        {"line without end", {QByteArray(1500, 'x'), QByteArray(1500, 'y')}},
        {"long line at once", {QByteArray("220 ") + QByteArray(3000, 'z') + "\r\n"}},
        {"endless continuation", QList<QByteArray>(400, QByteArray("220-") + QByteArray(60, 'c') + "\r\n")},
    };
    for (const auto& c : cases) {
        SmtpDialogue d = started();
        QList<SmtpDialogue::Step> steps;
        for (const QByteArray& arrival : c.arrivals) {
            steps += d.receive(arrival);
        }
        ASSERT_EQ(steps.size(), 1) << c.name;
        EXPECT_EQ(steps.first().outcome, SmtpDialogue::Outcome::Failed) << c.name;
        EXPECT_TRUE(steps.first().send.isEmpty()) << c.name;
        EXPECT_LT(steps.first().reply.size(), 300) << c.name;
        EXPECT_TRUE(d.receive("220 ready\r\n").isEmpty()) << c.name;
    }
}

TEST(SmtpDialogueTest, NonAsciiText_GoesAsMimeUtf8WithEncodedSubject)
{
    const QString subject = QStringLiteral("Ошибка задания на сервере Печать-Север, очередь «Бухгалтерия»");
    const QByteArray all = joined(
        SmtpDialogue::messageParts(QStringLiteral("<a@x.org>"), QStringLiteral("<b@x.org>"),
                                   {subject, QStringLiteral("Bücher\r\n.line"), kSent, QStringLiteral("<m2@x.org>")}));
    const qsizetype headerEnd = all.indexOf("\r\n\r\n");
    const QByteArray header = all.left(headerEnd + 2);
    EXPECT_TRUE(header.contains("MIME-Version: 1.0\r\n"
                                "Content-Type: text/plain; charset=UTF-8\r\n"
                                "Content-Transfer-Encoding: base64\r\n"));
    EXPECT_FALSE(header.contains("Content-type: text/plain\r\n"));
    // The subject: encoded words of at most 75 characters, on folded lines, that give the
    // text back.
    const qsizetype subjectAt = header.indexOf("Subject: ");
    ASSERT_GE(subjectAt, 0);
    const QList<QByteArray> folded = header.mid(subjectAt + 9).chopped(2).split('\n');
    ASSERT_GT(folded.size(), 1);
    QByteArray decoded;
    for (QByteArray word : folded) {
        word = word.trimmed();
        ASSERT_LE(word.size(), 75);
        ASSERT_TRUE(word.startsWith("=?UTF-8?B?") && word.endsWith("?=")) << word.constData();
        decoded += QByteArray::fromBase64(word.mid(10, word.size() - 12));
    }
    EXPECT_EQ(QString::fromUtf8(decoded), subject);
    const QByteArray body = all.mid(headerEnd + 4, all.size() - headerEnd - 4 - 5);
    EXPECT_EQ(QString::fromUtf8(QByteArray::fromBase64(body)), QStringLiteral("Bücher\r\n.line\r\n\r\n"));
    for (const char byte : all) {
        ASSERT_GE(static_cast<signed char>(byte), 0);
    }
}

TEST(SmtpDialogueTest, LineBreaksInSubjectAndAddresses_CannotAddHeadersOrCommands)
{
    SmtpDialogue d;
    d.start(
        QStringLiteral("<alice@example.org>\r\nRCPT TO: <x@evil.org>"),
        QStringLiteral("<bob@example.org>\nBcc: <spy@evil.org>"), [] {
            return SmtpDialogue::MailText{QStringLiteral("Alert\r\nBcc: spy@evil.org"), QStringLiteral("body"), {}, {}};
        });
    QByteArray all;
    all += answerTo(d, "220 ready\r\n");
    all += answerTo(d, "250 ok\r\n");
    all += answerTo(d, "250 ok\r\n");
    all += answerTo(d, "250 ok\r\n");
    all += answerTo(d, "354 go\r\n");
    const QList<QByteArray> lines = all.split('\n');
    for (const QByteArray& line : lines) {
        EXPECT_FALSE(line.startsWith("Bcc:")) << all.constData();
        EXPECT_FALSE(line.startsWith("RCPT TO: <x@evil.org>")) << all.constData();
    }
    EXPECT_TRUE(all.contains("Subject:Alert  Bcc: spy@evil.org\r\n\r\n"));
    EXPECT_TRUE(all.contains("RCPT TO: <bob@example.org> Bcc: <spy@evil.org>\r\n"));
}

TEST(SmtpDialogueTest, BodyLinesStartingWithDot_AreDoubledAndCannotEndTheData)
{
    const QList<QByteArray> parts =
        SmtpDialogue::messageParts(QStringLiteral("<a@x>"), QStringLiteral("<b@x>"),
                                   {QStringLiteral("S"), QStringLiteral(".\r\n..two\nmiddle.\r.end"), {}, {}});
    ASSERT_EQ(parts.size(), 3);
    EXPECT_EQ(parts.at(1), QByteArray("..\r\n...two\r\nmiddle.\r\n..end\r\n\r\n\r\n"));
    EXPECT_EQ(parts.at(2), QByteArray("\r\n.\r\n"));
    // Only the end marker ends the data.
    EXPECT_EQ(joined(parts).indexOf("\r\n.\r\n"), joined(parts).size() - 5);
}

TEST(SmtpDialogueTest, AddressParts_TakenFromTheCaptions)
{
    const struct
    {
        QString caption;
        QString hello;
        QString bracketed;
    } cases[] = {
        {QStringLiteral("<alice@example.org>"), QStringLiteral("alice"), QStringLiteral("<alice@example.org>")},
        {QStringLiteral("  <a.b@example.org>  "), QStringLiteral("a.b"), QStringLiteral("<a.b@example.org>  ")},
        {QStringLiteral("Alice <al@x.org>"), QStringLiteral("al"), QStringLiteral("<al@x.org>")},
        {QStringLiteral("<<al@x.org>>"), QStringLiteral("<al"), QStringLiteral("<<al@x.org>>")},
        {QStringLiteral("<nobody>"), QStringLiteral("nobody"), QStringLiteral("<nobody>")},
        {QStringLiteral("<@x.org>"), QStringLiteral("localhost"), QStringLiteral("<@x.org>")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SmtpDialogue::helloName(c.caption), c.hello) << c.caption.toStdString();
        EXPECT_EQ(SmtpDialogue::bracketedAddress(c.caption), c.bracketed) << c.caption.toStdString();
    }
}

TEST(SmtpDialogueTest, SecondStart_BeginsAgainAtHelo)
{
    SmtpDialogue d = started();
    d.receive("220 ready\r\n250 ok\r\n");
    EXPECT_EQ(d.SmtpState(), 2);
    d.receive("250-partial\r\n");
    d.start(QStringLiteral("<carol@example.org>"), QStringLiteral("<bob@example.org>"), {});
    EXPECT_EQ(d.SmtpState(), 0);
    EXPECT_EQ(answerTo(d, "220 again\r\n"), QByteArray("HELO carol\r\n"));
}

} // namespace
} // namespace hlv::test
