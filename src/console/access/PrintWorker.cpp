#include "console/access/PrintWorker.h"

#include <atomic>

#include <QDeadlineTimer>
#include <QList>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include "platform/TsanAnnotations.h"

namespace hlv {

namespace {

// A request's call goes to its lane, and its answer back, as a Qt queued event. Qt orders
// them under locks of its own that ThreadSanitizer cannot see in an uninstrumented Qt: the
// two hand-offs are told to it here, on a token the request carries, so that what a call
// writes and its answer reads counts as ordered, while a dropped answer's state read
// anyway still shows as the race it is.
using HandOffToken = std::shared_ptr<char>;

void handOff(const HandOffToken& token)
{
    tsan::release(token.get());
}

void takeOver(const HandOffToken& token)
{
    tsan::acquire(token.get());
}

thread_local bool t_onLane = false;
thread_local bool t_attended = true;
thread_local bool t_connectionLost = false;
std::atomic<int> g_runningLanes{0};

// The threads of lanes that close() left to a server that did not answer (the window's
// thread only). Each is freed once its call has returned and it has ended: at the next
// close(), else at the end of the process, which waits a moment for them. A program that
// ends while one still waits (main() leaves it to the process's end) frees none.
class AbandonedLanes
{
public:
    ~AbandonedLanes() { free(QDeadlineTimer(1000)); }
    void add(QThread* thread)
    {
        free(QDeadlineTimer(0));
        m_threads.append(thread);
    }
    void free(QDeadlineTimer deadline)
    {
        m_threads.removeIf([deadline](QThread* thread) {
            if (!thread->wait(deadline)) {
                return false;
            }
            tsan::acquire(&g_runningLanes); // see PrintLane::finish()
            delete thread;                  // its lane object went with the thread's end
            return true;
        });
    }

private:
    QList<QThread*> m_threads;
};

AbandonedLanes& abandonedLanes()
{
    static AbandonedLanes lanes;
    return lanes;
}

} // namespace

// The part of a lane that lives on the lane's thread: its connection and the calls it runs.
class PrintLane : public QObject
{
    Q_OBJECT

public:
    PrintLane(PrintSystem& printSystem, QString server)
        : m_printSystem(printSystem)
        , m_server(std::move(server))
    {
        ++g_runningLanes;
    }
    ~PrintLane() override
    {
        // The connection of done() goes with this object, on the lane's thread; the window's
        // thread read it for every answer it took (see answered()).
        tsan::acquire(this);
        --g_runningLanes;
    }

    // On the lane's thread.
    // call is left empty: what it holds (the state its request shares with the window) is let
    // go here, before the answer is handed back, so that the window's thread holds it last.
    void run(quint64 id, PrintWorker::Call& call, bool attended, bool closeAfter, const HandOffToken& token)
    {
        takeOver(token);
        t_onLane = true;
        t_attended = attended;
        if (!m_connection && !m_server.isEmpty()) {
            // Each call tries again: a server lost a moment ago may be back.
            m_connectError.clear();
            m_connection = m_printSystem.connect(m_server, &m_connectError);
            if (!m_connection && m_connectError.isEmpty()) {
                m_connectError = QStringLiteral("The print server \"%1\" cannot be reached.").arg(m_server);
            }
        }
        t_connectionLost = false;
        call(m_connection.get(), m_server.isEmpty() ? QStringLiteral("No print server is named.") : m_connectError);
        call = nullptr;
        t_attended = true;
        if (t_connectionLost) {
            m_connection.reset();
        }
        if (closeAfter) {
            finish();
        }
        handOff(token);
        Q_EMIT done(id);
    }

    // On the lane's thread: the connection goes with the lane, then the thread ends.
    void finish()
    {
        m_connection.reset();
        // The lane's last use of the print system: the window's thread, which learns of the
        // thread's end through Qt, may free it after that.
        tsan::release(&g_runningLanes);
        QThread::currentThread()->quit();
    }

