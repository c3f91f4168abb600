#include <chrono>

#include <QSysInfo>
#include <cups/ipp.h>
#include <gtest/gtest.h>

#include "platform/print/CupsPrintSystem.h"

namespace hlv::test {
namespace {

QStringList words(const char* text)
{
    return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

TEST(CupsStatusMapping, PrinterStates_MapToSpoolerBitsAndExtendedStatus)
{
    const struct
    {
        int state;
        const char* reasons;
        quint32 bits;
        int extended;
    } cases[] = {
        {IPP_PSTATE_IDLE, "none", 0, 3},
        {IPP_PSTATE_PROCESSING, "none", 0, 4},
        {IPP_PSTATE_STOPPED, "paused", PrinterStatus::Paused, 8},
        {IPP_PSTATE_STOPPED, "", PrinterStatus::Paused, 8},
        {IPP_PSTATE_IDLE, "offline-report", PrinterStatus::Offline, 7},
        {IPP_PSTATE_PROCESSING, "connecting-to-device", PrinterStatus::Offline, 7},
        {IPP_PSTATE_IDLE, "media-empty-error", PrinterStatus::PaperOut, 1},
        {IPP_PSTATE_IDLE, "media-needed", PrinterStatus::PaperOut, 1},
        {IPP_PSTATE_IDLE, "media-jam-error", PrinterStatus::PaperJam, 1},
        {IPP_PSTATE_IDLE, "toner-low-warning marker-supply-low-report", PrinterStatus::TonerLow, 1},
        {IPP_PSTATE_IDLE, "toner-empty-error", PrinterStatus::NoToner, 1},
        {IPP_PSTATE_IDLE, "cover-open", PrinterStatus::DoorOpen, 1},
        {IPP_PSTATE_IDLE, "output-area-full", PrinterStatus::OutputBinFull, 1},
        {IPP_PSTATE_IDLE, "spool-area-full", PrinterStatus::OutOfMemory, 1},
        {IPP_PSTATE_IDLE, "other", PrinterStatus::Error, 9},
        {IPP_PSTATE_IDLE, "fuser-over-temp-error", PrinterStatus::Error, 9},
        {IPP_PSTATE_IDLE, "fuser-over-temp-warning", 0, 3},
        {IPP_PSTATE_IDLE, "cups-insecure-filter-warning", 0, 3},
        {IPP_PSTATE_STOPPED, "paused offline-report other",
         PrinterStatus::Paused | PrinterStatus::Offline | PrinterStatus::Error, 8},
        {IPP_PSTATE_IDLE, "offline-report other", PrinterStatus::Offline | PrinterStatus::Error, 7},
    };
    for (const auto& c : cases) {
        const quint32 bits = CupsPrintSystem::printerStatusBits(c.state, words(c.reasons));
        EXPECT_EQ(bits, c.bits) << c.state << " " << c.reasons;
        EXPECT_EQ(CupsPrintSystem::extendedPrinterStatus(c.state, bits), c.extended) << c.state << " " << c.reasons;
    }
}

TEST(CupsStatusMapping, JobStates_MapToOneStatusBitEach)
{
    const struct
    {
        int state;
        const char* jobReasons;
        const char* printerReasons;
        quint32 mask;
    } cases[] = {
        {IPP_JSTATE_PENDING, "none", "", 0},
        {IPP_JSTATE_PENDING, "printer-stopped", "paused", 0},
        {IPP_JSTATE_PENDING, "job-incoming", "", JobStatus::Spooling},
        {IPP_JSTATE_HELD, "job-hold-until-specified", "", JobStatus::Paused},
        {IPP_JSTATE_PROCESSING, "job-printing", "", JobStatus::Printing},
        {IPP_JSTATE_PROCESSING, "job-incoming", "", JobStatus::Spooling},
        {IPP_JSTATE_PROCESSING, "processing-to-stop-point", "", JobStatus::Deleting},
        {IPP_JSTATE_STOPPED, "", "", JobStatus::Error},
        {IPP_JSTATE_STOPPED, "", "media-empty-error", JobStatus::PaperOut},
        {IPP_JSTATE_STOPPED, "", "offline-report", JobStatus::Offline},
        {IPP_JSTATE_CANCELED, "job-canceled-by-user", "", JobStatus::Deleted},
        {IPP_JSTATE_ABORTED, "aborted-by-system", "", JobStatus::Error},
        {IPP_JSTATE_COMPLETED, "job-completed-successfully", "", JobStatus::Printed},
        {42, "", "", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CupsPrintSystem::jobStatusMask(c.state, words(c.jobReasons), words(c.printerReasons)), c.mask)
            << c.state << " " << c.jobReasons;
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
