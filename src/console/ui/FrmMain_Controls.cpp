// Building the main window's controls and menus, and the small control helpers.
#include <type_traits>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "console/access/PrintWorker.h"
#include "console/ui/ConnectionBoxDialogs.h"
#include "console/ui/ConsoleContext.h"
#include "console/ui/ControlWidgets.h"
#include "console/ui/FrmMain.h"
#include "console/ui/JobListWidget.h"
#include "console/ui/VbColour.h"
#include "console/ui/WebBrowser.h"
#include "console/ui/frmSplash.h"
#include "platform/Clock.h"
#include "platform/GeneralDate.h"
#include "store/JobLogStore.h"

namespace hlv {

namespace {

// Design places are in twips.
QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}

void paintPanel(QWidget* frame, quint32 back, quint32 fore)
{
    frame->setAutoFillBackground(true);
    QPalette p = frame->palette();
    p.setColor(QPalette::Window, vbColour(back));
    p.setColor(QPalette::WindowText, vbColour(fore));
    frame->setPalette(p);
}

QPixmap drawGlyph(const QString& kind)
{
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    if (kind == QStringLiteral("play")) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 160, 0));
        p.drawPolygon(QPolygon({QPoint(5, 3), QPoint(17, 10), QPoint(5, 17)}));
    } else if (kind == QStringLiteral("pause")) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 128, 0));
        p.drawRect(4, 3, 4, 14);
        p.drawRect(12, 3, 4, 14);
    } else if (kind == QStringLiteral("star")) {
        p.setPen(QColor(160, 120, 0));
        p.setBrush(QColor(255, 210, 0));
        p.drawPolygon(QPolygon({QPoint(10, 1), QPoint(12, 8), QPoint(19, 8), QPoint(13, 12), QPoint(15, 19),
                                QPoint(10, 15), QPoint(5, 19), QPoint(7, 12), QPoint(1, 8), QPoint(8, 8)}));
    } else if (kind == QStringLiteral("server") || kind == QStringLiteral("computer")) {
        p.setPen(Qt::black);
        p.setBrush(kind == QStringLiteral("server") ? QColor(180, 180, 220) : QColor(200, 220, 200));
        p.drawRect(3, 2, 14, 11);
        p.drawRect(6, 15, 8, 3);
    } else if (kind == QStringLiteral("back") || kind == QStringLiteral("forward")) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 80, 180));
        if (kind == QStringLiteral("back")) {
            p.drawPolygon(QPolygon({QPoint(15, 3), QPoint(4, 10), QPoint(15, 17)}));
        } else {
            p.drawPolygon(QPolygon({QPoint(5, 3), QPoint(16, 10), QPoint(5, 17)}));
        }
    }
    return pixmap;
}

QToolButton* toolButton(QWidget* parent, const QString& text, const QString& toolTip)
{
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setToolTip(toolTip);
    return button;
}

ClickLabel* image(QWidget* parent, const QString& glyph, const QString& toolTip)
{
    auto* label = new ClickLabel(parent);
    label->setPixmap(drawGlyph(glyph));
    label->setToolTip(toolTip);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

// Key codes as the design's key handlers receive them.
int vbKeyCode(const QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
        return 9;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_Delete:
        return 46;
    default:
        break;
    }
    const int key = event->key();
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z)) {
        return key;
    }
    return key & 0xFFFF;
}

int vbShift(Qt::KeyboardModifiers modifiers)
{
    int shift = 0;
    if (modifiers & Qt::ShiftModifier) {
        shift |= 1;
    }
    if (modifiers & Qt::ControlModifier) {
        shift |= 2;
    }
    if (modifiers & Qt::AltModifier) {
        shift |= 4;
    }
    return shift;
}

int vbButtons(Qt::MouseButtons buttons)
{
    int out = 0;
    if (buttons & Qt::LeftButton) {
        out |= 1;
    }
    if (buttons & Qt::RightButton) {
        out |= 2;
    }
    if (buttons & Qt::MiddleButton) {
        out |= 4;
    }
    return out;
}

} // namespace

// ---------------------------------------------------------------------------------------
// Menus

