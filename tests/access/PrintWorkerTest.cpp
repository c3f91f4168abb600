// The print worker on its own: the order of a lane's calls and answers, answers nobody
// wants any more, and a close while a server does not answer.
#include "console/access/PrintWorker.h"

#include <atomic>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include "platform/print/SimPrintStore.h"
#include "platform/print/SimPrintSystem.h"
#include "support/GatedPrintSystem.h"
#include "support/WaitFor.h"
#include "support/Settle.h"

namespace hlv::test {
namespace {

class PrintWorkerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        for (const char* name : {"PS1", "PS2"}) {
            QString error;
            ASSERT_TRUE(
                sim::SimPrintStore::create(m_dir.path(), QString::fromLatin1(name), QString::fromLatin1(name), &error))
                << error.toStdString();
        }
        gate = std::make_unique<GatedPrintSystem>(std::make_unique<SimPrintSystem>(m_dir.path()));
        worker = std::make_unique<PrintWorker>(*gate);
    }
    void TearDown() override
    {
        gate->release(QStringLiteral("PS1"));
        gate->release(QStringLiteral("PS2"));
        worker.reset();
        EXPECT_TRUE(waitFor([] { return PrintWorker::runningLanes() == 0; }));
    }
    // A call that names the server it reached.
    static PrintWorker::Call nameInto(std::shared_ptr<QString> out)
    {
        return [out](PrintServer* server, const QString&) {
            if (server) {
                *out = server->serverName();
            }
        };
    }

    QTemporaryDir m_dir;
    std::unique_ptr<GatedPrintSystem> gate;
    std::unique_ptr<PrintWorker> worker;
};

TEST_F(PrintWorkerTest, CallsOfALane_RunAndAnswerInTheOrderPosted)
{
    worker->bind(QStringLiteral("PS1"));
    gate->hold(QStringLiteral("PS1"));         // all of them queue up behind the first
    auto ran = std::make_shared<QList<int>>(); // written on the lane only
    QList<int> answered;
    for (int i = 1; i <= 4; ++i) {
        worker->post([ran, i](PrintServer*, const QString&) { ran->append(i); },
                     [&answered, i] { answered.append(i); });
    }
    gate->release(QStringLiteral("PS1"));
    ASSERT_TRUE(waitFor([&] { return worker->idle(); }));
    EXPECT_EQ(*ran, (QList<int>{1, 2, 3, 4}));
    EXPECT_EQ(answered, (QList<int>{1, 2, 3, 4}));
}

TEST_F(PrintWorkerTest, AnswerNotWantedAnyMore_NeverDelivered)
{
    // A request superseded by a bind to another server, and one dropped by its caller.
    struct Case
    {
        const char* name;
        std::function<void(PrintWorker&, quint64)> giveUp;
    };
    const Case cases[] = {
        {"superseded",
         [](PrintWorker& w, quint64) {
             w.bind(QStringLiteral("PS2"));
         }},
        {"dropped",
         [](PrintWorker& w, quint64 id) {
             w.drop(id);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        worker->bind(QStringLiteral("PS1"));
        gate->hold(QStringLiteral("PS1"));
        // What the lane did is read only through an atomic: nobody takes the dropped answer.
        auto reached = std::make_shared<std::atomic<bool>>(false);
        bool delivered = false;
        const quint64 id = worker->post(
            [reached](PrintServer* server, const QString&) {
                reached->store(server && server->serverName() == QStringLiteral("PS1"));
            },
            [&delivered] { delivered = true; });
        ASSERT_TRUE(waitFor([&] { return gate->waiting() == 1; }));
        c.giveUp(*worker, id);
        EXPECT_FALSE(worker->isPending(id));
        gate->release(QStringLiteral("PS1"));
        // The lane still runs the call to its end; its answer finds nobody.
        ASSERT_TRUE(waitFor([&] { return reached->load(); }));
        QCoreApplication::processEvents();
        EXPECT_FALSE(delivered);
        EXPECT_TRUE(worker->idle());
    }
}

// A step that awaits the answer to request id.
Task<bool> answerOf(PrintWorker& worker, quint64 id)
{
    const bool answered = co_await worker.answerOf(id);
    co_return answered;
}

TEST_F(PrintWorkerTest, WaitOvertakenByABind_ReturnsUnansweredAtOnce)
{
    worker->bind(QStringLiteral("PS1"));
    gate->hold(QStringLiteral("PS1"));
    const quint64 id = worker->post([](PrintServer*, const QString&) {});
    QTimer::singleShot(0, [this] { worker->bind(QStringLiteral("PS2")); });
    EXPECT_FALSE(settle(answerOf(*worker, id)));
    EXPECT_EQ(worker->boundServer(), QStringLiteral("PS2"));
}

TEST_F(PrintWorkerTest, CloseWhileACallWaits_EndsAtOnceAndTheLaneLater)
{
    worker->bind(QStringLiteral("PS1"));
    gate->hold(QStringLiteral("PS1"));
    bool delivered = false;
    const quint64 id = worker->post([](PrintServer*, const QString&) {}, [&delivered] { delivered = true; });
    ASSERT_TRUE(waitFor([&] { return gate->waiting() == 1; }));

    QTimer::singleShot(0, [&] {
        QElapsedTimer took;
        took.start();
        worker->close(100);
        EXPECT_LT(took.elapsed(), 1000);
    });
    EXPECT_FALSE(settle(answerOf(*worker, id)));
    EXPECT_TRUE(worker->closed());
    EXPECT_TRUE(worker->abandoned());
    // Nothing more is run once closed.
    EXPECT_FALSE(worker->isPending(worker->post([](PrintServer*, const QString&) {})));

    gate->release(QStringLiteral("PS1"));
    EXPECT_TRUE(waitFor([] { return PrintWorker::runningLanes() == 0; }));
    QCoreApplication::processEvents();
    EXPECT_FALSE(delivered);
}

} // namespace
} // namespace hlv::test
