#include "console/access/WMILiveView.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include "platform/Database.h"
#include "platform/GeneralDate.h"
#include "platform/PrintSystem.h"
#include "store/JobLogStore.h"
#include "support/FakeClock.h"
#include "support/FakeEnvironment.h"
#include "support/FakeStoreHost.h"
#include "support/ScriptedDialogs.h"
#include "support/WaitFor.h"

namespace hlv::test {
namespace {

class ListDouble : public JobRowList
{
public:
    QList<JobRow> rows;
    int rowCount() const override { return static_cast<int>(rows.size()); }
    JobRow row(int index) const override { return rows.value(index); }
    void addRow(const JobRow& row) override { rows.append(row); }
    void setRow(int index, const JobRow& row) override { rows[index] = row; }
    void removeRow(int index) override { rows.removeAt(index); }
    void clear() override { rows.clear(); }
};

class SurfaceDouble : public LiveViewSurface
{
public:
    ListDouble search;
    ListDouble queue;
    QString server = QStringLiteral("PS1");
    QString bound = QStringLiteral("PS1");
    QString queueBox;
    QString searchStatus, serverStatus, infoPanel;
    QList<quint32> lampColours;
    int yields = 0;

    JobRowList& searchList() override { return search; }
    JobRowList& jobList() override { return queue; }
    QString serverBoxText() const override { return server; }
    QString boundServerName() const override { return bound; }
    QString queueBoxText() const override { return queueBox; }
    void setSearchStatus(const QString& text) override { searchStatus = text; }
    void setServerStatus(const QString& text) override { serverStatus = text; }
    void setInfoPanel(const QString& text) override { infoPanel = text; }
    void setSearchProgress(quint32 bgr) override { lampColours.append(bgr); }
    void setBusyPointer(bool) override {}
    void yieldToEvents() override { ++yields; }
};

// A print server whose job list is set by the test.
class JobsServer : public PrintServer
{
public:
    QList<PrintJobInfo> list;
    bool fail = false;
    QString serverName() const override { return QStringLiteral("PS1"); }
    PrintResult printers(QList<PrinterInfo>&) override { return PrintResult::success(); }
    PrintResult jobs(QList<PrintJobInfo>& out) override
    {
        if (fail) {
            return PrintResult::failure(QStringLiteral("gone"));
        }
        out = list;
        return PrintResult::success();
    }
    PrintResult queueJobs(const QString&, QList<PrintJobInfo>&) override { return PrintResult::success(); }
    PrintResult computerName(QString& out) override
    {
        out = QStringLiteral("PS1");
        return PrintResult::success();
    }
    std::unique_ptr<JobWatch> watchJobs() override { return nullptr; }
    PrintResult printer(const QString& name, PrinterInfo& out, bool& found) override
    {
        return printerFromList(*this, name, out, found);
    }
    bool keepsEndedJobs() const override { return false; }
    PrintResult endedJobs(const QDateTime&, QList<PrintJobInfo>& out) override { return noEndedJobs(out); }
    PrintResult job(qint64 jobId, PrintJobInfo& out, bool& found) override
    {
        return jobFromList(*this, jobId, out, found);
    }
    PrintResult pauseQueue(const QString&) override { return PrintResult::success(); }
    PrintResult resumeQueue(const QString&) override { return PrintResult::success(); }
    PrintResult holdQueue(const QString&) override { return PrintResult::success(); }
    PrintResult purgeQueue(const QString&) override { return PrintResult::success(); }
    PrintResult pauseJob(const QString&, qint64) override { return PrintResult::success(); }
    PrintResult resumeJob(const QString&, qint64) override { return PrintResult::success(); }
    PrintResult removeJob(const QString&, qint64) override { return PrintResult::success(); }
    PrintResult setJobPriority(const QString&, qint64, qint64) override { return PrintResult::success(); }
    int printTestPage(const QString&) override { return 0; }
    QString printerWebPage(const QString&) const override { return {}; }
};

PrintJobInfo job(qint64 id, const QString& queue, quint32 status, std::optional<qint64> pages, qint64 size)
{
    PrintJobInfo j;
    j.JobId = id;
    j.Name = queue + QStringLiteral(", ") + QString::number(id);
    j.Document = QStringLiteral("Doc%1.pdf").arg(id);
    j.HostPrintQueue = QStringLiteral("\\\\PC7");
    j.Owner = QStringLiteral("alice");
    j.TotalPages = pages;
    j.PagesPrinted = 0;
    j.Priority = 1;
    j.Size = size;
    j.TimeSubmitted = QDateTime(QDate(2026, 3, 14), QTime(9, 15, 30));
    j.StatusMask = status;
    return j;
}

// A job detail record as the job monitor sends it.
QString record(quint32 status, const QString& queue, qint64 id, const QString& document = QStringLiteral("Doc"),
               const QString& pages = QStringLiteral("3"))
{
    return QStringList{QString::number(status),
                       document,
                       QStringLiteral("\\\\PC7"),
                       QStringLiteral("bob"),
                       queue,
                       pages,
                       QStringLiteral("0"),
                       QStringLiteral("1"),
                       QStringLiteral("2KB"),
                       QStringLiteral("3/14/2026 9:15:30 AM"),
                       QString::number(id),
                       queue + QStringLiteral(", ") + QString::number(id)}
        .join(QLatin1Char('|'));
}

class LiveViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        saved = QLocale();
        QLocale::setDefault(QLocale::c());
        env.appDataPath = dir.path();
        env.tempPath = dir.path();
        host.logFolder = dir.path();
        store = std::make_unique<JobLogStore>(env, clock, host, QStringLiteral(HLV_BIN_DIR "/hlv.mdb"));
        view = std::make_unique<WMILiveView>(surface, *store, clock, dialogs);
    }
    void TearDown() override { QLocale::setDefault(saved); }

