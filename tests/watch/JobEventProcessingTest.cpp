#include "watch/JobEventProcessing.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "WatchDoubles.h"
#include "WatchTestSupport.h"
#include "watch/WatchJobLog.h"

namespace hlv::test {
namespace {

const QString kRecord =
    QStringLiteral("%1|Budget.xlsx|\\\\PC7|carol|Sales|4|1|1|12KB|3/14/2026 9:15:30 AM|17|Sales, 17");
const QString kKey = QStringLiteral("17-3/14/2026 9:15:30 AM");

class JobEventProcessingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QFile::exists(templateDb())) << "build the template first";
        csvPath = m_dir.filePath(QStringLiteral("jobs.csv"));
        dbPath = m_dir.filePath(QStringLiteral("watch.mdb"));
        outputs.server = QStringLiteral("PS1");
        outputs.popupComputer = QStringLiteral("COMPUTER");
    }

    QString process(const QString& action, const QString& record)
    {
        return processor.ProcessJobEvent(action, record, outputs);
    }
    static QString record(const QString& mask) { return kRecord.arg(mask); }

    QTemporaryDir m_dir;
    QString csvPath;
    QString dbPath;
    WatchOutputs outputs;
    WatchJobLog log{[this] { return dbPath; }, templateDb()};
    RecordingPopupMessages popups;
    MailAlert mail;
    int mailerShown = 0;
    JobEventProcessor processor{log, popups, mail, [this] {
                                    ++mailerShown;
                                }};
};

TEST_F(JobEventProcessingTest, StatusMasks_GiveTextAndAlertOnlyForTroubleStates)
{
    outputs.popupOn = true;
    outputs.emailOn = true;
    const struct
    {
        QString mask;
        QString text;
        bool alerts;
    } cases[] = {
        {QStringLiteral("1"), QStringLiteral("Paused"), false},
        {QStringLiteral("2"), QStringLiteral("Error"), true},
        {QStringLiteral("4"), QStringLiteral("Deleting"), false},
        {QStringLiteral("8"), QStringLiteral("Spooling"), false},
        {QStringLiteral("16"), QStringLiteral("Printing"), false},
        {QStringLiteral("32"), QStringLiteral("Offline"), true},
        {QStringLiteral("64"), QStringLiteral("Paperout"), true},
        {QStringLiteral("128"), QStringLiteral("Printed"), false},
        {QStringLiteral("256"), QStringLiteral("Deleted"), false},
        {QStringLiteral("512"), QStringLiteral("Blocked Dev Queue"), true},
        {QStringLiteral("1024"), QStringLiteral("User Intervention Required"), true},
        {QStringLiteral("2048"), QStringLiteral("Restart"), false},
        {QStringLiteral("0"), QStringLiteral("OK"), false},
        {QStringLiteral("34"), QStringLiteral("OK"), false},
        {QStringLiteral("4096"), QStringLiteral("OK"), false},
        {QString(), QStringLiteral("OK"), false},
        {QStringLiteral("x2"), QStringLiteral("OK"), false},
    };
    for (const auto& c : cases) {
        popups.sent.clear();
        mailerShown = 0;
        const QString text = process(QStringLiteral("Modified"), record(c.mask));
        EXPECT_TRUE(text.contains(QStringLiteral("\r\nStatus: ") + c.text + QStringLiteral("\r\n")))
            << c.mask.toStdString();
        EXPECT_EQ(popups.sent.size(), c.alerts ? 2 : 0) << c.mask.toStdString();
        EXPECT_EQ(mailerShown, c.alerts ? 1 : 0) << c.mask.toStdString();
    }
}

TEST_F(JobEventProcessingTest, TranslatedText_ThirteenLinesInOrder)
{
    EXPECT_EQ(process(QStringLiteral("New"), record(QStringLiteral("8"))),
              QStringLiteral("Log ID: 17-3/14/2026 9:15:30 AM\r\nStatus: Spooling\r\nDescription: Budget.xlsx\r\n"
                             "Computer: \\\\PC7\r\nUser: carol\r\nQueue: Sales\r\nPages: 4\r\nPages Printed: 1\r\n"
                             "Priority: 1\r\nSize: 12KB\r\nTime Submitted: 3/14/2026 9:15:30 AM\r\nID: 17\r\n"
                             "Name: Sales, 17\r\n"));
}

