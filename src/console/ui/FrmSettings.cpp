#include "console/ui/FrmSettings.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "console/ui/ConsoleContext.h"
#include "console/ui/ConsoleSettings.h"
#include "console/ui/FrmMain.h"
#include "console/ui/JobListWidget.h"
#include "console/ui/SettingsRules.h"
#include "platform/Dialogs.h"
#include "platform/Shell.h"

namespace hlv {

namespace {

const QString kTitle = QStringLiteral("Halvern");

QString booleanText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

bool isTrue(const QString& text)
{
    return readBoolean(text) == std::optional<bool>(true);
}

// Joins a folder and a file name with exactly one separator.
QString inFolder(const QString& folder, const QString& fileName)
{
    QString path = folder;
    if (!path.endsWith(QLatin1Char('/'))) {
        path += QLatin1Char('/');
    }
    return path + fileName;
}

QToolButton* folderButton(QWidget* parent, const QString& name, const QString& toolTip)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(parent->style()->standardIcon(QStyle::SP_DirOpenIcon));
    button->setToolTip(toolTip);
    return button;
}

QCheckBox* checkBox(QWidget* parent, const QString& name, const QString& caption)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    return box;
}

QLineEdit* lineEdit(QWidget* parent, const QString& name, const QString& toolTip = QString())
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setToolTip(toolTip);
    return edit;
}

} // namespace

FrmSettings::FrmSettings(FrmMain& main, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_main(main)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("FrmSettings"));
    setWindowTitle(QStringLiteral("Settings - Halvern"));
    buildControls();
    Form_Load();
}

