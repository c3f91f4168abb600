// The panels' browser against a small HTTP server on the loopback address, and its
// view of a print server's shared printers over the simulated print system.
#include "console/ui/QtWebBrowser.h"

#include <QHash>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <gtest/gtest.h>

#include "platform/print/SimPrintStore.h"
#include "platform/print/SimPrintSystem.h"
#include "support/WaitFor.h"

namespace hlv::test {
namespace {

// Answers GET requests on the loopback address from a table of paths; every request path
// is recorded. Each connection carries one request and is closed after the answer.
class PageServer : public QObject
{
public:
    struct Page
    {
        int status = 200;
        QByteArray contentType = "text/html; charset=utf-8";
        QByteArray body;
    };

    PageServer()
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    bool listen() { return m_server.listen(QHostAddress::LocalHost, 0); }
    QString url(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }

    std::map<QByteArray, Page> pages;
    QList<QByteArray> requests;

private:
    void answer(QTcpSocket* socket)
    {
        QByteArray& buffer = m_buffers[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n")) {
            return;
        }
        const QList<QByteArray> requestLine = buffer.left(buffer.indexOf("\r\n")).split(' ');
        const QByteArray path = requestLine.value(1);
        m_buffers.remove(socket);
        requests.append(path);

        const auto it = pages.find(path);
        const Page page = it != pages.end() ? it->second : Page{404, "text/plain", "Not here"};
        QByteArray reply = "HTTP/1.1 " + QByteArray::number(page.status) + (page.status == 200 ? " OK" : " Not Found") +
                           "\r\nContent-Type: " + page.contentType +
                           "\r\nContent-Length: " + QByteArray::number(page.body.size()) +
                           "\r\nConnection: close\r\n\r\n" + page.body;
        socket->write(reply);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_buffers;
};

class QtWebBrowserTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        printSystem = std::make_unique<SimPrintSystem>(m_dir.path());
        browser = std::make_unique<QtWebBrowser>(*printSystem);
        QObject::connect(browser.get(), &WebBrowser::StatusTextChange, browser.get(),
                         [this](const QString& text) { statusTexts.append(text); });
        ASSERT_TRUE(server.listen());
        server.pages["/a"] = {200, "text/html; charset=utf-8",
                              "<html><body><p>Page A</p><a href=\"/b\">to b</a></body></html>"};
        server.pages["/b"] = {200, "text/html; charset=utf-8",
                              "<html><body><p>Page B \xc3\xa9t\xc3\xa9</p></body></html>"};
        server.pages["/plain"] = {200, "text/plain", "<b>not bold</b>"};
    }

    // Navigates and waits until the page has been shown.
    bool go(const QString& address)
    {
        browser->Navigate2(address);
        return settle();
    }
    bool settle()
    {
        return waitFor([&] { return !browser->isLoading(); });
    }
    QString shown() const { return browser->view()->toPlainText(); }

