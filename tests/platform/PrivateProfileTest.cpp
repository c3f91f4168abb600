#include "platform/PrivateProfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace hlv;

namespace {

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class PrivateProfileTest : public ::testing::Test
{
protected:
    QString path(const char* name = "hlv.ini") const { return m_dir.filePath(QString::fromUtf8(name)); }
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(PrivateProfileTest, Read_MissingFileSectionOrKey_GivesEmptyText)
{
    EXPECT_EQ(readPrivateProfileString(path(), QStringLiteral("Halvern"), QStringLiteral("Server")), QString());
    writeBytes(path(), "[Halvern]\nServer=PRINT1\n");
    EXPECT_EQ(readPrivateProfileString(path(), QStringLiteral("Other"), QStringLiteral("Server")), QString());
    EXPECT_EQ(readPrivateProfileString(path(), QStringLiteral("Halvern"), QStringLiteral("Queue")), QString());
    EXPECT_EQ(readPrivateProfileString(path(), QStringLiteral("Halvern"), QStringLiteral("Server")),
              QStringLiteral("PRINT1"));
}

TEST_F(PrivateProfileTest, Read_LongValues_AreCutTo1023Characters)
{
    struct Case
    {
        int length;
        int expected;
    };
    for (const Case c : {Case{1022, 1022}, Case{1023, 1023}, Case{1024, 1023}, Case{5000, 1023}}) {
        const QString value = QString(c.length, QLatin1Char('x'));
        ASSERT_TRUE(writePrivateProfileString(path(), QStringLiteral("S"), QStringLiteral("K"), value));
        EXPECT_EQ(readPrivateProfileString(path(), QStringLiteral("S"), QStringLiteral("K")).size(), c.expected)
            << c.length;
    }
    // The stored value itself stays whole.
    EXPECT_TRUE(readBytes(path()).contains(QByteArray(5000, 'x')));
}

TEST_F(PrivateProfileTest, Read_CutInsideSurrogatePair_DropsTheHalfCharacter)
{
    const QString value = QString(1022, QLatin1Char('a')) + QString::fromUtf8("\xF0\x9F\x96\xA8") + QStringLiteral("b");
    ASSERT_TRUE(writePrivateProfileString(path(), QStringLiteral("S"), QStringLiteral("K"), value));
    EXPECT_EQ(readPrivateProfileString(path(), QStringLiteral("S"), QStringLiteral("K")),
              QString(1022, QLatin1Char('a')));
}

TEST_F(PrivateProfileTest, Write_SectionsAndKeysIgnoringCase_ReplaceTheExistingValue)
{
    writeBytes(path(), "[Halvern]\nServer=OLD\n\n[Log Counters]\nDeletedCounter=4\n");
    ASSERT_TRUE(
        writePrivateProfileString(path(), QStringLiteral("HALVERN"), QStringLiteral("server"), QStringLiteral("NEW")));
    ASSERT_TRUE(
        writePrivateProfileString(path(), QStringLiteral("halvern"), QStringLiteral("Queue"), QStringLiteral("Q1")));
    ASSERT_TRUE(writePrivateProfileString(path(), QStringLiteral("Favourites"), QStringLiteral("0"),
                                          QStringLiteral("PRINT1 | Q1 | AQ On | AR Off")));
    EXPECT_EQ(readBytes(path()), QByteArray("[Halvern]\nServer=NEW\nQueue=Q1\n\n[Log Counters]\nDeletedCounter=4\n"
                                            "\n[Favourites]\n0=PRINT1 | Q1 | AQ On | AR Off\n"));
    EXPECT_EQ(readPrivateProfileString(path(), QStringLiteral("log counters"), QStringLiteral("DELETEDCOUNTER")),
              QStringLiteral("4"));
}

TEST_F(PrivateProfileTest, Write_GarbageAndForeignBytes_AreKeptAndIgnored)
{
    const QByteArray original = "garbage line without equals\n; comment=1\n[Halvern\n=novalue\n[Halvern]\n"
                                "latin=caf\xE9\n\x01\x02 binary\nServer=A\r\n[Halvern]\nServer=SECOND\n";
    writeBytes(path(), original);
    EXPECT_EQ(readPrivateProfileString(path(), QStringLiteral("Halvern"), QStringLiteral("Server")),
              QStringLiteral("A"));
    EXPECT_EQ(readPrivateProfileString(path(), QStringLiteral("Halvern"), QStringLiteral("comment")), QString());

    ASSERT_TRUE(
        writePrivateProfileString(path(), QStringLiteral("Halvern"), QStringLiteral("Server"), QStringLiteral("B")));
    QByteArray expected = original;
    expected.replace("Server=A\r\n", "Server=B\n");
    EXPECT_EQ(readBytes(path()), expected);

    // A value written back as it reads keeps its bytes: one in another encoding, and one
    // longer than a read gives back.
    const QString longValue(3000, QLatin1Char('x'));
    ASSERT_TRUE(writePrivateProfileString(path(), QStringLiteral("Halvern"), QStringLiteral("Long"), longValue));
    expected = readBytes(path());
    for (const char* key : {"latin", "Long"}) {
        const QString value = readPrivateProfileString(path(), QStringLiteral("Halvern"), QString::fromLatin1(key));
        ASSERT_FALSE(value.isEmpty());
        ASSERT_TRUE(writePrivateProfileString(path(), QStringLiteral("Halvern"), QString::fromLatin1(key), value));
    }
    EXPECT_EQ(readBytes(path()), expected);
    EXPECT_TRUE(expected.contains("latin=caf\xE9\n"));
}

TEST_F(PrivateProfileTest, Write_AwkwardValues_RoundTrip)
{
    const QString values[] = {
        QStringLiteral("O'Brien \"quoted\""),
        QStringLiteral("<b>markup</b> & more"),
        QStringLiteral("PRINT1 | Q1 | AQ On | AR On | Print | 17:30 | AA"),
        QString::fromUtf8("Drucker Büro – 東京 🖨"),
        QStringLiteral("a=b=c"),
        QStringLiteral("[not a section]"),
        QString(),
    };
    int i = 0;
    for (const QString& value : values) {
        const QString key = QStringLiteral("k%1").arg(i++);
        ASSERT_TRUE(writePrivateProfileString(path(), QStringLiteral("S"), key, value));
        EXPECT_EQ(readPrivateProfileString(path(), QStringLiteral("s"), key), value);
    }
}

TEST_F(PrivateProfileTest, Write_StructureBreakingNames_AreRefusedAndFileUnchanged)
{
    writeBytes(path(), "[S]\nK=1\n");
    struct Case
    {
        QString section;
        QString key;
        QString value;
    };
    const Case cases[] = {
        {QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("two\nlines")},
        {QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("cr\rhere")},
        {QStringLiteral("S]x"), QStringLiteral("K"), QStringLiteral("v")},
        {QStringLiteral("S"), QStringLiteral("K=1"), QStringLiteral("v")},
        {QStringLiteral("S"), QStringLiteral("[K]"), QStringLiteral("v")},
        {QString(), QStringLiteral("K"), QStringLiteral("v")},
        {QStringLiteral("S"), QStringLiteral("  "), QStringLiteral("v")},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(writePrivateProfileString(path(), c.section, c.key, c.value)) << c.key.toStdString();
    }
    EXPECT_EQ(readBytes(path()), QByteArray("[S]\nK=1\n"));
}

TEST_F(PrivateProfileTest, Write_CrLfFile_StaysCrLf)
{
    writeBytes(path(), "[S]\r\nA=1\r\n");
    ASSERT_TRUE(writePrivateProfileString(path(), QStringLiteral("S"), QStringLiteral("B"), QStringLiteral("2")));
    ASSERT_TRUE(writePrivateProfileString(path(), QStringLiteral("T"), QStringLiteral("C"), QStringLiteral("3")));
    EXPECT_EQ(readBytes(path()), QByteArray("[S]\r\nA=1\r\nB=2\r\n\r\n[T]\r\nC=3\r\n"));
}

TEST_F(PrivateProfileTest, Write_MissingFolderOrFolderAtPath_Fails)
{
    // Missing folder: nothing is created.
    const QString missing = m_dir.filePath(QStringLiteral("no/such/folder/hlv.ini"));
    EXPECT_FALSE(writePrivateProfileString(missing, QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("v")));
    EXPECT_FALSE(QFile::exists(missing));

    // A folder where the file should be: reads give nothing, writes fail.
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("dir.ini")));
    EXPECT_EQ(readPrivateProfileString(path("dir.ini"), QStringLiteral("S"), QStringLiteral("K")), QString());
    EXPECT_FALSE(
        writePrivateProfileString(path("dir.ini"), QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("v")));
}