    QVariantMap logRow(const QString& key)
    {
        QVariantMap out;
        auto db = Database::open(store->logFilePath());
        if (!db) {
            return out;
        }
        Query q(*db, QStringLiteral("SELECT * FROM HLV_Log WHERE TransactionID = ?1"));
        q.bind(1, key);
        if (q.next()) {
            for (int c = 0; c < q.columnCount(); ++c) {
                out.insert(q.columnName(c), q.value(c));
            }
        }
        return out;
    }
    int logCount()
    {
        auto db = Database::open(store->logFilePath());
        return db ? db->scalar(QStringLiteral("SELECT COUNT(*) FROM HLV_Log")).value_or(0).toInt() : 0;
    }

    QTemporaryDir dir;
    QLocale saved;
    FakeEnvironment env;
    FakeClock clock;
    FakeStoreHost host;
    ScriptedDialogs dialogs;
    SurfaceDouble surface;
    JobsServer server;
    std::unique_ptr<JobLogStore> store;
    std::unique_ptr<WMILiveView> view;
};

TEST(JobRowRules, StatusIcon_EachStatusText_PicksItsImage)
{
    const QList<std::pair<QString, int>> cases = {{QStringLiteral("OK"), 1},       {QStringLiteral("Spooling"), 4},
                                                  {QStringLiteral("Printing"), 2}, {QStringLiteral("Printed"), 2},
                                                  {QStringLiteral("Paused"), 5},   {QStringLiteral("Error"), 3},
                                                  {QStringLiteral("ok"), 3},       {QString(), 3}};
    for (const auto& [text, icon] : cases) {
        EXPECT_EQ(jobStatusIcon(text), icon) << text.toStdString();
    }
}

TEST(JobRowRules, SizeText_Boundaries_WholeKilobytesRemainderDropped)
{
    EXPECT_EQ(jobSizeText(0), QStringLiteral("0KB"));
    EXPECT_EQ(jobSizeText(1023), QStringLiteral("0KB"));
    EXPECT_EQ(jobSizeText(1024), QStringLiteral("1KB"));
    EXPECT_EQ(jobSizeText(2047), QStringLiteral("1KB"));
    EXPECT_EQ(jobSizeText(2048), QStringLiteral("2KB"));
    EXPECT_EQ(jobSizeText(std::nullopt), QStringLiteral("KB")) << "an unknown size";
}

