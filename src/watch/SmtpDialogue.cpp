#include "watch/SmtpDialogue.h"

#include <cctype>

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

} // namespace

void SmtpDialogue::start(const QString& fromCaption, const QString& toCaption, std::function<MailText()> text)
{
    m_state = 0;
    m_from = fromCaption;
    m_to = toCaption;
    m_text = std::move(text);
    m_pending.clear();
    m_replyLines.clear();
}

QList<SmtpDialogue::Step> SmtpDialogue::receive(const QByteArray& data)
{
    QList<Step> steps;
    m_pending += data;
    qsizetype end = m_pending.indexOf('\n');
    while (end >= 0) {
        const QByteArray replyLine = m_pending.left(end + 1);
        m_pending.remove(0, end + 1);
        m_replyLines += QString::fromUtf8(replyLine);
        if (!continuesReply(replyLine)) {
            const QString reply = m_replyLines;
            m_replyLines.clear();
            Step step = answer(reply);
            const bool over = step.outcome != Outcome::Continue;
            steps.append(std::move(step));
            if (over) {
                // Whatever else the server sent belongs to no dialogue any more.
                m_pending.clear();
                break;
            }
        }
        end = m_pending.indexOf('\n');
    }
    return steps;
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
        step.send = messageParts(m_from, m_to, text.subject, text.body);
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

QList<QByteArray> SmtpDialogue::messageParts(const QString& fromCaption, const QString& toCaption,
                                             const QString& subject, const QString& body)
{
    QList<QByteArray> parts;

    QByteArray header;
    header += line(QStringLiteral("Return-Path: ") + singleLine(bracketedAddress(fromCaption)));
    header += line(QStringLiteral("Content-type: text/plain"));
    header += line(QStringLiteral("Priority: normal"));
    header += line(QStringLiteral("To: ") + singleLine(toCaption));
    header += line(QStringLiteral("From: ") + singleLine(fromCaption));
    header += line(QStringLiteral("Subject:") + singleLine(subject));
    header += kCrLf;
    parts.append(header);

    // Any line break the text holds (CR LF, LF or a lone CR) ends a line; the two line ends
    // appended give the two empty lines after the text.
    QString text = body;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text += QStringLiteral("\n\n");
    const QStringList pieces = text.split(QLatin1Char('\n'));
    QByteArray data;
    for (const QString& piece : pieces) {
        data += line(piece.startsWith(QLatin1Char('.')) ? QLatin1Char('.') + piece : piece);
    }
    parts.append(data);

    parts.append(QByteArray("\r\n.\r\n"));
    return parts;
}

} // namespace hlv
