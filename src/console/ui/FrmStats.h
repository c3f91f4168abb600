#pragma once

#include <array>

#include <QString>
#include <QWidget>

class QGroupBox;
class QLabel;
class QPushButton;

namespace hlv {

class FrmMain;

// The statistics window: pages kept from printing in this session, on this workstation
// since its totals were last reset, and over the whole job log. The figures are not live:
// they are computed when the window loads and on Refresh and Reset. From here the operator
// also exports the log to CSV, mails the figures with the CSV attached, and opens the log
// database with the desktop's program for it.
//
// The main window keeps one instance; it may be loaded without being shown when only its
// mail procedure is wanted.
class FrmStats : public QWidget
{
    Q_OBJECT

public:
    // Builds the controls and loads the window (Form_Load), which computes every figure.
    explicit FrmStats(FrmMain& main, QWidget* parent = nullptr);

    void Form_Load();
    void cmdRefreshStats_Click();
    void cmdResetStats_Click();
    void cmdExportLog_Click();
    void cmdEmailLog_Click();
    void CmdAccess_Click();
    // Hands one message to the desktop's mail client, which shows it for the operator to
    // send. The answer says only whether the mail client could be reached.
    bool send_mail(const QString& sendTo, const QString& subject, const QString& textmsg,
                   const QString& attachment = QString());

    // ---- controls ----
    QLabel* lblSessionPrinted = nullptr;
    QLabel* lblSessionDeleted = nullptr;
    QLabel* lblSessionSavings = nullptr;
    QGroupBox* frmTotalStats = nullptr;
    QLabel* lblTotalPrinted = nullptr;
    QLabel* lblTotalDeleted = nullptr;
    QLabel* lblTotalSavings = nullptr;
    QLabel* lblTotalReset = nullptr;
    QPushButton* cmdResetStats = nullptr;
    QGroupBox* frmLog = nullptr;
    // lblLog1 to lblLog10
    std::array<QLabel*, 10> lblLog{};
    QPushButton* cmdRefreshStats = nullptr;
    QPushButton* cmdExportLog = nullptr;
    QPushButton* cmdEmailLog = nullptr;
    QPushButton* CmdAccess = nullptr;

private:
    void buildControls();

    FrmMain& m_main;
};

} // namespace hlv
