#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "ConsoleFixture.h"
#include "support/Settle.h"

namespace hlv::test {
namespace {

const QString kAddQuestion = QStringLiteral("Add Current Print Queue To Favourites?");

class FavouritesTest : public ConsoleFixture
{
protected:
    void SetUp() override
    {
        ConsoleFixture::SetUp();
        addQueue(QStringLiteral("PS1"), QStringLiteral("Sales"));
        addQueue(QStringLiteral("PS1"), QStringLiteral("Admin"));
        addQueue(QStringLiteral("PS2"), QStringLiteral("Plotter"));
    }
    FrmMain& open(const QString& extra = QString())
    {
        writeIni(QStringLiteral("[Halvern]\nServer=PS1\nQueue=Sales\nStartMax=False\n") + extra);
        return start();
    }
    // A favourite slot as the menu shows it: caption, or "-" for a hidden entry, and "*"
    // after it when checked.
    QString slot(FrmMain& w, int i) const
    {
        const QAction* entry = w.mnuFav[static_cast<size_t>(i)];
        if (!entry->isVisible()) {
            return QStringLiteral("-");
        }
        return entry->text() + (entry->isChecked() ? QStringLiteral("*") : QString());
    }
    void setAutomation(FrmMain& w, bool autoQueue, bool autoRelease, bool print, const QString& time, bool aa)
    {
        FrmMain::setValue(w.chkAutoQueue, autoQueue ? 1 : 0);
        FrmMain::setValue(w.chkTimed, autoRelease ? 1 : 0);
        w.optTimed[print ? 0 : 1]->setChecked(true);
        w.txtTimed->setText(time);
        FrmMain::setValue(w.chkAA, aa ? 1 : 0);
    }
    void addByImage(FrmMain& w)
    {
        dialogs.msgAnswers.push_back(MsgBoxResult::Yes);
        w.imgFavourite_Click();
    }
    void fill(FrmMain& w, int i, const QString& caption, bool checked = false)
    {
        QAction* entry = w.mnuFav[static_cast<size_t>(i)];
        entry->setText(caption);
        entry->setChecked(checked);
        entry->setEnabled(true);
        entry->setVisible(true);
        w.favbutton[static_cast<size_t>(i)]->setVisible(true);
    }
    QString writeFile(const QByteArray& content)
    {
        const QString path = env.tempPath + QStringLiteral("/fav.csv");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        return path;
    }
};

TEST_F(FavouritesTest, AddFromImage_CaptionFromControlsSlotEntriesAndButton)
{
    FrmMain& w = open();
    setAutomation(w, true, true, false, QStringLiteral("6:00 PM"), true);
    addByImage(w);
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(dialogs.messages().first().text, kAddQuestion);
    EXPECT_EQ(dialogs.messages().first().style, 4);
    EXPECT_EQ(dialogs.messages().first().title, QStringLiteral("Halvern"));

    EXPECT_EQ(slot(w, 0), QStringLiteral("PS1 | Sales | AQ On | AR On | Delete | 6:00 PM | AA*"));
    EXPECT_TRUE(w.mnuFav[0]->isEnabled());
    EXPECT_FALSE(w.favbutton[0]->isHidden());
    EXPECT_EQ(w.favbutton[0]->text(), QStringLiteral("1"));
    EXPECT_EQ(w.favbutton[0]->toolTip(), w.mnuFav[0]->text());
    EXPECT_TRUE(w.mnuFavSep1->isVisible());
    EXPECT_TRUE(w.mnuFavSep2->isVisible());
    EXPECT_TRUE(w.mnuDelFav->isVisible());
    EXPECT_TRUE(w.mnuExportFav->isVisible());
    EXPECT_EQ(slot(w, 1), QStringLiteral("-"));
}

TEST_F(FavouritesTest, Add_AnsweredNoOrWithoutAutoRelease_NothingOrFourFieldsUnchecked)
{
    FrmMain& w = open();
    w.imgFavourite_Click(); // unscripted Yes/No answers No
    EXPECT_EQ(slot(w, 0), QStringLiteral("-"));

    // AutoActivate without AutoRelease: four fields and no check mark.
    setAutomation(w, false, false, true, QStringLiteral("5:00 PM"), true);
    addByImage(w);
    EXPECT_EQ(slot(w, 0), QStringLiteral("PS1 | Sales | AQ Off | AR Off"));

    // The menu entry reads the AutoActivate box as the image does; a flag left over from an
    // earlier add does not decide.
    FrmMain::setValue(w.chkAutoQueue, 1);
    FrmMain::setValue(w.chkTimed, 1);
    FrmMain::setValue(w.chkAA, 0);
    w.FavouriteAutoActivate = true;
    w.mnuAddFav_Click();
    EXPECT_EQ(slot(w, 1), QStringLiteral("PS1 | Sales | AQ On | AR On | Print | 5:00 PM"));
    FrmMain::setValue(w.chkAA, 1);
    w.txtTimed->setText(QStringLiteral("8:00 PM"));
    w.mnuAddFav_Click();
    EXPECT_EQ(slot(w, 2), QStringLiteral("PS1 | Sales | AQ On | AR On | Print | 8:00 PM | AA*"));
}

TEST_F(FavouritesTest, Add_SameActivationTimeText_RefusedOtherSpellingAllowed)
{
    FrmMain& w = open();
    fill(w, 3, QStringLiteral("PS2 | Plotter | AQ On | AR On | Print | 5:00 PM | AA"), true);
    setAutomation(w, true, true, true, QStringLiteral("5:00 PM"), true);
    addByImage(w);
    ASSERT_EQ(dialogs.messages().size(), 2);
    EXPECT_EQ(dialogs.messages().last().text,
              QStringLiteral("Another queue is already scheduled for activation at this time!"));
    EXPECT_EQ(dialogs.messages().last().style, 48);
    EXPECT_EQ(slot(w, 0), QStringLiteral("-"));

    // Texts are compared: 17:00 is another time.
    w.txtTimed->setText(QStringLiteral("17:00"));
    addByImage(w);
    EXPECT_EQ(slot(w, 0), QStringLiteral("PS1 | Sales | AQ On | AR On | Print | 17:00 | AA*"));

    // Without AutoActivate there is no clash.
    w.txtTimed->setText(QStringLiteral("5:00 PM"));
    FrmMain::setValue(w.chkAA, 0);
    addByImage(w);
    EXPECT_EQ(slot(w, 1), QStringLiteral("PS1 | Sales | AQ On | AR On | Print | 5:00 PM"));
}

TEST_F(FavouritesTest, Add_AllTwentyInUse_NothingChangesNothingShown)
{
    FrmMain& w = open();
    for (int i = 0; i < 20; ++i) {
        fill(w, i, QStringLiteral("S%1 | Q | AQ Off | AR Off").arg(i));
    }
    setAutomation(w, true, true, true, QStringLiteral("9:00 PM"), true);
    addByImage(w);
    EXPECT_EQ(dialogs.messages().size(), 1); // the question only
    EXPECT_FALSE(w.FavouriteAutoActivate);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(slot(w, i), QStringLiteral("S%1 | Q | AQ Off | AR Off").arg(i));
    }
}

TEST_F(FavouritesTest, DeleteMode_AsksDeletesAndEndsWithTheLastFavourite)
{
    FrmMain& w = open();
    setAutomation(w, false, false, true, QStringLiteral("5:00 PM"), false);
    addByImage(w);
    addByImage(w);
    w.mnuDelFav_Click();
    ASSERT_TRUE(w.mnuDelFav->isChecked());

    // Answered No: kept.
    dialogs.msgAnswers.push_back(MsgBoxResult::No);
    w.mnuFav_Click(1);
    settle(w);
    EXPECT_EQ(dialogs.messages().last().text, QStringLiteral("Are you sure you want to delete \r\nPS1 | Sales | AQ "
                                                             "Off | AR Off\r\n from your Favourites?"));
    EXPECT_EQ(dialogs.messages().last().style, 20);
    EXPECT_EQ(dialogs.messages().last().title, QStringLiteral("Warning"));
    EXPECT_NE(slot(w, 1), QStringLiteral("-"));

    // A button in delete mode asks too; deleting one of two leaves delete mode on.
    dialogs.msgAnswers.push_back(MsgBoxResult::Yes);
    w.favbutton_Click(1);
    settle(w);
    EXPECT_EQ(slot(w, 1), QStringLiteral("-"));
    EXPECT_TRUE(w.favbutton[1]->isHidden());
    EXPECT_TRUE(w.favbutton[1]->toolTip().isEmpty());
    EXPECT_TRUE(w.mnuDelFav->isChecked());
    EXPECT_TRUE(w.mnuDelFav->isVisible());

    dialogs.msgAnswers.push_back(MsgBoxResult::Yes);
    w.mnuFav_Click(0);
    settle(w);
    EXPECT_EQ(slot(w, 0), QStringLiteral("-"));
    EXPECT_FALSE(w.mnuDelFav->isChecked());
    EXPECT_FALSE(w.mnuDelFav->isVisible());
    EXPECT_FALSE(w.mnuFavSep1->isVisible());
    EXPECT_FALSE(w.mnuFavSep2->isVisible());
    EXPECT_FALSE(w.mnuExportFav->isVisible());
    EXPECT_EQ(w.CurrentPrinter->currentText(), QStringLiteral("PS1")); // nothing was loaded

    // A freed slot is the next one the add fills.
    addByImage(w);
    EXPECT_EQ(slot(w, 0), QStringLiteral("PS1 | Sales | AQ Off | AR Off"));
}

TEST_F(FavouritesTest, Choose_LoadsServerQueueAndAutomation)
{
    FrmMain& w = open();
    fill(w, 0, QStringLiteral("PS2 | Plotter | AQ On | AR On | Delete | 5:30 PM | AA"), true);
    fill(w, 1, QStringLiteral("PS1 | Admin | AQ On | AR On | Print | 7:15 PM"));
    fill(w, 2, QStringLiteral("PS1 | Gone | AQ Off | AR Off"));

    w.favbutton_Click(0);

    settle(w);
    EXPECT_EQ(w.CurrentPrinter->currentText(), QStringLiteral("PS2"));
    EXPECT_EQ(w.settings().Server, QStringLiteral("PS2"));
    EXPECT_EQ(w.queueBoxText(), QStringLiteral("Plotter"));
    EXPECT_EQ(FrmMain::value(w.chkAutoQueue), 1);
    EXPECT_EQ(FrmMain::value(w.chkTimed), 1);
    EXPECT_TRUE(w.optTimed[1]->isChecked());
    EXPECT_EQ(w.txtTimed->text(), QStringLiteral("5:30 PM"));
    EXPECT_EQ(FrmMain::value(w.chkAA), 1);
    EXPECT_TRUE(w.Timer2.isActive());

    // "Print" after "Delete" selects Print Jobs; an unchecked entry clears AutoActivate.
    w.mnuFav_Click(1);
    settle(w);
    EXPECT_EQ(w.CurrentPrinter->currentText(), QStringLiteral("PS1"));
    EXPECT_EQ(w.queueBoxText(), QStringLiteral("Admin"));
    EXPECT_TRUE(w.optTimed[0]->isChecked());
    EXPECT_EQ(w.txtTimed->text(), QStringLiteral("7:15 PM"));
    EXPECT_EQ(FrmMain::value(w.chkAA), 0);

    // A queue the server no longer has: connected, no queue selected, automation off.
    w.mnuFav_Click(2);
    settle(w);
    EXPECT_EQ(w.queueBoxText(), QString());
    EXPECT_EQ(FrmMain::value(w.chkAutoQueue), 0);
    EXPECT_EQ(FrmMain::value(w.chkTimed), 0);
}

TEST_F(FavouritesTest, Choose_WhileResumeAllPending_MessageAndNothingLoaded)
{
    FrmMain& w = open();
    fill(w, 0, QStringLiteral("PS2 | Plotter | AQ Off | AR Off"));
    w.ResumeAllPending = true;
    w.ActiveQueue = QStringLiteral("Sales");
    w.mnuFav_Click(0);
    settle(w);
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(dialogs.messages().first().text,
              QStringLiteral("Sales is currently resuming print jobs. Please wait until all jobs are printed!"));
    EXPECT_EQ(dialogs.messages().first().title, QStringLiteral("Sales Resume All"));
    EXPECT_EQ(w.CurrentPrinter->currentText(), QStringLiteral("PS1"));
    w.ResumeAllPending = false;
}

TEST_F(FavouritesTest, TimedActivation_AtItsMinuteLowerSlotWins)
{
    FrmMain& w = open();
    fill(w, 4, QStringLiteral("PS2 | Plotter | AQ On | AR On | Print | 9:45 AM | AA"), true);
    fill(w, 6, QStringLiteral("PS1 | Admin | AQ On | AR On | Print | 9:45 AM | AA"), true);
    clock.current = QDateTime(QDate(2026, 3, 14), QTime(9, 44, 59));
    settle(w.chkTimedRelease());
    EXPECT_EQ(w.CurrentPrinter->currentText(), QStringLiteral("PS1"));
    EXPECT_EQ(w.queueBoxText(), QStringLiteral("Sales"));

    clock.current = QDateTime(QDate(2026, 3, 14), QTime(9, 45, 30));
    settle(w.chkTimedRelease());
    EXPECT_EQ(w.CurrentPrinter->currentText(), QStringLiteral("PS2"));
    EXPECT_EQ(w.queueBoxText(), QStringLiteral("Plotter"));
    EXPECT_EQ(FrmMain::value(w.chkAutoQueue), 1);
    EXPECT_EQ(FrmMain::value(w.chkAA), 1);
}

TEST_F(FavouritesTest, Export_SlotsInUseEachFollowedByCommaEndedByCrLf)
{
    FrmMain& w = open();
    const QString path = env.tempPath + QStringLiteral("/out.csv");

    // No favourites: a file holding only CR LF, replacing what was there.
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old content that is longer\r\n");
    }
    dialogs.textAnswers.push_back(path);
    w.mnuExportFav_Click();
    EXPECT_EQ(readFile(path), QStringLiteral("\r\n"));
    EXPECT_EQ(dialogs.shown.last().kind, QStringLiteral("save"));
    EXPECT_EQ(dialogs.shown.last().title, QStringLiteral("Export Favourites File"));
    EXPECT_EQ(dialogs.shown.last().text, QStringLiteral("CSV Files (*.csv)|*.csv|All Files (*.*)|*.*"));