void FrmMain::buildMenus()
{
    QMenuBar* bar = menuBar();
    // handler: a method of the window, or a step (Task) that goes on after its waits.
    const auto item = [this](QMenu* menu, const QString& caption, auto handler,
                             const QKeySequence& shortcut = QKeySequence()) {
        QAction* action = menu->addAction(caption);
        if (!shortcut.isEmpty()) {
            action->setShortcut(shortcut);
        }
        if (handler) {
            connect(action, &QAction::triggered, this, [this, action, handler] {
                // A menu entry carries its check mark as the handler sets it, not as the
                // click toggles it.
                if (action->isCheckable()) {
                    action->setChecked(!action->isChecked());
                }
                if constexpr (std::is_void_v<decltype((this->*handler)())>) {
                    (this->*handler)();
                } else {
                    detach((this->*handler)());
                }
            });
        }
        return action;
    };

    menufile = bar->addMenu(QStringLiteral("&File"));
    mnuNew = item(menufile, QStringLiteral("&New Queue Manager"), &FrmMain::mnuNew_Click,
                  QKeySequence(Qt::CTRL | Qt::Key_N));
    mnuseparator3 = menufile->addSeparator();
    mnuOptions = item(menufile, QStringLiteral("&Settings"), &FrmMain::mnuOptions_Click);
    mnuseparator4 = menufile->addSeparator();
    mnuseparator5 = menufile->addSeparator();
    menuExit = item(menufile, QStringLiteral("E&xit"), &FrmMain::menuExit_Click);

    mnuPanels = bar->addMenu(QStringLiteral("&Panels"));
    mnuSearchQueue = item(mnuPanels, QStringLiteral("&Search"), &FrmMain::mnuSearchQueue_Click);
    mnuQueueInfo = item(mnuPanels, QStringLiteral("Queue &Information"), &FrmMain::mnuQueueInfo_Click);
    mnuQueueControl = item(mnuPanels, QStringLiteral("Queue &Control"), &FrmMain::mnuQueueControl_Click);
    mnuFavouritesPanel = item(mnuPanels, QStringLiteral("&Favourites"), &FrmMain::mnuFavouritesPanel_Click);
    mnuNetwork = item(mnuPanels, QStringLiteral("&Network"), &FrmMain::mnuNetwork_Click);
    mnuOnline = item(mnuPanels, QStringLiteral("&Updates"), &FrmMain::mnuOnline_Click);
    mnusepPanel1 = mnuPanels->addSeparator();
    mnuClosePanel = item(mnuPanels, QStringLiteral("&Close Panels"), &FrmMain::mnuClosePanel_Click);
    mnusepPanel2 = mnuPanels->addSeparator();
    mnuStatusBar = item(mnuPanels, QStringLiteral("&Status Bar"), &FrmMain::mnuStatusBar_Click);
    for (QAction* a :
         {mnuSearchQueue, mnuQueueInfo, mnuQueueControl, mnuFavouritesPanel, mnuNetwork, mnuOnline, mnuStatusBar}) {
        a->setCheckable(true);
    }
    mnuStatusBar->setChecked(true);

    menuJobs = bar->addMenu(QStringLiteral("&Jobs"));
    MenuResumeJob =
        item(menuJobs, QStringLiteral("Resume Job"), &FrmMain::MenuResumeJob_Click, QKeySequence(Qt::Key_F2));
    MenuPauseJob = item(menuJobs, QStringLiteral("Pause Job"), &FrmMain::MenuPauseJob_Click, QKeySequence(Qt::Key_F3));
    mnuLogComment = item(menuJobs, QStringLiteral("Add &Log Comment"), &FrmMain::mnuLogComment_Click,
                         QKeySequence(Qt::CTRL | Qt::Key_L));
    mnuseparator0 = menuJobs->addSeparator();
    mnuresumealljobs =
        item(menuJobs, QStringLiteral("Resume All Jobs"), &FrmMain::mnuresumealljobs_Click, QKeySequence(Qt::Key_F4));
    mnupausealljobs =
        item(menuJobs, QStringLiteral("Pause All Jobs"), &FrmMain::mnupausealljobs_Click, QKeySequence(Qt::Key_F5));
    menuSeparator2 = menuJobs->addSeparator();
    MenuRemove = item(menuJobs, QStringLiteral("Delete Job"), &FrmMain::MenuRemove_Click, QKeySequence(Qt::Key_Delete));
    menuPurge = item(menuJobs, QStringLiteral("Delete All Jobs"), &FrmMain::MenuPurge_Click,
                     QKeySequence(Qt::SHIFT | Qt::Key_Delete));
    menuSeparator3 = menuJobs->addSeparator();
    MenuPriority =
        item(menuJobs, QStringLiteral("Change Job Priority"), &FrmMain::MenuPriority_Click, QKeySequence(Qt::Key_F6));
    mnuJobProperties = item(menuJobs, QStringLiteral("Job Properties"), &FrmMain::mnuJobProperties_Click,
                            QKeySequence(Qt::CTRL | Qt::Key_J));
    mnuJobProperties->setVisible(false);
    mnuJobProperties->setEnabled(false);

    menuPrinter = bar->addMenu(QStringLiteral("&Printer"));
    MenuResume =
        item(menuPrinter, QStringLiteral("Resume Printer"), &FrmMain::MenuResume_Click, QKeySequence(Qt::Key_F7));
    MenuPause = item(menuPrinter, QStringLiteral("Pause Printer"), &FrmMain::MenuPause_Click, QKeySequence(Qt::Key_F8));
    menuSeparatorP1 = menuPrinter->addSeparator();
    mnuPrinterProperties = item(menuPrinter, QStringLiteral("Printer &Properties"),
                                &FrmMain::mnuPrinterProperties_Click, QKeySequence(Qt::CTRL | Qt::Key_P));
    mnutestpage = item(menuPrinter, QStringLiteral("Print &Test Page"), &FrmMain::mnutestpage_Click,
                       QKeySequence(Qt::CTRL | Qt::Key_T));

    mnuFavourites = bar->addMenu(QStringLiteral("&Favourites"));
    mnuAddFav = item(mnuFavourites, QStringLiteral("&Add Favourite"), &FrmMain::mnuAddFav_Click);
    mnuFavSep1 = mnuFavourites->addSeparator();
    mnuFavSep1->setVisible(false);
    for (int i = 0; i < 20; ++i) {
        QAction* fav = mnuFavourites->addAction(QString());
        fav->setCheckable(true);
        fav->setVisible(false);
        connect(fav, &QAction::triggered, this, [this, fav, i] {
            fav->setChecked(!fav->isChecked());
            mnuFav_Click(i);
        });
        mnuFav[static_cast<size_t>(i)] = fav;
    }
    mnuFavSep2 = mnuFavourites->addSeparator();
    mnuFavSep2->setVisible(false);
    mnuDelFav = item(mnuFavourites, QStringLiteral("&Delete Favourites"), &FrmMain::mnuDelFav_Click);
    mnuDelFav->setCheckable(true);
    mnuDelFav->setVisible(false);
    mnuFavToolsSep = mnuFavourites->addSeparator();
    mnuImportFav = item(mnuFavourites, QStringLiteral("&Import Favourites"), &FrmMain::mnuImportFav_Click);
    mnuExportFav = item(mnuFavourites, QStringLiteral("&Export Favourites"), &FrmMain::mnuExportFav_Click);
    mnuExportFav->setVisible(false);

    mnuReports = bar->addMenu(QStringLiteral("&Reports"));
    mnuPrnRptMenu = mnuReports->addMenu(QStringLiteral("Printer"));
    mnuPrinterReport =
        item(mnuPrnRptMenu, QStringLiteral("Current Queue (Javascript)"), &FrmMain::mnuPrinterReport_Click);
    mnuPrinterReportnj = item(mnuPrnRptMenu, QStringLiteral("Current Queue"), &FrmMain::mnuPrinterReportnj_Click);
    mnuSrvRptMenu = mnuReports->addMenu(QStringLiteral("Server"));
    mnuServerReport =
        item(mnuSrvRptMenu, QStringLiteral("Current Queues (Javascript)"), &FrmMain::mnuServerReport_Click);
    mnuServerReportnj = item(mnuSrvRptMenu, QStringLiteral("Current Queues"), &FrmMain::mnuServerReportnj_Click);
    mnuFavRptMenu = mnuReports->addMenu(QStringLiteral("Favourites"));
    mnuFavReport = item(mnuFavRptMenu, QStringLiteral("Current Queues"), &FrmMain::mnuFavReport_Click);
    mnuLogRptMenu = mnuReports->addMenu(QStringLiteral("Log"));
    mnuLogRptToday = item(mnuLogRptMenu, QStringLiteral("Today's Logs"), &FrmMain::mnuLogRptToday_Click);
    mnuFullLogReports = mnuLogRptMenu->addMenu(QStringLiteral("Full Log"));
    mnuLogFullReportCSV = item(mnuFullLogReports, QStringLiteral("CSV"), &FrmMain::mnuLogFullReportCSV_Click);
    mnuLogFullReportEmail = item(mnuFullLogReports, QStringLiteral("Email"), &FrmMain::mnuLogFullReportEmail_Click);
    mnuLogFullReportHTML = item(mnuFullLogReports, QStringLiteral("HTML"), &FrmMain::mnuLogFullReportHTML_Click);
    mnuLogRptPrinter = item(mnuLogRptMenu, QStringLiteral("Printers"), &FrmMain::mnuLogRptPrinter_Click);
    mnuLogRptUser = item(mnuLogRptMenu, QStringLiteral("Users"), &FrmMain::mnuLogRptUser_Click);
    mnuLogRptDailyJobs = item(mnuLogRptMenu, QStringLiteral("Daily Jobs"), &FrmMain::mnuLogRptDailyJobs_Click);
    mnuLogRptMonthlyJobs = item(mnuLogRptMenu, QStringLiteral("Monthly Jobs"), &FrmMain::mnuLogRptMonthlyJobs_Click);
    mnuLogRptHLV = item(mnuLogRptMenu, QStringLiteral("Queue Managers"), &FrmMain::mnuLogRptHLV_Click);
    mnuAuditRptMenu = mnuReports->addMenu(QStringLiteral("Audit"));
    mnuAuditRptToday = item(mnuAuditRptMenu, QStringLiteral("Today's Audit"), &FrmMain::mnuAuditRptToday_Click);
    mnuAuditRptActions = item(mnuAuditRptMenu, QStringLiteral("Audit Actions"), &FrmMain::mnuAuditRptActions_Click);

    MenuStatistics = bar->addAction(QStringLiteral("&Statistics"));
    connect(MenuStatistics, &QAction::triggered, this, &FrmMain::MenuStatistics_Click);
    mnuSearch = bar->addAction(QStringLiteral("&ServerView"));
    mnuSearch->setVisible(false);
    connect(mnuSearch, &QAction::triggered, this, &FrmMain::mnuSearch_Click);

    mnuHelpTop = bar->addMenu(QStringLiteral("&Help"));
    mnuAbout = item(mnuHelpTop, QStringLiteral("&About"), &FrmMain::mnuAbout_Click);
    Help = item(mnuHelpTop, QStringLiteral("&Contents"), &FrmMain::Help_Click, QKeySequence(Qt::Key_F1));
    mnupsrsep = mnuHelpTop->addSeparator();
    mnupsrsep->setVisible(false);
    mnupsr = item(mnuHelpTop, QStringLiteral("&Problem Steps Recorder"), &FrmMain::mnupsr_Click);
    mnupsr->setVisible(false);

    mnuMenu = bar->addAction(QStringLiteral("Show &Full Menu"));
    mnuMenu->setVisible(false);
    connect(mnuMenu, &QAction::triggered, this, &FrmMain::mnuMenu_Click);
}

