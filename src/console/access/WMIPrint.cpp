#include "console/access/WMIPrint.h"

#include "console/access/ConnectionSurface.h"
#include "platform/Dialogs.h"
#include "platform/Shell.h"

namespace hlv {

namespace {

constexpr quint32 kLampBlue = 0xFF0000;
constexpr quint32 kLampCyan = 0xFFFF00;

} // namespace

QString testPagePermissionMessage()
{
    return QStringLiteral("You do not have permission to print a test page!");
}

WMIPrint::WMIPrint(PrintSystem& printSystem, ConnectionSurface& surface, Dialogs& dialogs, Shell& shell,
                   PropertiesViewer viewer)
    : m_printSystem(printSystem)
    , m_surface(surface)
    , m_dialogs(dialogs)
    , m_shell(shell)
    , m_viewer(std::move(viewer))
{}

WMIPrint::~WMIPrint() = default;

PrintResult WMIPrint::ConnectServer(const QString& Server)
{
    m_surface.setActiveUpdateColor(kLampBlue);
    if (m_ConnectedServerName != Server) {
        m_surface.setMainBusy(true);
        QString error;
        auto service = m_printSystem.connect(Server, &error);
        if (!service) {
            // Nothing stays bound: what the previous server answers must not be listed or
            // logged under the name of the one that failed. Lamp and pointer tell that
            // this bind failed.
            m_objWMIService.reset();
            m_ConnectedServerName.clear();
            return PrintResult::failure(error.isEmpty() ? QStringLiteral("Cannot connect to ") + Server : error);
        }
        m_objWMIService = std::move(service);
        m_ConnectedServerName = Server;
        m_surface.setMainBusy(false);
    }
    m_surface.setActiveUpdateColor(kLampCyan);
    return PrintResult::success();
}

namespace {

// What the computer behind service calls itself; Host when it says nothing.
QString computerNameOf(PrintServer* service, const QString& Host, PrintResult* result)
{
    QString name;
    PrintResult r =
        service ? service->computerName(name) : PrintResult::failure(QStringLiteral("No print server is connected."));
    if (result) {
        *result = r;
    }
    if (!r) {
        return QString();
    }
    return name.isEmpty() ? Host : name;
}

} // namespace

QString WMIPrint::GetHostComputerName(const QString& Host, PrintResult* result)
{
    if (Host.size() >= 2 && Host.mid(2) == m_ConnectedServerName) {
        return computerNameOf(m_objWMIService.get(), Host, result);
    }
    return hostComputerName(m_printSystem, Host, result);
}

QString WMIPrint::hostComputerName(PrintSystem& printSystem, const QString& Host, PrintResult* result)
{
    if (Host.size() < 2) {
        if (result) {
            *result = PrintResult::failure(QStringLiteral("\"%1\" names no computer.").arg(Host));
        }
        return QString();
    }
    QString error;
    const std::unique_ptr<PrintServer> service = printSystem.connect(Host.mid(2), &error);
    if (!service) {
        if (result) {
            *result = PrintResult::failure(error);
        }
        return QString();
    }
    return computerNameOf(service.get(), Host, result);
}

bool WMIPrint::splitPrinterPath(const QString& PrinterName, const QString& connected, QString& server, QString& printer)
{
    // "\\server\printer", or a printer of the connected server.
    server = connected;
    printer = PrinterName;
    if (PrinterName.startsWith(QStringLiteral("\\\\"))) {
        const QString rest = PrinterName.mid(2);
        const qsizetype slash = rest.indexOf(QLatin1Char('\\'));
        if (slash <= 0) {
            return false;
        }
        server = rest.left(slash);
        printer = rest.mid(slash + 1);
    }
    return !printer.isEmpty();
}

bool WMIPrint::findPrinter(PrintServer& service, const QString& printer, PrinterInfo& found, QString& webPage)
{
    QList<PrinterInfo> printers;
    if (!service.printers(printers)) {
        return false;
    }
    for (const PrinterInfo& p : std::as_const(printers)) {
        if (p.Name == printer || p.ShareName == printer) {
            found = p;
            webPage = service.printerWebPage(p.Name);
            return true;
        }
    }
    return false;
}

void WMIPrint::showProperties(const PrinterInfo& printer, const QString& server, const QString& webPage)
{
    if (!webPage.isEmpty()) {
        m_shell.open(webPage);
    } else if (m_viewer) {
        m_viewer(printer, server);
    }
}

bool WMIPrint::ShowPrinterProperties(const QString& PrinterName)
{
    QString server;
    QString printer;
    if (!splitPrinterPath(PrinterName, m_ConnectedServerName, server, printer)) {
        return false;
    }
    std::unique_ptr<PrintServer> own;
    PrintServer* service = nullptr;
    if (server == m_ConnectedServerName && m_objWMIService) {
        service = m_objWMIService.get();
    } else {
        own = m_printSystem.connect(server);
        service = own.get();
    }
    PrinterInfo found;
    QString page;
    if (!service || !findPrinter(*service, printer, found, page)) {
        return false;
    }
    showProperties(found, server, page);
    return true;
}

void WMIPrint::SendTestPage(const QString& Server, const QString& Printer)
{
    m_surface.setMainBusy(true);
    m_surface.setJobListBusy(true);
    // A server that cannot be bound gets no test page: the connection still bound belongs
    // to another server, whose printer of the same name is not the one asked for.
    if (ConnectServer(Server) && m_objWMIService && !Printer.isEmpty()) {
        QList<PrinterInfo> printers;
        if (m_objWMIService->printers(printers)) {
            for (const PrinterInfo& p : printers) {
                // Compared as plain text, whatever characters the name holds.
                if (p.Name != Printer && p.ShareName != Printer) {
                    continue;
                }
                if (m_objWMIService->printTestPage(p.Name) == TestPageResult::AccessDenied) {
                    m_dialogs.msgBox(testPagePermissionMessage(), MsgBoxStyle::Critical, QStringLiteral("Halvern"));
                }
            }
        }
    }
    m_surface.setMainBusy(false);
    m_surface.setJobListBusy(false);
}

} // namespace hlv
