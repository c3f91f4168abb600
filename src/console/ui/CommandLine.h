#pragma once

#include <QString>
#include <QStringList>

namespace hlv {

// The console's command line. An argument is a run of characters between "/" and tab
// characters; a blank is no separator and belongs to the argument it stands in. So
// "/rpt:Printer /menu:Full" holds the arguments "rpt:Printer " and "menu:Full", and
// "//menu:No" holds one argument.
constexpr int kDefaultMaxArgs = 10;

// The arguments of the text, at most maxArgs; the text after the point where one more
// argument would begin is ignored.
QStringList splitCommandLine(const QString& text, int maxArgs = kDefaultMaxArgs);

// What an argument asks for. Switches are compared exactly, letter case and blanks
// included; any other argument is a print server name.
enum class CommandSwitch {
    PrinterReport,    // "rpt:Printer"
    ServerReport,     // "rpt:Server"
    FavouritesReport, // "rpt:Fav"
    MenuStyle,        // "menu:Full", "menu:Classic", "menu:Simple", "menu:Help", "menu:No"
    Help,             // "?"
    Server,           // anything else
};

struct CommandArgument
{
    CommandSwitch kind = CommandSwitch::Server;
    QString menuStyle; // for MenuStyle: the style's name, e.g. "Simple Menu"
};

CommandArgument classifyArgument(const QString& argument);

} // namespace hlv
