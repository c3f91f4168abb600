#pragma once

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

#include <QByteArray>
#include <arpa/inet.h>
#include <cups/cups.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace hlv::test {

// A print server on 127.0.0.1 that answers IPP requests as a test scripts it, including the
// ways a server in the field misbehaves: an answer without end, one that drips, one cut
// short, one that announces more than it sends. Each connection is served on a thread of
// its own; everything ends with the object.
class LoopbackIppServer
{
public:
    struct Reply
    {
        // CutShort: half the answer, then the connection closes. Overstated: the whole answer
        // under a larger Content-Length, and the connection kept open. UntilClose: the whole
        // answer without any length, ended by closing the connection.
        enum Kind { Whole, Endless, Drip, CutShort, Overstated, UntilClose };
        Kind kind = Whole;
        QByteArray ipp;        // the IPP answer
        qint64 announced = -1; // Overstated: the Content-Length claimed
        int dripMs = 200;      // Drip: one byte of the whole HTTP answer this often

        static Reply endless() { return make(Endless, {}); }
        static Reply drip(QByteArray ipp, int everyMs) { return make(Drip, std::move(ipp), -1, everyMs); }
        static Reply cutShort(QByteArray ipp) { return make(CutShort, std::move(ipp)); }
        static Reply overstated(QByteArray ipp, qint64 announced)
        {
            return make(Overstated, std::move(ipp), announced);
        }
        static Reply make(Kind kind, QByteArray ipp, qint64 announced = -1, int dripMs = 200)
        {
            Reply r;
            r.kind = kind;
            r.ipp = std::move(ipp);
            r.announced = announced;
            r.dripMs = dripMs;
            return r;
        }
    };
    using Handler = std::function<Reply(ipp_t* request)>;

    explicit LoopbackIppServer(Handler handler)
        : m_handler(std::move(handler))
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof(addr);
        if (::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), len) == 0 && ::listen(m_listen, 8) == 0 &&
            ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
            m_port = ntohs(addr.sin_port);
        }
        m_acceptor = std::thread([this] { acceptLoop(); });
    }
    ~LoopbackIppServer()
    {
        m_stop = true;
        ::shutdown(m_listen, SHUT_RDWR);
        m_acceptor.join();
        {
            std::lock_guard lock(m_mutex);
            for (int fd : m_open) {
                ::shutdown(fd, SHUT_RDWR);
            }
        }
        for (std::thread& t : m_served) {
            t.join();
        }
        for (int fd : m_open) {
            ::close(fd);
        }
        ::close(m_listen);
    }
    LoopbackIppServer(const LoopbackIppServer&) = delete;
    LoopbackIppServer& operator=(const LoopbackIppServer&) = delete;

    int port() const { return m_port; }
    QString server() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    int requests() const { return m_requests; }

    // The bytes of an IPP message (which it deletes).
    static QByteArray bytes(ipp_t* message)
    {
        QByteArray out;
        ippSetState(message, IPP_STATE_IDLE);
        ippWriteIO(
            &out,
            [](void* to, ipp_uchar_t* data, size_t n) -> ssize_t {
                static_cast<QByteArray*>(to)->append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(n));
                return static_cast<ssize_t>(n);
            },
            1, nullptr, message);
        ippDelete(message);
        return out;
    }
    // A successful answer to request with nothing in it, to add to.
    static ipp_t* answer(ipp_t* request) { return ippNewResponse(request); }
    static Reply whole(ipp_t* message) { return Reply::make(Reply::Whole, bytes(message)); }

