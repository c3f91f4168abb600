#include "watch/frmMailer.h"

#include <QDebug>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTcpSocket>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

#include "platform/Dialogs.h"
#include "watch/JobEventProcessing.h"

namespace hlv {

namespace {

const QString kAppTitle = QStringLiteral("HlvWatch");
const QLatin1String kCrLf("\r\n");

// Winsock's "connection timed out".
constexpr int kTimedOut = 10060;
// The most read from the connection at once, and kept unread by the socket.
constexpr qint64 kReadChunk = 65536;

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

    // Form_Load: each mail gets its own TCP client socket (startNextMail).
    m_replyTimer.setSingleShot(true);
    connect(&m_replyTimer, &QTimer::timeout, this, &frmMailer::replyTimedOut);
}

frmMailer::~frmMailer() = default;

bool frmMailer::isConnectionOpen() const
{
    return WinSock != nullptr && WinSock->state() != QAbstractSocket::UnconnectedState;
}

void frmMailer::Show()
{
    if (m_alert.MailAlertMode) {
        Form_Activate();
        return;
    }
    // Shown for the operator: it no longer unloads once the alerts still waiting are out.
    m_unloadWhenDone = false;
    show();
    raise();
    activateWindow();
}

void frmMailer::Form_Activate()
{
    if (!m_alert.MailAlertMode) {
        return;
    }
    // An alert goes out as a mail of its own: a window the operator has open (Test Email)
    // keeps what is typed in it and stays open; a hidden one stays hidden.
    queueMail({m_alert.MailAlertSubject, m_alert.MailAlertBody, true});
}

void frmMailer::cmdSendEmail_Click()
{
    // The button of a window shown for the operator sends the operator's mail, whatever
    // alert came meanwhile.
    queueMail({txtEmailSubject->text(), txtMessage->toPlainText(), m_alert.MailAlertMode && !isVisible()});
}

void frmMailer::queueMail(const Mail& mail)
{
    if (m_waiting.size() >= static_cast<size_t>(kMaxWaitingMails)) {
        ++m_dropped;
        const QString why = QStringLiteral("Mail \"%1\" dropped: %2 mails are waiting already.")
                                .arg(SmtpDialogue::singleLine(mail.subject))
                                .arg(kMaxWaitingMails);
        qWarning().noquote() << "HlvWatch:" << why;
        appendReplyLog(why + kCrLf);
        if (mail.alert) {
            Q_EMIT alertNotMailed(why);
        }
        return;
    }
    m_waiting.push_back(mail);
    if (WinSock == nullptr) {
        startNextMail();
    }
}

void frmMailer::startNextMail()
{
    while (WinSock == nullptr && !m_waiting.empty()) {
        m_current = m_waiting.front();
        m_waiting.pop_front();
        // The addresses are the menus' captions at the moment the mail's turn comes.
        const QString to = m_captions.mailToCaption();
        const QString from = m_captions.mailFromCaption();
        if (!to.contains(QLatin1Char('@'))) {
            fail(QStringLiteral("The To: address does not appear to be a valid email address.  Please correct this."),
                 MsgBoxStyle::Critical, kAppTitle);
            continue;
        }
        if (!to.contains(QLatin1Char('>')) || !to.contains(QLatin1Char('<'))) {
            fail(QStringLiteral("The email address listed on the To: line should be bracketed with a < and >.  "
                                "Please correct this."),
                 MsgBoxStyle::Critical, kAppTitle);
            continue;
        }
        if (!from.contains(QLatin1Char('@'))) {
            fail(QStringLiteral("The From: address does not appear to be a valid email address.  Please correct this."),
                 MsgBoxStyle::Critical, kAppTitle);
            continue;
        }
        if (!from.contains(QLatin1Char('>')) || !from.contains(QLatin1Char('<'))) {
            fail(QStringLiteral("The email address listed on the From: line should be bracketed with a < and >.  "
                                "Please correct this."),
                 MsgBoxStyle::Critical, kAppTitle);
            continue;
        }

        const Mail mail = m_current;
        m_dialogue.start(from, to, [mail] { return SmtpDialogue::MailText{mail.subject, mail.body, {}, {}}; });
        WinSock = new QTcpSocket(this);
        WinSock->setReadBufferSize(kReadChunk);
        QTcpSocket* socket = WinSock;
        connect(socket, &QTcpSocket::readyRead, this, &frmMailer::WinSock_DataArrival);
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError error) {
            if (socket == WinSock) {
                WinSock_Error(winsockErrorNumber(error), socket->errorString());
            }
        });
        m_replyTimer.start(m_replyTimeoutMs);
        socket->connectToHost(m_captions.mailServerCaption().trimmed(), m_port);
    }
    if (WinSock == nullptr && m_waiting.empty() && m_unloadWhenDone) {
        close();
    }
}

