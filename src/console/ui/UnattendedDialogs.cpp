#include "console/ui/UnattendedDialogs.h"

#include "console/ui/CommandLine.h"

namespace hlv {

bool runsUnattended(const QString& commandLine)
{
    for (const QString& arg : splitCommandLine(commandLine)) {
        switch (classifyArgument(arg).kind) {
        case CommandSwitch::PrinterReport:
        case CommandSwitch::ServerReport:
        case CommandSwitch::FavouritesReport:
            return true;
        case CommandSwitch::MenuStyle:
        case CommandSwitch::Help:
        case CommandSwitch::Server:
            break;
        }
    }
    return false;
}

int UnattendedDialogs::unansweredResult(int style)
{
    switch (style & 0xF) {
    case MsgBoxStyle::OkCancel:
    case MsgBoxStyle::YesNoCancel:
    case MsgBoxStyle::RetryCancel:
        return MsgBoxResult::Cancel;
    case MsgBoxStyle::AbortRetryIgnore:
        return MsgBoxResult::Abort;
    case MsgBoxStyle::YesNo:
        return MsgBoxResult::No;
    default:
        return MsgBoxResult::Ok;
    }
}

void UnattendedDialogs::report(const QString& title, const QString& text)
{
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(m_errors, "hlv: %s: %s\n", qUtf8Printable(title), qUtf8Printable(line));
    std::fflush(m_errors);
}

int UnattendedDialogs::msgBox(const QString& text, int style, const QString& title)
{
    if (!m_unattended) {
        return m_inner.msgBox(text, style, title);
    }
    report(title, text);
    return unansweredResult(style);
}

QString UnattendedDialogs::inputBox(const QString& prompt, const QString& title, const QString& defaultText)
{
    if (!m_unattended) {
        return m_inner.inputBox(prompt, title, defaultText);
    }
    report(title, prompt);
    return {};
}

std::optional<QString> UnattendedDialogs::passwordBox(const QString& prompt, const QString& title)
{
    if (!m_unattended) {
        return m_inner.passwordBox(prompt, title);
    }
    report(title, prompt);
    return std::nullopt;
}

QString UnattendedDialogs::openFileName(const QString& title, const QString& folder, const QString& filter)
{
    return m_unattended ? QString() : m_inner.openFileName(title, folder, filter);
}

QString UnattendedDialogs::saveFileName(const QString& title, const QString& folder, const QString& filter)
{
    return m_unattended ? QString() : m_inner.saveFileName(title, folder, filter);
}

QString UnattendedDialogs::folderName(const QString& title, const QString& folder)
{
    return m_unattended ? QString() : m_inner.folderName(title, folder);
}

void UnattendedDialogs::showMessage(const QString& text, int style, const QString& title)
{
    if (!m_unattended) {
        m_inner.showMessage(text, style, title);
        return;
    }
    report(title, text);
}

QString UnattendedDialogs::appendFileName(const QString& title, const QString& folder, const QString& filter)
{
    return m_unattended ? QString() : m_inner.appendFileName(title, folder, filter);
}

} // namespace hlv
