// Choosing and connecting a print server, the job reload, the network search and the
// server history file.
#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QStringDecoder>
#include <QVBoxLayout>

#include "console/access/PrintWorker.h"
#include "console/access/WMIPrint.h"
#include "console/ui/ConnectionBoxDialogs.h"
#include "console/ui/ConsoleContext.h"
#include "console/ui/ControlWidgets.h"
#include "console/ui/FrmComputers.h"
#include "console/ui/FrmMain.h"
#include "console/ui/JobListWidget.h"
#include "console/ui/WebBrowser.h"
#include "platform/AtomicFile.h"
#include "platform/Dialogs.h"

namespace hlv {

namespace {

QString resumeAllWarning(const QString& queue)
{
    return queue + QStringLiteral(" is currently resuming print jobs. Please wait until all jobs are printed!");
}

} // namespace

void FrmMain::ConnectServer(const QString& Server)
{
    // The bind itself is the print worker's first call for Server; a failed bind is the
    // server's own business: the search goes on with its next step.
    Q_UNUSED(Server);
    setActiveUpdateColour(0xFF0000);
    m_connectPending = true;
}

Task<bool> FrmMain::FindPrintQueues_Click()
{
    LabelPrintQueues->clear();
    if (ResumeAllPending) {
        CurrentPrinter->setEditText(ActiveServer);
        const QString queue = ActiveQueue;
        co_await setQueueBoxText(queue);
        m_ctx.dialogs.msgBox(resumeAllWarning(queue), 48, queue + QStringLiteral(" Resume All"));
        co_return false;
    }
    // One search at a time: this one supersedes any search (or reading) still waiting for
    // its server. The earlier one, when its wait ends, finds that it is no longer current and
    // leaves the window to this one.
    const quint64 search = ++m_searchGeneration;
    const auto superseded = [this, search] {
        return m_unloaded || search != m_searchGeneration;
    };

    Timer2.stop();
    setValue(chkAutoQueue, 0);
    if (superseded()) {
        co_return false;
    }
    setWindowTitle(productName());
    ActiveServer = serverBoxText();
    // The queue shown was the previous server's: the same queue name on this server is
    // another queue, and choosing it is a change of queue.
    ActiveQueue.clear();

    CurrentPrintQueue->clear();
    JobList->clear();

    // History: every server searched goes into the server box once.
    if (serverBoxText().isEmpty()) {
        CurrentPrinter->setEditText(m_settings.Server);
        List_Add(CurrentPrinter, serverBoxText());
        LastServer = m_settings.Server;
    } else if (serverBoxText() != LastServer) {
        LastServer = serverBoxText();
        List_Add(CurrentPrinter, serverBoxText());
    }

    // From here on everything belongs to the name searched, whatever is typed meanwhile.
    const QString server = serverBoxText();
    m_boundServer = server;
    m_printWorker->bind(server);
    if (m_pollReadingPending) {
        // The polling reading of the previous server was dropped with it: that tick is over.
        m_pollReadingPending = false;
        m_pollTickRunning = false;
    }
    ServerContainer.reset();
    CurrentQueue.reset();
    m_liveViewDialogs->clear(); // the previous server's failure was told

    m_knownQueues.clear();
    m_serverLost = false;
    m_lostTries = 0;
    if (!server.isEmpty()) {
        WebServer->Navigate2(QStringLiteral("\\\\") + server);
        SearchStatus->setText(QStringLiteral("Disconnected ") + nowText());
        ServerStatus->setText(QStringLiteral("Disconnected ") + nowText());
        SearchList->clear();
        // The new monitor starts only after the lists hold a fresh retrieval.
        StopJobMonitor();
        ConnectServer(server);
        // A report run reads the jobs once, for its report: a listing nobody sees would
        // make the server answer every job twice and hold both lists at once.
        if (!isReportRun()) {
            co_await RefreshJobList(server, QString());
        }
        if (superseded()) {
            co_return false;
        }
        StartJobMonitor(server);
    }

    yieldToEvents();
    if (superseded()) {
        co_return false;
    }
    setStatusPanelText(1, QStringLiteral("Find Queues ") + timeText());

    // The queue list is read on the print worker while the window's events run (the
    // search's yield after binding the server's container).
    QList<PrinterInfo> printers;
    bool listed = false;
    if (!server.isEmpty()) {
        // The search keeps its own reference: a search made while this one waits replaces
        // the window's.
        const auto container = std::make_shared<ServerLink>(*m_printWorker, server);
        ServerContainer = container;
        const PrintResult result = co_await container->printers(printers);
        listed = static_cast<bool>(result);
        if (superseded()) {
            co_return false;
        }
    }
    if (listed) {
        const QSignalBlocker blocker(CurrentPrintQueue);
        for (const PrinterInfo& printer : std::as_const(printers)) {
            CurrentPrintQueue->addItem(printer.queueName());
            m_knownQueues.insert(printer.queueName(), printer);
        }
        // Listing the queues selects none of them; the caller or the user does.
        CurrentPrintQueue->setCurrentIndex(-1);
    }

    if (queueBoxText().isEmpty()) {
        imgPause->setVisible(false);
        imgPlay->setVisible(false);
    }

    if (!queueBoxText().isEmpty()) {
        setStatusPanelText(1, QStringLiteral("Queue Loaded ") + timeText());
    } else if (CurrentPrintQueue->count() > 0) {
        setStatusPanelText(1, QStringLiteral("Queues Found ") + timeText());
    } else {
        setStatusPanelText(1, QStringLiteral("No Queues Found ") + timeText());
    }

    writeAudit(QStringLiteral("Queue"), QStringLiteral("Search for queues on ") + server);
    co_return true;
}

void FrmMain::CurrentPrinter_KeyDown(int KeyCode, int Shift)
{
    Q_UNUSED(Shift);
    if (KeyCode == 13) {
        detach(FindPrintQueues_Click());
    }
}

void FrmMain::FindComputers_Click()
{
    const int answer = m_ctx.dialogs.msgBox(QStringLiteral("Press OK to begin searching your network for machines.") +
                                                QStringLiteral("\r\n") + QStringLiteral("This may take a few minutes."),
                                            1, productName());
    if (answer == MsgBoxResult::Cancel) {
        return;
    }
    setStatusPanelText(1, QStringLiteral("Search for Print Servers ") + timeText());
    showComputerPicker();
}

void FrmMain::showComputerPicker()
{
    if (m_computerPicker.isNull()) {
        auto* picker = new FrmComputers(*this, m_ctx.networkResources, m_ctx.environment);
        m_computerPicker = picker;
        // Loading the picker runs its first scan before it is shown.
        picker->Form_Load();
    }
    m_computerPicker->show();
    m_computerPicker->raise();
}

void FrmMain::cmdRefreshJobs_Click()
{
    detach(RefreshJobList(serverBoxText(), QString()));
}

void FrmMain::List_Add(QComboBox* thelist, const QString& text)
{
    Q_UNUSED(thelist); // the history is always the server box's
    for (int i = 0; i < CurrentPrinter->count(); ++i) {
        if (CurrentPrinter->itemText(i) == text) {
            return;
        }
    }
    if (!text.isEmpty()) {
        // Adding an entry must not replace what the box shows.
        const QString shown = CurrentPrinter->currentText();
        CurrentPrinter->addItem(text);
        CurrentPrinter->setEditText(shown);
    }
}

void FrmMain::List_Load(QComboBox* thelist, const QString& FileName)
{
    Q_UNUSED(thelist); // the history is always the server box's
    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly)) {
        return;
    }
    // One pass over the file: a set of the names already listed keeps the load linear in
    // the number of lines, however long the history has grown.
    QSet<QString> listed;
    for (int i = 0; i < CurrentPrinter->count(); ++i) {
        listed.insert(CurrentPrinter->itemText(i));
    }
    QStringList names;
    const QByteArray bytes = file.readAll();
    // A byte-order mark some editors put first is no part of the first name.
    qsizetype start = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0) {
            end = bytes.size();
        }
        QByteArray line = bytes.mid(start, end - start);
        start = end + 1;
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        const QString name = historyName(line);
        if (name.isEmpty() || listed.contains(name)) {
            continue;
        }
        listed.insert(name);
        names.append(name);
    }
    if (!names.isEmpty()) {
        // Adding the entries must not replace what the box shows.
        const QString shown = CurrentPrinter->currentText();
        CurrentPrinter->addItems(names);
        CurrentPrinter->setEditText(shown);
    }
}

