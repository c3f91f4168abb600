#pragma once

#ifndef Q_MOC_RUN
#include <coroutine>
#endif
#include <functional>
#include <memory>
#include <utility>

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include "console/access/Task.h"
#include "platform/PrintSystem.h"

class QThread;

namespace hlv {

class PrintLane;

// The rule: the console asks a print server only through a PrintWorker, never on the
// window's thread. A call carries copies of everything it works on (server, queue, jobs and
// their states as the operator's action found them) and writes only into state of its own
// (a shared_ptr the answer reads); that state is read on the window's thread only once the
// request was answered, never after a drop (its lane may still be writing it). What the
// action does next runs when the answer comes, on the same captured state, not on what the
// window's controls show by then. A step that needs the answer before it goes on is a Task
// (Task.h) that co_awaits it: the window's own event loop runs meanwhile, no loop is nested
// for it, and the step's locals are the state it captured.
//
// Runs the calls that may wait on a print server (connects, readings, actions) away from
// the window's thread. Each server is served by a lane: a thread of its own that owns the
// lane's one connection, made on the lane's first call, and runs the calls given to it one
// after another in the order given. Answers come back to the window's thread as queued
// events tagged with the request they answer.
//
// Request life cycle:
//
//   state      | entered by                         | left when
//   -----------+------------------------------------+-----------------------------------------
//   pending    | post()                             | the lane has run it: answered (deliver
//              |                                    | runs on the window's thread), or
//              |                                    | drop(), a rebind or close(): dropped (the
//              |                                    | lane's answer, when it comes, is ignored)
//   answered   |                                    | -
//   dropped    |                                    | -
//
// A server that hangs only holds up its own lane: a rebind to another server (or to the same
// one) starts a fresh lane at once, and the old one ends after its last call has returned.
// close() ends the waits and leaves lanes that do not end within a short grace to end on
// their own; abandoned() then tells the program to end without waiting for them.
class PrintWorker : public QObject
{
    Q_OBJECT

public:
    // A call run on a lane: the lane's connection (null when the server could not be
    // reached) and, when null, why.
    using Call = std::function<void(PrintServer* server, const QString& connectError)>;

    explicit PrintWorker(PrintSystem& printSystem, QObject* parent = nullptr);
    ~PrintWorker() override;
    PrintWorker(const PrintWorker&) = delete;
    PrintWorker& operator=(const PrintWorker&) = delete;

    // Serves server from now on on a fresh lane; every request still pending is dropped.
    void bind(const QString& server);
    // The server the current lane serves (the last bind); empty before the first.
    QString boundServer() const { return m_boundServer; }
    // Counts the binds: a caller that kept it can tell that the worker has moved on.
    quint64 bindGeneration() const { return m_bindGeneration; }
    // The current lane connects again on its next call (its server was found gone).
    void forgetConnection();

    // Runs call on the current lane; deliver (may be empty) runs on the window's thread once
    // call has returned, unless the request was dropped first. attended: an operator waits
    // for this call (a server that wants a password may then ask for one).
    quint64 post(Call call, std::function<void()> deliver = {}, bool attended = true);
    // Runs call on a lane of its own for server (a question to another server than the bound
    // one); the lane ends after the call.
    quint64 postTo(const QString& server, Call call, std::function<void()> deliver = {}, bool attended = true);
    // What a step awaits for a request: true once answered, false when it was dropped (a
    // rebind, drop() or close()). A dropped request's step goes on at the next turn of the
    // event loop, a closed worker's at once, so that every step comes to its end.
    //
    // An UnattendedScope in the awaiting step holds across the wait: the step's own mark
    // is put aside while it waits and taken up again when it goes on, so that what runs
    // meanwhile (an operator's action) is not taken for the step's.
    class Answer
    {
    public:
        bool await_ready() const noexcept { return !m_worker->isPending(m_id); }
        void await_suspend(std::coroutine_handle<> step)
        {
            m_unattended = std::exchange(m_worker->m_unattended, false);
            m_worker->awaitAnswer(m_id, step, &m_answered);
        }
        bool await_resume() const noexcept
        {
            if (m_unattended) {
                m_worker->m_unattended = true;
            }
            return m_answered;
        }

