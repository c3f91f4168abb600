#include "console/ui/QtWebBrowser.h"

#include <utility>

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringDecoder>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>

#include "console/access/PrintWorker.h"
#include "platform/PrintSystem.h"

namespace hlv {

namespace {

constexpr int kTransferTimeoutMs = 30000;

QString escaped(const QString& text)
{
    return text.toHtmlEscaped();
}

QString page(const QString& title, const QString& body)
{
    return QStringLiteral("<html><head><title>") + escaped(title) + QStringLiteral("</title></head><body>") + body +
           QStringLiteral("</body></html>");
}

QString errorPage(const QString& heading, const QString& detail)
{
    return page(heading, QStringLiteral("<p><b>") + escaped(heading) + QStringLiteral("</b></p><p>") + escaped(detail) +
                             QStringLiteral("</p>"));
}

QString notFoundPage(const QString& address)
{
    return errorPage(QStringLiteral("The network path was not found."), address);
}

// Why a server could not be listed. A failure the system reports with the text of "no
// error" ("Success", from an errno of 0) says nothing: the reason becomes unknown.
QString failureDetail(QString error)
{
    const QString noError = QStringLiteral("Success");
    if (error.trimmed() == noError) {
        error.clear();
    } else if (error.endsWith(QStringLiteral(": ") + noError)) {
        error.chop(noError.size() + 2);
        error += QLatin1Char('.');
    }
    return error.trimmed().isEmpty() ? QStringLiteral("The server did not answer.") : error;
}

// The part of a file address that names the computer: its host, with the port when the
// server is named as "host:port".
QString computerOf(const QUrl& url)
{
    QString host = url.host();
    if (host.contains(QLatin1Char(':'))) {
        host = QLatin1Char('[') + host + QLatin1Char(']'); // an IPv6 address
    }
    return url.port() >= 0 ? host + QLatin1Char(':') + QString::number(url.port()) : host;
}

} // namespace

QtWebBrowser::QtWebBrowser(PrintSystem& printSystem, QWidget* parent)
    : m_printSystem(printSystem)
    , m_worker(std::make_unique<PrintWorker>(printSystem))
{
    m_view = new QTextBrowser(parent);
    m_ownsView = parent == nullptr;
    m_view->setOpenLinks(false);
    m_view->setOpenExternalLinks(false);
    connect(m_view, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) {
        const QUrl target = QUrl(m_location).resolved(link);
        if (target.scheme() == QStringLiteral("file") && !target.host().isEmpty()) {
            // Addresses spell host names in small letters; the server keeps its own spelling.
            QString path = networkPathOf(target);
            const QString computer = computerOf(target);
            if (computer.compare(m_serverName, Qt::CaseInsensitive) == 0) {
                path.replace(2, computer.size(), m_serverName);
            }
            Navigate2(path);
        } else {
            Navigate2(target.toString());
        }
    });
}

QtWebBrowser::~QtWebBrowser()
{
    cancelReply();
    if (m_ownsView) {
        delete m_view.data();
    }
}

QWidget* QtWebBrowser::widget()
{
    return m_view.data();
}

QString QtWebBrowser::networkPathOf(const QUrl& url)
{
    QString path = url.path();
    while (path.endsWith(QLatin1Char('/'))) {
        path.chop(1);
    }
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return QStringLiteral("\\\\") + computerOf(url) + path;
}

void QtWebBrowser::load(const QString& address)
{
    ++m_generation;
    cancelReply();
    m_loading = true;

    if (address.startsWith(QStringLiteral("\\\\"))) {
        m_location = locationOf(address);
        // Reading the server happens after Navigate2 has returned, as a page load would.
        const quint64 generation = m_generation;
        QTimer::singleShot(0, this, [this, address, generation] { loadNetworkPath(address, generation); });
        return;
    }

    const QUrl url = QUrl::fromUserInput(address);
    m_location = url.isValid() ? url.toString() : address;
    if (url.scheme() == QStringLiteral("http") || url.scheme() == QStringLiteral("https")) {
        loadWebPage(url);
        return;
    }
    const quint64 generation = m_generation;
    QTimer::singleShot(0, this, [this, address, generation] {
        if (generation == m_generation) {
            showPage(errorPage(QStringLiteral("The page cannot be displayed"), address));
            finish(false);
        }
    });
}

void QtWebBrowser::loadNetworkPath(const QString& address, quint64 generation)
{
    if (generation != m_generation) {
        return;
    }
    const QStringList parts = address.mid(2).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    const QString serverName = parts.value(0);
    const QString shareName = parts.value(1);
    m_serverName = serverName;
    if (serverName.isEmpty() || parts.size() > 2) {
        showPage(notFoundPage(address));
        finish(false);
        return;
    }

    // The server is asked on a thread of its own: a slow or silent server holds up the page,
    // never the window.
    struct Reading
    {
        PrintResult listed = PrintResult::failure(QString());
        QList<PrinterInfo> printers;
    };
    auto reading = std::make_shared<Reading>();
    m_worker->postTo(
        serverName,
        [reading](PrintServer* server, const QString& connectError) {
            reading->listed = server ? server->printers(reading->printers) : PrintResult::failure(connectError);
        },
        [this, reading, address, generation, serverName, shareName] {
            // A newer navigation wins.
            if (generation == m_generation) {
                showNetworkPath(address, serverName, shareName, reading->listed, reading->printers);
            }
        });
}