TEST_F(LiveViewTest, RefreshJobList_Jobs_RowsHoldEveryColumnInOrder)
{
    server.list = {job(7, QStringLiteral("Sales"), 0x10, 3, 2048)};
    view->RefreshJobList(&server, QStringLiteral("PS1"), QStringLiteral("Sales"));

    ASSERT_EQ(surface.search.rowCount(), 1);
    const JobRow s = surface.search.row(0);
    EXPECT_EQ(s.text, QStringLiteral("Printing"));
    EXPECT_EQ(s.icon, 2);
    EXPECT_EQ(s.subItems,
              (QStringList{QStringLiteral("Doc7.pdf"), QStringLiteral("\\\\PC7"), QStringLiteral("alice"),
                           QStringLiteral("Sales"), QStringLiteral("3"), QStringLiteral("0"), QStringLiteral("1"),
                           QStringLiteral("2KB"), QStringLiteral("3/14/2026 9:15:30 AM"), QStringLiteral("7"),
                           QStringLiteral("Sales, 7")}));
    ASSERT_EQ(surface.queue.rowCount(), 1);
    const JobRow q = surface.queue.row(0);
    EXPECT_EQ(q.subItems,
              (QStringList{QStringLiteral("Doc7.pdf"), QStringLiteral("\\\\PC7"), QStringLiteral("alice"),
                           QStringLiteral("3"), QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2KB"),
                           QStringLiteral("3/14/2026 9:15:30 AM"), QStringLiteral("7"), QStringLiteral("Sales, 7")}));
    EXPECT_EQ(surface.searchStatus, QStringLiteral("Retrieved Jobs (0 seconds) 3/14/2026 9:30:00 AM"));
    EXPECT_EQ(surface.lampColours.front(), 0xFF0000u);
    EXPECT_EQ(surface.lampColours.back(), 0x00FF00u);
}

TEST_F(LiveViewTest, RefreshJobList_QueueDiffersInCase_PutsNoJobInQueueList)
{
    server.list = {job(1, QStringLiteral("Sales"), 0, 1, 10)};
    view->RefreshJobList(&server, QStringLiteral("PS1"), QStringLiteral("sales"));
    EXPECT_EQ(surface.search.rowCount(), 1);
    EXPECT_EQ(surface.queue.rowCount(), 0);
}

TEST_F(LiveViewTest, RefreshJobList_EmptyQueueWithQueueBox_FiltersByQueueBox)
{
    surface.queueBox = QStringLiteral("Admin");
    server.list = {job(1, QStringLiteral("Sales"), 0, 1, 10), job(2, QStringLiteral("Admin"), 1, 1, 10),
                   job(3, QStringLiteral("Admin"), 0, 1, 10)};
    view->RefreshJobList(&server, QStringLiteral("PS1"), QString());
    EXPECT_EQ(surface.search.rowCount(), 3);
    ASSERT_EQ(surface.queue.rowCount(), 2);
    EXPECT_EQ(surface.queue.row(0).name(), QStringLiteral("Admin, 2"));
    EXPECT_EQ(surface.queue.row(0).icon, 5);
    EXPECT_EQ(surface.queue.row(1).name(), QStringLiteral("Admin, 3"));
}

TEST_F(LiveViewTest, RefreshJobList_FailedQuery_ListsNothingAndEndsGreen)
{
    surface.search.addRow(JobRow{QStringLiteral("OK"), 1, {QStringLiteral("old")}});
    server.fail = true;
    view->RefreshJobList(&server, QStringLiteral("PS1"), QStringLiteral("Sales"));
    EXPECT_EQ(surface.search.rowCount(), 0);
    EXPECT_EQ(surface.lampColours.back(), 0x00FF00u);
    EXPECT_TRUE(surface.infoPanel.startsWith(QStringLiteral("Retrieved Jobs (")));
}

