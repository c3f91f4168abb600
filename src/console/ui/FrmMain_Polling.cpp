// The display timer (labels, status bar and enabled states, every 100 ms) and the polling
// loop (Timer2): re-read the queue, carry AutoQueue, run the timed work, continue a Resume
// All or release one job of a listed user, and choose the next interval.
#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include "console/access/PrintWorker.h"
#include "console/ui/ConsoleContext.h"
#include "console/ui/ControlWidgets.h"
#include "console/ui/FrmMain.h"
#include "console/ui/FrmMain_ActionSupport.h"
#include "console/ui/JobListWidget.h"
#include "console/ui/QueueAutomation.h"
#include "console/ui/VbColour.h"

namespace hlv {

void FrmMain::Timer1_Timer()
{
    const int rows = JobList->rowCount();
    LabelPrintQueues->setText(QString::number(CurrentPrintQueue->count()) + QStringLiteral(" Available Queues"));
    LabelPrintJobs->setText(QStringLiteral("Queued Print Jobs: ") + QString::number(rows));
    if (txtPrintPath->text().isEmpty()) {
        setStatusPanelText(2, QString());
        setStatusPanelText(3, QString());
    } else {
        setStatusPanelText(2, ActiveQueue + QStringLiteral(" on ") + serverBoxText());
        setStatusPanelText(3, QStringLiteral("Jobs: ") + QString::number(rows));
    }
    FindPrintQueues->setEnabled(!serverBoxText().isEmpty());
    if (queueBoxText().isEmpty()) {
        chkAutoQueue->setEnabled(false);
        txtDescription->clear();
        txtLocation->clear();
        txtPrintPath->clear();
        txtModel->clear();
        txtPrintStatus->clear();
        setStatusPanelText(4, QString());
        setPrintStatusBackColour(VbColours::White);
    } else {
        chkAutoQueue->setEnabled(true);
    }
}

// What a polling tick reads of the queue, on the print worker.
struct FrmMain::PollReading
{
    bool answered = false; // the server listed its printers
    QString error;
    std::optional<PrinterInfo> queue;
    QList<PrintJobInfo> jobs;
};

namespace {

// A server that does not answer is tried again after the normal interval, then after twice
// as long each time, up to this.
constexpr int kLostRetryCapMs = 60000;

} // namespace

void FrmMain::Timer2_Timer()
{
    if (m_pollTickRunning) {
        return;
    }
    setActiveUpdateColour(VbColours::Orange);
    if (queueBoxText().isEmpty()) {
        return;
    }
    m_pollTickRunning = true;
    Timer2.stop();

    // The queue and its jobs are read on the print worker; the tick goes on when they come
    // back. Timer2 stays stopped until then, so no second reading starts while one is out,
    // however long the server takes.
    const QString queue = queueBoxText();
    const quint64 search = m_searchGeneration;
    auto reading = std::make_shared<PollReading>();
    m_pollReadingPending = true;
    m_printWorker->post(
        [reading, queue](PrintServer* server, const QString& connectError) {
            if (!server) {
                reading->error = connectError;
                return;
            }
            QList<PrinterInfo> printers;
            const PrintResult listed = server->printers(printers);
            if (!listed) {
                reading->error = listed.error;
                PrintWorker::connectionLost();
                return;
            }
            reading->answered = true;
            for (const PrinterInfo& printer : std::as_const(printers)) {
                if (printer.queueName() == queue) {
                    reading->queue = printer;
                    break;
                }
            }
            if (reading->queue) {
                server->queueJobs(queue, reading->jobs);
            }
        },
        // The id this post is given, known before the post.
        [this, reading, search, queue, id = m_printWorker->lastPosted() + 1] {
            detach(pollTickAnswered(*reading, search, queue, id));
        },
        false);
}

void FrmMain::showServerLost(const QString& error)
{
    m_serverLost = true;
    // As a failed bind shows it: the lamp stays blue, and the server reads as disconnected.
    setActiveUpdateColour(0xFF0000);
    SearchStatus->setText(QStringLiteral("Disconnected ") + nowText());
    ServerStatus->setText(QStringLiteral("Disconnected ") + nowText());
    if (m_lostTries == 0 && !error.isEmpty()) {
        setStatusPanelText(1, error);
    }
    bool ok = false;
    const int normal = m_settings.PollNorm.trimmed().toInt(&ok);
    qint64 delay = ok && normal > 0 ? normal : 10000;
    for (int i = 0; i < m_lostTries && delay < kLostRetryCapMs; ++i) {
        delay *= 2;
    }
    ++m_lostTries;
    Timer2.setInterval(static_cast<int>(std::min<qint64>(delay, kLostRetryCapMs)));
}

Task<void> FrmMain::pollTickAnswered(PollReading reading, quint64 search, QString queue, quint64 readingId)
{
    m_pollReadingPending = false;
    if (!m_unloaded && readingId != m_printWorker->lastPosted() && search == m_searchGeneration &&
        queue == queueBoxText()) {
        // Something was asked of the server while the reading was out (an operator's release,
        // say): the reading may show what that has changed already. The tick reads again.
        m_pollTickRunning = false;
        Timer2_Timer();
        co_return;
    }
    // Nothing the tick sets off has an operator waiting for it (timed release, a favourite's
    // own activation): a server that wants a password refuses it rather than ask.
    const PrintWorker::UnattendedScope unattended(*m_printWorker);
    if (m_unloaded || search != m_searchGeneration || queue != queueBoxText()) {
        // The window moved on while the reading was out (a search, another queue, the
        // close): the reading is of no use, and whoever moved on runs the loop now.
        m_pollTickRunning = false;
        co_return;
    }
    if (!reading.answered) {
        showServerLost(reading.error);
        Timer2.start();
        m_pollTickRunning = false;
        co_return;
    }
    if (m_serverLost) {
        // Back: its jobs are listed again, the changes made while it was away included.
        m_serverLost = false;
        m_lostTries = 0;
        co_await RefreshJobList(m_boundServer, QString());
        if (m_unloaded || search != m_searchGeneration) {
            m_pollTickRunning = false;
            co_return;
        }
    }

    CurrentQueue = reading.queue;
    rememberQueue(queue, CurrentQueue);

    // The job the operator released under AutoQueue is in flight while it is still listed,
    // not paused, and the queue runs.
    bool inFlight = false;
    if (CurrentQueue) {
        const bool canPrint = CurrentQueue->canPrint();
        for (const PrintJobInfo& job : reading.jobs) {
            if (isJobInFlight(
                    {value(chkAutoQueue) == 1, canPrint, LastReleasedJob, job.queueJobName(), job.Status()})) {
                inFlight = true;
                break;
            }
        }
    }

    if (inFlight) {
        if (JobList->rowCount() >= 1) {
            actions::showStatus(*this, ActionText::ResumePrintJob);
        }
        co_await CurrentPrintQueue_Click();
        setActiveUpdateColour(VbColours::Red);
        if (value(chkAutoQueue) == 1) {
            actions::setPollInterval(*this, m_settings.PollAQactive);
        }
    } else {
        if (value(chkAutoQueue) == 1) {
            // The queue is held again before the refresh reads it; nothing waits for it. Not
            // while a job released earlier still waits for its printer (in trouble, or busy
            // with another released job): held, the queue would never print it.
            m_releasedJobs = releasedStillListed(m_releasedJobs, LastReleasedJob, reading.jobs);
            if (CurrentQueue && !releasedJobWaits(reading.jobs, m_releasedJobs)) {
                const QString name = actions::queueName(*this);
                m_printWorker->post(
                    [name](PrintServer* server, const QString&) {
                        if (server) {
                            server->holdQueue(name);
                        }
                    },
                    {}, false);
            }
            actions::setPollInterval(*this, m_settings.PollAQ);
        } else {
            actions::setPollInterval(*this, m_settings.PollNorm);
        }
        co_await CurrentPrintQueue_Click();
        co_await chkTimedRelease();
        if (ResumeAllPending) {
            co_await mnuresumealljobs_Click();
        }
        if (!ResumeAllPending) {
            co_await ResumeExceptions();
        }
        setActiveUpdateColour(VbColours::Green);
    }

    // The next tick comes one interval after the end of this one, with whatever interval
    // the procedures called above have left.
    if (!m_unloaded) {
        Timer2.start();
    }
    m_pollTickRunning = false;
}

} // namespace hlv