TEST_F(PrivateProfileTest, Write_ReadOnlyFolder_FailsAndKeepsTheOldFile)
{
    // A read-only folder: the replacement cannot be written beside the file, the old one stays.
    const QString lockedDir = m_dir.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkpath(lockedDir));
    const QString file = lockedDir + QStringLiteral("/hlv.ini");
    writeBytes(file, "[S]\nK=old\n");
    QFile::setPermissions(lockedDir, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const bool written =
        writePrivateProfileString(file, QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("new"));
    QFile::setPermissions(lockedDir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (written) {
        GTEST_SKIP() << "running with rights that ignore folder permissions";
    }
    EXPECT_EQ(readBytes(file), QByteArray("[S]\nK=old\n"));
    EXPECT_EQ(QDir(lockedDir).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("hlv.ini")});
}

TEST_F(PrivateProfileTest, Pass_FileChangedByAnotherProgram_WritesAreMadeOnItsNewContent)
{
    writeBytes(path(), "[Halvern]\nServer=A\n");
    PrivateProfile pass(path());
    EXPECT_EQ(pass.read(QStringLiteral("Halvern"), QStringLiteral("Server")), QStringLiteral("A"));
    ASSERT_TRUE(pass.write(QStringLiteral("Halvern"), QStringLiteral("Queue"), QStringLiteral("Q1")));
    // Another program's write between this pass's read and its commit.
    ASSERT_TRUE(writePrivateProfileString(path(), QStringLiteral("Log Counters"), QStringLiteral("DeletedCounter"),
                                          QStringLiteral("5")));
    ASSERT_TRUE(pass.commit());
    EXPECT_EQ(readBytes(path()), QByteArray("[Halvern]\nServer=A\nQueue=Q1\n\n[Log Counters]\nDeletedCounter=5\n"));
}