TEST_F(LiveViewTest, RefreshJobList_NewAndPrintingJobs_LoggedOnceAndPagesOnlyWhenNotPrinting)
{
    server.list = {job(1, QStringLiteral("Sales"), 0, 4, 5000), job(2, QStringLiteral("Sales"), 0x10, 9, 4096)};
    view->RefreshJobList(&server, QStringLiteral("PS1"), QStringLiteral("Sales"));
    view->RefreshJobList(&server, QStringLiteral("PS1"), QStringLiteral("Sales"));

    EXPECT_EQ(logCount(), 2);
    const QVariantMap waiting = logRow(QStringLiteral("1-3/14/2026 9:15:30 AM"));
    EXPECT_EQ(waiting.value(QStringLiteral("Server")).toString(), QStringLiteral("PS1"));
    EXPECT_EQ(waiting.value(QStringLiteral("Queue")).toString(), QStringLiteral("Sales"));
    EXPECT_EQ(waiting.value(QStringLiteral("Name")).toString(), QStringLiteral("1"));
    EXPECT_EQ(waiting.value(QStringLiteral("Pages")).toString(), QStringLiteral("4"));
    EXPECT_EQ(waiting.value(QStringLiteral("Size")).toString(), QStringLiteral("4KB"));
    const QVariantMap printing = logRow(QStringLiteral("2-3/14/2026 9:15:30 AM"));
    EXPECT_EQ(printing.value(QStringLiteral("Description")).toString(), QStringLiteral("Doc2.pdf"));
    EXPECT_TRUE(printing.value(QStringLiteral("Pages")).toString().isEmpty());
    EXPECT_TRUE(printing.value(QStringLiteral("Size")).toString().isEmpty());
}

TEST_F(LiveViewTest, FilterQueueJobs_KeepsAllJobsOrderAndDropsPrinterColumn)
{
    server.list = {job(3, QStringLiteral("A"), 0, 1, 1), job(1, QStringLiteral("B"), 0, 1, 1),
                   job(2, QStringLiteral("A"), 0, 1, 1)};
    view->RefreshJobList(&server, QStringLiteral("PS1"), QString());
    view->FilterQueueJobs(QStringLiteral("A"));
    ASSERT_EQ(surface.queue.rowCount(), 2);
    EXPECT_EQ(surface.queue.row(0).subItems.at(9), QStringLiteral("A, 3"));
    EXPECT_EQ(surface.queue.row(1).subItems.at(9), QStringLiteral("A, 2"));
    EXPECT_EQ(surface.queue.row(0).subItems.size(), kJobListSubItems);
}

TEST_F(LiveViewTest, OnJobEvent_ModifiedJob1_ChangesJob1NotJob10AboveIt)
{
    surface.queueBox = QStringLiteral("Sales");
    view->OnJobEvent(QStringLiteral("New"), record(0, QStringLiteral("Sales"), 10, QStringLiteral("Ten")));
    view->OnJobEvent(QStringLiteral("New"), record(0, QStringLiteral("Sales"), 1, QStringLiteral("One")));

    view->OnJobEvent(QStringLiteral("Modified"), record(0x10, QStringLiteral("Sales"), 1, QStringLiteral("One")));
    view->applyJobEvents();

    for (ListDouble* list : {&surface.search, &surface.queue}) {
        ASSERT_EQ(list->rowCount(), 2);
        EXPECT_EQ(list->row(0).text, QStringLiteral("OK"));
        EXPECT_EQ(list->row(0).name(), QStringLiteral("Sales, 10"));
        EXPECT_EQ(list->row(1).text, QStringLiteral("Printing"));
        EXPECT_EQ(list->row(1).name(), QStringLiteral("Sales, 1"));
    }
    EXPECT_EQ(surface.infoPanel, QStringLiteral("Updated Job 3/14/2026 9:30:00 AM"));

    view->OnJobEvent(QStringLiteral("Deleted"), record(0x10, QStringLiteral("Sales"), 1, QStringLiteral("One")));
    view->applyJobEvents();
    for (ListDouble* list : {&surface.search, &surface.queue}) {
        ASSERT_EQ(list->rowCount(), 1);
        EXPECT_EQ(list->row(0).name(), QStringLiteral("Sales, 10"));
    }
    EXPECT_EQ(surface.searchStatus, QStringLiteral("Deleted Job 3/14/2026 9:30:00 AM"));
}

TEST_F(LiveViewTest, OnJobEvent_NewOfOtherQueue_AddsToAllJobsListOnly)
{
    surface.queueBox = QStringLiteral("Sales");
    view->OnJobEvent(QStringLiteral("New"), record(0, QStringLiteral("Admin"), 4));
    view->applyJobEvents();
    EXPECT_EQ(surface.search.rowCount(), 1);
    EXPECT_EQ(surface.queue.rowCount(), 0);
    EXPECT_EQ(surface.searchStatus, QStringLiteral("New Job 3/14/2026 9:30:00 AM"));
}

