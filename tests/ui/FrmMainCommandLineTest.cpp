#include <cstdio>

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>

#include "ActionsFixture.h"
#include "console/reports/WMIReports.h"
#include "console/ui/UnattendedDialogs.h"
#include "platform/print/AccountDirectory.h"
#include "support/FakeAccountDirectory.h"
#include "support/GatedPrintSystem.h"
#include "support/Settle.h"

namespace hlv::test {
namespace {

class CommandLineTest : public ConsoleFixture
{
protected:
    void SetUp() override
    {
        ConsoleFixture::SetUp();
        auto gated = std::make_unique<GatedPrintSystem>(std::move(printSystem));
        gate = gated.get();
        printSystem = std::move(gated);
        addQueue(QStringLiteral("PS1"), QStringLiteral("Sales"));
    }
    void configure(ConsoleContext& c) override
    {
        c.commandLine = commandLine;
        c.userIsAdmin = [this] {
            return isLocalAdministrator(accounts, env.userName());
        };
    }
    FrmMain& startWith(const QString& line, const QString& extra = QString())
    {
        commandLine = line;
        writeIni(QStringLiteral("[Halvern]\nServer=PS1\nQueue=Sales\nStartMax=False\nAudit=True\n") + extra);
        return start();
    }
    QString report(const char* file) const { return env.tempPath + QLatin1String(file); }
    // The top-level menus the menu bar shows, by title.
    static QStringList shownMenus(FrmMain& w)
    {
        QStringList out;
        for (QAction* a : w.menuBar()->actions()) {
            if (a->isVisible()) {
                out.append(a->text());
            }
        }
        return out;
    }

