#include "console/access/WMIPrint.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "console/access/ConnectionSurface.h"
#include "platform/print/SimPrintStore.h"
#include "platform/print/SimPrintSystem.h"
#include "support/ForwardingPrintServer.h"
#include "support/RecordingShell.h"
#include "support/ScriptedDialogs.h"

namespace hlv::test {
namespace {

class RecordingSurface : public ConnectionSurface
{
public:
    QList<quint32> colours;
    QList<bool> mainBusy;
    QList<bool> jobListBusy;
    void setActiveUpdateColor(quint32 bgr) override { colours.append(bgr); }
    void setMainBusy(bool busy) override { mainBusy.append(busy); }
    void setJobListBusy(bool busy) override { jobListBusy.append(busy); }
};

// Passes every call on, but gives printers a web page, as CUPS does.
class WebPageServer : public ForwardingPrintServer
{
public:
    using ForwardingPrintServer::ForwardingPrintServer;
    QString printerWebPage(const QString& printer) const override
    {
        return QStringLiteral("http://") + serverName() + QStringLiteral(":631/printers/") + printer;
    }
};

// The simulated print system, counting every connection asked for.
class CountingPrintSystem : public PrintSystem
{
public:
    explicit CountingPrintSystem(const QString& folder)
        : m_inner(folder)
    {}
    std::unique_ptr<PrintServer> connect(const QString& server, QString* error = nullptr) override
    {
        connects.append(server);
        auto conn = m_inner.connect(server, error);
        if (conn && webPages) {
            return std::make_unique<WebPageServer>(std::move(conn));
        }
        return conn;
    }
    void setPasswordPrompt(PasswordPrompt) override {}

    QStringList connects;
    bool webPages = false;

private:
    SimPrintSystem m_inner;
};

class WMIPrintTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ps1 = addServer("PS1", "PRINTSRV1");
        ps2 = addServer("PS2", "PRINTSRV2");
        addServer("Anon", "");
        addQueue(*ps1, "HP LaserJet", "HP1");
        addQueue(*ps1, "O'Brien's \"Printer\"", "Shared'Name");
        addQueue(*ps1, "Lobby", "");
        addQueue(*ps2, "HP LaserJet", "HP1");
    }
    std::unique_ptr<sim::SimPrintStore> addServer(const char* name, const char* computer)
    {
        QString error;
        auto store =
            sim::SimPrintStore::create(dir.path(), QString::fromUtf8(name), QString::fromUtf8(computer), &error);
        EXPECT_TRUE(store) << error.toStdString();
        return store;
    }
    void addQueue(sim::SimPrintStore& store, const char* name, const char* share)
    {
        sim::NewQueue q;
        q.name = QString::fromUtf8(name);
        q.shareName = QString::fromUtf8(share);
        q.notShared = q.shareName.isEmpty();
        q.location = QStringLiteral("Hall");
        q.model = QStringLiteral("LX 9");
        ASSERT_TRUE(store.addQueue(q));
    }
    int jobCount(sim::SimPrintStore& store, const char* queue)
    {
        QList<PrintJobInfo> jobs;
        EXPECT_TRUE(store.jobs(jobs, QString::fromUtf8(queue)));
        return static_cast<int>(jobs.size());
    }
    QList<ScriptedDialogs::Box> messages() const { return dialogs.messages(); }

    QTemporaryDir dir;
    std::unique_ptr<sim::SimPrintStore> ps1;
    std::unique_ptr<sim::SimPrintStore> ps2;
    CountingPrintSystem system{dir.path()};
    RecordingSurface surface;
    ScriptedDialogs dialogs;
    RecordingShell shell;
    QStringList viewed; // "server|printer" of each properties window asked for
    WMIPrint wmi{system, surface, dialogs, shell, [this](const PrinterInfo& printer, const QString& server) {
                     viewed.append(server + QLatin1Char('|') + printer.Name);
                 }};
};

TEST_F(WMIPrintTest, ConnectServer_SameNameTwice_BindsOnceAndFlashesLamp)
{
    ASSERT_TRUE(wmi.ConnectServer(QStringLiteral("PS1")));
    ASSERT_TRUE(wmi.ConnectServer(QStringLiteral("PS1")));
    EXPECT_EQ(system.connects, QStringList{QStringLiteral("PS1")});
    EXPECT_EQ(surface.colours, (QList<quint32>{0xFF0000, 0xFFFF00, 0xFF0000, 0xFFFF00}));
    EXPECT_EQ(surface.mainBusy, (QList<bool>{true, false}));
    EXPECT_EQ(wmi.ConnectedServerName(), QStringLiteral("PS1"));
    ASSERT_NE(wmi.objWMIService(), nullptr);
    EXPECT_EQ(wmi.objWMIService()->serverName(), QStringLiteral("PS1"));
}

