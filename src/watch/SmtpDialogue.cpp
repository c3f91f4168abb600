#include "watch/SmtpDialogue.h"

#include <cctype>

#include <QLocale>
#include <QUuid>

namespace hlv {

namespace {

const QByteArray kCrLf("\r\n");

QByteArray line(const QString& text)
{
    return text.toUtf8() + kCrLf;
}

// "250-..." announces more lines of the same reply.
bool continuesReply(const QByteArray& replyLine)
{
    return replyLine.size() >= 4 && std::isdigit(static_cast<unsigned char>(replyLine.at(0))) &&
           std::isdigit(static_cast<unsigned char>(replyLine.at(1))) &&
           std::isdigit(static_cast<unsigned char>(replyLine.at(2))) && replyLine.at(3) == '-';
}

bool isAscii(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0x7F) {
            return false;
        }
    }
    return true;
}

// RFC 2047 encoded words of at most 75 characters each, folded onto continuation lines.
// A word never ends inside a UTF-8 sequence, so each decodes on its own.
QByteArray encodedWords(const QString& text)
{
    constexpr qsizetype kBytesPerWord = 45; // 60 base64 characters plus the 12 of the frame
    const QByteArray bytes = text.toUtf8();
    QByteArray out;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = std::min(start + kBytesPerWord, bytes.size());
        while (end < bytes.size() && end > start + 1 && (static_cast<unsigned char>(bytes.at(end)) & 0xC0) == 0x80) {
            --end;
        }
        if (!out.isEmpty()) {
            out += "\r\n ";
        }
        out += "=?UTF-8?B?" + bytes.mid(start, end - start).toBase64() + "?=";
        start = end;
    }
    return out;
}

