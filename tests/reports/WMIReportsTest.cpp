#include "console/reports/WMIReports.h"

#include <atomic>
#include <chrono>
#include <thread>

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "ReportDoubles.h"
#include "platform/GeneralDate.h"
#include "platform/print/SimPrintStore.h"
#include "platform/print/SimPrintSystem.h"
#include "platform/print/StatusText.h"
#include "support/RecordingShell.h"
#include "support/ScriptedDialogs.h"
#include "support/Settle.h"

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace hlv::test {
namespace {

const QString kPrinterHeader = QStringLiteral(
    "<p><table border=1 cellpadding=2 cellspacing=0><tr><th align='center' colspan=10 style='border-width: "
    "0px; background-color: #C0FFC0'>Printer</th></tr><tr style='border-width: 1px; background-color: "
    "#C0C0C0'><th>Status</th><th>Server</th><th>Printer</th><th>Description</th><th>Shared</th>"
    "<th>Path</th><th>Location</th><th>Model</th><th>AutoQueue</th><th>AutoRelease</th></tr><tr>");
const QString kJobsHeader =
    QStringLiteral("<table border=1 cellpadding=2 cellspacing=0><tr><th align='center' colspan=10 style='border-width: "
                   "0px; background-color: #FFCC66'>Jobs</th></tr><tr style='border-width: 1px; background-color: "
                   "#C0C0C0'><th>Status</th><th>Computer</th><th>User</th><th>Document</th><th>Pages</th><th>Printed "
                   "Pages</th><th>Priority</th><th>Size</th><th>Time Submitted</th><th>ID</th></tr>");
const QString kIdle = QStringLiteral("<td style='background-color: #00FF00'>Idle</td>");
const QDateTime kSubmitted(QDate(2026, 3, 14), QTime(9, 15, 30));

// The live reports over a simulated server PRINT1 (whose computer calls itself PRINTSRV),
// with the main window, pointers and shell as doubles and section ids drawn from 42 up.
class WMIReportsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_savedLocale = QLocale();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        simDir = m_dir.filePath(QStringLiteral("sim"));
        reportDir = m_dir.filePath(QStringLiteral("reports"));
        ASSERT_TRUE(QDir().mkpath(simDir));
        ASSERT_TRUE(QDir().mkpath(reportDir));
        QString error;
        print1 = sim::SimPrintStore::create(simDir, QStringLiteral("PRINT1"), QStringLiteral("PRINTSRV"), &error);
        ASSERT_TRUE(print1) << error.toStdString();
        printSystem = std::make_unique<SimPrintSystem>(simDir);
        window.settings = {reportDir, QStringLiteral("Acme"), QStringLiteral("Less paper.")};
        reports = std::make_unique<WMIReports>(*printSystem, surface, dialogs, shell, window);
        reports->setSectionIdSource([this] { return nextId++; });
    }
    void TearDown() override { QLocale::setDefault(m_savedLocale); }

    void addQueue(const QString& name, const QString& share = QString(), bool shared = true,
                  const QString& location = QString(), const QString& comment = QString(),
                  const QString& model = QString(), const QString& port = QString())
    {
        sim::NewQueue def;
        def.name = name;
        def.shareName = share;
        def.notShared = !shared;
        def.location = location;
        def.comment = comment;
        def.model = model;
        def.port = port;
        ASSERT_TRUE(print1->addQueue(def).ok);
    }
    qint64 addJob(const QString& queue, const QString& document, qint64 size = 2048, std::optional<qint64> pages = 3,
                  const QString& host = QStringLiteral("PC7"))
    {
        sim::NewJob def;
        def.queue = queue;
        def.document = document;
        def.owner = QStringLiteral("alice");
        def.host = host;
        def.pages = pages;
        def.size = size;
        def.submitted = kSubmitted;
        qint64 id = 0;
        EXPECT_TRUE(print1->addJob(def, id).ok);
        return id;
    }
    QString jobRow(qint64 id, const QString& document, const QString& size = QStringLiteral("2KB"),
                   const QString& status = QStringLiteral("<td style='background-color: #00FF00'>OK</td>"),
                   const QString& computer = QStringLiteral("\\\\PC7"), const QString& pages = QStringLiteral("3"))
    {
        return QStringLiteral("<tr>") + status + QStringLiteral("<td>") + computer +
               QStringLiteral("</td><td>alice</td><td>") + document + QStringLiteral("</td><td>") + pages +
               QStringLiteral("</td><td>0</td><td>1</td><td>") + size + QStringLiteral("</td><td>") +
               generalDateText(kSubmitted) + QStringLiteral("</td><td>") + QString::number(id) +
               QStringLiteral("</td></tr>");
    }
    QString page(const QString& fileName) const
    {
        QFile file(reportDir + fileName);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    QTemporaryDir m_dir;
    QLocale m_savedLocale;
    QString simDir;
    QString reportDir;
    std::unique_ptr<sim::SimPrintStore> print1;
    std::unique_ptr<SimPrintSystem> printSystem;
    RecordingSurface surface;
    ScriptedDialogs dialogs;
    RecordingShell shell;
    FakeReportWindow window;
    std::unique_ptr<WMIReports> reports;
    int nextId = 42;
};

TEST_F(WMIReportsTest, PrinterTable_ShownQueue_AllTenCellsInOrder)
{
    addQueue(QStringLiteral("Sales"), QString(), true, QStringLiteral("Floor 2"), QStringLiteral("Laser"),
             QStringLiteral("HP 4000"));
    window.shown = {QStringLiteral("PRINT1"), QStringLiteral("Sales"), true, true, false, QStringLiteral("17:30")};
    EXPECT_EQ(
        settle(reports->PrinterReportTable(QStringLiteral("PRINT1"), QStringLiteral("Sales"), false)),
        kPrinterHeader + kIdle +
            QStringLiteral("<td>PRINT1</td><td>Sales</td><td>Laser</td><td>True</td><td>\\\\PRINT1\\Sales</td>"
                           "<td>Floor 2</td><td>HP 4000</td><td>Enabled</td><td>Delete at 17:30</td></tr></table>"));
    EXPECT_EQ(reports->FoundPrinterName(), QStringLiteral("Sales"));
}

TEST_F(WMIReportsTest, PrinterTable_AutomationCells_OnlyForTheQueueTheWindowShows)
{
    addQueue(QStringLiteral("Sales"), QString(), false, QString(), QString(), QString(), QStringLiteral("usb://1"));
    const struct
    {
        ShownQueue shown;
        const char* cells;
    } cases[] = {
        {{QStringLiteral("PRINT1"), QStringLiteral("Other"), true, true, true, QStringLiteral("9:00")},
         "<td></td><td></td>"},
        {{QStringLiteral("print1"), QStringLiteral("Sales"), true, true, true, QStringLiteral("9:00")},
         "<td></td><td></td>"},
        {{QStringLiteral("PRINT1"), QStringLiteral("Sales"), false, true, true, QStringLiteral("9:00")},
         "<td>Disabled</td><td>Print at 9:00</td>"},
        {{QStringLiteral("PRINT1"), QStringLiteral("Sales"), true, false, true, QStringLiteral("9:00")},
         "<td>Enabled</td><td>Disabled</td>"},
    };
    for (const auto& c : cases) {
        window.shown = c.shown;
        const QString table = settle(reports->PrinterReportTable(QStringLiteral("PRINT1"), QStringLiteral("Sales"), false));
        // Not shared: the path is the port.
        EXPECT_TRUE(table.contains(QStringLiteral("<td>False</td><td>usb://1</td>"))) << table.toStdString();
        EXPECT_TRUE(table.endsWith(QString::fromLatin1(c.cells) + QStringLiteral("</tr></table>")))
            << c.cells << " in " << table.toStdString();
    }
}

TEST_F(WMIReportsTest, PrinterTable_FavouriteFields_DescribeAutomation)
{
    addQueue(QStringLiteral("Sales"));
    const struct
    {
        const char* caption;
        const char* cells;
    } cases[] = {
        {"PRINT1 | Sales | AQ On | AR On | Print | 17:00 | AA", "<td>Enabled</td><td>Print at 17:00*</td>"},
        {"PRINT1 | Sales | AQ Off | AR On | Delete | 8:15", "<td>Disabled</td><td>Delete at 8:15</td>"},
        {"PRINT1 | Sales | AQ On | AR Off | Print | 17:00 | AA", "<td>Enabled</td><td>Disabled</td>"},
        {"PRINT1 | Sales", "<td>Disabled</td><td>Disabled</td>"},
    };
    for (const auto& c : cases) {
        const QStringList fields = QString::fromLatin1(c.caption).split(QStringLiteral(" | "));
        const QString table = settle(reports->PrinterReportTable(fields.at(0), fields.at(1), true, fields));
        EXPECT_TRUE(table.endsWith(QString::fromLatin1(c.cells) + QStringLiteral("</tr></table>")))
            << c.caption << " gave " << table.toStdString();
    }
}

TEST_F(WMIReportsTest, ShareName_PrinterCellAsAskedJobsOfThePrintersOwnName)
{
    addQueue(QStringLiteral("HP LaserJet"), QStringLiteral("HPLJ"));
    const qint64 id = addJob(QStringLiteral("HPLJ"), QStringLiteral("memo.txt"));
    const QString table = settle(reports->PrinterReportTable(QStringLiteral("PRINT1"), QStringLiteral("HPLJ"), false));
    EXPECT_TRUE(table.contains(QStringLiteral("<td>PRINT1</td><td>HPLJ</td>")));
    EXPECT_EQ(reports->FoundPrinterName(), QStringLiteral("HP LaserJet"));
    const QString jobs = settle(reports->JobReportTable(QStringLiteral("PRINT1"), reports->FoundPrinterName(), false));
    EXPECT_EQ(jobs, QStringLiteral("<div id=' 42 '>") + kJobsHeader + jobRow(id, QStringLiteral("memo.txt")) +
                        QStringLiteral("</table></div></p>"));
}

TEST_F(WMIReportsTest, JobsTable_PrinterPrefix_OtherPrintersJobsLeftOut)
{
    addQueue(QStringLiteral("P"));
    addQueue(QStringLiteral("P2"));
    const qint64 mine = addJob(QStringLiteral("P"), QStringLiteral("mine"));
    addJob(QStringLiteral("P2"), QStringLiteral("theirs"));
    const QString jobs = settle(reports->JobReportTable(QStringLiteral("PRINT1"), QStringLiteral("P"), false));
    EXPECT_TRUE(jobs.contains(jobRow(mine, QStringLiteral("mine"))));
    EXPECT_FALSE(jobs.contains(QStringLiteral("theirs")));
    // A printer with no job of its own still gets its (empty) table when the server has jobs.
    addQueue(QStringLiteral("Q"));
    EXPECT_EQ(settle(reports->JobReportTable(QStringLiteral("PRINT1"), QStringLiteral("Q"), false)),
              QStringLiteral("<div id=' 43 '>") + kJobsHeader + QStringLiteral("</table></div></p>"));
}

TEST_F(WMIReportsTest, JobsTable_SizeStatusAndComputerCells)
{
    addQueue(QStringLiteral("P"));
    const qint64 small = addJob(QStringLiteral("P"), QStringLiteral("small"), 1023, std::nullopt);
    const qint64 bits = addJob(QStringLiteral("P"), QStringLiteral("bits"), 2048);
    const qint64 own = addJob(QStringLiteral("P"), QStringLiteral("own"), 2048, 3, QStringLiteral("PRINT1"));
    ASSERT_TRUE(print1->setJob(bits, 3u, std::nullopt, std::nullopt).ok); // paused and in error
    const QString jobs = settle(reports->JobReportTable(QStringLiteral("PRINT1"), QStringLiteral("P"), false));
    // Under a KB is 0KB; a job without a page count has an empty Pages cell.
    EXPECT_TRUE(jobs.contains(jobRow(small, QStringLiteral("small"), QStringLiteral("0KB"),
                                     QStringLiteral("<td style='background-color: #00FF00'>OK</td>"),
                                     QStringLiteral("\\\\PC7"), QString())))
        << jobs.toStdString();
    // Several bits are not split: green, whatever the bits mean.
    EXPECT_TRUE(jobs.contains(QStringLiteral("<tr><td style='background-color: #00FF00'>") +
                              GetJobStatusText(qint64(3)) +
                              QStringLiteral("</td><td>\\\\PC7</td><td>alice</td><td>bits")));
    // The connected server's own jobs name its computer.
    EXPECT_TRUE(jobs.contains(jobRow(own, QStringLiteral("own"), QStringLiteral("2KB"),
                                     QStringLiteral("<td style='background-color: #00FF00'>OK</td>"),
                                     QStringLiteral("PRINTSRV"))));
}

// The simulated servers, where every other computer takes a while to answer (or not at all)
// and the most connects under way at one moment are counted.
class SlowHostsPrintSystem : public PrintSystem
{
public:
    explicit SlowHostsPrintSystem(const QString& folder)
        : m_sim(folder)
    {}
    std::unique_ptr<PrintServer> connect(const QString& server, QString* error) override
    {
        if (server == QStringLiteral("PRINT1")) {
            return m_sim.connect(server, error);
        }
        ++m_asked;
        const int now = ++m_running;
        int seen = m_mostAtOnce.load();
        while (now > seen && !m_mostAtOnce.compare_exchange_weak(seen, now)) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        --m_running;
        if (error) {
            *error = QStringLiteral("no answer");
        }
        return nullptr;
    }
    void setPasswordPrompt(PasswordPrompt) override {}
    int mostAtOnce() const { return m_mostAtOnce.load(); }
    int asked() const { return m_asked.load(); }

private:
    SimPrintSystem m_sim;
    std::atomic<int> m_running{0};
    std::atomic<int> m_mostAtOnce{0};
    std::atomic<int> m_asked{0};
};

// Submitting computers that do not answer are asked all at once, each once per report: five
// of them cost one wait, not five, and their jobs show the names the jobs give.
TEST_F(WMIReportsTest, JobsTable_SilentComputers_AskedAtOnceEachOnce)
{
    addQueue(QStringLiteral("P"));
    QList<qint64> ids;
    for (int i = 0; i < 10; ++i) {
        ids.append(
            addJob(QStringLiteral("P"), QStringLiteral("d%1").arg(i), 2048, 3, QStringLiteral("WS%1").arg(i % 5)));
    }
    SlowHostsPrintSystem slow(simDir);
    WMIReports slowReports(slow, surface, dialogs, shell, window);
    ASSERT_TRUE(settle(slowReports.PrinterReport(QStringLiteral("PRINT1"), QStringLiteral("P"), true, false)));
    // Counted rather than timed: all five at once, and each of them once for its two jobs.
    EXPECT_EQ(slow.mostAtOnce(), 5) << "the computers were asked one after another";
    EXPECT_EQ(slow.asked(), 5);
    const QString text = page(QStringLiteral("/HLV_PrinterReport.html"));
    EXPECT_TRUE(text.contains(QStringLiteral("<td>\\\\WS3</td><td>alice</td><td>d8</td>"))) << text.toStdString();
}

TEST(StatusColours, WholeValuesOnly)
{
    const QString green = QStringLiteral("'background-color: #00FF00'");
    const QString red = QStringLiteral("'background-color: #FF0000'");
    const QString orange = QStringLiteral("'background-color: #FF9900'");
    const QString none = QStringLiteral("''");
    const std::pair<int, QString> printers[] = {{1, none},    {2, green},   {3, green}, {4, green},   {5, none},
                                                {7, red},     {8, orange},  {9, red},   {10, orange}, {11, none},
                                                {12, orange}, {13, orange}, {14, none}};
    for (const auto& [value, colour] : printers) {
        EXPECT_EQ(printerStatusColour(value), colour) << value;
    }
    const std::pair<quint32, QString> jobs[] = {{0, green},  {1, orange},  {2, red},    {3, green},
                                                {4, orange}, {8, orange},  {16, green}, {32, red},
                                                {64, red},   {128, green}, {1024, red}, {1025, green}};
    for (const auto& [value, colour] : jobs) {
        EXPECT_EQ(jobStatusColour(value), colour) << value;
    }
}

TEST_F(WMIReportsTest, PrinterReport_Collapsible_ScriptLinkAndHiddenDivision)
{
    addQueue(QStringLiteral("Sales"));
    const qint64 id = addJob(QStringLiteral("Sales"), QStringLiteral("a.pdf"));
    settle(reports->PrinterReport(QStringLiteral("PRINT1"), QStringLiteral("Sales"), false, true));
    const QString path = reportDir + QStringLiteral("/HLV_PrinterReport.html");
    EXPECT_EQ(shell.opened, QStringList{path});
    EXPECT_EQ(
        page(QStringLiteral("/HLV_PrinterReport.html")),
        QStringLiteral("<html><head><title>Halvern - Sales on PRINT1</title>") + GetShowHideScript() +
            QStringLiteral("</head><body align='center' style='color: #000080'><h1>Acme </h1><em style='color: "
                           "#008000'>Less paper.</em><h2><u>Printer Report:</u> Sales on PRINT1</h2>"
                           "<table align='center'><tr><td>") +
            kPrinterHeader + kIdle +
            QStringLiteral("<td>PRINT1</td><td>Sales</td><td></td><td>True</td><td>\\\\PRINT1\\Sales</td><td></td>"
                           "<td></td><td></td><td></td></tr></table>"
                           "<a href='#' name='Sales' onclick='javascript:showhide(\" 42 \");'>Show/Hide Jobs</a>"
                           "<div id=' 42 ' style='display:none;'>") +
            kJobsHeader + jobRow(id, QStringLiteral("a.pdf")) +
            QStringLiteral("</table></div></p></td></tr></table></body></html>\r\n"));
    EXPECT_FALSE(surface.mainBusy);
    EXPECT_FALSE(surface.jobListBusy);
}

TEST_F(WMIReportsTest, PrinterReport_NoJobAnywhere_ParagraphClosedWithoutLinkOrDivision)
{
    addQueue(QStringLiteral("Sales"));
    settle(reports->PrinterReport(QStringLiteral("PRINT1"), QStringLiteral("Sales"), true, true));
    const QString text = page(QStringLiteral("/HLV_PrinterReport.html"));
    EXPECT_TRUE(text.contains(QStringLiteral("</tr></table></p></td></tr></table></body></html>")))
        << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("Show/Hide Jobs")));
    EXPECT_FALSE(text.contains(QStringLiteral("<div")));
    EXPECT_TRUE(shell.opened.isEmpty()); // quiet
}

