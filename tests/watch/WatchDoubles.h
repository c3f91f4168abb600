#pragma once

#include <functional>

#include <QList>
#include <QString>

#include "watch/PopupMessages.h"
#include "watch/TrayIcon.h"

namespace hlv::test {

// Records every popup instead of running a command.
class RecordingPopupMessages final : public PopupMessages
{
public:
    struct Popup
    {
        QString kind; // "net send" or "msg"
        QString computer;
        QString text;
    };
    QList<Popup> sent;
    // Runs as each popup goes out, so a test can look at what was written before it.
    std::function<void()> onSend;

    void netSend(const QString& computer, const QString& text) override
    {
        sent.append({QStringLiteral("net send"), computer, text});
        if (onSend) {
            onSend();
        }
    }
    void msgAllSessions(const QString& computer, const QString& text) override
    {
        sent.append({QStringLiteral("msg"), computer, text});
        if (onSend) {
            onSend();
        }
    }
};

// A notification area that is there (or not) as the test says, with a mouse the test moves.
class FakeTrayIcon final : public TrayIcon
{
public:
    bool available = true;
    int added = 0;
    int removed = 0;
    bool visible = false;
    QString tip;
    QMenu* menu = nullptr;
    std::function<void(int)> onMouse;

    bool isAvailable() const override { return available; }
    void add(const QIcon&, const QString& tipText, QMenu* popup, std::function<void(int)> mouse) override
    {
        ++added;
        visible = true;
        tip = tipText;
        menu = popup;
        onMouse = std::move(mouse);
    }
    void remove() override
    {
        ++removed;
        visible = false;
    }
    void setToolTip(const QString& tipText) override
    {
        if (visible) {
            tip = tipText;
        }
    }
    void click(int code)
    {
        if (onMouse) {
            onMouse(code);
        }
    }
};

} // namespace hlv::test
