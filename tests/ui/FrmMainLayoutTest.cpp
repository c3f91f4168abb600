#include <QAction>
#include <QGroupBox>
#include <QMouseEvent>
#include <QStatusBar>

#include "ConsoleFixture.h"
#include "console/ui/ControlWidgets.h"
#include "console/ui/JobListWidget.h"
#include "console/ui/VbColour.h"

namespace hlv::test {
namespace {

int px(int twips)
{
    return twipsToPixels(twips);
}

class LayoutTest : public ConsoleFixture
{
protected:
    // A start-up with the given panels switched on (keys of the settings file) and the
    // window in its normal state.
    FrmMain& startWith(const QStringList& shown)
    {
        QString ini = QStringLiteral("[Halvern]\nStartMax=False\nShowStatusBar=True\n");
        for (const char* key :
             {"ShowUpdates", "FavouritesPanel", "ShowNetwork", "ShowQueueInfo", "ShowQueueControl", "ShowSearch"}) {
            const QString k = QString::fromLatin1(key);
            ini += k + (shown.contains(k) ? QStringLiteral("=True\n") : QStringLiteral("=False\n"));
        }
        writeIni(ini);
        FrmMain& w = start();
        w.resize(px(15000), px(9000));
        w.Form_Resize();
        return w;
    }
    static void sendMove(QWidget* widget, int xTwips, int yTwips)
    {
        const QPointF local(px(xTwips), px(yTwips));
        QMouseEvent move(QEvent::MouseMove, local, widget->mapToGlobal(local), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &move);
    }
};

TEST_F(LayoutTest, Resize_BelowMinimum_SnapsBackAndRemembersTheSnappedSize)
{
    FrmMain& w = startWith({});
    w.show();
    w.resize(100, 100);
    EXPECT_TRUE(waitFor([&] { return w.width() == px(8150) && w.height() == px(3800); }))
        << w.width() << "x" << w.height();
    EXPECT_EQ(w.settings().DisplaySizeWidth, QStringLiteral("8145"));  // 543 pixels
    EXPECT_EQ(w.settings().DisplaySizeHeight, QStringLiteral("3795")); // 253 pixels

    // Only the side that is too small grows.
    w.resize(px(12000), 50);
    EXPECT_TRUE(waitFor([&] { return w.width() == px(12000) && w.height() == px(3800); }));
}

TEST_F(LayoutTest, Resize_NormalSize_RememberedMinimisedAndMaximisedNot)
{
    FrmMain& w = startWith({});
    w.resize(px(10005), px(6000));
    w.Form_Resize();
    EXPECT_EQ(w.settings().DisplaySizeWidth, QStringLiteral("10005"));
    EXPECT_EQ(w.settings().DisplaySizeHeight, QStringLiteral("6000"));

    // A minimised window is left alone: no snapping, nothing remembered.
    w.setWindowState(Qt::WindowMinimized);
    w.resize(100, 100);
    w.Form_Resize();
    EXPECT_EQ(w.width(), 100);
    EXPECT_EQ(w.settings().DisplaySizeWidth, QStringLiteral("10005"));

    // A maximised window's size is not kept either: the last normal size stays.
    FrmMain& shown = startWith({});
    shown.resize(px(10005), px(6000));
    shown.show();
    ASSERT_TRUE(waitFor([&] { return shown.settings().DisplaySizeWidth == QStringLiteral("10005"); }));
    const QSize normal = shown.size();
    shown.setWindowState(Qt::WindowMaximized);
    ASSERT_TRUE(waitFor([&] { return shown.size() != normal; }));
    shown.Form_Resize();
    EXPECT_EQ(shown.settings().DisplaySizeWidth, QStringLiteral("10005"));
    EXPECT_EQ(shown.settings().DisplaySizeHeight, QStringLiteral("6000"));
}

TEST_F(LayoutTest, JobListTop_PrintQueueAndInformationOnly_100BelowInformation)
{
    FrmMain& w = startWith({QStringLiteral("ShowSearch"), QStringLiteral("ShowQueueInfo")});
    EXPECT_EQ(w.frmQueueInfo->y(), px(1155));
    EXPECT_EQ(w.JobList->y(), px(1155 + 1500 + 100));

    // The print queue box hidden: the information moves up into its place.
    w.mnuSearchQueue_Click();
    EXPECT_EQ(w.frmQueueInfo->y(), w.PrintQueue->y());
    EXPECT_EQ(w.JobList->y(), w.PrintQueue->y() + px(1500 + 100));

    // No panel at all: the job list starts at the top.
    w.mnuQueueInfo_Click();
    EXPECT_EQ(w.JobList->y(), 0);
    EXPECT_EQ(w.JobList->x(), px(120));
    EXPECT_EQ(w.JobList->width(), w.width() - 2 * px(120));
}

TEST_F(LayoutTest, TopRow_AllPanels_LineUpFrom4320AndNetworkFillsToUpdates)
{
    FrmMain& w =
        startWith({QStringLiteral("ShowUpdates"), QStringLiteral("FavouritesPanel"), QStringLiteral("ShowNetwork"),
                   QStringLiteral("ShowQueueInfo"), QStringLiteral("ShowQueueControl"), QStringLiteral("ShowSearch")});
    EXPECT_EQ(w.JobList->y(), px(2760));
    EXPECT_EQ(w.frmQueueControl->x(), px(4320));
    EXPECT_EQ(w.FrameFavourites->x(), px(4320 + 3495 + 100));
    EXPECT_EQ(w.frmServer->x(), px(4320 + 3495 + 100 + 2010 + 100));
    // The updates panel 100 twips from the right edge, the network panel up to 100 before it.
    EXPECT_NEAR(w.frmOnline->x() + w.frmOnline->width(), w.width() - px(100), 1);
    EXPECT_NEAR(w.frmServer->x() + w.frmServer->width(), w.frmOnline->x() - px(100), 1);

    // Network hidden: the updates panel takes its place, its width returns to 4095.
    w.mnuNetwork_Click();
    EXPECT_EQ(w.frmOnline->x(), w.frmServer->x());
    EXPECT_EQ(w.frmServer->width(), px(4095));

    // Queue information and print queue box hidden: the row starts at the left margin.
    w.mnuQueueInfo_Click();
    w.mnuSearchQueue_Click();
    EXPECT_EQ(w.frmQueueControl->x(), w.frmQueueInfo->x());
}

TEST_F(LayoutTest, StatusBarSwitch_JobListReachesDownToTheStatusBarOrTheBottom)
{
    FrmMain& w = startWith({QStringLiteral("ShowQueueControl")});
    w.show();
    const auto listBottomAtClientBottom = [&] {
        QCoreApplication::processEvents();
        return std::abs(w.JobList->geometry().bottom() + 1 - w.centralWidget()->height()) <= 1;
    };
    EXPECT_TRUE(waitFor(listBottomAtClientBottom));
    const int withBar = w.JobList->height();

    w.mnuStatusBar_Click();
    EXPECT_TRUE(w.StatusBar1->isHidden());
    EXPECT_FALSE(w.mnuStatusBar->isChecked());
    EXPECT_GT(w.JobList->height(), withBar);
    EXPECT_TRUE(waitFor(listBottomAtClientBottom));

    w.mnuStatusBar_Click();
    EXPECT_FALSE(w.StatusBar1->isHidden());
    EXPECT_EQ(w.JobList->height(), withBar);
}

TEST_F(LayoutTest, ClosePanels_AllSixHiddenFlagsFalseStatusBarLeft)
{
    FrmMain& w =
        startWith({QStringLiteral("ShowUpdates"), QStringLiteral("FavouritesPanel"), QStringLiteral("ShowNetwork"),
                   QStringLiteral("ShowQueueInfo"), QStringLiteral("ShowQueueControl"), QStringLiteral("ShowSearch")});
    w.mnuClosePanel_Click();
    for (QGroupBox* frame :
         {w.PrintQueue, w.frmQueueInfo, w.frmQueueControl, w.FrameFavourites, w.frmServer, w.frmOnline}) {
        EXPECT_TRUE(frame->isHidden()) << frame->title().toStdString();
    }
    for (QAction* entry :
         {w.mnuSearchQueue, w.mnuQueueInfo, w.mnuQueueControl, w.mnuFavouritesPanel, w.mnuNetwork, w.mnuOnline}) {
        EXPECT_FALSE(entry->isChecked()) << entry->text().toStdString();
    }
    const ConsoleSettings& s = w.settings();
    for (const QString& flag :
         {s.ShowSearch, s.ShowQueueInfo, s.ShowQueueControl, s.FavouritesPanel, s.ShowNetwork, s.ShowUpdates}) {
        EXPECT_EQ(flag, QStringLiteral("False"));
    }
    EXPECT_TRUE(w.mnuStatusBar->isChecked());
    EXPECT_FALSE(w.StatusBar1->isHidden());
    EXPECT_EQ(w.JobList->y(), 0);

    // A panel switched on again comes back with its check mark and flag.
    w.mnuFavouritesPanel_Click();
    EXPECT_FALSE(w.FrameFavourites->isHidden());
    EXPECT_TRUE(w.mnuFavouritesPanel->isChecked());
    EXPECT_EQ(w.settings().FavouritesPanel, QStringLiteral("True"));
    EXPECT_EQ(w.JobList->y(), px(2760));
}

TEST_F(LayoutTest, ServerView_FillsTheClientAreaItsStatusLinesAndLampInSight)
{
    FrmMain& w = startWith({QStringLiteral("ShowQueueControl")});
    w.show();
    w.mnuSearch_Click();
    EXPECT_FALSE(w.FrameSearch->isHidden());
    EXPECT_EQ(w.mnuSearch->text(), QStringLiteral("Hide ServerView"));
    EXPECT_EQ(w.FrameSearch->pos(), QPoint(0, 0));
    w.SearchStatus->setText(QStringLiteral("Connected 12/31/2026 11:59:59 PM - 1234 jobs on the server"));
    w.ServerStatus->setText(QStringLiteral("Disconnected 12/31/2026 11:59:59 PM"));

    // At the design size and at the smallest window: the panel ends where the status bar
    // begins, both status lines lie wholly inside it, and the lamp is clear of the list.
    for (const QSize size : {QSize(px(15000), px(9000)), QSize(px(12000), px(7000)), QSize(100, 100)}) {
        w.resize(size);
        ASSERT_TRUE(waitFor([&] { return w.centralWidget()->size() == w.FrameSearch->size(); }))
            << size.width() << " central " << w.centralWidget()->height() << " frame " << w.FrameSearch->height();
        const QRect panel = w.FrameSearch->rect();
        EXPECT_EQ(w.SearchList->width(), panel.width() - px(250));
        for (const QLabel* line : {w.SearchStatus, w.ServerStatus}) {
            EXPECT_TRUE(panel.contains(line->geometry()))
                << size.width() << " " << line->geometry().x() << "," << line->geometry().y() << " " << line->width();
            EXPECT_FALSE(line->geometry().intersects(w.SearchList->geometry())) << size.width();
        }
        EXPECT_FALSE(w.SearchStatus->geometry().intersects(w.ServerStatus->geometry())) << size.width();
        EXPECT_TRUE(panel.contains(w.SearchProgress->geometry())) << size.width();
        EXPECT_FALSE(w.SearchProgress->geometry().intersects(w.SearchList->geometry())) << size.width();
    }

    w.mnuSearch_Click();
    EXPECT_TRUE(w.FrameSearch->isHidden());
    EXPECT_EQ(w.mnuSearch->text(), QStringLiteral("ServerView"));
}

TEST_F(LayoutTest, StatusBar_SmallestWindow_PanelsSideBySideInsideTheBar)
{
    FrmMain& w = startWith({});
    w.show();
    for (int panel = 1; panel <= 4; ++panel) {
        w.setStatusPanelText(panel, QStringLiteral("Queue Loaded 11:59:59 PM on a long server name %1").arg(panel));
    }
    w.resize(100, 100);
    ASSERT_TRUE(waitFor([&] { return w.width() == px(8150); }));
    QCoreApplication::processEvents();
    for (size_t i = 0; i < w.statusPanels.size(); ++i) {
        const QRect panel = w.statusPanels[i]->geometry();
        EXPECT_TRUE(w.StatusBar1->rect().contains(panel)) << i << ": " << panel.x() << "+" << panel.width();
        if (i + 1 < w.statusPanels.size()) {
            EXPECT_LE(panel.right(), w.statusPanels[i + 1]->geometry().left()) << i;
        }
    }
}

TEST_F(LayoutTest, HoverBorder_InsideMarksEdgeBandClears)
{
    FrmMain& w =
        startWith({QStringLiteral("ShowQueueControl"), QStringLiteral("ShowNetwork"), QStringLiteral("ShowQueueInfo")});
    // The border is judged on the painted panel: a line of the text colour down its left
    // edge, half way down, where no control sits.
    const auto edgePixel = [&w] {
        const QImage image = w.frmQueueControl->grab().toImage();
        return image.pixelColor(0, image.height() - 4);
    };
    const QColor border = vbColour(VbColours::PanelFore);
    EXPECT_EQ(FrmMain::borderStyle(w.frmQueueControl), 0);
    EXPECT_NE(edgePixel(), border);
    w.frmQueueControl_MouseMove(0, 0, 151, 151);
    EXPECT_EQ(FrmMain::borderStyle(w.frmQueueControl), 1);
    EXPECT_EQ(edgePixel(), border);
    w.frmQueueControl_MouseMove(0, 0, 150, 500);
    EXPECT_EQ(FrmMain::borderStyle(w.frmQueueControl), 0);
    EXPECT_NE(edgePixel(), border);

    // Real pointer moves reach the handlers, in twips.
    sendMove(w.frmServer, 600, 600);
    EXPECT_EQ(FrmMain::borderStyle(w.frmServer), 1);
    sendMove(w.frmServer, 600, 60);
    EXPECT_EQ(FrmMain::borderStyle(w.frmServer), 0);

    // The pointer over a detail box keeps the information panel marked.
    sendMove(w.txtModel, 0, 0);
    EXPECT_EQ(FrmMain::borderStyle(w.frmQueueInfo), 1);
}

TEST_F(LayoutTest, AutomationBoxes_PaintTheirStateColoursBehindTheCaption)
{
    addQueue(QStringLiteral("PS1"), QStringLiteral("Sales"));
    writeIni(QStringLiteral("[Halvern]\nServer=PS1\nQueue=Sales\nShowQueueControl=True\nStartMax=False\n"));
    FrmMain& w = start();
    // A pixel to the right of the caption, inside the box: its background as painted.
    const auto background = [](QWidget* box) {
        const QImage image = box->grab().toImage();
        return image.pixelColor(image.width() - 2, image.height() / 2);
    };
    const QColor panel = vbColour(VbColours::PanelBack);
    EXPECT_EQ(background(w.chkAutoQueue), panel);
    EXPECT_EQ(background(w.optTimed[0]), panel);
    EXPECT_EQ(background(w.optTimed[1]), panel);

    FrmMain::setValue(w.chkAutoQueue, 1);
    FrmMain::setValue(w.chkTimed, 1);
    struct Case
    {
        QWidget* box;
        QColor expected;
    };
    const Case cases[] = {
        {w.chkAutoQueue, vbColour(VbColours::Red)},
        {w.chkTimed, vbColour(VbColours::Red)},
        {w.optTimed[0], panel},
        {w.optTimed[1], panel},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(background(c.box), c.expected)
            << c.box->objectName().toStdString() << " " << qPrintable(c.box->property("text").toString());
    }
    FrmMain::setValue(w.chkAutoQueue, 0);
    EXPECT_EQ(background(w.chkAutoQueue), panel);
}

TEST_F(LayoutTest, ExportFavourites_OfferedWithTheFullMenuOnlyWhileSlotZeroIsInUse)
{
    struct Case
    {
        const char* slot;
        bool offered;
    };
    for (const Case& c : {Case{"0", true}, Case{"3", false}}) {
        writeIni(QStringLiteral("[Halvern]\nSimpleView=Classic Menu\n[Favourites]\n%1=PS1 | Sales | AQ Off\n")
                     .arg(QString::fromLatin1(c.slot)));
        FrmMain& w = start();
        EXPECT_FALSE(w.mnuExportFav->isVisible()) << c.slot;
        w.mnuMenu_Click();
        EXPECT_EQ(w.mnuExportFav->isVisible(), c.offered) << c.slot;
    }
}

} // namespace
} // namespace hlv::test
