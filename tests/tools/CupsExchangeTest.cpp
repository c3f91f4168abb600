#include "platform/print/CupsExchange.h"

#include <climits>

#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include "platform/print/CupsPrintSystem.h"
#include "support/LoopbackIppServer.h"

namespace hlv::test {

namespace {

using Reply = LoopbackIppServer::Reply;

constexpr int kAnswerMs = 1500;
constexpr qint64 kCap = qint64(4) << 20;
constexpr int kMostJobs = 30000;

qint64 peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Short limits for the tests; the defaults come back afterwards.
class ShortLimits : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CupsExchange::Limits limits;
        limits.connectMs = 1000;
        limits.firstAnswerMs = kAnswerMs;
        limits.answerMs = kAnswerMs;
        limits.maxAnswerBytes = kCap;
        limits.maxJobs = kMostJobs;
        CupsExchange::setLimits(limits);
    }
    void TearDown() override { CupsExchange::setLimits(CupsExchange::Limits()); }
};

ipp_t* jobList(ipp_t* request, int jobs)
{
    ipp_t* answer = LoopbackIppServer::answer(request);
    for (int i = 1; i <= jobs; ++i) {
        ippAddSeparator(answer);
        ippAddInteger(answer, IPP_TAG_JOB, IPP_TAG_INTEGER, "job-id", i);
        ippAddString(answer, IPP_TAG_JOB, IPP_TAG_URI, "job-printer-uri", nullptr, "ipp://127.0.0.1/printers/q");
        ippAddInteger(answer, IPP_TAG_JOB, IPP_TAG_ENUM, "job-state", IPP_JSTATE_HELD);
    }
    return answer;
}

ipp_t* subscribed(ipp_t* request)
{
    ipp_t* answer = LoopbackIppServer::answer(request);
    ippAddInteger(answer, IPP_TAG_SUBSCRIPTION, IPP_TAG_INTEGER, "notify-subscription-id", 7);
    return answer;
}

// Events numbered from `first`, each naming a job whose id is its number.
ipp_t* events(ipp_t* request, int first, int count)
{
    ipp_t* answer = LoopbackIppServer::answer(request);
    for (int i = 0; i < count; ++i) {
        ippAddSeparator(answer);
        ippAddInteger(answer, IPP_TAG_EVENT_NOTIFICATION, IPP_TAG_INTEGER, "notify-sequence-number", first + i);
        ippAddString(answer, IPP_TAG_EVENT_NOTIFICATION, IPP_TAG_KEYWORD, "notify-subscribed-event", nullptr,
                     "job-state-changed");
        ippAddInteger(answer, IPP_TAG_EVENT_NOTIFICATION, IPP_TAG_INTEGER, "notify-job-id", first + i);
    }
    return answer;
}

// A server that answers every request well except one kind of request, which gets `bad`.
Reply answerWellExcept(ipp_t* request, ipp_op_t op, Reply bad)
{
    const ipp_op_t asked = ippGetOperation(request);
    if (asked == op) {
        return bad;
    }
    switch (asked) {
    case IPP_OP_GET_JOBS:
        return LoopbackIppServer::whole(jobList(request, 3));
    case IPP_OP_CREATE_PRINTER_SUBSCRIPTIONS:
        return LoopbackIppServer::whole(subscribed(request));
    case IPP_OP_GET_NOTIFICATIONS:
        return LoopbackIppServer::whole(events(request, 1, 1));
    default:
        return LoopbackIppServer::whole(LoopbackIppServer::answer(request));
    }
}

// What a reading of the program does with it: a job list, or the events of a watch.
PrintResult read(PrintServer& server, ipp_op_t op)
{
    if (op == IPP_OP_GET_JOBS) {
        QList<PrintJobInfo> jobs;
        return server.jobs(jobs);
    }
    std::unique_ptr<JobWatch> watch = server.watchJobs();
    if (!watch) {
        return PrintResult::failure(QStringLiteral("no watch"));
    }
    JobChanges changes;
    return watch->changes(changes);
}

using ShortLimitsExchange = ShortLimits;

