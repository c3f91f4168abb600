#include <csignal>
#include <cstdlib>
#include <cstring>

#include <QApplication>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

void writeText(const char* text)
{
    ssize_t ignored = ::write(STDERR_FILENO, text, std::strlen(text));
    (void)ignored;
}

void writeNumber(long value)
{
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0 && n < 20);
    char text[24];
    for (int i = 0; i < n; ++i) {
        text[i] = digits[n - 1 - i];
    }
    text[n] = '\0';
    writeText(text);
}

// A test program ended by a signal from outside shows no failure of its own: say which process
// sent it, with its command line, before ending as the signal asks. Only async-signal-safe
// calls are made here.
void reportSender(int signal, siginfo_t* info, void*)
{
    writeText("\n*** test program ended by signal ");
    writeNumber(signal);
    writeText(" from process ");
    writeNumber(info ? static_cast<long>(info->si_pid) : 0);
    if (info && info->si_pid > 0) {
        char path[48] = "/proc/";
        char number[24];
        int n = 0;
        for (long pid = info->si_pid; pid > 0 && n < 20; pid /= 10) {
            number[n++] = static_cast<char>('0' + pid % 10);
        }
        int at = 6;
        while (n > 0) {
            path[at++] = number[--n];
        }
        std::memcpy(path + at, "/cmdline", 9);
        const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            char command[512];
            const ssize_t got = ::read(fd, command, sizeof command - 1);
            ::close(fd);
            for (ssize_t i = 0; i < got; ++i) {
                if (command[i] == '\0') {
                    command[i] = ' ';
                }
            }
            command[got > 0 ? got : 0] = '\0';
            writeText(" (");
            writeText(command);
            writeText(")");
        }
    }
    writeText("\n");
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

} // namespace

#if defined(__SANITIZE_ADDRESS__)
// Freed memory is overwritten at once: a read of a freed object inside Qt (whose code is not
// instrumented) then meets garbage and crashes, instead of finding the old values intact.
extern "C" const char* __asan_default_options()
{
    return "max_free_fill_size=4096";
}
#endif

// Every test program runs with a QApplication on the offscreen platform, so widget tests
// need no display and no test can be stopped by a window that waits for a person.
int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    struct sigaction action = {};
    action.sa_sigaction = reportSender;
    action.sa_flags = SA_SIGINFO | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
