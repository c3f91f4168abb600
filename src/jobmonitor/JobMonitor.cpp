#include "JobMonitor.h"

#include <algorithm>

#include "platform/print/CupsStateMap.h"

namespace hlv {

Monitor::Monitor(QObject* parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("Monitor"));
    for (QTimer* timer : {&tmrConnect, &tmrEvent}) {
        timer->setSingleShot(true);
        timer->setInterval(1);
    }
    tmrConnect.setObjectName(QStringLiteral("tmrConnect"));
    tmrEvent.setObjectName(QStringLiteral("tmrEvent"));
}

JobMonitor::JobMonitor(PrintSystem& printSystem, QObject* parent)
    : QObject(parent)
    , m_printSystem(printSystem)
    , frmMonitor(std::make_unique<Monitor>())
{
    connect(&frmMonitor->tmrConnect, &QTimer::timeout, this, &JobMonitor::mwtmrConnect_Timer);
    connect(&frmMonitor->tmrEvent, &QTimer::timeout, this, &JobMonitor::mwtmrEvent_Timer);
}

JobMonitor::~JobMonitor() = default;

void JobMonitor::StartMonitor(const QString& strComputer)
{
    // A reading still armed for the previous server must not be compared with the new one.
    frmMonitor->tmrEvent.stop();
    frmMonitor->tmrConnect.stop();
    m_watch.reset();

    QString error;
    std::unique_ptr<PrintServer> server = m_printSystem.connect(strComputer, &error);
    if (!server) {
        m_state = State::Stopped;
        Q_EMIT ConnectEvent(textConnectionError());
        return;
    }
    m_server = strComputer;
    objServices = std::move(server);
    colEvents.clear();
    m_haveBaseline = false;
    m_startedAt = QDateTime::currentDateTimeUtc();
    m_lastGood = QDateTime();
    m_historySince = QDateTime();
    m_retryDelay = 0;
    m_state = State::Connecting;
    frmMonitor->tmrConnect.start(1);
}

void JobMonitor::ResumeMonitor(const QString& strComputer, const QStringList& knownJobs, const QStringList& endedJobs,
                               const QDateTime& historySince)
{
    StartMonitor(strComputer);
    if (m_state == State::Connecting) {
        colEvents.restore(knownJobs);
        colEvents.rememberEnded(endedJobs);
        m_haveBaseline = true;
        if (historySince.isValid()) {
            m_startedAt = historySince;
            m_historySince = historySince;
        }
    }
}

void JobMonitor::mwtmrConnect_Timer()
{
    frmMonitor->tmrConnect.stop();
    if (m_state != State::Connecting && m_state != State::Retrying) {
        return;
    }
    if (m_state == State::Retrying || !objServices) {
        // A server that was lost gets a new connection: the old one may still wait on a
        // server that has since been restarted.
        m_watch.reset();
        objServices.reset();
        objServices = m_printSystem.connect(m_server);
        if (!objServices) {
            serverLost();
            return;
        }
    }
    // The watch stands before the reading, so that no change falls between the two.
    askForWatch();
    m_lastReading.start();
    const QDateTime began = QDateTime::currentDateTimeUtc();
    // The first reading stands for the subscription: jobs already there are not news.
    // After a lost server, whatever changed meanwhile is.
    QList<JobChange> changes;
    if (m_haveBaseline) {
        if (!readAll(changes, {}, m_historySince)) {
            serverLost();
            return;
        }
        m_historySince = QDateTime();
    } else {
        QElapsedTimer cost;
        cost.start();
        QList<PrintJobInfo> jobs;
        if (!objServices->jobs(jobs)) {
            serverLost();
            return;
        }
        m_lastWholeReading.start();
        colEvents.reset(jobs);
        m_wholeCostMs = cost.elapsed();
        m_haveBaseline = true;
        Q_EMIT JobListEvent(colEvents.records());
    }
    m_connectedSince.start();
    m_lastGood = began;
    m_state = State::Waiting;
    Q_EMIT ConnectEvent(textConnected());
    if (m_state == State::Waiting && raise(changes)) {
        armNextReading();
    }
}

void JobMonitor::mwtmrEvent_Timer()
{
    frmMonitor->tmrEvent.stop();
    MonitorEvent();
}