// ---------------------------------------------------------------------------------------
// Panels

void FrmMain::buildPanels()
{
    auto* central = new QWidget(this);
    setCentralWidget(central);

    const auto frame = [central](const QString& caption, const QRect& place) {
        auto* box = new PanelFrame(caption, central);
        box->setGeometry(place);
        box->setFlat(true);
        paintPanel(box, VbColours::PanelBack, VbColours::PanelFore);
        box->setVisible(false);
        return box;
    };

    // Print queue: the server and queue boxes.
    PrintQueue = frame(QStringLiteral("Print Queue"), twipsRect(120, 0, 4095, 1335));
    {
        auto* grid = new QGridLayout(PrintQueue);
        grid->setContentsMargins(4, 2, 4, 2);
        grid->setVerticalSpacing(2);
        Label1 = new QLabel(QStringLiteral("Server"), PrintQueue);
        CurrentPrinter = new QComboBox(PrintQueue);
        CurrentPrinter->setEditable(true);
        CurrentPrinter->setInsertPolicy(QComboBox::NoInsert);
        // What the operator types stays exactly as typed. The box's own completer would
        // complete from the history as one types, and without a completer the box matches
        // a finished text to its entries ignoring case ("ps1" became "PS1"). A completer
        // that knows no names and compares case-sensitively does neither.
        auto* exactOnly = new QCompleter(QStringList(), CurrentPrinter);
        exactOnly->setCaseSensitivity(Qt::CaseSensitive);
        exactOnly->setCompletionMode(QCompleter::InlineCompletion);
        CurrentPrinter->setCompleter(exactOnly);
        CurrentPrinter->setToolTip(QStringLiteral("Enter Server name or IP address"));
        FindPrintQueues = toolButton(PrintQueue, QStringLiteral("Find"), QStringLiteral("Refresh Printer Queues"));
        FindComputers = toolButton(PrintQueue, QStringLiteral("..."), QStringLiteral("Search for Print Servers"));
        Label2 = new QLabel(QStringLiteral("Queue"), PrintQueue);
        CurrentPrintQueue = new QComboBox(PrintQueue);
        CurrentPrintQueue->setEditable(false);
        CurrentPrintQueue->setToolTip(QStringLiteral("Select a Print Queue"));
        LabelPrintQueues = new QLabel(PrintQueue);
        grid->addWidget(Label1, 0, 0);
        grid->addWidget(CurrentPrinter, 0, 1);
        grid->addWidget(FindPrintQueues, 0, 2);
        grid->addWidget(FindComputers, 0, 3);
        grid->addWidget(Label2, 1, 0);
        grid->addWidget(CurrentPrintQueue, 1, 1, 1, 3);
        grid->addWidget(LabelPrintQueues, 2, 1, 1, 3);
        grid->setColumnStretch(1, 1);
        // The queue information panel below overlaps this frame's foot, as designed; compact
        // rows keep the queue count line above it.
        grid->setVerticalSpacing(0);
        grid->setContentsMargins(4, 0, 4, 0);
        grid->setRowStretch(3, 1);
        for (QWidget* row :
             std::initializer_list<QWidget*>{CurrentPrinter, FindPrintQueues, FindComputers, CurrentPrintQueue}) {
            row->setFixedHeight(22);
        }
    }

    // Queue information: the queue's details and status.
    frmQueueInfo = frame(QStringLiteral("Queue Information"), twipsRect(120, 1155, 4095, 1500));
    {
        auto* grid = new QGridLayout(frmQueueInfo);
        grid->setContentsMargins(4, 2, 4, 2);
        grid->setVerticalSpacing(1);
        const auto row = [this, grid](int r, const QString& caption) {
            auto* edit = new QLineEdit(frmQueueInfo);
            edit->setReadOnly(true);
            edit->installEventFilter(this);
            grid->addWidget(new QLabel(caption, frmQueueInfo), r, 0);
            grid->addWidget(edit, r, 1);
            return edit;
        };
        txtDescription = row(0, QStringLiteral("Description"));
        txtPrintPath = row(1, QStringLiteral("Path"));
        txtLocation = row(2, QStringLiteral("Location"));
        txtModel = row(3, QStringLiteral("Model"));
        txtPrintStatus = row(4, QStringLiteral("Status"));
        txtPrintStatus->setAutoFillBackground(true);
    }

    // Queue control: automation, queue commands and the lamp.
    frmQueueControl = frame(QStringLiteral("Queue Control"), twipsRect(4320, 0, 3495, 2655));
    {
        auto* grid = new QGridLayout(frmQueueControl);
        grid->setContentsMargins(4, 2, 4, 2);
        grid->setVerticalSpacing(1);
        const auto check = [this](const QString& caption) {
            auto* box = new QCheckBox(caption, frmQueueControl);
            // A button fills its background with the Button role; these boxes carry their
            // colours (the automation state) in the Window role, as the panels do.
            box->setBackgroundRole(QPalette::Window);
            paintPanel(box, VbColours::PanelBack, VbColours::PanelFore);
            return box;
        };
        chkAutoQueue = check(QStringLiteral("AutoQueue"));
        chkTimed = check(QStringLiteral("AutoRelease"));
        chkTimed->setEnabled(false);
        chkAA = check(QStringLiteral("AutoActivate"));
        chkAA->setEnabled(false);
        optTimed[0] = new QRadioButton(QStringLiteral("Print Jobs"), frmQueueControl);
        optTimed[1] = new QRadioButton(QStringLiteral("Delete Jobs"), frmQueueControl);
        for (QRadioButton* option : optTimed) {
            option->setBackgroundRole(QPalette::Window);
            paintPanel(option, VbColours::PanelBack, VbColours::PanelFore);
            option->setEnabled(false);
        }
        optTimed[0]->setChecked(true);
        txtTimed = new QLineEdit(QStringLiteral("5:00 PM"), frmQueueControl);
        txtTimed->setToolTip(QStringLiteral("Must be h:mm AM/PM"));
        txtTimed->setEnabled(false);

        auto* buttons = new QHBoxLayout();
        cmdRefreshJobs = toolButton(frmQueueControl, QStringLiteral("Reload"), QStringLiteral("Reload all print jobs"));
        cmdPrintProperty = toolButton(frmQueueControl, QStringLiteral("Props"), QStringLiteral("Printer Properties"));
        cmdTestPage = toolButton(frmQueueControl, QStringLiteral("Test"), QStringLiteral("Print Test Page"));
        imgPlay = image(frmQueueControl, QStringLiteral("play"), QStringLiteral("Pause Queue"));
        imgPause = image(frmQueueControl, QStringLiteral("pause"), QStringLiteral("Resume Queue"));
        imgFavourite = image(frmQueueControl, QStringLiteral("star"), QStringLiteral("Add To Favourites"));
        ActiveUpdate = new Lamp(frmQueueControl);
        ActiveUpdate->setFixedSize(14, 14);
        for (QWidget* w : std::initializer_list<QWidget*>{cmdRefreshJobs, cmdPrintProperty, cmdTestPage, imgPlay,
                                                          imgPause, imgFavourite, ActiveUpdate}) {
            buttons->addWidget(w);
        }
        buttons->addStretch();
        LabelPrintJobs = new QLabel(frmQueueControl);

        grid->addWidget(chkAutoQueue, 0, 0, 1, 2);
        grid->addWidget(chkTimed, 1, 0, 1, 2);
        grid->addWidget(optTimed[0], 2, 0);
        grid->addWidget(optTimed[1], 2, 1);
        grid->addWidget(txtTimed, 3, 0);
        grid->addWidget(chkAA, 3, 1);
        grid->addLayout(buttons, 4, 0, 1, 2);
        grid->addWidget(LabelPrintJobs, 5, 0, 1, 2);
        frmQueueControl->installEventFilter(this);
    }

    // Favourites: twenty buttons, hidden while their slot is free.
    FrameFavourites = frame(QStringLiteral("Favourites"), twipsRect(7920, 0, 2010, 2655));
    {
        auto* grid = new QGridLayout(FrameFavourites);
        grid->setContentsMargins(4, 2, 4, 2);
        grid->setSpacing(2);
        for (int i = 0; i < 20; ++i) {
            auto* button = new QPushButton(QString::number(i + 1), FrameFavourites);
            button->setFixedSize(26, 24);
            QPalette p = button->palette();
            p.setColor(QPalette::Button, vbColour(VbColours::FavouriteButton));
            button->setPalette(p);
            button->setVisible(false);
            connect(button, &QPushButton::clicked, this, [this, i] { favbutton_Click(i); });
            favbutton[static_cast<size_t>(i)] = button;
            grid->addWidget(button, i / 4, i % 4);
        }
    }

    // Network: the server view browser and its navigation images.
    frmServer = frame(QStringLiteral("Network"), twipsRect(7920, 0, 4095, 2655));
    {
        Image2 = image(frmServer, QStringLiteral("server"), QStringLiteral("Print Server Shares"));
        Image3 = image(frmServer, QStringLiteral("computer"), QStringLiteral("My Computer Shares"));
        Image4 = image(frmServer, QStringLiteral("back"), QStringLiteral("Back"));
        Image5 = image(frmServer, QStringLiteral("forward"), QStringLiteral("Forward"));
        int top = 20;
        for (ClickLabel* img : {Image2, Image3, Image4, Image5}) {
            img->setGeometry(8, top, 20, 20);
            top += 26;
        }
        m_webServer = m_ctx.browserFactory ? m_ctx.browserFactory(frmServer) : std::make_unique<WebBrowser>();
        WebServer = m_webServer.get();
        if (QWidget* w = WebServer->widget()) {
            w->setGeometry(twipsRect(600, 240, 3345, 2235));
        }
    }

    // Updates: the update-check reply and the update command.
    frmOnline = frame(QStringLiteral("Updates"), twipsRect(12120, 0, 2010, 2655));
    {
        auto* layout = new QVBoxLayout(frmOnline);
        layout->setContentsMargins(4, 2, 4, 2);
        Label3 = new QLabel(QStringLiteral("Version Information"), frmOnline);
        layout->addWidget(Label3);
        m_webVersion = m_ctx.browserFactory ? m_ctx.browserFactory(frmOnline) : std::make_unique<WebBrowser>();
        WebVersion = m_webVersion.get();
        if (QWidget* w = WebVersion->widget()) {
            layout->addWidget(w, 1);
        } else {
            layout->addStretch(1);
        }
        mnuUpdate = new QPushButton(QStringLiteral("Update"), frmOnline);
        mnuUpdate->setToolTip(QStringLiteral("Open Print Queue Update Website"));
        layout->addWidget(mnuUpdate);
        // The address the label opens, as the operator can check it before a click.
        lblWebsite = new ClickLabel(webServerAddress(), frmOnline);
        lblWebsite->setCursor(Qt::PointingHandCursor);
        layout->addWidget(lblWebsite);
    }

    // The queue's job list.
    buildJobLists();

    // ServerView: all jobs of the server, over everything else while shown.
    FrameSearch = frame(QStringLiteral("Search"), twipsRect(2280, 2760, 10335, 3255));
    paintPanel(FrameSearch, VbColours::SearchBack, 0);
    FrameSearch->setPalette([this] {
        QPalette p = FrameSearch->palette();
        p.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::WindowText));
        return p;
    }());
    SearchList->setParent(FrameSearch);
    SearchList->setGeometry(twipsRect(0, 360, 5055, 2085));
    SearchStatus = new QLabel(FrameSearch);
    SearchStatus->setGeometry(twipsRect(120, 2520, 6000, 300));
    ServerStatus = new QLabel(FrameSearch);
    ServerStatus->setGeometry(twipsRect(6240, 2520, 3900, 300));
    SearchProgress = new Lamp(FrameSearch);
    SearchProgress->setGeometry(twipsRect(5160, 360, 240, 240));
    FrameSearch->raise();

    // The status bar: Info, queue and server, job count, printer status.
    StatusBar1 = statusBar();
    for (size_t i = 0; i < statusPanels.size(); ++i) {
        auto* panel = new QLabel(StatusBar1);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        // Together the panels fit the narrowest window; a text longer than its panel is
        // cut at the panel's edge rather than drawn over its neighbour.
        panel->setMinimumWidth(i == 0 ? 150 : 90);
        StatusBar1->addWidget(panel, i == 0 ? 2 : 1);
        statusPanels[i] = panel;
    }
    statusPanels[0]->setObjectName(QStringLiteral("Info"));
    statusPanels[3]->setObjectName(QStringLiteral("Status"));
    statusPanels[3]->setToolTip(QStringLiteral("Printer Status"));
}

