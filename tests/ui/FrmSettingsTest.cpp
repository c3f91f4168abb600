#include "console/ui/FrmSettings.h"

#include <csignal>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QToolButton>
#include <sys/resource.h>

#include "ConsoleFixture.h"
#include "console/ui/JobListWidget.h"
#include "store/JobLogStore.h"

namespace hlv::test {
namespace {

class FrmSettingsTest : public ConsoleFixture
{
protected:
    FrmSettings& open()
    {
        if (!window) {
            start();
        }
        window->mnuOptions_Click();
        FrmSettings* settings = window->settingsWindow();
        EXPECT_NE(settings, nullptr);
        return *settings;
    }
    // The value of a key of the console's section as the settings file holds it.
    QString iniValue(const QString& key)
    {
        bool inSection = false;
        const QStringList lines = readFile(iniPath()).split(QRegularExpression(QStringLiteral("\r?\n")));
        for (const QString& line : lines) {
            if (line.startsWith(QLatin1Char('['))) {
                inSection = line == QStringLiteral("[Halvern]");
            } else if (inSection && line.startsWith(key + QLatin1Char('='))) {
                return line.mid(key.size() + 1);
            }
        }
        return QStringLiteral("<missing>");
    }
    void setRates(FrmSettings& dlg, const QString& norm, const QString& aq, const QString& active)
    {
        dlg.txtPollNorm->setText(norm);
        dlg.txtPollAQ->setText(aq);
        dlg.txtPollAQactive->setText(active);
    }
    QString logFile() const { return env.appDataPath + QStringLiteral("/hlv.mdb"); }
    void makeLog()
    {
        ASSERT_TRUE(window->jobLog().LogJobField(QStringLiteral("7-3/14/2026 9:15:30 AM"), QStringLiteral("Server"),
                                                 QStringLiteral("PS1")));
        ASSERT_TRUE(QFile::exists(logFile()));
    }
};

TEST_F(FrmSettingsTest, MnuOptions_Opened_ModelessWithCaptionAndOneInstance)
{
    FrmSettings& dlg = open();
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Settings - Halvern"));
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.windowModality(), Qt::NonModal);
    EXPECT_TRUE(dlg.isWindow());
    window->mnuOptions_Click();
    EXPECT_EQ(window->settingsWindow(), &dlg);
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(FrmSettingsTest, FormLoad_StoredSettings_ShownInControls)
{
    writeIni(QStringLiteral("[Halvern]\nShowErrors=True\nStartMax=False\nPollNorm=2500\nPollAQ=6000\n"
                            "PollAQactive=10\nQuickAction=1\nJobAction=Delete\nQAHideAllButtons=True\n"
                            "Exceptions=alice,bob\nReportPath=/srv/reports\nSimpleView=Classic Menu\n"
                            "Company=Acme\nTagline=Less paper.\nLogPath=/srv/log\nShowServerView=true\n"
                            "Audit=True\nGridFontSize=12\n"));
    FrmSettings& dlg = open();
    EXPECT_EQ(dlg.cmbGridFontSize->currentText(), QStringLiteral("12"));
    EXPECT_TRUE(dlg.chkShowErrors->isChecked());
    EXPECT_FALSE(dlg.chkStartMax->isChecked());
    EXPECT_EQ(dlg.txtPollNorm->text(), QStringLiteral("2.5"));
    EXPECT_EQ(dlg.txtPollAQ->text(), QStringLiteral("6"));
    EXPECT_EQ(dlg.txtPollAQactive->text(), QStringLiteral("0.01"));
    EXPECT_TRUE(dlg.chkQuickAction->isChecked());
    EXPECT_FALSE(dlg.lstJobAction->isEnabled());
    EXPECT_TRUE(dlg.chkQAHideAll->isEnabled());
    EXPECT_EQ(dlg.lstJobAction->currentText(), QStringLiteral("Delete"));
    EXPECT_TRUE(dlg.chkQAHideAll->isChecked());
    EXPECT_EQ(dlg.txtExceptions->text(), QStringLiteral("alice,bob"));
    EXPECT_EQ(dlg.txtReportPath->text(), QStringLiteral("/srv/reports"));
    EXPECT_EQ(dlg.cmbSimpleView->currentText(), QStringLiteral("Classic Menu"));
    EXPECT_EQ(dlg.txtCompany->text(), QStringLiteral("Acme"));
    EXPECT_EQ(dlg.txtTagline->toPlainText(), QStringLiteral("Less paper."));
    EXPECT_EQ(dlg.txtLogPath->text(), QStringLiteral("/srv/log"));
    EXPECT_TRUE(dlg.chkWMISearch->isChecked());
    EXPECT_TRUE(dlg.chkAudit->isChecked());
    // A style other than the two restricted ones asks nothing.
    EXPECT_TRUE(dialogs.messages().isEmpty());
}

TEST_F(FrmSettingsTest, FormLoad_FirstStart_DefaultsAndUnreadableBooleansClear)
{
    FrmSettings& dlg = open();
    // StartMax is on by default for the window, but only a stored true value ticks the box.
    EXPECT_FALSE(dlg.chkStartMax->isChecked());
    EXPECT_FALSE(dlg.chkShowErrors->isChecked());
    EXPECT_EQ(dlg.txtPollNorm->text(), QStringLiteral("10"));
    EXPECT_EQ(dlg.txtPollAQ->text(), QStringLiteral("6"));
    EXPECT_EQ(dlg.txtPollAQactive->text(), QStringLiteral("0.01"));
    EXPECT_FALSE(dlg.chkQuickAction->isChecked());
    EXPECT_TRUE(dlg.lstJobAction->isEnabled());
    EXPECT_FALSE(dlg.chkQAHideAll->isEnabled());
    EXPECT_EQ(dlg.cmbSimpleView->currentIndex(), -1);
    EXPECT_EQ(dlg.txtCompany->text(), QStringLiteral("Halvern"));
    EXPECT_EQ(dlg.txtReportPath->text(), env.tempPath);
    EXPECT_EQ(dlg.txtLogPath->text(), env.appDataPath);
    EXPECT_FALSE(dlg.chkAudit->isChecked());
}

TEST_F(FrmSettingsTest, Save_EveryControl_IntoSettingsAndSettingsFile)
{
    FrmSettings& dlg = open();
    dlg.cmbGridFontSize->setEditText(QStringLiteral("12.75"));
    dlg.chkShowErrors->setChecked(true);
    dlg.chkStartMax->setChecked(true);
    setRates(dlg, QStringLiteral("2.5"), QStringLiteral("1"), QStringLiteral("0.5"));
    dlg.chkQuickAction->setChecked(true);
    dlg.chkQAHideAll->setChecked(true);
    dlg.lstJobAction->setEditText(QStringLiteral("Print"));
    dlg.txtExceptions->setText(QStringLiteral("carol"));
    dlg.txtReportPath->setText(QStringLiteral("/srv/reports"));
    dlg.txtLogPath->setText(QStringLiteral("/srv/log"));
    dlg.cmbSimpleView->setCurrentIndex(1);
    dlg.txtCompany->setText(QStringLiteral("Acme"));
    dlg.txtTagline->setPlainText(QStringLiteral("Print less."));
    dlg.chkAudit->setChecked(true);
    dlg.chkWMISearch->setChecked(true);
    // Nothing but the immediate options has changed before Save.
    EXPECT_EQ(window->settings().PollNorm, QStringLiteral("10000"));
    EXPECT_TRUE(window->settings().QAHideAllButtons);
    EXPECT_EQ(window->settings().SimpleView, QStringLiteral("Classic Menu"));

    dlg.cmdClose->click();

    EXPECT_TRUE(dialogs.messages().isEmpty());
    EXPECT_TRUE(waitFor([this] { return window->settingsWindow() == nullptr; }, 5000));
    const ConsoleSettings& s = window->settings();
    EXPECT_DOUBLE_EQ(window->JobList->font().pointSizeF(), 12.75);
    EXPECT_EQ(s.ShowErrors, QStringLiteral("True"));
    EXPECT_EQ(s.StartMax, QStringLiteral("True"));
    EXPECT_EQ(s.PollNorm, QStringLiteral("2500"));
    EXPECT_EQ(s.PollAQ, QStringLiteral("1000"));
    EXPECT_EQ(s.PollAQactive, QStringLiteral("500"));
    EXPECT_EQ(s.QuickAction, 1);
    EXPECT_TRUE(s.QAHideAllButtons);
    EXPECT_EQ(s.JobAction, QStringLiteral("Print"));
    EXPECT_EQ(s.Exceptions, QStringLiteral("carol"));
    EXPECT_EQ(s.ReportPath, QStringLiteral("/srv/reports"));
    EXPECT_EQ(s.LogPath, QStringLiteral("/srv/log"));
    EXPECT_EQ(s.SimpleView, QStringLiteral("Classic Menu"));
    EXPECT_EQ(s.Company, QStringLiteral("Acme"));
    EXPECT_EQ(s.Tagline, QStringLiteral("Print less."));
    EXPECT_TRUE(s.Audit);
    EXPECT_EQ(s.ShowServerView, QStringLiteral("True"));
    EXPECT_TRUE(window->mnuSearch->isVisible());

    // The dialog never writes the file itself; the shutdown does.
    EXPECT_EQ(iniValue(QStringLiteral("PollNorm")), QStringLiteral("<missing>"));
    window->Form_Unload();
    const struct
    {
        const char* key;
        const char* value;
    } expected[] = {
        {"GridFontSize", "12.75"},
        {"ShowErrors", "True"},
        {"StartMax", "True"},
        {"PollNorm", "2500"},
        {"PollAQ", "1000"},
        {"PollAQactive", "500"},
        {"QuickAction", "1"},
        {"QAHideAllButtons", "True"},
        {"JobAction", "Print"},
        {"Exceptions", "carol"},
        {"ReportPath", "/srv/reports"},
        {"LogPath", "/srv/log"},
        {"SimpleView", "Classic Menu"},
        {"Company", "Acme"},
        {"Tagline", "Print less."},
        {"Audit", "True"},
        {"ShowServerView", "True"},
    };
    for (const auto& e : expected) {
        EXPECT_EQ(iniValue(QString::fromLatin1(e.key)), QString::fromLatin1(e.value)) << e.key;
    }
}

TEST_F(FrmSettingsTest, Save_ClearedBoxes_FalseAndServerViewHidden)
{
    writeIni(QStringLiteral("[Halvern]\nShowErrors=True\nStartMax=True\nShowServerView=True\nAudit=True\n"
                            "QuickAction=1\n"));
    FrmSettings& dlg = open();
    EXPECT_TRUE(window->mnuSearch->isVisible());
    dlg.chkShowErrors->setChecked(false);
    dlg.chkStartMax->setChecked(false);
    dlg.chkWMISearch->setChecked(false);
    dlg.chkAudit->setChecked(false);
    dlg.chkQuickAction->setChecked(false);
    // A font size that is no number is skipped; the rest is still taken over.
    const double size = window->JobList->font().pointSizeF();
    dlg.cmbGridFontSize->setEditText(QStringLiteral("big"));
    dlg.cmdClose_Click();
    EXPECT_TRUE(dialogs.messages().isEmpty());
    EXPECT_DOUBLE_EQ(window->JobList->font().pointSizeF(), size);
    const ConsoleSettings& s = window->settings();
    EXPECT_EQ(s.ShowErrors, QStringLiteral("False"));
    EXPECT_EQ(s.StartMax, QStringLiteral("False"));
    EXPECT_EQ(s.ShowServerView, QStringLiteral("False"));
    EXPECT_FALSE(s.Audit);
    EXPECT_EQ(s.QuickAction, 0);
    EXPECT_FALSE(window->mnuSearch->isVisible());
}

TEST_F(FrmSettingsTest, Save_RatesRefused_ExactMessageAndDialogStaysOpen)
{
    struct Case
    {
        const char* norm;
        const char* aq;
        const char* active;
        const char* message;
        const char* pollNorm; // the settings afterwards
        const char* pollAQ;
        const char* pollAQactive;
    };
    const Case cases[] = {
        {"0.999", "1", "1", "Normal polling rate must be greater than 1s.", "10000", "6000", "10"},
        {"0", "1", "1", "Normal polling rate must be greater than 1s.", "10000", "6000", "10"},
        // A refusal leaves the rates of the earlier checks changed.
        {"2", "0.5", "1", "AutoQueue polling rate must be greater than 1s.", "2000", "6000", "10"},
        {"1", "1", "0", "Active AutoQueue polling rate must be between 0.001 and 1s.", "1000", "1000", "10"},
        {"1", "1", "1.5", "Active AutoQueue polling rate must be between 0.001 and 1s.", "1000", "1000", "10"},
        {"abc", "1", "1", "An Error Occurred. Please check your polling rates.", "10000", "6000", "10"},
        {"1", "", "1", "An Error Occurred. Please check your polling rates.", "1000", "6000", "10"},
        {"1", "1", "x", "An Error Occurred. Please check your polling rates.", "1000", "1000", "10"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        SCOPED_TRACE(c.norm);
        window.reset();
        dialogs.shown.clear();
        FrmSettings& dlg = open();
        dlg.txtExceptions->setText(QStringLiteral("not taken"));
        setRates(dlg, QString::fromLatin1(c.norm), QString::fromLatin1(c.aq), QString::fromLatin1(c.active));
        dlg.cmdClose_Click();
        const auto messages = dialogs.messages();
        ASSERT_EQ(messages.size(), 1);
        EXPECT_EQ(messages.at(0).text, QString::fromLatin1(c.message));
        EXPECT_EQ(messages.at(0).style, 16);
        EXPECT_EQ(messages.at(0).title, QStringLiteral("Halvern"));
        QCoreApplication::processEvents();
        ASSERT_EQ(window->settingsWindow(), &dlg);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.txtPollNorm->text(), QString::fromLatin1(c.norm));
        EXPECT_EQ(window->settings().PollNorm, QString::fromLatin1(c.pollNorm));
        EXPECT_EQ(window->settings().PollAQ, QString::fromLatin1(c.pollAQ));
        EXPECT_EQ(window->settings().PollAQactive, QString::fromLatin1(c.pollAQactive));
        EXPECT_TRUE(window->settings().Exceptions.isEmpty());
    }
}

TEST_F(FrmSettingsTest, Save_BoundaryRates_Accepted)
{
    FrmSettings& dlg = open();
    setRates(dlg, QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("0.001"));
    dlg.cmdClose_Click();
    EXPECT_TRUE(dialogs.messages().isEmpty());
    EXPECT_EQ(window->settings().PollNorm, QStringLiteral("1000"));
    EXPECT_EQ(window->settings().PollAQ, QStringLiteral("1000"));
    EXPECT_EQ(window->settings().PollAQactive, QStringLiteral("1"));
}

TEST_F(FrmSettingsTest, QuickAction_TickedAndCleared_EnablingFollows)
{
    FrmSettings& dlg = open();
    dlg.chkQuickAction->click();
    EXPECT_TRUE(dlg.chkQuickAction->isChecked());
    EXPECT_FALSE(dlg.lstJobAction->isEnabled());
    EXPECT_TRUE(dlg.chkQAHideAll->isEnabled());
    dlg.chkQuickAction->click();
    EXPECT_TRUE(dlg.lstJobAction->isEnabled());
    EXPECT_FALSE(dlg.chkQAHideAll->isEnabled());
}

TEST_F(FrmSettingsTest, CloseWithoutSave_OnlyImmediateChangesKept)
{
    FrmSettings& dlg = open();
    dlg.chkQuickAction->setChecked(true);
    dlg.chkQAHideAll->setChecked(true);
    dlg.cmbSimpleView->setCurrentIndex(2);
    dlg.txtCompany->setText(QStringLiteral("Acme"));
    dlg.chkAudit->setChecked(true);
    setRates(dlg, QStringLiteral("3"), QStringLiteral("3"), QStringLiteral("1"));
    dlg.close();
    EXPECT_TRUE(waitFor([this] { return window->settingsWindow() == nullptr; }, 5000));
    const ConsoleSettings& s = window->settings();
    EXPECT_TRUE(s.QAHideAllButtons);
    EXPECT_EQ(s.SimpleView, QStringLiteral("Simple Menu"));
    EXPECT_EQ(s.QuickAction, 0);
    EXPECT_EQ(s.Company, QStringLiteral("Halvern"));
    EXPECT_FALSE(s.Audit);
    EXPECT_EQ(s.PollNorm, QStringLiteral("10000"));
    // Opened again, the window shows the settings, not the discarded entries.
    FrmSettings& again = open();
    EXPECT_EQ(again.txtCompany->text(), QStringLiteral("Halvern"));
    EXPECT_EQ(again.cmbSimpleView->currentText(), QStringLiteral("Simple Menu"));
}

TEST_F(FrmSettingsTest, SimpleView_NoMenuChosen_WarnsOnceAndAppliesAtOnce)
{
    FrmSettings& dlg = open();
    EXPECT_TRUE(window->menufile->menuAction()->isVisible());
    dlg.cmbSimpleView->setCurrentIndex(static_cast<int>(dlg.cmbSimpleView->findText(QStringLiteral("No Menu"))));
    const auto messages = dialogs.messages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages.at(0).text,
              QStringLiteral("When no Settings option is shown in the File menu only a local administrator can "
                             "access the full menu to change settings. You can temporarily enable the menus using "
                             "the '/menu:Full' command line parameter. See Help for more information"));
    EXPECT_EQ(messages.at(0).style, 0);
    EXPECT_EQ(messages.at(0).title, QStringLiteral("Halvern"));
    EXPECT_EQ(window->settings().SimpleView, QStringLiteral("No Menu"));
    EXPECT_FALSE(window->menufile->menuAction()->isVisible());

