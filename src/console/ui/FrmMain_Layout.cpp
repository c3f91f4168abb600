// The window's layout: placing the visible panels whenever the window's size changes, the
// minimum window size, and the border that marks the panel under the pointer.
#include <algorithm>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStatusBar>

#include "console/ui/ControlWidgets.h"
#include "console/ui/FrmMain.h"
#include "console/ui/JobListWidget.h"
#include "console/ui/PanelLayout.h"
#include "console/ui/VbColour.h"
#include "console/ui/WebBrowser.h"

namespace hlv {

namespace {

int twips(int pixels)
{
    return qRound(pixelsToTwips(pixels));
}

int pixels(int twips)
{
    return twipsToPixels(twips);
}

int vbButtons(Qt::MouseButtons buttons)
{
    return (buttons & Qt::LeftButton ? 1 : 0) | (buttons & Qt::RightButton ? 2 : 0) |
           (buttons & Qt::MiddleButton ? 4 : 0);
}

int vbShift(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
           (modifiers & Qt::AltModifier ? 4 : 0);
}

// Passes the pointer's moves over the panels and the queue's detail boxes to the window's
// MouseMove handlers, with the position in twips.
class PanelWatch final : public QObject
{
public:
    using Handler = void (FrmMain::*)(int, int, int, int);

    explicit PanelWatch(FrmMain& window)
        : QObject(&window)
        , m_window(window)
    {}

    void watch(QWidget* widget, Handler handler)
    {
        widget->setMouseTracking(true);
        widget->installEventFilter(this);
        m_handlers.append({widget, handler});
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MouseMove) {
            for (const auto& [widget, handler] : std::as_const(m_handlers)) {
                if (widget == watched) {
                    const auto* mouse = static_cast<QMouseEvent*>(event);
                    const QPoint p = mouse->position().toPoint();
                    (m_window.*handler)(vbButtons(mouse->buttons()), vbShift(mouse->modifiers()), twips(p.x()),
                                        twips(p.y()));
                    break;
                }
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    FrmMain& m_window;
    QList<std::pair<QObject*, Handler>> m_handlers;
};

} // namespace

void FrmMain::watchPanels()
{
    if (m_panelWatch) {
        return;
    }
    auto* watch = new PanelWatch(*this);
    watch->watch(frmServer, &FrmMain::frmServer_MouseMove);
    watch->watch(frmOnline, &FrmMain::frmOnline_MouseMove);
    watch->watch(frmQueueControl, &FrmMain::frmQueueControl_MouseMove);
    watch->watch(frmQueueInfo, &FrmMain::frmQueueInfo_MouseMove);
    watch->watch(FrameFavourites, &FrmMain::FrameFavourites_MouseMove);
    watch->watch(txtLocation, &FrmMain::txtLocation_MouseMove);
    watch->watch(txtModel, &FrmMain::txtModel_MouseMove);
    watch->watch(txtPrintPath, &FrmMain::txtPrintPath_MouseMove);
    watch->watch(txtDescription, &FrmMain::txtDescription_MouseMove);
    m_panelWatch = watch;
}

// ---------------------------------------------------------------------------------------
// Resize

void FrmMain::Form_Resize()
{
    if (windowState() & Qt::WindowMinimized) {
        return;
    }
    // Snapping the size back resizes the window, which comes back here; the outer call
    // goes on with the new size.
    if (m_formResizeRunning) {
        return;
    }
    m_formResizeRunning = true;

    // The window's size is its width and height as the settings keep them.
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        const WindowSize outer{twips(width()), twips(height())};
        const WindowSize snapped = snapWindowSize(outer);
        // Compared again in pixels: the minimum falls between two pixels, and the window
        // already at the pixel nearest to it is not resized again.
        const int snappedWidth = snapped.width > outer.width ? pixels(snapped.width) : width();
        const int snappedHeight = snapped.height > outer.height ? pixels(snapped.height) : height();
        if (snappedWidth != width() || snappedHeight != height()) {
            resize(snappedWidth, snappedHeight);
        }
    }

    // The client area is the window below its menu bar; the status bar is part of it and
    // the job list stops above it. Measured from the window rather than from the central
    // widget, because a status bar just switched on or off changes the central widget
    // only when the window's layout runs next.
    QMenuBar* bar = menuBar();
    int menuHeight = 0;
    if (bar && !bar->isHidden()) {
        menuHeight = bar->hasHeightForWidth() ? bar->heightForWidth(width()) : bar->sizeHint().height();
    }
    PanelLayoutInput in;
    in.visible.printQueue = !PrintQueue->isHidden();
    in.visible.queueInfo = !frmQueueInfo->isHidden();
    in.visible.queueControl = !frmQueueControl->isHidden();
    in.visible.favourites = !FrameFavourites->isHidden();
    in.visible.server = !frmServer->isHidden();
    in.visible.online = !frmOnline->isHidden();
    in.visible.statusBar = !StatusBar1->isHidden();
    in.innerWidth = twips(width());
    in.innerHeight = twips(height() - menuHeight);
    in.outerWidth = twips(width());
    in.outerHeight = twips(height());
    in.statusBarHeight = twips(StatusBar1->sizeHint().height());
    in.printQueueTop = twips(PrintQueue->y());
    in.queueInfoLeft = twips(frmQueueInfo->x());
    in.queueInfoHeight = twips(frmQueueInfo->height());
    in.queueControlWidth = twips(frmQueueControl->width());
    in.favouritesWidth = twips(FrameFavourites->width());
    in.onlineWidth = twips(frmOnline->width());
    in.jobListLeft = twips(JobList->x());
    in.searchListTop = twips(SearchList->y());
    const PanelLayoutResult out = computePanelLayout(in);