void FrmMain::connectHandlers()
{
    connect(FindPrintQueues, &QToolButton::clicked, this, [this] { detach(FindPrintQueues_Click()); });
    connect(FindComputers, &QToolButton::clicked, this, &FrmMain::FindComputers_Click);
    connect(cmdRefreshJobs, &QToolButton::clicked, this, &FrmMain::cmdRefreshJobs_Click);
    connect(cmdPrintProperty, &QToolButton::clicked, this, [this] { detach(cmdPrintProperty_Click()); });
    connect(cmdTestPage, &QToolButton::clicked, this, [this] { detach(cmdTestPage_Click()); });
    connect(imgPlay, &ClickLabel::clicked, this, [this] { detach(imgPlay_Click()); });
    connect(imgPause, &ClickLabel::clicked, this, [this] { detach(imgPause_Click()); });
    connect(imgFavourite, &ClickLabel::clicked, this, &FrmMain::imgFavourite_Click);
    connect(Image2, &ClickLabel::clicked, this, &FrmMain::Image2_Click);
    connect(Image3, &ClickLabel::clicked, this, &FrmMain::Image3_Click);
    connect(Image4, &ClickLabel::clicked, this, &FrmMain::Image4_Click);
    connect(Image5, &ClickLabel::clicked, this, &FrmMain::Image5_Click);
    connect(mnuUpdate, &QPushButton::clicked, this, &FrmMain::mnuUpdate_Click);
    connect(lblWebsite, &ClickLabel::clicked, this, &FrmMain::lblWebsite_Click);
    connectBrowserHandlers();

    // A user's choice in the queue box; code selects entries through selectQueueEntry.
    connect(CurrentPrintQueue, &QComboBox::activated, this, [this](int) { detach(CurrentPrintQueue_Click()); });
    // Keys reach the combo box (the focus widget) and the combo passes them on to its line
    // edit directly, so the combo is watched; the line edit too, for keys sent to it.
    CurrentPrinter->installEventFilter(this);
    CurrentPrinter->lineEdit()->installEventFilter(this);

    // A check box runs its Click handler whenever its value changes, by a click or by code.
    connect(chkAutoQueue, &QCheckBox::stateChanged, this, [this](int) { detach(chkAutoQueue_Click()); });
    connect(chkTimed, &QCheckBox::stateChanged, this, [this](int) { chkTimed_Click(); });
    connect(chkAA, &QCheckBox::stateChanged, this, [this](int) { chkAA_Click(); });

    connect(&Timer1, &QTimer::timeout, this, &FrmMain::Timer1_Timer);
    connect(&Timer2, &QTimer::timeout, this, &FrmMain::Timer2_Timer);
}

