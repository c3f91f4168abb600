#include "console/ui/CommandLine.h"

namespace hlv {

QStringList splitCommandLine(const QString& text, int maxArgs)
{
    QStringList args;
    bool open = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\t')) {
            open = false;
            continue;
        }
        if (!open) {
            if (args.size() >= maxArgs) {
                break;
            }
            args.append(QString());
            open = true;
        }
        args.last().append(c);
    }
    return args;
}

CommandArgument classifyArgument(const QString& argument)
{
    struct Entry
    {
        const char* text;
        CommandSwitch kind;
        const char* style;
    };
    static constexpr Entry kSwitches[] = {
        {"rpt:Printer", CommandSwitch::PrinterReport, ""},
        {"rpt:Server", CommandSwitch::ServerReport, ""},
        {"rpt:Fav", CommandSwitch::FavouritesReport, ""},
        {"menu:Full", CommandSwitch::MenuStyle, "Full Menu"},
        {"menu:Classic", CommandSwitch::MenuStyle, "Classic Menu"},
        {"menu:Simple", CommandSwitch::MenuStyle, "Simple Menu"},
        {"menu:Help", CommandSwitch::MenuStyle, "Help Menu"},
        {"menu:No", CommandSwitch::MenuStyle, "No Menu"},
        {"?", CommandSwitch::Help, ""},
    };
    for (const Entry& e : kSwitches) {
        if (argument == QLatin1String(e.text)) {
            return {e.kind, QString::fromLatin1(e.style)};
        }
    }
    return {CommandSwitch::Server, QString()};
}

} // namespace hlv