TEST_F(WMIPrintTest, ConnectServer_OtherLetterCase_BindsAgain)
{
    ASSERT_TRUE(wmi.ConnectServer(QStringLiteral("PS1")));
    ASSERT_TRUE(wmi.ConnectServer(QStringLiteral("ps1")));
    EXPECT_EQ(system.connects, (QStringList{QStringLiteral("PS1"), QStringLiteral("ps1")}));
    EXPECT_EQ(wmi.ConnectedServerName(), QStringLiteral("ps1"));
    EXPECT_EQ(wmi.objWMIService()->serverName(), QStringLiteral("ps1"));
}

TEST_F(WMIPrintTest, ConnectServer_EmptyNameBeforeAnyBind_BindsNothing)
{
    EXPECT_TRUE(wmi.ConnectServer(QString()));
    EXPECT_TRUE(system.connects.isEmpty());
    EXPECT_EQ(wmi.objWMIService(), nullptr);
    EXPECT_EQ(surface.colours, (QList<quint32>{0xFF0000, 0xFFFF00}));
    EXPECT_TRUE(surface.mainBusy.isEmpty());
}

TEST_F(WMIPrintTest, ConnectServer_Unreachable_FailsAndUnbindsPreviousServer)
{
    ASSERT_TRUE(wmi.ConnectServer(QStringLiteral("PS1")));
    surface.colours.clear();
    surface.mainBusy.clear();

    const PrintResult r = wmi.ConnectServer(QStringLiteral("NoSuchServer"));
    EXPECT_FALSE(r);
    EXPECT_FALSE(r.error.isEmpty());
    // The old server's jobs must not be read under the new name.
    EXPECT_EQ(wmi.objWMIService(), nullptr);
    EXPECT_TRUE(wmi.ConnectedServerName().isEmpty());
    EXPECT_EQ(surface.colours, QList<quint32>{0xFF0000}) << "the lamp stays blue";
    EXPECT_EQ(surface.mainBusy, QList<bool>{true}) << "the pointer stays the hourglass";

    // The old server binds again when it is asked for again.
    EXPECT_TRUE(wmi.ConnectServer(QStringLiteral("PS1")));
    EXPECT_NE(wmi.objWMIService(), nullptr);
    EXPECT_EQ(wmi.ConnectedServerName(), QStringLiteral("PS1"));
}

TEST_F(WMIPrintTest, GetHostComputerName_ConnectedServer_UsesSharedConnection)
{
    ASSERT_TRUE(wmi.ConnectServer(QStringLiteral("PS1")));
    PrintResult r;
    EXPECT_EQ(wmi.GetHostComputerName(QStringLiteral("\\\\PS1"), &r), QStringLiteral("PRINTSRV1"));
    EXPECT_TRUE(r);
    EXPECT_EQ(system.connects, QStringList{QStringLiteral("PS1")}) << "no second connection";
}

TEST_F(WMIPrintTest, GetHostComputerName_OtherHosts_OpenConnectionEachTime)
{
    ASSERT_TRUE(wmi.ConnectServer(QStringLiteral("PS1")));
    EXPECT_EQ(wmi.GetHostComputerName(QStringLiteral("\\\\PS2")), QStringLiteral("PRINTSRV2"));
    EXPECT_EQ(wmi.GetHostComputerName(QStringLiteral("\\\\ps1")), QStringLiteral("PRINTSRV1"));
    EXPECT_EQ(wmi.GetHostComputerName(QStringLiteral("\\\\PS2")), QStringLiteral("PRINTSRV2"));
    EXPECT_EQ(system.connects, (QStringList{QStringLiteral("PS1"), QStringLiteral("PS2"), QStringLiteral("ps1"),
                                            QStringLiteral("PS2")}));
    EXPECT_EQ(wmi.ConnectedServerName(), QStringLiteral("PS1")) << "the connected server is not replaced";
}

TEST_F(WMIPrintTest, GetHostComputerName_NoNameOrNoHost_HostUnchangedOrFailure)
{
    PrintResult r;
    EXPECT_EQ(wmi.GetHostComputerName(QStringLiteral("\\\\Anon"), &r), QStringLiteral("\\\\Anon"));
    EXPECT_TRUE(r);

    for (const char* host : {"", "\\", "\\\\Nowhere", "\\\\"}) {
        EXPECT_EQ(wmi.GetHostComputerName(QString::fromUtf8(host), &r), QString()) << host;
        EXPECT_FALSE(r) << host;
    }
}

TEST_F(WMIPrintTest, SendTestPage_ByShareName_PrintsOnePageSilently)
{
    wmi.SendTestPage(QStringLiteral("PS1"), QStringLiteral("HP1"));
    EXPECT_EQ(jobCount(*ps1, "HP LaserJet"), 1);
    EXPECT_EQ(jobCount(*ps2, "HP LaserJet"), 0);
    EXPECT_TRUE(messages().isEmpty());
    EXPECT_EQ(surface.mainBusy.first(), true);
    EXPECT_EQ(surface.mainBusy.last(), false);
    EXPECT_EQ(surface.jobListBusy, (QList<bool>{true, false}));
}

