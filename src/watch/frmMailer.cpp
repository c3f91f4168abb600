#include "watch/frmMailer.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpSocket>
#include <QTextCursor>
#include <QVBoxLayout>

#include "platform/Dialogs.h"
#include "watch/JobEventProcessing.h"

namespace hlv {

namespace {

const QString kAppTitle = QStringLiteral("HlvWatch");
const QLatin1String kCrLf("\r\n");

// Winsock's "operation not valid in the present state", for a send while a dialogue runs.
constexpr int kInvalidOperationAtCurrentState = 40020;

} // namespace

frmMailer::frmMailer(Dialogs& dialogs, const MailCaptions& captions, MailAlert& alert, quint16 port)
    : m_dialogs(dialogs)
    , m_captions(captions)
    , m_alert(alert)
    , m_port(port)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Halvern Watch"));
    setObjectName(QStringLiteral("frmMailer"));
    setStyleSheet(QStringLiteral("#frmMailer, QGroupBox { background-color: #C0FFC0; }"));
    setAutoFillBackground(true);

    Frame1 = new QGroupBox(QStringLiteral("E-mail"), this);
    Label6 = new QLabel(QStringLiteral("Subject:"), Frame1);
    txtEmailSubject = new QLineEdit(Frame1);
    Label8 = new QLabel(QStringLiteral("Message:"), Frame1);
    txtMessage = new QPlainTextEdit(Frame1);
    auto* frameLayout = new QGridLayout(Frame1);
    frameLayout->addWidget(Label6, 0, 0);
    frameLayout->addWidget(txtEmailSubject, 0, 1);
    frameLayout->addWidget(Label8, 1, 0, Qt::AlignTop);
    frameLayout->addWidget(txtMessage, 1, 1);

    lblStatus = new QLabel(QStringLiteral("Server Replies:"), this);
    txtServerReplies = new QPlainTextEdit(this);
    txtServerReplies->setReadOnly(true);
    txtServerReplies->setToolTip(QStringLiteral("Enter the IP address or server name of your SMTP outgoing server"));
    cmdSendEmail = new QPushButton(QStringLiteral("&Send E-Mail"), this);
    cmdSendEmail->setStyleSheet(QStringLiteral("background-color: #00FF00;"));
    cmdExit = new QPushButton(QStringLiteral("E&xit"), this);
    cmdExit->setStyleSheet(QStringLiteral("background-color: #FF0000;"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSendEmail);
    buttons->addWidget(cmdExit);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addWidget(lblStatus);
    layout->addWidget(txtServerReplies);
    layout->addLayout(buttons);
    resize(420, 380);

    connect(cmdSendEmail, &QPushButton::clicked, this, &frmMailer::cmdSendEmail_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmMailer::cmdExit_Click);

    // Form_Load: a TCP client socket.
    WinSock = new QTcpSocket(this);
    connect(WinSock, &QTcpSocket::readyRead, this, &frmMailer::WinSock_DataArrival);
    connect(WinSock, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        WinSock_Error(winsockErrorNumber(error), WinSock->errorString());
    });
}

frmMailer::~frmMailer() = default;

bool frmMailer::isConnectionOpen() const
{
    return WinSock->state() != QAbstractSocket::UnconnectedState;
}

void frmMailer::Show()
{
    if (m_alert.MailAlertMode) {
        Form_Activate();
        return;
    }
    show();
    raise();
    activateWindow();
}

void frmMailer::Form_Activate()
{
    if (!m_alert.MailAlertMode) {
        return;
    }
    hide();
    txtEmailSubject->setText(m_alert.MailAlertSubject);
    txtMessage->setPlainText(m_alert.MailAlertBody);
    cmdSendEmail_Click();
}

