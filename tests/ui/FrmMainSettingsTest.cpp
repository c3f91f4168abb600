#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QStatusBar>

#include "ConsoleFixture.h"
#include "console/ui/JobListWidget.h"

namespace hlv::test {
namespace {

class SettingsTest : public ConsoleFixture
{
protected:
    // The keys of one section of the settings file, in file order.
    QStringList sectionKeys(const QString& section)
    {
        QStringList keys;
        bool inSection = false;
        const QStringList lines = readFile(iniPath()).split(QRegularExpression(QStringLiteral("\r?\n")));
        for (const QString& line : lines) {
            if (line.startsWith(QLatin1Char('['))) {
                inSection = line == QLatin1Char('[') + section + QLatin1Char(']');
            } else if (inSection && line.contains(QLatin1Char('='))) {
                keys.append(line.section(QLatin1Char('='), 0, 0));
            }
        }
        return keys;
    }
    QString value(const QString& key)
    {
        const QStringList lines = readFile(iniPath()).split(QRegularExpression(QStringLiteral("\r?\n")));
        for (const QString& line : lines) {
            if (line.startsWith(key + QLatin1Char('='))) {
                return line.mid(key.size() + 1);
            }
        }
        return QStringLiteral("<missing>");
    }
};

TEST_F(SettingsTest, LoadSettings_FirstStartWithoutFile_EveryDefault)
{
    FrmMain& w = start();
    const ConsoleSettings& s = w.settings();
    EXPECT_EQ(s.PollNorm, QStringLiteral("10000"));
    EXPECT_EQ(s.PollAQ, QStringLiteral("6000"));
    EXPECT_EQ(s.PollAQactive, QStringLiteral("10"));
    EXPECT_EQ(s.ReportPath, env.tempPath);
    EXPECT_EQ(s.LogPath, env.appDataPath);
    EXPECT_EQ(s.Company, QStringLiteral("Halvern"));
    EXPECT_EQ(s.Tagline, QStringLiteral("Save money and the environment by reducing paper and ink usage through "
                                        "better print management."));
    EXPECT_EQ(s.ResetTotal, clock.now());
    EXPECT_FALSE(s.Audit);
    EXPECT_FALSE(s.QAHideAllButtons);
    EXPECT_EQ(s.QuickAction, 0);
    for (QWidget* panel : {static_cast<QWidget*>(w.PrintQueue), static_cast<QWidget*>(w.frmQueueInfo),
                           static_cast<QWidget*>(w.frmQueueControl), static_cast<QWidget*>(w.FrameFavourites),
                           static_cast<QWidget*>(w.frmServer), static_cast<QWidget*>(w.frmOnline)}) {
        EXPECT_FALSE(panel->isHidden());
    }
    for (QAction* entry :
         {w.mnuSearchQueue, w.mnuQueueInfo, w.mnuQueueControl, w.mnuFavouritesPanel, w.mnuNetwork, w.mnuOnline}) {
        EXPECT_TRUE(entry->isChecked());
    }
    EXPECT_TRUE(w.StatusBar1->isHidden());
    EXPECT_FALSE(w.mnuStatusBar->isChecked());
    EXPECT_TRUE(w.windowState() & Qt::WindowMaximized);
}

TEST_F(SettingsTest, LoadSettings_PanelsOffStatusBarOnNormal_AsStored)
{
    writeIni(QStringLiteral("[Halvern]\nShowUpdates=False\nFavouritesPanel=false\nShowNetwork=FALSE\n"
                            "ShowQueueInfo=0\nShowQueueControl=False\nShowSearch=False\nShowStatusBar=True\n"
                            "StartMax=False\nAudit=1\nQAHideAllButtons=true\nQuickAction=1abc\n"));
    FrmMain& w = start();
    for (QWidget* panel : {static_cast<QWidget*>(w.PrintQueue), static_cast<QWidget*>(w.frmQueueInfo),
                           static_cast<QWidget*>(w.frmQueueControl), static_cast<QWidget*>(w.FrameFavourites),
                           static_cast<QWidget*>(w.frmServer), static_cast<QWidget*>(w.frmOnline)}) {
        EXPECT_TRUE(panel->isHidden());
    }
    EXPECT_FALSE(w.StatusBar1->isHidden());
    EXPECT_FALSE(w.windowState() & Qt::WindowMaximized);
    EXPECT_TRUE(w.settings().Audit);
    EXPECT_TRUE(w.settings().QAHideAllButtons);
    EXPECT_EQ(w.settings().QuickAction, 1);
}

TEST_F(SettingsTest, LoadSettings_Favourites_CheckMarkOnlyForSevenFieldAutoActivate)
{
    writeIni(QStringLiteral("[Halvern]\nSimpleView=Full Menu\n[Favourites]\n"
                            "0=PS1 | Sales | AQ On | AR On | Print | 5:00 PM | AA\n"
                            "1=PS1 | Sales | AQ Off | AR On | Print | 5:00 PM\n"
                            "3=PS1 | Admin | AQ Off | AR Off\n"));
    FrmMain& w = start();
    EXPECT_TRUE(w.mnuFav[0]->isChecked());
    EXPECT_FALSE(w.mnuFav[1]->isChecked());
    EXPECT_FALSE(w.mnuFav[3]->isChecked());
    EXPECT_TRUE(w.mnuFav[0]->isVisible());
    EXPECT_FALSE(w.mnuFav[2]->isVisible());
    EXPECT_TRUE(w.mnuFav[2]->text().isEmpty());
    EXPECT_EQ(w.favbutton[3]->toolTip(), QStringLiteral("PS1 | Admin | AQ Off | AR Off"));
    EXPECT_FALSE(w.favbutton[3]->isHidden());
    EXPECT_TRUE(w.favbutton[2]->isHidden());
    EXPECT_TRUE(w.mnuFavSep1->isVisible());
    EXPECT_TRUE(w.mnuFavSep2->isVisible());
    EXPECT_TRUE(w.mnuDelFav->isVisible());
    EXPECT_TRUE(w.mnuExportFav->isVisible());
}

TEST_F(SettingsTest, LoadSettings_FavouriteWithClassicMenu_ExportStaysHidden)
{
    writeIni(QStringLiteral("[Halvern]\nSimpleView=Classic Menu\n[Favourites]\n0=PS1 | Sales | AQ Off | AR Off\n"));
    FrmMain& w = start();
    EXPECT_TRUE(w.mnuDelFav->isVisible());
    EXPECT_FALSE(w.mnuExportFav->isVisible());
}

TEST_F(SettingsTest, SaveSettings_FirstRun_EveryKeyInWriteOrder)
{
    FrmMain& w = start();
    w.SaveSettings();
    EXPECT_EQ(sectionKeys(QStringLiteral("Halvern")),
              (QStringList{QStringLiteral("Server"),           QStringLiteral("Queue"),
                           QStringLiteral("AutoQueue"),        QStringLiteral("TimedRelease"),
                           QStringLiteral("TimedReleaseTime"), QStringLiteral("TimedReleaseAction"),
                           QStringLiteral("DisplaySizeWidth"), QStringLiteral("DisplaySizeHeight"),
                           QStringLiteral("ColumnWidths"),     QStringLiteral("ColumnPositions"),
                           QStringLiteral("GridFontSize"),     QStringLiteral("ShowErrors"),
                           QStringLiteral("ShowServerView"),   QStringLiteral("StartMax"),
                           QStringLiteral("Company"),          QStringLiteral("Tagline"),
                           QStringLiteral("ShowUpdates"),      QStringLiteral("FavouritesPanel"),
                           QStringLiteral("ShowNetwork"),      QStringLiteral("ShowQueueInfo"),
                           QStringLiteral("ShowQueueControl"), QStringLiteral("ShowSearch"),
                           QStringLiteral("ShowStatusBar"),    QStringLiteral("Audit"),
                           QStringLiteral("PollNorm"),         QStringLiteral("PollAQ"),
                           QStringLiteral("PollAQactive"),     QStringLiteral("QuickAction"),
                           QStringLiteral("JobAction"),        QStringLiteral("Exceptions"),
                           QStringLiteral("ResetTotal"),       QStringLiteral("ReportPath"),
                           QStringLiteral("LogPath"),          QStringLiteral("SimpleView"),
                           QStringLiteral("QAHideAllButtons")}));
    QStringList favourites;
    for (int i = 0; i < 20; ++i) {
        favourites.append(QString::number(i));
    }
    EXPECT_EQ(sectionKeys(QStringLiteral("Favourites")), favourites);
    EXPECT_EQ(value(QStringLiteral("ColumnWidths")),
              QStringLiteral("1200,3000,1800,1200,800,800,700,1300,2500,800,1800"));
    EXPECT_EQ(value(QStringLiteral("ColumnWidths")).count(QLatin1Char(',')), 10);
    EXPECT_EQ(value(QStringLiteral("ColumnPositions")), QStringLiteral("1,2,3,4,5,6,7,8,9,10,11"));
    EXPECT_EQ(value(QStringLiteral("ShowUpdates")), QStringLiteral("True"));
    EXPECT_EQ(value(QStringLiteral("ShowStatusBar")), QStringLiteral("False"));
    EXPECT_EQ(value(QStringLiteral("Audit")), QStringLiteral("False"));
    EXPECT_EQ(value(QStringLiteral("TimedReleaseAction")), QStringLiteral("PRINT"));
    EXPECT_EQ(value(QStringLiteral("AutoQueue")), QStringLiteral("0"));
    EXPECT_EQ(value(QStringLiteral("ResetTotal")), QStringLiteral("3/14/2026 9:30:00 AM"));
    EXPECT_EQ(value(QStringLiteral("QuickAction")), QStringLiteral("0"));
}

TEST_F(SettingsTest, SaveSettings_UntouchedValues_WrittenBackAsRead)
{
    struct Case
    {
        QString showErrors;
        QString resetTotal;
        QString resetTotalSaved;
    };
    const Case cases[] = {
        {QString(), QStringLiteral("1/2/2025 3:04:05 PM"), QStringLiteral("1/2/2025")},
        {QStringLiteral("maybe"), QStringLiteral("1/2/2025 3:04:05 PM"), QStringLiteral("1/2/2025")},
        // Written day first (another locale): no date here, so kept as stored.
        {QStringLiteral("false"), QStringLiteral("31/12/2025 3:04:05 PM"), QStringLiteral("31/12/2025 3:04:05 PM")},
    };
    for (const Case& c : cases) {
        const QString& showErrors = c.showErrors;
        writeIni(QStringLiteral("[Halvern]\nShowErrors=") + showErrors +
                 QStringLiteral("\nShowServerView=yes\nPollNorm=2500\nResetTotal=") + c.resetTotal +
                 QStringLiteral("\nColumnWidths=1500,1515,abc\n"));
        FrmMain& w = start();
        w.SaveSettings();
        EXPECT_EQ(value(QStringLiteral("ShowErrors")), showErrors);
        EXPECT_EQ(value(QStringLiteral("ShowServerView")), QStringLiteral("yes"));
        EXPECT_EQ(value(QStringLiteral("PollNorm")), QStringLiteral("2500"));
        // The reset date keeps its date only; columns without a value keep their design width.
        EXPECT_EQ(value(QStringLiteral("ResetTotal")), c.resetTotalSaved);
        EXPECT_EQ(value(QStringLiteral("ColumnWidths")),
                  QStringLiteral("1500,1515,1440,1440,1440,1440,1440,1440,1440,1440,0"));
        window.reset();
    }
}

TEST_F(SettingsTest, SaveSettings_Maximised_WritesLastNormalSize)
{
    writeIni(QStringLiteral("[Halvern]\nDisplaySizeWidth=12000\nDisplaySizeHeight=7500\nStartMax=True\n"));
    FrmMain& w = start();
    ASSERT_TRUE(w.windowState() & Qt::WindowMaximized);
    w.SaveSettings();
    EXPECT_EQ(value(QStringLiteral("DisplaySizeWidth")), QStringLiteral("12000"));
    EXPECT_EQ(value(QStringLiteral("DisplaySizeHeight")), QStringLiteral("7500"));
}

TEST_F(SettingsTest, SaveSettings_NormalWindow_WritesCurrentSize)
{
    writeIni(QStringLiteral("[Halvern]\nDisplaySizeWidth=12000\nDisplaySizeHeight=7500\nStartMax=False\n"));
    FrmMain& w = start();
    EXPECT_EQ(w.width(), 800);
    EXPECT_EQ(w.height(), 500);
    w.resize(900, 600);
    w.SaveSettings();
    EXPECT_EQ(value(QStringLiteral("DisplaySizeWidth")), QStringLiteral("13500"));
    EXPECT_EQ(value(QStringLiteral("DisplaySizeHeight")), QStringLiteral("9000"));
}

TEST_F(SettingsTest, SaveSettings_ResizedColumnAndFontSize_WrittenInTwipsAndPoints)
{
    // Numbers are stored in one form under every locale; the form with the decimal comma
    // that earlier versions wrote under such a locale still reads.
    const struct
    {
        const char* locale;
        const char* decimalPoint;
        const char* stored;
        double size;
    } cases[] = {
        {"C", ".", "9.75", 9.75},
        {"de_DE", ",", "12,75", 12.75},
        {"de_DE", ",", "12.75", 12.75},
        {"fr_FR", ",", "8,25", 8.25},
    };
    for (const auto& c : cases) {
        QLocale::setDefault(QLocale(QString::fromLatin1(c.locale)));
        ASSERT_EQ(QLocale().decimalPoint(), QString::fromLatin1(c.decimalPoint)) << c.locale;
        writeIni(QStringLiteral("[Halvern]\nGridFontSize=") + QString::fromLatin1(c.stored) + QLatin1Char('\n'));
        FrmMain& w = start();
        EXPECT_DOUBLE_EQ(w.JobList->font().pointSizeF(), c.size) << c.locale << " " << c.stored;
        w.JobList->setColumnWidth(1, 150);
        w.SaveSettings();
        EXPECT_EQ(value(QStringLiteral("ColumnWidths")),
                  QStringLiteral("1200,2250,1800,1200,800,800,700,1300,2500,800,1800"));
        EXPECT_EQ(value(QStringLiteral("GridFontSize")), QString::number(c.size)) << c.locale << " " << c.stored;
        EXPECT_DOUBLE_EQ(start().JobList->font().pointSizeF(), c.size) << c.locale << " " << c.stored;
    }
}

TEST_F(SettingsTest, SaveSettings_FileCannotBeWritten_ReportsOnce)
{
    FrmMain& w = start();
    ASSERT_TRUE(QDir().mkpath(iniPath())); // a folder where the file should be
    w.SaveSettings();
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(dialogs.messages().at(0).text, QStringLiteral("Halvern had problems saving your data."));
    EXPECT_EQ(dialogs.messages().at(0).style, 64);
    EXPECT_EQ(dialogs.messages().at(0).title, QStringLiteral("Halvern"));
}

TEST_F(SettingsTest, SaveSettings_MultiLineTaglineAndOneUnwritableKey_EveryOtherKeyKept)
{
    const QString tagline = QStringLiteral("Print less.\r\nSave more.\nSee C:\\new\\r");
    {
        FrmMain& w = start();
        w.settings().Tagline = tagline;
        w.settings().Company = QStringLiteral("Acme\nLtd"); // a line break no line can hold
        w.settings().PollNorm = QStringLiteral("2500");
        w.settings().SimpleView = QStringLiteral("Classic Menu");
        w.SaveSettings();
        ASSERT_EQ(dialogs.messages().size(), 1);
        EXPECT_EQ(dialogs.messages().at(0).text, QStringLiteral("Halvern had problems saving your data."));
    }
    const QStringList keys = sectionKeys(QStringLiteral("Halvern"));
    EXPECT_FALSE(keys.contains(QStringLiteral("Company")));
    for (const char* key : {"Tagline", "ShowUpdates", "PollNorm", "ResetTotal", "LogPath", "QAHideAllButtons"}) {
        EXPECT_TRUE(keys.contains(QString::fromLatin1(key))) << key;
    }
    EXPECT_EQ(sectionKeys(QStringLiteral("Favourites")).size(), 20);
    EXPECT_EQ(value(QStringLiteral("PollNorm")), QStringLiteral("2500"));

    FrmMain& again = start();
    EXPECT_EQ(again.settings().Tagline, tagline);
    EXPECT_EQ(again.settings().SimpleView, QStringLiteral("Classic Menu"));
}

TEST(SettingsRules, ReadBoolean_Texts_TrueFalseNumbersElseUnreadable)
{
    EXPECT_EQ(readBoolean(QStringLiteral("True")), std::optional<bool>(true));
    EXPECT_EQ(readBoolean(QStringLiteral("fAlSe")), std::optional<bool>(false));
    EXPECT_EQ(readBoolean(QStringLiteral("0")), std::optional<bool>(false));
    EXPECT_EQ(readBoolean(QStringLiteral("-1")), std::optional<bool>(true));
    EXPECT_EQ(readBoolean(QStringLiteral("2.5")), std::optional<bool>(true));
    EXPECT_EQ(readBoolean(QString()), std::nullopt);
    EXPECT_EQ(readBoolean(QStringLiteral("yes")), std::nullopt);
    EXPECT_TRUE(onUnlessFalse(QString()));
    EXPECT_TRUE(onUnlessFalse(QStringLiteral("yes")));
    EXPECT_FALSE(onUnlessFalse(QStringLiteral("False")));
}

} // namespace
} // namespace hlv::test
