// The server view's navigation, the updates panel, the update command and the launchers.
#include <QApplication>
#include <QFile>
#include <QGroupBox>

#include "ConsoleFixture.h"
#include "console/ui/ControlWidgets.h"
#include "console/ui/QtWebBrowser.h"
#include "console/ui/WebBrowser.h"
#include "console/ui/frmSplash.h"
#include "desktop/DesktopShell.h"
#include "support/Settle.h"

namespace hlv::test {
namespace {

class BrowserHandlersTest : public ConsoleFixture
{
protected:
    void SetUp() override
    {
        ConsoleFixture::SetUp();
        writeIni(QStringLiteral("[Halvern]\nAudit=True\n"));
    }
};

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : m_name(name)
        , m_had(qEnvironmentVariableIsSet(name))
        , m_old(qgetenv(name))
    {
        if (value.isNull()) {
            qunsetenv(name);
        } else {
            qputenv(name, value);
        }
    }
    ~ScopedEnv()
    {
        if (m_had) {
            qputenv(m_name, m_old);
        } else {
            qunsetenv(m_name);
        }
    }

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

TEST_F(BrowserHandlersTest, Image2_NoServerAndNoSearchYet_NavigatesToTwoBackslashesAlone)
{
    FrmMain& w = build();
    w.Image2_Click();
    EXPECT_EQ(w.WebServer->lastAddress(), QStringLiteral("\\\\"));
}

TEST_F(BrowserHandlersTest, Image2AndImage3_NavigateToServerAndLocalComputer)
{
    FrmMain& w = build();
    w.CurrentPrinter->setEditText(QStringLiteral("PS7"));
    w.Image2->clicked();
    EXPECT_EQ(w.WebServer->lastAddress(), QStringLiteral("\\\\PS7"));
    w.Image3->clicked();
    EXPECT_EQ(w.WebServer->lastAddress(), QStringLiteral("\\\\WS01"));
    EXPECT_EQ(w.WebServer->LocationURL(), QStringLiteral("file://WS01/"));
}

TEST_F(BrowserHandlersTest, Image4_AtARoot_DoesNotGoBack)
{
    struct Case
    {
        QString serverBox;
        QStringList visited;
        QString expectedLocation;
    };
    const QList<Case> cases = {
        // the local computer's root, in any letter case
        {QStringLiteral("PS1"),
         {QStringLiteral("\\\\PS9"), QStringLiteral("\\\\ws01")},
         QStringLiteral("file://ws01/")},
        {QStringLiteral("PS1"),
         {QStringLiteral("\\\\PS9"), QStringLiteral("\\\\WS01")},
         QStringLiteral("file://WS01/")},
        // the server box's root
        {QStringLiteral("ps1"), {QStringLiteral("\\\\PS9"), QStringLiteral("\\\\PS1")}, QStringLiteral("file://PS1/")},
        // anywhere else: back
        {QStringLiteral("PS1"), {QStringLiteral("\\\\PS9"), QStringLiteral("\\\\PS8")}, QStringLiteral("file://PS9/")},
        {QStringLiteral("PS1"),
         {QStringLiteral("\\\\PS9"), QStringLiteral("\\\\PS1\\Sales")},
         QStringLiteral("file://PS9/")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.visited.join(QLatin1Char(' ')).toStdString());
        window.reset();
        FrmMain& w = build();
        w.CurrentPrinter->setEditText(c.serverBox);
        for (const QString& address : c.visited) {
            w.WebServer->Navigate2(address);
        }
        w.Image4_Click();
        EXPECT_EQ(w.WebServer->LocationURL(), c.expectedLocation);
    }
}

TEST_F(BrowserHandlersTest, Image5_AfterBack_GoesForwardAndStopsAtTheEnd)
{
    FrmMain& w = build();
    w.WebServer->Navigate2(QStringLiteral("\\\\PS1"));
    w.WebServer->Navigate2(QStringLiteral("\\\\PS2"));
    w.Image4_Click();
    EXPECT_EQ(w.WebServer->LocationURL(), QStringLiteral("file://PS1/"));
    w.Image5_Click();
    EXPECT_EQ(w.WebServer->LocationURL(), QStringLiteral("file://PS2/"));
    w.Image5_Click();
    EXPECT_EQ(w.WebServer->LocationURL(), QStringLiteral("file://PS2/"));
}

TEST_F(BrowserHandlersTest, StatusText_OnlyTheExactTexts_ChangeTheUpdatesPanel)
{
    struct Case
    {
        QString text;
        std::optional<bool> visibleAfter; // nullopt: unchanged
    };
    const QList<Case> cases = {
        {QStringLiteral("Downloading from site: res://C:\\WINDOWS\\System32\\shdoclc.dll/dnserror.htm"), false},
        {QStringLiteral("Web site found. Waiting for reply..."), true},
        {QStringLiteral("Web site found. Waiting for reply... "), std::nullopt},
        {QStringLiteral("web site found. waiting for reply..."), std::nullopt},
        {QStringLiteral("Downloading from site: res://c:\\windows\\system32\\shdoclc.dll/dnserror.htm"), std::nullopt},
        {QStringLiteral("Done"), std::nullopt},
        {QString(), std::nullopt},
    };
    FrmMain& w = start();
    for (const bool startVisible : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.text.toStdString());
            w.frmOnline->setVisible(startVisible);
            const bool checked = w.mnuOnline->isChecked();
            // The browser's own signal runs the handler.
            Q_EMIT w.WebVersion->StatusTextChange(c.text);
            EXPECT_EQ(w.frmOnline->isVisibleTo(&w), c.visibleAfter.value_or(startVisible));
            EXPECT_EQ(w.mnuOnline->isChecked(), checked);
        }
    }