void frmMailer::cmdSendEmail_Click()
{
    const QString to = m_captions.mailToCaption();
    const QString from = m_captions.mailFromCaption();
    if (!to.contains(QLatin1Char('@'))) {
        m_dialogs.msgBox(
            QStringLiteral("The To: address does not appear to be a valid email address.  Please correct this."),
            MsgBoxStyle::Critical, kAppTitle);
        return;
    }
    if (!to.contains(QLatin1Char('>')) || !to.contains(QLatin1Char('<'))) {
        m_dialogs.msgBox(QStringLiteral("The email address listed on the To: line should be bracketed with a < and "
                                        ">.  Please correct this."),
                         MsgBoxStyle::Critical, kAppTitle);
        return;
    }
    if (!from.contains(QLatin1Char('@'))) {
        m_dialogs.msgBox(
            QStringLiteral("The From: address does not appear to be a valid email address.  Please correct this."),
            MsgBoxStyle::Critical, kAppTitle);
        return;
    }
    if (!from.contains(QLatin1Char('>')) || !from.contains(QLatin1Char('<'))) {
        m_dialogs.msgBox(QStringLiteral("The email address listed on the From: line should be bracketed with a < and "
                                        ">.  Please correct this."),
                         MsgBoxStyle::Critical, kAppTitle);
        return;
    }

    // One socket, one dialogue: a send while a dialogue still runs is refused, and the
    // running one goes on undisturbed.
    if (isConnectionOpen()) {
        m_dialogs.msgBox(QStringLiteral("Error Received from cmdSendEmail: ") + kCrLf +
                             QStringLiteral(" Error Number: ") + QString::number(kInvalidOperationAtCurrentState) +
                             kCrLf + QStringLiteral("Error Description: Invalid operation at current state."),
                         MsgBoxStyle::Critical, QString());
        return;
    }
    // Subject and message are read only when the server is ready for them.
    m_dialogue.start(from, to, [this] {
        return SmtpDialogue::MailText{txtEmailSubject->text(), txtMessage->toPlainText()};
    });
    m_dialogueOpen = true;
    WinSock->connectToHost(m_captions.mailServerCaption().trimmed(), m_port);
}

void frmMailer::WinSock_DataArrival()
{
    const QByteArray data = WinSock->readAll();
    QTextCursor end = txtServerReplies->textCursor();
    end.movePosition(QTextCursor::End);
    end.insertText(QString::fromUtf8(data));

    const QList<SmtpDialogue::Step> steps = m_dialogue.receive(data);
    for (const SmtpDialogue::Step& step : steps) {
        for (const QByteArray& bytes : step.send) {
            WinSock->write(bytes);
        }
        switch (step.outcome) {
        case SmtpDialogue::Outcome::Continue:
            continue;
        case SmtpDialogue::Outcome::Closed:
            closeSocket();
            return;
        case SmtpDialogue::Outcome::Sent:
            closeSocket();
            if (m_alert.MailAlertMode) {
                close();
            } else {
                m_dialogs.msgBox(QStringLiteral("Message sent!"), MsgBoxStyle::Information, kAppTitle);
            }
            return;
        case SmtpDialogue::Outcome::FromRejected:
            closeSocket();
            m_dialogs.msgBox(QStringLiteral("The from email address is invalid for this mail server.  Please check it "
                                            "and try again"),
                             MsgBoxStyle::OkOnly, kAppTitle);
            return;
        case SmtpDialogue::Outcome::Failed:
            closeSocket();
            m_dialogs.msgBox(QStringLiteral("Error: ") + step.reply, MsgBoxStyle::Critical, QStringLiteral("Error"));
            return;
        }
    }
}

void frmMailer::WinSock_Error(int number, const QString& description)
{
    // A dialogue this window ended itself reports nothing more.
    if (!m_dialogueOpen) {
        return;
    }
    closeSocket();
    if (number == 10049) {
        m_dialogs.msgBox(
            QStringLiteral("A invalid mail server or port number was specified.  Check this entry and try again"),
            MsgBoxStyle::OkOnly, kAppTitle);
    } else if (number == 10061) {
        m_dialogs.msgBox(QStringLiteral("The server rejected your conection attempt.  Check your send from email "
                                        "address and make sure it has a account on the mail server with permission "
                                        "to send"),
                         MsgBoxStyle::OkOnly, kAppTitle);
    } else if (number != 0) {
        m_dialogs.msgBox(QStringLiteral("Winsock Error number ") + QString::number(number) + kCrLf + description,
                         MsgBoxStyle::Exclamation, kAppTitle);
    }
}

void frmMailer::closeSocket()
{
    m_dialogueOpen = false;
    WinSock->abort();
}

void frmMailer::cmdExit_Click()
{
    closeSocket();
    close();
}

int frmMailer::winsockErrorNumber(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::HostNotFoundError:
    case QAbstractSocket::SocketAddressNotAvailableError:
        return 10049; // address not available
    case QAbstractSocket::ConnectionRefusedError:
        return 10061; // connection refused
    case QAbstractSocket::RemoteHostClosedError:
        return 10053; // connection aborted
    case QAbstractSocket::SocketTimeoutError:
        return 10060; // timed out
    case QAbstractSocket::NetworkError:
        return 10050; // network down
    case QAbstractSocket::SocketAccessError:
        return 10013; // access denied
    case QAbstractSocket::SocketResourceError:
        return 10055; // no buffer space
    case QAbstractSocket::UnsupportedSocketOperationError:
        return 10045; // operation not supported
    default:
        return 10022; // invalid argument
    }
}

} // namespace hlv