    // Help Menu warns too; Classic Menu does not.
    dlg.cmbSimpleView->setCurrentIndex(static_cast<int>(dlg.cmbSimpleView->findText(QStringLiteral("Help Menu"))));
    EXPECT_EQ(dialogs.messages().size(), 2);
    dlg.cmbSimpleView->setCurrentIndex(static_cast<int>(dlg.cmbSimpleView->findText(QStringLiteral("Classic Menu"))));
    EXPECT_EQ(dialogs.messages().size(), 2);
    EXPECT_TRUE(window->menufile->menuAction()->isVisible());
}

TEST_F(FrmSettingsTest, FormLoad_UnknownStoredValues_SelectNothingAndSaveKeepsStyle)
{
    writeIni(QStringLiteral("[Halvern]\nSimpleView=Odd Menu\nQuickAction=2\n"));
    FrmSettings& dlg = open();
    EXPECT_EQ(dlg.cmbSimpleView->currentIndex(), -1);
    EXPECT_TRUE(dialogs.messages().isEmpty());
    // Only 1 means the popup: any other value shows the default-action way, editable.
    EXPECT_FALSE(dlg.chkQuickAction->isChecked());
    EXPECT_TRUE(dlg.lstJobAction->isEnabled());
    dlg.cmdClose_Click();
    EXPECT_EQ(window->settings().SimpleView, QStringLiteral("Odd Menu"));
}

TEST_F(FrmSettingsTest, LogPathPicker_NewFolder_CopiesLogOnlyWhenMissingThere)
{
    start();
    makeLog();
    const QString withLog = env.appDataPath + QStringLiteral("/../withlog");
    const QString empty = env.appDataPath + QStringLiteral("/../empty");
    ASSERT_TRUE(QDir().mkpath(withLog));
    ASSERT_TRUE(QDir().mkpath(empty));
    {
        QFile other(withLog + QStringLiteral("/hlv.mdb"));
        ASSERT_TRUE(other.open(QIODevice::WriteOnly));
        other.write("theirs");
    }
    FrmSettings& dlg = open();

    dialogs.textAnswers.push_back(withLog);
    dlg.cmdLogPath->click();
    EXPECT_EQ(dlg.txtLogPath->text(), withLog);
    EXPECT_EQ(readFile(withLog + QStringLiteral("/hlv.mdb")), QStringLiteral("theirs"));
    ASSERT_FALSE(dialogs.shown.isEmpty());
    EXPECT_EQ(dialogs.shown.last().kind, QStringLiteral("folder"));
    EXPECT_EQ(dialogs.shown.last().title, QStringLiteral("Select a directory for Halvern Log Files"));

    // From the original folder into one without a log: the log is copied.
    dlg.txtLogPath->setText(env.appDataPath);
    dialogs.textAnswers.push_back(empty + QLatin1Char('/'));
    dlg.cmdLogPath->click();
    EXPECT_EQ(dlg.txtLogPath->text(), empty);
    QFile original(logFile());
    QFile copy(empty + QStringLiteral("/hlv.mdb"));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), original.readAll());
    // The setting changes only with Save.
    EXPECT_EQ(window->settings().LogPath, env.appDataPath);

    // A cancelled browser changes nothing.
    dlg.cmdLogPath->click();
    EXPECT_EQ(dlg.txtLogPath->text(), empty);
}

