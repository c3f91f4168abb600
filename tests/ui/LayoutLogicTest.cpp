#include <gtest/gtest.h>

#include "console/ui/CommandLine.h"
#include "console/ui/FavouriteCaption.h"
#include "console/ui/MenuStyle.h"
#include "console/ui/PanelLayout.h"

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace hlv {
namespace {

// ---------------------------------------------------------------------------------------
// Panel layout

PanelLayoutInput window(int innerWidth = 15000, int innerHeight = 9000)
{
    PanelLayoutInput in;
    in.innerWidth = innerWidth;
    in.innerHeight = innerHeight;
    in.outerWidth = innerWidth;
    in.outerHeight = innerHeight + 300;
    return in;
}

TEST(PanelLayout, SnapWindowSize_BelowMinimum_RaisedToMinimumOnlyWhereBelow)
{
    EXPECT_EQ(snapWindowSize({100, 100}), (WindowSize{8150, 3800}));
    EXPECT_EQ(snapWindowSize({8149, 3799}), (WindowSize{8150, 3800}));
    EXPECT_EQ(snapWindowSize({8150, 3800}), (WindowSize{8150, 3800}));
    EXPECT_EQ(snapWindowSize({9000, 100}), (WindowSize{9000, 3800}));
    EXPECT_EQ(snapWindowSize({100, 5000}), (WindowSize{8150, 5000}));
}

TEST(PanelLayout, JobListTop_ByVisiblePanels)
{
    struct Case
    {
        const char* name;
        PanelVisibility visible;
        int printQueueTop;
        int queueInfoTop;
        int jobListTop;
    };
    const Case cases[] = {
        // Nothing visible: the job list starts at the queue information's place, which is
        // the print queue box's top when that box is hidden.
        {"none", {}, 0, 0, 0},
        {"none, print queue box lower", {}, 240, 240, 240},
        {"print queue box only", {.printQueue = true}, 0, 1155, 1155},
        {"print queue box and information", {.printQueue = true, .queueInfo = true}, 0, 1155, 1155 + 1500 + 100},
        {"information only", {.queueInfo = true}, 0, 0, 1600},
        {"queue control", {.queueControl = true}, 0, 0, 2760},
        {"favourites", {.favourites = true}, 0, 0, 2760},
        {"network", {.server = true}, 0, 0, 2760},
        {"updates", {.online = true}, 0, 0, 2760},
        {"information and updates", {.queueInfo = true, .online = true}, 0, 0, 2760},
    };
    for (const Case& c : cases) {
        PanelLayoutInput in = window();
        in.visible = c.visible;
        in.printQueueTop = c.printQueueTop;
        const PanelLayoutResult out = computePanelLayout(in);
        EXPECT_EQ(out.queueInfoTop, c.queueInfoTop) << c.name;
        EXPECT_EQ(out.jobListTop, c.jobListTop) << c.name;
    }
}

TEST(PanelLayout, JobListSize_FillsClientAboveStatusBarWithEqualMargins)
{
    PanelLayoutInput in = window(15000, 9000);
    in.visible.queueControl = true;
    PanelLayoutResult out = computePanelLayout(in);
    EXPECT_EQ(out.jobListHeight, 9000 - 2760 - 270);
    EXPECT_EQ(out.jobListWidth, 15000 - 240);

    in.visible.statusBar = false;
    out = computePanelLayout(in);
    EXPECT_EQ(out.jobListHeight, 9000 - 2760);

    // A window lower than the panels leaves a negative height, which the window refuses.
    in = window(8150, 2000);
    in.visible.queueControl = true;
    EXPECT_LT(computePanelLayout(in).jobListHeight, 0);
}

TEST(PanelLayout, TopRow_AllVisible_LinesUpFrom4320WithGapsAndNetworkFillsToUpdates)
{
    PanelLayoutInput in = window(15000);
    in.visible = {true, true, true, true, true, true, true};
    const PanelLayoutResult out = computePanelLayout(in);
    EXPECT_EQ(out.queueControlLeft, 4320);
    EXPECT_EQ(out.favouritesLeft, 4320 + 3495 + 100);
    EXPECT_EQ(out.serverLeft, 4320 + 3495 + 100 + 2010 + 100);
    EXPECT_EQ(out.onlineLeft, 15000 - 2010 - 100);
    EXPECT_EQ(out.serverWidth, out.onlineLeft - 100 - out.serverLeft);
    EXPECT_EQ(out.webServerWidth, out.serverWidth - 700);
}

TEST(PanelLayout, TopRow_HiddenPanelsCloseUp)
{
    struct Case
    {
        const char* name;
        PanelVisibility visible;
        int queueControlLeft, favouritesLeft, serverLeft, serverWidth, onlineLeft;
    };
    const int w = 15000;
    const Case cases[] = {
        // An empty left column lets the row start at the queue information's left.
        {"left column empty",
         {.queueControl = true, .favourites = true, .server = true},
         120,
         120 + 3495 + 100,
         120 + 3495 + 100 + 2010 + 100,
         w - (120 + 3495 + 100 + 2010 + 100) - 100,
         -1},
        {"print queue box alone keeps 4320",
         {.printQueue = true, .server = true},
         4320,
         4320,
         4320,
         w - 4320 - 100,
         -1},
        {"no queue control",
         {.queueInfo = true, .favourites = true, .server = true},
         4320,
         4320,
         4320 + 2010 + 100,
         w - (4320 + 2010 + 100) - 100,
         -1},
        // Network hidden, updates shown: updates takes the network's place, the network
        // panel's width returns to its design width.
        {"updates without network",
         {.queueInfo = true, .queueControl = true, .online = true},
         4320,
         4320 + 3495 + 100,
         4320 + 3495 + 100,
         4095,
         4320 + 3495 + 100},
    };
    for (const Case& c : cases) {
        PanelLayoutInput in = window(w);
        in.visible = c.visible;
        const PanelLayoutResult out = computePanelLayout(in);
        EXPECT_EQ(out.queueControlLeft, c.queueControlLeft) << c.name;
        EXPECT_EQ(out.favouritesLeft, c.favouritesLeft) << c.name;
        EXPECT_EQ(out.serverLeft, c.serverLeft) << c.name;
        EXPECT_EQ(out.serverWidth, c.serverWidth) << c.name;
        EXPECT_EQ(out.onlineLeft, c.onlineLeft) << c.name;
    }
}

TEST(PanelLayout, ServerView_CoversClientAreaAboveStatusBarListLeavesMargins)
{
    for (const bool statusBar : {true, false}) {
        PanelLayoutInput in = window(12000, 7000);
        in.visible.statusBar = statusBar;
        in.statusBarHeight = 330;
        in.searchListTop = 360;
        const PanelLayoutResult out = computePanelLayout(in);
        const int height = statusBar ? 7000 - 330 : 7000;
        EXPECT_EQ(out.searchFrameWidth, 12000);
        EXPECT_EQ(out.searchFrameHeight, height) << statusBar;
        EXPECT_EQ(out.searchListWidth, 12000 - 250);
        EXPECT_EQ(out.searchListHeight, height - 360 - 420) << statusBar;
    }
}

TEST(PanelLayout, HoverBorder_StrictlyInsideTheEdgeBand)
{
    struct Case
    {
        int x, y;
        bool border;
    };
    const Case cases[] = {{151, 151, true},   {150, 500, false}, {500, 150, false},  {1849, 500, true},
                          {1850, 500, false}, {500, 1349, true}, {500, 1350, false}, {0, 0, false}};
    for (const Case& c : cases) {
        EXPECT_EQ(hoverBorder(c.x, c.y, 2000, 1500), c.border) << c.x << "," << c.y;
    }
}

// ---------------------------------------------------------------------------------------
// Favourite captions and the favourites file

TEST(FavouriteCaption, Build_FourSixOrSevenFields)
{
    FavouriteSetup s;
    s.server = QStringLiteral("PS1");
    s.queue = QStringLiteral("Sales");
    EXPECT_EQ(buildFavouriteCaption(s), QStringLiteral("PS1 | Sales | AQ Off | AR Off"));

    // AutoActivate without AutoRelease adds nothing.
    s.autoActivate = true;
    s.autoQueue = true;
    EXPECT_EQ(buildFavouriteCaption(s), QStringLiteral("PS1 | Sales | AQ On | AR Off"));

    s.autoActivate = false;
    s.autoRelease = true;
    s.printJobs = true;
    s.releaseTime = QStringLiteral("5:00 PM");
    EXPECT_EQ(buildFavouriteCaption(s), QStringLiteral("PS1 | Sales | AQ On | AR On | Print | 5:00 PM"));

    s.printJobs = false;
    s.releaseTime = QStringLiteral("6:00 PM");
    s.autoActivate = true;
    EXPECT_EQ(buildFavouriteCaption(s), QStringLiteral("PS1 | Sales | AQ On | AR On | Delete | 6:00 PM | AA"));
}

TEST(FavouriteCaption, ReadingRule_AutoActivateOnlyWithArOnAndSeventhFieldAA)
{
    struct Case
    {
        const char* caption;
        bool activates;
    };
    const Case cases[] = {
        {"PS1 | Sales | AQ On | AR On | Delete | 6:00 PM | AA", true},
        {"PS1 | Sales | AQ Off | AR On | Print | 6:00 PM", false},
        {"PS1 | Sales | AQ Off | AR Off", false},
        {"PS1 | Sales | AQ Off | AR Off | Print | 6:00 PM | AA", false},
        {"PS1 | Sales | AQ On | AR On | Delete | 6:00 PM | aa", false},
        {"PS1|Sales|AQ On|AR On|Delete|6:00 PM|AA", false},
        {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(favouriteAutoActivates(QString::fromUtf8(c.caption)), c.activates) << c.caption;
    }
    EXPECT_EQ(favouriteField(QStringLiteral("PS1 | Sales | AQ On | AR On | Delete | 6:00 PM | AA"), 5),
              QStringLiteral("6:00 PM"));
    EXPECT_EQ(favouriteField(QStringLiteral("PS1 | Sales | AQ On | AR Off"), 5), QString());
}

TEST(FavouritesFile, Text_EachCaptionFollowedByCommaEndedByCrLf)
{
    EXPECT_EQ(favouritesFileText({}), QByteArray("\r\n"));
    EXPECT_EQ(favouritesFileText({QStringLiteral("A | q | AQ Off | AR Off"), QStringLiteral("B | r | AQ On | AR Off")}),
              QByteArray("A | q | AQ Off | AR Off,B | r | AQ On | AR Off,\r\n"));
}

TEST(FavouritesFile, FirstLine_StopsAtCrOrLf)
{
    EXPECT_EQ(favouritesFirstLine("a,b,\r\nc,d,\r\n"), QStringLiteral("a,b,"));
    EXPECT_EQ(favouritesFirstLine("a,b,\nc"), QStringLiteral("a,b,"));
    EXPECT_EQ(favouritesFirstLine("a,b"), QStringLiteral("a,b"));
    EXPECT_EQ(favouritesFirstLine("\r\nA,"), QString());
    EXPECT_EQ(favouritesFirstLine(""), QString());
}

TEST(FavouritesFile, FromLine_TwentyPiecesPaddedOrCut)
{
    const QStringList three = favouritesFromLine(QStringLiteral("a,b,c,"));
    ASSERT_EQ(three.size(), 20);
    EXPECT_EQ(three.mid(0, 3), (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    for (int i = 3; i < 20; ++i) {
        EXPECT_TRUE(three.at(i).isEmpty()) << i;
    }

    QStringList many;
    for (int i = 0; i < 25; ++i) {
        many.append(QString::number(i));
    }
    EXPECT_EQ(favouritesFromLine(many.join(QLatin1Char(',')) + QLatin1Char(',')), many.mid(0, 20));

    const QStringList none = favouritesFromLine(QString());
    EXPECT_EQ(none, QStringList(20, QString()));
}

TEST(FavouritesFile, RoundTrip_CaptionsComeBackInSlotOrder)
{
    const QStringList captions{QStringLiteral("PS1 | Sales | AQ On | AR On | Delete | 6:00 PM | AA"),
                               QStringLiteral("PS2 | Admin | AQ Off | AR Off")};
    const QStringList back = favouritesFromLine(favouritesFirstLine(favouritesFileText(captions)));
    EXPECT_EQ(back.mid(0, 2), captions);
    EXPECT_TRUE(back.at(2).isEmpty());
}

// ---------------------------------------------------------------------------------------
// Command line

TEST(CommandLine, Split_SlashesAndTabsSeparateBlanksBelong)
{
    struct Case
    {
        const char* text;
        QStringList args;
    };
    const Case cases[] = {
        {"", {}},
        {"/rpt:Printer", {QStringLiteral("rpt:Printer")}},
        {"/menu:Simple/rpt:Fav", {QStringLiteral("menu:Simple"), QStringLiteral("rpt:Fav")}},
        {"/rpt:Printer /menu:Full", {QStringLiteral("rpt:Printer "), QStringLiteral("menu:Full")}},
        {"//menu:No", {QStringLiteral("menu:No")}},
        {"\tPS1\t\t/ PS2 /", {QStringLiteral("PS1"), QStringLiteral(" PS2 ")}},
        {"PS1", {QStringLiteral("PS1")}},
        {"  ", {QStringLiteral("  ")}},
        {"/", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(splitCommandLine(QString::fromUtf8(c.text)), c.args) << c.text;
    }
}

TEST(CommandLine, Split_AtMostMaxArgsRestIgnored)
{
    QString text;
    for (int i = 1; i <= 12; ++i) {
        text += QStringLiteral("/a") + QString::number(i);
    }
    const QStringList ten = splitCommandLine(text);
    ASSERT_EQ(ten.size(), 10);
    EXPECT_EQ(ten.first(), QStringLiteral("a1"));
    EXPECT_EQ(ten.last(), QStringLiteral("a10"));
    EXPECT_EQ(splitCommandLine(text, 3),
              (QStringList{QStringLiteral("a1"), QStringLiteral("a2"), QStringLiteral("a3")}));
    EXPECT_TRUE(splitCommandLine(text, 0).isEmpty());
    // The tenth argument is kept whole; only the eleventh is cut.
    EXPECT_EQ(splitCommandLine(QStringLiteral("/1/2/3/4/5/6/7/8/9/ten long/11")).last(), QStringLiteral("ten long"));
}

TEST(CommandLine, Classify_ExactSwitchesEverythingElseServer)
{
    struct Case
    {
        const char* arg;
        CommandSwitch kind;
        const char* style;
    };
    const Case cases[] = {
        {"rpt:Printer", CommandSwitch::PrinterReport, ""},
        {"rpt:Server", CommandSwitch::ServerReport, ""},
        {"rpt:Fav", CommandSwitch::FavouritesReport, ""},
        {"menu:Full", CommandSwitch::MenuStyle, "Full Menu"},
        {"menu:Classic", CommandSwitch::MenuStyle, "Classic Menu"},
        {"menu:Simple", CommandSwitch::MenuStyle, "Simple Menu"},
        {"menu:Help", CommandSwitch::MenuStyle, "Help Menu"},
        {"menu:No", CommandSwitch::MenuStyle, "No Menu"},
        {"?", CommandSwitch::Help, ""},
        {"RPT:PRINTER", CommandSwitch::Server, ""},
        {"rpt:Printer ", CommandSwitch::Server, ""},
        {" ?", CommandSwitch::Server, ""},
        {"menu:none", CommandSwitch::Server, ""},
        {"PS1", CommandSwitch::Server, ""},
    };
    for (const Case& c : cases) {
        const CommandArgument a = classifyArgument(QString::fromUtf8(c.arg));
        EXPECT_EQ(a.kind, c.kind) << c.arg;
        EXPECT_EQ(a.menuStyle, QString::fromUtf8(c.style)) << c.arg;
    }
}

// ---------------------------------------------------------------------------------------
// Menu styles

// The visibility of each menu as one text: "+" shown, "-" hidden, "." unchanged, in the
// order File New Sep3 Settings Sep4 Sep5 | Panels Jobs Printer | Favourites ToolsSep Import
// Export | Reports Statistics ServerView Help ShowFullMenu.
std::string pattern(const MenuVisibility& v)
{
    const auto c = [](const std::optional<bool>& b) {
        return b ? (*b ? '+' : '-') : '.';
    };
    return std::string{c(v.menufile),
                       c(v.mnuNew),
                       c(v.mnuseparator3),
                       c(v.mnuOptions),
                       c(v.mnuseparator4),
                       c(v.mnuseparator5),
                       '|',
                       c(v.mnuPanels),
                       c(v.menuJobs),
                       c(v.menuPrinter),
                       '|',
                       c(v.mnuFavourites),
                       c(v.mnuFavToolsSep),
                       c(v.mnuImportFav),
                       c(v.mnuExportFav),
                       '|',
                       c(v.mnuReports),
                       c(v.MenuStatistics),
                       c(v.mnuSearch),
                       c(v.mnuHelpTop),
                       c(v.mnuMenu)};
}

TEST(MenuStyle, Visibility_EachStyleWithAndWithoutServerViewFavouritesAdmin)
{
    struct Case
    {
        const char* style;
        bool serverView, favourites, admin;
        const char* expected;
    };
    const Case cases[] = {
        {"Full Menu", false, false, true, "++++++|+++|+++.|++.+-"},
        {"Full Menu", true, true, true, "++++++|+++|++++|++++-"},
        {"Classic Menu", false, true, false, "++++-+|+--|+---|++.+-"},
        {"Classic Menu", true, false, false, "++++-+|+--|+---|++++-"},
        {"Simple Menu", true, true, false, "+--+-+|---|+---|-+++-"},
        {"Simple Menu", false, false, false, "+--+-+|---|+---|-+.+-"},
        {"Help Menu", true, true, false, "-+++++|---|-+++|---+-"},
        {"Help Menu", true, true, true, "-+++++|---|-+++|---++"},
        {"No Menu", false, false, false, "-+++++|---|-++.|-----"},
        {"No Menu", false, false, true, "-+++++|---|-++.|----+"},
        // Anything else is the full menu: letter case, blanks, the empty text.
        {"", false, false, true, "++++++|+++|+++.|++.+-"},
        {"simple menu", false, false, true, "++++++|+++|+++.|++.+-"},
        {"No Menu ", false, false, true, "++++++|+++|+++.|++.+-"},
    };
    for (const Case& c : cases) {
        MenuStyleInput in;
        in.style = QString::fromUtf8(c.style);
        in.showServerView = c.serverView;
        in.favouritesInUse = c.favourites;
        const bool admin = c.admin;
        in.userIsAdmin = [admin] {
            return admin;
        };
        EXPECT_EQ(pattern(menuVisibility(in)), std::string(c.expected)) << c.style;
    }
}

TEST(MenuStyle, AdminTest_AskedOnlyByHelpAndNoMenu)
{
    int asked = 0;
    MenuStyleInput in;
    in.userIsAdmin = [&asked] {
        ++asked;
        return true;
    };
    for (const QString& style : {MenuStyles::Full, MenuStyles::Classic, MenuStyles::Simple}) {
        in.style = style;
        menuVisibility(in);
    }
    EXPECT_EQ(asked, 0);
    in.style = MenuStyles::Help;
    menuVisibility(in);
    in.style = MenuStyles::None;
    menuVisibility(in);
    EXPECT_EQ(asked, 2);
    // No test at all counts as no administrator.
    in.userIsAdmin = nullptr;
    EXPECT_EQ(menuVisibility(in).mnuMenu, std::optional<bool>(false));
}

} // namespace
} // namespace hlv