    QString commandLine;
    FakeAccountDirectory accounts;
    GatedPrintSystem* gate = nullptr;
};

TEST_F(CommandLineTest, Empty_NothingHappens)
{
    FrmMain& w = startWith(QString());
    EXPECT_FALSE(w.isUnloaded());
    EXPECT_EQ(w.settings().Server, QStringLiteral("PS1"));
    EXPECT_TRUE(shell.opened.isEmpty());
}

TEST_F(CommandLineTest, ServerNames_SetTheSettingLastWinsConnectionStays)
{
    FrmMain& w = startWith(QStringLiteral("/PS7/RPT:PRINTER"));
    EXPECT_FALSE(w.isUnloaded());
    EXPECT_EQ(w.settings().Server, QStringLiteral("RPT:PRINTER"));
    EXPECT_EQ(w.CurrentPrinter->currentText(), QStringLiteral("PS1"));
    EXPECT_EQ(w.queueBoxText(), QStringLiteral("Sales"));
}

TEST_F(CommandLineTest, BlankBeforeSlash_ArgumentWithBlankIsAServerNextAppliesFullMenu)
{
    FrmMain& w = startWith(QStringLiteral("/rpt:Printer /menu:Full"), QStringLiteral("SimpleView=No Menu\n"));
    EXPECT_FALSE(w.isUnloaded());
    EXPECT_EQ(w.settings().Server, QStringLiteral("rpt:Printer "));
    EXPECT_FALSE(QFile::exists(report(WMIReports::kPrinterReportFile)));
    EXPECT_TRUE(w.menuJobs->menuAction()->isVisible());
    EXPECT_EQ(w.settings().SimpleView, QStringLiteral("No Menu"));
}

TEST_F(CommandLineTest, PrinterReport_WrittenNotOpenedAndConsoleShutsDownOnce)
{
    FrmMain& w = startWith(QStringLiteral("/rpt:Printer/PS9"));
    EXPECT_TRUE(w.isUnloaded());
    const QString page = readFile(report(WMIReports::kPrinterReportFile));
    EXPECT_TRUE(page.contains(QStringLiteral("Sales"))) << page.left(400).toStdString();
    EXPECT_TRUE(shell.opened.isEmpty());
    EXPECT_EQ(audit().filter(QStringLiteral("Queue Manager Shutdown")).size(), 1);
    // The server listed its jobs once, for the report.
    EXPECT_EQ(gate->jobListings(QStringLiteral("PS1")), 1);
    // Arguments after a report switch are not acted on; the settings were saved with the
    // server box's server.
    EXPECT_EQ(w.settings().Server, QStringLiteral("PS1"));
    EXPECT_TRUE(readFile(iniPath()).contains(QStringLiteral("Server=PS1")));
}

TEST_F(CommandLineTest, ServerAndFavouritesReports_WrittenAndClosed)
{
    FrmMain& w = startWith(QStringLiteral("/rpt:Server"));
    EXPECT_TRUE(w.isUnloaded());
    EXPECT_TRUE(QFile::exists(report(WMIReports::kServerReportFile)));
    window.reset();

    FrmMain& again = startWith(QStringLiteral("/menu:Simple/rpt:Fav"),
                               QStringLiteral("[Favourites]\n0=PS1 | Sales | AQ Off | AR Off\n"));
    EXPECT_TRUE(again.isUnloaded());
    EXPECT_TRUE(QFile::exists(report(WMIReports::kFavouritesReportFile)));
    // The Simple Menu style was applied before the report.
    EXPECT_FALSE(again.menuJobs->menuAction()->isVisible());
    EXPECT_TRUE(shell.opened.isEmpty());
}

TEST_F(CommandLineTest, Help_OpensHelpPagesAndCloses)
{
    FrmMain& w = startWith(QStringLiteral("/?/PS9"));
    EXPECT_TRUE(w.isUnloaded());
    EXPECT_EQ(shell.opened, QStringList{QStringLiteral(HLV_BIN_DIR "/HLV.html")});
    EXPECT_EQ(w.settings().Server, QStringLiteral("PS1"));
}

TEST_F(CommandLineTest, ElevenArguments_EleventhIgnored)
{
    FrmMain& w = startWith(QStringLiteral("/a1/a2/a3/a4/a5/a6/a7/a8/a9/a10/menu:No"));
    EXPECT_EQ(w.settings().Server, QStringLiteral("a10"));
    EXPECT_TRUE(w.menufile->menuAction()->isVisible());
}

// ---------------------------------------------------------------------------------------
// Menu styles

TEST_F(CommandLineTest, MenuStyles_ShowAndHideAsEachStyleSays)
{
    struct Case
    {
        const char* style;
        bool admin;
        QStringList menus;
    };
    const QStringList full{QStringLiteral("&File"),       QStringLiteral("&Panels"),     QStringLiteral("&Jobs"),
                           QStringLiteral("&Printer"),    QStringLiteral("&Favourites"), QStringLiteral("&Reports"),
                           QStringLiteral("&Statistics"), QStringLiteral("&ServerView"), QStringLiteral("&Help")};
    const Case cases[] = {
        {"Full Menu", true, full},
        {"Classic Menu",
         false,
         {QStringLiteral("&File"), QStringLiteral("&Panels"), QStringLiteral("&Favourites"), QStringLiteral("&Reports"),
          QStringLiteral("&Statistics"), QStringLiteral("&ServerView"), QStringLiteral("&Help")}},
        {"Simple Menu",
         false,
         {QStringLiteral("&File"), QStringLiteral("&Favourites"), QStringLiteral("&Statistics"),
          QStringLiteral("&ServerView"), QStringLiteral("&Help")}},
        {"Help Menu", false, {QStringLiteral("&Help")}},
        {"Help Menu", true, {QStringLiteral("&Help"), QStringLiteral("Show &Full Menu")}},
        {"No Menu", false, {}},
        {"No Menu", true, {QStringLiteral("Show &Full Menu")}},
        {"simple menu", false, full},
    };
    FrmMain& w = startWith(QString(), QStringLiteral("ShowServerView=True\n"));
    for (const Case& c : cases) {
        accounts.groups[QStringLiteral("Administrators")] =
            c.admin ? QList<AccountMember>{FakeAccountDirectory::user("operator")} : QList<AccountMember>{};
        w.SwSimpleView(QString::fromUtf8(c.style));
        EXPECT_EQ(shownMenus(w), c.menus) << c.style;
    }
}

TEST_F(CommandLineTest, SimpleMenu_FileWithoutNewFavouritesWithoutImportExport)
{
    FrmMain& w = startWith(QString(), QStringLiteral("SimpleView=Simple Menu\n[Favourites]\n0=PS1 | Sales | AQ Off | "
                                                     "AR Off\n"));
    EXPECT_FALSE(w.mnuNew->isVisible());
    EXPECT_FALSE(w.mnuseparator3->isVisible());
    EXPECT_FALSE(w.mnuseparator4->isVisible());
    EXPECT_TRUE(w.mnuOptions->isVisible());
    EXPECT_TRUE(w.mnuseparator5->isVisible());
    EXPECT_FALSE(w.mnuImportFav->isVisible());
    EXPECT_FALSE(w.mnuExportFav->isVisible());
    EXPECT_FALSE(w.mnuFavToolsSep->isVisible());
    EXPECT_FALSE(w.mnuSearch->isVisible()); // ShowServerView is not "True"

    // Show Full Menu is not offered here; called anyway it restores everything for this run.
    EXPECT_FALSE(w.mnuMenu->isVisible());
    w.mnuMenu_Click();
    EXPECT_TRUE(w.mnuNew->isVisible());
    EXPECT_TRUE(w.mnuImportFav->isVisible());
    EXPECT_TRUE(w.mnuExportFav->isVisible());
    EXPECT_TRUE(w.menuJobs->menuAction()->isVisible());
    EXPECT_EQ(w.settings().SimpleView, QStringLiteral("Simple Menu"));
    // An empty style applies the stored one again.
    w.SwSimpleView();
    EXPECT_FALSE(w.menuJobs->menuAction()->isVisible());
}

TEST_F(CommandLineTest, NoMenu_AdministratorGetsShowFullMenuWhichHidesItself)
{
    accounts.groups[QStringLiteral("Administrators")] = {FakeAccountDirectory::user("OPERATOR")};
    FrmMain& w = startWith(QString(), QStringLiteral("SimpleView=No Menu\n"));
    EXPECT_EQ(shownMenus(w), QStringList{QStringLiteral("Show &Full Menu")});
    w.mnuMenu->trigger();
    EXPECT_FALSE(w.mnuMenu->isVisible());
    EXPECT_TRUE(shownMenus(w).contains(QStringLiteral("&Jobs")));
    EXPECT_EQ(w.settings().SimpleView, QStringLiteral("No Menu"));
}

TEST_F(CommandLineTest, UserIsAdmin_DirectOrOneLevelNestedIgnoringCase)
{
    struct Case
    {
        const char* name;
        std::map<QString, QList<AccountMember>> groups;
        bool admin;
    };
    const auto user = FakeAccountDirectory::user;
    const auto group = FakeAccountDirectory::group;
    const Case cases[] = {
        {"direct", {{QStringLiteral("Administrators"), {user("Operator")}}}, true},
        {"nested one level",
         {{QStringLiteral("Administrators"), {user("root"), group("helpdesk")}},
          {QStringLiteral("helpdesk"), {user("OPERATOR")}}},
         true},
        {"nested two levels",
         {{QStringLiteral("Administrators"), {group("helpdesk")}},
          {QStringLiteral("helpdesk"), {group("interns")}},
          {QStringLiteral("interns"), {user("operator")}}},
         false},
        // A member named like a group but of class User is not walked.
        {"user entry named like a group",
         {{QStringLiteral("Administrators"), {user("helpdesk")}}, {QStringLiteral("helpdesk"), {user("operator")}}},
         false},
        {"group unreadable", {}, false},
        {"someone else", {{QStringLiteral("Administrators"), {user("operator2")}}}, false},
    };
    FrmMain& w = startWith(QString());
    for (const Case& c : cases) {
        accounts.groups = c.groups;
        EXPECT_EQ(w.UserIsAdmin(), c.admin) << c.name;
    }
}

} // namespace
} // namespace hlv::test