    fill(w, 0, QStringLiteral("PS1 | Sales | AQ Off | AR Off"));
    fill(w, 5, QStringLiteral("PS2 | Plotter | AQ On | AR On | Delete | 6:00 PM | AA"), true);
    dialogs.textAnswers.push_back(path);
    w.mnuExportFav_Click();
    EXPECT_EQ(
        readFile(path),
        QStringLiteral("PS1 | Sales | AQ Off | AR Off,PS2 | Plotter | AQ On | AR On | Delete | 6:00 PM | AA,\r\n"));

    // Cancel: nothing written.
    QFile::remove(path);
    w.mnuExportFav_Click();
    EXPECT_FALSE(QFile::exists(path));

    // A folder that does not exist: the operator is told.
    dialogs.textAnswers.push_back(env.tempPath + QStringLiteral("/missing/out.csv"));
    w.mnuExportFav_Click();
    ASSERT_FALSE(dialogs.messages().isEmpty());
    EXPECT_EQ(dialogs.messages().last().style, 16);
}

TEST_F(FavouritesTest, Import_FirstLineOnlyFillsAndFreesSlotsWithCheckMarks)
{
    FrmMain& w = open();
    fill(w, 1, QStringLiteral("OLD | Q | AQ On | AR On | Print | 1:00 PM | AA"), true);
    fill(w, 7, QStringLiteral("OLD | R | AQ Off | AR Off"));
    dialogs.textAnswers.push_back(writeFile("A | a | AQ Off | AR Off,B | b | AQ On | AR On | Print | 5:00 PM,"
                                            "C | c | AQ On | AR On | Delete | 6:00 PM | AA,\r\n"
                                            "D | d | AQ Off | AR Off,\r\n"));
    w.mnuImportFav_Click();
    EXPECT_EQ(dialogs.shown.last().kind, QStringLiteral("open"));
    EXPECT_EQ(dialogs.shown.last().title, QStringLiteral("Import Favourites File"));
    EXPECT_EQ(dialogs.shown.last().text, QString());

    EXPECT_EQ(slot(w, 0), QStringLiteral("A | a | AQ Off | AR Off"));
    // Slot 1 held a checked favourite and receives one without AutoActivate.
    EXPECT_EQ(slot(w, 1), QStringLiteral("B | b | AQ On | AR On | Print | 5:00 PM"));
    EXPECT_EQ(slot(w, 2), QStringLiteral("C | c | AQ On | AR On | Delete | 6:00 PM | AA*"));
    for (int i = 3; i < 20; ++i) {
        EXPECT_EQ(slot(w, i), QStringLiteral("-")) << i;
        EXPECT_FALSE(w.mnuFav[static_cast<size_t>(i)]->isEnabled()) << i;
        EXPECT_TRUE(w.favbutton[static_cast<size_t>(i)]->isHidden()) << i;
    }
    EXPECT_EQ(w.favbutton[2]->toolTip(), QStringLiteral("C | c | AQ On | AR On | Delete | 6:00 PM | AA"));
    EXPECT_TRUE(w.mnuDelFav->isVisible());
    EXPECT_TRUE(w.mnuExportFav->isVisible());

    // A freed slot takes the next add again.
    setAutomation(w, false, false, true, QStringLiteral("5:00 PM"), false);
    addByImage(w);
    EXPECT_EQ(slot(w, 3), QStringLiteral("PS1 | Sales | AQ Off | AR Off"));
    EXPECT_TRUE(w.mnuFav[3]->isEnabled());
}