TEST_F(WMIReportsTest, PrinterReport_NotCollapsible_NoScriptVisibleDivision)
{
    addQueue(QStringLiteral("Sales"));
    addJob(QStringLiteral("Sales"), QStringLiteral("a.pdf"));
    settle(reports->PrinterReport(QStringLiteral("PRINT1"), QStringLiteral("Sales"), true, false));
    const QString text = page(QStringLiteral("/HLV_PrinterReport.html"));
    EXPECT_FALSE(text.contains(QStringLiteral("<script")));
    EXPECT_TRUE(text.contains(QStringLiteral("</tr></table><div id=' 42 '><table border=1")));
}

TEST_F(WMIReportsTest, PrinterReport_UnknownPrinterOrServer_FrameAloneStillOpened)
{
    addQueue(QStringLiteral("Sales"));
    const QString frameOnly = QStringLiteral("<table align='center'><tr><td></td></tr></table></body></html>\r\n");
    settle(reports->PrinterReport(QStringLiteral("PRINT1"), QStringLiteral("Nope"), false, false));
    EXPECT_TRUE(page(QStringLiteral("/HLV_PrinterReport.html")).endsWith(frameOnly));
    settle(reports->PrinterReport(QStringLiteral("NOSUCHHOST"), QStringLiteral("Sales"), false, false));
    EXPECT_TRUE(page(QStringLiteral("/HLV_PrinterReport.html")).endsWith(frameOnly));
    EXPECT_EQ(shell.opened.size(), 2);
    EXPECT_FALSE(surface.mainBusy);
}

