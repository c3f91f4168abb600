#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QWidget;

namespace hlv {

// The embedded browser of the network and updates panels. The program uses QtWebBrowser;
// this base is the stand-in tests get by default: it keeps the history of the addresses
// it was sent to (so back, forward and the location work) and loads nothing.
//
// An address of two backslashes and a computer name stands for that computer's shares;
// its location is "file://" & name & "/", as the browser reports a network path.
class WebBrowser : public QObject
{
    Q_OBJECT

public:
    // Status texts the browser reports while it loads a page: the host name did not
    // resolve, and the server took the request.
    static QString dnsErrorStatusText()
    {
        return QStringLiteral("Downloading from site: res://C:\\WINDOWS\\System32\\shdoclc.dll/dnserror.htm");
    }
    static QString waitingForReplyStatusText() { return QStringLiteral("Web site found. Waiting for reply..."); }

    ~WebBrowser() override = default;

    virtual void Navigate2(const QString& address)
    {
        m_history = m_history.mid(0, m_current + 1);
        m_history.append(address);
        m_current = m_history.size() - 1;
        m_lastAddress = address;
        load(address);
    }
    // Back and forward do nothing at either end of the history.
    virtual void GoBack()
    {
        if (m_current > 0) {
            load(m_history.at(--m_current));
        }
    }
    virtual void GoForward()
    {
        if (m_current + 1 < m_history.size()) {
            load(m_history.at(++m_current));
        }
    }
    // The address of the page shown, as the browser reports it; empty before the first.
    virtual QString LocationURL() const { return m_current < 0 ? QString() : locationOf(m_history.at(m_current)); }
    // The widget to place in the panel, or nullptr for none.
    virtual QWidget* widget() { return nullptr; }

    // The address last given to Navigate2.
    QString lastAddress() const { return m_lastAddress; }
    bool canGoBack() const { return m_current > 0; }
    bool canGoForward() const { return m_current + 1 < m_history.size(); }

    // The location of an address: a network path "\\name" or "\\name\share" becomes
    // "file://name/" or "file://name/share"; anything else stays as it is.
    static QString locationOf(const QString& address)
    {
        if (!address.startsWith(QStringLiteral("\\\\"))) {
            return address;
        }
        QString path = address.mid(2);
        path.replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (!path.contains(QLatin1Char('/'))) {
            path += QLatin1Char('/');
        }
        return QStringLiteral("file://") + path;
    }

Q_SIGNALS:
    // The browser's status text changed.
    void StatusTextChange(const QString& Text);

protected:
    // Shows the page of an address of the history; the stand-in shows nothing.
    virtual void load(const QString& address) { Q_UNUSED(address); }

private:
    QStringList m_history;
    qsizetype m_current = -1;
    QString m_lastAddress;
};

} // namespace hlv