    private:
        friend class PrintWorker;
        Answer(PrintWorker* worker, quint64 id)
            : m_worker(worker)
            , m_id(id)
        {}
        PrintWorker* m_worker;
        quint64 m_id;
        bool m_answered = false;
        bool m_unattended = false;
    };
    // The answer to request id, for a step to co_await.
    Answer answerOf(quint64 id) { return Answer(this, id); }
    // post(), and the answer for a step to co_await.
    Answer ask(Call call, bool attended = true) { return answerOf(post(std::move(call), {}, attended)); }
    void drop(quint64 id);
    // The id of the request posted last: a caller can tell whether anything was asked of
    // the servers after its own request.
    quint64 lastPosted() const { return m_nextId; }
    bool isPending(quint64 id) const { return m_pending.contains(id); }
    // True when no request is pending and no step waits to go on after a dropped one.
    bool idle() const { return m_pending.isEmpty() && m_dropped.isEmpty(); }

    // Drops every request, lets every step that awaits one go on (before it returns) and
    // stops the lanes; lanes that do not stop within graceMs are left to end on their own.
    void close(int graceMs = 300);
    bool closed() const { return m_closed; }
    // True when a lane was still busy when close() gave up on it.
    bool abandoned() const { return m_abandoned; }

    // While one lives, every call posted is one no operator waits for (a polling tick and
    // what it sets off): a server that wants a password is refused. It may live in a step
    // (Task) across its waits (see Answer).
    class UnattendedScope
    {
    public:
        explicit UnattendedScope(PrintWorker& worker)
            : m_worker(worker)
            , m_previous(std::exchange(worker.m_unattended, true))
        {}
        ~UnattendedScope() { m_worker.m_unattended = m_previous; }
        UnattendedScope(const UnattendedScope&) = delete;
        UnattendedScope& operator=(const UnattendedScope&) = delete;

    private:
        PrintWorker& m_worker;
        bool m_previous;
    };

    // True while an UnattendedScope lives (and its step is not waiting).
    bool unattended() const { return m_unattended; }
    // Runs fn as attended work whatever runs around it (the window's events let through by
    // a step's yield are not the step's).
    template <typename Fn> void attended(Fn&& fn)
    {
        const bool previous = std::exchange(m_unattended, false);
        fn();
        m_unattended = previous;
    }

    // Whether the call running on this thread is one an operator waits for; true on any
    // thread that is not a lane's.
    static bool currentCallAttended();
    // Lanes of every worker whose thread has not ended yet (an abandoned one included).
    static int runningLanes();

    // Called from a call that found its server gone: the lane connects again on its next call.
    static void connectionLost();

Q_SIGNALS:
    // No request is pending any more.
    void becameIdle();

private:
    struct Lane
    {
        QThread* thread = nullptr;
        PrintLane* worker = nullptr;
    };
    struct Pending
    {
        std::function<void()> deliver;
        std::coroutine_handle<> step;  // the step awaiting it, if any
        bool* answer = nullptr;        // set by the answer, for that step
        std::shared_ptr<char> handOff; // the request's hand-off between the threads
    };

    Lane startLane(const QString& server);
    void retire(Lane& lane);
    // closeAfter: the lane is a one-off and ends once the call is answered.
    quint64 postOn(Lane& lane, Call call, std::function<void()> deliver, bool attended, bool closeAfter);
    void answered(quint64 id);
    void awaitAnswer(quint64 id, std::coroutine_handle<> step, bool* answer);
    // Lets the steps of dropped requests go on.
    void resumeDropped();

    PrintSystem& m_printSystem;
    Lane m_current;
    QString m_boundServer;
    QList<Lane> m_lanes; // every lane still running, current and retired
    QHash<quint64, Pending> m_pending;
    QList<std::coroutine_handle<>> m_dropped; // steps whose request was dropped, to go on
    quint64 m_nextId = 0;
    quint64 m_bindGeneration = 0;
    bool m_unattended = false;
    bool m_closed = false;
    bool m_abandoned = false;
};

// The window's tie to the server it searched: every call goes to the worker's current lane,
// and fails as unreachable once the worker has moved on to another server (a search made
// meanwhile) or was closed. A step keeps its own reference for the call; an out-list is
// filled only when the lane answered.
class ServerLink
{
public:
    ServerLink(PrintWorker& worker, QString server);
    QString serverName() const { return m_server; }
    Task<PrintResult> printers(QList<PrinterInfo>& out);
    Task<PrintResult> queueJobs(const QString& queue, QList<PrintJobInfo>& out);
    Task<PrintResult> pauseQueue(const QString& queue);
    Task<PrintResult> resumeQueue(const QString& queue);
    Task<PrintResult> resumeJob(const QString& queue, qint64 jobId);

private:
    // answered: set when the lane answered (what the call filled in may then be read).
    Task<PrintResult> run(std::function<PrintResult(PrintServer&)> fn, bool* answered = nullptr);

    PrintWorker& m_worker;
    QString m_server;
    quint64 m_bindGeneration;
};

} // namespace hlv
