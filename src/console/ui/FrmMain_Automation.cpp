// AutoQueue, AutoRelease and AutoActivate switches, the timed release with the timed
// activation of favourites, and the release of jobs of listed users (Exceptions).
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

#include "console/access/PrintWorker.h"
#include "console/ui/AutoRelease.h"
#include "console/ui/ConsoleContext.h"
#include "console/ui/FavouriteCaption.h"
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

Task<void> FrmMain::chkAutoQueue_Click()
{
    if (value(chkAutoQueue) == 0) {
        paintCheckBox(chkAutoQueue, false);
        setValue(chkTimed, 0);
        setValue(chkAA, 0);
        actions::showStatus(*this, ActionText::DisableAutoQueue);
        writeAudit(QStringLiteral("AutoQueue"), QStringLiteral("Disable AutoQueue - ") + queueBoxText());
        CurrentQueue = co_await GetPrintQueue();
        if (m_unloaded) {
            co_return; // closed meanwhile: nothing is armed again
        }
        MenuPause->setEnabled(true);
        MenuResume->setEnabled(true);
        actions::restartPollTimer(*this, m_settings.PollNorm);
        chkTimed->setEnabled(false);
        txtTimed->setEnabled(false);
        optTimed[0]->setEnabled(false);
        optTimed[1]->setEnabled(false);
        // The queue stays paused until the operator resumes it.
        co_return;
    }

    paintCheckBox(chkAutoQueue, true);
    actions::showStatus(*this, ActionText::EnableAutoQueue);
    writeAudit(QStringLiteral("AutoQueue"), QStringLiteral("Enable AutoQueue - ") + queueBoxText());
    CurrentQueue = co_await GetPrintQueue();
    if (m_unloaded) {
        co_return;
    }
    const QString queue = actions::queueName(*this);
    // The queue and then every job of it are held in one call on the print worker, made
    // while the window's events run.
    const bool known = ServerContainer && CurrentQueue;
    if (known) {
        PrintWorker::Call call = [queue](PrintServer* server, const QString&) {
            if (server) {
                server->holdQueue(queue);
            }
        };
        co_await m_printWorker->ask(std::move(call));
        if (m_unloaded) {
            co_return;
        }
    }
    MenuPause->setEnabled(false);
    MenuResume->setEnabled(false);
    actions::restartPollTimer(*this, m_settings.PollAQ);
    chkTimed->setEnabled(true);
    if (known && value(chkAutoQueue) == 1) {
        PrintWorker::Call call = [queue](PrintServer* server, const QString&) {
            QList<PrintJobInfo> jobs;
            if (server && server->queueJobs(queue, jobs)) {
                for (const PrintJobInfo& job : std::as_const(jobs)) {
                    // A job printing prints to its end: a hold would stop it.
                    if (job.ownStatus.value_or(0) != JobStatus::Printing) {
                        server->pauseJob(queue, job.JobId);
                    }
                }
            }
        };
        co_await m_printWorker->ask(std::move(call));
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

Task<void> FrmMain::chkTimedRelease()
{
    // A failure switches AutoRelease and AutoActivate off (with their own status text and
    // audit record) and is reported in the status bar and the audit, once for each cause:
    // the polling tick goes on, and nobody may be there to answer a box.
    const auto fail = [this](QLatin1String message, const QString& cause) {
        setValue(chkTimed, 0);
        setValue(chkAA, 0);
        reportTimedReleaseFault(message, cause);
    };

    const QDateTime clock = m_ctx.clock.now();
    if (!clock.isValid()) {
        fail(ActionText::CheckTimeError, QString());
        co_return;
    }
    const QTime now = clock.time();
    // The minute the set times are compared at; each timed action runs once in it.
    const QDateTime minute(clock.date(), QTime(now.hour(), now.minute()));

    const TimedReleaseState state{value(chkTimed) == 1, chkTimed->isEnabled(), optTimed[0]->isChecked(),
                                  optTimed[1]->isChecked(), txtTimed->text()};
    const std::optional<TimedAction> due = timedActionDue(state, now);
    if (!due) {
        fail(ActionText::PrintPurgeError, txtTimed->text());
        co_return;
    }
    if (*due == TimedAction::ResumeAll) {
        co_await mnuresumealljobs_Click();
        actions::showStatus(*this, ActionText::ResumeAllJobs);
        writeAudit(QStringLiteral("AutoRelease"), QStringLiteral("Resume All Jobs - ") + queueBoxText());
    } else if (*due == TimedAction::Purge) {
        // Once in the set minute for each queue: a purge under AutoQueue makes the next
        // tick come at the fast interval, and every further purge would do so again. A
        // favourite loaded in the same minute purges its own queue all the same. Marks of
        // earlier minutes can never match again.
        m_timedPurgeMinutes.removeIf([&minute](const auto& mark) { return mark.value() != minute; });
        const QString queueKey = ActiveServer + QLatin1Char('\n') + queueBoxText();
        if (!m_timedPurgeMinutes.contains(queueKey)) {
            m_timedPurgeMinutes.insert(queueKey, minute);
            co_await PurgeAllJobs(true);
            actions::showStatus(*this, ActionText::PurgeAllJobs);
            writeAudit(QStringLiteral("AutoRelease"), QStringLiteral("Purge All Jobs - ") + queueBoxText());
        }
    }

    // Timed favourites: the first checked entry whose time is now loads itself, once in
    // that minute. An entry whose time is not a time fails only its own activation: it is
    // reported once and passed over, and the current queue's automation stays as it is.
    QList<FavouriteSlot> entries;
    for (const QAction* entry : mnuFav) {
        entries.append(entry ? FavouriteSlot{entry->isEnabled(), entry->isVisible(), entry->isChecked(), entry->text()}
                             : FavouriteSlot{});
    }
    QSet<QString> unreadable;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const FavouriteSlot& slot = entries.at(i);
        if (!takesPartInActivation(slot) || comparedTimeText(favouriteField(slot.caption, 5))) {
            continue;
        }
        const QString key = QString::number(i) + QLatin1Char('\n') + slot.caption;
        unreadable.insert(key);
        if (!m_unreadableFavourites.contains(key)) {
            setStatusPanelText(1, QString(ActionText::PrintPurgeError) + QLatin1Char(' ') + timeText());
            writeAudit(QStringLiteral("AutoRelease"),
                       QString(ActionText::PrintPurgeError) + QStringLiteral(" - ") + slot.caption);
        }
    }
    m_unreadableFavourites = unreadable;
    m_timedReleaseFault.clear();

    const int favourite = dueFavourite(entries, now);
    if (favourite >= 0 && !(m_activatedFavourite == favourite && m_activationMinute == minute)) {
        const bool activated = co_await activateFavourite(favourite);
        if (activated) {
            m_activatedFavourite = favourite;
            m_activationMinute = minute;
        }
    }
}

void FrmMain::reportTimedReleaseFault(QLatin1String message, const QString& cause)
{
    const QString fault = QString(message) + QLatin1Char('\n') + cause;
    if (fault == m_timedReleaseFault) {
        return;
    }
    m_timedReleaseFault = fault;
    setStatusPanelText(1, QString(message) + QLatin1Char(' ') + timeText());
    writeAudit(QStringLiteral("AutoRelease"),
               cause.isEmpty() ? QString(message) : QString(message) + QStringLiteral(" - ") + cause);
}

Task<void> FrmMain::ResumeExceptions()
{
    const QString exceptions = m_settings.Exceptions;
    if (JobList->rowCount() == 0 || exceptions.isEmpty()) {
        co_return;
    }
    // Jobs released here that have left the list are forgotten.
    QSet<QString> listed;
    for (int i = 0; i < JobList->rowCount(); ++i) {
        listed.insert(transactionIdOf(actions::rowValues(JobList->row(i))));
    }
    m_exceptionReleases.intersect(listed);

    int match = -1;
    for (int i = 0; i < JobList->rowCount(); ++i) {
        // A job released under AutoQueue is still printing: the next one waits.
        if (releaseInFlight(Timer2.interval(), m_settings.PollAQactive)) {
            co_return;
        }
        const JobRowValues row = actions::rowValues(JobList->row(i));
        // A job is released once: one that waits after its release (the queue held by
        // hand) is not released and counted again, and the next user's job gets its turn.
        if (m_exceptionReleases.contains(transactionIdOf(row))) {
            continue;
        }
        if (userMatchesExceptions(row.User, exceptions)) {
            match = i;
            break;
        }
    }
    if (match < 0) {
        co_return;
    }
    JobList->selectRow(match);
    if (rowReleasableForExceptions(JobList->row(match).text)) {
        const QString key = transactionIdOf(actions::rowValues(JobList->row(match)));
        const bool released = co_await releaseSelectedJob();
        if (released) {
            m_exceptionReleases.insert(key);
        }
    }
}

} // namespace hlv
