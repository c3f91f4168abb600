#include "platform/GeneralDate.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace hlv;

class GeneralDateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_saved = QLocale();
        QLocale::setDefault(QLocale::c());
    }
    void TearDown() override { QLocale::setDefault(m_saved); }
    QLocale m_saved;
};

TEST_F(GeneralDateTest, RoundTrip_KeepsSecondsAndDropsTimeAtMidnight)
{
    const QDateTime values[] = {
        QDateTime(QDate(2026, 12, 9), QTime(4, 22, 44)),
        QDateTime(QDate(2026, 1, 31), QTime(23, 59, 59)),
        QDateTime(QDate(1999, 7, 4), QTime(12, 0, 1)),
        QDateTime(QDate(2026, 12, 9), QTime(0, 0, 0)),
    };
    // The C locale writes like English (US); the others as each program would under them.
    for (const char* name : {"C", "en_US", "en_GB", "de_DE", "nl_NL", "fr_FR", "ja_JP", "zh_CN"}) {
        QLocale::setDefault(QLocale(QString::fromLatin1(name)));
        for (const QDateTime& value : values) {
            const QString text = generalDateText(value);
            EXPECT_EQ(parseGeneralDate(text), value) << name << " " << text.toStdString();
        }
    }
    QLocale::setDefault(QLocale::c());
    EXPECT_FALSE(generalDateText(QDateTime(QDate(2026, 12, 9), QTime(0, 0))).contains(QLatin1Char(':')));
    EXPECT_TRUE(generalDateText(QDateTime(QDate(2026, 12, 9), QTime(0, 0, 1))).contains(QLatin1Char(':')));
}

TEST_F(GeneralDateTest, Text_HasFourDigitYear)
{
    EXPECT_TRUE(generalDateText(QDateTime(QDate(2026, 3, 4), QTime(1, 2, 3))).contains(QStringLiteral("2026")));
}

TEST_F(GeneralDateTest, Parse_RejectsGarbage)
{
    EXPECT_FALSE(parseGeneralDate(QStringLiteral("not a date")).isValid());
    EXPECT_FALSE(parseGeneralDate(QString()).isValid());
}
