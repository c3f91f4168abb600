// Choosing a queue and bringing the whole view in line with it.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

#include "console/access/PrintWorker.h"
#include "console/ui/ConsoleContext.h"
#include "console/ui/ControlWidgets.h"
#include "console/ui/FrmMain.h"
#include "console/ui/JobListWidget.h"
#include "console/ui/QueueAutomation.h"
#include "console/ui/QueueStatusColour.h"
#include "console/ui/VbColour.h"
#include "platform/Dialogs.h"
#include "platform/print/StatusText.h"

namespace hlv {

Task<std::optional<PrinterInfo>> FrmMain::GetPrintQueue()
{
    const ActionScope scope = co_await actionScope();
    co_return scope.queue;
}

Task<FrmMain::ActionScope> FrmMain::actionScope()
{
    ActionScope scope{m_boundServer, queueBoxText(), ServerContainer, std::nullopt};
    if (scope.shownQueue.isEmpty() || !scope.container) {
        co_return scope;
    }
    // The queue object is the one the server's last reading listed: getting it asks the
    // server nothing, as binding a queue of the container does. Only a queue no reading
    // has listed yet is looked for on the server.
    const auto known = m_knownQueues.constFind(scope.shownQueue);
    if (known != m_knownQueues.constEnd()) {
        scope.queue = *known;
        co_return scope;
    }
    QList<PrinterInfo> printers;
    const PrintResult listed = co_await scope.container->printers(printers);
    if (!listed) {
        co_return scope;
    }
    for (const PrinterInfo& printer : std::as_const(printers)) {
        if (printer.queueName() == scope.shownQueue) {
            scope.queue = printer;
            break;
        }
    }
    co_return scope;
}

Task<QList<PrintJobInfo>> FrmMain::scopeJobs(ActionScope scope)
{
    QList<PrintJobInfo> jobs;
    if (!scope.queue || !scope.container) {
        co_return jobs;
    }
    const PrintResult read = co_await scope.container->queueJobs(scope.queueName(), jobs);
    if (!read) {
        jobs.clear();
    }
    co_return jobs;
}

void FrmMain::rememberQueue(const QString& queue, const std::optional<PrinterInfo>& printer)
{
    if (printer) {
        m_knownQueues.insert(queue, *printer);
    } else {
        m_knownQueues.remove(queue);
    }
}

Task<void> FrmMain::selectQueueEntry(int index)
{
    {
        const QSignalBlocker blocker(CurrentPrintQueue);
        CurrentPrintQueue->setCurrentIndex(index);
    }
    co_await CurrentPrintQueue_Click();
}

Task<void> FrmMain::setQueueBoxText(QString text)
{
    const int index = CurrentPrintQueue->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0) {
        co_await selectQueueEntry(index);
    } else {
        const QSignalBlocker blocker(CurrentPrintQueue);
        CurrentPrintQueue->setCurrentIndex(-1);
    }
}

void FrmMain::applyPrintStatusColour(const QString& status)
{
    const QueueStatusColour choice = queueStatusColour(status);
    // The colour goes on word by word: when "Error" occurs the message comes at that word,
    // with the colour as far as the words before it and "Error" have set it.
    if (choice.colour) {
        setPrintStatusBackColour(*choice.colour);
    }
    // One error episode of a queue lasts until a refresh finds the queue without "Error".
    const QString queueKey = m_boundServer + QLatin1Char('\n') + ActiveQueue;
    if (!choice.error && !ResumeAllPending && m_printerErrorShownFor == queueKey) {
        m_printerErrorShownFor.clear();
    }
    if (choice.error && onUnlessFalse(m_settings.ShowErrors)) {
        const QString text = QStringLiteral("An Error has been reported!") + QStringLiteral("\r\n") +
                             QStringLiteral("Please check the printer: ") + serverBoxText() + QStringLiteral("\r\n") +
                             QStringLiteral("Location: ") + txtLocation->text();
        if (m_printWorker->unattended()) {
            // A polling tick goes on while the box is up (AutoQueue, AutoRelease and
            // Exceptions included), and tells of each episode once.
            if (m_printerErrorShownFor != queueKey) {
                m_printerErrorShownFor = queueKey;
                m_ctx.dialogs.showMessage(text, 16, productName());
            }
        } else {
            m_printerErrorShownFor = queueKey;
            m_ctx.dialogs.msgBox(text, 16, productName());
        }
    }
}