void JobMonitor::MonitorEvent()
{
    if (m_state != State::Waiting || !objServices) {
        return;
    }
    m_lastReading.start();
    const QDateTime began = QDateTime::currentDateTimeUtc();
    QList<JobChange> changes;
    if (!m_watch && m_lastWatchAsked.isValid() && m_lastWatchAsked.elapsed() >= m_watchRetryInterval) {
        askForWatch();
    }
    PrintResult read;
    if (m_watch && m_lastWholeReading.elapsed() < std::max<qint64>(m_wholeInterval, wholeCostSpacingMs())) {
        read = readChanges(changes);
        if (!read && read.refused) {
            watchRefused();
            read = readAll(changes);
        } else if (!m_lastUntoldReading.isValid()) {
            m_lastUntoldReading.start();
        } else if (read && m_lastUntoldReading.elapsed() >= m_untoldInterval) {
            read = readUntold(changes);
        }
    } else {
        // Without a watch, and now and then with one: the whole list. What the watch has
        // to tell is taken first, so that what changes during the reading is named by its
        // next answer.
        JobChanges told;
        if (m_watch) {
            read = m_watch->changes(told);
            if (!read && read.refused) {
                watchRefused();
                read = PrintResult::success();
            }
        }
        if (read) {
            read = readAll(changes, told.told);
        }
    }
    if (!read) {
        serverLost();
        return;
    }
    m_lastGood = began;
    // A connection that has answered for a while is steady: a later loss starts afresh.
    if (m_retryDelay != 0 && m_connectedSince.elapsed() >= m_steadyTime) {
        m_retryDelay = 0;
    }
    if (raise(changes)) {
        armNextReading();
    }
}

void JobMonitor::askForWatch()
{
    m_watch = objServices->watchJobs();
    m_lastWatchAsked.start();
}

void JobMonitor::watchRefused()
{
    // The server is there; it only will not be watched. Asked to cancel the watch, in case
    // its policy allows that much.
    m_watch.reset();
    m_lastWatchAsked.start();
}

PrintResult JobMonitor::readAll(QList<JobChange>& changes, const QList<PrintJobInfo>& told,
                                const QDateTime& historySince)
{
    QElapsedTimer cost;
    cost.start();
    QList<PrintJobInfo> jobs;
    if (PrintResult r = objServices->jobs(jobs); !r) {
        return r;
    }
    // Read after the list: a job that ends in between is in the history, and one listed
    // there that ended since is settled by the next reading. A history that cannot be read
    // (too long, say) leaves only the jobs that came and went unreported; a server that is
    // gone shows at the next reading.
    QList<PrintJobInfo> ended;
    if (historySince.isValid() && objServices->keepsEndedJobs() && !objServices->endedJobs(historySince, ended)) {
        ended.clear();
    }
    m_lastWholeReading.start();
    // Jobs no longer listed are asked after one by one, as long as they are few: one that
    // ended is reported as it ended, not as it was last seen. So are jobs that the notices
    // tell came and ended unseen: the history has all of them, submit time included, where
    // the notices may have told only their end.
    QList<qint64> ask;
    if (objServices->keepsEndedJobs()) {
        ask = colEvents.missing(jobs);
        if (ask.size() > kMostSingleReads) {
            ask.clear();
        }
        for (const PrintJobInfo& job : told) {
            if (ask.size() >= kMostSingleReads) {
                break;
            }
            if (job.ended && !job.Name.isEmpty() && !colEvents.contains(job.Name) && !colEvents.hasEnded(job.Name) &&
                !ask.contains(job.JobId)) {
                ask.append(job.JobId);
            }
        }
    }
    for (const qint64 id : std::as_const(ask)) {
        PrintJobInfo job;
        bool found = false;
        if (!objServices->job(id, job, found)) {
            break;
        }
        if (found && job.ended) {
            ended.append(job);
        }
    }
    changes = colEvents.update(jobs, ended, told);
    m_wholeCostMs = cost.elapsed();
    return PrintResult::success();
}

PrintResult JobMonitor::readChanges(QList<JobChange>& changes)
{
    JobChanges named;
    if (PrintResult r = m_watch->changes(named); !r) {
        return r;
    }
    if (named.isEmpty()) {
        return PrintResult::success();
    }
    if (named.everything || named.jobIds.size() > kMostSingleReads) {
        return readAll(changes, named.told);
    }
    QList<PrintJobInfo> jobs;
    QList<PrintJobInfo> ended;
    for (const qint64 id : std::as_const(named.jobIds)) {
        PrintJobInfo job;
        bool found = false;
        if (!objServices->job(id, job, found)) {
            return readAll(changes, named.told);
        }
        if (found) {
            (job.ended ? ended : jobs).append(job);
        }
    }
    changes = colEvents.updatePart(jobs, named.jobIds, {}, ended, named.told);
    // A printer that changed state is read alone; its jobs' status follows from it. One that
    // no job waits on (held jobs only, or none) need not be read at all, unless it prints a
    // job of a class: that job is held up by its trouble, and only the job itself tells it.
    bool memberChanged = false;
    for (const QString& queue : std::as_const(named.queues)) {
        if (!colEvents.followsPrinter(queue)) {
            memberChanged = true;
            continue;
        }
        PrinterInfo printer;
        bool found = false;
        const PrintResult r = objServices->printer(queue, printer, found);
        if (!r || !found) {
            // Removed (or not read): whatever is left of its jobs is settled by the whole list.
            QList<JobChange> rest;
            const PrintResult whole = readAll(rest);
            changes.append(rest);
            return whole;
        }
        changes.append(colEvents.updateQueueStatus(queue, printer.stoppingStatus(), &cupsstate::jobStatusOnPrinter));
    }
    if (memberChanged) {
        QList<qint64> printing;
        for (const PrintJobInfo& job : colEvents.jobs()) {
            if (job.ownStatus == JobStatus::Printing && !named.jobIds.contains(job.JobId)) {
                printing.append(job.JobId);
            }
        }
        if (!printing.isEmpty() && printing.size() <= kMostSingleReads) {
            QList<PrintJobInfo> again;
            QList<PrintJobInfo> over;
            for (const qint64 id : std::as_const(printing)) {
                PrintJobInfo job;
                bool found = false;
                if (PrintResult r = objServices->job(id, job, found); !r) {
                    return r;
                }
                if (found) {
                    (job.ended ? over : again).append(job);
                }
            }
            changes.append(colEvents.updatePart(again, printing, {}, over));
        }
    }
    return PrintResult::success();
}