TEST_F(WMIPrintTest, SendTestPage_NamesWithQuotes_MatchExactlyAndNothingElse)
{
    wmi.SendTestPage(QStringLiteral("PS1"), QStringLiteral("Shared'Name"));
    EXPECT_EQ(jobCount(*ps1, "Shared'Name"), 1);
    wmi.SendTestPage(QStringLiteral("PS1"), QStringLiteral("O'Brien's \"Printer\""));
    EXPECT_EQ(jobCount(*ps1, "Shared'Name"), 2);

    // Texts that would have widened a pasted query match no printer at all.
    for (const char* name : {"x' or Name like '%", "%", "hp1", "HP1 ", "", "'"}) {
        wmi.SendTestPage(QStringLiteral("PS1"), QString::fromUtf8(name));
    }
    EXPECT_EQ(jobCount(*ps1, "HP1"), 0);
    EXPECT_EQ(jobCount(*ps1, "Lobby"), 0);
    EXPECT_EQ(jobCount(*ps1, "Shared'Name"), 2);
}

TEST_F(WMIPrintTest, SendTestPage_Denied_MessageOncePerMatchingPrinter)
{
    // "HP1" is one printer's share name and another printer's own name.
    sim::NewQueue q;
    q.name = QStringLiteral("HP1");
    q.shareName = QStringLiteral("Other");
    ASSERT_TRUE(ps1->addQueue(q));
    ASSERT_TRUE(ps1->setQueue(QStringLiteral("HP LaserJet"), std::nullopt, std::nullopt, true));
    ASSERT_TRUE(ps1->setQueue(QStringLiteral("HP1"), std::nullopt, std::nullopt, true));

    wmi.SendTestPage(QStringLiteral("PS1"), QStringLiteral("HP1"));
    const auto shown = messages();
    ASSERT_EQ(shown.size(), 2);
    for (const auto& box : shown) {
        EXPECT_EQ(box.text, QStringLiteral("You do not have permission to print a test page!"));
        EXPECT_EQ(box.style, 16);
        EXPECT_EQ(box.title, QStringLiteral("Halvern"));
    }
}

TEST_F(WMIPrintTest, SendTestPage_ServerUnreachable_NoPageOnPreviousServer)
{
    ASSERT_TRUE(wmi.ConnectServer(QStringLiteral("PS2")));
    wmi.SendTestPage(QStringLiteral("NoSuchServer"), QStringLiteral("HP1"));
    EXPECT_EQ(jobCount(*ps2, "HP1"), 0);
    EXPECT_TRUE(messages().isEmpty());
    EXPECT_EQ(surface.mainBusy.last(), false);
    EXPECT_EQ(surface.jobListBusy.last(), false);
}

TEST_F(WMIPrintTest, ShowPrinterProperties_SimulatedPrinter_ShownInTheCallersWindow)
{
    ASSERT_TRUE(wmi.ConnectServer(QStringLiteral("PS1")));
    ASSERT_TRUE(wmi.ShowPrinterProperties(QStringLiteral("\\\\PS2\\HP1")));
    EXPECT_EQ(viewed, QStringList{QStringLiteral("PS2|HP LaserJet")});
    EXPECT_TRUE(shell.opened.isEmpty());
}

TEST_F(WMIPrintTest, ShowPrinterProperties_PrintSystemWithPages_OpensPrinterPage)
{
    system.webPages = true;
    ASSERT_TRUE(wmi.ConnectServer(QStringLiteral("PS1")));
    ASSERT_TRUE(wmi.ShowPrinterProperties(QStringLiteral("HP1")));
    ASSERT_TRUE(wmi.ShowPrinterProperties(QStringLiteral("\\\\PS2\\HP1")));
    EXPECT_EQ(shell.opened, (QStringList{QStringLiteral("http://PS1:631/printers/HP LaserJet"),
                                         QStringLiteral("http://PS2:631/printers/HP LaserJet")}));
    EXPECT_TRUE(viewed.isEmpty());
}

TEST_F(WMIPrintTest, ShowPrinterProperties_PrinterNotFound_FalseAndNothingShown)
{
    ASSERT_TRUE(wmi.ConnectServer(QStringLiteral("PS1")));
    for (const char* path : {"\\\\PS1\\Nope", "Nope", "\\\\NoSuchServer\\HP1", "\\\\PS1", "\\\\\\HP1", ""}) {
        EXPECT_FALSE(wmi.ShowPrinterProperties(QString::fromUtf8(path))) << path;
    }
    EXPECT_TRUE(viewed.isEmpty());
    EXPECT_TRUE(shell.opened.isEmpty());
    EXPECT_TRUE(messages().isEmpty());
}

} // namespace
} // namespace hlv::test
