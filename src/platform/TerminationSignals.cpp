#include "platform/TerminationSignals.h"

#include <array>
#include <cerrno>
#include <csignal>

#include <QSocketNotifier>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace hlv {

namespace {

constexpr std::array kSignals = {SIGTERM, SIGHUP, SIGINT};

// [0] written by the handlers, [1] read on the event loop; -1 until install().
int g_pair[2] = {-1, -1};
unsigned g_hardExitSeconds = 0;

void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    // Non-blocking: with the pair full the program has many signals to read already.
    [[maybe_unused]] const ssize_t written = ::write(g_pair[0], &byte, 1);
    if (g_hardExitSeconds > 0) {
        ::signal(SIGALRM, SIG_DFL);
        ::alarm(g_hardExitSeconds);
    }
    errno = savedErrno;
}

} // namespace

bool TerminationSignals::install(std::initializer_list<int> signalNumbers, unsigned hardExitSeconds)
{
    if (g_pair[0] >= 0) {
        return true;
    }
    g_hardExitSeconds = hardExitSeconds;
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pair) != 0) {
        return false;
    }
    g_pair[0] = pair[0];
    g_pair[1] = pair[1];
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (signalNumbers.size() == 0) {
        for (const int signalNumber : kSignals) {
            ::sigaction(signalNumber, &action, nullptr);
        }
    }
    for (const int signalNumber : signalNumbers) {
        ::sigaction(signalNumber, &action, nullptr);
    }
    return true;
}

TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent)
{}

TerminationSignals::~TerminationSignals() = default;

void TerminationSignals::start()
{
    if (m_notifier || g_pair[1] < 0) {
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(g_pair[1], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &TerminationSignals::readSignals);
}

void TerminationSignals::readSignals()
{
    std::array<unsigned char, 16> bytes{};
    ssize_t count = 0;
    while ((count = ::read(g_pair[1], bytes.data(), bytes.size())) > 0) {
        for (ssize_t i = 0; i < count; ++i) {
            Q_EMIT received(bytes[static_cast<size_t>(i)]);
        }
    }
}

} // namespace hlv
