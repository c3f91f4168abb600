#pragma once

#include <QByteArray>
#include <QThread>

namespace hlv {

// Reads the lines a client writes to a file descriptor (the server's stdin) on a thread
// of its own, so that the end of the input is seen even while the server's main thread
// waits on a slow print server.
//
// When the input ends (the client released the server or died), inputClosed is sent to
// the main thread; should the process still be alive exitDeadlineMs later, the reader ends
// it itself. A server without its client must never stay behind.
class InputReader : public QThread
{
    Q_OBJECT
public:
    explicit InputReader(int fd, int exitDeadlineMs = 700, QObject* parent = nullptr);

Q_SIGNALS:
    void lineReceived(const QByteArray& line);
    void inputClosed();

protected:
    void run() override;

private:
    int m_fd;
    int m_exitDeadlineMs;
};

} // namespace hlv
