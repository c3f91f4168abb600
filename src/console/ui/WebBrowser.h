#pragma once

#include <QString>

class QWidget;

namespace hlv {

// The embedded browser of the network and updates panels. Until the real one is built the
// window holds this stand-in, which only remembers where it was sent, so start-up and the
// server search can already navigate it.
class WebBrowser
{
public:
    virtual ~WebBrowser() = default;
    virtual void Navigate2(const QString& address) { m_lastAddress = address; }
    // The widget to place in the panel, or nullptr for none.
    virtual QWidget* widget() { return nullptr; }
    QString lastAddress() const { return m_lastAddress; }

private:
    QString m_lastAddress;
};

} // namespace hlv
