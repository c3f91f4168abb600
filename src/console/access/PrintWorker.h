#pragma once

#include <functional>
#include <memory>

#include <QHash>
#include <QObject>
#include <QString>

#include "platform/PrintSystem.h"

class QEventLoop;
class QThread;

namespace hlv {

class PrintLane;

// The rule: the console asks a print server only through a PrintWorker, never on the
// window's thread. A call carries copies of everything it works on (server, queue, jobs and
// their states as the operator's action found them) and writes only into state of its own
// (a shared_ptr the answer reads); that state is read on the window's thread only once the
// request was answered, never after a drop (its lane may still be writing it). What the
// action does next runs when the answer comes, on the same captured state, not on what the
// window's controls show by then.
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
    // Lets the window's events run until request id is answered or dropped, or close() was
    // called: the wait a caller makes where it yields to the window anyway. True when answered.
    bool wait(quint64 id);
    // post() and wait().
    bool call(Call call, bool attended = true);
    void drop(quint64 id);
    // The id of the request posted last: a caller can tell whether anything was asked of
    // the servers after its own request.
    quint64 lastPosted() const { return m_nextId; }
    bool isPending(quint64 id) const { return m_pending.contains(id); }
    // True when no request is pending.
    bool idle() const { return m_pending.isEmpty(); }

    // Drops every request, ends every wait and stops the lanes; lanes that do not stop
    // within graceMs are left to end on their own.
    void close(int graceMs = 300);
    bool closed() const { return m_closed; }
    // True when a lane was still busy when close() gave up on it.
    bool abandoned() const { return m_abandoned; }

    // While one lives, every call posted is one no operator waits for (a polling tick and
    // what it sets off): a server that wants a password is refused.
    class UnattendedScope
    {
    public:
        explicit UnattendedScope(PrintWorker& worker)
            : m_worker(worker)
        {
            ++m_worker.m_unattended;
        }
        ~UnattendedScope() { --m_worker.m_unattended; }
        UnattendedScope(const UnattendedScope&) = delete;
        UnattendedScope& operator=(const UnattendedScope&) = delete;

    private:
        PrintWorker& m_worker;
    };

    // True while an UnattendedScope lives.
    bool unattended() const { return m_unattended > 0; }

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
        QEventLoop* loop = nullptr;    // the wait() for it, if any
        bool* answer = nullptr;        // set by the answer, for that wait()
        std::shared_ptr<char> handOff; // the request's hand-off between the threads
    };

    Lane startLane(const QString& server);
    void retire(Lane& lane);
    // closeAfter: the lane is a one-off and ends once the call is answered.
    quint64 postOn(Lane& lane, Call call, std::function<void()> deliver, bool attended, bool closeAfter);
    void answered(quint64 id);

    PrintSystem& m_printSystem;
    Lane m_current;
    QString m_boundServer;
    QList<Lane> m_lanes; // every lane still running, current and retired
    QHash<quint64, Pending> m_pending;
    quint64 m_nextId = 0;
    quint64 m_bindGeneration = 0;
    int m_unattended = 0;
    bool m_closed = false;
    bool m_abandoned = false;
};

// A print server whose every call runs on the worker's current lane while the window's
// events run (PrintWorker::call): for the steps that yield to the window around a call of
// their own. Calls fail as unreachable once the worker is closed. A search made during a
// call may replace the window's instance: a caller keeps its own reference for the call,
// and an out-list is filled only when the lane answered.
class LanePrintServer final : public PrintServer
{
public:
    LanePrintServer(PrintWorker& worker, QString server);
    QString serverName() const override { return m_server; }
    PrintResult printers(QList<PrinterInfo>& out) override;
    PrintResult jobs(QList<PrintJobInfo>& out) override;
    PrintResult queueJobs(const QString& queue, QList<PrintJobInfo>& out) override;
    PrintResult computerName(QString& out) override;
    PrintResult pauseQueue(const QString& queue) override;
    PrintResult resumeQueue(const QString& queue) override;
    PrintResult holdQueue(const QString& queue) override;
    PrintResult purgeQueue(const QString& queue) override;
    PrintResult pauseJob(const QString& queue, qint64 jobId) override;
    PrintResult resumeJob(const QString& queue, qint64 jobId) override;
    PrintResult removeJob(const QString& queue, qint64 jobId) override;
    PrintResult setJobPriority(const QString& queue, qint64 jobId, qint64 priority) override;
    int printTestPage(const QString& printerName) override;
    // What the window asks of a lane's server: no watch, lists read whole, no web page.
    std::unique_ptr<JobWatch> watchJobs() override { return nullptr; }
    PrintResult printer(const QString& name, PrinterInfo& out, bool& found) override
    {
        return printerFromList(*this, name, out, found);
    }
    bool keepsEndedJobs() const override { return false; }
    PrintResult endedJobs(const QDateTime&, QList<PrintJobInfo>& out) override { return noEndedJobs(out); }
    PrintResult job(qint64 jobId, PrintJobInfo& out, bool& found) override
    {
        return jobFromList(*this, jobId, out, found);
    }
    QString printerWebPage(const QString&) const override { return {}; }

private:
    // answered: set when the lane answered (what the call filled in may then be read).
    PrintResult run(const std::function<PrintResult(PrintServer&)>& fn, bool* answered = nullptr);

    PrintWorker& m_worker;
    QString m_server;
    quint64 m_bindGeneration;
};

} // namespace hlv
