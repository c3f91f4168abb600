// The menu styles and the administrator test. A restricted style hides menus from operators
// who may only watch; an administrator gets "Show Full Menu" back in the two tightest ones.
#include <QAction>
#include <QMenu>

#include "console/ui/ConsoleContext.h"
#include "console/ui/FrmMain.h"
#include "console/ui/MenuStyle.h"

namespace hlv {

bool FrmMain::UserIsAdmin()
{
    // The test itself (membership of the administrators group, one level of nesting, names
    // compared ignoring case) lives with the accounts; an unreadable group counts as no.
    return m_ctx.userIsAdmin && m_ctx.userIsAdmin();
}

void FrmMain::SwSimpleView(QString TempView)
{
    // The setting is only read here: a style given for this run leaves it as it is.
    if (TempView.isEmpty()) {
        TempView = m_settings.SimpleView;
    }
    MenuStyleInput in;
    in.style = TempView;
    in.showServerView = readBoolean(m_settings.ShowServerView) == std::optional<bool>(true);
    // Export is offered with the full set only while the first favourite slot is in use.
    in.favouritesInUse = mnuFav[0]->isVisible();
    in.userIsAdmin = [this] {
        return UserIsAdmin();
    };
    const MenuVisibility v = menuVisibility(in);

    const auto apply = [](QAction* action, const std::optional<bool>& visible) {
        if (action && visible) {
            action->setVisible(*visible);
        }
    };
    apply(mnuMenu, v.mnuMenu);
    apply(menufile->menuAction(), v.menufile);
    apply(mnuNew, v.mnuNew);
    apply(mnuseparator3, v.mnuseparator3);
    apply(mnuOptions, v.mnuOptions);
    apply(mnuseparator4, v.mnuseparator4);
    apply(mnuseparator5, v.mnuseparator5);
    apply(mnuPanels->menuAction(), v.mnuPanels);
    apply(menuJobs->menuAction(), v.menuJobs);
    apply(menuPrinter->menuAction(), v.menuPrinter);
    apply(mnuFavourites->menuAction(), v.mnuFavourites);
    apply(mnuFavToolsSep, v.mnuFavToolsSep);
    apply(mnuImportFav, v.mnuImportFav);
    apply(mnuExportFav, v.mnuExportFav);
    apply(mnuReports->menuAction(), v.mnuReports);
    apply(MenuStatistics, v.MenuStatistics);
    apply(mnuSearch, v.mnuSearch);
    apply(mnuHelpTop->menuAction(), v.mnuHelpTop);
    update();
}

void FrmMain::mnuMenu_Click()
{
    // The full menu for the rest of this run; the stored style returns at the next start.
    SwSimpleView(MenuStyles::Full);
}

} // namespace hlv
