#include <chrono>

#include <QSysInfo>
#include <cups/ipp.h>
#include <gtest/gtest.h>

#include "platform/print/CupsPrintSystem.h"
#include "platform/print/CupsStateMap.h"

namespace hlv::test {
namespace {

QStringList words(const char* text)
{
    return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

constexpr quint32 kUser = PrinterStatus::UserIntervention;

// What the printer says (its status text) and what of it stops printing.
TEST(CupsStatusMapping, PrinterStates_MapToSpoolerBitsStoppingBitsAndExtendedStatus)
{
    const char* const backend = "Unable to open serial port: No such file or directory";
    constexpr quint32 P = PrinterStatus::Paused;
    constexpr quint32 E = PrinterStatus::Error;
    constexpr quint32 kAll = 0xFFFFFFFF; // every bit it says stops it
    constexpr qint64 kLong = cupsstate::kConnectingLasts;
    const struct
    {
        int state;
        const char* reasons;
        const char* message;
        quint32 bits;
        quint32 stopping; // kAll: the same as bits
        int extended;
        qint64 age = 0; // seconds in this state
    } cases[] = {
        {IPP_PSTATE_IDLE, "none", "", 0, 0, 3},
        {IPP_PSTATE_PROCESSING, "none", "", 0, 0, 4},
        // Paused by the operator: CUPS's own word for it, or a queue created disabled.
        {IPP_PSTATE_STOPPED, "paused", "Paused", P, kAll, 8},
        {IPP_PSTATE_STOPPED, "none", "", P, kAll, 8},
        {IPP_PSTATE_STOPPED, "", "", P, kAll, 8},
        // Stopped by its backend, with its complaint or without a word: an error, and still
        // waiting for a resume.
        {IPP_PSTATE_STOPPED, "paused", backend, P | E, kAll, 8},
        {IPP_PSTATE_STOPPED, "paused", "", P | E, kAll, 8},
        {IPP_PSTATE_STOPPED, "paused",
         "Printer stopped due to backend errors; please consult the error_log file for details.", P | E, kAll, 8},
        // A printer that cannot be reached prints nothing, whatever the severity.
        {IPP_PSTATE_IDLE, "offline-report", "", PrinterStatus::Offline, kAll, 7},
        {IPP_PSTATE_PROCESSING, "timed-out-error", "", PrinterStatus::Offline, kAll, 7},
        // Every network job starts so; only a printer that stays so is unreachable.
        {IPP_PSTATE_PROCESSING, "connecting-to-device", "", 0, 0, 4},
        {IPP_PSTATE_PROCESSING, "connecting-to-device", "", 0, 0, 4, kLong - 1},
        {IPP_PSTATE_PROCESSING, "connecting-to-device", "", PrinterStatus::Offline, kAll, 7, kLong},
        {IPP_PSTATE_PROCESSING, "connecting-to-device toner-low-report", "", PrinterStatus::TonerLow, 0, 1},
        // Severity: -error and no suffix stop, -warning and -report inform.
        {IPP_PSTATE_PROCESSING, "media-empty-error", "", PrinterStatus::PaperOut, kAll, 1},
        {IPP_PSTATE_IDLE, "media-needed", "", PrinterStatus::PaperOut, kAll, 1},
        {IPP_PSTATE_IDLE, "media-empty-warning", "", PrinterStatus::PaperOut, 0, 1},
        {IPP_PSTATE_IDLE, "media-empty-report", "", PrinterStatus::PaperOut, 0, 1},
        {IPP_PSTATE_IDLE, "media-jam-error", "", PrinterStatus::PaperJam | kUser, kAll, 1},
        {IPP_PSTATE_IDLE, "toner-low-report", "", PrinterStatus::TonerLow, 0, 1},
        {IPP_PSTATE_IDLE, "toner-low", "", PrinterStatus::TonerLow, 0, 1},
        {IPP_PSTATE_IDLE, "toner-low-error", "", PrinterStatus::TonerLow, kAll, 1},
        {IPP_PSTATE_IDLE, "media-low-report", "", PrinterStatus::PaperProblem, 0, 1},
        {IPP_PSTATE_IDLE, "toner-low-warning marker-supply-low-report", "", PrinterStatus::TonerLow, 0, 1},
        {IPP_PSTATE_IDLE, "toner-empty-error", "", PrinterStatus::NoToner | kUser, kAll, 1},
        {IPP_PSTATE_IDLE, "marker-supply-empty-error", "", PrinterStatus::NoToner | kUser, kAll, 1},
        {IPP_PSTATE_IDLE, "cover-open", "", PrinterStatus::DoorOpen | kUser, kAll, 1},
        {IPP_PSTATE_IDLE, "door-open-report", "", PrinterStatus::DoorOpen | kUser, 0, 1},
        {IPP_PSTATE_IDLE, "output-area-full", "", PrinterStatus::OutputBinFull, kAll, 1},
        {IPP_PSTATE_IDLE, "output-area-full-warning", "", PrinterStatus::OutputBinFull, 0, 1},
        {IPP_PSTATE_IDLE, "spool-area-full", "", PrinterStatus::OutOfMemory, kAll, 1},
        {IPP_PSTATE_IDLE, "other", "", E, kAll, 9},
        {IPP_PSTATE_IDLE, "fuser-over-temp-error", "", E, kAll, 9},
        {IPP_PSTATE_IDLE, "fuser-over-temp-warning", "", 0, 0, 3},
        {IPP_PSTATE_IDLE, "cups-insecure-filter-warning", "", 0, 0, 3},
        // Held new jobs and a pause after the current job let the job printing go on.
        {IPP_PSTATE_PROCESSING, "hold-new-jobs", "", 0, 0, 4},
        {IPP_PSTATE_PROCESSING, "moving-to-paused", "", P, 0, 8},
        // Several reasons at once give several bits.
        {IPP_PSTATE_STOPPED, "paused offline-report other", "Paused", P | PrinterStatus::Offline | E, kAll, 8},
        {IPP_PSTATE_IDLE, "offline-report other", "", PrinterStatus::Offline | E, kAll, 7},
        {IPP_PSTATE_PROCESSING, "media-empty-error cover-open marker-supply-low-warning", "",
         PrinterStatus::PaperOut | PrinterStatus::DoorOpen | kUser | PrinterStatus::TonerLow,
         PrinterStatus::PaperOut | PrinterStatus::DoorOpen | kUser, 1},
    };
    for (const auto& c : cases) {
        const QString message = QString::fromUtf8(c.message);
        const quint32 bits = cupsstate::printerStatusBits(c.state, words(c.reasons), message, c.age);
        EXPECT_EQ(bits, c.bits) << c.state << " " << c.reasons << " / " << c.message << " " << c.age << " s";
        EXPECT_EQ(cupsstate::printerStoppingBits(c.state, words(c.reasons), message, c.age),
                  c.stopping == kAll ? c.bits : c.stopping)
            << c.state << " " << c.reasons << " / " << c.message << " " << c.age << " s";
        EXPECT_EQ(cupsstate::extendedPrinterStatus(c.state, bits), c.extended) << c.state << " " << c.reasons;
    }
}

TEST(CupsStatusMapping, JobStates_OneStatusBitFromJobAndPrinter)
{
    const char* const backend = "Unable to open serial port: No such file or directory";
    const struct
    {
        int jobState;
        const char* jobReasons;
        int printerState;
        const char* printerReasons;
        const char* message;
        quint32 mask;
    } cases[] = {
        {IPP_JSTATE_PENDING, "none", IPP_PSTATE_IDLE, "none", "", 0},
        {IPP_JSTATE_PENDING, "job-incoming", IPP_PSTATE_IDLE, "none", "", JobStatus::Spooling},
        {IPP_JSTATE_HELD, "job-hold-until-specified", IPP_PSTATE_IDLE, "none", "", JobStatus::Paused},
        // Create-Job holds the job until its document has come.
        {IPP_JSTATE_HELD, "job-incoming", IPP_PSTATE_STOPPED, "paused", backend, JobStatus::Spooling},
        {IPP_JSTATE_HELD, "job-hold-until-specified", IPP_PSTATE_STOPPED, "paused", backend, JobStatus::Paused},
        {IPP_JSTATE_PROCESSING, "job-printing", IPP_PSTATE_PROCESSING, "none", "", JobStatus::Printing},
        {IPP_JSTATE_PROCESSING, "job-incoming", IPP_PSTATE_PROCESSING, "none", "", JobStatus::Spooling},
        {IPP_JSTATE_PROCESSING, "processing-to-stop-point", IPP_PSTATE_PROCESSING, "none", "", JobStatus::Deleting},
        // A queue the operator paused: its waiting jobs stay as they are.
        {IPP_JSTATE_PENDING, "none", IPP_PSTATE_STOPPED, "paused", "Paused", 0},
        {IPP_JSTATE_PENDING, "printer-stopped", IPP_PSTATE_STOPPED, "paused", "Paused", 0},
        // A queue its failing backend stopped: every waiting job is in error.
        {IPP_JSTATE_PENDING, "printer-stopped", IPP_PSTATE_STOPPED, "paused", backend, JobStatus::Error},
        {IPP_JSTATE_PENDING, "none", IPP_PSTATE_STOPPED, "paused", backend, JobStatus::Error},
        // Trouble at the printer reaches the printing and the waiting jobs alike.
        {IPP_JSTATE_PENDING, "none", IPP_PSTATE_PROCESSING, "media-empty-error", "", JobStatus::PaperOut},
        {IPP_JSTATE_PROCESSING, "job-printing", IPP_PSTATE_PROCESSING, "media-needed", "", JobStatus::PaperOut},
        {IPP_JSTATE_PROCESSING, "job-printing", IPP_PSTATE_PROCESSING, "offline-report", "", JobStatus::Offline},
        {IPP_JSTATE_PENDING, "none", IPP_PSTATE_IDLE, "offline-report", "", JobStatus::Offline},
        // A moment of every network job: the job prints.
        {IPP_JSTATE_PROCESSING, "job-printing", IPP_PSTATE_PROCESSING, "connecting-to-device", "", JobStatus::Printing},
        // A backend stopped without a word: the waiting jobs are in error.
        {IPP_JSTATE_PENDING, "none", IPP_PSTATE_STOPPED, "paused", "", JobStatus::Error},
        {IPP_JSTATE_PROCESSING, "job-printing", IPP_PSTATE_PROCESSING, "media-jam-error", "",
         JobStatus::UserInterventionRequired},
        {IPP_JSTATE_PENDING, "none", IPP_PSTATE_PROCESSING, "cover-open", "", JobStatus::UserInterventionRequired},
        {IPP_JSTATE_PENDING, "none", IPP_PSTATE_PROCESSING, "door-open-error", "", JobStatus::UserInterventionRequired},
        {IPP_JSTATE_PROCESSING, "job-printing", IPP_PSTATE_PROCESSING, "marker-supply-empty-error", "",
         JobStatus::UserInterventionRequired},
        {IPP_JSTATE_PROCESSING, "job-printing", IPP_PSTATE_PROCESSING, "other", "", JobStatus::Error},
        // Warnings and reports do not stop printing.
        {IPP_JSTATE_PROCESSING, "job-printing", IPP_PSTATE_PROCESSING, "toner-low-warning media-low-report", "",
         JobStatus::Printing},
        {IPP_JSTATE_PENDING, "none", IPP_PSTATE_IDLE, "toner-low-report door-open-report media-empty-warning", "", 0},
        // Several reasons at once: offline first, then paper, then intervention, then error.
        {IPP_JSTATE_PROCESSING, "job-printing", IPP_PSTATE_PROCESSING, "media-empty-error offline-report other", "",
         JobStatus::Offline},
        {IPP_JSTATE_PENDING, "none", IPP_PSTATE_PROCESSING, "media-jam-error media-needed", "", JobStatus::PaperOut},
        {IPP_JSTATE_PENDING, "printer-stopped", IPP_PSTATE_STOPPED, "paused cover-open", backend,
         JobStatus::UserInterventionRequired},
        {IPP_JSTATE_STOPPED, "", IPP_PSTATE_IDLE, "", "", JobStatus::Error},
        {IPP_JSTATE_STOPPED, "", IPP_PSTATE_IDLE, "media-empty-error", "", JobStatus::PaperOut},
        {IPP_JSTATE_STOPPED, "", IPP_PSTATE_IDLE, "offline-report", "", JobStatus::Offline},
        {IPP_JSTATE_CANCELED, "job-canceled-by-user", IPP_PSTATE_STOPPED, "paused", backend, JobStatus::Deleted},
        {IPP_JSTATE_ABORTED, "aborted-by-system", IPP_PSTATE_IDLE, "", "", JobStatus::Error},
        {IPP_JSTATE_COMPLETED, "job-completed-successfully", IPP_PSTATE_IDLE, "offline-report", "", JobStatus::Printed},
        {42, "", IPP_PSTATE_IDLE, "", "", 0},
    };
    for (const auto& c : cases) {
        const quint32 printer =
            cupsstate::printerStoppingBits(c.printerState, words(c.printerReasons), QString::fromUtf8(c.message));
        EXPECT_EQ(cupsstate::jobStatusMask(c.jobState, words(c.jobReasons), printer), c.mask)
            << c.jobState << " " << c.jobReasons << " on " << c.printerState << " " << c.printerReasons << " / "
            << c.message;
    }
}

TEST(CupsServerNames, Split_HostPortAndV6_OrRefused)
{
    const struct
    {
        const char* name;
        bool ok;
        const char* host;
        int port;
    } cases[] = {
        {"printsrv", true, "printsrv", 0},
        {"printsrv.example.com:8631", true, "printsrv.example.com", 8631},
        {"10.0.0.7:631", true, "10.0.0.7", 631},
        {"[::1]:8631", true, "::1", 8631},
        {"[fe80::1]", true, "fe80::1", 0},
        {"fe80::1", true, "fe80::1", 0},
        {"", false, "", 0},
        {"host:", false, "", 0},
        {"host:0", false, "", 0},
        {"host:65536", false, "", 0},
        {"host:http", false, "", 0},
        {"[::1", false, "", 0},
        {"[::1]x", false, "", 0},
        {"a b", false, "", 0},
        {"a/b", false, "", 0},
    };
    for (const auto& c : cases) {
        QString host;
        int port = -1;
        EXPECT_EQ(CupsPrintSystem::splitServerName(QString::fromLatin1(c.name), host, port), c.ok) << c.name;
        if (c.ok) {
            EXPECT_EQ(host, QString::fromLatin1(c.host)) << c.name;
            EXPECT_EQ(port, c.port) << c.name;
        }
    }
}

TEST(CupsServerNames, Local_DotLocalhostAndOwnName_AnyCase)
{
    EXPECT_TRUE(CupsPrintSystem::isLocalServerName(QStringLiteral(".")));
    EXPECT_TRUE(CupsPrintSystem::isLocalServerName(QStringLiteral("localhost")));
    EXPECT_TRUE(CupsPrintSystem::isLocalServerName(QStringLiteral("LocalHost")));
    EXPECT_TRUE(CupsPrintSystem::isLocalServerName(QSysInfo::machineHostName().toUpper()));
    EXPECT_FALSE(CupsPrintSystem::isLocalServerName(QStringLiteral("127.0.0.1:631")));
    EXPECT_FALSE(CupsPrintSystem::isLocalServerName(QStringLiteral("printsrv")));
    EXPECT_FALSE(CupsPrintSystem::isLocalServerName(QString()));
}

TEST(CupsConnect, NotAServerName_FailsAtOnceWithMessage)
{
    CupsPrintSystem system;
    for (const char* name : {"", "a b", "host:99999", "[::1"}) {
        QString error;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(system.connect(QString::fromLatin1(name), &error)) << name;
        EXPECT_FALSE(error.isEmpty()) << name;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << name;
    }
}

} // namespace
} // namespace hlv::test

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace hlv::test {
namespace {

// A loopback port whose connections the kernel accepts but nobody ever answers.
class SilentListener
{
public:
    SilentListener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof(addr);
        if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), len) == 0 && ::listen(m_fd, 8) == 0 &&
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
            m_port = ntohs(addr.sin_port);
        }
    }
    ~SilentListener()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

TEST(CupsConnect, ServerThatNeverAnswers_FailsWithinFiveSeconds)
{
    SilentListener listener;
    ASSERT_GT(listener.port(), 0);
    CupsPrintSystem system;
    QString error;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(system.connect(QStringLiteral("127.0.0.1:%1").arg(listener.port()), &error));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
} // namespace hlv::test