PrintResult JobMonitor::readUntold(QList<JobChange>& changes)
{
    m_lastUntoldReading.start();
    // A job still arriving: its size is known once its document has come, and nothing is
    // told of that.
    QList<PrintJobInfo> jobs;
    QList<PrintJobInfo> ended;
    QList<qint64> spooling;
    for (const PrintJobInfo& job : colEvents.jobs()) {
        if (job.StatusMask == JobStatus::Spooling) {
            spooling.append(job.JobId);
        }
    }
    for (const qint64 id : spooling) {
        PrintJobInfo job;
        bool found = false;
        if (PrintResult r = objServices->job(id, job, found); !r) {
            return r;
        }
        if (found) {
            (job.ended ? ended : jobs).append(job);
        }
    }
    if (!spooling.isEmpty()) {
        changes.append(colEvents.updatePart(jobs, spooling, {}, ended));
    }
    // A stopped printer's message changes without a notice (a backend's complaint after the
    // operator's pause, another reason given by the operator).
    QList<PrinterInfo> printers;
    if (PrintResult r = objServices->printers(printers); !r) {
        return r;
    }
    for (const PrinterInfo& printer : std::as_const(printers)) {
        if ((printer.Status & PrinterStatus::Paused) != 0 && colEvents.followsPrinter(printer.Name)) {
            changes.append(
                colEvents.updateQueueStatus(printer.Name, printer.stoppingStatus(), &cupsstate::jobStatusOnPrinter));
        }
    }
    return PrintResult::success();
}

void JobMonitor::serverLost()
{
    frmMonitor->tmrEvent.stop();
    // A reading cut short for a stop leaves the watch to the stop, which cancels it.
    if (m_watch && !m_printSystem.callsInterrupted()) {
        m_watch->abandon();
        m_watch.reset();
    }
    const bool first = m_state != State::Retrying;
    // Jobs that come and go while the server cannot be read are looked for in its history,
    // from shortly before the last reading that worked (the server's clock may differ).
    if (first && m_lastGood.isValid()) {
        m_historySince = std::max(m_startedAt, m_lastGood.addSecs(-kClockMarginSecs));
    }
    // The wait goes on growing over a connect that failed again at once.
    m_retryDelay = m_retryDelay == 0 ? m_retryFirst : std::min(m_retryDelay * 2, m_retryLimit);
    m_state = State::Retrying;
    if (first) {
        Q_EMIT ConnectEvent(textQueryError());
        // A receiver in this process may have stopped or restarted the monitor.
        if (m_state != State::Retrying) {
            return;
        }
    }
    frmMonitor->tmrConnect.start(m_retryDelay);
}

bool JobMonitor::raise(const QList<JobChange>& changes)
{
    for (const JobChange& change : changes) {
        Q_EMIT JobEvent(change.action, change.record);
        // A receiver in this process may have stopped or restarted the monitor.
        if (m_state != State::Waiting) {
            return false;
        }
    }
    return true;
}

void JobMonitor::armNextReading()
{
    // Readings start a fixed interval apart however long one takes, so a change on the
    // server is reported within one interval plus one reading.
    // Whole lists long enough to take a while are compared less often, in proportion.
    const qint64 interval = m_watch ? m_watchInterval : std::max<qint64>(m_pollInterval, wholeCostSpacingMs());
    const qint64 wait = std::max<qint64>(0, interval - m_lastReading.elapsed());
    frmMonitor->tmrEvent.start(static_cast<int>(wait));
}

void JobMonitor::StopMonitor()
{
    frmMonitor->tmrEvent.stop();
    frmMonitor->tmrConnect.stop();
    m_state = State::Stopped;
    Q_EMIT ConnectEvent(textDisconnected());
    // The server forgets the watch now rather than when its lease runs out; told after the
    // answer, so that a server slow to answer does not hold the client. A receiver that
    // started the monitor again has ended the watch already.
    if (m_state == State::Stopped) {
        m_watch.reset();
    }
}

} // namespace hlv