void QtWebBrowser::showNetworkPath(const QString& address, const QString& serverName, const QString& shareName,
                                   const PrintResult& listed, const QList<PrinterInfo>& printers)
{
    if (!listed) {
        showPage(errorPage(QStringLiteral("\\\\") + serverName + QStringLiteral(" is not accessible."),
                           failureDetail(listed.error)));
        finish(false);
        return;
    }

    QList<PrinterInfo> shared;
    for (const PrinterInfo& printer : std::as_const(printers)) {
        if (printer.Shared) {
            shared.append(printer);
        }
    }

    const QString serverPath = QStringLiteral("\\\\") + serverName;
    if (!shareName.isEmpty()) {
        // One shared printer: its details.
        for (const PrinterInfo& printer : std::as_const(shared)) {
            if (printer.queueName().compare(shareName, Qt::CaseInsensitive) == 0) {
                const QString path = serverPath + QLatin1Char('\\') + printer.queueName();
                QString body = QStringLiteral("<p><b>") + escaped(path) + QStringLiteral("</b></p><table>");
                const QList<std::pair<QString, QString>> rows = {{QStringLiteral("Comment"), printer.Comment},
                                                                 {QStringLiteral("Location"), printer.Location},
                                                                 {QStringLiteral("Model"), printer.DriverName},
                                                                 {QStringLiteral("Port"), printer.PortName}};
                for (const auto& [label, value] : rows) {
                    body += QStringLiteral("<tr><td><b>") + label + QStringLiteral("</b></td><td>") + escaped(value) +
                            QStringLiteral("</td></tr>");
                }
                body += QStringLiteral("</table>");
                showPage(page(path, body));
                finish(true);
                return;
            }
        }
        showPage(notFoundPage(address));
        finish(false);
        return;
    }

    QString body = QStringLiteral("<p><b>") + escaped(serverPath) + QStringLiteral("</b></p>");
    if (shared.isEmpty()) {
        body += QStringLiteral("<p>This computer shares no printers.</p>");
    } else {
        body += QStringLiteral("<table cellspacing=\"4\"><tr><th align=\"left\">Name</th><th align=\"left\">Type</th>"
                               "<th align=\"left\">Comment</th><th align=\"left\">Location</th></tr>");
        for (const PrinterInfo& printer : std::as_const(shared)) {
            QUrl link;
            link.setScheme(QStringLiteral("file"));
            // A server named "host:port" keeps its port in the link.
            link.setAuthority(serverName);
            link.setPath(QLatin1Char('/') + printer.queueName());
            body += QStringLiteral("<tr><td><a href=\"") + escaped(link.toString(QUrl::FullyEncoded)) +
                    QStringLiteral("\">") + escaped(printer.queueName()) +
                    QStringLiteral("</a></td><td>Printer</td><td>") + escaped(printer.Comment) +
                    QStringLiteral("</td><td>") + escaped(printer.Location) + QStringLiteral("</td></tr>");
        }
        body += QStringLiteral("</table>");
    }
    showPage(page(serverPath, body));
    finish(true);
}

void QtWebBrowser::loadWebPage(const QUrl& url)
{
    const QString host = url.host();
    setStatusText(QStringLiteral("Finding site: ") + host);

    QNetworkRequest request(url);
    request.setTransferTimeout(kTransferTimeoutMs);
    QNetworkReply* reply = m_network.get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::socketStartedConnecting, this,
            [this, host] { setStatusText(QStringLiteral("Connecting to site ") + host); });
    connect(reply, &QNetworkReply::requestSent, this, [this] { setStatusText(waitingForReplyStatusText()); });
    connect(reply, &QNetworkReply::metaDataChanged, this,
            [this, reply] { setStatusText(QStringLiteral("Opening page ") + reply->url().toString()); });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { webPageFinished(reply); });
}

void QtWebBrowser::webPageFinished(QNetworkReply* reply)
{
    reply->deleteLater();
    if (reply != m_reply) {
        return;
    }
    m_reply = nullptr;

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        // No answer from a server at all.
        if (reply->error() == QNetworkReply::HostNotFoundError) {
            setStatusText(dnsErrorStatusText());
            showPage(errorPage(QStringLiteral("The page cannot be displayed"),
                               QStringLiteral("Cannot find server or DNS Error: ") + reply->url().host()));
        } else {
            showPage(errorPage(QStringLiteral("The page cannot be displayed"), reply->errorString()));
        }
        finish(false);
        return;
    }

    m_location = reply->url().toString();
    const QByteArray body = reply->readAll();
    const QString contentType = reply->header(QNetworkRequest::ContentTypeHeader).toString();
    if (body.isEmpty()) {
        showPage(errorPage(QStringLiteral("HTTP ") + QString::number(status.toInt()),
                           reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString()));
    } else if (contentType.startsWith(QStringLiteral("text/plain"), Qt::CaseInsensitive)) {
        m_view->document()->setBaseUrl(reply->url());
        m_view->setPlainText(QString::fromUtf8(body));
    } else {
        QStringDecoder decoder = QStringDecoder::decoderForHtml(body);
        showPage(decoder.isValid() ? QString(decoder.decode(body)) : QString::fromUtf8(body), reply->url());
    }
    finish(status.toInt() < 400);
}

void QtWebBrowser::showPage(const QString& html, const QUrl& base)
{
    if (m_view) {
        m_view->document()->setBaseUrl(base);
        m_view->setHtml(html);
    }
}

void QtWebBrowser::setStatusText(const QString& text)
{
    m_statusText = text;
    Q_EMIT StatusTextChange(text);
}

void QtWebBrowser::finish(bool ok)
{
    m_loading = false;
    setStatusText(QStringLiteral("Done"));
    Q_EMIT loadFinished(ok);
}

void QtWebBrowser::cancelReply()
{
    if (QNetworkReply* reply = m_reply.data()) {
        m_reply = nullptr;
        disconnect(reply, nullptr, this, nullptr);
        reply->abort();
        reply->deleteLater();
    }
}

} // namespace hlv
