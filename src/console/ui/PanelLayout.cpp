#include "console/ui/PanelLayout.h"

#include <algorithm>

namespace hlv {

namespace {

constexpr int kGap = 100;
constexpr int kQueueInfoTopBelowPrintQueue = 1155;
constexpr int kJobListTopBelowPanelRow = 2760;
constexpr int kQueueControlLeft = 4320;
constexpr int kServerDesignWidth = 4095;
constexpr int kWebServerMargin = 700;
constexpr int kSearchListMarginWidth = 250;
// Below the ServerView's list: a small gap and its two status lines.
constexpr int kSearchListMarginHeight = 420;
constexpr int kHoverBand = 150;

} // namespace

WindowSize snapWindowSize(WindowSize outer)
{
    return {std::max(outer.width, kMinWindowWidthTwips), std::max(outer.height, kMinWindowHeightTwips)};
}

PanelLayoutResult computePanelLayout(const PanelLayoutInput& in)
{
    const PanelVisibility& v = in.visible;
    PanelLayoutResult out;

    // The queue information moves up into the print queue box's place when that is hidden.
    out.queueInfoTop = v.printQueue ? kQueueInfoTopBelowPrintQueue : in.printQueueTop;

    // The job list starts below whatever occupies the top of the window. The print queue box
    // takes no part in this: it shares its column with the queue information.
    const bool rowVisible = v.queueControl || v.server || v.online || v.favourites;
    if (!v.queueInfo && !rowVisible) {
        out.jobListTop = out.queueInfoTop;
    } else if (v.queueInfo && !rowVisible) {
        out.jobListTop = out.queueInfoTop + in.queueInfoHeight + kGap;
    } else {
        out.jobListTop = kJobListTopBelowPanelRow;
    }
    out.jobListHeight = in.innerHeight - out.jobListTop - (v.statusBar ? in.statusBarHeight : 0);
    out.jobListWidth = in.innerWidth - 2 * in.jobListLeft;

    // The row along the top: an empty left column lets the row start at the left margin.
    out.queueControlLeft = (!v.printQueue && !v.queueInfo) ? in.queueInfoLeft : kQueueControlLeft;
    out.favouritesLeft = v.queueControl ? out.queueControlLeft + in.queueControlWidth + kGap : out.queueControlLeft;
    out.serverLeft = v.favourites ? out.favouritesLeft + in.favouritesWidth + kGap : out.favouritesLeft;
    out.onlineLeft = -1;
    if (v.online) {
        if (!v.server) {
            // The updates panel takes the network panel's place; the network panel gets its
            // design width back for its next showing.
            out.onlineLeft = out.serverLeft;
            out.serverWidth = kServerDesignWidth;
        } else {
            // The updates panel sits against the right edge, the network panel fills the gap.
            out.onlineLeft = in.innerWidth - in.onlineWidth - kGap;
            out.serverWidth = in.innerWidth - out.serverLeft - kGap - in.onlineWidth - kGap;
        }
    } else {
        out.serverWidth = in.innerWidth - out.serverLeft - kGap;
    }
    out.webServerWidth = out.serverWidth - kWebServerMargin;

    // The ServerView panel covers the client area between the menu bar and the status bar
    // whether it is shown or not, so that it has the right size when it is; its list leaves
    // room for the two status lines below it.
    out.searchFrameWidth = in.innerWidth;
    out.searchFrameHeight = in.innerHeight - (v.statusBar ? in.statusBarHeight : 0);
    out.searchListWidth = out.searchFrameWidth - kSearchListMarginWidth;
    out.searchListHeight = out.searchFrameHeight - in.searchListTop - kSearchListMarginHeight;
    return out;
}

bool hoverBorder(int x, int y, int frameWidth, int frameHeight)
{
    return x > kHoverBand && x < frameWidth - kHoverBand && y > kHoverBand && y < frameHeight - kHoverBand;
}

} // namespace hlv