TEST_F(FrmSettingsTest, ReportPathPicker_FolderChosenOrCancelled_TextFollows)
{
    FrmSettings& dlg = open();
    dialogs.textAnswers.push_back(QStringLiteral("/srv/html"));
    dlg.cmdReportPath->click();
    EXPECT_EQ(dlg.txtReportPath->text(), QStringLiteral("/srv/html"));
    EXPECT_EQ(dialogs.shown.last().title, QStringLiteral("Select a directory for Halvern HTML Reports"));
    EXPECT_EQ(dialogs.shown.last().defaultText, env.tempPath);
    dlg.cmdReportPath->click();
    EXPECT_EQ(dlg.txtReportPath->text(), QStringLiteral("/srv/html"));
    EXPECT_EQ(window->settings().ReportPath, env.tempPath);
}

TEST_F(FrmSettingsTest, Audit_SettingsUpdated_OnlyWhileAuditTicked)
{
    writeIni(QStringLiteral("[Halvern]\nAudit=True\n"));
    FrmSettings& dlg = open();
    dlg.chkAudit->setChecked(false);
    dlg.cmdClose_Click();
    EXPECT_FALSE(audit().contains(QStringLiteral("Program|Settings Updated.")));

    FrmSettings& again = open();
    again.chkAudit->setChecked(true);
    again.cmdClose_Click();
    EXPECT_EQ(audit().count(QStringLiteral("Program|Settings Updated.")), 1);
}