    std::unique_ptr<PrintSystem> printSystem;
    std::unique_ptr<QtWebBrowser> browser;
    PageServer server;
    QStringList statusTexts;
    QTemporaryDir m_dir;
};

TEST_F(QtWebBrowserTest, Navigate_WebPage_ShowsItWithStatusTextsInOrder)
{
    ASSERT_TRUE(go(server.url(QStringLiteral("/a"))));
    EXPECT_TRUE(shown().contains(QStringLiteral("Page A")));
    EXPECT_EQ(browser->LocationURL(), server.url(QStringLiteral("/a")));
    EXPECT_EQ(server.requests, QList<QByteArray>{"/a"});

    ASSERT_FALSE(statusTexts.isEmpty());
    EXPECT_EQ(statusTexts.constFirst(), QStringLiteral("Finding site: 127.0.0.1"));
    const qsizetype waiting = statusTexts.indexOf(WebBrowser::waitingForReplyStatusText());
    ASSERT_GE(waiting, 0);
    EXPECT_EQ(statusTexts.constLast(), QStringLiteral("Done"));
    EXPECT_FALSE(statusTexts.contains(WebBrowser::dnsErrorStatusText()));
}

TEST_F(QtWebBrowserTest, BackAndForward_TwoPages_WalkTheHistory)
{
    ASSERT_TRUE(go(server.url(QStringLiteral("/a"))));
    ASSERT_TRUE(go(server.url(QStringLiteral("/b"))));
    EXPECT_TRUE(shown().contains(QStringLiteral("Page B \u00e9t\u00e9")));

    browser->GoBack();
    ASSERT_TRUE(settle());
    EXPECT_TRUE(shown().contains(QStringLiteral("Page A")));
    EXPECT_EQ(browser->LocationURL(), server.url(QStringLiteral("/a")));

    // At the start of the history back does nothing.
    browser->GoBack();
    EXPECT_FALSE(browser->isLoading());
    EXPECT_EQ(browser->LocationURL(), server.url(QStringLiteral("/a")));

    browser->GoForward();
    ASSERT_TRUE(settle());
    EXPECT_TRUE(shown().contains(QStringLiteral("Page B")));
    EXPECT_EQ(server.requests, (QList<QByteArray>{"/a", "/b", "/a", "/b"}));
}

TEST_F(QtWebBrowserTest, Link_Clicked_FollowsRelativeAddress)
{
    ASSERT_TRUE(go(server.url(QStringLiteral("/a"))));
    Q_EMIT browser->view()->anchorClicked(QUrl(QStringLiteral("/b")));
    ASSERT_TRUE(settle());
    EXPECT_EQ(browser->LocationURL(), server.url(QStringLiteral("/b")));
    EXPECT_TRUE(browser->canGoBack());
}

TEST_F(QtWebBrowserTest, Navigate_MissingPageAndPlainText_ShowTheServersAnswer)
{
    bool ok = true;
    QObject::connect(browser.get(), &QtWebBrowser::loadFinished, browser.get(), [&](bool result) { ok = result; });
    ASSERT_TRUE(go(server.url(QStringLiteral("/missing"))));
    EXPECT_FALSE(ok);
    EXPECT_TRUE(shown().contains(QStringLiteral("Not here")));

    ASSERT_TRUE(go(server.url(QStringLiteral("/plain"))));
    EXPECT_TRUE(ok);
    EXPECT_EQ(shown(), QStringLiteral("<b>not bold</b>"));
}

TEST_F(QtWebBrowserTest, Navigate_NothingListening_ShowsErrorPageWithoutDnsStatus)
{
    // A port that was free a moment ago: the connection is refused at once.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();

    ASSERT_TRUE(go(QStringLiteral("http://127.0.0.1:%1/x").arg(port)));
    EXPECT_TRUE(shown().contains(QStringLiteral("The page cannot be displayed")));
    EXPECT_FALSE(statusTexts.contains(WebBrowser::dnsErrorStatusText()));
    EXPECT_FALSE(statusTexts.contains(WebBrowser::waitingForReplyStatusText()));
    EXPECT_EQ(statusTexts.constLast(), QStringLiteral("Done"));
}

TEST_F(QtWebBrowserTest, Navigate_Twice_OnlyTheLatestPageIsShown)
{
    browser->Navigate2(server.url(QStringLiteral("/a")));
    browser->Navigate2(server.url(QStringLiteral("/b")));
    ASSERT_TRUE(settle());
    EXPECT_TRUE(shown().contains(QStringLiteral("Page B")));
    EXPECT_FALSE(shown().contains(QStringLiteral("Page A")));
}

// The address of the link shown with the given text, as the page carries it.
QString linkOf(const QTextDocument& document, const QString& text)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().isAnchor() && fragment.text() == text) {
                return fragment.charFormat().anchorHref();
            }
        }
    }
    return QString();
}

