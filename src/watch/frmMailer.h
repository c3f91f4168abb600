#pragma once

#include <deque>

#include <QAbstractSocket>
#include <QString>
#include <QTimer>
#include <QWidget>

#include "watch/SmtpDialogue.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTcpSocket;

namespace hlv {

class Dialogs;
struct MailAlert;

// Where the mail window reads the mail server and the two addresses at send time: the
// captions of the watch window's menus.
class MailCaptions
{
public:
    virtual ~MailCaptions() = default;
    virtual QString mailServerCaption() const = 0;
    virtual QString mailFromCaption() const = 0;
    virtual QString mailToCaption() const = 0;
};

// The watch program's mail window: a subject, a message and the log of the server's
// replies, sent through its own SMTP dialogue (see SmtpDialogue). Test Email shows it for a
// send by hand; an e-mail alert opens it in alert mode, where it stays hidden and sends the
// alert's subject and body at once. Closing the window unloads it (it deletes itself).
//
// Every send is a mail of its own: it takes the subject and message as they are at the
// send, waits its turn behind the mails before it (at most kMaxWaitingMails wait; a send
// beyond that is dropped with a line on stderr and in the reply log), and gets a connection
// and a dialogue of its own. A dialogue ends by success, by an error reply, by a socket
// error, or when the server leaves the connect or a reply unanswered for the reply timeout;
// then the next mail starts. Nothing here waits for a message box: the boxes are shown
// and the mail window goes on at once, so that no box can hold up a dialogue or a job event.
// Only the operator's own mails end in boxes: an alert that does not go out (refused,
// failed or dropped) is told through alertNotMailed, so that a mail server down for a
// night leaves one trouble to show rather than a box per alert.
class frmMailer : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kMaxWaitingMails = 20;
    static constexpr int kDefaultReplyTimeoutMs = 30000;
    // Characters of the reply log kept; older replies are dropped from its start.
    static constexpr int kMaxReplyLog = 65536;

    frmMailer(Dialogs& dialogs, const MailCaptions& captions, MailAlert& alert, quint16 port = 25);
    ~frmMailer() override;

    // Shows the window, or in alert mode sends the alert without showing it.
    void Show();
    // The alert entry: in alert mode hide, take the alert's subject and body, and send.
    void Form_Activate();
    void cmdSendEmail_Click();
    // Closes the window. The operator's own mails go with it; alerts still to be sent are
    // sent first, with the window hidden, and the window unloads after the last one.
    void cmdExit_Click();

    int SmtpState() const { return m_dialogue.SmtpState(); }
    // A dialogue's connection is open.
    bool isConnectionOpen() const;
    // Mails waiting behind the running dialogue, and mails dropped because too many waited.
    int waitingMails() const { return static_cast<int>(m_waiting.size()); }
    int droppedMails() const { return m_dropped; }
    // How long the connect and each reply may take.
    void setReplyTimeout(int milliseconds) { m_replyTimeoutMs = milliseconds; }

    QGroupBox* Frame1 = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* txtEmailSubject = nullptr;
    QLabel* Label8 = nullptr;
    QPlainTextEdit* txtMessage = nullptr;
    QLabel* lblStatus = nullptr;
    QPlainTextEdit* txtServerReplies = nullptr;
    QPushButton* cmdSendEmail = nullptr;
    QPushButton* cmdExit = nullptr;

    // The Winsock numbers of the errors a socket reports.
    static int winsockErrorNumber(QAbstractSocket::SocketError error);

Q_SIGNALS:
    // An alert mail that did not go out, and why (the text its box would have shown).
    void alertNotMailed(const QString& why);
    // An alert mail that the server took.
    void alertMailed();

private:
    struct Mail
    {
        QString subject;
        QString body;
        bool alert = false;
    };

    // Waits its turn behind the mails before it, or is dropped when too many wait.
    void queueMail(const Mail& mail);
    void startNextMail();
    void WinSock_DataArrival();
    void WinSock_Error(int number, const QString& description);
    void replyTimedOut();
    // Ends the running dialogue and lets the next mail start once this event is over.
    void endDialogue();
    void appendReplyLog(const QString& text);
    void notify(const QString& text, int style, const QString& title);
    // The end of the running mail, taken by the server: a box for the operator's mail, the
    // signal for an alert (and a hidden window with nothing waiting closes).
    void sent(bool alert);
    // The end of the running mail by a failure: a box for the operator's mail, the signal
    // for an alert.
    void fail(const QString& text, int style, const QString& title);

    Dialogs& m_dialogs;
    const MailCaptions& m_captions;
    MailAlert& m_alert;
    quint16 m_port;
    QTcpSocket* WinSock = nullptr; // the running dialogue's connection; null between mails
    SmtpDialogue m_dialogue;
    Mail m_current;
    std::deque<Mail> m_waiting;
    int m_dropped = 0;
    QTimer m_replyTimer;
    int m_replyTimeoutMs = kDefaultReplyTimeoutMs;
    bool m_unloadWhenDone = false;
};

} // namespace hlv