void FrmSettings::buildControls()
{
    // ---- Log ----
    frmLog = new QGroupBox(QStringLiteral("Log"), this);
    frmLog->setObjectName(QStringLiteral("frmLog"));
    chkAudit = checkBox(frmLog, QStringLiteral("chkAudit"), QStringLiteral("Audit Log"));
    lblLogPath = new QLabel(QStringLiteral("Log Path"), frmLog);
    lblLogPath->setObjectName(QStringLiteral("lblLogPath"));
    txtLogPath = lineEdit(frmLog, QStringLiteral("txtLogPath"), QStringLiteral("Path for Generating Reports"));
    txtLogPath->setMinimumWidth(txtLogPath->fontMetrics().averageCharWidth() * 30);
    cmdLogPath = folderButton(frmLog, QStringLiteral("cmdLogPath"), QStringLiteral("Select Log Path"));
    {
        auto* grid = new QGridLayout(frmLog);
        grid->addWidget(chkAudit, 0, 0, 1, 3);
        grid->addWidget(lblLogPath, 1, 0);
        grid->addWidget(txtLogPath, 1, 1);
        grid->addWidget(cmdLogPath, 1, 2);
    }

    // ---- Display Settings ----
    frmDisplay = new QGroupBox(QStringLiteral("Display Settings"), this);
    frmDisplay->setObjectName(QStringLiteral("frmDisplay"));
    chkStartMax = checkBox(frmDisplay, QStringLiteral("chkStartMax"), QStringLiteral("Start Maximised"));
    lblGridFontSize = new QLabel(QStringLiteral("Font Size"), frmDisplay);
    lblGridFontSize->setObjectName(QStringLiteral("lblGridFontSize"));
    cmbGridFontSize = new QComboBox(frmDisplay);
    cmbGridFontSize->setObjectName(QStringLiteral("cmbGridFontSize"));
    cmbGridFontSize->setEditable(true);
    cmbGridFontSize->setInsertPolicy(QComboBox::NoInsert);
    cmbGridFontSize->addItems({QStringLiteral("7.50"), QStringLiteral("8.25"), QStringLiteral("9.00"),
                               QStringLiteral("9.50"), QStringLiteral("9.75"), QStringLiteral("10.50"),
                               QStringLiteral("11.25"), QStringLiteral("12.00"), QStringLiteral("12.75"),
                               QStringLiteral("13.50"), QStringLiteral("14.25"), QStringLiteral("15.00")});
    cmbGridFontSize->setToolTip(QStringLiteral("Select Font Size"));
    chkShowErrors = checkBox(frmDisplay, QStringLiteral("chkShowErrors"), QStringLiteral("Popup on Printer Error"));
    cmbSimpleView = new QComboBox(frmDisplay);
    cmbSimpleView->setObjectName(QStringLiteral("cmbSimpleView"));
    cmbSimpleView->addItems(menuStyles());
    cmbSimpleView->setCurrentIndex(-1);
    cmbSimpleView->setToolTip(QStringLiteral("Select Menu Style"));
    {
        auto* grid = new QGridLayout(frmDisplay);
        grid->addWidget(chkStartMax, 0, 0, 1, 2);
        grid->addWidget(lblGridFontSize, 1, 0);
        grid->addWidget(cmbGridFontSize, 1, 1);
        grid->addWidget(chkShowErrors, 2, 0, 1, 2);
        grid->addWidget(cmbSimpleView, 3, 0, 1, 2);
    }

    // ---- Queue Actions ----
    frmAction = new QGroupBox(QStringLiteral("Queue Actions"), this);
    frmAction->setObjectName(QStringLiteral("frmAction"));
    chkQuickAction = checkBox(frmAction, QStringLiteral("chkQuickAction"), QStringLiteral("Quick Action Menu or"));
    lstJobAction = new QComboBox(frmAction);
    lstJobAction->setObjectName(QStringLiteral("lstJobAction"));
    lstJobAction->setEditable(true);
    lstJobAction->setInsertPolicy(QComboBox::NoInsert);
    lstJobAction->addItems({QStringLiteral("Print"), QStringLiteral("Delete")});
    lstJobAction->setCurrentIndex(-1);
    lstJobAction->setToolTip(QStringLiteral("Select Default Grid Action"));
    lstJobAction->setEnabled(false);
    chkQAHideAll = checkBox(frmAction, QStringLiteral("chkQAHideAll"), QStringLiteral("Hide Print All and Delete All"));
    chkQAHideAll->setEnabled(false);
    chkWMISearch = checkBox(frmAction, QStringLiteral("chkWMISearch"), QStringLiteral("Show ServerView"));
    cmdClear = new QPushButton(QStringLiteral("Reset Log"), frmAction);
    cmdClear->setObjectName(QStringLiteral("cmdClear"));
    cmdClear->setToolTip(QStringLiteral("Delete or Archive log file"));
    lblExceptions = new QLabel(QStringLiteral("User Exceptions"), frmAction);
    lblExceptions->setObjectName(QStringLiteral("lblExceptions"));
    txtExceptions = lineEdit(frmAction, QStringLiteral("txtExceptions"));
    {
        auto* grid = new QGridLayout(frmAction);
        grid->addWidget(chkQuickAction, 0, 0);
        grid->addWidget(lstJobAction, 0, 1);
        grid->addWidget(chkQAHideAll, 1, 0, 1, 2);
        grid->addWidget(chkWMISearch, 2, 0, 1, 2);
        grid->addWidget(lblExceptions, 3, 0);
        grid->addWidget(txtExceptions, 3, 1);
        grid->addWidget(cmdClear, 4, 0, 1, 2);
    }

    // ---- Reports ----
    frmReports = new QGroupBox(QStringLiteral("Reports"), this);
    frmReports->setObjectName(QStringLiteral("frmReports"));
    lblReportPath = new QLabel(QStringLiteral("Report Path"), frmReports);
    lblReportPath->setObjectName(QStringLiteral("lblReportPath"));
    txtReportPath =
        lineEdit(frmReports, QStringLiteral("txtReportPath"), QStringLiteral("Path for Generating Reports"));
    txtReportPath->setMinimumWidth(txtReportPath->fontMetrics().averageCharWidth() * 30);
    cmdReportPath = folderButton(frmReports, QStringLiteral("cmdReportPath"), QStringLiteral("Select Report Path"));
    txtCompany = lineEdit(frmReports, QStringLiteral("txtCompany"));
    txtCompany->setText(QStringLiteral("Halvern"));
    txtTagline = new QPlainTextEdit(frmReports);
    txtTagline->setObjectName(QStringLiteral("txtTagline"));
    txtTagline->setTabChangesFocus(true);
    txtTagline->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtTagline->setMaximumHeight(txtTagline->fontMetrics().lineSpacing() * 4);
    cmdReset = new QPushButton(QStringLiteral("Reset Settings"), frmReports);
    cmdReset->setObjectName(QStringLiteral("cmdReset"));
    cmdReset->setToolTip(QStringLiteral("Clear configuration"));
    {
        auto* grid = new QGridLayout(frmReports);
        grid->addWidget(lblReportPath, 0, 0);
        grid->addWidget(txtReportPath, 0, 1);
        grid->addWidget(cmdReportPath, 0, 2);
        grid->addWidget(new QLabel(QStringLiteral("Company"), frmReports), 1, 0);
        grid->addWidget(txtCompany, 1, 1, 1, 2);
        grid->addWidget(new QLabel(QStringLiteral("Tagline"), frmReports), 2, 0, Qt::AlignTop);
        grid->addWidget(txtTagline, 2, 1, 1, 2);
        grid->addWidget(cmdReset, 3, 0, 1, 3);
    }

    // ---- Polling Rates (s) ----
    frmPolling = new QGroupBox(QStringLiteral("Polling Rates (s)"), this);
    frmPolling->setObjectName(QStringLiteral("frmPolling"));
    txtPollNorm = lineEdit(frmPolling, QStringLiteral("txtPollNorm"), QStringLiteral(">= 1s"));
    txtPollAQ = lineEdit(frmPolling, QStringLiteral("txtPollAQ"), QStringLiteral(">= 1s"));
    txtPollAQactive = lineEdit(frmPolling, QStringLiteral("txtPollAQactive"), QStringLiteral("0.001-1s"));
    {
        auto* grid = new QGridLayout(frmPolling);
        grid->addWidget(new QLabel(QStringLiteral("Normal"), frmPolling), 0, 0);
        grid->addWidget(txtPollNorm, 0, 1);
        grid->addWidget(new QLabel(QStringLiteral("AutoQueue"), frmPolling), 1, 0);
        grid->addWidget(txtPollAQ, 1, 1);
        grid->addWidget(new QLabel(QStringLiteral("Active AQ"), frmPolling), 2, 0);
        grid->addWidget(txtPollAQactive, 2, 1);
        auto* warning = new QLabel(QStringLiteral("Adjusting rates affects AutoQueue performance!"), frmPolling);
        warning->setWordWrap(true);
        grid->addWidget(warning, 3, 0, 1, 2);
    }

    cmdClose = new QPushButton(QStringLiteral("Save"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));

    auto* left = new QVBoxLayout;
    left->addWidget(frmLog);
    left->addWidget(frmDisplay);
    left->addWidget(frmPolling);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(frmAction);
    right->addWidget(frmReports);
    right->addStretch();
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(columns);
    outer->addLayout(buttons);

    // A check box or list changed from code runs its handler as a click does; the menu
    // style list is wired only now, so filling it above ran nothing.
    connect(chkQAHideAll, &QCheckBox::toggled, this, &FrmSettings::chkQAHideAll_Click);
    connect(chkQuickAction, &QCheckBox::toggled, this, &FrmSettings::chkQuickAction_Click);
    connect(cmbSimpleView, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) {
            cmbSimpleView_Click();
        }
    });
    connect(cmdClose, &QPushButton::clicked, this, &FrmSettings::cmdClose_Click);
    connect(cmdClear, &QPushButton::clicked, this, &FrmSettings::cmdClear_Click);
    connect(cmdLogPath, &QToolButton::clicked, this, &FrmSettings::cmdLogPath_Click);
    connect(cmdReportPath, &QToolButton::clicked, this, &FrmSettings::cmdReportPath_Click);
    connect(cmdReset, &QPushButton::clicked, this, &FrmSettings::cmdReset_Click);
}

