#include "store/IniFile.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/GeneralDate.h"
#include "store/TextConversion.h"
#include "support/FakeEnvironment.h"

using namespace hlv;
using hlv::test::FakeEnvironment;

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class IniFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_savedLocale = QLocale();
        QLocale::setDefault(QLocale::c());
        env.appDataPath = m_dir.filePath(QStringLiteral("roaming"));
        QDir().mkpath(env.appDataPath);
    }
    void TearDown() override { QLocale::setDefault(m_savedLocale); }

    QTemporaryDir m_dir;
    QLocale m_savedLocale;
    FakeEnvironment env;
};

} // namespace

TEST_F(IniFileTest, WriteIni_ConvertsValuesAsTheProgramShowsThem)
{
    const IniFile ini(env);
    const QDateTime when(QDate(2024, 3, 5), QTime(9, 5, 0));
    struct Case
    {
        QVariant value;
        QString stored;
    };
    const Case cases[] = {
        {true, QStringLiteral("True")},
        {false, QStringLiteral("False")},
        {0, QStringLiteral("0")},
        {-42, QStringLiteral("-42")},
        {qint64(5000000000), QStringLiteral("5000000000")},
        {15.0, QStringLiteral("15")},
        {2.5, QStringLiteral("2.5")},
        {0.1 + 0.2, QStringLiteral("0.3")},
        {1e20, QStringLiteral("1E+20")},
        {when, generalDateText(when)},
        {QStringLiteral("PRINT1 | Q1"), QStringLiteral("PRINT1 | Q1")},
        {QString(), QString()},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(ini.WriteIni(QStringLiteral("Halvern"), QStringLiteral("Value"), c.value));
        EXPECT_EQ(ini.ReadIni(QStringLiteral("Halvern"), QStringLiteral("Value")), c.stored) << c.stored.toStdString();
    }
    EXPECT_EQ(generalDateText(when), QStringLiteral("3/5/2024 9:05:00 AM"));
}

TEST_F(IniFileTest, WriteIni_AbsentValue_WritesNothing)
{
    const IniFile ini(env);
    ASSERT_TRUE(ini.WriteIni(QStringLiteral("Halvern"), QStringLiteral("Server"), QStringLiteral("PRINT1")));
    EXPECT_FALSE(ini.WriteIni(QStringLiteral("Halvern"), QStringLiteral("Server"), QVariant()));
    EXPECT_EQ(ini.ReadIni(QStringLiteral("Halvern"), QStringLiteral("Server")), QStringLiteral("PRINT1"));
}

TEST_F(IniFileTest, Files_ConsoleAndWatchAreSeparateInTheAppDataFolder)
{
    const IniFile console(env);
    const IniFile watch(env, QString::fromLatin1(IniFile::kWatchFileName));
    EXPECT_EQ(console.path(), env.appDataPath + QStringLiteral("/hlv.ini"));
    EXPECT_EQ(watch.path(), env.appDataPath + QStringLiteral("/hlvw.ini"));
    ASSERT_TRUE(console.WriteIni(QStringLiteral("Halvern"), QStringLiteral("Server"), QStringLiteral("A")));
    EXPECT_EQ(watch.ReadIni(QStringLiteral("Halvern"), QStringLiteral("Server")), QString());

    // The path follows the environment on every call.
    env.appDataPath = m_dir.filePath(QStringLiteral("other"));
    EXPECT_EQ(console.ReadIni(QStringLiteral("Halvern"), QStringLiteral("Server")), QString());
}

TEST_F(IniFileTest, AppDataFolder_MissingIsCreated_UnusableFailsQuietly)
{
    env.appDataPath = m_dir.filePath(QStringLiteral("fresh/account/Halvern"));
    const IniFile ini(env);
    EXPECT_EQ(ini.ReadIni(QStringLiteral("Halvern"), QStringLiteral("Server")), QString());
    ASSERT_TRUE(ini.WriteIni(QStringLiteral("Halvern"), QStringLiteral("Server"), QStringLiteral("PRINT1")));
    EXPECT_EQ(ini.ReadIni(QStringLiteral("Halvern"), QStringLiteral("Server")), QStringLiteral("PRINT1"));

    // A plain file where the folder should be.
    const QString blocker = m_dir.filePath(QStringLiteral("blocker"));
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    env.appDataPath = blocker;
    EXPECT_FALSE(ini.WriteIni(QStringLiteral("Halvern"), QStringLiteral("Server"), QStringLiteral("X")));
    EXPECT_EQ(ini.ReadIni(QStringLiteral("Halvern"), QStringLiteral("Server")), QString());

    env.appDataPath.clear(); // APPDATA unset and no fallback: "/hlv.ini" cannot be written either
    EXPECT_EQ(ini.ReadIni(QStringLiteral("Halvern"), QStringLiteral("Server")), QString());
}

TEST_F(IniFileTest, WriteIni_GoodFileSurvivesRefusedWrite)
{
    const IniFile ini(env);
    ASSERT_TRUE(ini.WriteIni(QStringLiteral("Favourites"), QStringLiteral("0"), QStringLiteral("PRINT1 | Q1")));
    const QByteArray before = fileBytes(ini.path());
    EXPECT_FALSE(ini.WriteIni(QStringLiteral("Favourites"), QStringLiteral("1"), QStringLiteral("line\r\nbreak")));
    EXPECT_EQ(fileBytes(ini.path()), before);
}

