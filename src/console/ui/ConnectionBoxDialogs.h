#pragma once

#include <optional>

#include "platform/Dialogs.h"

namespace hlv {

// The live view's boxes. Its one box that nothing waits for tells that the server cannot be
// reached; a failed server reports that again and again (the monitor tries once more, the
// start-up and the first reading both fail), and before the main window is on screen the
// box would open under it, its OK button hidden. So the box opens once per failure (until
// clear(): the server connected again, or another one was searched), and not before the
// main window is shown: then it opens over it. Every other call goes to the inner dialogs.
class ConnectionBoxDialogs final : public ForwardingDialogs
{
public:
    using ForwardingDialogs::ForwardingDialogs;

    void showMessage(const QString& text, int style, const QString& title) override
    {
        if (m_told || m_waiting) {
            return;
        }
        m_waiting = Box{text, style, title};
        showWaiting();
    }

    // The main window is on screen: a box held back opens now.
    void ownerShown()
    {
        m_ownerShown = true;
        showWaiting();
    }
    // The failure is over: the next one is told again.
    void clear()
    {
        m_told = false;
        m_waiting.reset();
    }

private:
    struct Box
    {
        QString text;
        int style = 0;
        QString title;
    };

    void showWaiting()
    {
        if (!m_ownerShown || !m_waiting) {
            return;
        }
        const Box box = *m_waiting;
        m_waiting.reset();
        m_told = true;
        inner().showMessage(box.text, box.style, box.title);
    }

    std::optional<Box> m_waiting;
    bool m_told = false;
    bool m_ownerShown = false;
};

} // namespace hlv