void FrmSettings::Form_Load()
{
    const ConsoleSettings& s = m_main.settings();

    cmbGridFontSize->setEditText(numberText(m_main.JobList->font().pointSizeF()));
    chkShowErrors->setChecked(isTrue(s.ShowErrors));
    chkStartMax->setChecked(isTrue(s.StartMax));
    txtPollNorm->setText(pollRateSecondsText(s.PollNorm));
    txtPollAQ->setText(pollRateSecondsText(s.PollAQ));
    txtPollAQactive->setText(pollRateSecondsText(s.PollAQactive));
    // Only 1 means the popup; any other stored value shows the default-action way.
    chkQuickAction->setChecked(s.QuickAction == 1);
    lstJobAction->setEditText(s.JobAction);
    chkQAHideAll->setChecked(s.QAHideAllButtons);
    if (!chkQuickAction->isChecked()) {
        lstJobAction->setEnabled(true);
    }
    txtExceptions->setText(s.Exceptions);
    txtReportPath->setText(s.ReportPath);
    // A stored style the list does not offer selects nothing (and applies nothing).
    if (!s.SimpleView.isEmpty()) {
        cmbSimpleView->setCurrentIndex(static_cast<int>(menuStyles().indexOf(s.SimpleView)));
    }
    if (!s.Company.isEmpty()) {
        txtCompany->setText(s.Company);
    }
    if (!s.Tagline.isEmpty()) {
        txtTagline->setPlainText(s.Tagline);
    }
    txtLogPath->setText(s.LogPath);
    chkWMISearch->setChecked(isTrue(s.ShowServerView));
    chkAudit->setChecked(s.Audit);
}