    // A call found the server gone: the next call connects again.
    void forgetConnection() { m_connection.reset(); }

Q_SIGNALS:
    void done(quint64 id);

private:
    PrintSystem& m_printSystem;
    QString m_server;
    std::unique_ptr<PrintServer> m_connection;
    QString m_connectError;
};

PrintWorker::PrintWorker(PrintSystem& printSystem, QObject* parent)
    : QObject(parent)
    , m_printSystem(printSystem)
{}

PrintWorker::~PrintWorker()
{
    close();
}

int PrintWorker::runningLanes()
{
    return g_runningLanes.load();
}

void PrintWorker::connectionLost()
{
    t_connectionLost = true;
}

bool PrintWorker::currentCallAttended()
{
    return !t_onLane || t_attended;
}

PrintWorker::Lane PrintWorker::startLane(const QString& server)
{
    Lane lane;
    lane.thread = new QThread;
    lane.thread->setObjectName(QStringLiteral("print:") + server);
    lane.worker = new PrintLane(m_printSystem, server);
    lane.worker->moveToThread(lane.thread);
    connect(lane.worker, &PrintLane::done, this, &PrintWorker::answered, Qt::QueuedConnection);
    connect(lane.thread, &QThread::finished, lane.worker, &QObject::deleteLater);
    // The thread object is the window's: close() may have deleted it before this runs.
    QPointer<QThread> thread = lane.thread;
    connect(lane.thread, &QThread::finished, this, [this, thread] {
        tsan::acquire(&g_runningLanes); // see PrintLane::finish()
        if (thread.isNull()) {
            return;
        }
        for (qsizetype i = 0; i < m_lanes.size(); ++i) {
            if (m_lanes.at(i).thread == thread.data()) {
                m_lanes.removeAt(i);
                break;
            }
        }
        thread->deleteLater();
    });
    lane.thread->start();
    m_lanes.append(lane);
    return lane;
}

void PrintWorker::retire(Lane& lane)
{
    if (lane.worker) {
        PrintLane* worker = lane.worker;
        QMetaObject::invokeMethod(worker, tsan::handedOver([worker] { worker->finish(); }), Qt::QueuedConnection);
    }
    lane = Lane{};
}

void PrintWorker::bind(const QString& server)
{
    // What was asked of the previous lane is no longer wanted.
    const QList<quint64> ids = m_pending.keys();
    for (quint64 id : ids) {
        drop(id);
    }
    retire(m_current);
    m_boundServer = server;
    ++m_bindGeneration;
    if (!m_closed) {
        m_current = startLane(server);
    }
}

quint64 PrintWorker::postOn(Lane& lane, Call call, std::function<void()> deliver, bool attended, bool closeAfter)
{
    const quint64 id = ++m_nextId;
    if (m_closed || !lane.worker) {
        return id; // never pending: a wait on it returns at once
    }
    auto token = std::make_shared<char>(0);
    m_pending.insert(id, Pending{std::move(deliver), nullptr, nullptr, token});
    PrintLane* worker = lane.worker;
    attended = attended && !m_unattended;
    handOff(token);
    QMetaObject::invokeMethod(
        worker, tsan::handedOver([worker, id, call = std::move(call), attended, closeAfter, token]() mutable {
            worker->run(id, call, attended, closeAfter, token);
        }),
        Qt::QueuedConnection);
    return id;
}

quint64 PrintWorker::post(Call call, std::function<void()> deliver, bool attended)
{
    if (!m_current.worker && !m_closed) {
        m_current = startLane(m_boundServer);
    }
    return postOn(m_current, std::move(call), std::move(deliver), attended, false);
}

quint64 PrintWorker::postTo(const QString& server, Call call, std::function<void()> deliver, bool attended)
{
    if (m_closed) {
        return ++m_nextId;
    }
    Lane lane = startLane(server);
    return postOn(lane, std::move(call), std::move(deliver), attended, true);
}

void PrintWorker::forgetConnection()
{
    if (PrintLane* worker = m_current.worker) {
        QMetaObject::invokeMethod(worker, tsan::handedOver([worker] { worker->forgetConnection(); }),
                                  Qt::QueuedConnection);
    }
}

void PrintWorker::awaitAnswer(quint64 id, std::coroutine_handle<> step, bool* answer)
{
    const auto it = m_pending.find(id);
    if (it == m_pending.end()) {
        // Cannot happen (await_ready saw it pending); the step must still go on.
        m_dropped.append(step);
        QTimer::singleShot(0, this, &PrintWorker::resumeDropped);
        return;
    }
    it->step = step;
    it->answer = answer;
}

void PrintWorker::resumeDropped()
{
    if (m_dropped.isEmpty()) {
        return;
    }
    // A step that goes on may drop requests of its own: take the list as it stands each time.
    while (!m_dropped.isEmpty()) {
        const QList<std::coroutine_handle<>> steps = std::exchange(m_dropped, {});
        for (std::coroutine_handle<> step : steps) {
            step.resume();
        }
    }
    if (idle()) {
        Q_EMIT becameIdle();
    }
}

void PrintWorker::answered(quint64 id)
{
    tsan::release(sender());
    const auto it = m_pending.find(id);
    if (it == m_pending.end()) {
        return; // dropped: superseded, or given up
    }
    Pending pending = std::move(*it);
    m_pending.erase(it);
    takeOver(pending.handOff);
    if (pending.deliver) {
        pending.deliver();
    }
    if (pending.step) {
        *pending.answer = true;
        pending.step.resume();
    }
    if (idle()) {
        Q_EMIT becameIdle();
    }
}

void PrintWorker::drop(quint64 id)
{
    const auto it = m_pending.find(id);
    if (it == m_pending.end()) {
        return;
    }
    const std::coroutine_handle<> step = it->step;
    m_pending.erase(it);
    if (step) {
        // It goes on from the event loop, not inside the caller of drop() (a search's bind).
        if (m_dropped.isEmpty()) {
            QTimer::singleShot(0, this, &PrintWorker::resumeDropped);
        }
        m_dropped.append(step);
    }
    if (idle()) {
        Q_EMIT becameIdle();
    }
}

void PrintWorker::close(int graceMs)
{
    if (m_closed) {
        return;
    }
    m_closed = true;
    const QList<quint64> ids = m_pending.keys();
    for (quint64 id : ids) {
        drop(id);
    }
    // Every step that awaited an answer comes to its end now, while its window still lives.
    resumeDropped();
    retire(m_current);
    // Every other lane was told to end when it was retired (or ends after its one call).
    const QList<Lane> lanes = m_lanes;
    // A lane held up by a server that does not answer is not waited for: the program ends
    // without it.
    const QDeadlineTimer grace(graceMs);
    for (const Lane& lane : lanes) {
        // The lane object goes with its thread; what it still answers finds nothing pending.
        disconnect(lane.thread, nullptr, this, nullptr);
        if (lane.thread->wait(grace)) {
            tsan::acquire(&g_runningLanes); // see PrintLane::finish()
            delete lane.thread;             // its lane object went with the thread's end
        } else {
            m_abandoned = true; // left running, freed once it has ended
            abandonedLanes().add(lane.thread);
        }
    }
    m_lanes.clear();
}

// ---------------------------------------------------------------------------------------

ServerLink::ServerLink(PrintWorker& worker, QString server)
    : m_worker(worker)
    , m_server(std::move(server))
    , m_bindGeneration(worker.bindGeneration())
{}

Task<PrintResult> ServerLink::run(std::function<PrintResult(PrintServer&)> fn, bool* answered)
{
    // A search made during the wait may destroy this object: nothing of it is read after
    // the wait, and what the call fills in is read only once answered (a dropped call's
    // lane may still be writing it).
    PrintWorker& worker = m_worker;
    const QString name = m_server;
    if (answered) {
        *answered = false;
    }
    // A connection of a server the worker has left answers nothing: its calls would reach
    // the server bound since.
    if (worker.closed() || worker.bindGeneration() != m_bindGeneration) {
        co_return PrintResult::failure(QStringLiteral("The print server \"%1\" is no longer connected.").arg(name));
    }
    auto result = std::make_shared<PrintResult>(PrintResult::failure(QString()));
    PrintWorker::Call ask = [result, fn](PrintServer* server, const QString& connectError) {
        *result = server ? fn(*server) : PrintResult::failure(connectError);
    };
    const bool done = co_await worker.ask(std::move(ask));
    if (!done) {
        co_return PrintResult::failure(QStringLiteral("The print server \"%1\" did not answer.").arg(name));
    }
    if (answered) {
        *answered = true;
    }
    co_return *result;
}

Task<PrintResult> ServerLink::printers(QList<PrinterInfo>& out)
{
    auto list = std::make_shared<QList<PrinterInfo>>();
    bool answered = false;
    const std::function<PrintResult(PrintServer&)> call = [list](PrintServer& s) {
        return s.printers(*list);
    };
    const PrintResult r = co_await run(call, &answered);
    if (answered) {
        out = *list;
    }
    co_return r;
}

Task<PrintResult> ServerLink::queueJobs(const QString& queue, QList<PrintJobInfo>& out)
{
    auto list = std::make_shared<QList<PrintJobInfo>>();
    bool answered = false;
    const QString name = queue;
    const std::function<PrintResult(PrintServer&)> call = [list, name](PrintServer& s) {
        return s.queueJobs(name, *list);
    };
    const PrintResult r = co_await run(call, &answered);
    if (answered) {
        out = *list;
    }
    co_return r;
}

Task<PrintResult> ServerLink::pauseQueue(const QString& queue)
{
    const QString name = queue;
    const std::function<PrintResult(PrintServer&)> call = [name](PrintServer& s) {
        return s.pauseQueue(name);
    };
    co_return co_await run(call);
}

Task<PrintResult> ServerLink::resumeQueue(const QString& queue)
{
    const QString name = queue;
    const std::function<PrintResult(PrintServer&)> call = [name](PrintServer& s) {
        return s.resumeQueue(name);
    };
    co_return co_await run(call);
}

Task<PrintResult> ServerLink::resumeJob(const QString& queue, qint64 jobId)
{
    const QString name = queue;
    const std::function<PrintResult(PrintServer&)> call = [name, jobId](PrintServer& s) {
        return s.resumeJob(name, jobId);
    };
    co_return co_await run(call);
}

} // namespace hlv

#include "PrintWorker.moc"
