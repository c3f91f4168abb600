#include <QAction>
#include <QGroupBox>
#include <QMouseEvent>
#include <QStatusBar>

#include "ConsoleFixture.h"
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

TEST_F(LayoutTest, ServerView_CoversTheWindowAndFollowsItsSize)
{
    FrmMain& w = startWith({QStringLiteral("ShowQueueControl")});
    w.mnuSearch_Click();
    EXPECT_FALSE(w.FrameSearch->isHidden());
    EXPECT_EQ(w.mnuSearch->text(), QStringLiteral("Hide ServerView"));
    EXPECT_EQ(w.FrameSearch->pos(), QPoint(0, 0));
    EXPECT_EQ(w.FrameSearch->size(), w.size());
    EXPECT_EQ(w.SearchList->width(), w.width() - px(250));

    w.resize(px(12000), px(7000));
    w.Form_Resize();
    EXPECT_EQ(w.FrameSearch->size(), w.size());
    EXPECT_EQ(w.SearchList->height(), px(7000) - w.SearchList->y() - px(850));

    w.mnuSearch_Click();
    EXPECT_TRUE(w.FrameSearch->isHidden());
    EXPECT_EQ(w.mnuSearch->text(), QStringLiteral("ServerView"));
}

TEST_F(LayoutTest, HoverBorder_InsideMarksEdgeBandClears)
{
    FrmMain& w =
        startWith({QStringLiteral("ShowQueueControl"), QStringLiteral("ShowNetwork"), QStringLiteral("ShowQueueInfo")});
    EXPECT_EQ(FrmMain::borderStyle(w.frmQueueControl), 0);
    w.frmQueueControl_MouseMove(0, 0, 151, 151);
    EXPECT_EQ(FrmMain::borderStyle(w.frmQueueControl), 1);
    w.frmQueueControl_MouseMove(0, 0, 150, 500);
    EXPECT_EQ(FrmMain::borderStyle(w.frmQueueControl), 0);

    // Real pointer moves reach the handlers, in twips.
    sendMove(w.frmServer, 600, 600);
    EXPECT_EQ(FrmMain::borderStyle(w.frmServer), 1);
    sendMove(w.frmServer, 600, 60);
    EXPECT_EQ(FrmMain::borderStyle(w.frmServer), 0);

    // The pointer over a detail box keeps the information panel marked.
    sendMove(w.txtModel, 0, 0);
    EXPECT_EQ(FrmMain::borderStyle(w.frmQueueInfo), 1);
}

} // namespace
} // namespace hlv::test
