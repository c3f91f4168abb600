#pragma once

namespace hlv {

// The main window's panel layout, worked out in twips so that it can be checked without
// any widget. The window measures its controls, asks computePanelLayout for the new places
// and applies them.
//
// The panels sit in a fixed order: the print queue box with the queue information below it
// on the left, then a row of queue control, favourites, network and updates panels along
// the top, each 100 twips after the previous one. The queue's job list fills the rest of
// the window down to the status bar; the ServerView panel covers the client area above the status bar.

// The smallest window the layout works in; a smaller one is snapped back to this.
constexpr int kMinWindowWidthTwips = 8150;
constexpr int kMinWindowHeightTwips = 3800;
// The design height of the status bar.
constexpr int kStatusBarTwips = 270;

struct PanelVisibility
{
    bool printQueue = false;   // PrintQueue
    bool queueInfo = false;    // frmQueueInfo
    bool queueControl = false; // frmQueueControl
    bool favourites = false;   // FrameFavourites
    bool server = false;       // frmServer
    bool online = false;       // frmOnline
    bool statusBar = true;     // StatusBar1
};

// What the layout reads, all in twips.
struct PanelLayoutInput
{
    PanelVisibility visible;
    int innerWidth = 0; // the window's client area (menu bar excluded, status bar included)
    int innerHeight = 0;
    int outerWidth = 0; // the window's own size
    int outerHeight = 0;
    int statusBarHeight = kStatusBarTwips;
    int printQueueTop = 0;
    int queueInfoLeft = 120;
    int queueInfoHeight = 1500;
    int queueControlWidth = 3495;
    int favouritesWidth = 2010;
    int onlineWidth = 2010;
    int jobListLeft = 120;
    int searchListTop = 360;
};

// The places the layout sets, in twips. Places not listed keep what they had.
struct PanelLayoutResult
{
    int queueInfoTop = 0;
    int jobListTop = 0;
    int jobListWidth = 0;
    int jobListHeight = 0;
    int queueControlLeft = 0;
    int favouritesLeft = 0;
    int serverLeft = 0;
    int serverWidth = 0;
    int onlineLeft = 0; // unchanged (-1) while the updates panel is hidden
    int webServerWidth = 0;
    int searchFrameWidth = 0;
    int searchFrameHeight = 0;
    int searchListWidth = 0;
    int searchListHeight = 0;
};

// The window's size after the minimum is applied.
struct WindowSize
{
    int width = 0;
    int height = 0;
    bool operator==(const WindowSize&) const = default;
};
WindowSize snapWindowSize(WindowSize outer);

PanelLayoutResult computePanelLayout(const PanelLayoutInput& in);

// Whether the pointer at (x, y) inside a panel of the given size marks the panel with a
// border: only well inside it, more than 150 twips from every edge.
bool hoverBorder(int x, int y, int frameWidth, int frameHeight);

} // namespace hlv
