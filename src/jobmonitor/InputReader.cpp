#include "InputReader.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include <unistd.h>

#include "WireProtocol.h"

namespace hlv {

InputReader::InputReader(int fd, int exitDeadlineMs, QObject* parent)
    : QThread(parent)
    , m_fd(fd)
    , m_exitDeadlineMs(exitDeadlineMs)
{}

void InputReader::run()
{
    wire::LineBuffer buffer;
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::read(m_fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        buffer.append(QByteArray(chunk, static_cast<qsizetype>(got)));
        QByteArray line;
        while (buffer.takeLine(line)) {
            Q_EMIT lineReceived(line);
        }
    }
    Q_EMIT inputClosed();
    if (m_exitDeadlineMs >= 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(m_exitDeadlineMs));
        std::_Exit(0);
    }
}

} // namespace hlv