TEST_F(WMIReportsTest, Escaping_DocumentAndNamesWithMarkupShownAsText)
{
    addQueue(QStringLiteral("Sales"), QString(), true, QStringLiteral("R&D <lab>"));
    addJob(QStringLiteral("Sales"), QStringLiteral("<script>alert(1)</script>"));
    addJob(QStringLiteral("Sales"), QStringLiteral("a & b"));
    settle(reports->PrinterReport(QStringLiteral("PRINT1"), QStringLiteral("Sales"), true, true));
    const QString text = page(QStringLiteral("/HLV_PrinterReport.html"));
    EXPECT_FALSE(text.contains(QStringLiteral("<script>alert")));
    EXPECT_TRUE(text.contains(QStringLiteral("<td>&lt;script&gt;alert(1)&lt;/script&gt;</td>")));
    EXPECT_TRUE(text.contains(QStringLiteral("<td>a &amp; b</td>")));
    EXPECT_TRUE(text.contains(QStringLiteral("<td>R&amp;D &lt;lab&gt;</td>")));
}

TEST_F(WMIReportsTest, ServerReport_SharedPrintersEachWithItsJobs)
{
    addQueue(QStringLiteral("A"));
    addQueue(QStringLiteral("Hidden"), QString(), false);
    addQueue(QStringLiteral("B"));
    const qint64 b = addJob(QStringLiteral("B"), QStringLiteral("b.doc"));
    settle(reports->ServerReport(QStringLiteral("PRINT1"), false, false));
    const QString text = page(QStringLiteral("/HLV_ServerReport.html"));
    EXPECT_TRUE(text.startsWith(QStringLiteral("<html><head><title>Halvern - PRINT1</title></head>")));
    EXPECT_TRUE(text.contains(QStringLiteral("<h2><u>Server Report:</u> PRINT1</h2>")));
    EXPECT_FALSE(text.contains(QStringLiteral("<td>Hidden</td>")));
    const qsizetype a = text.indexOf(QStringLiteral("<td>PRINT1</td><td>A</td>"));
    const qsizetype bAt = text.indexOf(QStringLiteral("<td>PRINT1</td><td>B</td>"));
    ASSERT_GE(a, 0);
    ASSERT_GT(bAt, a);
    // A's table is empty, B's holds its job.
    EXPECT_EQ(
        text.mid(a).indexOf(QStringLiteral("<div id=' 42 '>") + kJobsHeader + QStringLiteral("</table></div></p>")),
        text.mid(a).indexOf(QStringLiteral("<div")));
    EXPECT_TRUE(text.contains(QStringLiteral("<div id=' 43 '>") + kJobsHeader + jobRow(b, QStringLiteral("b.doc")) +
                              QStringLiteral("</table></div></p>")));
    EXPECT_EQ(shell.opened, QStringList{reportDir + QStringLiteral("/HLV_ServerReport.html")});
}