    // A size the layout cannot give (the window is narrower or lower than the panels need)
    // is refused and the control keeps its last one.
    const auto setWidth = [](QWidget* w, int width) {
        if (width >= 0) {
            w->resize(pixels(width), w->height());
        }
    };
    const auto setHeight = [](QWidget* w, int height) {
        if (height >= 0) {
            w->resize(w->width(), pixels(height));
        }
    };
    frmQueueInfo->move(frmQueueInfo->x(), pixels(out.queueInfoTop));
    JobList->move(JobList->x(), pixels(out.jobListTop));
    setHeight(JobList, out.jobListHeight);
    setWidth(JobList, out.jobListWidth);
    frmQueueControl->move(pixels(out.queueControlLeft), frmQueueControl->y());
    FrameFavourites->move(pixels(out.favouritesLeft), FrameFavourites->y());
    frmServer->move(pixels(out.serverLeft), frmServer->y());
    if (out.onlineLeft >= 0) {
        frmOnline->move(pixels(out.onlineLeft), frmOnline->y());
    }
    setWidth(frmServer, out.serverWidth);
    if (QWidget* browser = WebServer ? WebServer->widget() : nullptr) {
        setWidth(browser, out.webServerWidth);
    }

    setHeight(FrameSearch, out.searchFrameHeight);
    setWidth(FrameSearch, out.searchFrameWidth);
    setWidth(SearchList, out.searchListWidth);
    setHeight(SearchList, out.searchListHeight);
    // The ServerView's two status lines stay just below its job list, side by side within
    // the panel: narrower than designed, they share its width in the designed proportion.
    const int statusTop = SearchList->geometry().bottom() + 1 + pixels(75);
    const int statusLeft = pixels(120);
    const int statusGap = pixels(120);
    const int statusRoom = FrameSearch->width() - statusLeft - statusGap - pixels(120);
    int searchStatusWidth = pixels(6000);
    int serverStatusWidth = pixels(3900);
    if (searchStatusWidth + serverStatusWidth > statusRoom) {
        searchStatusWidth = std::max(0, statusRoom * 6000 / 9900);
        serverStatusWidth = std::max(0, statusRoom - searchStatusWidth);
    }
    SearchStatus->setGeometry(statusLeft, statusTop, searchStatusWidth, pixels(300));
    ServerStatus->setGeometry(statusLeft + searchStatusWidth + statusGap, statusTop, serverStatusWidth, pixels(300));
    // The retrieval lamp sits in the panel's caption row, at its right end, clear of the
    // list's column headers.
    SearchProgress->move(FrameSearch->width() - SearchProgress->width() - pixels(120),
                         std::max(0, (SearchList->y() - SearchProgress->height()) / 2));

    rememberNormalSize();
    m_formResizeRunning = false;
}

// ---------------------------------------------------------------------------------------
// Hover borders

int FrmMain::borderStyle(const QGroupBox* frame)
{
    return frame && !frame->isFlat() ? 1 : 0;
}

void FrmMain::setBorderStyle(QGroupBox* frame, int style)
{
    frame->setFlat(style == 0);
}

void FrmMain::frameMouseMove(QGroupBox* frame, int X, int Y)
{
    setBorderStyle(frame, hoverBorder(X, Y, twips(frame->width()), twips(frame->height())) ? 1 : 0);
}

void FrmMain::frmServer_MouseMove(int Button, int Shift, int X, int Y)
{
    Q_UNUSED(Button);
    Q_UNUSED(Shift);
    frameMouseMove(frmServer, X, Y);
}

void FrmMain::frmOnline_MouseMove(int Button, int Shift, int X, int Y)
{
    Q_UNUSED(Button);
    Q_UNUSED(Shift);
    frameMouseMove(frmOnline, X, Y);
}

void FrmMain::frmQueueControl_MouseMove(int Button, int Shift, int X, int Y)
{
    Q_UNUSED(Button);
    Q_UNUSED(Shift);
    frameMouseMove(frmQueueControl, X, Y);
}

void FrmMain::frmQueueInfo_MouseMove(int Button, int Shift, int X, int Y)
{
    Q_UNUSED(Button);
    Q_UNUSED(Shift);
    frameMouseMove(frmQueueInfo, X, Y);
}

void FrmMain::FrameFavourites_MouseMove(int Button, int Shift, int X, int Y)
{
    Q_UNUSED(Button);
    Q_UNUSED(Shift);
    frameMouseMove(FrameFavourites, X, Y);
}

// The pointer over one of the queue's detail boxes keeps the information panel marked.
void FrmMain::txtLocation_MouseMove(int Button, int Shift, int X, int Y)
{
    Q_UNUSED(Button);
    Q_UNUSED(Shift);
    Q_UNUSED(X);
    Q_UNUSED(Y);
    setBorderStyle(frmQueueInfo, 1);
}

void FrmMain::txtModel_MouseMove(int Button, int Shift, int X, int Y)
{
    txtLocation_MouseMove(Button, Shift, X, Y);
}

void FrmMain::txtPrintPath_MouseMove(int Button, int Shift, int X, int Y)
{
    txtLocation_MouseMove(Button, Shift, X, Y);
}

void FrmMain::txtDescription_MouseMove(int Button, int Shift, int X, int Y)
{
    txtLocation_MouseMove(Button, Shift, X, Y);
}

} // namespace hlv
