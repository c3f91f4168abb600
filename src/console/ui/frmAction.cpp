#include "console/ui/frmAction.h"

#include <QEvent>
#include <QFont>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextDocument>

#include "console/ui/FrmMain.h"
#include "console/ui/FrmMain_ActionSupport.h"
#include "console/ui/VbColour.h"

namespace hlv {

namespace {

QString buttonStyle(quint32 bgr)
{
    return QStringLiteral("QPushButton { background-color: %1; border: 1px solid #808080; }").arg(vbColour(bgr).name());
}

QPushButton* makeButton(QWidget* parent, const QString& caption, quint32 back, double points, const QString& name)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(points);
    font.setBold(true);
    button->setFont(font);
    button->setStyleSheet(buttonStyle(back));
    button->setAutoDefault(false);
    return button;
}

void place(QWidget* widget, const QRect& twips, double dpi)
{
    widget->setGeometry(twipsToPixels(twips.left(), dpi), twipsToPixels(twips.top(), dpi),
                        twipsToPixels(twips.width(), dpi), twipsToPixels(twips.height(), dpi));
}

} // namespace

frmAction::frmAction(Commands commands, QWidget* parent)
    : QDialog(parent)
    , m_commands(std::move(commands))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Job Actions - Halvern"));
    setModal(false);
    buildControls();
    Form_Load();
}

frmAction::frmAction(FrmMain& main, QWidget* parent)
    : frmAction(Commands{[&main] { detach(main.MenuResumeJob_Click()); }, [&main] { detach(main.MenuRemove_Click()); },
                         [&main] { detach(main.mnuresumealljobs_Click()); },
                         [&main] { detach(main.MenuPurge_Click()); }, [&main] { return actions::selectedRow(main); },
                         [&main] {
                             return main.settings().QAHideAllButtons;
                         }},
                parent)
{}

void frmAction::buildControls()
{
    setObjectName(QStringLiteral("frmAction"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, vbColour(VbColours::PanelBack));
    setPalette(pal);

    const double dpi = logicalDpiX();
    setFixedSize(twipsToPixels(kActionWidthTwips, dpi), twipsToPixels(kActionHeightTwips, dpi));

    txtPrintJob = new QPlainTextEdit(this);
    txtPrintJob->setObjectName(QStringLiteral("txtPrintJob"));
    QFont arial(QStringLiteral("Arial"));
    arial.setPointSizeF(9);
    txtPrintJob->setFont(arial);
    // The box holds the two-line summary exactly: no scroll bars, a thin frame and a small
    // document margin, so both lines show in the designed height.
    txtPrintJob->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtPrintJob->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtPrintJob->document()->setDocumentMargin(1);
    m_summary = actionNoJobText() + QStringLiteral("\r\n");
    txtPrintJob->setPlainText(actionNoJobText() + QLatin1Char('\n'));

    PrintButton = makeButton(this, QStringLiteral("Print"), 0xFFC0C0, 12, QStringLiteral("PrintButton"));
    DeleteButton = makeButton(this, QStringLiteral("Delete"), 0x8080FF, 12, QStringLiteral("DeleteButton"));
    cmdPrintAll = makeButton(this, QStringLiteral("Print All"), 0xFFC0C0, 9.75, QStringLiteral("cmdPrintAll"));
    cmdDeleteAll = makeButton(this, QStringLiteral("Delete All"), 0x8080FF, 9.75, QStringLiteral("cmdDeleteAll"));
    CancelButton = makeButton(this, QStringLiteral("Cancel"), 0xC0C0C0, 12, QStringLiteral("CancelButton"));

    // Designed tab order: Cancel, Print, Delete, Print All, Delete All, the summary.
    setTabOrder(CancelButton, PrintButton);
    setTabOrder(PrintButton, DeleteButton);
    setTabOrder(DeleteButton, cmdPrintAll);
    setTabOrder(cmdPrintAll, cmdDeleteAll);
    setTabOrder(cmdDeleteAll, txtPrintJob);
    CancelButton->setFocus();

    connect(PrintButton, &QPushButton::clicked, this, &frmAction::PrintButton_Click);
    connect(DeleteButton, &QPushButton::clicked, this, &frmAction::DeleteButton_Click);
    connect(cmdPrintAll, &QPushButton::clicked, this, &frmAction::cmdPrintAll_Click);
    connect(cmdDeleteAll, &QPushButton::clicked, this, &frmAction::cmdDeleteAll_Click);
    connect(CancelButton, &QPushButton::clicked, this, &frmAction::CancelButton_Click);
}

void frmAction::runLoadSteps()
{
    const bool hide = m_commands.hideAllButtons && m_commands.hideAllButtons();
    m_layout = actionLayout(hide);
    const double dpi = logicalDpiX();
    place(txtPrintJob, m_layout.txtPrintJob, dpi);
    place(PrintButton, m_layout.PrintButton, dpi);
    place(DeleteButton, m_layout.DeleteButton, dpi);
    place(cmdPrintAll, m_layout.cmdPrintAll, dpi);
    place(cmdDeleteAll, m_layout.cmdDeleteAll, dpi);
    place(CancelButton, m_layout.CancelButton, dpi);
    cmdPrintAll->setVisible(m_layout.allButtonsVisible);
    cmdDeleteAll->setVisible(m_layout.allButtonsVisible);

    const std::optional<JobRowValues> row = m_commands.selectedRow ? m_commands.selectedRow() : std::nullopt;
    m_summary = row ? actionSummaryText(row->Description, row->Computer, row->Size, row->Pages) : actionNoJobText();
    QString shown = m_summary;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    txtPrintJob->setPlainText(shown);
}

void frmAction::Form_Load()
{
    runLoadSteps();
}

void frmAction::Form_Activate()
{
    runLoadSteps();
}

bool frmAction::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate) {
        Form_Activate();
    }
    return QDialog::event(e);
}

void frmAction::unload()
{
    close();
}

void frmAction::PrintButton_Click()
{
    // The window's events run while the server is asked: the popup may be closed meanwhile.
    const QPointer<frmAction> self(this);
    if (m_commands.printJob) {
        m_commands.printJob();
    }
    if (self) {
        unload();
    }
}

void frmAction::DeleteButton_Click()
{
    const QPointer<frmAction> self(this);
    if (m_commands.deleteJob) {
        m_commands.deleteJob();
    }
    if (self) {
        unload();
    }
}

void frmAction::cmdPrintAll_Click()
{
    if (m_commands.printAll) {
        m_commands.printAll();
    }
}

void frmAction::cmdDeleteAll_Click()
{
    if (m_commands.deleteAll) {
        m_commands.deleteAll();
    }
}

void frmAction::CancelButton_Click()
{
    unload();
}

} // namespace hlv
