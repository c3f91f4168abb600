#include "console/access/WMILiveView.h"

#include <algorithm>
#include <utility>

#include <QCoreApplication>
#include <QDateTime>
#include <QSet>

#include "jobmonitor/JobDetailRecord.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/GeneralDate.h"
#include "platform/PrintSystem.h"
#include "platform/print/StatusText.h"
#include "store/JobLogStore.h"
#include "store/JobLogTable.h"

namespace hlv {

namespace {

constexpr quint32 kLampBlue = 0xFF0000;
constexpr quint32 kLampOrange = 0x0080FF;
constexpr quint32 kLampGreen = 0x00FF00;
// While events keep coming, the shortest time between two batches.
constexpr qint64 kBatchIntervalMs = 50;

bool writesPages(const QString& status)
{
    return status != QStringLiteral("Printing") && status != QStringLiteral("Printed");
}

} // namespace

int jobStatusIcon(const QString& statusText)
{
    if (statusText == QStringLiteral("OK")) {
        return 1;
    }
    if (statusText == QStringLiteral("Spooling")) {
        return 4;
    }
    if (statusText == QStringLiteral("Printing") || statusText == QStringLiteral("Printed")) {
        return 2;
    }
    if (statusText == QStringLiteral("Paused")) {
        return 5;
    }
    return 3;
}

QString jobSizeText(std::optional<qint64> bytes)
{
    return (bytes ? QString::number(*bytes / 1024) : QString()) + QStringLiteral("KB");
}

JobRow searchRowFromJob(const PrintJobInfo& job)
{
    JobRow row;
    row.text = GetJobStatusText(static_cast<qint64>(job.StatusMask));
    row.icon = jobStatusIcon(row.text);
    row.subItems = {job.Document,
                    job.HostPrintQueue,
                    job.Owner,
                    job.queueName(),
                    job.TotalPages ? QString::number(*job.TotalPages) : QString(),
                    QString::number(job.PagesPrinted),
                    QString::number(job.Priority),
                    jobSizeText(job.Size),
                    generalDateText(job.TimeSubmitted),
                    QString::number(job.JobId),
                    job.Name};
    return row;
}

JobRow jobListRowFromSearchRow(const JobRow& searchRow)
{
    JobRow row;
    row.text = searchRow.text;
    row.icon = searchRow.icon;
    row.subItems = searchRow.subItems.mid(0, 3) + searchRow.subItems.mid(kPrinterSubItem);
    return row;
}

int JobRowList::findByName(const QString& name) const
{
    for (int i = 0; i < rowCount(); ++i) {
        if (row(i).name() == name) {
            return i;
        }
    }
    return -1;
}

void JobRowList::addRows(const QList<JobRow>& rows)
{
    for (const JobRow& row : rows) {
        addRow(row);
    }
}

int findRowByName(const JobRowList& list, const QString& name)
{
    return list.findByName(name);
}

WMILiveView::WMILiveView(LiveViewSurface& surface, JobLogStore& log, const Clock& clock, Dialogs& dialogs)
    : m_surface(surface)
    , m_log(log)
    , m_clock(clock)
    , m_dialogs(dialogs)
{
    m_batch.setSingleShot(true);
    QObject::connect(&m_batch, &QTimer::timeout, [this] { applyJobEvents(); });
}

QString WMILiveView::nowText() const
{
    return generalDateText(m_clock.now());
}

void WMILiveView::RefreshJobList(PrintServer* server, const QString& Server, const QString& Queue)
{
    Q_UNUSED(Server); // the jobs come from the bound server, whatever name the caller passes
    const QDateTime start = beginRefresh();
    // One query for every job of the server; a failed query leaves nothing to walk.
    QList<PrintJobInfo> jobs;
    bool queried = false;
    if (server) {
        queried = static_cast<bool>(server->jobs(jobs));
    }
    m_surface.yieldToEvents();
    finishRefresh(queried, jobs, Queue, start);
}

QDateTime WMILiveView::beginRefresh()
{
    applyJobEvents();
    m_surface.searchList().clear();
    m_surface.setSearchStatus(QStringLiteral("Connection Initiated"));
    m_surface.setInfoPanel(QStringLiteral("Connection Initiated"));
    const QDateTime start = m_clock.now();

    m_surface.setSearchProgress(kLampBlue);
    m_surface.setBusyPointer(true);
    m_surface.setInfoPanel(QStringLiteral("Connecting to Server"));
    m_surface.setSearchProgress(kLampOrange);

    m_surface.setSearchStatus(QStringLiteral("Finding printers with jobs"));
    m_surface.setInfoPanel(QStringLiteral("Finding Jobs"));
    return start;
}

void WMILiveView::finishRefresh(bool queried, const QList<PrintJobInfo>& jobs, const QString& Queue,
                                const QDateTime& start)
{
    applyJobEvents();
    m_surface.setSearchStatus(QStringLiteral("Retrieving Data"));
    m_surface.setInfoPanel(QStringLiteral("Retrieving Data"));
    // Rows that job events added during the yield are dropped here: the walk relists them.
    m_surface.searchList().clear();
    if (!Queue.isEmpty()) {
        m_surface.jobList().clear();
    }
    // A queue named in the queue box gets its list rebuilt from the all-jobs rows at the
    // end; the walk fills the queue's list only when nothing rebuilds it, so a refresh
    // fills each list once.
    const QString queueBox = m_surface.queueBoxText();
    const bool fillQueueList = !Queue.isEmpty() && queueBox.isEmpty();

    if (queried) {
        const QString serverBox = m_surface.boundServerName();
        // One look-up of the listed jobs and one write of the new ones, after the walk.
        QStringList keys;
        for (const PrintJobInfo& job : std::as_const(jobs)) {
            if (!job.Name.isEmpty()) {
                keys << QString::number(job.JobId) + QLatin1Char('-') + generalDateText(job.TimeSubmitted);
            }
        }
        const std::optional<QSet<QString>> logged = m_log.LoggedJobs(keys);
        QList<joblog::JobEntry> newJobs;
        QList<JobRow> searchRows;
        QList<JobRow> queueRows;
        qsizetype next = 0;
        for (const PrintJobInfo& job : std::as_const(jobs)) {
            if (job.Name.isEmpty()) {
                continue;
            }
            searchRows.append(searchRowFromJob(job));
            const QString queueName = job.queueName();
            if (fillQueueList && queueName == Queue) {
                queueRows.append(jobListRowFromSearchRow(searchRows.last()));
            }

            const QString& key = keys.at(next++);
            if (!logged) {
                // An unreadable job log ends the walk; the rows listed so far stay.
                break;
            }
            if (!logged->contains(key)) {
                newJobs.append({key,
                                {
                                    {QStringLiteral("Server"), serverBox},
                                    {QStringLiteral("Queue"), queueName},
                                    {QStringLiteral("Description"), job.Document},
                                    {QStringLiteral("Computer"), job.HostPrintQueue},
                                    {QStringLiteral("User"), job.Owner},
                                    {QStringLiteral("Name"), QString::number(job.JobId)},
                                    {QStringLiteral("Time Submitted"), generalDateText(job.TimeSubmitted)},
                                    {QStringLiteral("Priority"), QString::number(job.Priority)},
                                }});
                if (writesPages(searchRows.last().text)) {
                    newJobs.last().fields.append(
                        {QStringLiteral("Pages"), job.TotalPages ? QString::number(*job.TotalPages) : QString()});
                    newJobs.last().fields.append({QStringLiteral("Size"), jobSizeText(job.Size)});
                }
            }
        }
        m_surface.searchList().addRows(searchRows);
        m_surface.jobList().addRows(queueRows);
        // From now on the listed jobs are known logged: their events do not look again.
        m_logged.clear();
        if (logged) {
            m_logged = *logged;
            for (const joblog::JobEntry& entry : std::as_const(newJobs)) {
                m_logged.insert(entry.key);
            }
        }
        if (!newJobs.isEmpty()) {
            m_log.LogNewJobs(newJobs);
        }
    }

    m_surface.setBusyPointer(false);
    m_surface.setSearchProgress(kLampGreen);

    const auto closingText = [this, &start] {
        const QDateTime now = m_clock.now();
        const qint64 seconds = now.toSecsSinceEpoch() - start.toSecsSinceEpoch();
        return QStringLiteral("Retrieved Jobs (") + QString::number(seconds) + QStringLiteral(" seconds) ") +
               generalDateText(now);
    };
    m_surface.setSearchStatus(closingText());
    m_surface.setInfoPanel(closingText());

    if (!queueBox.isEmpty()) {
        FilterQueueJobs(queueBox);
    }
}

void WMILiveView::FilterQueueJobs(const QString& Queue)
{
    applyJobEvents();
    JobRowList& jobList = m_surface.jobList();
    JobRowList& searchList = m_surface.searchList();
    jobList.clear();
    QList<JobRow> rows;
    const int count = searchList.rowCount();
    for (int i = 0; i < count; ++i) {
        const JobRow row = searchList.row(i);
        if (row.subItems.size() >= kSearchListSubItems && row.subItems.at(kPrinterSubItem - 1) == Queue) {
            rows.append(jobListRowFromSearchRow(row));
        }
    }
    jobList.addRows(rows);
}

void WMILiveView::upsert(JobRowList& list, const JobRow& row)
{
    const int index = findRowByName(list, row.name());
    if (index >= 0) {
        list.setRow(index, row);
    } else {
        list.addRow(row);
    }
}

void WMILiveView::OnJobEvent(const QString& strAction, const QString& strDetail)
{
    m_events.append({strAction, strDetail});
    if (!m_batch.isActive()) {
        const qint64 since = m_sinceBatch.isValid() ? m_sinceBatch.elapsed() : kBatchIntervalMs;
        m_batch.start(static_cast<int>(std::max<qint64>(0, kBatchIntervalMs - since)));
    }
}

void WMILiveView::applyJobEvents()
{
    m_batch.stop();
    if (m_events.isEmpty()) {
        return;
    }
    const QList<std::pair<QString, QString>> events = std::exchange(m_events, {});
    m_sinceBatch.start();

    JobRowList& searchList = m_surface.searchList();
    JobRowList& jobList = m_surface.jobList();
    const QString queueBox = m_surface.queueBoxText();
    const QString server = m_surface.boundServerName();
    QList<joblog::JobEntry> newJobs;
    // New rows in a row of "New" events are placed together, before any other change.
    QList<JobRow> searchAdds;
    QList<JobRow> queueAdds;
    const auto placeAdds = [&] {
        searchList.addRows(std::exchange(searchAdds, {}));
        jobList.addRows(std::exchange(queueAdds, {}));
    };
    QString said;
    for (const auto& [strAction, strDetail] : events) {
        bool complete = false;
        const QStringList d = readJobDetailRecord(strDetail, &complete);
        // A record short of its twelve fields cannot be placed in either list: it is dropped.
        if (!complete) {
            continue;
        }
        JobRow searchRow;
        searchRow.text = GetJobStatusText(QVariant(d.at(0)));
        searchRow.icon = jobStatusIcon(searchRow.text);
        searchRow.subItems = d.mid(1, kSearchListSubItems);
        const QString key = d.at(10) + QLatin1Char('-') + d.at(9);
        const QString name = d.at(11);

        // Every event logs its job when it is not logged yet, whatever the action.
        if (!m_logged.contains(key)) {
            m_logged.insert(key);
            newJobs.append(joblog::newJobEntry(key, server, d, writesPages(searchRow.text)));
        }

        const bool inSelectedQueue = d.at(4) == queueBox;
        if (strAction == QStringLiteral("New")) {
            if (inSelectedQueue) {
                queueAdds.append(jobListRowFromSearchRow(searchRow));
            }
            searchAdds.append(std::move(searchRow));
            said = QStringLiteral("New Job ");
        } else if (strAction == QStringLiteral("Modified")) {
            placeAdds();
            upsert(searchList, searchRow);
            if (inSelectedQueue) {
                upsert(jobList, jobListRowFromSearchRow(searchRow));
            }
            said = QStringLiteral("Updated Job ");
        } else if (strAction == QStringLiteral("Deleted")) {
            placeAdds();
            const int searchIndex = findRowByName(searchList, name);
            if (searchIndex >= 0) {
                searchList.removeRow(searchIndex);
            }
            if (inSelectedQueue) {
                const int queueIndex = findRowByName(jobList, name);
                if (queueIndex >= 0) {
                    jobList.removeRow(queueIndex);
                }
            }
            // A job that left the server sends no further events: it need not be known.
            m_logged.remove(key);
            said = QStringLiteral("Deleted Job ");
        }
    }
    placeAdds();

    if (!newJobs.isEmpty()) {
        m_log.QueueNewJobs(newJobs);
    }
    if (!said.isEmpty()) {
        m_surface.setSearchStatus(said + nowText());
        m_surface.setInfoPanel(said + nowText());
    }
}

void WMILiveView::OnConnectEvent(const QString& strConnect)
{
    // The event comes from the monitor: the box is shown without waiting for the operator,
    // so that the events behind it are not held up.
    if (strConnect == QStringLiteral("WMI Connection Error")) {
        m_dialogs.showMessage(QStringLiteral("Cannot connect to server, jobs will not update!"), 16,
                              QStringLiteral("Halvern"));
    }
    const QString prefix = QStringLiteral("Server ") + strConnect + QLatin1Char(' ');
    m_surface.setInfoPanel(prefix + nowText());
    m_surface.setSearchStatus(prefix + nowText());
    m_surface.setServerStatus(prefix + nowText());
}

} // namespace hlv
