#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

namespace hlv {

class Clock;
class Dialogs;
class JobLogStore;
class PrintServer;
struct PrintJobInfo;

// One line of a job list: the status text, the icon chosen from it, and the sub-items.
// In the all-jobs list the sub-items are Description, Computer, User, Printer, Pages,
// Printed, Priority, Size, Submitted, ID and Name (11); the queue's list has the same
// without Printer (10).
struct JobRow
{
    QString text;
    int icon = 3; // index into the job icons: 1 Document, 2 Print, 3 Error, 4 Spool, 5 Stop
    QStringList subItems;

    // The job's full name ("queue, id"), the last sub-item in both layouts.
    QString name() const { return subItems.isEmpty() ? QString() : subItems.last(); }
    bool operator==(const JobRow&) const = default;
};

// Number of sub-items of the two layouts and the position of the queue column.
inline constexpr int kSearchListSubItems = 11;
inline constexpr int kJobListSubItems = 10;
inline constexpr int kPrinterSubItem = 4; // 1-based, in the all-jobs list only

// A job list as the live view writes it, in display order.
class JobRowList
{
public:
    virtual ~JobRowList() = default;
    virtual int rowCount() const = 0;
    virtual JobRow row(int index) const = 0;
    virtual void addRow(const JobRow& row) = 0;
    // Adds rows as addRow would one by one; a list may place them all in one step.
    virtual void addRows(const QList<JobRow>& rows);
    virtual void setRow(int index, const JobRow& row) = 0;
    virtual void removeRow(int index) = 0;
    virtual void clear() = 0;
    // The first row, top to bottom, whose name() is exactly this text, or -1. Lists that
    // keep an index of their names answer without reading every row.
    virtual int findByName(const QString& name) const;
};

// What the live view reads and writes on the main window.
class LiveViewSurface
{
public:
    virtual ~LiveViewSurface() = default;
    virtual JobRowList& searchList() = 0; // all jobs of the server
    virtual JobRowList& jobList() = 0;    // the selected queue's jobs
    virtual QString serverBoxText() const = 0;
    // The server the lists are read from: the one last searched for. New jobs are logged
    // under it, whatever the server box holds meanwhile.
    virtual QString boundServerName() const = 0;
    virtual QString queueBoxText() const = 0;
    virtual void setSearchStatus(const QString& text) = 0;
    virtual void setServerStatus(const QString& text) = 0;
    virtual void setInfoPanel(const QString& text) = 0; // panel 1 of the status bar
    virtual void setSearchProgress(quint32 bgr) = 0;    // lamp colour, 0xBBGGRR
    virtual void setBusyPointer(bool busy) = 0;
    virtual void yieldToEvents() = 0;
};

// The icon of a status text: 1 "OK", 4 "Spooling", 2 "Printing" or "Printed", 5 "Paused",
// 3 anything else.
int jobStatusIcon(const QString& statusText);
// A size in bytes as the lists show it: whole kilobytes, remainder dropped, then "KB";
// "KB" alone when the size is not known.
QString jobSizeText(std::optional<qint64> bytes);
// The all-jobs row of a job as the print server reports it.
JobRow searchRowFromJob(const PrintJobInfo& job);
// The queue-list row of an all-jobs row (the Printer column left out).
JobRow jobListRowFromSearchRow(const JobRow& searchRow);
// The first row whose Name column equals name exactly (letter case included), -1 if none.
// Exact, because a prefix match lets the event of job 1 reach the row of job 10.
int findRowByName(const JobRowList& list, const QString& name);

// Fills and keeps current the console's two job lists: a full retrieval from the connected
// server, the queue filter over the rows already listed, and the job monitor's events.
// Every job seen for the first time is entered into the job log.
//
// A busy server sends thousands of events in a few seconds (a queue cancelled whole), so
// the events are applied in batches: an event waits until the next turn of the event loop,
// and while events keep coming a batch is applied at most every 50 ms. A batch changes the
// lists in event order, and the jobs of it not logged yet go to the job log in one
// transaction that does not wait for another program's lock (the writer tries again
// later). Which jobs are logged is kept in memory, from the last retrieval and the events
// since, so an event of a known job never opens the log. Anything that reads or rebuilds
// the lists (a retrieval, the queue filter) applies the waiting events first, so they
// keep their place among the other changes.
class WMILiveView
{
public:
    WMILiveView(LiveViewSurface& surface, JobLogStore& log, const Clock& clock, Dialogs& dialogs);

    // Reads every job of the bound server (server may be null: nothing bound) into the
    // all-jobs list, the jobs of Queue (when not empty) into the queue's list, and then
    // filters the queue's list by the queue box. Server is not used to choose the server.
    void RefreshJobList(PrintServer* server, const QString& Server, const QString& Queue);
    // The same in two halves around the one query, for a caller that reads the server
    // elsewhere and lets the window's events run meanwhile (the retrieval's one yield):
    // the texts, lamps and pointer before the query (returns the start time), and the walk
    // of what the query read (queried false: it read nothing) with the closing texts.
    QDateTime beginRefresh();
    void finishRefresh(bool queried, const QList<PrintJobInfo>& jobs, const QString& Queue, const QDateTime& start);
    // Rebuilds the queue's list from the all-jobs rows whose Printer column equals Queue.
    void FilterQueueJobs(const QString& Queue);
    // Takes one job monitor event ("New", "Modified", "Deleted") for both lists; it is
    // applied with the others of its batch.
    void OnJobEvent(const QString& strAction, const QString& strDetail);
    // Applies the events that wait now (the batch timer does it on its own).
    void applyJobEvents();
    int pendingJobEvents() const { return static_cast<int>(m_events.size()); }
    // Shows the job monitor's connection state.
    void OnConnectEvent(const QString& strConnect);

private:
    void upsert(JobRowList& list, const JobRow& row);
    QString nowText() const;

    LiveViewSurface& m_surface;
    JobLogStore& m_log;
    const Clock& m_clock;
    Dialogs& m_dialogs;
    QList<std::pair<QString, QString>> m_events; // waiting: action, detail
    QTimer m_batch;
    QElapsedTimer m_sinceBatch;
    QSet<QString> m_logged; // keys of the jobs known to be in the job log (or on their way)
};

} // namespace hlv
