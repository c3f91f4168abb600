// AutoQueue, AutoRelease and AutoActivate switches, the timed release with the timed
// activation of favourites, and the release of jobs of listed users (Exceptions).
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

#include "console/ui/AutoRelease.h"
#include "console/ui/ConsoleContext.h"
#include "console/ui/FrmMain.h"
#include "console/ui/FrmMain_ActionSupport.h"
#include "console/ui/JobListWidget.h"
#include "console/ui/QueueAutomation.h"
#include "console/ui/VbColour.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"

namespace hlv {

namespace {

void paintCheckBox(QCheckBox* box, bool checked)
{
    box->setAutoFillBackground(true);
    QPalette p = box->palette();
    p.setColor(QPalette::Window, vbColour(checked ? AutomationColour::CheckedBack : AutomationColour::UncheckedBack));
    p.setColor(QPalette::WindowText,
               vbColour(checked ? AutomationColour::CheckedFore : AutomationColour::UncheckedFore));
    box->setPalette(p);
}

} // namespace

void FrmMain::chkAutoQueue_Click()
{
    if (value(chkAutoQueue) == 0) {
        paintCheckBox(chkAutoQueue, false);
        setValue(chkTimed, 0);
        setValue(chkAA, 0);
        actions::showStatus(*this, ActionText::DisableAutoQueue);
        writeAudit(QStringLiteral("AutoQueue"), QStringLiteral("Disable AutoQueue - ") + queueBoxText());
        CurrentQueue = GetPrintQueue();
        MenuPause->setEnabled(true);
        MenuResume->setEnabled(true);
        actions::restartPollTimer(*this, m_settings.PollNorm);
        chkTimed->setEnabled(false);
        txtTimed->setEnabled(false);
        optTimed[0]->setEnabled(false);
        optTimed[1]->setEnabled(false);
        // The queue stays paused until the operator resumes it.
        return;
    }

    paintCheckBox(chkAutoQueue, true);
    actions::showStatus(*this, ActionText::EnableAutoQueue);
    writeAudit(QStringLiteral("AutoQueue"), QStringLiteral("Enable AutoQueue - ") + queueBoxText());
    CurrentQueue = GetPrintQueue();
    const QString queue = actions::queueName(*this);
    if (ServerContainer && CurrentQueue) {
        ServerContainer->pauseQueue(queue);
    }
    MenuPause->setEnabled(false);
    MenuResume->setEnabled(false);
    actions::restartPollTimer(*this, m_settings.PollAQ);
    chkTimed->setEnabled(true);
    for (const PrintJobInfo& job : actions::queueJobs(*this)) {
        if (value(chkAutoQueue) == 1) {
            ServerContainer->pauseJob(queue, job.JobId);
        }
    }
}

void FrmMain::chkTimed_Click()
{
    if (value(chkTimed) == 0) {
        paintCheckBox(chkTimed, false);
        optTimed[0]->setEnabled(false);
        actions::showStatus(*this, ActionText::DisableAutoRelease);
        writeAudit(QStringLiteral("AutoRelease"), QStringLiteral("Disable AutoRelease - ") + queueBoxText());
        optTimed[1]->setEnabled(false);
        txtTimed->setEnabled(false);
        chkAA->setEnabled(false);
        return;
    }
    paintCheckBox(chkTimed, true);
    actions::showStatus(*this, ActionText::EnableAutoRelease);
    writeAudit(QStringLiteral("AutoRelease"), QStringLiteral("Enable AutoRelease - ") + queueBoxText());
    optTimed[0]->setEnabled(true);
    optTimed[1]->setEnabled(true);
    txtTimed->setEnabled(true);
    chkAA->setEnabled(true);
}

void FrmMain::chkAA_Click()
{
    paintCheckBox(chkAA, value(chkAA) == 1);
}

void FrmMain::chkTimedRelease()
{
    // A failure switches AutoRelease and AutoActivate off (with their own status text and
    // audit record) and tells the operator; the polling tick goes on.
    const auto fail = [this](QLatin1String message) {
        setValue(chkTimed, 0);
        setValue(chkAA, 0);
        m_ctx.dialogs.msgBox(QString(message), 48, productName());
    };

    const QDateTime clock = m_ctx.clock.now();
    if (!clock.isValid()) {
        fail(ActionText::CheckTimeError);
        return;
    }
    const QTime now = clock.time();

    const TimedReleaseState state{value(chkTimed) == 1, chkTimed->isEnabled(), optTimed[0]->isChecked(),
                                  optTimed[1]->isChecked(), txtTimed->text()};
    const std::optional<TimedAction> due = timedActionDue(state, now);
    if (!due) {
        fail(ActionText::PrintPurgeError);
        return;
    }
    if (*due == TimedAction::ResumeAll) {
        mnuresumealljobs_Click();
        actions::showStatus(*this, ActionText::ResumeAllJobs);
        writeAudit(QStringLiteral("AutoRelease"), QStringLiteral("Resume All Jobs - ") + queueBoxText());
    } else if (*due == TimedAction::Purge) {
        PurgeAllJobs(true);
        actions::showStatus(*this, ActionText::PurgeAllJobs);
        writeAudit(QStringLiteral("AutoRelease"), QStringLiteral("Purge All Jobs - ") + queueBoxText());
    }

    // Timed favourites: the first checked entry whose time is now loads itself. Nothing
    // records that it ran, so it loads again on every tick of that minute.
    QList<FavouriteSlot> entries;
    for (const QAction* entry : mnuFav) {
        entries.append(entry ? FavouriteSlot{entry->isEnabled(), entry->isVisible(), entry->isChecked(), entry->text()}
                             : FavouriteSlot{});
    }
    const std::optional<int> favourite = dueFavourite(entries, now);
    if (!favourite) {
        fail(ActionText::PrintPurgeError);
        return;
    }
    if (*favourite >= 0) {
        mnuFav_Click(*favourite);
    }
}

void FrmMain::ResumeExceptions()
{
    const QString exceptions = m_settings.Exceptions;
    if (JobList->rowCount() == 0 || exceptions.isEmpty()) {
        return;
    }
    int match = -1;
    for (int i = 0; i < JobList->rowCount(); ++i) {
        // A job released under AutoQueue is still printing: the next one waits.
        if (releaseInFlight(Timer2.interval(), m_settings.PollAQactive)) {
            return;
        }
        if (userMatchesExceptions(actions::rowValues(JobList->row(i)).User, exceptions)) {
            match = i;
            break;
        }
    }
    if (match < 0) {
        return;
    }
    JobList->selectRow(match);
    if (rowReleasableForExceptions(JobList->row(match).text)) {
        MenuResumeJob_Click();
    }
}

} // namespace hlv