TEST_F(WMIReportsTest, FavouritesReport_EachFavouriteInUseMissingQueuesAddNothing)
{
    addQueue(QStringLiteral("Sales"));
    addQueue(QStringLiteral("Back"));
    window.favourites = {QStringLiteral("PRINT1 | Sales | AQ On | AR Off"),
                         QStringLiteral("PRINT1 | Gone | AQ On | AR Off"),
                         QStringLiteral("NOHOST | Sales | AQ On | AR Off"),
                         QStringLiteral("PRINT1 | Back | AQ Off | AR On | Print | 18:00 | AA")};
    settle(reports->FavouritesReport(false));
    const QString text = page(QStringLiteral("/HLV_FavReport.html"));
    EXPECT_TRUE(text.startsWith(QStringLiteral("<html><head><title>Halvern - Favourites</title></head>")));
    EXPECT_TRUE(text.contains(QStringLiteral("<h2><u>Favourites Report</u></h2>")));
    EXPECT_EQ(text.count(QStringLiteral("colspan=10 style='border-width: 0px; background-color: #C0FFC0'")), 2);
    EXPECT_TRUE(
        text.contains(QStringLiteral("<td>Sales</td><td></td><td>True</td><td>\\\\PRINT1\\Sales</td><td></td><td></td>"
                                     "<td>Enabled</td><td>Disabled</td>")));
    EXPECT_TRUE(text.contains(QStringLiteral("<td>Disabled</td><td>Print at 18:00*</td>")));
    EXPECT_FALSE(text.contains(QStringLiteral("Gone")));
    EXPECT_EQ(shell.opened, QStringList{reportDir + QStringLiteral("/HLV_FavReport.html")});
}

} // namespace
} // namespace hlv::test
