#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace hlv {

class FrmMain;

// The console's settings window. It edits the main window's settings variables only; they
// reach the settings file when the console shuts down. The quick-action hide option, the
// menu style and the two folder pickers act at once; everything else is taken over by
// "Save", which closes the window. Closing it any other way discards those other edits.
// It is modeless: the main window, its timers and its job events go on while it is open.
class FrmSettings : public QWidget
{
    Q_OBJECT

public:
    // Builds the controls and fills them from the main window's settings (Form_Load).
    explicit FrmSettings(FrmMain& main, QWidget* parent = nullptr);

    void Form_Load();
    void cmdClose_Click();
    void chkQAHideAll_Click();
    void chkQuickAction_Click();
    void cmbSimpleView_Click();
    void cmdClear_Click();
    void cmdLogPath_Click();
    void cmdReportPath_Click();
    void cmdReset_Click();

    // ---- controls ----
    QGroupBox* frmLog = nullptr;
    QCheckBox* chkAudit = nullptr;
    QLineEdit* txtLogPath = nullptr;
    QToolButton* cmdLogPath = nullptr;
    QLabel* lblLogPath = nullptr;
    QGroupBox* frmDisplay = nullptr;
    QCheckBox* chkStartMax = nullptr;
    QComboBox* cmbGridFontSize = nullptr;
    QLabel* lblGridFontSize = nullptr;
    QCheckBox* chkShowErrors = nullptr;
    QComboBox* cmbSimpleView = nullptr;
    QGroupBox* frmAction = nullptr;
    QCheckBox* chkQAHideAll = nullptr;
    QComboBox* lstJobAction = nullptr;
    QCheckBox* chkQuickAction = nullptr;
    QPushButton* cmdClear = nullptr;
    QCheckBox* chkWMISearch = nullptr;
    QGroupBox* frmReports = nullptr;
    QLineEdit* txtReportPath = nullptr;
    QLineEdit* txtCompany = nullptr;
    QPlainTextEdit* txtTagline = nullptr;
    QLabel* lblReportPath = nullptr;
    QToolButton* cmdReportPath = nullptr;
    QPushButton* cmdReset = nullptr;
    QLineEdit* txtExceptions = nullptr;
    QLabel* lblExceptions = nullptr;
    QGroupBox* frmPolling = nullptr;
    QLineEdit* txtPollNorm = nullptr;
    QLineEdit* txtPollAQ = nullptr;
    QLineEdit* txtPollAQactive = nullptr;
    QPushButton* cmdClose = nullptr;

private:
    void buildControls();
    // Runs a folder browser and returns the chosen folder, or an empty text.
    QString browseFolder(const QString& title, const QString& current);

    FrmMain& m_main;
};

} // namespace hlv