TEST_F(FrmSettingsTest, ResetLog_ConfirmedWithArchive_ArchiveMadeAndLogDeleted)
{
    start();
    makeLog();
    FrmSettings& dlg = open();
    dialogs.msgAnswers = {MsgBoxResult::Yes, MsgBoxResult::Yes};
    dlg.cmdClear->click();
    const auto messages = dialogs.messages();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages.at(0).text, QStringLiteral("Are you sure you want to reset \r\nthe job and audit logs?"));
    EXPECT_EQ(messages.at(0).style, 20);
    EXPECT_EQ(messages.at(0).title, QStringLiteral("Warning"));
    EXPECT_EQ(messages.at(1).text, QStringLiteral("Do you want to archive a copy of the database?"));
    EXPECT_EQ(messages.at(1).style, 20);
    EXPECT_EQ(messages.at(1).title, QStringLiteral("Warning"));
    EXPECT_FALSE(QFile::exists(logFile()));
    // The clock stands at 9:30 on 14 March 2026.
    const QString archive = env.appDataPath + QStringLiteral("/2026-March-14-930-hlv.mdb");
    ASSERT_TRUE(QFile::exists(archive));
    auto db = Database::open(archive);
    ASSERT_TRUE(db);
    EXPECT_EQ(db->scalar(QStringLiteral("SELECT COUNT(*) FROM HLV_Log")).value_or(0).toInt(), 1);
}