Task<void> FrmMain::CurrentPrintQueue_Click()
{
    if (activeUpdateColour() == VbColours::Green) {
        setActiveUpdateColour(VbColours::Orange);
    }

    const QString selected = queueBoxText();
    if (selected != ActiveQueue) {
        writeAudit(QStringLiteral("Queue"),
                   QStringLiteral("Queue changed to ") + serverBoxText() + QLatin1Char('-') + queueBoxText());
        if (serverBoxText() != ActiveServer) {
            // A server name typed but not searched: reload both lists from it.
            co_await RefreshJobList(serverBoxText(), QString());
        } else {
            FilterQueueJobs(queueBoxText());
        }
    }

    // AutoQueue belongs to one queue: moving to another switches it off, unless a Resume
    // All still runs, which keeps the boxes on its queue.
    if (value(chkAutoQueue) == 1 && selected != ActiveQueue && !ActiveQueue.isEmpty()) {
        if (ResumeAllPending) {
            CurrentPrinter->setEditText(ActiveServer);
            {
                const int index = CurrentPrintQueue->findText(ActiveQueue, Qt::MatchExactly | Qt::MatchCaseSensitive);
                const QSignalBlocker blocker(CurrentPrintQueue);
                CurrentPrintQueue->setCurrentIndex(index);
            }
            m_ctx.dialogs.msgBox(ActiveQueue + QStringLiteral(" is currently resuming print jobs. Please wait until "
                                                              "all jobs are printed!"),
                                 48, ActiveQueue + QStringLiteral(" Resume All"));
        } else {
            Timer2.stop();
            setValue(chkAutoQueue, 0);
        }
    }

    if (queueBoxText().isEmpty()) {
        menuJobs->setEnabled(false);
        menuPrinter->setEnabled(false);
        cmdPrintProperty->setEnabled(false);
        cmdTestPage->setEnabled(false);
        imgPause->setVisible(false);
        imgPlay->setVisible(false);
        co_return;
    }
    menuJobs->setEnabled(true);
    menuPrinter->setEnabled(true);
    cmdPrintProperty->setEnabled(true);
    cmdTestPage->setEnabled(true);
    ActiveQueue = queueBoxText();
    m_startupQueue.reset(); // a queue chosen is the one to save from now on

    // The queue is read on the print worker while the window's events run (the refresh's
    // one yield). Under AutoQueue the same call holds the queue's jobs: every job not
    // paused but those released and still to print, and the one printing.
    struct Reading
    {
        std::optional<PrinterInfo> queue;
        std::optional<QStringList> released;
    };
    auto reading = std::make_shared<Reading>();
    const QString queue = ActiveQueue;
    const bool holdJobs = value(chkAutoQueue) == 1;
    const QString lastReleased = LastReleasedJob;
    const QStringList released = m_releasedJobs;
    const quint64 search = m_searchGeneration;
    bool answered = false;
    auto read = [=](PrintServer* server, const QString&) {
        QList<PrinterInfo> printers;
        if (!server || !server->printers(printers)) {
            return;
        }
        for (const PrinterInfo& printer : std::as_const(printers)) {
            if (printer.queueName() == queue) {
                reading->queue = printer;
                break;
            }
        }
        QList<PrintJobInfo> jobs;
        if (reading->queue && holdJobs && server->queueJobs(queue, jobs)) {
            reading->released = releasedStillListed(released, lastReleased, jobs);
            for (const PrintJobInfo& job : std::as_const(jobs)) {
                if (holdOnRefresh(job, *reading->released)) {
                    server->pauseJob(queue, job.JobId);
                }
            }
        }
    };
    if (ServerContainer) {
        answered = co_await m_printWorker->ask(std::move(read));
    } else {
        yieldToEvents();
    }
    if (m_unloaded || search != m_searchGeneration || ActiveQueue != queue) {
        co_return; // a search or another choice came while the queue was read: theirs stands
    }
    CurrentQueue = answered ? reading->queue : std::nullopt;
    rememberQueue(queue, CurrentQueue);
    if (answered && reading->released) { // a dropped reading's lane may still write it
        m_releasedJobs = *reading->released;
    }

    if (CurrentQueue) {
        txtDescription->setText(CurrentQueue->Description());
        txtPrintPath->setText(CurrentQueue->PrinterPath);
        txtLocation->setText(CurrentQueue->Location);
        txtModel->setText(CurrentQueue->Model());
    }

    if (!ResumeAllPending) {
        if (CurrentQueue) {
            txtPrintStatus->setText(GetPrinterStatusText(static_cast<qint64>(CurrentQueue->Status)));
            setStatusPanelText(4, txtPrintStatus->text());
        }
    } else {
        txtPrintStatus->setText(QStringLiteral("Resuming All Jobs"));
    }
    if (value(chkAutoQueue) >= 1) {
        setStatusPanelText(4, QStringLiteral("AQ:") + txtPrintStatus->text());
    }

    applyPrintStatusColour(txtPrintStatus->text());

    switch (queueImageFor(printStatusBackColour())) {
    case QueueImage::Play:
        imgPlay->setVisible(true);
        imgPause->setVisible(false);
        break;
    case QueueImage::Pause:
        imgPlay->setVisible(false);
        imgPause->setVisible(true);
        break;
    case QueueImage::Unchanged:
        break;
    }
    const bool imagesEnabled = value(chkAutoQueue) < 1;
    imgPlay->setEnabled(imagesEnabled);
    imgPause->setEnabled(imagesEnabled);

    if (CurrentPrintQueue->count() == 0) {
        Timer2.stop();
        setValue(chkAutoQueue, 0);
        setValue(chkTimed, 0);
        setValue(chkAA, 0);
        setActiveUpdateColour(VbColours::Green);
        co_return;
    }

    // The AutoQueue pass over the queue's jobs ran with the reading above.

    if (m_unloaded) {
        co_return; // closed while a box was up: nothing is armed again
    }
    Timer2.start();
    setWindowTitle(ActiveQueue + QStringLiteral(" on ") + serverBoxText() + QStringLiteral(" - Halvern"));
    setActiveUpdateColour(VbColours::Green);
}

} // namespace hlv
