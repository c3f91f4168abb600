#pragma once

#include <functional>

#include <QByteArray>
#include <QHostAddress>
#include <QMap>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

namespace hlv::test {

// A small SMTP server on loopback that records what a client sends: each command line and
// the bytes of each message's data. Replies can be changed per command verb ("HELO",
// "MAIL", "RCPT", "DATA", "QUIT", "DOT" for the end of the data), for every connection or
// for the next one only; the greeting can be split into a multi-line reply sent in two
// writes, or set for the next connections one by one. onConnect, when set, takes over a new
// connection instead of the greeting (a server that never answers, or one that floods).
class SmtpTestServer : public QObject
{
public:
    SmtpTestServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] { accept(); });
    }

    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }

    QByteArray greeting = "220 mail.test ESMTP ready\r\n";
    bool multiLineGreeting = false;
    QMap<QString, QByteArray> replies;
    QList<QByteArray> nextGreetings;       // the greeting of the next connections, one each
    QMap<QString, QByteArray> repliesOnce; // used once, before replies
    std::function<void(QTcpSocket*)> onConnect;
    int silentConnections = 0; // the next connections accepted and never answered

    int connections = 0;
    int disconnections = 0;
    QStringList commands;       // command lines without their CR LF, over all connections
    QList<QByteArray> messages; // the data of each message, up to the CR LF before the final "." line
    QByteArray received;        // every byte of every connection

private:
    void accept()
    {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            ++connections;
            m_inData = false;
            m_buffer.clear();
            QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
            QObject::connect(socket, &QTcpSocket::disconnected, this, [this] { ++disconnections; });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            if (silentConnections > 0) {
                --silentConnections;
                QObject::disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
            } else if (onConnect) {
                QObject::disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
                onConnect(socket);
            } else if (!nextGreetings.isEmpty()) {
                socket->write(nextGreetings.takeFirst());
            } else if (multiLineGreeting) {
                socket->write("220-mail.test first line of the greeting\r\n");
                socket->flush();
                socket->write("220 mail.test ready\r\n");
            } else {
                socket->write(greeting);
            }
        }
    }

    QByteArray replyFor(const QString& verb, const QByteArray& normal)
    {
        if (repliesOnce.contains(verb)) {
            return repliesOnce.take(verb);
        }
        return replies.contains(verb) ? replies.value(verb) : normal;
    }

    void read(QTcpSocket* socket)
    {
        const QByteArray data = socket->readAll();
        received += data;
        m_buffer += data;
        while (true) {
            if (m_inData) {
                const qsizetype end = m_buffer.indexOf("\r\n.\r\n");
                if (end < 0) {
                    return;
                }
                messages.append(m_buffer.left(end + 2));
                m_buffer.remove(0, end + 5);
                m_inData = false;
                socket->write(replyFor(QStringLiteral("DOT"), "250 2.0.0 queued\r\n"));
                continue;
            }
            const qsizetype end = m_buffer.indexOf("\r\n");
            if (end < 0) {
                return;
            }
            const QString line = QString::fromUtf8(m_buffer.left(end));
            m_buffer.remove(0, end + 2);
            commands.append(line);
            const QString verb = line.section(QLatin1Char(' '), 0, 0).section(QLatin1Char(':'), 0, 0).toUpper();
            if (verb == QLatin1String("DATA")) {
                const QByteArray reply = replyFor(verb, "354 end with <CRLF>.<CRLF>\r\n");
                m_inData = reply.startsWith("354");
                socket->write(reply);
            } else if (verb == QLatin1String("QUIT")) {
                socket->write(replyFor(verb, "221 2.0.0 bye\r\n"));
                socket->disconnectFromHost();
                return;
            } else {
                socket->write(replyFor(verb, "250 2.1.0 ok\r\n"));
            }
        }
    }

    QTcpServer m_server;
    QByteArray m_buffer;
    bool m_inData = false;
};

} // namespace hlv::test
