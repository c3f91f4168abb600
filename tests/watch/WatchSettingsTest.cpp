#include "watch/WatchSettings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "WatchTestSupport.h"
#include "store/IniFile.h"
#include "support/FakeEnvironment.h"

namespace hlv::test {
namespace {

class WatchSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        env.appDataPath = m_dir.path();
    }
    void writeIni(const QByteArray& text)
    {
        QFile file(ini.path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    // The state of a window that has just started: every menu unset.
    static WatchSettingsState fresh()
    {
        WatchSettingsState s;
        s.mailServer.caption = QStringLiteral("S&MTP");
        s.mailFrom.caption = QStringLiteral("FROM");
        s.mailTo.caption = QStringLiteral("TO");
        s.messageComputer.caption = QStringLiteral("&COMPUTER");
        s.hlvDatabase.caption = QStringLiteral("HLV &DATABASE");
        s.jobsCsvFile.caption = QStringLiteral("&CSV");
        s.server = QStringLiteral("WS01");
        s.watchJobs = true;
        return s;
    }

    QTemporaryDir m_dir;
    FakeEnvironment env;
    IniFile ini{env, QString::fromLatin1(IniFile::kWatchFileName)};
};

TEST_F(WatchSettingsTest, SaveWithNothingSet_WritesUnsetWordsAndFlagsInKeyOrder)
{
    WatchSettingsState s;
    s.mailServer.caption = QStringLiteral("SMTP");
    s.mailFrom.caption = QStringLiteral("FROM");
    s.mailTo.caption = QStringLiteral("TO");
    s.messageComputer.caption = QStringLiteral("COMPUTER");
    s.hlvDatabase.caption = QStringLiteral("HLV DATABASE");
    s.jobsCsvFile.caption = QStringLiteral("CSV");
    s.server = QStringLiteral("PS1");
    s.watchJobs = true;
    SaveWatchSettings(ini, s);

    EXPECT_TRUE(ini.path().endsWith(QStringLiteral("/hlvw.ini")));
    const QStringList lines = QString::fromUtf8(fileBytes(ini.path())).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QStringList trimmed;
    for (const QString& line : lines) {
        trimmed.append(line.trimmed());
    }
    EXPECT_EQ(trimmed,
              QStringList({QStringLiteral("[Halvern]"), QStringLiteral("MailServer=SMTP"),
                           QStringLiteral("MailFrom=FROM"), QStringLiteral("MailTo=TO"),
                           QStringLiteral("MessageComputer=COMPUTER"), QStringLiteral("HLVDatabase=HLV DATABASE"),
                           QStringLiteral("StartMinimised=False"), QStringLiteral("StartWatching=False"),
                           QStringLiteral("Server=PS1"), QStringLiteral("WatchJobs=True"),
                           QStringLiteral("JobsCSVfile=CSV"), QStringLiteral("JobsPopupError=False"),
                           QStringLiteral("JobsEmailError=False"), QStringLiteral("JobDatabase=False")}));
}

TEST_F(WatchSettingsTest, NoFile_LoadGivesUnsetMenusAndKeepsServer)
{
    WatchSettingsState s = fresh();
    LoadWatchSettings(ini, s);
    EXPECT_EQ(s.mailServer.caption, QStringLiteral("SMTP"));
    EXPECT_EQ(s.mailFrom.caption, QStringLiteral("FROM"));
    EXPECT_EQ(s.mailTo.caption, QStringLiteral("TO"));
    EXPECT_EQ(s.messageComputer.caption, QStringLiteral("COMPUTER"));
    EXPECT_EQ(s.hlvDatabase.caption, QStringLiteral("HLV DATABASE"));
    EXPECT_EQ(s.jobsCsvFile.caption, QStringLiteral("CSV"));
    for (const WatchMenuValue* m :
         {&s.mailServer, &s.mailFrom, &s.mailTo, &s.messageComputer, &s.hlvDatabase, &s.jobsCsvFile}) {
        EXPECT_FALSE(m->checked) << m->caption.toStdString();
    }
    EXPECT_EQ(s.server, QStringLiteral("WS01"));
    // A missing key loads unchecked, whatever the window showed before.
    EXPECT_FALSE(s.watchJobs);
    EXPECT_FALSE(s.startMinimised || s.startWatching || s.jobsPopupError || s.jobsEmailError || s.jobDatabase);
    EXPECT_FALSE(QFile::exists(ini.path()));
}

TEST_F(WatchSettingsTest, StoredValues_LoadByTheirExactSpelling)
{
    const struct
    {
        QByteArray value;
        bool flagChecked;
        bool csvChecked;
        QString csvCaption;
    } cases[] = {
        {"True", true, true, QStringLiteral("True")},    {"true", false, true, QStringLiteral("true")},
        {"TRUE", false, true, QStringLiteral("TRUE")},   {"1", false, true, QStringLiteral("1")},
        {"False", false, true, QStringLiteral("False")}, {"CSV", false, false, QStringLiteral("CSV")},
        {"csv", false, true, QStringLiteral("csv")},     {"", false, false, QStringLiteral("CSV")},
    };
    for (const auto& c : cases) {
        writeIni("[Halvern]\r\nStartMinimised=" + c.value + "\r\nStartWatching=" + c.value +
                 "\r\nWatchJobs=" + c.value + "\r\nJobsPopupError=" + c.value + "\r\nJobsEmailError=" + c.value +
                 "\r\nJobDatabase=" + c.value + "\r\nJobsCSVfile=" + c.value + "\r\n");
        WatchSettingsState s = fresh();
        LoadWatchSettings(ini, s);
        for (bool flag :
             {s.startMinimised, s.startWatching, s.watchJobs, s.jobsPopupError, s.jobsEmailError, s.jobDatabase}) {
            EXPECT_EQ(flag, c.flagChecked) << c.value.constData();
        }
        EXPECT_EQ(s.jobsCsvFile.checked, c.csvChecked) << c.value.constData();
        EXPECT_EQ(s.jobsCsvFile.caption, c.csvCaption) << c.value.constData();
    }
}

TEST_F(WatchSettingsTest, CaptionEqualToUnsetWord_LeavesTheCheckMarkAsItWas)
{
    writeIni("[Halvern]\nMailServer=SMTP\nServer=\n");
    WatchSettingsState s = fresh();
    s.mailServer.checked = true;
    LoadWatchSettings(ini, s);
    EXPECT_EQ(s.mailServer.caption, QStringLiteral("SMTP"));
    EXPECT_TRUE(s.mailServer.checked);
    EXPECT_EQ(s.server, QStringLiteral("WS01"));
}

TEST_F(WatchSettingsTest, EveryKeySet_RoundTripsThroughTheFile)
{
    WatchSettingsState s;
    s.mailServer = {QStringLiteral("mail.example.org"), true};
    s.mailFrom = {QStringLiteral("<watch@example.org>"), true};
    s.mailTo = {QStringLiteral("<ops@example.org>"), true};
    s.messageComputer = {QStringLiteral("DESK9"), true};
    s.hlvDatabase = {QStringLiteral("/srv/logs/hlv watch.mdb"), true};
    s.startMinimised = true;
    s.startWatching = true;
    s.server = QStringLiteral("10.0.0.7");
    s.watchJobs = true;
    s.jobsCsvFile = {QStringLiteral("/srv/logs/jobs.csv"), true};
    s.jobsPopupError = true;
    s.jobsEmailError = false;
    s.jobDatabase = true;
    SaveWatchSettings(ini, s);

    WatchSettingsState loaded = fresh();
    LoadWatchSettings(ini, loaded);
    for (const auto& [a, b] :
         {std::pair{&s.mailServer, &loaded.mailServer}, std::pair{&s.mailFrom, &loaded.mailFrom},
          std::pair{&s.mailTo, &loaded.mailTo}, std::pair{&s.messageComputer, &loaded.messageComputer},
          std::pair{&s.hlvDatabase, &loaded.hlvDatabase}, std::pair{&s.jobsCsvFile, &loaded.jobsCsvFile}}) {
        EXPECT_EQ(a->caption, b->caption);
        EXPECT_EQ(a->checked, b->checked) << a->caption.toStdString();
    }
    EXPECT_TRUE(loaded.startMinimised);
    EXPECT_TRUE(loaded.startWatching);
    EXPECT_EQ(loaded.server, QStringLiteral("10.0.0.7"));
    EXPECT_TRUE(loaded.watchJobs);
    EXPECT_TRUE(loaded.jobsPopupError);
    EXPECT_FALSE(loaded.jobsEmailError);
    EXPECT_TRUE(loaded.jobDatabase);
}

} // namespace
} // namespace hlv::test
