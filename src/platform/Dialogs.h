#pragma once

#include <optional>

#include <QString>
#include <QStringList>

namespace hlv {

// Message boxes, input boxes and file dialogs. Answers use the classic codes, styles are
// the sum of a button set and an icon (e.g. 16 = critical icon with OK, 20 = Yes/No with
// the critical icon, 48 = exclamation icon with OK, 64 = information icon with OK).
// The Qt implementation opens real dialogs; tests use a scripted double that records
// every box and answers from a queue, because a modal box blocks forever headless.
namespace MsgBoxResult {
constexpr int Ok = 1;
constexpr int Cancel = 2;
constexpr int Abort = 3;
constexpr int Retry = 4;
constexpr int Ignore = 5;
constexpr int Yes = 6;
constexpr int No = 7;
} // namespace MsgBoxResult

namespace MsgBoxStyle {
constexpr int OkOnly = 0;
constexpr int OkCancel = 1;
constexpr int AbortRetryIgnore = 2;
constexpr int YesNoCancel = 3;
constexpr int YesNo = 4;
constexpr int RetryCancel = 5;
constexpr int Critical = 16;
constexpr int Question = 32;
constexpr int Exclamation = 48;
constexpr int Information = 64;
} // namespace MsgBoxStyle

class Dialogs
{
public:
    virtual ~Dialogs() = default;
    virtual int msgBox(const QString& text, int style, const QString& title) = 0;
    // Returns the entered text; an empty text when the operator cancels.
    virtual QString inputBox(const QString& prompt, const QString& title, const QString& defaultText = {}) = 0;
    // File dialogs return the chosen path, or an empty text when cancelled.
    virtual QString openFileName(const QString& title, const QString& folder, const QString& filter) = 0;
    virtual QString saveFileName(const QString& title, const QString& folder, const QString& filter) = 0;
    virtual QString folderName(const QString& title, const QString& folder) = 0;

    // A message box with an OK button that nothing waits for: it returns at once and the
    // box stays until the operator closes it. For code that must not stop, such as a
    // socket's or a monitor's event handler.
    virtual void showMessage(const QString& text, int style, const QString& title) { msgBox(text, style, title); }
    // A box asking for a password, its text hidden as it is typed; nothing when the operator
    // cancels. Only an operator's own action may ask: without a box of its own a program has
    // no password to give.
    virtual std::optional<QString> passwordBox(const QString& prompt, const QString& title)
    {
        Q_UNUSED(prompt);
        Q_UNUSED(title);
        return std::nullopt;
    }
    // A save dialog for a file that is only ever appended to: choosing an existing file
    // asks no question about replacing it.
    virtual QString appendFileName(const QString& title, const QString& folder, const QString& filter)
    {
        return saveFileName(title, folder, filter);
    }
};

// Passes every box on to other dialogs: a wrapper overrides only the boxes it changes.
class ForwardingDialogs : public Dialogs
{
public:
    explicit ForwardingDialogs(Dialogs& inner)
        : m_inner(inner)
    {}
    int msgBox(const QString& text, int style, const QString& title) override
    {
        return m_inner.msgBox(text, style, title);
    }
    QString inputBox(const QString& prompt, const QString& title, const QString& defaultText = {}) override
    {
        return m_inner.inputBox(prompt, title, defaultText);
    }
    QString openFileName(const QString& title, const QString& folder, const QString& filter) override
    {
        return m_inner.openFileName(title, folder, filter);
    }
    QString saveFileName(const QString& title, const QString& folder, const QString& filter) override
    {
        return m_inner.saveFileName(title, folder, filter);
    }
    QString folderName(const QString& title, const QString& folder) override
    {
        return m_inner.folderName(title, folder);
    }
    void showMessage(const QString& text, int style, const QString& title) override
    {
        m_inner.showMessage(text, style, title);
    }
    std::optional<QString> passwordBox(const QString& prompt, const QString& title) override
    {
        return m_inner.passwordBox(prompt, title);
    }
    QString appendFileName(const QString& title, const QString& folder, const QString& filter) override
    {
        return m_inner.appendFileName(title, folder, filter);
    }

protected:
    Dialogs& inner() { return m_inner; }

private:
    Dialogs& m_inner;
};

} // namespace hlv