void FrmSettings::chkQAHideAll_Click()
{
    m_main.settings().QAHideAllButtons = chkQAHideAll->isChecked();
}

void FrmSettings::chkQuickAction_Click()
{
    const QuickActionEnabling enabling = quickActionEnabling(chkQuickAction->isChecked());
    lstJobAction->setEnabled(enabling.jobActionEnabled);
    chkQAHideAll->setEnabled(enabling.hideAllEnabled);
}

void FrmSettings::cmbSimpleView_Click()
{
    const QString style = cmbSimpleView->currentText();
    m_main.settings().SimpleView = style;
    if (menuStyleHidesSettings(style)) {
        m_main.context().dialogs.msgBox(
            QStringLiteral("When no Settings option is shown in the File menu only a local administrator can access "
                           "the full menu to change settings. You can temporarily enable the menus using the "
                           "'/menu:Full' command line parameter. See Help for more information"),
            MsgBoxStyle::OkOnly, kTitle);
    }
    m_main.SwSimpleView();
}

void FrmSettings::cmdClose_Click()
{
    ConsoleSettings& s = m_main.settings();

    if (const std::optional<double> size = typedNumber(cmbGridFontSize->currentText()); size && *size > 0) {
        QFont font = m_main.JobList->font();
        font.setPointSizeF(*size);
        m_main.JobList->setFont(font);
    }
    s.ShowErrors = booleanText(chkShowErrors->isChecked());
    s.StartMax = booleanText(chkStartMax->isChecked());

    // Each rate is taken over as soon as it passes, so a later refusal leaves the earlier
    // rates changed; any refusal keeps the window open with the operator's entries.
    const auto takeRate = [this](QLineEdit* box, double minSeconds, std::optional<double> maxSeconds,
                                 const QString& outOfRange, QString& setting) {
        const PollRate rate = checkPollRate(box->text(), minSeconds, maxSeconds);
        switch (rate.check) {
        case PollRateCheck::Accepted:
            setting = storedNumberText(rate.milliseconds);
            return true;
        case PollRateCheck::OutOfRange:
            m_main.context().dialogs.msgBox(outOfRange, MsgBoxStyle::Critical, kTitle);
            return false;
        case PollRateCheck::NotNumber:
            break;
        }
        m_main.context().dialogs.msgBox(QStringLiteral("An Error Occurred. Please check your polling rates."),
                                        MsgBoxStyle::Critical, kTitle);
        return false;
    };
    if (!takeRate(txtPollNorm, PollRateLimits::kNormalMin, std::nullopt,
                  QStringLiteral("Normal polling rate must be greater than 1s."), s.PollNorm)) {
        return;
    }
    if (!takeRate(txtPollAQ, PollRateLimits::kNormalMin, std::nullopt,
                  QStringLiteral("AutoQueue polling rate must be greater than 1s."), s.PollAQ)) {
        return;
    }
    if (!takeRate(txtPollAQactive, PollRateLimits::kActiveMin, PollRateLimits::kActiveMax,
                  QStringLiteral("Active AutoQueue polling rate must be between 0.001 and 1s."), s.PollAQactive)) {
        return;
    }

    s.QuickAction = chkQuickAction->isChecked() ? 1 : 0;
    s.JobAction = lstJobAction->currentText();
    s.Exceptions = txtExceptions->text();
    s.ReportPath = txtReportPath->text();
    s.LogPath = txtLogPath->text();
    // With no style selected (a stored style the list does not offer) the style stays.
    if (cmbSimpleView->currentIndex() >= 0) {
        s.SimpleView = cmbSimpleView->currentText();
    }
    s.Company = txtCompany->text();
    s.Tagline = txtTagline->toPlainText();
    s.Audit = chkAudit->isChecked();

    const bool serverView = chkWMISearch->isChecked();
    m_main.mnuSearch->setVisible(serverView);
    s.ShowServerView = booleanText(serverView);

    m_main.writeAudit(QStringLiteral("Program"), QStringLiteral("Settings Updated."));
    close();
}

