#pragma once

#include <QAbstractSocket>
#include <QString>
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
class frmMailer : public QWidget
{
    Q_OBJECT
public:
    frmMailer(Dialogs& dialogs, const MailCaptions& captions, MailAlert& alert, quint16 port = 25);
    ~frmMailer() override;

    // Shows the window, or in alert mode sends the alert without showing it.
    void Show();
    // The alert entry: in alert mode hide, take the alert's subject and body, and send.
    void Form_Activate();
    void cmdSendEmail_Click();
    void cmdExit_Click();

    int SmtpState() const { return m_dialogue.SmtpState(); }
    bool isConnectionOpen() const;

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

private:
    void WinSock_DataArrival();
    void WinSock_Error(int number, const QString& description);
    void closeSocket();

    Dialogs& m_dialogs;
    const MailCaptions& m_captions;
    MailAlert& m_alert;
    quint16 m_port;
    QTcpSocket* WinSock = nullptr;
    SmtpDialogue m_dialogue;
    bool m_dialogueOpen = false;
};

} // namespace hlv