// However a server misbehaves in its answer, the reading fails as one that got no answer,
// within the deadline of one exchange and without holding more than the cap.
TEST_F(ShortLimitsExchange, MisbehavingAnswers_FailWithinDeadlineAndCap)
{
    ipp_t* sample = ippNewRequest(IPP_OP_GET_JOBS);
    const QByteArray someJobs = LoopbackIppServer::bytes(jobList(sample, 20));
    // Well under the cap in bytes, yet more jobs than a list may hold.
    const QByteArray tooManyJobs = LoopbackIppServer::bytes(jobList(sample, kMostJobs + 1));
    ippDelete(sample);
    const struct
    {
        const char* name;
        ipp_op_t op;
        Reply reply;
    } cases[] = {
        {"job list without end", IPP_OP_GET_JOBS, Reply::endless()},
        {"job list a byte at a time", IPP_OP_GET_JOBS, Reply::drip(someJobs, 100)},
        {"job list cut short", IPP_OP_GET_JOBS, Reply::cutShort(someJobs)},
        {"a million jobs announced", IPP_OP_GET_JOBS, Reply::overstated(someJobs, qint64(1000000) * 600)},
        {"one job more than a list may hold", IPP_OP_GET_JOBS, Reply::make(Reply::Whole, tooManyJobs)},
        {"events without end", IPP_OP_GET_NOTIFICATIONS, Reply::endless()},
        {"events a byte at a time", IPP_OP_GET_NOTIFICATIONS, Reply::drip(someJobs, 100)},
    };
    CupsPrintSystem system;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackIppServer server([&](ipp_t* request) { return answerWellExcept(request, c.op, c.reply); });
        QString error;
        auto connection = system.connect(server.server(), &error);
        ASSERT_TRUE(connection) << error.toStdString();
        QList<PrinterInfo> printers;
        ASSERT_TRUE(connection->printers(printers)) << "well-behaved requests are answered";

        const qint64 peakBefore = peakKilobytes();
        QElapsedTimer took;
        took.start();
        const PrintResult r = read(*connection, c.op);
        EXPECT_FALSE(r);
        EXPECT_FALSE(r.error.isEmpty());
        // Without the deadline these run until the server stops (endless) or for many seconds.
        EXPECT_LT(took.elapsed(), kAnswerMs + 3000);
        EXPECT_LT(peakKilobytes() - peakBefore, 8 * kCap / 1024);

        // The connection is usable again for the next reading.
        EXPECT_TRUE(connection->printers(printers));
    }
}

// Answers that are long (several megabytes, across the blocks they are kept in) or come
// without a length (read until the server closes) are read whole, every job in them.
TEST_F(ShortLimitsExchange, WellFormedAnswers_ReadWhole)
{
    const struct
    {
        const char* name;
        Reply::Kind kind;
        int jobs;
    } cases[] = {
        {"30,000 jobs", Reply::Whole, 30000},
        {"no length, ended by closing", Reply::UntilClose, 50},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackIppServer server([&](ipp_t* request) {
            if (ippGetOperation(request) == IPP_OP_GET_JOBS) {
                return Reply::make(c.kind, LoopbackIppServer::bytes(jobList(request, c.jobs)));
            }
            return answerWellExcept(request, IPP_OP_GET_JOBS, Reply());
        });
        auto connection = CupsPrintSystem().connect(server.server());
        ASSERT_TRUE(connection);
        for (int reading = 0; reading < 2; ++reading) {
            QList<PrintJobInfo> jobs;
            ASSERT_TRUE(connection->jobs(jobs));
            ASSERT_EQ(jobs.size(), c.jobs);
            EXPECT_EQ(jobs.last().JobId, c.jobs);
        }
    }
}

// The largest numbers IPP carries (signed 32 bits) arrive whole: event numbers and job ids
// at 2^31 - 1 neither wrap nor make the watch read the same events again.
TEST_F(ShortLimitsExchange, EventNumbersAtTheTopOfTheRange_ReadOnceWithoutGap)
{
    LoopbackIppServer server([](ipp_t* request) {
        if (ippGetOperation(request) == IPP_OP_GET_NOTIFICATIONS) {
            // As CUPS does: every event still kept from the number asked for on.
            return LoopbackIppServer::whole(events(request, INT_MAX - 1, 2));
        }
        return answerWellExcept(request, IPP_OP_GET_NOTIFICATIONS, Reply());
    });
    auto connection = CupsPrintSystem().connect(server.server());
    ASSERT_TRUE(connection);
    std::unique_ptr<JobWatch> watch = connection->watchJobs();
    ASSERT_TRUE(watch);
    JobChanges changes;
    ASSERT_TRUE(watch->changes(changes));
    EXPECT_EQ(changes.jobIds, (QList<qint64>{INT_MAX - 1, INT_MAX}));
    ASSERT_TRUE(watch->changes(changes));
    EXPECT_TRUE(changes.jobIds.isEmpty());
    EXPECT_FALSE(changes.everything);
}

} // namespace
} // namespace hlv::test
