#pragma once

#include <functional>
#include <memory>

#include <QString>

#include "platform/PrintSystem.h"

namespace hlv {

class ConnectionSurface;
class Dialogs;
class Shell;

// The console's one connection to the print server it shows, and the operations on the
// printers of a server that go through it.
//
// Connection state:
//   nothing bound         -> ConnectServer(name) binds; an empty name binds nothing
//   bound to name N       -> ConnectServer(N) only flashes the lamp (blue, then cyan);
//                            ConnectServer(M), M != N exactly (letter case counts), binds M
//                            and replaces N; when that bind fails nothing stays bound (the
//                            job lists and the job log then get nothing until a server is
//                            bound again), the lamp stays blue and the pointer the hourglass,
//                            and the caller is told.
// GetHostComputerName asks hosts other than the connected server through a connection of
// their own, made for the question and closed after it.
class WMIPrint
{
public:
    // Shows a printer's properties in a window of the caller's (for print systems without a
    // page of their own): the printer and the server it belongs to.
    using PropertiesViewer = std::function<void(const PrinterInfo& printer, const QString& server)>;

    WMIPrint(PrintSystem& printSystem, ConnectionSurface& surface, Dialogs& dialogs, Shell& shell,
             PropertiesViewer viewer = {});
    ~WMIPrint();
    WMIPrint(const WMIPrint&) = delete;
    WMIPrint& operator=(const WMIPrint&) = delete;

    // Binds the connection to Server unless it is bound to exactly that name already.
    PrintResult ConnectServer(const QString& Server);
    // The connection of the connected server; null until the first successful bind.
    PrintServer* objWMIService() const { return m_objWMIService.get(); }
    // The server name exactly as given to the last successful bind; empty at first.
    QString ConnectedServerName() const { return m_ConnectedServerName; }

    // The name the computer "\\NAME" reports for itself; Host unchanged when it reports
    // none. An empty text, with the reason in *result, when the host cannot be asked
    // (Host shorter than two characters, unreachable).
    QString GetHostComputerName(const QString& Host, PrintResult* result = nullptr);
    // The same for a host asked through a connection of its own: touches nothing of a
    // WMIPrint, so several hosts can be asked at once on threads of their own.
    static QString hostComputerName(PrintSystem& printSystem, const QString& Host, PrintResult* result = nullptr);

    // Shows the properties of a printer, named by its path ("\\server\printer") or by its
    // name on the connected server: the print system's own printer page through the
    // shell, or the caller's viewer. False when the printer cannot be found.
    bool ShowPrinterProperties(const QString& PrinterName);
    // Its steps, for a caller that asks the server elsewhere: the server and printer a name
    // stands for (false when it names none), the printer of a server by name or share name
    // with its web page (false when not found), and the showing.
    static bool splitPrinterPath(const QString& PrinterName, const QString& connected, QString& server,
                                 QString& printer);
    static bool findPrinter(PrintServer& service, const QString& printer, PrinterInfo& found, QString& webPage);
    void showProperties(const PrinterInfo& printer, const QString& server, const QString& webPage);

    // Prints a test page on every printer of Server whose name or share name is Printer.
    // A refusal for want of rights is told once per such printer; nothing else is told.
    void SendTestPage(const QString& Server, const QString& Printer);

private:
    PrintSystem& m_printSystem;
    ConnectionSurface& m_surface;
    Dialogs& m_dialogs;
    Shell& m_shell;
    PropertiesViewer m_viewer;

    std::unique_ptr<PrintServer> m_objWMIService;
    QString m_ConnectedServerName;
};

// The message of a test page refused for want of rights.
QString testPagePermissionMessage(); // "You do not have permission to print a test page!"

} // namespace hlv
