#include <QMap>

#include "StoreFixture.h"
#include "platform/GeneralDate.h"
#include "store/JobLogTable.h"

using namespace hlv;
using namespace hlv::test;

namespace {

QStringList columnsOf(Database& db, const QString& name)
{
    QStringList columns;
    Query query(db, QStringLiteral("SELECT name FROM pragma_table_info(?1)"));
    query.bind(1, name);
    while (query.next()) {
        columns << query.value(0).toString();
    }
    return columns;
}

// Rows as one readable text: fields joined by "|", rows by "; ".
std::string joined(const QList<QStringList>& rows)
{
    QStringList out;
    for (const QStringList& row : rows) {
        out << row.join(QLatin1Char('|'));
    }
    return out.join(QStringLiteral("; ")).toStdString();
}

QStringList split(const char* names)
{
    return QString::fromUtf8(names).split(QStringLiteral(", "));
}

class TemplateViewsTest : public StoreFixture
{};

} // namespace

TEST(TemplateTest, BuiltTemplate_HoldsTheTablesAndViewsWithTheirColumns)
{
    auto db = Database::open(builtTemplatePath(), Database::Mode::ReadOnly);
    ASSERT_TRUE(db);

    QStringList tables;
    QStringList views;
    Query objects(*db,
                  QStringLiteral("SELECT type, name FROM sqlite_master WHERE type IN ('table', 'view') ORDER BY name"));
    while (objects.next()) {
        (objects.value(0).toString() == QLatin1String("table") ? tables : views) << objects.value(1).toString();
    }
    EXPECT_EQ(tables, (QStringList{QStringLiteral("HLV_Audit"), QStringLiteral("HLV_DateForms"),
                                   QStringLiteral("HLV_Log"), QStringLiteral("HLV_SubmitDays")}));
    EXPECT_EQ(views.size(), 8);

    const std::pair<const char*, const char*> expected[] = {
        {"HLV_Log", "TransactionID, Server, Queue, Description, Computer, User, Name, Priority, Time Submitted, Pages, "
                    "Size, Deleted, Deleted Pages, Resumed, Printed Pages, HLV User, HLV Computer, Comments"},
        {"HLV_Audit", "Time, Action, Description, HLV User, HLV Computer"},
        {"HLV_DateForms", "Form, Order"},
        {"HLV_SubmitDays", "TransactionID, Day"},
        {"LogUserReport", "User, Jobs, Pages, Deleted, Printed"},
        {"LogPrinterReport", "Server, Queue, Jobs, Pages, Deleted, Printed"},
        {"LogAuditTodayReport", "Time, HLV Computer, HLV User, Action, Description"},
        {"LogAuditActionsReport", "Action, Description, HLV User, HLV Computer, Count"},
        {"LogTodayReport", "Time Submitted, Server, Queue, Description, Computer, User, Name, Priority, Pages, Size, "
                           "Deleted, Deleted Pages, Resumed, Printed Pages, HLV User, HLV Computer, Comments"},
        {"LogDailyJobsReport", "Year, Month, Day, Jobs, Pages, Deleted, Printed"},
        {"LogMonthlyJobsReport", "Year, Month, Jobs, Pages, Deleted, Printed"},
        {"LogQueueManagersReport", "HLV Computer, HLV User, Jobs, Pages, Deleted, Printed"},
    };
    for (const auto& [name, columns] : expected) {
        EXPECT_EQ(columnsOf(*db, QString::fromUtf8(name)), split(columns)) << name;
        if (QString::fromUtf8(name).startsWith(QLatin1String("Log"))) {
            EXPECT_TRUE(views.contains(QString::fromUtf8(name))) << name;
        }
    }
    EXPECT_EQ(JobLogStore::jobFields(), split(expected[0].second));
    // The template ships empty.
    EXPECT_EQ(db->scalar(QStringLiteral("SELECT (SELECT COUNT(*) FROM HLV_Log) + (SELECT COUNT(*) FROM HLV_Audit)"))
                  ->toLongLong(),
              0);
}