TEST_F(LiveViewTest, OnJobEvent_ModifiedUnknownJob_AddsRow)
{
    surface.queueBox = QStringLiteral("Sales");
    view->OnJobEvent(QStringLiteral("Modified"), record(0, QStringLiteral("Sales"), 5));
    view->applyJobEvents();
    EXPECT_EQ(surface.search.rowCount(), 1);
    EXPECT_EQ(surface.queue.rowCount(), 1);
}

TEST_F(LiveViewTest, OnJobEvent_DeletedUnknownJob_LogsItAndRemovesNothing)
{
    surface.search.addRow(JobRow{QStringLiteral("OK"), 1, QStringList(10, QString()) << QStringLiteral("Sales, 11")});
    view->OnJobEvent(QStringLiteral("Deleted"), record(0, QStringLiteral("Sales"), 1));
    view->applyJobEvents();
    EXPECT_EQ(surface.search.rowCount(), 1);
    const QVariantMap row = logRow(QStringLiteral("1-3/14/2026 9:15:30 AM"));
    EXPECT_EQ(row.value(QStringLiteral("Queue")).toString(), QStringLiteral("Sales"));
    EXPECT_EQ(row.value(QStringLiteral("Pages")).toString(), QStringLiteral("3"));
    EXPECT_EQ(row.value(QStringLiteral("Size")).toString(), QStringLiteral("2KB"));
}

TEST_F(LiveViewTest, OnJobEvent_PrintingAtFirstSight_LoggedWithoutPagesAndSizeOnce)
{
    view->OnJobEvent(QStringLiteral("New"), record(0x10, QStringLiteral("Sales"), 2));
    view->OnJobEvent(QStringLiteral("Modified"), record(0, QStringLiteral("Sales"), 2, QStringLiteral("Changed")));
    view->applyJobEvents();
    EXPECT_EQ(logCount(), 1);
    const QVariantMap row = logRow(QStringLiteral("2-3/14/2026 9:15:30 AM"));
    EXPECT_EQ(row.value(QStringLiteral("Description")).toString(), QStringLiteral("Doc"));
    EXPECT_TRUE(row.value(QStringLiteral("Pages")).toString().isEmpty());
}

// A "|" in the document leaves every other field in place: the job reaches both lists
// and the job log under its own key, queue, pages and size, and later events find its row.
TEST_F(LiveViewTest, OnJobEvent_BarInDocument_ListedAndLoggedInPlace)
{
    surface.queueBox = QStringLiteral("Sales");
    const QString document = QStringLiteral("a|b|1KB|x");
    view->OnJobEvent(QStringLiteral("New"), record(0, QStringLiteral("Sales"), 6, document));
    view->OnJobEvent(QStringLiteral("Modified"), record(2, QStringLiteral("Sales"), 6, document));
    view->applyJobEvents();
    ASSERT_EQ(surface.search.rowCount(), 1);
    ASSERT_EQ(surface.queue.rowCount(), 1);
    const JobRow s = surface.search.row(0);
    EXPECT_EQ(s.text, QStringLiteral("Error"));
    EXPECT_EQ(s.subItems,
              (QStringList{document, QStringLiteral("\\\\PC7"), QStringLiteral("bob"), QStringLiteral("Sales"),
                           QStringLiteral("3"), QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2KB"),
                           QStringLiteral("3/14/2026 9:15:30 AM"), QStringLiteral("6"), QStringLiteral("Sales, 6")}));
    EXPECT_EQ(surface.queue.row(0).name(), QStringLiteral("Sales, 6"));
    const QVariantMap row = logRow(QStringLiteral("6-3/14/2026 9:15:30 AM"));
    EXPECT_EQ(row.value(QStringLiteral("Description")).toString(), document);
    EXPECT_EQ(row.value(QStringLiteral("Queue")).toString(), QStringLiteral("Sales"));
    EXPECT_EQ(row.value(QStringLiteral("Pages")).toString(), QStringLiteral("3"));
    EXPECT_EQ(row.value(QStringLiteral("Size")).toString(), QStringLiteral("2KB"));
    view->OnJobEvent(QStringLiteral("Deleted"), record(0, QStringLiteral("Sales"), 6, document));
    view->applyJobEvents();
    EXPECT_EQ(surface.search.rowCount(), 0);
    EXPECT_EQ(surface.queue.rowCount(), 0);
}

