#include "console/ui/FrmStats.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "console/ui/ConsoleContext.h"
#include "console/ui/ConsoleSettings.h"
#include "console/ui/FrmMain.h"
#include "console/ui/StatsText.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/MailClient.h"
#include "platform/Shell.h"
#include "store/IniFile.h"
#include "store/JobLogStore.h"

namespace hlv {

namespace {

QLabel* figureLabel(QWidget* parent, const QString& name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& caption, const QString& toolTip = QString())
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setToolTip(toolTip);
    b->setAutoDefault(false);
    return b;
}

QStringList texts(std::initializer_list<const QLabel*> labels)
{
    QStringList out;
    for (const QLabel* label : labels) {
        out.append(label->text());
    }
    return out;
}

} // namespace

FrmStats::FrmStats(FrmMain& main, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_main(main)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("FrmStats"));
    setWindowTitle(QStringLiteral("Statistics - Halvern"));
    buildControls();
    Form_Load();
}

void FrmStats::buildControls()
{
    lblSessionPrinted = figureLabel(this, QStringLiteral("lblSessionPrinted"));
    lblSessionDeleted = figureLabel(this, QStringLiteral("lblSessionDeleted"));
    lblSessionSavings = figureLabel(this, QStringLiteral("lblSessionSavings"));

    frmTotalStats = new QGroupBox(QStringLiteral("My Computer"), this);
    frmTotalStats->setObjectName(QStringLiteral("frmTotalStats"));
    lblTotalPrinted = figureLabel(frmTotalStats, QStringLiteral("lblTotalPrinted"));
    lblTotalDeleted = figureLabel(frmTotalStats, QStringLiteral("lblTotalDeleted"));
    lblTotalSavings = figureLabel(frmTotalStats, QStringLiteral("lblTotalSavings"));
    lblTotalReset = figureLabel(frmTotalStats, QStringLiteral("lblTotalReset"));
    cmdResetStats =
        button(frmTotalStats, QStringLiteral("cmdResetStats"), QStringLiteral("Reset"), QStringLiteral("Reset Totals"));
    {
        auto* grid = new QGridLayout(frmTotalStats);
        grid->addWidget(lblTotalPrinted, 0, 0);
        grid->addWidget(lblTotalDeleted, 1, 0);
        grid->addWidget(lblTotalSavings, 2, 0);
        grid->addWidget(lblTotalReset, 3, 0);
        grid->addWidget(cmdResetStats, 3, 1);
        grid->setColumnStretch(0, 1);
    }

    frmLog = new QGroupBox(QStringLiteral("Log"), this);
    frmLog->setObjectName(QStringLiteral("frmLog"));
    cmdRefreshStats = button(frmLog, QStringLiteral("cmdRefreshStats"), QStringLiteral("Refresh"));
    cmdExportLog =
        button(frmLog, QStringLiteral("cmdExportLog"), QStringLiteral("CSV"), QStringLiteral("Export Log to CSV"));
    cmdEmailLog = button(frmLog, QStringLiteral("cmdEmailLog"), QStringLiteral("Email"),
                         QStringLiteral("Email Session Statistics and Log File"));
    CmdAccess =
        button(frmLog, QStringLiteral("CmdAccess"), QStringLiteral("Access"), QStringLiteral("Open Log in Access"));
    {
        auto* grid = new QGridLayout(frmLog);
        for (size_t i = 0; i < lblLog.size(); ++i) {
            lblLog[i] = figureLabel(frmLog, QStringLiteral("lblLog") + QString::number(i + 1));
            grid->addWidget(lblLog[i], static_cast<int>(i), 0);
        }
        auto* commands = new QVBoxLayout;
        commands->addWidget(cmdRefreshStats);
        commands->addWidget(cmdExportLog);
        commands->addWidget(cmdEmailLog);
        commands->addWidget(CmdAccess);
        commands->addStretch();
        grid->addLayout(commands, 0, 1, static_cast<int>(lblLog.size()), 1);
        grid->setColumnStretch(0, 1);
    }

    auto* outer = new QVBoxLayout(this);
    outer->addWidget(lblSessionPrinted);
    outer->addWidget(lblSessionDeleted);
    outer->addWidget(lblSessionSavings);
    outer->addWidget(frmTotalStats);
    outer->addWidget(frmLog);

    connect(cmdRefreshStats, &QPushButton::clicked, this, &FrmStats::cmdRefreshStats_Click);
    connect(cmdResetStats, &QPushButton::clicked, this, &FrmStats::cmdResetStats_Click);
    connect(cmdExportLog, &QPushButton::clicked, this, &FrmStats::cmdExportLog_Click);
    connect(cmdEmailLog, &QPushButton::clicked, this, &FrmStats::cmdEmailLog_Click);
    connect(CmdAccess, &QPushButton::clicked, this, &FrmStats::CmdAccess_Click);
}