private:
    void acceptLoop()
    {
        while (!m_stop) {
            const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                if (m_stop) {
                    return;
                }
                continue;
            }
            std::lock_guard lock(m_mutex);
            m_open.push_back(fd);
            m_served.emplace_back([this, fd] { serve(fd); });
        }
    }

    bool sendAll(int fd, const char* data, size_t n)
    {
        while (n > 0 && !m_stop) {
            const ssize_t sent = ::send(fd, data, n, MSG_NOSIGNAL);
            if (sent <= 0) {
                return false;
            }
            data += sent;
            n -= static_cast<size_t>(sent);
        }
        return n == 0;
    }

    // The next request on fd: its IPP message, or null when the connection ended.
    ipp_t* readRequest(int fd, QByteArray& pending)
    {
        char block[65536];
        const auto more = [&] {
            const ssize_t got = ::recv(fd, block, sizeof(block), 0);
            if (got <= 0) {
                return false;
            }
            pending.append(block, got);
            return true;
        };
        qsizetype end;
        while ((end = pending.indexOf("\r\n\r\n")) < 0) {
            if (!more()) {
                return nullptr;
            }
        }
        const QByteArray header = pending.left(end).toLower();
        pending.remove(0, end + 4);
        qsizetype length = 0;
        if (const qsizetype at = header.indexOf("content-length:"); at >= 0) {
            length = header.mid(at + 15, header.indexOf('\r', at) - at - 15).trimmed().toLongLong();
        }
        if (header.contains("expect: 100-continue") && !sendAll(fd, "HTTP/1.1 100 Continue\r\n\r\n", 25)) {
            return nullptr;
        }
        while (pending.size() < length) {
            if (!more()) {
                return nullptr;
            }
        }
        struct Memory
        {
            QByteArray data;
            qsizetype at = 0;
        } memory{pending.left(length)};
        pending.remove(0, length);
        ipp_t* request = ippNew();
        ippReadIO(
            &memory,
            [](void* from, ipp_uchar_t* buffer, size_t n) -> ssize_t {
                auto* m = static_cast<Memory*>(from);
                const qsizetype take = std::min<qsizetype>(static_cast<qsizetype>(n), m->data.size() - m->at);
                std::memcpy(buffer, m->data.constData() + m->at, static_cast<size_t>(take));
                m->at += take;
                return take;
            },
            1, nullptr, request);
        return request;
    }

    void serve(int fd)
    {
        QByteArray pending;
        while (!m_stop) {
            ipp_t* request = readRequest(fd, pending);
            if (!request) {
                break;
            }
            ++m_requests;
            const Reply reply = m_handler(request);
            ippDelete(request);
            if (!send(fd, reply)) {
                break;
            }
        }
        ::shutdown(fd, SHUT_RDWR);
    }

    // False when the connection is to end.
    bool send(int fd, const Reply& reply)
    {
        const auto header = [](qint64 length) {
            return QByteArray("HTTP/1.1 200 OK\r\nContent-Type: application/ipp\r\nContent-Length: ") +
                   QByteArray::number(length) + "\r\n\r\n";
        };
        switch (reply.kind) {
        case Reply::Whole: {
            const QByteArray all = header(reply.ipp.size()) + reply.ipp;
            return sendAll(fd, all.constData(), static_cast<size_t>(all.size()));
        }
        case Reply::CutShort: {
            const QByteArray all = header(reply.ipp.size()) + reply.ipp.left(reply.ipp.size() / 2);
            sendAll(fd, all.constData(), static_cast<size_t>(all.size()));
            return false;
        }
        case Reply::UntilClose: {
            const QByteArray all =
                "HTTP/1.1 200 OK\r\nContent-Type: application/ipp\r\nConnection: close\r\n\r\n" + reply.ipp;
            sendAll(fd, all.constData(), static_cast<size_t>(all.size()));
            return false;
        }
        case Reply::Overstated: {
            const QByteArray all = header(reply.announced) + reply.ipp;
            if (sendAll(fd, all.constData(), static_cast<size_t>(all.size()))) {
                char ignored[4096];
                while (!m_stop && ::recv(fd, ignored, sizeof(ignored), 0) > 0) {
                }
            }
            return false;
        }
        case Reply::Drip: {
            const QByteArray all = header(reply.ipp.size()) + reply.ipp;
            for (char c : all) {
                if (!sendAll(fd, &c, 1)) {
                    return false;
                }
                for (int waited = 0; waited < reply.dripMs && !m_stop; waited += 10) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                }
            }
            return true;
        }
        case Reply::Endless: {
            const QByteArray start(
                "HTTP/1.1 200 OK\r\nContent-Type: application/ipp\r\nTransfer-Encoding: chunked\r\n\r\n");
            if (!sendAll(fd, start.constData(), static_cast<size_t>(start.size()))) {
                return false;
            }
            const QByteArray chunk = "10000\r\n" + QByteArray(0x10000, '\x42') + "\r\n";
            while (sendAll(fd, chunk.constData(), static_cast<size_t>(chunk.size()))) {
            }
            return false;
        }
        }
        return false;
    }

    Handler m_handler;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_requests{0};
    std::mutex m_mutex;
    std::list<int> m_open;
    std::list<std::thread> m_served;
    std::thread m_acceptor;
};

} // namespace hlv::test
