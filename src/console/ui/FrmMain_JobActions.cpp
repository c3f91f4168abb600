// The Jobs menu's commands on the selected job: release, hold, delete, priority, comment.
//
// A row is tied to its print job only by the ID column: every job of the queue whose name
// equals that text is acted on, and the walk never stops at the first match.
#include <cmath>
#include <limits>

#include <QCheckBox>
#include <QLocale>

#include "console/access/PrintWorker.h"
#include "console/ui/ConsoleContext.h"
#include "console/ui/FrmMain.h"
#include "console/ui/FrmMain_ActionSupport.h"
#include "console/ui/JobListWidget.h"
#include "console/ui/frmAction.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Environment.h"
#include "store/JobLogStore.h"

namespace hlv {

namespace {

// The priority answer as a 32-bit whole number, halves rounded to even as the classic
// conversion does; nothing when the answer is no number or does not fit.
std::optional<qint64> priorityFromAnswer(const QString& answer)
{
    bool ok = false;
    double value = answer.toDouble(&ok);
    if (!ok) {
        value = QLocale::system().toDouble(answer, &ok);
    }
    if (!ok || !std::isfinite(value)) {
        return std::nullopt;
    }
    const double rounded = std::nearbyint(value);
    if (rounded < std::numeric_limits<qint32>::min() || rounded > std::numeric_limits<qint32>::max()) {
        return std::nullopt;
    }
    return static_cast<qint64>(rounded);
}

} // namespace

bool FrmMain::jobActionWaiting(const QString& action) const
{
    const auto it = m_jobActionRequests.constFind(action);
    return it != m_jobActionRequests.constEnd() && m_printWorker->isPending(*it);
}

quint64 FrmMain::actOnSelectedJob(JobCall act, std::function<void(const QList<PrintJobInfo>&)> then)
{
    // The row is the one selected when the operator acted: what the window shows meanwhile
    // does not change which job the answer is about.
    const std::optional<JobRowValues> row = actions::selectedRow(*this);
    const QString jobName = row ? row->ID : QString();
    const QString queue = actions::queueName(*this);
    if (!ServerContainer || !CurrentQueue) {
        then({}); // no queue to read: no job answers to the row
        return 0;
    }
    auto matched = std::make_shared<QList<PrintJobInfo>>();
    return m_printWorker->post(
        [matched, queue, jobName, act](PrintServer* server, const QString&) {
            QList<PrintJobInfo> jobs;
            if (!server || !server->queueJobs(queue, jobs)) {
                return;
            }
            // Every job whose name is the row's ID: the walk never stops at the first.
            for (const PrintJobInfo& job : std::as_const(jobs)) {
                if (!jobName.isEmpty() && job.queueJobName() == jobName) {
                    if (act) {
                        act(*server, queue, job.JobId);
                    }
                    matched->append(job);
                }
            }
        },
        [matched, then] { then(*matched); });
}

void FrmMain::recordRelease(const JobRowValues& row, const QString& server, const QString& queue,
                            const QString& jobName, bool first)
{
    // One audit record per release; a row whose job has left the queue records nothing.
    if (first) {
        writeAudit(QStringLiteral("Job"), QStringLiteral("Resume Job"));
    }
    actions::writeJobLogFields(*this, transactionIdOf(row),
                               jobLogFields(JobLogKind::Release, row, server, queue, m_ctx.clock.now(),
                                            m_ctx.environment.userName(), m_ctx.environment.computerName()));
    actions::countPrintedPages(*this, row.Pages);
    LastReleasedJob = jobName;
}

Task<void> FrmMain::MenuResumeJob_Click()
{
    // Two requests on the print worker, each finished when its answer comes, in the order
    // the release has always had: the jobs are read, the release is recorded, then the
    // jobs are released. A search made before the reading's answer releases nothing. A
    // second release while one is waited for would record and release the job again.
    const QString action = QStringLiteral("Resume Job");
    if (jobActionWaiting(action)) {
        co_return;
    }
    actions::showStatus(*this, ActionText::ResumeJob);
    const std::optional<JobRowValues> row = actions::selectedRow(*this);
    const QString shownQueue = queueBoxText();
    const QString boundServer = m_boundServer;
    CurrentQueue = co_await GetPrintQueue();
    const QString queue = actions::queueName(*this);
    const bool autoQueue = value(chkAutoQueue) == 1;
    const quint64 reading = actOnSelectedJob(
        {}, [this, action, row, boundServer, shownQueue, queue, autoQueue](const QList<PrintJobInfo>& jobs) {
            QList<qint64> ids;
            for (qsizetype i = 0; row && i < jobs.size(); ++i) {
                recordRelease(*row, boundServer, shownQueue, jobs.at(i).queueJobName(), i == 0);
                ids.append(jobs.at(i).JobId);
            }
            if (ids.isEmpty()) {
                yieldToEvents();
                return;
            }
            m_jobActionRequests[action] = m_printWorker->post(
                [ids, queue, autoQueue](PrintServer* server, const QString&) {
                    if (!server) {
                        return;
                    }
                    for (qint64 id : ids) {
                        server->resumeJob(queue, id);
                    }
                    // AutoQueue holds the queue paused: resuming it lets the released job print.
                    if (autoQueue) {
                        server->resumeQueue(queue);
                    }
                },
                [this, autoQueue] {
                    if (autoQueue) {
                        detach(CurrentPrintQueue_Click());
                        if (m_unloaded) {
                            return;
                        }
                        actions::restartPollTimer(*this, m_settings.PollAQactive);
                    }
                    yieldToEvents();
                });
        });
    m_jobActionRequests[action] = reading;
}

Task<bool> FrmMain::releaseSelectedJob()
{
    const std::optional<JobRowValues> row = actions::selectedRow(*this);
    const ActionScope scope = co_await actionScope();
    CurrentQueue = scope.queue;
    if (!row) {
        actions::showStatus(*this, ActionText::ResumeJob);
        yieldToEvents();
        co_return false;
    }
    const bool released = co_await releaseJobRow(*row, scope);
    co_return released;
}

Task<bool> FrmMain::releaseJobRow(JobRowValues row, ActionScope scope)
{
    actions::showStatus(*this, ActionText::ResumeJob);

    const QString queue = scope.queueName();
    bool released = false;
    const QList<PrintJobInfo> jobs = co_await scopeJobs(scope);
    if (m_unloaded) {
        co_return false;
    }
    for (const PrintJobInfo& job : jobs) {
        if (job.queueJobName() != row.ID) {
            continue;
        }
        recordRelease(row, scope.server, scope.shownQueue, job.queueJobName(), !released);
        released = true;
        co_await scope.container->resumeJob(queue, job.JobId);
        yieldToEvents();
    }

    // AutoQueue holds the queue paused: resuming it lets the released job print, and the
    // fast interval lets the polling loop hold the queue again as soon as the job is gone.
    // A row that no longer stands for a job of the queue (the list not yet refreshed)
    // releases nothing, so the queue stays held and the polling keeps its pace.
    if (released && value(chkAutoQueue) == 1) {
        if (scope.container && scope.queue) {
            co_await scope.container->resumeQueue(queue);
        }
        co_await CurrentPrintQueue_Click();
        actions::restartPollTimer(*this, m_settings.PollAQactive);
    }
    yieldToEvents();
    co_return released;
}

Task<void> FrmMain::MenuPauseJob_Click()
{
    const QString action = QStringLiteral("Pause Job");
    if (jobActionWaiting(action)) {
        co_return;
    }
    actions::showStatus(*this, ActionText::PauseJob);
    writeAudit(QStringLiteral("Job"), QStringLiteral("Pause Job"));

    CurrentQueue = co_await GetPrintQueue();
    m_jobActionRequests[action] =
        actOnSelectedJob([](PrintServer& server, const QString& queue, qint64 id) { server.pauseJob(queue, id); },
                         [this](const QList<PrintJobInfo>&) {
                             detach(CurrentPrintQueue_Click());
                             if (!m_unloaded) {
                                 yieldToEvents();
                             }
                         });
}

Task<void> FrmMain::MenuRemove_Click()
{
    // A second removal while one is waited for would record the job's deletion again.
    const QString action = QStringLiteral("Remove Job");
    if (jobActionWaiting(action)) {
        co_return;
    }
    Timer2.stop();
    // Without a selected row there is nothing to ask about; the timer still runs again.
    const std::optional<JobRowValues> asked = actions::selectedRow(*this);
    if (!asked) {
        Timer2.start();
        co_return;
    }
    const auto finish = [this] {
        detach(CurrentPrintQueue_Click());
        if (m_unloaded) {
            return;
        }
        yieldToEvents();
        Timer2.start();
    };
    const int answer = m_ctx.dialogs.msgBox(deleteQuestion(*asked), 20, QString(ActionText::Warning));
    if (answer != MsgBoxResult::Yes) {
        finish();
        co_return;
    }
    actions::showStatus(*this, ActionText::RemoveJob);
    writeAudit(QStringLiteral("Job"), QStringLiteral("Remove Job"));
    // The row, server and queue are the ones the operator was asked about.
    const std::optional<JobRowValues> row = actions::selectedRow(*this);
    const QString boundServer = m_boundServer;
    const QString shownQueue = queueBoxText();
    CurrentQueue = co_await GetPrintQueue();
    if (row) {
        actions::writeJobLogFields(*this, transactionIdOf(*row),
                                   jobLogFields(JobLogKind::Delete, *row, boundServer, shownQueue, m_ctx.clock.now(),
                                                m_ctx.environment.userName(), m_ctx.environment.computerName()));
        actions::countDeletedPages(*this, row->Pages);
        bool isNumber = false;
        const qint64 id = row->ID.toLongLong(&isNumber);
        if (isNumber && ServerContainer && CurrentQueue) {
            // The removal runs on the print worker; the refresh follows its answer.
            const QString queue = actions::queueName(*this);
            m_jobActionRequests[action] = m_printWorker->post(
                [queue, id](PrintServer* server, const QString&) {
                    if (server) {
                        server->removeJob(queue, id);
                    }
                },
                [this, finish] {
                    yieldToEvents();
                    if (!m_unloaded) {
                        finish();
                    }
                });
            co_return;
        }
    }
    yieldToEvents();
    finish();
}

Task<void> FrmMain::MenuPriority_Click()
{
    const QString answer =
        m_ctx.dialogs.inputBox(QString(ActionText::PriorityPrompt), productName(), QString()).trimmed();
    if (answer.isEmpty()) {
        co_return;
    }
    actions::showStatus(*this, ActionText::ChangePriority);
    writeAudit(QStringLiteral("Job"), QStringLiteral("Change Priority"));

    CurrentQueue = co_await GetPrintQueue();
    const std::optional<qint64> priority = priorityFromAnswer(answer);
    actOnSelectedJob(
        [priority](PrintServer& server, const QString& queue, qint64 id) {
            if (priority) {
                server.setJobPriority(queue, id, *priority);
            }
        },
        [this](const QList<PrintJobInfo>&) { yieldToEvents(); });
}

Task<void> FrmMain::mnuLogComment_Click()
{
    // The answer is stored as typed: blanks alone are a comment, an empty answer is none.
    const QString answer =
        m_ctx.dialogs.inputBox(QString(ActionText::CommentPrompt), QString(ActionText::CommentTitle), QString());
    if (answer.isEmpty()) {
        co_return;
    }
    CurrentQueue = co_await GetPrintQueue();
    const std::optional<JobRowValues> row = actions::selectedRow(*this);
    actOnSelectedJob({}, [this, row, answer](const QList<PrintJobInfo>& jobs) {
        for (qsizetype i = 0; row && i < jobs.size(); ++i) {
            const QString key = transactionIdOf(*row);
            jobLog().LogJobField(key, QStringLiteral("Comments"), answer);
            jobLog().LogJobField(key, QStringLiteral("HLV Computer"), m_ctx.environment.computerName());
            jobLog().LogJobField(key, QStringLiteral("HLV User"), m_ctx.environment.userName());
        }
        yieldToEvents();
    });
}

void FrmMain::showQuickAction()
{
    // One popup at a time: a second double click brings the open one forward, which lays
    // it out and reads the selected job again.
    if (auto* open = findChild<frmAction*>(); open && open->isVisible()) {
        open->raise();
        open->activateWindow();
        open->Form_Activate();
        return;
    }
    auto* popup = new frmAction(*this, this);
    popup->show();
}

void FrmMain::mnuJobProperties_Click()
{
    // The entry stays hidden and disabled: the print systems offer no job properties page.
}

} // namespace hlv