void FrmStats::Form_Load()
{
    cmdRefreshStats_Click();
    if (m_main.settings().SimpleView == QStringLiteral("Simple Menu")) {
        cmdResetStats->setVisible(false);
        CmdAccess->setVisible(false);
    }
}

void FrmStats::cmdRefreshStats_Click()
{
    const QStringList session =
        StatsText::sessionLines(m_main.SessionPrinted, static_cast<double>(m_main.SessionDeleted));
    lblSessionPrinted->setText(session.at(0));
    lblSessionDeleted->setText(session.at(1));
    lblSessionSavings->setText(session.at(2));

    const IniFile& ini = m_main.iniFile();
    const double deleted = readLogCounter(ini, QString::fromLatin1(kDeletedCounterKey));
    const double printed = readLogCounter(ini, QString::fromLatin1(kPrintedCounterKey));
    const QStringList totals = StatsText::totalLines(printed, deleted, m_main.settings().ResetTotal);
    lblTotalPrinted->setText(totals.at(0));
    lblTotalDeleted->setText(totals.at(1));
    lblTotalSavings->setText(totals.at(2));
    lblTotalReset->setText(totals.at(3));

    // A log that cannot be read leaves the figures at their reset values, which are shown.
    JobLogStore& log = m_main.jobLog();
    log.ComputeLogStats();
    const QStringList figures = StatsText::logLines(log.stats());
    for (size_t i = 0; i < lblLog.size(); ++i) {
        lblLog[i]->setText(figures.at(static_cast<qsizetype>(i)));
    }
}

void FrmStats::cmdResetStats_Click()
{
    m_main.settings().ResetTotal = m_main.context().clock.now();
    m_main.SessionPrinted = 0;
    m_main.SessionDeleted = 0;
    const IniFile& ini = m_main.iniFile();
    const QString section = QString::fromLatin1(kLogCountersSection);
    ini.WriteIni(section, QString::fromLatin1(kDeletedCounterKey), QStringLiteral("0"));
    ini.WriteIni(section, QString::fromLatin1(kPrintedCounterKey), QStringLiteral("0"));
    cmdRefreshStats_Click();
}

void FrmStats::cmdExportLog_Click()
{
    m_main.mnuExportLog_Click();
    m_main.writeAudit(QStringLiteral("Log"), QStringLiteral("Log Exported to CSV"));
}

void FrmStats::CmdAccess_Click()
{
    // The desktop picks the program for the file; whether it has one is not this window's
    // concern, as the request itself cannot fail here.
    m_main.context().shell.open(m_main.jobLog().logFilePath());
    m_main.writeAudit(QStringLiteral("Log"), QStringLiteral("Log opened in Access"));
}

void FrmStats::cmdEmailLog_Click()
{
    JobLogStore& log = m_main.jobLog();
    if (!m_main.exportLogCsv()) {
        // Nothing is attached; the record says what the operator asked for.
        m_main.writeAudit(QStringLiteral("Log"), QStringLiteral("Log Emailed"));
        return;
    }
    // The figures go out as they stand on the window, from its last refresh.
    const QString body = StatsText::mailBody(m_main.context().environment.computerName(), m_main.context().clock.now(),
                                             texts({lblSessionPrinted, lblSessionDeleted, lblSessionSavings}),
                                             texts({lblTotalPrinted, lblTotalDeleted, lblTotalSavings, lblTotalReset}),
                                             texts({lblLog[0], lblLog[1], lblLog[2], lblLog[3], lblLog[4], lblLog[5],
                                                    lblLog[6], lblLog[7], lblLog[8], lblLog[9]}));
    send_mail(StatsText::supportAddress(), QStringLiteral("Halvern - Statistics"), body, log.csvFilePath());
    m_main.writeAudit(QStringLiteral("Log"), QStringLiteral("Log Emailed"));
}

bool FrmStats::send_mail(const QString& sendTo, const QString& subject, const QString& textmsg,
                         const QString& attachment)
{
    MailClient* mail = m_main.context().mailClient;
    if (mail == nullptr) {
        return false;
    }
    MailMessage message;
    message.recipient = sendTo;
    message.subject = subject;
    message.body = textmsg;
    if (!attachment.isEmpty()) {
        message.attachments.append(attachment);
    }
    return mail->compose(message);
}

} // namespace hlv
