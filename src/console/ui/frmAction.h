#pragma once

#include <functional>
#include <optional>

#include <QDialog>

#include "console/ui/ActionLayout.h"
#include "console/ui/JobActionRules.h"

class QPlainTextEdit;
class QPushButton;

namespace hlv {

class FrmMain;

// The quick-action popup: the usual decisions about the double-clicked job. Every button
// forwards to a command of the main window, which acts on the row selected in the job list
// at that moment. The layout and the summary are laid out at load and again at every
// activation, always from the designed places.
class frmAction : public QDialog
{
    Q_OBJECT

public:
    // What the popup needs from the main window.
    struct Commands
    {
        std::function<void()> printJob;  // release the selected job
        std::function<void()> deleteJob; // delete the selected job (asks first)
        std::function<void()> printAll;  // one Resume All pass
        std::function<void()> deleteAll; // Delete All (asks first)
        std::function<std::optional<JobRowValues>()> selectedRow;
        std::function<bool()> hideAllButtons; // the setting QAHideAllButtons
    };

    explicit frmAction(Commands commands, QWidget* parent = nullptr);
    // Wired to the main window's handlers, its job list and its settings.
    explicit frmAction(FrmMain& main, QWidget* parent = nullptr);

    void Form_Load();
    void Form_Activate();
    void PrintButton_Click();
    void DeleteButton_Click();
    void cmdPrintAll_Click();
    void cmdDeleteAll_Click();
    void CancelButton_Click();

    // The summary as the text box holds it (lines separated by CR LF).
    QString summaryText() const { return m_summary; }
    // The places last applied, in twips.
    const ActionLayout& currentLayout() const { return m_layout; }

    QPlainTextEdit* txtPrintJob = nullptr;
    QPushButton* PrintButton = nullptr;
    QPushButton* DeleteButton = nullptr;
    QPushButton* cmdPrintAll = nullptr;
    QPushButton* cmdDeleteAll = nullptr;
    QPushButton* CancelButton = nullptr;

protected:
    bool event(QEvent* e) override;

private:
    void buildControls();
    void runLoadSteps();
    void unload();

    Commands m_commands;
    ActionLayout m_layout;
    QString m_summary;
};

} // namespace hlv