TEST_F(QtWebBrowserTest, NetworkPath_Server_ListsOnlyItsSharedPrinters)
{
    // A server named by host and port keeps the port in its links.
    for (const QString& name : {QStringLiteral("PS1"), QStringLiteral("print1.example:8631")}) {
        SCOPED_TRACE(name.toStdString());
        QString error;
        auto store = sim::SimPrintStore::create(m_dir.path(), name, name, &error);
        ASSERT_TRUE(store) << error.toStdString();
        sim::NewQueue sales;
        sales.name = QStringLiteral("Sales");
        sales.comment = QStringLiteral("Ground <floor>");
        sales.location = QStringLiteral("Room 1");
        ASSERT_TRUE(store->addQueue(sales).ok);
        sim::NewQueue hidden;
        hidden.name = QStringLiteral("Hidden");
        hidden.notShared = true;
        ASSERT_TRUE(store->addQueue(hidden).ok);
        sim::NewQueue renamed;
        renamed.name = QStringLiteral("Plotter");
        renamed.shareName = QStringLiteral("BigPlot");
        ASSERT_TRUE(store->addQueue(renamed).ok);

        ASSERT_TRUE(go(QStringLiteral("\\\\") + name));
        EXPECT_EQ(browser->LocationURL(), QStringLiteral("file://") + name + QLatin1Char('/'));
        const QString text = shown();
        EXPECT_TRUE(text.contains(QStringLiteral("\\\\") + name));
        EXPECT_TRUE(text.contains(QStringLiteral("Sales")));
        EXPECT_TRUE(text.contains(QStringLiteral("Ground <floor>"))) << "text is shown as text, not markup";
        EXPECT_TRUE(text.contains(QStringLiteral("BigPlot")));
        EXPECT_FALSE(text.contains(QStringLiteral("Hidden")));
        EXPECT_FALSE(text.contains(QStringLiteral("Plotter")));

        // The page's own link to a shared printer shows its details.
        const QString link = linkOf(*browser->view()->document(), QStringLiteral("Sales"));
        ASSERT_FALSE(link.isEmpty());
        Q_EMIT browser->view()->anchorClicked(QUrl(link));
        ASSERT_TRUE(settle());
        EXPECT_EQ(browser->lastAddress(), QStringLiteral("\\\\") + name + QStringLiteral("\\Sales"));
        EXPECT_TRUE(shown().contains(QStringLiteral("Room 1")));
    }
}

// A print system whose every connection fails with the given reason.
class FailingPrintSystem final : public PrintSystem
{
public:
    explicit FailingPrintSystem(QString reason)
        : m_reason(std::move(reason))
    {}
    std::unique_ptr<PrintServer> connect(const QString&, QString* error = nullptr) override
    {
        if (error) {
            *error = m_reason;
        }
        return nullptr;
    }
    void setPasswordPrompt(PasswordPrompt) override {}

private:
    QString m_reason;
};

TEST_F(QtWebBrowserTest, NetworkPath_NoNameOrUnknownServer_ShowsWhyNot)
{
    ASSERT_TRUE(go(QStringLiteral("\\\\")));
    EXPECT_TRUE(shown().contains(QStringLiteral("The network path was not found.")));
    EXPECT_EQ(browser->LocationURL(), QStringLiteral("file:///"));

    ASSERT_TRUE(go(QStringLiteral("\\\\NOPE")));
    EXPECT_TRUE(shown().contains(QStringLiteral("\\\\NOPE is not accessible.")));

    // A reason of "no error" is no reason to show.
    struct Case
    {
        QString reason;
        QString shownReason;
    };
    const Case cases[] = {
        {QStringLiteral("Success"), QStringLiteral("The server did not answer.")},
        {QStringLiteral("The print server \"PS9\" cannot be reached: Success"),
         QStringLiteral("The print server \"PS9\" cannot be reached.")},
        {QStringLiteral("Connection refused"), QStringLiteral("Connection refused")},
    };
    for (const Case& c : cases) {
        FailingPrintSystem failing(c.reason);
        QtWebBrowser view(failing);
        view.Navigate2(QStringLiteral("\\\\PS9"));
        ASSERT_TRUE(waitFor([&] { return !view.isLoading(); }));
        const QString text = view.view()->toPlainText();
        EXPECT_TRUE(text.contains(QStringLiteral("\\\\PS9 is not accessible."))) << text.toStdString();
        EXPECT_TRUE(text.contains(c.shownReason)) << text.toStdString();
        EXPECT_FALSE(text.contains(QStringLiteral("Success"))) << text.toStdString();
    }
}

} // namespace
} // namespace hlv::test
