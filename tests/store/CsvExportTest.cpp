#include "StoreFixture.h"

using namespace hlv;
using namespace hlv::test;

namespace {

const QByteArray kHeader =
    "Server,Queue,Description,Computer,User,Pages,Priority,Size,Time Submitted,Year,Month,Day,ID,"
    "Deleted,Resumed,Deleted Pages,Printed Pages,HLV Computer,HLV User,Comments\r\n";

class CsvExportTest : public StoreFixture
{
protected:
    // The submit times below are English (US) general texts, read back through the locale.
    void SetUp() override
    {
        StoreFixture::SetUp();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    QByteArray exported()
    {
        EXPECT_TRUE(store->ExportLogToCsv());
        return fileBytes(store->csvFilePath());
    }
    void logFields(const QString& key, const QList<std::pair<const char*, QVariant>>& fields)
    {
        for (const auto& [field, value] : fields) {
            ASSERT_TRUE(store->LogJobField(key, QString::fromUtf8(field), value));
        }
    }
    // The cells of a line read the RFC 4180 way.
    static QStringList cells(const QString& line)
    {
        QStringList result;
        QString cell;
        bool inQuotes = false;
        for (qsizetype i = 0; i < line.size(); ++i) {
            const QChar c = line.at(i);
            if (inQuotes) {
                if (c == QLatin1Char('"') && i + 1 < line.size() && line.at(i + 1) == QLatin1Char('"')) {
                    cell += c;
                    ++i;
                } else if (c == QLatin1Char('"')) {
                    inQuotes = false;
                } else {
                    cell += c;
                }
            } else if (c == QLatin1Char('"')) {
                inQuotes = true;
            } else if (c == QLatin1Char(',')) {
                result << cell;
                cell.clear();
            } else {
                cell += c;
            }
        }
        result << cell;
        return result;
    }
};

} // namespace

TEST_F(CsvExportTest, EmptyLog_HeaderAndOneEmptyLine)
{
    EXPECT_EQ(store->csvFilePath(), env.tempPath + QStringLiteral("/HLV_Log.csv"));
    EXPECT_EQ(exported(), kHeader + "\r\n");
}

TEST_F(CsvExportTest, KeyAndCommentOnly_EmptyCellsAndApostrophes)
{
    logFields(QStringLiteral("1-x"), {{"Comments", QStringLiteral("call me")}});
    EXPECT_EQ(exported(), kHeader + ",,''" + QByteArray(17, ',') + "call me\r\n\r\n");
}

TEST_F(CsvExportTest, FullRow_CellsInHeaderOrderWithDateParts)
{
    const QString submitted = QStringLiteral("3/5/2024 9:05:00 AM");
    logFields(QStringLiteral("17-") + submitted, {{"Server", QStringLiteral("PRINT1")},
                                                  {"Queue", QStringLiteral("Q1")},
                                                  {"Description", QStringLiteral("Report, final")},
                                                  {"Computer", QStringLiteral("\\\\WS07")},
                                                  {"User", QStringLiteral("jdoe")},
                                                  {"Name", 17},
                                                  {"Priority", 1},
                                                  {"Time Submitted", submitted},
                                                  {"Pages", 3},
                                                  {"Size", QStringLiteral("12KB")},
                                                  {"Deleted", QStringLiteral("3/5/2024 9:10:00 AM")},
                                                  {"Deleted Pages", 3},
                                                  {"HLV User", QStringLiteral("op")},
                                                  {"HLV Computer", QStringLiteral("WS01")},
                                                  {"Comments", QStringLiteral("too long")}});
    const QByteArray line = "PRINT1,Q1,'Report final',\\\\WS07,jdoe,3,1,12KB,3/5/2024 9:05:00 AM,2024,March,5,17,"
                            "3/5/2024 9:10:00 AM,,3,,WS01,op,too long\r\n";
    const QByteArray file = exported();
    EXPECT_EQ(file, kHeader + line + "\r\n");
    EXPECT_EQ(line.count(','), 19);
}

TEST_F(CsvExportTest, DateParts_EmptyWithoutOrWithUnreadableSubmitTime)
{
    logFields(QStringLiteral("1"), {{"Time Submitted", QStringLiteral("12/31/2025")}});
    logFields(QStringLiteral("2"), {{"Time Submitted", QStringLiteral("2025-31-12 garbage")}});
    logFields(QStringLiteral("3"), {{"Pages", 1}});
    const QList<QByteArray> lines = exported().split('\n');
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(cells(QString::fromUtf8(lines[1].trimmed())).mid(8, 4),
              (QStringList{QStringLiteral("12/31/2025"), QStringLiteral("2025"), QStringLiteral("December"),
                           QStringLiteral("31")}));
    EXPECT_EQ(cells(QString::fromUtf8(lines[2].trimmed())).mid(8, 4),
              (QStringList{QStringLiteral("2025-31-12 garbage"), QString(), QString(), QString()}));
    EXPECT_EQ(cells(QString::fromUtf8(lines[3].trimmed())).mid(8, 4),
              (QStringList{QString(), QString(), QString(), QString()}));
}

TEST_F(CsvExportTest, SpecialCharacters_QuotedSoColumnsStayInPlace)
{
    logFields(QStringLiteral("1"), {{"Server", QStringLiteral("PRINT,1")},
                                    {"Description", QStringLiteral("He said \"hi\", didn't he")},
                                    {"User", QString::fromUtf8("Jürgen")},
                                    {"Comments", QStringLiteral("line one\nline two")}});
    const QString text = QString::fromUtf8(exported());
    EXPECT_TRUE(text.contains(QStringLiteral("\"PRINT,1\",,\"'He said \"\"hi\"\" didn't he'\",,Jürgen,")))
        << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral(",\"line one\nline two\"\r\n\r\n")));
    const QString line = text.section(QStringLiteral("\r\n"), 1, 1);
    const QStringList row = cells(line);
    ASSERT_EQ(row.size(), 20);
    EXPECT_EQ(row[0], QStringLiteral("PRINT,1"));
    EXPECT_EQ(row[2], QStringLiteral("'He said \"hi\" didn't he'"));
    EXPECT_EQ(row[4], QString::fromUtf8("Jürgen"));
    EXPECT_EQ(row[19], QStringLiteral("line one\nline two"));
}