// "Sat, 14 Mar 2026 09:15:30 +0100": English names and a numeric zone, whatever the locale.
QString mailDate(const QDateTime& date)
{
    const int offset = date.offsetFromUtc() / 60;
    const int magnitude = offset < 0 ? -offset : offset;
    return QLocale::c().toString(date, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss ")) +
           QLatin1Char(offset < 0 ? '-' : '+') +
           QStringLiteral("%1%2")
               .arg(magnitude / 60, 2, 10, QLatin1Char('0'))
               .arg(magnitude % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

void SmtpDialogue::start(const QString& fromCaption, const QString& toCaption, std::function<MailText()> text)
{
    m_state = 0;
    m_from = fromCaption;
    m_to = toCaption;
    m_text = std::move(text);
    m_pending.clear();
    m_replyLines.clear();
    m_replyBytes = 0;
    m_over = false;
}

QList<SmtpDialogue::Step> SmtpDialogue::receive(const QByteArray& data)
{
    QList<Step> steps;
    if (m_over) {
        // Whatever else the server sends belongs to no dialogue any more.
        return steps;
    }
    m_pending += data;
    qsizetype pos = 0;
    while (true) {
        const qsizetype end = m_pending.indexOf('\n', pos);
        const qsizetype lineLength = (end < 0 ? m_pending.size() : end + 1) - pos;
        if (lineLength > kMaxReplyLine) {
            steps.append(tooLong(m_pending.mid(pos, 200), QStringLiteral("reply line"), kMaxReplyLine));
            return steps;
        }
        if (m_replyBytes + lineLength > kMaxReply) {
            steps.append(tooLong(m_pending.mid(pos, 200), QStringLiteral("reply"), kMaxReply));
            return steps;
        }
        if (end < 0) {
            break;
        }
        const QByteArray replyLine = m_pending.mid(pos, lineLength);
        pos = end + 1;
        m_replyLines += QString::fromUtf8(replyLine);
        m_replyBytes += lineLength;
        if (!continuesReply(replyLine)) {
            const QString reply = m_replyLines;
            m_replyLines.clear();
            m_replyBytes = 0;
            Step step = answer(reply);
            const bool over = step.outcome != Outcome::Continue;
            steps.append(std::move(step));
            if (over) {
                m_over = true;
                m_pending.clear();
                return steps;
            }
        }
    }
    m_pending.remove(0, pos);
    return steps;
}

SmtpDialogue::Step SmtpDialogue::tooLong(const QByteArray& start, const QString& what, qsizetype limit)
{
    m_over = true;
    m_pending.clear();
    const QString shown = m_replyLines.isEmpty() ? QString::fromUtf8(start) : m_replyLines.left(200);
    m_replyLines.clear();
    m_replyBytes = 0;
    Step step;
    step.outcome = Outcome::Failed;
    step.reply = shown + QStringLiteral("... (%1 longer than %2 bytes)").arg(what).arg(limit);
    step.code = step.reply.left(3);
    return step;
}

SmtpDialogue::Step SmtpDialogue::answer(const QString& reply)
{
    Step step;
    step.reply = reply;
    step.code = reply.left(3);
    if (step.code != QLatin1String("220") && step.code != QLatin1String("250") && step.code != QLatin1String("354")) {
        if (m_state == 7) {
            step.outcome = Outcome::Sent;
        } else if (step.code.toInt() == 421) {
            step.outcome = Outcome::FromRejected;
        } else {
            step.outcome = Outcome::Failed;
        }
        return step;
    }

    // The new state is taken before the line goes out.
    switch (m_state) {
    case 0:
        m_state = 1;
        step.send.append(line(QStringLiteral("HELO ") + helloName(m_from)));
        break;
    case 1:
        m_state = 2;
        step.send.append(line(QStringLiteral("MAIL FROM: ") + singleLine(bracketedAddress(m_from))));
        break;
    case 2:
        m_state = 3;
        step.send.append(line(QStringLiteral("RCPT TO: ") + singleLine(bracketedAddress(m_to))));
        break;
    case 3:
        m_state = 4;
        step.send.append(line(QStringLiteral("DATA")));
        break;
    case 4: {
        m_state = 6;
        const MailText text = m_text ? m_text() : MailText{};
        step.send = messageParts(m_from, m_to, text);
        break;
    }
    case 6:
        m_state = 7;
        step.send.append(line(QStringLiteral("QUIT")));
        break;
    default:
        step.outcome = Outcome::Closed;
        break;
    }
    return step;
}

QString SmtpDialogue::bracketedAddress(const QString& caption)
{
    const qsizetype open = caption.indexOf(QLatin1Char('<'));
    return open < 0 ? caption : caption.mid(open);
}

QString SmtpDialogue::helloName(const QString& fromCaption)
{
    const QString from = singleLine(fromCaption).trimmed();
    const qsizetype open = from.indexOf(QLatin1Char('<'));
    const qsizetype start = open < 0 ? 0 : open + 1;
    qsizetype end = from.indexOf(QLatin1Char('@'), start);
    if (end < 0) {
        // No "@" after the "<" (a hand-edited settings file): the whole bracketed text.
        end = from.indexOf(QLatin1Char('>'), start);
    }
    const QString name = (end < 0 ? from.mid(start) : from.mid(start, end - start)).trimmed();
    return name.isEmpty() ? QStringLiteral("localhost") : name;
}

QString SmtpDialogue::singleLine(const QString& text)
{
    QString out = text;
    out.replace(QLatin1Char('\r'), QLatin1Char(' '));
    out.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return out;
}

QString SmtpDialogue::newMessageId(const QString& fromCaption)
{
    const QString address = bracketedAddress(fromCaption);
    QString domain = address.mid(address.indexOf(QLatin1Char('@')) + 1).section(QLatin1Char('>'), 0, 0);
    domain.removeIf([](QChar c) {
        return c.unicode() > 0x7F || !(c.isLetterOrNumber() || c == QLatin1Char('.') || c == QLatin1Char('-'));
    });
    if (!address.contains(QLatin1Char('@')) || domain.isEmpty()) {
        domain = QStringLiteral("localhost");
    }
    return QLatin1Char('<') + QUuid::createUuid().toString(QUuid::WithoutBraces) + QLatin1Char('@') + domain +
           QLatin1Char('>');
}

QList<QByteArray> SmtpDialogue::messageParts(const QString& fromCaption, const QString& toCaption, const MailText& text)
{
    QList<QByteArray> parts;
    const bool mime = !isAscii(text.subject) || !isAscii(text.body);
    const QDateTime date = text.date.isValid() ? text.date : QDateTime::currentDateTime();
    const QString messageId = text.messageId.isEmpty() ? newMessageId(fromCaption) : text.messageId;

    QByteArray header;
    header += line(QStringLiteral("Return-Path: ") + singleLine(bracketedAddress(fromCaption)));
    if (mime) {
        header += line(QStringLiteral("MIME-Version: 1.0"));
        header += line(QStringLiteral("Content-Type: text/plain; charset=UTF-8"));
        header += line(QStringLiteral("Content-Transfer-Encoding: base64"));
    } else {
        header += line(QStringLiteral("Content-type: text/plain"));
    }
    header += line(QStringLiteral("Priority: normal"));
    // Always in English and with a numeric zone, whatever the locale.
    header += line(QStringLiteral("Date: ") + mailDate(date));
    header += line(QStringLiteral("Message-ID: ") + singleLine(messageId));
    header += line(QStringLiteral("To: ") + singleLine(toCaption));
    header += line(QStringLiteral("From: ") + singleLine(fromCaption));
    const QString subject = singleLine(text.subject);
    if (isAscii(subject)) {
        header += line(QStringLiteral("Subject:") + subject);
    } else {
        header += "Subject: " + encodedWords(subject) + kCrLf;
    }
    header += kCrLf;
    parts.append(header);

    // Any line break the text holds (CR LF, LF or a lone CR) ends a line; the two line ends
    // appended give the two empty lines after the text.
    QString body = text.body;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    body.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    body += QStringLiteral("\n\n");
    const QStringList pieces = body.split(QLatin1Char('\n'));
    QByteArray data;
    if (mime) {
        // Base64 holds no "." at a line start, so nothing needs doubling.
        const QByteArray encoded = pieces.join(QStringLiteral("\r\n")).toUtf8().toBase64();
        for (qsizetype at = 0; at < encoded.size(); at += 76) {
            data += encoded.mid(at, 76) + kCrLf;
        }
    } else {
        for (const QString& piece : pieces) {
            data += line(piece.startsWith(QLatin1Char('.')) ? QLatin1Char('.') + piece : piece);
        }
    }
    parts.append(data);

    parts.append(QByteArray("\r\n.\r\n"));
    return parts;
}

} // namespace hlv
