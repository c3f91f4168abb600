// The watch window's menu commands and its settings.
#include <QAction>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMenu>

#include "platform/Dialogs.h"
#include "platform/Shell.h"
#include "watch/PopupMessages.h"
#include "watch/WatchContext.h"
#include "watch/frmWatch.h"

namespace hlv {

namespace {

const QString kTitle = QStringLiteral("Halvern Watch");

} // namespace

// A value menu holds its value in its caption: a click on a set value clears it without
// asking; otherwise the value is asked for, and an empty answer changes nothing.
void frmWatch::valueMenu(QAction* menu, const char* unsetWord, const QString& prompt, const QString& emptyMessage,
                         bool bracketed)
{
    if (menu->isChecked()) {
        menu->setChecked(false);
        menu->setText(QString::fromLatin1(unsetWord));
        return;
    }
    const QString answer = m_ctx.dialogs.inputBox(prompt, kTitle, QString());
    if (answer.isEmpty()) {
        m_ctx.dialogs.msgBox(emptyMessage, MsgBoxStyle::Critical, kTitle);
        return;
    }
    menu->setText(bracketed ? QLatin1Char('<') + answer + QLatin1Char('>') : answer);
    menu->setChecked(true);
}

void frmWatch::mnuMailServer_Click()
{
    valueMenu(mnuMailServer, WatchUnset::kMailServer, QStringLiteral("Enter the mail server or IP:"),
              QStringLiteral("No mail server specified."), false);
}

void frmWatch::mnuMailFrom_Click()
{
    valueMenu(mnuMailFrom, WatchUnset::kMailFrom, QStringLiteral("Enter the From email address:"),
              QStringLiteral("No from address specified."), true);
}

void frmWatch::mnuMailTo_Click()
{
    valueMenu(mnuMailTo, WatchUnset::kMailTo, QStringLiteral("Enter the To email address:"),
              QStringLiteral("No to address specified."), true);
}

void frmWatch::mnuComputer_Click()
{
    valueMenu(mnuComputer, WatchUnset::kComputer, QStringLiteral("Enter computer name:"),
              QStringLiteral("No computer specified."), false);
}

// A file menu holds the chosen path in its caption. The file itself is made by its first use,
// and both files are only ever appended to, so an existing file is chosen without a question.
void frmWatch::fileMenu(QAction* menu, const char* unsetWord, const QString& filter)
{
    if (menu->isChecked()) {
        menu->setChecked(false);
        menu->setText(QString::fromLatin1(unsetWord));
        return;
    }
    const QString path = m_ctx.dialogs.appendFileName(QStringLiteral("Save As"), QString(), filter);
    if (path.isEmpty()) {
        menu->setText(QString::fromLatin1(unsetWord));
        menu->setChecked(false);
        return;
    }
    menu->setText(path);
    menu->setChecked(true);
}

void frmWatch::mnuJobsCSVfile_Click()
{
    fileMenu(mnuJobsCSVfile, WatchUnset::kJobsCsvFile, QStringLiteral("CSV Files (*.csv)|*.csv|All Files (*.*)|*.*"));
}

void frmWatch::mnuHlvDatabase_Click()
{
    fileMenu(mnuHlvDatabase, WatchUnset::kHlvDatabase, QStringLiteral("MDB Files (*.mdb)|*.mdb|All Files (*.*)|*.*"));
}

void frmWatch::mnuJobDatabase_Click()
{
    mnuJobDatabase->setChecked(!mnuJobDatabase->isChecked());
}

void frmWatch::mnuJobsPopup_Click()
{
    mnuJobsPopup->setChecked(!mnuJobsPopup->isChecked());
}

void frmWatch::mnuJobsEmail_Click()
{
    mnuJobsEmail->setChecked(!mnuJobsEmail->isChecked());
}

void frmWatch::mnuMinimised_Click()
{
    mnuMinimised->setChecked(!mnuMinimised->isChecked());
}

void frmWatch::mnuStartAuto_Click()
{
    mnuStartAuto->setChecked(!mnuStartAuto->isChecked());
}

void frmWatch::mnuWatchJobs_Click()
{
    mnuWatchJobs->setChecked(!mnuWatchJobs->isChecked());
    const bool on = mnuWatchJobs->isChecked();
    mnuRecordJobs->menuAction()->setEnabled(on);
    mnuAlertJobs->menuAction()->setEnabled(on);
}

void frmWatch::mnuTestMessage_Click()
{
    // Sent to the caption as it stands, the unset word included.
    const QString text = QStringLiteral("Test from Halvern Watch");
    m_ctx.popups.netSend(mnuComputer->text(), text);
    m_ctx.popups.msgAllSessions(mnuComputer->text(), text);
}

void frmWatch::mnuJobsCSVview_Click()
{
    if (!mnuJobsCSVfile->isChecked()) {
        m_ctx.dialogs.msgBox(QStringLiteral("You have not chosen a CSV file yet"), MsgBoxStyle::Critical, kTitle);
        return;
    }
    m_ctx.shell.open(mnuJobsCSVfile->text());
}

void frmWatch::mnuHelpContents_Click()
{
    const QString dir = m_ctx.programDir.isEmpty() ? QCoreApplication::applicationDirPath() : m_ctx.programDir;
    m_ctx.shell.open(dir + QLatin1Char('/') + helpFileName());
}

// ---- settings ----

WatchSettingsState frmWatch::settingsState() const
{
    const auto menuValue = [](const QAction* menu) {
        return WatchMenuValue{menu->text(), menu->isChecked()};
    };
    WatchSettingsState s;
    s.mailServer = menuValue(mnuMailServer);
    s.mailFrom = menuValue(mnuMailFrom);
    s.mailTo = menuValue(mnuMailTo);
    s.messageComputer = menuValue(mnuComputer);
    s.hlvDatabase = menuValue(mnuHlvDatabase);
    s.startMinimised = mnuMinimised->isChecked();
    s.startWatching = mnuStartAuto->isChecked();
    s.server = txtComputer->text();
    s.watchJobs = mnuWatchJobs->isChecked();
    s.jobsCsvFile = menuValue(mnuJobsCSVfile);
    s.jobsPopupError = mnuJobsPopup->isChecked();
    s.jobsEmailError = mnuJobsEmail->isChecked();
    s.jobDatabase = mnuJobDatabase->isChecked();
    return s;
}

void frmWatch::applySettingsState(const WatchSettingsState& s)
{
    const auto setMenu = [](QAction* menu, const WatchMenuValue& value) {
        menu->setText(value.caption);
        menu->setChecked(value.checked);
    };
    setMenu(mnuMailServer, s.mailServer);
    setMenu(mnuMailFrom, s.mailFrom);
    setMenu(mnuMailTo, s.mailTo);
    setMenu(mnuComputer, s.messageComputer);
    setMenu(mnuHlvDatabase, s.hlvDatabase);
    mnuMinimised->setChecked(s.startMinimised);
    mnuStartAuto->setChecked(s.startWatching);
    txtComputer->setText(s.server);
    // Only the check mark: the Record and Alert submenus keep their enabled state.
    mnuWatchJobs->setChecked(s.watchJobs);
    setMenu(mnuJobsCSVfile, s.jobsCsvFile);
    mnuJobsPopup->setChecked(s.jobsPopupError);
    mnuJobsEmail->setChecked(s.jobsEmailError);
    mnuJobDatabase->setChecked(s.jobDatabase);
}

void frmWatch::SaveWatchSettings()
{
    hlv::SaveWatchSettings(*m_ini, settingsState());
}

void frmWatch::LoadWatchSettings()
{
    WatchSettingsState state = settingsState();
    hlv::LoadWatchSettings(*m_ini, state);
    applySettingsState(state);
    if (mnuMinimised->isChecked()) {
        setWindowState(windowState() | Qt::WindowMinimized);
    }
    if (mnuStartAuto->isChecked()) {
        cmdStart_Click();
    }
}

} // namespace hlv