TEST_F(TemplateViewsTest, Views_SummariseWhatTheStoreWrote)
{
    host.audit = false;
    const QString today = generalDateText(QDateTime(QDate::currentDate(), QTime(10, 15, 0)));
    struct Job
    {
        const char* key;
        QString submitted;
        const char* user;
        const char* pages;
        const char* deleted;
        const char* printed;
    };
    const Job jobs[] = {
        {"1", QStringLiteral("3/5/2024 9:05:00 AM"), "bob", "10", "10", nullptr},
        {"2", QStringLiteral("3/5/2024 11:00:00 PM"), "Bob", "4", nullptr, "4"},
        {"3", QStringLiteral("3/28/2024"), "al", "2", "2", "2"},
        {"4", today, "al", "1", nullptr, nullptr},
    };
    for (const Job& job : jobs) {
        const QString key = QString::fromUtf8(job.key);
        ASSERT_TRUE(store->LogJobField(key, QStringLiteral("User"), QString::fromUtf8(job.user)));
        ASSERT_TRUE(store->LogJobField(key, QStringLiteral("Time Submitted"), job.submitted));
        ASSERT_TRUE(store->LogJobField(key, QStringLiteral("Pages"), QString::fromUtf8(job.pages)));
        if (job.deleted) {
            ASSERT_TRUE(store->LogJobField(key, QStringLiteral("Deleted Pages"), QString::fromUtf8(job.deleted)));
        }
        if (job.printed) {
            ASSERT_TRUE(store->LogJobField(key, QStringLiteral("Printed Pages"), QString::fromUtf8(job.printed)));
        }
    }
    EXPECT_EQ(rows(QStringLiteral("SELECT * FROM LogUserReport")),
              (QList<QStringList>{{QStringLiteral("al"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("2"),
                                   QStringLiteral("0")},
                                  {QStringLiteral("bob"), QStringLiteral("2"), QStringLiteral("14"),
                                   QStringLiteral("10"), QStringLiteral("4")}}));
    const QList<QStringList> daily = rows(QStringLiteral("SELECT * FROM LogDailyJobsReport"));
    ASSERT_EQ(daily.size(), 3);
    EXPECT_EQ(daily[0],
              (QStringList{QStringLiteral("2024"), QStringLiteral("3"), QStringLiteral("5"), QStringLiteral("2"),
                           QStringLiteral("14"), QStringLiteral("10"), QStringLiteral("4")}));
    EXPECT_EQ(daily[1].mid(0, 4),
              (QStringList{QStringLiteral("2024"), QStringLiteral("3"), QStringLiteral("28"), QStringLiteral("1")}));
    EXPECT_EQ(rows(QStringLiteral("SELECT Year, Month, Jobs FROM LogMonthlyJobsReport")).first(),
              (QStringList{QStringLiteral("2024"), QStringLiteral("3"), QStringLiteral("3")}));
    const QList<QStringList> todayRows = rows(QStringLiteral("SELECT \"Time Submitted\", User FROM LogTodayReport"));
    EXPECT_EQ(todayRows, (QList<QStringList>{{today, QStringLiteral("al")}}));
}

TEST_F(TemplateViewsTest, AuditViews_TodayAndCounts)
{
    clock.current = QDateTime::currentDateTime();
    ASSERT_TRUE(store->WriteAudit(QStringLiteral("Job"), QStringLiteral("Pause Job")));
    ASSERT_TRUE(store->WriteAudit(QStringLiteral("Job"), QStringLiteral("Pause Job")));
    clock.current = clock.current.addDays(-2);
    ASSERT_TRUE(store->WriteAudit(QStringLiteral("Job"), QStringLiteral("Remove Job")));
    const QList<QStringList> today = rows(QStringLiteral("SELECT Action, Detail FROM (SELECT Action, Description AS "
                                                         "Detail FROM LogAuditTodayReport)"));
    EXPECT_EQ(today.size(), 4); // the two creation records and the two pauses
    EXPECT_EQ(today.last(), (QStringList{QStringLiteral("Job"), QStringLiteral("Pause Job")}));
    const QList<QStringList> counts =
        rows(QStringLiteral("SELECT Description, Count FROM LogAuditActionsReport WHERE Action = 'Job'"));
    EXPECT_EQ(counts, (QList<QStringList>{{QStringLiteral("Pause Job"), QStringLiteral("2")},
                                          {QStringLiteral("Remove Job"), QStringLiteral("1")}}));
}

// Every reading of a stored submit time gives the day the job was submitted: the day views
// (in any SQLite client), the CSV export's Year, Month and Day and the statistics' first and
// last day, for logs written under one locale (or by programs under several) and read under
// another, also when no day of the log is above 12 and the writers write the same forms in
// opposite orders (English (US), English (Australia), and a program started without a
// locale). The month is named in its own form ("март", not "марта").
TEST_F(TemplateViewsTest, SubmitDays_WrittenUnderOneLocaleReadUnderAnother_EveryReadingAgrees)
{
    host.audit = false;
    const QDate today = QDate::currentDate();
    // A midnight text is the date alone. With both fields above 9 ("12/10/2026") it cannot
    // be told in a log that two "/" locales of either order write.
    const struct
    {
        QDateTime moment;
        bool inMixedLogs;
    } anyDays[] = {
        {QDateTime(today, QTime(10, 0)), true},
        {QDateTime(today, QTime(23, 59, 59)), true},
        {QDateTime(QDate(2026, 1, 5), QTime(9, 0)), true},
        {QDateTime(QDate(2026, 1, 13), QTime(14, 30)), true},
        {QDateTime(QDate(2026, 2, 3), QTime(0, 0)), true},
        {QDateTime(QDate(2026, 10, 12), QTime(0, 0)), false},
        {QDateTime(QDate(2026, 12, 9), QTime(16, 22, 44)), true},
        {QDateTime(QDate(2026, 12, 9), QTime(4, 5, 6)), true},
        {QDateTime(QDate(2026, 12, 10), QTime(11, 0)), true},
        {QDateTime(QDate(2027, 3, 31), QTime(12, 0)), true},
    };
    // Every day 12 or less: nothing in the log shows its order but the writers' record.
    QList<QDateTime> lowDays = {
        QDateTime(QDate(2025, 10, 7), QTime(20, 15)), QDateTime(QDate(2026, 1, 5), QTime(9, 0)),
        QDateTime(QDate(2026, 2, 3), QTime(0, 0)),    QDateTime(QDate(2026, 3, 12), QTime(16, 22, 44)),
        QDateTime(QDate(2026, 11, 2), QTime(11, 0)),  QDateTime(QDate(2026, 12, 9), QTime(4, 5, 6)),
    };
    if (today.day() <= 12) {
        lowDays << QDateTime(today, QTime(8, 0)) << QDateTime(today, QTime(17, 45, 10));
    }
    const struct
    {
        const char* writers; // one locale, or two programs' locales joined by "+"
        const char* reader;
    } cases[] = {
        {"en_US", "en_GB"},       {"en_GB", "en_US"},       {"en_AU", "en_US"},         {"en_NZ", "ja_JP"},
        {"de_DE", "en_US"},       {"ja_JP", "de_DE"},       {"nl_NL", "en_AU"},         {"fr_FR", "zh_CN"},
        {"zh_CN", "en_US"},       {"ar_EG", "en_GB"},       {"en_US+en_GB", "de_DE"},   {"de_DE+en_US", "en_AU"},
        {"en_AU+ja_JP", "en_US"}, {"zh_CN+fr_FR", "ar_EG"}, {"en_US+en_AU+C", "en_GB"}, {"en_AU+C", "ru_RU"},
        {"en_US", "pl_PL"},
    };
    for (const auto& c : cases) {
        const QStringList writers = QString::fromLatin1(c.writers).split(QLatin1Char('+'));
        for (const bool low : {false, true}) {
            const std::string label = std::string(c.writers) + " read under " + c.reader + (low ? ", days <= 12" : "");
            QList<QDateTime> moments;
            for (const auto& [moment, inMixedLogs] : anyDays) {
                if (!low && (inMixedLogs || writers.size() == 1)) {
                    moments << moment;
                }
            }
            if (low) {
                moments = lowDays;
            }
            QFile::remove(logPath());
            QList<QDate> written;
            for (const QString& writer : writers) {
                QLocale::setDefault(QLocale(writer));
                QList<joblog::JobEntry> jobs;
                for (const QDateTime& moment : moments) {
                    jobs.append({QString::number(written.size() + 1),
                                 {{QStringLiteral("Time Submitted"), generalDateText(moment)}}});
                    written << moment.date();
                }
                store->LogNewJobs(jobs);
            }
            ASSERT_EQ(store->pendingWrites(), 0) << label;

            const QLocale reader{QString::fromLatin1(c.reader)};
            QLocale::setDefault(reader);
            // The CSV's days, row by row: right, or left out where no reader can tell.
            ASSERT_TRUE(store->ExportLogToCsv()) << label;
            const QList<QByteArray> lines = fileBytes(store->csvFilePath()).split('\n');
            ASSERT_EQ(lines.size(), written.size() + 3) << label;
            QList<QDate> read;
            for (qsizetype row = 0; row < written.size(); ++row) {
                const QStringList cells = QString::fromUtf8(lines.at(row + 1).trimmed()).split(QLatin1Char(','));
                ASSERT_EQ(cells.size(), 20) << label;
                int month = 0;
                for (int m = 1; m <= 12; ++m) {
                    month = reader.standaloneMonthName(m) == cells.at(10) ? m : month;
                }
                const QDate date(cells.at(9).toInt(), month, cells.at(11).toInt());
                EXPECT_EQ(date, written.at(row))
                    << label << ": " << cells.at(8).toStdString() << " read as " << cells.at(9).toStdString() << "|"
                    << cells.at(10).toStdString() << "|" << cells.at(11).toStdString();
                read << (date.isValid() ? date : QDate());
            }
            // The statistics span the same days, from before the pass's moment to after it.
            ASSERT_TRUE(store->ComputeLogStats()) << label;
            QDateTime first = clock.current;
            QDateTime last = clock.current;
            for (const QDate& day : read) {
                if (day.isValid()) {
                    first = std::min(first, QDateTime(day, QTime(0, 0)));
                    last = std::max(last, QDateTime(day, QTime(0, 0)));
                }
            }
            EXPECT_EQ(store->stats().LogStarted, first) << label;
            EXPECT_EQ(store->stats().LogFinished, last) << label;
            // The views group the same days.
            QMap<QDate, int> perDay;
            QMap<QPair<int, int>, int> perMonth;
            for (const QDate& day : read) {
                if (day.isValid()) {
                    ++perDay[day];
                    ++perMonth[{day.year(), day.month()}];
                }
            }
            QList<QStringList> daily;
            for (auto it = perDay.cbegin(); it != perDay.cend(); ++it) {
                daily << QStringList{QString::number(it.key().year()), QString::number(it.key().month()),
                                     QString::number(it.key().day()), QString::number(it.value())};
            }
            QList<QStringList> monthly;
            for (auto it = perMonth.cbegin(); it != perMonth.cend(); ++it) {
                monthly << QStringList{QString::number(it.key().first), QString::number(it.key().second),
                                       QString::number(it.value())};
            }
            EXPECT_EQ(joined(rows(QStringLiteral("SELECT Year, Month, Day, Jobs FROM LogDailyJobsReport WHERE Year "
                                                 "IS NOT NULL"))),
                      joined(daily))
                << label;
            EXPECT_EQ(joined(rows(QStringLiteral("SELECT Year, Month, Jobs FROM LogMonthlyJobsReport WHERE Year IS "
                                                 "NOT NULL"))),
                      joined(monthly))
                << label;
            EXPECT_EQ(rows(QStringLiteral("SELECT * FROM LogTodayReport")).size(), perDay.value(today)) << label;
            EXPECT_EQ(read, written) << label;
        }
    }
}

// A log made before the programs recorded their date forms and days, or whose side tables
// were dropped or made again with other columns, keeps the rules it was read by: the passes
// over it still run, and give the days its texts give, never no days at all.
TEST_F(TemplateViewsTest, SideTablesMissingOrOtherColumns_DaysReadByTheTexts)
{
    host.audit = false;
    const char* damages[] = {
        "DROP VIEW LogTodayReport; DROP VIEW LogDailyJobsReport; DROP VIEW LogMonthlyJobsReport; "
        "DROP TABLE HLV_DateForms; DROP TABLE HLV_SubmitDays",
        "DROP TABLE HLV_SubmitDays; CREATE TABLE HLV_SubmitDays (Job TEXT, Submitted TEXT)",
        "DROP TABLE HLV_DateForms; CREATE TABLE HLV_DateForms (Pattern TEXT)",
    };
    for (const char* damage : damages) {
        for (const bool before : {true, false}) {
            const std::string label = std::string(damage) + (before ? " before the writes" : " after the writes");
            QFile::remove(logPath());
            ASSERT_TRUE(store->OpenLogDatabase());
            store->CloseLogDatabase();
            const auto spoil = [&] {
                auto db = peek();
                ASSERT_TRUE(db && db->exec(QString::fromLatin1(damage))) << label;
            };
            if (before) {
                spoil();
            }
            QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
            ASSERT_TRUE(store->LogJobField(QStringLiteral("1"), QStringLiteral("Time Submitted"),
                                           QStringLiteral("3/5/2024 9:05:00 AM")))
                << label;
            ASSERT_TRUE(store->LogJobField(QStringLiteral("2"), QStringLiteral("Time Submitted"),
                                           QStringLiteral("3/15/2024 9:05:00 AM")))
                << label;
            if (!before) {
                spoil();
            }
            QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
            ASSERT_TRUE(store->ExportLogToCsv()) << label;
            const QList<QByteArray> lines = fileBytes(store->csvFilePath()).split('\n');
            ASSERT_EQ(lines.size(), 5) << label;
            EXPECT_TRUE(lines[1].contains(",2024,März,5,")) << label << lines[1].toStdString();
            EXPECT_TRUE(lines[2].contains(",2024,März,15,")) << label << lines[2].toStdString();
            ASSERT_TRUE(store->ComputeLogStats()) << label;
            EXPECT_EQ(store->stats().LogJobsManaged, 2) << label;
            EXPECT_EQ(store->stats().LogStarted, QDateTime(QDate(2024, 3, 5), QTime(0, 0))) << label;
        }
    }
}

// In a log no writer recorded, the first rows' order may be shown only by a later row: the
// passes still give those rows the days the views give them.
TEST_F(TemplateViewsTest, FormShownDayFirstOnlyByALaterRow_EarlierRowsReadDayFirst)
{
    host.audit = false;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const char* texts[] = {"5/3/2024 9:05:00 AM", "7/3/2024 9:05:00 AM", "15/3/2024 9:05:00 AM"};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(store->LogJobField(QString::number(i + 1), QStringLiteral("Time Submitted"),
                                       QString::fromLatin1(texts[i])));
    }
    {
        auto db = peek();
        ASSERT_TRUE(db && db->exec(QStringLiteral("DELETE FROM HLV_SubmitDays; DELETE FROM HLV_DateForms")));
    }
    EXPECT_EQ(joined(rows(QStringLiteral("SELECT Year, Month, Day, Jobs FROM LogDailyJobsReport WHERE Year IS NOT "
                                         "NULL"))),
              "2024|3|5|1; 2024|3|7|1; 2024|3|15|1");
    ASSERT_TRUE(store->ExportLogToCsv());
    const QList<QByteArray> lines = fileBytes(store->csvFilePath()).split('\n');
    ASSERT_EQ(lines.size(), 6);
    EXPECT_TRUE(lines[1].contains(",2024,March,5,")) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].contains(",2024,March,7,")) << lines[2].toStdString();
    EXPECT_TRUE(lines[3].contains(",2024,March,15,")) << lines[3].toStdString();
    ASSERT_TRUE(store->ComputeLogStats());
    EXPECT_EQ(store->stats().LogStarted, QDateTime(QDate(2024, 3, 5), QTime(0, 0)));
}
