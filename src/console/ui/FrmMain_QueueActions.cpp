// Commands on the selected queue as a whole: pause and resume it, pause all jobs, Resume
// All (one pass per call), Delete All, and the pop-up of the Printer menu.
//
// Resume All life cycle:
//
//   state    | entered by                                        | left when
//   ---------+---------------------------------------------------+-------------------------
//   idle     | start; a pass that finds the job list empty        | a pass starts
//   pending  | every pass (menu, popup, timed release, polling)   | a pass finds no rows
//
// While pending, the polling loop runs one more pass on every tick. Under AutoQueue a pass
// releases one paused job and ends; the next pass waits until that job has left the queue.
// A row whose job is no longer in the queue releases nothing and opens nothing.
#include <QCheckBox>
#include <QCursor>
#include <QMenu>

#include "console/access/PrintWorker.h"
#include "console/access/WMIPrint.h"
#include "console/ui/ConsoleContext.h"
#include "console/ui/FrmMain.h"
#include "console/ui/FrmMain_ActionSupport.h"
#include "console/ui/JobListWidget.h"
#include "console/ui/QueueAutomation.h"
#include "console/ui/VbColour.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Environment.h"
#include "platform/GeneralDate.h"
#include "store/JobLogStore.h"
#include "store/JobLogTable.h"