// Another program may write numbers as numbers and text in another encoding: every cell
// still reads as the value's own text, bytes that are not UTF-8 as replacement characters.
TEST_F(CsvExportTest, ValuesWrittenAsNumbersOrForeignBytes_CellsAsTheirText)
{
    logFields(QStringLiteral("1"), {{"User", QStringLiteral("u")}});
    auto db = Database::open(store->logFilePath());
    ASSERT_TRUE(db);
    ASSERT_TRUE(db->exec(QStringLiteral("UPDATE HLV_Log SET Priority = ?1, Server = ?2, Comments = CAST(?3 AS TEXT)"),
                         {QVariant(qint64(7)), QString::fromUtf8("Caf\u00e9,1"), QByteArray("serv\xe9r")}));
    db.reset();
    const QStringList row = cells(QString::fromUtf8(exported()).section(QStringLiteral("\r\n"), 1, 1));
    ASSERT_EQ(row.size(), 20);
    EXPECT_EQ(row[0], QString::fromUtf8("Caf\u00e9,1"));
    EXPECT_EQ(row[6], QStringLiteral("7"));
    EXPECT_EQ(row[19], QString::fromUtf8("serv\uFFFDr"));
}

TEST_F(CsvExportTest, RowsInStoredOrder)
{
    for (const char* key : {"b", "a", "c"}) {
        logFields(QString::fromUtf8(key), {{"User", QString::fromUtf8(key)}});
    }
    const QList<QByteArray> lines = exported().split('\n');
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(cells(QString::fromUtf8(lines[1].trimmed()))[4], QStringLiteral("b"));
    EXPECT_EQ(cells(QString::fromUtf8(lines[2].trimmed()))[4], QStringLiteral("a"));
    EXPECT_EQ(cells(QString::fromUtf8(lines[3].trimmed()))[4], QStringLiteral("c"));
}

TEST_F(CsvExportTest, NoTemplate_HeaderOnly_UnwritableFolder_OldFileKept)
{
    JobLogStore broken(env, clock, host, m_dir.filePath(QStringLiteral("missing.mdb")));
    EXPECT_FALSE(broken.ExportLogToCsv());
    EXPECT_EQ(fileBytes(broken.csvFilePath()), kHeader + "\r\n");

    env.tempPath = m_dir.filePath(QStringLiteral("no/such/temp"));
    EXPECT_FALSE(store->ExportLogToCsv());
    EXPECT_FALSE(QFile::exists(store->csvFilePath()));
}
