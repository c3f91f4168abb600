#include "console/ui/MenuStyle.h"

namespace hlv {

QString effectiveMenuStyle(const QString& style)
{
    for (const QString& known :
         {MenuStyles::Full, MenuStyles::Classic, MenuStyles::Simple, MenuStyles::Help, MenuStyles::None}) {
        if (style == known) {
            return known;
        }
    }
    return MenuStyles::Full;
}

MenuVisibility menuVisibility(const MenuStyleInput& in)
{
    const QString style = effectiveMenuStyle(in.style);
    MenuVisibility v;

    // Every style starts from the full set; "Show Full Menu" is offered only below.
    v.mnuMenu = false;
    v.menufile = v.mnuseparator4 = v.menuJobs = v.mnuReports = v.mnuImportFav = v.mnuPanels = true;
    if (in.showServerView) {
        v.mnuSearch = true;
    }
    if (in.favouritesInUse) {
        v.mnuExportFav = true;
    }
    v.mnuFavToolsSep = v.menuPrinter = v.mnuNew = v.mnuseparator3 = v.mnuHelpTop = v.MenuStatistics = true;
    v.mnuFavourites = v.mnuOptions = v.mnuseparator5 = true;

    const auto offerFullMenu = [&in, &v] {
        if (in.userIsAdmin && in.userIsAdmin()) {
            v.mnuMenu = true;
        }
    };
    if (style == MenuStyles::Classic) {
        v.menuJobs = v.mnuImportFav = v.mnuExportFav = v.mnuFavToolsSep = v.menuPrinter = v.mnuseparator4 = false;
    } else if (style == MenuStyles::Simple) {
        v.menufile = true;
        v.mnuNew = v.mnuseparator3 = v.mnuseparator4 = v.menuJobs = v.mnuImportFav = v.mnuExportFav = false;
        v.mnuReports = v.mnuPanels = v.mnuFavToolsSep = v.menuPrinter = false;
    } else if (style == MenuStyles::Help) {
        v.menufile = v.mnuPanels = v.menuJobs = v.menuPrinter = v.mnuFavourites = v.mnuReports = false;
        v.MenuStatistics = v.mnuSearch = false;
        offerFullMenu();
    } else if (style == MenuStyles::None) {
        v.menufile = v.mnuPanels = v.menuJobs = v.menuPrinter = v.mnuFavourites = v.mnuSearch = false;
        v.mnuReports = v.mnuHelpTop = v.MenuStatistics = false;
        offerFullMenu();
    }
    return v;
}

} // namespace hlv