    // The name-resolution failure may come before the settings switch the panel on: the
    // panel stays hidden whatever the order.
    writeIni(QStringLiteral("[Halvern]\nShowUpdates=True\n"));
    FrmMain& early = build();
    Q_EMIT early.WebVersion->StatusTextChange(WebBrowser::dnsErrorStatusText());
    settle(early.Form_Load());
    EXPECT_TRUE(early.mnuOnline->isChecked());
    EXPECT_FALSE(early.frmOnline->isVisibleTo(&early));
    Q_EMIT early.WebVersion->StatusTextChange(WebBrowser::waitingForReplyStatusText());
    EXPECT_TRUE(early.frmOnline->isVisibleTo(&early));
}

TEST_F(BrowserHandlersTest, Update_Cancelled_LeavesConsoleRunningAndOpensNothing)
{
    FrmMain& w = start();
    dialogs.msgAnswers.push_back(MsgBoxResult::Cancel);
    w.mnuUpdate->click();

    ASSERT_FALSE(dialogs.shown.isEmpty());
    const auto& box = dialogs.shown.constLast();
    EXPECT_EQ(box.text, QStringLiteral("HLV will now close so you can download the latest version.\r\n"
                                       "Your settings will be saved."));
    EXPECT_EQ(box.style, 1);
    EXPECT_EQ(box.title, QStringLiteral("Update Halvern"));
    EXPECT_TRUE(shell.opened.isEmpty());
    EXPECT_FALSE(w.isUnloaded());
}

TEST_F(BrowserHandlersTest, Update_Confirmed_OpensUpdatePageAndShutsDownUnlessItCannotBeOpened)
{
    for (const bool opens : {true, false}) {
        SCOPED_TRACE(opens);
        FrmMain& w = start();
        shell.opened.clear();
        shell.opens = opens;
        dialogs.msgAnswers.push_back(MsgBoxResult::Ok);
        w.mnuUpdate_Click();

        EXPECT_EQ(shell.opened,
                  QStringList{QStringLiteral("http://www.halvern.example/cgi-bin/update.cgi?soft=HLV&vers=") +
                              FrmMain::versionText()});
        ASSERT_FALSE(dialogs.shown.isEmpty());
        if (opens) {
            EXPECT_TRUE(w.isUnloaded());
            ASSERT_FALSE(audit().isEmpty());
            EXPECT_EQ(audit().constLast(), QStringLiteral("Program|Queue Manager Shutdown"));
            EXPECT_TRUE(QFile::exists(iniPath())) << "the shutdown saved the settings";
        } else {
            // Nothing to download from: the console stays and says why.
            EXPECT_FALSE(w.isUnloaded());
            EXPECT_EQ(dialogs.shown.constLast().text, QStringLiteral("Error launching web update."));
            EXPECT_EQ(dialogs.shown.constLast().style, 48);
        }
    }
}

