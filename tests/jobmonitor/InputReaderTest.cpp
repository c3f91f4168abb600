#include "jobmonitor/InputReader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "support/WaitFor.h"

namespace hlv {
namespace {

TEST(InputReader_Pipe, LinesInOrderThenClosed)
{
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    // No exit deadline here: ending the process would end the test run.
    InputReader reader(fds[0], -1);
    QList<QByteArray> lines;
    bool closed = false;
    QObject::connect(&reader, &InputReader::lineReceived, [&](const QByteArray& l) { lines << l; });
    QObject::connect(&reader, &InputReader::inputClosed, [&] { closed = true; });
    reader.start();

    const QByteArray input = "StartMonitor\tsrv\nStop";
    ASSERT_EQ(::write(fds[1], input.constData(), static_cast<size_t>(input.size())), input.size());
    ASSERT_TRUE(test::waitFor([&] { return lines.size() == 1; }));
    ASSERT_EQ(::write(fds[1], "Monitor\n", 8), 8);
    ::close(fds[1]);
    ASSERT_TRUE(test::waitFor([&] { return closed; }));
    EXPECT_TRUE(reader.wait(5000));
    ::close(fds[0]);
    EXPECT_EQ(lines, (QList<QByteArray>{"StartMonitor\tsrv", "StopMonitor"}));
}

} // namespace
} // namespace hlv