namespace hlv::test {
namespace {

// A console whose window is closed at its n-th yield to pending events, as an operator
// closing it while start-up still runs would.
class ClosedDuringStartup : public FrmMain
{
public:
    ClosedDuringStartup(ConsoleContext& context, int closeAt, std::function<void()> closed)
        : FrmMain(context)
        , m_closeAt(closeAt)
        , m_closed(std::move(closed))
    {}
    void yieldToEvents() override
    {
        FrmMain::yieldToEvents();
        if (++yields == m_closeAt) {
            close();
            m_closed();
        }
    }
    int yields = 0;

private:
    int m_closeAt;
    std::function<void()> m_closed;
};

class StartupCloseTest : public ActionsFixture
{};

TEST_F(StartupCloseTest, ClosedAtEachStepOfStartup_ShutdownEndsIt)
{
    job(QStringLiteral("A"), QStringLiteral("alice"), 1);
    const QString settings = QStringLiteral("[Halvern]\nServer=PS1\nQueue=Sales\nAudit=True\nStartMax=False\n"
                                            "AutoQueue=1\nTimedRelease=1\n");
    context = std::make_unique<ConsoleContext>(*printSystem, hookedDialogs, shell, clock, env, processes);
    context->templatePath = QStringLiteral(HLV_BIN_DIR "/hlv.mdb");
    context->programDir = QStringLiteral(HLV_BIN_DIR);
    context->startJobMonitor = false;

    writeIni(settings);
    int steps = 0;
    {
        ClosedDuringStartup whole(*context, -1, [] {});
        settle(whole.Form_Load());
        steps = whole.yields;
        whole.Form_Unload();
    }
    ASSERT_GE(steps, 5);

    for (int closeAt = 1; closeAt <= steps; ++closeAt) {
        writeIni(settings);
        const qsizetype auditBefore = audit().size();
        qsizetype callsAtClose = -1;
        ClosedDuringStartup w(*context, closeAt, [&] { callsAtClose = printLog.calls.size(); });
        settle(w.Form_Load());
        ASSERT_TRUE(w.isUnloaded()) << closeAt;
        // The shutdown's record is the run's last (none at all before the settings turned
        // the audit on).
        const QStringList records = audit().mid(auditBefore);
        const qsizetype shutdown = records.indexOf(QStringLiteral("Program|Queue Manager Shutdown"));
        EXPECT_TRUE(shutdown < 0 ? records.isEmpty() : shutdown == records.size() - 1)
            << closeAt << ": " << records.join(QLatin1Char(',')).toStdString();
        EXPECT_EQ(printLog.calls.size(), callsAtClose) << closeAt; // no server request after it
        EXPECT_FALSE(w.Timer2.isActive()) << closeAt;
        EXPECT_TRUE(dialogs.messages().isEmpty()) << closeAt;
    }
}

// Every kind of box passes through to the real dialogs while an operator is there (a box
// nothing waits for stays one); in a report run none is shown and each leaves a line.
TEST(UnattendedDialogsTest, BoxesPassedOnWithOperatorLinesWithout)
{
    ScriptedDialogs inner;
    char buffer[1024] = {};
    FILE* errors = fmemopen(buffer, sizeof(buffer), "w");
    ASSERT_NE(errors, nullptr);
    UnattendedDialogs boxes(inner, errors);
    boxes.showMessage(QStringLiteral("Lost"), 16, QStringLiteral("Halvern"));
    ASSERT_EQ(inner.shown.size(), 1);
    EXPECT_FALSE(inner.shown.at(0).waited);
    boxes.setUnattended(true);
    boxes.showMessage(QStringLiteral("Lost again"), 16, QStringLiteral("Halvern"));
    EXPECT_EQ(boxes.msgBox(QStringLiteral("Sure?"), 20, QStringLiteral("Warning")), MsgBoxResult::No);
    EXPECT_TRUE(boxes.appendFileName(QStringLiteral("t"), QString(), QString()).isEmpty());
    std::fclose(errors);
    EXPECT_EQ(inner.shown.size(), 1);
    EXPECT_STREQ(buffer, "hlv: Halvern: Lost again\nhlv: Warning: Sure?\n");
}

} // namespace
} // namespace hlv::test