bool FrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (CurrentPrinter && (watched == CurrentPrinter || watched == CurrentPrinter->lineEdit()) &&
        event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        CurrentPrinter_KeyDown(vbKeyCode(key), vbShift(key->modifiers()));
        // The combo box would act on Enter itself (completion, insertion); the key is ours.
        return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    }
    if (JobList && watched == JobList->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint p = mouse->position().toPoint();
            JobList_MouseDown(vbButtons(mouse->buttons() | mouse->button()), vbShift(mouse->modifiers()),
                              static_cast<int>(pixelsToTwips(p.x())), static_cast<int>(pixelsToTwips(p.y())));
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            JobList_DblClick();
        }
    }
    if (frmQueueControl && watched == frmQueueControl && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint p = mouse->position().toPoint();
        frmQueueControl_MouseDown(vbButtons(mouse->buttons() | mouse->button()), vbShift(mouse->modifiers()),
                                  static_cast<int>(pixelsToTwips(p.x())), static_cast<int>(pixelsToTwips(p.y())));
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------
// Small helpers

int FrmMain::value(const QCheckBox* box)
{
    return box && box->isChecked() ? 1 : 0;
}

void FrmMain::setValue(QCheckBox* box, int value)
{
    // Only 0 and 1 are values of the two-state boxes; anything else leaves the box alone.
    if (box && (value == 0 || value == 1)) {
        box->setChecked(value == 1);
    }
}

void FrmMain::setPrintStatusBackColour(quint32 bgr)
{
    m_printStatusBack = bgr;
    QPalette p = txtPrintStatus->palette();
    p.setColor(QPalette::Base, vbColour(bgr));
    txtPrintStatus->setPalette(p);
}

void FrmMain::setActiveUpdateColour(quint32 bgr)
{
    ActiveUpdate->setBackColor(bgr);
}

quint32 FrmMain::activeUpdateColour() const
{
    return ActiveUpdate->backColor();
}

void FrmMain::setBusyPointer(bool busy)
{
    setMainBusy(busy);
}

void FrmMain::setMainBusy(bool busy)
{
    if (busy) {
        setCursor(Qt::WaitCursor);
    } else {
        unsetCursor();
    }
}

void FrmMain::setJobListBusy(bool busy)
{
    if (busy) {
        JobList->setCursor(Qt::WaitCursor);
    } else {
        JobList->unsetCursor();
    }
}

QString FrmMain::statusPanelText(int panel) const
{
    if (panel < 1 || panel > static_cast<int>(statusPanels.size())) {
        return QString();
    }
    return statusPanels[static_cast<size_t>(panel - 1)]->text();
}

void FrmMain::setStatusPanelText(int panel, const QString& text)
{
    if (panel >= 1 && panel <= static_cast<int>(statusPanels.size())) {
        statusPanels[static_cast<size_t>(panel - 1)]->setText(text);
    }
}

QString FrmMain::timeText() const
{
    return generalTimeText(m_ctx.clock.now().time());
}

QString FrmMain::nowText() const
{
    return generalDateText(m_ctx.clock.now());
}

void FrmMain::yieldToEvents()
{
    // What the yield lets run is the operator's (or another tick's) own work, not the
    // yielding step's.
    m_printWorker->attended([] { QCoreApplication::processEvents(); });
}

void FrmMain::writeAudit(const QString& action, const QString& description)
{
    m_jobLog->WriteAudit(action, description);
}

// ---- StoreHost ----

QString FrmMain::serverBoxText() const
{
    return CurrentPrinter->currentText();
}

QString FrmMain::queueBoxText() const
{
    return CurrentPrintQueue->currentIndex() < 0 ? QString() : CurrentPrintQueue->currentText();
}

bool FrmMain::autoQueueChecked() const
{
    return value(chkAutoQueue) == 1;
}

QString FrmMain::logPath() const
{
    return m_settings.LogPath;
}

bool FrmMain::auditOn() const
{
    return m_settings.Audit;
}

// ---- LiveViewSurface ----

JobRowList& FrmMain::searchList()
{
    return *SearchList;
}

JobRowList& FrmMain::jobList()
{
    return *JobList;
}

void FrmMain::setSearchStatus(const QString& text)
{
    SearchStatus->setText(text);
}

void FrmMain::setServerStatus(const QString& text)
{
    ServerStatus->setText(text);
}

void FrmMain::setInfoPanel(const QString& text)
{
    setStatusPanelText(1, text);
}

void FrmMain::setSearchProgress(quint32 bgr)
{
    SearchProgress->setBackColor(bgr);
}

// ---- window events ----

void FrmMain::closeEvent(QCloseEvent* event)
{
    // Closing always proceeds; the shutdown runs once, whatever closed the window.
    Form_Unload();
    event->accept();
}

void FrmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // A connection box held back while the window was not on screen opens now, over it.
    m_liveViewDialogs->ownerShown();
}

void FrmMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    rememberNormalSize();
    Form_Resize();
}

void FrmMain::rememberNormalSize()
{
    // The last normal size is what the settings keep while the window is maximised.
    if (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) {
        return;
    }
    m_settings.DisplaySizeWidth = QString::number(qRound(pixelsToTwips(width())));
    m_settings.DisplaySizeHeight = QString::number(qRound(pixelsToTwips(height())));
}

} // namespace hlv