TEST_F(BrowserHandlersTest, WebServerAddress_Configured_UsedByEveryPage)
{
    struct Case
    {
        QByteArray setting;
        QString site;
    };
    const QList<Case> cases = {
        {QByteArray(), QStringLiteral("http://www.halvern.example")},
        {QByteArray(""), QStringLiteral("http://www.halvern.example")},
        {QByteArray("http://updates.test:8080/"), QStringLiteral("http://updates.test:8080")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.site.toStdString());
        ScopedEnv env("HLV_WEB_SERVER", c.setting);
        window.reset();
        shell.opened.clear();
        FrmMain& w = build();
        w.lblWebsite_Click();
        EXPECT_EQ(shell.opened, QStringList{c.site + QStringLiteral("/")});
        EXPECT_EQ(w.lblWebsite->text(), c.site);
        EXPECT_EQ(w.splash().lblCompanyProduct->text(), c.site);
        EXPECT_EQ(FrmMain::updateCheckAddress(),
                  c.site + QStringLiteral("/cgi-bin/updatecheck.cgi?soft=HLV&vers=") + FrmMain::versionText());
        EXPECT_EQ(FrmMain::updateAddress(),
                  c.site + QStringLiteral("/cgi-bin/update.cgi?soft=HLV&vers=") + FrmMain::versionText());
    }
}

TEST_F(BrowserHandlersTest, Launchers_OpenTheirTargetsThroughTheShell)
{
    FrmMain& w = start();
    shell.opened.clear();
    w.Help->trigger();
    w.mnuNew->trigger();
    w.mnupsr_Click();
    EXPECT_EQ(shell.opened, (QStringList{QStringLiteral(HLV_BIN_DIR "/HLV.html"), QStringLiteral(HLV_BIN_DIR "/hlv"),
                                         QStringLiteral("c:\\Windows\\System32\\psr.exe")}));
    // The recorder does not exist here: its menu entry stays hidden.
    EXPECT_FALSE(w.mnupsr->isVisible());
    EXPECT_FALSE(w.mnupsrsep->isVisible());

    // A launch that cannot start: the web site says so, the others report nothing.
    shell.opens = false;
    const qsizetype boxes = dialogs.shown.size();
    w.Help->trigger();
    w.mnuNew->trigger();
    EXPECT_EQ(dialogs.shown.size(), boxes);
    w.lblWebsite_Click();
    ASSERT_EQ(dialogs.shown.size(), boxes + 1);
    EXPECT_EQ(dialogs.shown.constLast().text, QStringLiteral("Error launching website - http://www.halvern.example/"));
    EXPECT_EQ(dialogs.shown.constLast().style, 48);
}

TEST_F(BrowserHandlersTest, WebServerGotFocus_GivesTheNetworkPanelABorder)
{
    FrmMain& w = build();
    w.frmServer->setFlat(true);
    w.WebServer_GotFocus();
    EXPECT_EQ(FrmMain::borderStyle(w.frmServer), 1);
}

// The window with the real browser in its panels (never loaded here: no start-up).
class BrowserFocusTest : public ConsoleFixture
{
protected:
    void configure(ConsoleContext& ctx) override
    {
        ctx.browserFactory = [this](QWidget* parent) -> std::unique_ptr<WebBrowser> {
            return std::make_unique<QtWebBrowser>(*printSystem, parent);
        };
    }
};

TEST_F(BrowserFocusTest, ServerViewFocused_NetworkPanelGetsABorder)
{
    FrmMain& w = build();
    w.show();
    QApplication::setActiveWindow(&w);
    w.frmServer->setFlat(true);
    QWidget* view = w.WebServer->widget();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->parentWidget(), w.frmServer);
    view->setFocus(Qt::MouseFocusReason);
    EXPECT_TRUE(waitFor([&] { return FrmMain::borderStyle(w.frmServer) == 1; }, 5000));
}

TEST(DesktopShellTest, Open_Program_StartsIt)
{
    // GIVEN a small program that leaves a mark when it runs.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString program = dir.filePath(QStringLiteral("second-console"));
    const QString mark = dir.filePath(QStringLiteral("started"));
    {
        QFile file(program);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("#!/bin/sh\necho started > '%1'\n").arg(mark).toUtf8());
        file.close();
        ASSERT_TRUE(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    }
    DesktopShell shell;
    shell.open(program);
    EXPECT_TRUE(waitFor([&] { return QFile::exists(mark); }, 20000));
}

} // namespace
} // namespace hlv::test