TEST_F(JobEventProcessingTest, ErrorWithEveryOutputOn_RecordsFirstThenPopupsThenMail)
{
    outputs.csvOn = true;
    outputs.csvPath = csvPath;
    outputs.databaseOn = true;
    outputs.popupOn = true;
    outputs.emailOn = true;
    bool recordedBeforePopup = false;
    popups.onSend = [&] {
        recordedBeforePopup = QFile::exists(csvPath) && !logRow(dbPath, kKey).isEmpty() && mailerShown == 0;
    };

    process(QStringLiteral("Modified"), record(QStringLiteral("2")));

    EXPECT_TRUE(recordedBeforePopup);
    const QString warning = QStringLiteral("Warning: Job 17 titled Budget.xlsx in Sales on PS1\r\nfor carol on "
                                           "\\\\PC7 is reporting a status of Error");
    ASSERT_EQ(popups.sent.size(), 2);
    EXPECT_EQ(popups.sent.at(0).kind, QStringLiteral("net send"));
    EXPECT_EQ(popups.sent.at(1).kind, QStringLiteral("msg"));
    for (const auto& popup : popups.sent) {
        EXPECT_EQ(popup.computer, QStringLiteral("COMPUTER"));
        EXPECT_EQ(popup.text, warning);
    }
    EXPECT_EQ(mailerShown, 1);
    EXPECT_TRUE(mail.MailAlertMode);
    EXPECT_EQ(mail.MailAlertSubject, QStringLiteral("HLV: Job Error on PS1"));
    EXPECT_EQ(mail.MailAlertBody, warning);
}

TEST_F(JobEventProcessingTest, AlertsOff_ErrorRaisesNothing)
{
    process(QStringLiteral("Modified"), record(QStringLiteral("2")));
    EXPECT_TRUE(popups.sent.isEmpty());
    EXPECT_EQ(mailerShown, 0);
    EXPECT_FALSE(mail.MailAlertMode);
    EXPECT_FALSE(QFile::exists(csvPath));
    EXPECT_FALSE(QFile::exists(dbPath));
}

TEST_F(JobEventProcessingTest, NewCsvFile_HeaderWithoutTrailingCommaThenLinesWithOne)
{
    outputs.csvOn = true;
    outputs.csvPath = csvPath;
    process(QStringLiteral("New"), record(QStringLiteral("8")));
    process(QStringLiteral("Deleted"),
            kRecord.arg(QStringLiteral("2")).replace(QStringLiteral("Budget.xlsx"), QStringLiteral("Say \"hi\"")));
    EXPECT_EQ(fileBytes(csvPath),
              QByteArray("\"Job Action\",\"Server\",\"Status\",\"Description\",\"Computer\",\"User\",\"Queue\","
                         "\"Pages\",\"Printed Pages\",\"Priority\",\"Size\",\"Time Submitted\",\"ID\",\"Name\"\r\n"
                         "\"New\",\"PS1\",\"Spooling\",\"Budget.xlsx\",\"\\\\PC7\",\"carol\",\"Sales\",\"4\",\"1\","
                         "\"1\",\"12KB\",\"3/14/2026 9:15:30 AM\",\"17\",\"Sales, 17\",\r\n"
                         "\"Deleted\",\"PS1\",\"Error\",\"Say \"\"hi\"\"\",\"\\\\PC7\",\"carol\",\"Sales\",\"4\","
                         "\"1\",\"1\",\"12KB\",\"3/14/2026 9:15:30 AM\",\"17\",\"Sales, 17\",\r\n"));
}

TEST_F(JobEventProcessingTest, ExistingEmptyCsvFile_GetsNoHeader)
{
    QFile empty(csvPath);
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    outputs.csvOn = true;
    outputs.csvPath = csvPath;
    process(QStringLiteral("New"), record(QStringLiteral("8")));
    EXPECT_TRUE(fileBytes(csvPath).startsWith("\"New\",\"PS1\","));
}

TEST_F(JobEventProcessingTest, FirstEventOfAJob_WritesItsRowOnceAndPagesOnlyWhenNotPrinting)
{
    outputs.databaseOn = true;
    const struct
    {
        QString mask;
        bool pagesWritten;
    } cases[] = {{QStringLiteral("16"), false}, {QStringLiteral("128"), false}, {QStringLiteral("8"), true}};
    int n = 0;
    for (const auto& c : cases) {
        const QString id = QString::number(100 + n++);
        const QString rec = record(c.mask).replace(QStringLiteral("|17|"), QLatin1Char('|') + id + QLatin1Char('|'));
        process(QStringLiteral("New"), rec);
        const QVariantMap row = logRow(dbPath, id + QStringLiteral("-3/14/2026 9:15:30 AM"));
        ASSERT_FALSE(row.isEmpty()) << c.mask.toStdString();
        EXPECT_EQ(row.value(QStringLiteral("Server")).toString(), QStringLiteral("PS1"));
        EXPECT_EQ(row.value(QStringLiteral("Queue")).toString(), QStringLiteral("Sales"));
        EXPECT_EQ(row.value(QStringLiteral("Description")).toString(), QStringLiteral("Budget.xlsx"));
        EXPECT_EQ(row.value(QStringLiteral("Computer")).toString(), QStringLiteral("\\\\PC7"));
        EXPECT_EQ(row.value(QStringLiteral("User")).toString(), QStringLiteral("carol"));
        EXPECT_EQ(row.value(QStringLiteral("Name")).toString(), id);
        EXPECT_EQ(row.value(QStringLiteral("Time Submitted")).toString(), QStringLiteral("3/14/2026 9:15:30 AM"));
        EXPECT_EQ(row.value(QStringLiteral("Priority")).toString(), QStringLiteral("1"));
        EXPECT_EQ(row.value(QStringLiteral("Pages")).isNull(), !c.pagesWritten) << c.mask.toStdString();
        EXPECT_EQ(row.value(QStringLiteral("Size")).isNull(), !c.pagesWritten) << c.mask.toStdString();
        EXPECT_TRUE(row.value(QStringLiteral("Deleted")).isNull());
    }

    // A later event of a logged job changes nothing.
    process(QStringLiteral("Modified"), record(QStringLiteral("8"))
                                            .replace(QStringLiteral("|17|"), QStringLiteral("|100|"))
                                            .replace(QStringLiteral("carol"), QStringLiteral("mallory")));
    EXPECT_EQ(logRow(dbPath, QStringLiteral("100-3/14/2026 9:15:30 AM")).value(QStringLiteral("User")).toString(),
              QStringLiteral("carol"));
    EXPECT_EQ(logCount(dbPath), 3);
}