namespace hlv {

Task<void> FrmMain::MenuPause_Click()
{
    actions::showStatus(*this, ActionText::PauseQueue);
    writeAudit(QStringLiteral("Queue"), QStringLiteral("Pause Queue - ") + queueBoxText());
    const ActionScope scope = co_await actionScope();
    if (queueBoxText() == scope.shownQueue) {
        CurrentQueue = scope.queue;
    }
    if (scope.container && scope.queue) {
        co_await scope.container->pauseQueue(scope.queueName());
    }
    yieldToEvents();
    co_await CurrentPrintQueue_Click();
    yieldToEvents();
}

Task<void> FrmMain::MenuResume_Click()
{
    actions::showStatus(*this, ActionText::ResumeQueue);
    writeAudit(QStringLiteral("Queue"), QStringLiteral("Resume Queue - ") + queueBoxText());
    const ActionScope scope = co_await actionScope();
    if (queueBoxText() == scope.shownQueue) {
        CurrentQueue = scope.queue;
    }
    if (scope.container && scope.queue) {
        co_await scope.container->resumeQueue(scope.queueName());
    }
    yieldToEvents();
    co_await CurrentPrintQueue_Click();
    yieldToEvents();
}

Task<void> FrmMain::mnupausealljobs_Click()
{
    const actions::ActionInProgress inProgress(m_actionsWaiting, QStringLiteral("Pause All Jobs"));
    if (inProgress.refused()) {
        co_return;
    }
    actions::showStatus(*this, ActionText::PauseAllJobs);
    writeAudit(QStringLiteral("Job"), QStringLiteral("Pause All Jobs - ") + queueBoxText());
    // The queue, its jobs and every hold are one call on the print worker, made while the
    // window's events run (the yield that follows the holds).
    auto found = std::make_shared<std::optional<PrinterInfo>>();
    const QString queue = queueBoxText();
    bool answered = false;
    if (ServerContainer) {
        PrintWorker::Call call = [found, queue](PrintServer* server, const QString&) {
            QList<PrinterInfo> printers;
            if (!server || queue.isEmpty() || !server->printers(printers)) {
                return;
            }
            for (const PrinterInfo& printer : std::as_const(printers)) {
                if (printer.queueName() == queue) {
                    *found = printer;
                    break;
                }
            }
            QList<PrintJobInfo> jobs;
            if (*found && server->queueJobs((*found)->queueName(), jobs)) {
                for (const PrintJobInfo& job : std::as_const(jobs)) {
                    server->pauseJob((*found)->queueName(), job.JobId);
                }
            }
        };
        answered = co_await m_printWorker->ask(std::move(call));
    }
    if (m_unloaded) {
        co_return;
    }
    if (!answered) {
        yieldToEvents();
    } else if (queueBoxText() == queue) {
        CurrentQueue = *found; // another queue chosen meanwhile keeps its own
    }
    co_await CurrentPrintQueue_Click();
    yieldToEvents();
}

Task<void> FrmMain::mnuresumealljobs_Click()
{
    const actions::ActionInProgress inProgress(m_actionsWaiting, QStringLiteral("Resume All Jobs"));
    if (inProgress.refused()) {
        co_return;
    }
    ResumeAllPending = true;
    actions::showStatus(*this, ActionText::ResumeAllJobs);
    // The rows are the ones shown when the pass started: the waits below let refreshes, job
    // events and the operator's choices change the list meanwhile.
    QList<JobRow> listed;
    for (int i = 0; i < JobList->rowCount(); ++i) {
        listed.append(JobList->row(i));
    }
    const ActionScope scope = co_await actionScope();
    if (queueBoxText() == scope.shownQueue) {
        CurrentQueue = scope.queue;
    }

    if (listed.isEmpty()) {
        ResumeAllPending = false;
        co_return;
    }
    // The rows' texts say "OK" for a job paused while printing: the jobs' own status
    // bits tell which rows wait for their release.
    const QList<PrintJobInfo> jobs = co_await scopeJobs(scope);
    if (m_unloaded) {
        co_return;
    }
    QHash<QString, quint32> jobStatus;
    for (const PrintJobInfo& job : jobs) {
        jobStatus.insert(job.queueJobName(), job.Status());
    }
    if (value(chkAutoQueue) == 1) {
        // One job per pass; a row whose job has already gone is passed over.
        for (qsizetype i = 0; i < listed.size(); ++i) {
            if (releaseInFlight(Timer2.interval(), m_settings.PollAQactive)) {
                co_return; // a job released under AutoQueue still prints; a later pass carries on
            }
            if (queueBoxText() == scope.shownQueue && i < JobList->rowCount()) {
                JobList->selectRow(static_cast<int>(i));
            }
            const JobRow& row = listed.at(i);
            if (rowIsPausedForResumeAll(row.text, jobStatus.value(actions::rowValues(row).ID))) {
                const bool released = co_await releaseJobRow(actions::rowValues(row), scope);
                if (released) {
                    break;
                }
            }
            if (m_unloaded) {
                co_return;
            }
        }
        co_await CurrentPrintQueue_Click();
        co_return;
    }
    if (releaseInFlight(Timer2.interval(), m_settings.PollAQactive)) {
        co_return;
    }
    co_await releaseAllPausedRows(scope, listed, jobs);
    if (m_unloaded) {
        co_return;
    }
    co_await CurrentPrintQueue_Click();
}

Task<void> FrmMain::releaseAllPausedRows(ActionScope scope, QList<JobRow> listed, QList<PrintJobInfo> jobs)
{
    // Every paused row is released as releaseSelectedJob would release it, with the queue
    // resumed after each row; the log rows, pages and audit records of all of them are each
    // written once, and the server requests are one call on the print worker: on a queue of
    // thousands of jobs a write or a wait per job would hold the window for minutes.
    const QString queue = scope.queueName();
    const bool queueKnown = scope.container && scope.queue;
    QHash<QString, quint32> jobStatus;
    for (const PrintJobInfo& job : jobs) {
        jobStatus.insert(job.queueJobName(), job.Status());
    }
    struct Release
    {
        QList<qint64> jobIds;
        bool resumeQueue = false;
    };
    QList<Release> releases;
    QList<joblog::JobEntry> rows;
    QStringList pages;
    QList<std::pair<QString, QString>> records;
    const QDateTime now = m_ctx.clock.now();
    const QString user = m_ctx.environment.userName();
    const QString computer = m_ctx.environment.computerName();
    const bool sameQueueShown = queueBoxText() == scope.shownQueue;
    for (qsizetype i = 0; i < listed.size(); ++i) {
        if (sameQueueShown && i < JobList->rowCount()) {
            JobList->selectRow(static_cast<int>(i));
        }
        const JobRowValues row = actions::rowValues(listed.at(i));
        if (!rowIsPausedForResumeAll(listed.at(i).text, jobStatus.value(row.ID))) {
            continue;
        }
        Release release;
        release.resumeQueue = queueKnown;
        for (const PrintJobInfo& job : jobs) {
            if (job.queueJobName() != row.ID) {
                continue;
            }
            // One audit record per released row; a row whose job has left the queue records
            // nothing.
            if (release.jobIds.isEmpty()) {
                records.append({QStringLiteral("Job"), QStringLiteral("Resume Job")});
            }
            release.jobIds.append(job.JobId);
            joblog::JobEntry entry{transactionIdOf(row), {}};
            for (const JobLogField& f :
                 jobLogFields(JobLogKind::Release, row, scope.server, scope.shownQueue, now, user, computer)) {
                entry.fields.append({f.field, f.value});
            }
            rows.append(entry);
            pages.append(row.Pages);
            LastReleasedJob = job.queueJobName();
        }
        releases.append(release);
    }
    if (!records.isEmpty()) {
        jobLog().WriteAudits(records);
    }
    if (!rows.isEmpty()) {
        jobLog().LogJobsFields(rows);
        actions::countPrintedPages(*this, pages);
    }
    // A server searched since the pass started has dropped what was asked of the old one:
    // its jobs are not released on the new one.
    if (releases.isEmpty() || !scope.container || scope.server != m_boundServer) {
        co_return;
    }
    PrintWorker::Call call = [releases, queue](PrintServer* server, const QString&) {
        if (!server) {
            return;
        }
        for (const Release& release : releases) {
            for (qint64 id : release.jobIds) {
                server->resumeJob(queue, id);
            }
            if (release.resumeQueue) {
                server->resumeQueue(queue);
            }
        }
    };
    co_await m_printWorker->ask(std::move(call));
}

Task<void> FrmMain::MenuPurge_Click()
{
    co_await PurgeAllJobs(false);
}

Task<void> FrmMain::PurgeAllJobs(bool Silent)
{
    const actions::ActionInProgress inProgress(m_actionsWaiting, QStringLiteral("Purge All Jobs"));
    if (inProgress.refused()) {
        co_return;
    }
    const int answer =
        Silent ? MsgBoxResult::Yes : m_ctx.dialogs.msgBox(purgeQuestion(), 20, QString(ActionText::Warning));
    if (answer == MsgBoxResult::Yes) {
        actions::showStatus(*this, ActionText::PurgeAllJobs);
        // The queue, its jobs and the purge are one call on the print worker, made while the
        // window's events run (the yield that follows the purge).
        struct Purge
        {
            std::optional<PrinterInfo> queue;
            QList<PrintJobInfo> jobs;
        };
        auto purge = std::make_shared<Purge>();
        // The purge and its records are about the queue shown now, whatever is shown when
        // the answer comes.
        const QString queue = queueBoxText();
        bool answered = false;
        if (ServerContainer) {
            PrintWorker::Call call = [purge, queue](PrintServer* server, const QString&) {
                QList<PrinterInfo> printers;
                if (!server || queue.isEmpty() || !server->printers(printers)) {
                    return;
                }
                for (const PrinterInfo& printer : std::as_const(printers)) {
                    if (printer.queueName() == queue) {
                        purge->queue = printer;
                        break;
                    }
                }
                if (!purge->queue) {
                    return;
                }
                if (!server->queueJobs(purge->queue->queueName(), purge->jobs)) {
                    purge->jobs.clear();
                }
                server->purgeQueue(purge->queue->queueName());
            };
            answered = co_await m_printWorker->ask(std::move(call));
        }
        if (m_unloaded) {
            co_return;
        }
        if (!answered) {
            // A dropped call's lane may still be filling purge: nothing of it is read.
            yieldToEvents();
        } else if (queueBoxText() == queue) {
            CurrentQueue = purge->queue;
        }
        // Every job's log fields, its pages and its audit record, each kind in one write.
        QList<joblog::JobEntry> rows;
        QStringList pages;
        QList<std::pair<QString, QString>> records;
        const QDateTime now = m_ctx.clock.now();
        const QString user = m_ctx.environment.userName();
        const QString computer = m_ctx.environment.computerName();
        const QList<PrintJobInfo> purged = answered ? purge->jobs : QList<PrintJobInfo>();
        for (const PrintJobInfo& job : purged) {
            // The job's own page count: a job the server cannot count adds nothing.
            const QString jobPages = job.TotalPages ? QString::number(*job.TotalPages) : QString();
            const QString key = job.queueJobName() + QLatin1Char('-') + generalDateText(job.TimeSubmitted);
            rows.append({key,
                         {{QStringLiteral("Deleted"), now},
                          {QStringLiteral("Deleted Pages"), jobPages},
                          {QStringLiteral("HLV User"), user},
                          {QStringLiteral("HLV Computer"), computer}}});
            pages.append(jobPages);
            records.append({QStringLiteral("Job"), QStringLiteral("Purge all jobs - ") + queue});
        }
        if (!rows.isEmpty()) {
            jobLog().LogJobsFields(rows);
            actions::countDeletedPages(*this, pages);
            jobLog().WriteAudits(records);
        }
    }
    if (value(chkAutoQueue) == 1) {
        actions::restartPollTimer(*this, m_settings.PollAQactive);
    } else {
        co_await CurrentPrintQueue_Click();
    }
    yieldToEvents();
}

Task<void> FrmMain::mnuPrinterProperties_Click()
{
    // Without the queue there is no printer path, neither to show nor to record.
    CurrentQueue = co_await GetPrintQueue();
    if (!CurrentQueue) {
        co_return;
    }
    // The printer is looked up on a lane of its own while the window's events run; a search
    // made meanwhile may clear CurrentQueue, so the path is the one of the press.
    const QString path = CurrentQueue->PrinterPath;
    QString server;
    QString printer;
    if (WMIPrint::splitPrinterPath(path, m_boundServer, server, printer)) {
        struct Found
        {
            bool found = false;
            PrinterInfo printer;
            QString page;
        };
        auto found = std::make_shared<Found>();
        const quint64 id = m_printWorker->postTo(server, [found, printer](PrintServer* service, const QString&) {
            found->found = service && WMIPrint::findPrinter(*service, printer, found->printer, found->page);
        });
        const bool answered = co_await m_printWorker->answerOf(id);
        if (answered && found->found) {
            wmiPrint().showProperties(found->printer, server, found->page);
        }
        if (m_unloaded) {
            co_return;
        }
    }
    writeAudit(QStringLiteral("Queue"), QStringLiteral("Get printer properties: ") + path);
}

Task<void> FrmMain::mnutestpage_Click()
{
    Timer2.stop();
    actions::showStatus(*this, ActionText::PrintTestPage);
    writeAudit(QStringLiteral("Queue"), QStringLiteral("Print Test Page - ") + queueBoxText());
    // The server is asked on a lane of its own (the server box's server, which may not be
    // the one searched) while the window's events run. A refusal for want of rights is told
    // once per printer that refused; any other failure leaves nothing to tell.
    setMainBusy(true);
    setJobListBusy(true);
    const QString printer = queueBoxText();
    auto refusals = std::make_shared<int>(0);
    const quint64 id = m_printWorker->postTo(serverBoxText(), [printer, refusals](PrintServer* server, const QString&) {
        QList<PrinterInfo> printers;
        if (!server || printer.isEmpty() || !server->printers(printers)) {
            return;
        }
        for (const PrinterInfo& p : std::as_const(printers)) {
            // Compared as plain text, whatever characters the name holds.
            if ((p.Name == printer || p.ShareName == printer) &&
                server->printTestPage(p.Name) == TestPageResult::AccessDenied) {
                ++*refusals;
            }
        }
    });
    const bool answered = co_await m_printWorker->answerOf(id);
    if (m_unloaded) {
        co_return;
    }
    setMainBusy(false);
    setJobListBusy(false);
    // A dropped call's lane may still be counting: its count is not read.
    for (int i = 0; answered && i < *refusals; ++i) {
        m_ctx.dialogs.msgBox(testPagePermissionMessage(), MsgBoxStyle::Critical, productName());
    }
    setActiveUpdateColour(VbColours::Green);
    co_await CurrentPrintQueue_Click();
    if (!m_unloaded) {
        Timer2.start();
    }
}

Task<void> FrmMain::imgPlay_Click()
{
    co_await MenuPause_Click();
}

Task<void> FrmMain::imgPause_Click()
{
    co_await MenuResume_Click();
}

Task<void> FrmMain::cmdPrintProperty_Click()
{
    co_await mnuPrinterProperties_Click();
}

Task<void> FrmMain::cmdTestPage_Click()
{
    co_await mnutestpage_Click();
}

void FrmMain::frmQueueControl_MouseDown(int Button, int Shift, int X, int Y)
{
    Q_UNUSED(Shift);
    Q_UNUSED(X);
    Q_UNUSED(Y);
    if (Button & 2) {
        menuPrinter->popup(QCursor::pos());
    }
}

} // namespace hlv