void frmMailer::endDialogue()
{
    m_replyTimer.stop();
    if (WinSock != nullptr) {
        QTcpSocket* socket = WinSock;
        WinSock = nullptr;
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    if (!m_waiting.empty() || m_unloadWhenDone) {
        QMetaObject::invokeMethod(this, &frmMailer::startNextMail, Qt::QueuedConnection);
    }
}

void frmMailer::WinSock_DataArrival()
{
    while (WinSock != nullptr && WinSock->bytesAvailable() > 0) {
        const QByteArray data = WinSock->read(kReadChunk);
        appendReplyLog(QString::fromUtf8(data));

        const QList<SmtpDialogue::Step> steps = m_dialogue.receive(data);
        for (const SmtpDialogue::Step& step : steps) {
            for (const QByteArray& bytes : step.send) {
                WinSock->write(bytes);
            }
            switch (step.outcome) {
            case SmtpDialogue::Outcome::Continue:
                // The server has answered; the next answer gets the whole time again.
                m_replyTimer.start(m_replyTimeoutMs);
                continue;
            case SmtpDialogue::Outcome::Closed:
                endDialogue();
                return;
            case SmtpDialogue::Outcome::Sent: {
                const bool alert = m_current.alert;
                endDialogue();
                sent(alert);
                return;
            }
            case SmtpDialogue::Outcome::FromRejected:
                endDialogue();
                fail(QStringLiteral("The from email address is invalid for this mail server.  Please check it "
                                    "and try again"),
                     MsgBoxStyle::OkOnly, kAppTitle);
                return;
            case SmtpDialogue::Outcome::Failed:
                endDialogue();
                fail(QStringLiteral("Error: ") + step.reply, MsgBoxStyle::Critical, QStringLiteral("Error"));
                return;
            }
        }
    }
}

void frmMailer::replyTimedOut()
{
    if (WinSock == nullptr) {
        return;
    }
    WinSock_Error(kTimedOut, QStringLiteral("The mail server did not answer within %1 seconds.")
                                 .arg(QString::number(m_replyTimeoutMs / 1000.0)));
}

void frmMailer::WinSock_Error(int number, const QString& description)
{
    if (WinSock == nullptr) {
        return;
    }
    // Once QUIT is out the server has taken the mail: a connection that then breaks or
    // stays silent loses nothing.
    const bool taken = m_dialogue.SmtpState() == 7;
    const bool alert = m_current.alert;
    endDialogue();
    if (taken) {
        sent(alert);
        return;
    }
    if (number == 10049) {
        fail(QStringLiteral("A invalid mail server or port number was specified.  Check this entry and try again"),
             MsgBoxStyle::OkOnly, kAppTitle);
    } else if (number == 10061) {
        fail(QStringLiteral("The server rejected your conection attempt.  Check your send from email address and "
                            "make sure it has a account on the mail server with permission to send"),
             MsgBoxStyle::OkOnly, kAppTitle);
    } else if (number != 0) {
        fail(QStringLiteral("Winsock Error number ") + QString::number(number) + kCrLf + description,
             MsgBoxStyle::Exclamation, kAppTitle);
    }
}

void frmMailer::notify(const QString& text, int style, const QString& title)
{
    m_dialogs.showMessage(text, style, title);
}

void frmMailer::sent(bool alert)
{
    if (!alert) {
        notify(QStringLiteral("Message sent!"), MsgBoxStyle::Information, kAppTitle);
        return;
    }
    const QPointer<frmMailer> self(this);
    Q_EMIT alertMailed();
    if (self && m_waiting.empty() && !isVisible()) {
        close();
    }
}

void frmMailer::fail(const QString& text, int style, const QString& title)
{
    if (m_current.alert) {
        Q_EMIT alertNotMailed(text);
    } else {
        notify(text, style, title);
    }
}

void frmMailer::appendReplyLog(const QString& text)
{
    QTextDocument* log = txtServerReplies->document();
    QTextCursor cursor(log);
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text.right(kMaxReplyLog));
    // The document counts one character more than its text.
    const int excess = log->characterCount() - 1 - kMaxReplyLog;
    if (excess > 0) {
        cursor.movePosition(QTextCursor::Start);
        cursor.setPosition(excess, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
}

void frmMailer::cmdExit_Click()
{
    std::erase_if(m_waiting, [](const Mail& mail) { return !mail.alert; });
    if (WinSock != nullptr && !m_current.alert) {
        endDialogue();
    }
    if (WinSock != nullptr || !m_waiting.empty()) {
        m_unloadWhenDone = true;
        hide();
        return;
    }
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
