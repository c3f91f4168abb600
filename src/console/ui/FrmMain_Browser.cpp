// The server view's navigation, the updates panel driven by the update check, the update
// command and the small launchers of the menus (help, web site, another console, the step
// recorder).
#include <functional>

#include <QComboBox>
#include <QEvent>
#include <QGroupBox>

#include "console/ui/ConsoleContext.h"
#include "console/ui/FrmMain.h"
#include "console/ui/WebBrowser.h"
#include "platform/Dialogs.h"
#include "platform/Environment.h"
#include "platform/Shell.h"

namespace hlv {

namespace {

// Only the paths and queries of the product's pages are fixed; the host is ours.
const QString kDefaultWebServer = QStringLiteral("http://www.halvern.example");

// Runs a handler whenever a widget receives the focus (by a click or a tab). It lives as
// the widget's child, so it goes with the widget.
class FocusWatch : public QObject
{
public:
    FocusWatch(QWidget* watched, std::function<void()> handler)
        : QObject(watched)
        , m_handler(std::move(handler))
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        Q_UNUSED(watched);
        if (event->type() == QEvent::FocusIn) {
            m_handler();
        }
        return false;
    }

private:
    std::function<void()> m_handler;
};

QString networkPath(const QString& computer)
{
    return QStringLiteral("\\\\") + computer;
}

} // namespace

QString FrmMain::webServerAddress()
{
    QString address = qEnvironmentVariable("HLV_WEB_SERVER").trimmed();
    while (address.endsWith(QLatin1Char('/'))) {
        address.chop(1);
    }
    return address.isEmpty() ? kDefaultWebServer : address;
}

QString FrmMain::updateAddress()
{
    return webServerAddress() + QStringLiteral("/cgi-bin/update.cgi?soft=HLV&vers=") + versionText();
}

void FrmMain::connectBrowserHandlers()
{
    connect(WebVersion, &WebBrowser::StatusTextChange, this, &FrmMain::WebVersion_StatusTextChange);
    if (QWidget* view = WebServer->widget()) {
        new FocusWatch(view, [this] { WebServer_GotFocus(); });
    }
}

// ---------------------------------------------------------------------------------------
// The server view

void FrmMain::Image2_Click()
{
    WebServer->Navigate2(networkPath(serverBoxText()));
}

void FrmMain::Image3_Click()
{
    WebServer->Navigate2(networkPath(m_ctx.environment.computerName()));
}

void FrmMain::Image4_Click()
{
    // At the root of the local computer or of the server there is nothing to go back to.
    const QString location = WebServer->LocationURL().toUpper();
    const QString localRoot =
        (QStringLiteral("file://") + m_ctx.environment.computerName() + QLatin1Char('/')).toUpper();
    const QString serverRoot = (QStringLiteral("file://") + serverBoxText() + QLatin1Char('/')).toUpper();
    if (location != localRoot && location != serverRoot) {
        WebServer->GoBack();
    }
}

void FrmMain::Image5_Click()
{
    WebServer->GoForward();
}

void FrmMain::WebServer_GotFocus()
{
    setBorderStyle(frmServer, 1);
}

// ---------------------------------------------------------------------------------------
// The updates panel and the update command

void FrmMain::WebVersion_StatusTextChange(const QString& Text)
{
    // Only these two exact texts decide: the check's host did not resolve (offline, or no
    // such site), or the site took the request. The panel's menu check stays as it is. The
    // answer is kept, so that the panel switches of start-up (which may run after it) do not
    // show a panel the update check has hidden.
    if (Text == WebBrowser::dnsErrorStatusText()) {
        m_updateCheckUnreachable = true;
        frmOnline->setVisible(false);
        Form_Resize();
    } else if (Text == WebBrowser::waitingForReplyStatusText()) {
        m_updateCheckUnreachable = false;
        frmOnline->setVisible(true);
        Form_Resize();
    }
}

void FrmMain::mnuUpdate_Click()
{
    const QString address = updateAddress();
    const int answer =
        m_ctx.dialogs.msgBox(QStringLiteral("HLV will now close so you can download the latest version.") +
                                 QStringLiteral("\r\n") + QStringLiteral("Your settings will be saved."),
                             MsgBoxStyle::OkCancel, QStringLiteral("Update Halvern"));
    if (answer != MsgBoxResult::Ok) {
        return;
    }
    if (!m_ctx.shell.open(address)) {
        // Without the page the operator could not download anything: the console stays.
        m_ctx.dialogs.msgBox(QStringLiteral("Error launching web update."), 48, productName());
        return;
    }
    // Closing runs the whole shutdown: settings saved, program ended.
    close();
    Form_Unload();
}

void FrmMain::lblWebsite_Click()
{
    const QString address = webServerAddress() + QLatin1Char('/');
    if (!m_ctx.shell.open(address)) {
        m_ctx.dialogs.msgBox(QStringLiteral("Error launching website - ") + address, 48, productName());
    }
}

// ---------------------------------------------------------------------------------------
// Launchers

void FrmMain::Help_Click()
{
    m_ctx.shell.open(helpFilePath());
}

void FrmMain::mnuNew_Click()
{
    // Opening the program starts a second, independent console.
    m_ctx.shell.open(m_ctx.programDir + QStringLiteral("/hlv"));
}

void FrmMain::mnupsr_Click()
{
    // The menu entry is shown only where the recorder exists.
    m_ctx.shell.open(QStringLiteral("c:\\Windows\\System32\\psr.exe"));
}

} // namespace hlv