TEST_F(FavouritesTest, ReleaseTimeNotATime_AddRefusedImportRefusesThatFavouriteOnly)
{
    FrmMain& w = open();
    setAutomation(w, true, true, true, QStringLiteral("after lunch"), true);
    addByImage(w);
    ASSERT_EQ(dialogs.messages().size(), 2);
    EXPECT_EQ(dialogs.messages().last().text,
              QStringLiteral("The AutoRelease time \"after lunch\" is not a time of day (for example 5:00 PM or "
                             "17:00). The favourite was not added."));
    EXPECT_EQ(dialogs.messages().last().style, 48);
    EXPECT_EQ(slot(w, 0), QStringLiteral("-"));

    dialogs.textAnswers.push_back(writeFile("A | a | AQ On | AR On | Print | 25:99 | AA,B | b | AQ Off | AR Off,"
                                            "C | c | AQ On | AR On | Delete | 6:00 PM | AA,"
                                            "D | d | AQ On | AR On | Print |  | AA,\r\n"));
    w.mnuImportFav_Click();
    EXPECT_EQ(dialogs.messages().last().text,
              QStringLiteral("These favourites were not imported, as their AutoRelease time is not a time of day:\r\n"
                             "A | a | AQ On | AR On | Print | 25:99 | AA\r\nD | d | AQ On | AR On | Print |  | AA"));
    EXPECT_EQ(dialogs.messages().size(), 3);
    EXPECT_EQ(slot(w, 0), QStringLiteral("-"));
    EXPECT_EQ(slot(w, 1), QStringLiteral("B | b | AQ Off | AR Off"));
    EXPECT_EQ(slot(w, 2), QStringLiteral("C | c | AQ On | AR On | Delete | 6:00 PM | AA*"));
    EXPECT_EQ(slot(w, 3), QStringLiteral("-"));
}

