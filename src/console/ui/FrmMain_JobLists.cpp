// The two job lists: columns, icons, sorting, the job menu, and the job monitor binding
// that keeps them current.
#include <algorithm>

#include <QAction>
#include <QComboBox>
#include <QCursor>
#include <QHeaderView>
#include <QMenu>

#include "console/access/PrintWorker.h"
#include "console/ui/ConnectionBoxDialogs.h"
#include "console/ui/ConsoleContext.h"
#include "console/ui/FrmMain.h"
#include "console/ui/JobListWidget.h"
#include "console/ui/VbColour.h"
#include "jobmonitor/MonitorBuilds.h"
#include "jobmonitor/client/MonitorBinding.h"

namespace hlv {

namespace {

// Design widths in twips, in column order.
const QList<int> kJobListDesignWidths = {1440, 1440, 1440, 1440, 1440, 1440, 1440, 1440, 1440, 1440, 0};
const QList<int> kSearchListDesignWidths = {1440, 1440, 1440, 1440, 1440, 800, 800, 800, 1440, 2100, 800, 1440};

void styleList(JobListWidget* list)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(8.25);
    list->setFont(font);
    QPalette p = list->palette();
    p.setColor(QPalette::Base, vbColour(VbColours::LightGrey));
    list->setPalette(p);
}

// Sorts a list by the clicked column; the order flips on every header click of that list,
// whatever column is clicked, and the first click sorts descending.
void sortByHeader(JobListWidget* list, std::optional<int>& memory, int column)
{
    for (int c = 0; c < list->columnCount(); ++c) {
        if (list->headerItem()->text(c) == list->headerItem()->text(column)) {
            list->setSortKey(c);
        }
    }
    list->setSortOrder(memory.value_or(0) == 0 ? 1 : 0);
    memory = list->sortOrder();
    list->setSorted(true);
}

} // namespace

void FrmMain::buildJobLists()
{
    const QStringList jobHeaders = {
        QStringLiteral("Status"),    QStringLiteral("Description"), QStringLiteral("Computer"), QStringLiteral("User"),
        QStringLiteral("Pages"),     QStringLiteral("Printed"),     QStringLiteral("Priority"), QStringLiteral("Size"),
        QStringLiteral("Submitted"), QStringLiteral("ID"),          QStringLiteral("Name")};
    QStringList searchHeaders = jobHeaders;
    searchHeaders.insert(4, QStringLiteral("Printer"));

    JobList = new JobListWidget(jobHeaders, centralWidget());
    JobList->setGeometry(twipsToPixels(120), twipsToPixels(2760), twipsToPixels(14580), twipsToPixels(5400));
    JobList->setToolTip(QStringLiteral("Double Click to action or Right Click for all job Options"));
    styleList(JobList);
    for (int i = 0; i < kJobListDesignWidths.size(); ++i) {
        JobList->setColumnWidth(i, twipsToPixels(kJobListDesignWidths.at(i)));
        m_columnTwips.append(kJobListDesignWidths.at(i));
    }

    SearchList = new JobListWidget(searchHeaders, centralWidget());
    styleList(SearchList);
    for (int i = 0; i < kSearchListDesignWidths.size(); ++i) {
        SearchList->setColumnWidth(i, twipsToPixels(kSearchListDesignWidths.at(i)));
    }

    connect(JobList->header(), &QHeaderView::sectionClicked, this, &FrmMain::JobList_ColumnClick);
    connect(SearchList->header(), &QHeaderView::sectionClicked, this, &FrmMain::SearchList_ColumnClick);
    JobList->viewport()->installEventFilter(this);
}

QList<double> FrmMain::jobListColumnWidthsTwips() const
{
    // A column the operator did not resize keeps the twips it was given, so a width that
    // is no whole number of pixels survives a restart unchanged.
    QList<double> out;
    for (int i = 0; i < JobList->columnCount(); ++i) {
        const int pixels = JobList->columnWidth(i);
        const double given = i < m_columnTwips.size() ? m_columnTwips.at(i) : -1;
        out.append(given >= 0 && twipsToPixels(given, logicalDpiX()) == pixels ? given
                                                                               : pixelsToTwips(pixels, logicalDpiX()));
    }
    return out;
}

QList<int> FrmMain::jobListColumnPositions() const
{
    QList<int> out;
    for (int i = 0; i < JobList->columnCount(); ++i) {
        out.append(JobList->header()->visualIndex(i) + 1);
    }
    return out;
}

void FrmMain::JobList_ColumnClick(int column)
{
    sortByHeader(JobList, JobListSortMemory, column);
}

void FrmMain::SearchList_ColumnClick(int column)
{
    sortByHeader(SearchList, SearchListSortMemory, column);
}

void FrmMain::JobList_DblClick()
{
    if (JobList->rowCount() == 0) {
        return;
    }
    if (m_settings.QuickAction == 1) {
        showQuickAction();
    } else if (m_settings.JobAction == QStringLiteral("Delete")) {
        detach(MenuRemove_Click());
    } else {
        detach(MenuResumeJob_Click());
        m_settings.JobAction = QStringLiteral("Print");
    }
}

