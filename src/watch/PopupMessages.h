#pragma once

#include <QObject>
#include <QString>

namespace hlv {

class Environment;

// Popup messages to a person at a computer, the two ways the watch program sends each one:
// a popup to the named computer, and a message to every session on that computer. Both are
// started and not waited for; whether they arrive is never known.
class PopupMessages
{
public:
    virtual ~PopupMessages() = default;
    // A popup window on the named computer ("net send COMPUTER text").
    virtual void netSend(const QString& computer, const QString& text) = 0;
    // A message to every session on the named computer ("Msg.exe * /SERVER:COMPUTER text").
    virtual void msgAllSessions(const QString& computer, const QString& text) = 0;
};

// The Linux commands behind the two kinds of popup:
//   netSend        -> notify-send "Halvern Watch" TEXT   (a desktop notification)
//   msgAllSessions -> wall, with TEXT on its standard input (every terminal session)
// Both reach only this computer: a computer name that is not this computer's (its host
// name, COMPUTERNAME, "localhost", "127.0.0.1", "::1" or ".", letters compared without case)
// has no Linux command that would reach it, and the message is skipped with one line on
// stderr. A command that is not installed is skipped the same way. The text is handed over
// as an argument or on stdin, never through a shell, so no text can run a command.
// notify-send reads its body as markup with backslash escapes, so the text goes to it with
// "&", "<", ">" and "\" escaped and shows as typed; wall gets the text's CR LF and lone CR
// line ends as plain LF.
class LinuxPopupMessages final : public PopupMessages
{
public:
    explicit LinuxPopupMessages(const Environment& environment);
    ~LinuxPopupMessages() override;

    void netSend(const QString& computer, const QString& text) override;
    void msgAllSessions(const QString& computer, const QString& text) override;

    bool isThisComputer(const QString& computer) const;
    // The text as notify-send's body and as wall's input.
    static QString notificationBody(const QString& text);
    static QByteArray wallInput(const QString& text);
    // Commands started and not yet ended.
    int runningCommands() const { return static_cast<int>(m_processes.children().size()); }

private:
    void run(const QString& program, const QStringList& arguments, const QByteArray& input);

    const Environment& m_environment;
    QObject m_processes; // owns the commands still running
};

} // namespace hlv