TEST_F(JobEventProcessingTest, DamagedInputs_AreHandledAndProcessingGoesOn)
{
    outputs.csvOn = true;
    outputs.csvPath = m_dir.filePath(QStringLiteral("missing/folder/jobs.csv"));
    outputs.databaseOn = true;
    dbPath = m_dir.filePath(QStringLiteral("missing/folder/watch.mdb"));
    outputs.popupOn = true;

    // A short record is filled up with empty fields.
    const QString text = process(QStringLiteral("New"), QStringLiteral("2|Doc"));
    EXPECT_TRUE(text.startsWith(QStringLiteral("Log ID: -\r\nStatus: Error\r\nDescription: Doc\r\nComputer: \r\n")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("ID: \r\nName: \r\n")));
    ASSERT_EQ(popups.sent.size(), 2);
    EXPECT_FALSE(QFile::exists(outputs.csvPath));
    EXPECT_FALSE(QFile::exists(dbPath));
}

// A "|" escaped in the document, the computer or the owner comes out as it is, every field in place.
TEST_F(JobEventProcessingTest, BarInNames_EveryFieldInPlace_InTextCsvAndLog)
{
    outputs.csvOn = true;
    outputs.csvPath = csvPath;
    outputs.databaseOn = true;
    outputs.emailOn = true;
    const QString text =
        process(QStringLiteral("New"),
                QStringLiteral("2|A\\|B\\|1KB|\\\\P\\|C7|ca\\|rol|Sales|4|1|1|12KB|3/14/2026 9:15:30 AM|17|Sales, 17"));
    EXPECT_TRUE(text.contains(QStringLiteral("Status: Error\r\nDescription: A|B|1KB\r\nComputer: \\\\P|C7\r\n"
                                             "User: ca|rol\r\nQueue: Sales\r\nPages: 4\r\n")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("ID: 17\r\nName: Sales, 17\r\n")));
    EXPECT_TRUE(
        fileBytes(csvPath).contains("\"New\",\"PS1\",\"Error\",\"A|B|1KB\",\"\\\\P|C7\",\"ca|rol\",\"Sales\","
                                    "\"4\",\"1\",\"1\",\"12KB\",\"3/14/2026 9:15:30 AM\",\"17\",\"Sales, 17\","));
    const QVariantMap row = logRow(dbPath, QStringLiteral("17-3/14/2026 9:15:30 AM"));
    ASSERT_FALSE(row.isEmpty());
    EXPECT_EQ(row.value(QStringLiteral("Description")).toString(), QStringLiteral("A|B|1KB"));
    EXPECT_EQ(row.value(QStringLiteral("Computer")).toString(), QStringLiteral("\\\\P|C7"));
    EXPECT_EQ(row.value(QStringLiteral("User")).toString(), QStringLiteral("ca|rol"));
    EXPECT_EQ(row.value(QStringLiteral("Queue")).toString(), QStringLiteral("Sales"));
    EXPECT_EQ(row.value(QStringLiteral("Pages")).toString(), QStringLiteral("4"));
    EXPECT_EQ(row.value(QStringLiteral("Size")).toString(), QStringLiteral("12KB"));
    EXPECT_TRUE(mail.MailAlertBody.startsWith(QStringLiteral("Warning: Job 17 titled A|B|1KB in Sales on PS1")));
    EXPECT_TRUE(mail.MailAlertBody.contains(QStringLiteral("for ca|rol on \\\\P|C7 is")));
}

TEST_F(JobEventProcessingTest, UnreadableLog_GetsNoWrites)
{
    // A file that is no database: the look-up fails, and no write is attempted on it.
    QFile junk(dbPath);
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a database at all, just text that fills the first page of the file");
    junk.close();
    const QByteArray before = fileBytes(dbPath);
    outputs.databaseOn = true;
    process(QStringLiteral("New"), record(QStringLiteral("8")));
    EXPECT_EQ(fileBytes(dbPath), before);
}

} // namespace
} // namespace hlv::test
