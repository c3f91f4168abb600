#pragma once

#include <functional>
#include <optional>

#include <QString>

namespace hlv {

// The five menu styles; any other text (letter case included) applies as "Full Menu".
namespace MenuStyles {
inline const QString Full = QStringLiteral("Full Menu");
inline const QString Classic = QStringLiteral("Classic Menu");
inline const QString Simple = QStringLiteral("Simple Menu");
inline const QString Help = QStringLiteral("Help Menu");
inline const QString None = QStringLiteral("No Menu");
} // namespace MenuStyles

// The style that a text applies: itself when it is one of the five, otherwise "Full Menu".
QString effectiveMenuStyle(const QString& style);

// Which menus a style shows (true), hides (false) or leaves as they are (nullopt). Items of
// a hidden top-level menu are left as they are.
struct MenuVisibility
{
    std::optional<bool> menufile, mnuNew, mnuseparator3, mnuOptions, mnuseparator4, mnuseparator5;
    std::optional<bool> mnuPanels, menuJobs, menuPrinter;
    std::optional<bool> mnuFavourites, mnuFavToolsSep, mnuImportFav, mnuExportFav;
    std::optional<bool> mnuReports, MenuStatistics, mnuSearch, mnuHelpTop, mnuMenu;
};

struct MenuStyleInput
{
    QString style;
    bool showServerView = false;  // the ServerView command is offered
    bool favouritesInUse = false; // favourite slot 0 is in use
    // Asked only by the two styles that offer "Show Full Menu" to administrators.
    std::function<bool()> userIsAdmin;
};

MenuVisibility menuVisibility(const MenuStyleInput& in);

} // namespace hlv
