#pragma once

#include <memory>

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

#include "console/ui/WebBrowser.h"
#include "platform/PrintSystem.h"

namespace hlv {

class PrintSystem;
class PrintWorker;

// The browser of the network and updates panels: web pages are fetched over HTTP and
// shown as rich text; a network path "\\server" shows the printers the server shares,
// read through the print system. Loading is asynchronous: Navigate2 returns at once and
// the page, the location and the status texts follow.
//
// Status texts of a web page, in order: "Finding site: " & host, "Connecting to site " &
// host, "Web site found. Waiting for reply...", "Opening page " & address, "Done"; a host
// name that does not resolve reports the browser's DNS error page instead of the reply.
class QtWebBrowser final : public WebBrowser
{
    Q_OBJECT

public:
    // parent: the panel that holds the browser's view; without one the browser owns it.
    QtWebBrowser(PrintSystem& printSystem, QWidget* parent = nullptr);
    ~QtWebBrowser() override;

    QString LocationURL() const override { return m_location; }
    QWidget* widget() override;
    QTextBrowser* view() const { return m_view.data(); }
    bool isLoading() const { return m_loading; }
    QString statusText() const { return m_statusText; }

    // The address "\\server" stands for, as a file address ("file://server/") or back.
    static QString networkPathOf(const QUrl& url);

Q_SIGNALS:
    // A navigation ended: ok is false when the page could not be fetched.
    void loadFinished(bool ok);

protected:
    void load(const QString& address) override;

private:
    void loadNetworkPath(const QString& address, quint64 generation);
    void loadWebPage(const QUrl& url);
    void webPageFinished(QNetworkReply* reply);
    void showPage(const QString& html, const QUrl& base = QUrl());
    void setStatusText(const QString& text);
    void finish(bool ok);
    void cancelReply();

    void showNetworkPath(const QString& address, const QString& serverName, const QString& shareName,
                         const PrintResult& listed, const QList<PrinterInfo>& printers);

    PrintSystem& m_printSystem;
    std::unique_ptr<PrintWorker> m_worker; // asks the servers of the network paths
    QPointer<QTextBrowser> m_view;
    bool m_ownsView = false;
    QNetworkAccessManager m_network;
    QPointer<QNetworkReply> m_reply;
    QString m_location;
    QString m_statusText;
    QString m_serverName;     // the server of the network path shown last
    quint64 m_generation = 0; // a newer navigation makes an older pending one void
    bool m_loading = false;
};

} // namespace hlv