void FrmSettings::cmdClear_Click()
{
    const int answer = m_main.context().dialogs.msgBox(
        QStringLiteral("Are you sure you want to reset \r\nthe job and audit logs?"), 20, QStringLiteral("Warning"));
    if (answer == MsgBoxResult::Yes) {
        m_main.ResetLogDatabase();
    }
}

QString FrmSettings::browseFolder(const QString& title, const QString& current)
{
    QString chosen = m_main.context().dialogs.folderName(title, current);
    while (chosen.size() > 1 && chosen.endsWith(QLatin1Char('/'))) {
        chosen.chop(1);
    }
    return chosen;
}

void FrmSettings::cmdLogPath_Click()
{
    const QString oldFolder = txtLogPath->text();
    const QString chosen = browseFolder(QStringLiteral("Select a directory for Halvern Log Files"), oldFolder);
    if (chosen.isEmpty()) {
        return;
    }
    txtLogPath->setText(chosen);
    // The job log moves with the folder unless the new folder already has one; the old
    // file stays, and the setting itself changes only with "Save".
    if (oldFolder.isEmpty()) {
        return;
    }
    const QString oldLog = inFolder(oldFolder, QStringLiteral("hlv.mdb"));
    const QString newLog = inFolder(chosen, QStringLiteral("hlv.mdb"));
    if (QFile::exists(oldLog) && !QFile::exists(newLog)) {
        QFile::copy(oldLog, newLog);
    }
}

void FrmSettings::cmdReportPath_Click()
{
    const QString chosen =
        browseFolder(QStringLiteral("Select a directory for Halvern HTML Reports"), txtReportPath->text());
    if (!chosen.isEmpty()) {
        txtReportPath->setText(chosen);
    }
}

void FrmSettings::cmdReset_Click()
{
    const int answer = m_main.context().dialogs.msgBox(
        QStringLiteral("Are you sure you want to delete \r\n all favourites and settings?"), 20,
        QStringLiteral("Warning"));
    if (answer != MsgBoxResult::Yes) {
        return;
    }
    m_main.yieldToEvents();
    if (QFile::exists(m_main.iniPath())) {
        QFile::remove(m_main.iniPath());
    }
    if (QFile::exists(m_main.historyPath())) {
        QFile::remove(m_main.historyPath());
    }
    m_main.context().shell.open(inFolder(m_main.context().programDir, QStringLiteral("hlv")));
    m_main.writeAudit(QStringLiteral("Program"), QStringLiteral("Settings Reset."));
    // The program ends without its shutdown, so nothing writes the settings file again
    // and the new copy starts with every default.
    m_main.EndWithoutShutdown();
}

} // namespace hlv
