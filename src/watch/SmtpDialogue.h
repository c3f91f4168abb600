#pragma once

#include <functional>

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace hlv {

// The mail window's SMTP dialogue without its socket: it is fed what the server sends and
// answers with the bytes to send back and whether the dialogue is over. Plain SMTP on one
// connection: no authentication, no encryption, one recipient.
//
// SmtpState, advanced once per complete reply whose code is 220, 250 or 354 (5 is not used):
//
//   state | becomes | sends
//   ------+---------+---------------------------------------------------------------
//     0   |    1    | "HELO " + local part of the From address
//     1   |    2    | "MAIL FROM: " + the From caption's bracketed address
//     2   |    3    | "RCPT TO: " + the To caption's bracketed address
//     3   |    4    | "DATA"
//     4   |    6    | the message: header, blank line, body, "." line
//     6   |    7    | "QUIT"
//     7   |    7    | nothing; the connection is closed (Closed)
//
// Any other reply code closes the connection: in state 7 the mail has gone (Sent); before
// that a 421 is FromRejected and anything else Failed.
//
// A reply counts once it is complete: a multi-line reply ("250-...") waits for its last
// line, and a line split over several arrivals waits for its end, so a chatty server can
// never make the client run ahead of it. A reply line longer than kMaxReplyLine bytes, or a
// reply longer than kMaxReply bytes, ends the dialogue as Failed at once: a server that
// streams without end cannot grow the client without bound.
//
// Header values and command arguments never carry a line break (each CR or LF becomes a
// blank), so a subject or address cannot add header lines or commands; body lines end in
// CR LF and a body line starting with "." is sent with one more "." so that it cannot end
// the data early. Every message carries a Date and a Message-ID; a subject or body that is
// not plain ASCII is sent as MIME UTF-8 text (base64 body, RFC 2047 subject), so that it
// arrives readable through servers that only take 7-bit text after HELO.
class SmtpDialogue
{
public:
    enum class Outcome { Continue, Closed, Sent, FromRejected, Failed };

    static constexpr qsizetype kMaxReplyLine = 2048;
    static constexpr qsizetype kMaxReply = 16384;

    struct Step
    {
        QList<QByteArray> send; // written in this order
        Outcome outcome = Outcome::Continue;
        QString reply; // the complete reply this step answers
        QString code;  // its first three characters
    };

    // The subject and message, read only when the server is ready for the data. An invalid
    // date stands for the time of sending, an empty message id for a new one.
    struct MailText
    {
        QString subject;
        QString body;
        QDateTime date;
        QString messageId;
    };

    // A fresh dialogue at state 0. The captions are the watch window's From and To menus.
    void start(const QString& fromCaption, const QString& toCaption, std::function<MailText()> text);
    // Everything the server sent in one arrival; one step per reply completed by it.
    QList<Step> receive(const QByteArray& data);

    int SmtpState() const { return m_state; }

    // The text from the caption's first "<" to its end (the whole caption without one).
    static QString bracketedAddress(const QString& caption);
    // The trimmed caption from just after its first "<" up to the first "@" after that.
    static QString helloName(const QString& fromCaption);
    // The whole DATA part, the closing "." line included.
    static QList<QByteArray> messageParts(const QString& fromCaption, const QString& toCaption, const MailText& text);
    // A new "<unique@domain>" identifier, the domain taken from the From caption's address.
    static QString newMessageId(const QString& fromCaption);
    // The text with every CR and LF replaced by a blank.
    static QString singleLine(const QString& text);

private:
    Step answer(const QString& reply);
    // Ends the dialogue as Failed: the reply begun with start is longer than limit bytes.
    Step tooLong(const QByteArray& start, const QString& what, qsizetype limit);

    int m_state = 0;
    QString m_from;
    QString m_to;
    std::function<MailText()> m_text;
    QByteArray m_pending;       // received bytes not yet part of a complete reply
    QString m_replyLines;       // completed lines of a multi-line reply still going on
    qsizetype m_replyBytes = 0; // their length in bytes
    bool m_over = false;        // the dialogue has ended; further data is ignored
};

} // namespace hlv