// This process's bytes read and written through system calls so far (/proc/self/io).
std::pair<qint64, qint64> bytesReadAndWritten()
{
    QFile io(QStringLiteral("/proc/self/io"));
    qint64 read = -1;
    qint64 written = -1;
    if (io.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : io.readAll().split('\n')) {
            if (line.startsWith("rchar: ")) {
                read = line.mid(7).toLongLong();
            } else if (line.startsWith("wchar: ")) {
                written = line.mid(7).toLongLong();
            }
        }
    }
    return {read, written};
}

// A load pass and a save pass read the file once and write it once: a hostile file (a
// 10 MB line, a million lines) costs about one read, not one per key. The bytes are
// counted, not timed, so a loaded machine or a sanitizer cannot change the verdict.
TEST_F(IniFileTest, Passes_OverAHostileFile_ReadAndWriteItOnce)
{
    const IniFile ini(env);
    const std::pair<const char*, QByteArray> cases[] = {
        {"a 10 MB line", "[Halvern]\nServer=PRINT1\nNotes=" + QByteArray(10 << 20, 'n') + "\n"},
        {"a million lines", "[Halvern]\nServer=PRINT1\n" + QByteArray("junk line\n").repeated(1000000)},
    };
    constexpr int kKeys = 60;
    for (const auto& [name, bytes] : cases) {
        QFile file(ini.path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
        file.close();

        const auto [readBefore, writtenBefore] = bytesReadAndWritten();
        {
            const IniPass load(ini);
            for (int i = 0; i < kKeys; ++i) {
                EXPECT_EQ(load.ReadIni(QStringLiteral("Halvern"), QStringLiteral("Server")), QStringLiteral("PRINT1"));
                EXPECT_EQ(load.ReadIni(QStringLiteral("Halvern"), QStringLiteral("Key%1").arg(i)), QString());
            }
        }
        {
            IniPass save(ini);
            for (int i = 0; i < kKeys; ++i) {
                ASSERT_TRUE(save.WriteIni(QStringLiteral("halvern"), QStringLiteral("Key%1").arg(i), i));
                EXPECT_EQ(save.ReadIni(QStringLiteral("Halvern"), QStringLiteral("key%1").arg(i)), QString::number(i));
            }
            ASSERT_TRUE(save.commit());
        }
        const auto [readAfter, writtenAfter] = bytesReadAndWritten();
        ASSERT_GE(readBefore, 0) << "/proc/self/io cannot be read";
        // One read for the load, one for the save; once per key would be 120 times the file.
        EXPECT_LT(readAfter - readBefore, 3 * bytes.size()) << name;
        EXPECT_LT(writtenAfter - writtenBefore, 2 * bytes.size()) << name;

        QByteArray expected = bytes;
        for (int i = 0; i < kKeys; ++i) {
            expected += "Key" + QByteArray::number(i) + '=' + QByteArray::number(i) + '\n';
        }
        EXPECT_TRUE(fileBytes(ini.path()) == expected) << name;
    }
}

TEST_F(IniFileTest, LogCounters_LeadingNumberRuleThenAdd)
{
    const IniFile ini(env);
    struct Case
    {
        const char* stored; // nullptr: key missing
        double pages;
        const char* expected;
    };
    const Case cases[] = {
        {nullptr, 3, "3"},  {"", 3, "3"},     {"abc", 3, "3"},   {"12", 3, "15"},
        {"12abc", 3, "15"}, {"  7 ", 1, "8"}, {"2.5", 0.5, "3"}, {"10", 0, "10"},
    };
    const QString section = QString::fromLatin1(kLogCountersSection);
    const QString key = QString::fromLatin1(kDeletedCounterKey);
    for (const Case& c : cases) {
        QFile::remove(ini.path());
        if (c.stored) {
            ASSERT_TRUE(ini.WriteIni(section, key, QString::fromUtf8(c.stored)));
        }
        ASSERT_TRUE(addToLogCounter(ini, key, c.pages));
        EXPECT_EQ(ini.ReadIni(section, key), QString::fromUtf8(c.expected)) << (c.stored ? c.stored : "<missing>");
    }
    // The statistics window's reset writes the number 0.
    ASSERT_TRUE(ini.WriteIni(section, QString::fromLatin1(kPrintedCounterKey), 0));
    EXPECT_EQ(fileBytes(ini.path()), QByteArray("[Log Counters]\nDeletedCounter=10\nPrintedCounter=0\n"));
}

TEST(LeadingNumberTest, TakesTheNumberAtTheStart)
{
    struct Case
    {
        const char* text;
        double value;
    };
    const Case cases[] = {
        {"", 0},       {"abc", 0},   {"12", 12}, {"12abc", 12}, {"12 pages", 12},
        {" 42", 42},   {"-3", -3},   {"+4", 4},  {"1.5x", 1.5}, {".5", 0.5},
        {"5.", 5},     {"-", 0},     {".", 0},   {"1e3", 1000}, {"12e", 12},
        {"7E-1", 0.7}, {"0012", 12}, {"a12", 0}, {"1,234", 1},  {"99999999999", 99999999999.0},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(leadingNumber(QString::fromUtf8(c.text)), c.value) << c.text;
    }
}