void FrmMain::List_Save(QComboBox* thelist, const QString& FileName)
{
    QByteArray out;
    for (int i = 0; i < thelist->count(); ++i) {
        const QString entry = thelist->itemText(i);
        if (!entry.isEmpty()) {
            out += historyBytes(entry) + "\r\n";
        }
    }
    // A fresh account has no settings folder yet. The file is written beside the old one
    // and renamed over it, so a crash while saving leaves the old history whole.
    const QFileInfo target(FileName);
    if (!QDir().mkpath(target.absolutePath())) {
        qWarning().noquote() << "hlv: history: cannot create folder" << target.absolutePath();
        return;
    }
    QString error;
    if (!writeFileAtomically(FileName, out, ReplaceTarget::Followed, &error)) {
        qWarning().noquote() << "hlv: history:" << error;
    }
}

QString FrmMain::historyName(const QByteArray& line)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString name = utf8.decode(line);
    if (!utf8.hasError()) {
        return name;
    }
    // A line in another encoding: shown as Latin-1, and written back with its own bytes
    // while the entry stays as it was read.
    name = QString::fromLatin1(line);
    m_historyBytes.insert(name, line);
    return name;
}

QByteArray FrmMain::historyBytes(const QString& name) const
{
    const auto kept = m_historyBytes.constFind(name);
    return kept != m_historyBytes.constEnd() ? *kept : name.toUtf8();
}

} // namespace hlv