TEST_F(LiveViewTest, OnJobEvent_ShortRecordOrOtherWord_ListsUnchanged)
{
    view->OnJobEvent(QStringLiteral("New"), QStringLiteral("0|Doc|PC|bob|Sales"));
    view->applyJobEvents();
    EXPECT_EQ(surface.search.rowCount(), 0);
    view->OnJobEvent(QStringLiteral("Moved"), record(0, QStringLiteral("Sales"), 3));
    view->applyJobEvents();
    EXPECT_EQ(surface.search.rowCount(), 0);
    EXPECT_EQ(logCount(), 1); // any word logs the job
}

// A burst of events while another program holds the job log: the jobs the console listed
// are known without the log, the new ones wait for the lock without holding the window,
// and then go to the log in one transaction.
TEST_F(LiveViewTest, OnJobEvent_BurstWhileLogLocked_KnownJobsSkipLogNewOnesWrittenTogether)
{
    surface.queueBox = QStringLiteral("Sales");
    server.list = {job(1, QStringLiteral("Sales"), 0, 1, 10), job(2, QStringLiteral("Sales"), 0, 1, 10),
                   job(3, QStringLiteral("Sales"), 0, 1, 10)};
    view->RefreshJobList(&server, QStringLiteral("PS1"), QString());
    ASSERT_EQ(logCount(), 3);
    const auto commits = [this] {
        QFile file(store->logFilePath());
        return file.open(QIODevice::ReadOnly) && file.seek(24) ? qFromBigEndian<quint32>(file.read(4).constData()) : 0u;
    };
    const quint32 before = commits();
    auto holder = Database::open(store->logFilePath());
    ASSERT_TRUE(holder && holder->exec(QStringLiteral("BEGIN EXCLUSIVE")));

    QElapsedTimer clock;
    clock.start();
    for (const int id : {1, 2, 3}) {
        view->OnJobEvent(QStringLiteral("Modified"), record(0x10, QStringLiteral("Sales"), id));
        view->OnJobEvent(QStringLiteral("Deleted"), record(0x10, QStringLiteral("Sales"), id));
    }
    for (const int id : {4, 5, 6}) {
        view->OnJobEvent(QStringLiteral("New"), record(0, QStringLiteral("Sales"), id));
    }
    view->applyJobEvents();
    EXPECT_LT(clock.elapsed(), kWindowStallLimitMs);

    const QStringList expected = {QStringLiteral("Sales, 4"), QStringLiteral("Sales, 5"), QStringLiteral("Sales, 6")};
    for (ListDouble* list : {&surface.search, &surface.queue}) {
        QStringList names;
        for (const JobRow& row : std::as_const(list->rows)) {
            names << row.name();
        }
        EXPECT_EQ(names, expected);
    }
    EXPECT_EQ(store->pendingWrites(), 3) << "only the new jobs wait for the log";

    ASSERT_TRUE(holder->exec(QStringLiteral("COMMIT")));
    holder.reset();
    ASSERT_TRUE(waitFor([this] { return store->pendingWrites() == 0; }));
    EXPECT_EQ(logCount(), 6);
    EXPECT_EQ(commits() - before, 1u);
}

TEST_F(LiveViewTest, OnConnectEvent_ConnectionError_ShowsBoxAndStateTexts)
{
    view->OnConnectEvent(QStringLiteral("WMI Connection Error"));
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(dialogs.messages().at(0).text, QStringLiteral("Cannot connect to server, jobs will not update!"));
    EXPECT_EQ(dialogs.messages().at(0).style, 16);
    EXPECT_EQ(dialogs.messages().at(0).title, QStringLiteral("Halvern"));
    // A monitor event never waits for the operator.
    EXPECT_FALSE(dialogs.messages().at(0).waited);
    const QString expected = QStringLiteral("Server WMI Connection Error 3/14/2026 9:30:00 AM");
    EXPECT_EQ(surface.infoPanel, expected);
    EXPECT_EQ(surface.searchStatus, expected);
    EXPECT_EQ(surface.serverStatus, expected);

    view->OnConnectEvent(QStringLiteral("WMI Query Error"));
    EXPECT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(surface.serverStatus, QStringLiteral("Server WMI Query Error 3/14/2026 9:30:00 AM"));
}

} // namespace
} // namespace hlv::test