TEST_F(FavouritesTest, Import_TwentyFiveCaptionsFillTwentyEmptyLineFreesAll)
{
    FrmMain& w = open();
    QByteArray line;
    for (int i = 0; i < 25; ++i) {
        line += "S" + QByteArray::number(i) + " | Q | AQ Off | AR Off,";
    }
    dialogs.textAnswers.push_back(writeFile(line + "\r\n"));
    w.mnuImportFav_Click();
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(slot(w, i), QStringLiteral("S%1 | Q | AQ Off | AR Off").arg(i));
    }

    // An empty first line frees every slot; the entries around them keep their visibility.
    dialogs.textAnswers.push_back(writeFile("\r\nS1 | Q | AQ Off | AR Off,\r\n"));
    w.mnuImportFav_Click();
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(slot(w, i), QStringLiteral("-")) << i;
    }
    EXPECT_TRUE(w.mnuFavSep1->isVisible());
    EXPECT_TRUE(w.mnuDelFav->isVisible());
}

TEST_F(FavouritesTest, Import_UnreadableFileOrCancel_NothingChanges)
{
    FrmMain& w = open();
    fill(w, 0, QStringLiteral("PS1 | Sales | AQ Off | AR Off"));
    w.mnuImportFav_Click(); // cancelled
    dialogs.textAnswers.push_back(env.tempPath + QStringLiteral("/no-such-file.csv"));
    w.mnuImportFav_Click();
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(dialogs.messages().first().style, 16);
    EXPECT_EQ(slot(w, 0), QStringLiteral("PS1 | Sales | AQ Off | AR Off"));
}

TEST_F(FavouritesTest, ExportThenImport_SameSlotsAndCheckMarksAfterRestartRoundTrip)
{
    FrmMain& w = open();
    setAutomation(w, true, true, false, QStringLiteral("6:00 PM"), true);
    addByImage(w);
    setAutomation(w, false, false, true, QStringLiteral("5:00 PM"), false);
    addByImage(w);
    const QString path = env.tempPath + QStringLiteral("/roundtrip.csv");
    dialogs.textAnswers.push_back(path);
    w.mnuExportFav_Click();
    const QStringList before{slot(w, 0), slot(w, 1)};
    w.Form_Unload();
    window.reset();

    FrmMain& again = start();
    EXPECT_EQ((QStringList{slot(again, 0), slot(again, 1)}), before);
    dialogs.textAnswers.push_back(path);
    again.mnuImportFav_Click();
    EXPECT_EQ((QStringList{slot(again, 0), slot(again, 1)}), before);
    EXPECT_EQ(before.first(), QStringLiteral("PS1 | Sales | AQ On | AR On | Delete | 6:00 PM | AA*"));
}

} // namespace
} // namespace hlv::test