TEST_F(FrmSettingsTest, ResetLog_Answers_NoArchiveOrNothingAtAll)
{
    start();
    makeLog();
    FrmSettings& dlg = open();
    // Not confirmed: nothing happens.
    dialogs.msgAnswers = {MsgBoxResult::No};
    dlg.cmdClear_Click();
    EXPECT_TRUE(QFile::exists(logFile()));
    EXPECT_EQ(dialogs.messages().size(), 1);
    // Confirmed without archive: the log goes, no archive is made.
    dialogs.msgAnswers = {MsgBoxResult::Yes, MsgBoxResult::No};
    dlg.cmdClear_Click();
    EXPECT_FALSE(QFile::exists(logFile()));
    EXPECT_TRUE(QDir(env.appDataPath).entryList({QStringLiteral("*-hlv.mdb")}, QDir::Files).isEmpty());
    // No log at all: nothing to delete and nothing reported.
    dialogs.msgAnswers = {MsgBoxResult::Yes, MsgBoxResult::No};
    dlg.cmdClear_Click();
    EXPECT_EQ(dialogs.messages().size(), 5);
}

TEST_F(FrmSettingsTest, ResetLog_ArchiveOrDeleteRefused_ErrorAndLogKept)
{
    start();
    makeLog();
    FrmSettings& dlg = open();
    const auto expectRefusal = [this](qsizetype messageCount) {
        const auto messages = dialogs.messages();
        ASSERT_EQ(messages.size(), messageCount);
        EXPECT_EQ(messages.last().text, QStringLiteral("Error deleting log file - Check permissions"));
        EXPECT_EQ(messages.last().style, 16);
        EXPECT_EQ(messages.last().title, QStringLiteral("Halvern"));
        EXPECT_TRUE(QFile::exists(logFile()));
        EXPECT_EQ(logCount(), 1);
    };

    // The system refuses to write the archive copy (a file size limit holds for root too).
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    dialogs.msgAnswers = {MsgBoxResult::Yes, MsgBoxResult::Yes};
    dlg.cmdClear_Click();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    expectRefusal(3);

    // A read-only log is not deleted.
    ASSERT_TRUE(QFile::setPermissions(logFile(), QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    dialogs.msgAnswers = {MsgBoxResult::Yes, MsgBoxResult::No};
    dlg.cmdClear_Click();
    expectRefusal(6);
    QFile::setPermissions(logFile(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST_F(FrmSettingsTest, ResetSettings_Confirmed_FilesGoneNewCopyStartedNothingSaved)
{
    writeIni(QStringLiteral("[Halvern]\nAudit=True\nCompany=Acme\n"));
    start();
    window->List_Add(window->CurrentPrinter, QStringLiteral("PS1"));
    window->List_Save(window->CurrentPrinter, env.appDataPath + QStringLiteral("/hlv.his"));
    ASSERT_TRUE(QFile::exists(env.appDataPath + QStringLiteral("/hlv.his")));
    FrmSettings& dlg = open();
    dialogs.msgAnswers = {MsgBoxResult::Yes};
    dlg.cmdReset->click();

    const auto messages = dialogs.messages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages.at(0).text, QStringLiteral("Are you sure you want to delete \r\n all favourites and settings?"));
    EXPECT_EQ(messages.at(0).style, 20);
    EXPECT_EQ(messages.at(0).title, QStringLiteral("Warning"));
    EXPECT_FALSE(QFile::exists(iniPath()));
    EXPECT_FALSE(QFile::exists(env.appDataPath + QStringLiteral("/hlv.his")));
    EXPECT_EQ(shell.opened, QStringList{QStringLiteral(HLV_BIN_DIR "/hlv")});
    EXPECT_EQ(audit().last(), QStringLiteral("Program|Settings Reset."));
    EXPECT_TRUE(window->isUnloaded());

    // Closing the old window afterwards writes neither settings nor the shutdown record.
    window->close();
    window->Form_Unload();
    EXPECT_FALSE(QFile::exists(iniPath()));
    EXPECT_FALSE(audit().contains(QStringLiteral("Program|Queue Manager Shutdown")));
}

TEST_F(FrmSettingsTest, ResetSettings_NotConfirmed_NothingChanges)
{
    writeIni(QStringLiteral("[Halvern]\nCompany=Acme\n"));
    FrmSettings& dlg = open();
    dlg.cmdReset_Click();
    EXPECT_TRUE(QFile::exists(iniPath()));
    EXPECT_TRUE(shell.opened.isEmpty());
    EXPECT_FALSE(window->isUnloaded());
}

} // namespace
} // namespace hlv::test