void FrmMain::JobList_MouseDown(int Button, int Shift, int X, int Y)
{
    Q_UNUSED(Shift);
    Q_UNUSED(X);
    Q_UNUSED(Y);
    if ((Button & 2) && JobList->rowCount() > 0 && menuJobs->isEnabled()) {
        menuJobs->popup(QCursor::pos());
    }
}

// ---------------------------------------------------------------------------------------
// Live view and job monitor

Task<bool> FrmMain::RefreshJobList(QString Server, QString Queue)
{
    Q_UNUSED(Server); // the jobs come from the bound server, whatever name the caller passes
    const QDateTime start = m_liveView->beginRefresh();
    struct Reading
    {
        bool connected = false;
        bool queried = false;
        QList<PrintJobInfo> jobs;
    };
    auto reading = std::make_shared<Reading>();
    const quint64 seq = ++m_jobReadingSeq;
    // The one query runs on the print worker while the window's events run: the yield the
    // retrieval makes after its query anyway.
    PrintWorker::Call call = [reading](PrintServer* server, const QString&) {
        reading->connected = server != nullptr;
        if (server) {
            reading->queried = static_cast<bool>(server->jobs(reading->jobs));
            if (!reading->queried) {
                PrintWorker::connectionLost();
            }
        }
    };
    const bool answered = co_await m_printWorker->ask(std::move(call));
    if (!answered || m_unloaded) {
        co_return false; // a search superseded it and shows its own retrieval
    }
    if (m_connectPending) {
        m_connectPending = false;
        if (reading->connected) {
            setActiveUpdateColour(0xFFFF00);
        }
    }
    if (seq != m_jobReadingSeq) {
        co_return true; // a later retrieval has listed the jobs meanwhile; this one is older
    }
    m_liveView->finishRefresh(reading->queried, reading->jobs, Queue, start);
    co_return true;
}

void FrmMain::FilterQueueJobs(const QString& Queue)
{
    m_liveView->FilterQueueJobs(Queue);
}

void FrmMain::mwcmnMonitor_JobEvent(const QString& strAction, const QString& strDetail)
{
    m_liveView->OnJobEvent(strAction, strDetail);
}

void FrmMain::mwcmnMonitor_ConnectEvent(const QString& strConnect)
{
    // A monitor that connects ends its trouble only once it has stayed up a while.
    if (strConnect == QLatin1String("Connected")) {
        m_monitorRestartRule.monitorConnected();
        m_liveViewDialogs->clear(); // a later failure is a new one
    }
    m_liveView->OnConnectEvent(strConnect);
}

void FrmMain::bindMonitor()
{
    mwcmnMonitor = std::make_unique<MonitorBinding>(QString::fromLatin1(kJobMonitorBuild.programName),
                                                    QString::fromLatin1(kJobMonitorBuild.classId), m_ctx.processes);
    mwcmnMonitor->setProgramDir(m_ctx.programDir);
    if (m_ctx.monitorEnvironment) {
        mwcmnMonitor->setServerEnvironment(*m_ctx.monitorEnvironment);
    }
    connect(mwcmnMonitor.get(), &MonitorBinding::JobEvent, this, &FrmMain::mwcmnMonitor_JobEvent);
    connect(mwcmnMonitor.get(), &MonitorBinding::ConnectEvent, this, &FrmMain::mwcmnMonitor_ConnectEvent);
    connect(mwcmnMonitor.get(), &MonitorBinding::MonitorEnded, this, &FrmMain::monitorEnded);
    m_monitorRestart.setSingleShot(true);
    connect(&m_monitorRestart, &QTimer::timeout, this, &FrmMain::restartMonitor);
}

void FrmMain::StartJobMonitor(const QString& Server)
{
    m_monitorRestart.stop();
    m_monitorRestartRule = MonitorRestart(m_ctx.monitorRestartFirstMs, m_ctx.monitorRestartLimitMs, m_ctx.monitorClock);
    if (m_ctx.startJobMonitor) {
        m_monitorServer = Server;
        mwcmnMonitor->StartJobMonitor(Server);
        if (mwcmnMonitor->mwcmnMonitor() == nullptr) {
            monitorEnded();
        }
    }
}

void FrmMain::StopJobMonitor()
{
    m_monitorRestart.stop();
    m_monitorRestartRule.reset();
    mwcmnMonitor->StopJobMonitor();
}

void FrmMain::monitorEnded()
{
    if (m_unloaded) {
        return;
    }
    const int waitMs = m_monitorRestartRule.monitorEnded().waitMs;
    m_monitorRestart.start(waitMs);
    mwcmnMonitor_ConnectEvent(QStringLiteral("Disconnected"));
    setStatusPanelText(
        1, QStringLiteral("Job Monitor Stopped %1, restarting in %2 s").arg(timeText()).arg(waitMs / 1000.0));
}

void FrmMain::restartMonitor()
{
    if (m_unloaded) {
        return;
    }
    // The new monitor takes the jobs as the last one reported them, so the lists get what
    // changed meanwhile as events.
    mwcmnMonitor->ResumeJobMonitor(m_monitorServer);
    if (mwcmnMonitor->mwcmnMonitor() == nullptr) {
        monitorEnded();
        return;
    }
    setStatusPanelText(1, QStringLiteral("Job Monitor Restarted ") + timeText());
}

void FrmMain::KillProcess(const QString& processName)
{
    mwcmnMonitor->KillProcess(processName);
}

} // namespace hlv
