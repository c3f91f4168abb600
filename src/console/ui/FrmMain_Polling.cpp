// The display timer (labels, status bar and enabled states, every 100 ms) and the polling
// loop (Timer2): re-read the queue, carry AutoQueue, run the timed work, continue a Resume
// All or release one job of a listed user, and choose the next interval.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

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

    CurrentQueue = GetPrintQueue();

    // The job the operator released under AutoQueue is in flight while it is still listed,
    // not paused, and the queue runs.
    bool inFlight = false;
    if (CurrentQueue) {
        const quint32 queueStatus = CurrentQueue->Status;
        for (const PrintJobInfo& job : actions::queueJobs(*this)) {
            if (isJobInFlight(
                    {value(chkAutoQueue) == 1, queueStatus, LastReleasedJob, job.queueJobName(), job.Status()})) {
                inFlight = true;
                break;
            }
        }
    }

    if (inFlight) {
        if (JobList->rowCount() >= 1) {
            actions::showStatus(*this, ActionText::ResumePrintJob);
        }
        CurrentPrintQueue_Click();
        setActiveUpdateColour(VbColours::Red);
        if (value(chkAutoQueue) == 1) {
            actions::setPollInterval(*this, m_settings.PollAQactive);
        }
    } else {
        if (value(chkAutoQueue) == 1) {
            if (ServerContainer && CurrentQueue) {
                ServerContainer->pauseQueue(actions::queueName(*this));
            }
            actions::setPollInterval(*this, m_settings.PollAQ);
        } else {
            actions::setPollInterval(*this, m_settings.PollNorm);
        }
        CurrentPrintQueue_Click();
        chkTimedRelease();
        if (ResumeAllPending) {
            mnuresumealljobs_Click();
        }
        if (!ResumeAllPending) {
            ResumeExceptions();
        }
        setActiveUpdateColour(VbColours::Green);
    }

    // The next tick comes one interval after the end of this one, with whatever interval
    // the procedures called above have left.
    Timer2.start();
    m_pollTickRunning = false;
}

} // namespace hlv
