#include <QMap>

#include "StoreFixture.h"
#include "platform/GeneralDate.h"

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
    EXPECT_EQ(tables, (QStringList{QStringLiteral("HLV_Audit"), QStringLiteral("HLV_Log")}));
    EXPECT_EQ(views.size(), 8);

    const std::pair<const char*, const char*> expected[] = {
        {"HLV_Log", "TransactionID, Server, Queue, Description, Computer, User, Name, Priority, Time Submitted, Pages, "
                    "Size, Deleted, Deleted Pages, Resumed, Printed Pages, HLV User, HLV Computer, Comments"},
        {"HLV_Audit", "Time, Action, Description, HLV User, HLV Computer"},
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

// The day-based views read the submit time as whichever program wrote it: the general date
// text of that program's locale, with logs that mix the texts of two locales.
TEST_F(TemplateViewsTest, DayViews_RightDayForTheTextsOfEveryLocale)
{
    host.audit = false;
    const QDate today = QDate::currentDate();
    // A midnight text is the date alone. With both fields above 9 ("12/10/2026") only the
    // log's other rows can tell its order, which a log mixing "/" locales cannot.
    const struct
    {
        QDateTime moment;
        bool inMixedLogs;
    } moments[] = {
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
    const std::pair<const char*, const char*> cases[] = {
        {"en_US", nullptr},
        {"en_GB", nullptr},
        {"de_DE", nullptr},
        {"nl_NL", nullptr},
        {"fr_FR", nullptr},
        {"ja_JP", nullptr},
        {"zh_CN", nullptr},
        // Day first in the English (US) shape ("9/12/2026 4:22:44 PM"), and other digits.
        {"en_AU", nullptr},
        {"ar_EG", nullptr},
        // The console and the watch program under different locales, writing one log.
        {"en_US", "en_GB"},
        {"de_DE", "en_US"},
        {"zh_CN", "fr_FR"},
    };
    for (const auto& [first, second] : cases) {
        const std::string label = std::string(first) + (second ? std::string("+") + second : std::string());
        QFile::remove(logPath());
        QMap<QDate, int> perDay;
        QMap<QPair<int, int>, int> perMonth;
        int todays = 0;
        int n = 0;
        for (const char* name : {first, second}) {
            if (!name) {
                continue;
            }
            QLocale::setDefault(QLocale(QString::fromLatin1(name)));
            for (const auto& [moment, inMixedLogs] : moments) {
                if (second && !inMixedLogs) {
                    continue;
                }
                const QString key = QString::number(++n);
                ASSERT_TRUE(store->LogJobField(key, QStringLiteral("Time Submitted"), generalDateText(moment)));
                ++perDay[moment.date()];
                ++perMonth[{moment.date().year(), moment.date().month()}];
                todays += moment.date() == today ? 1 : 0;
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
        EXPECT_EQ(joined(rows(QStringLiteral("SELECT Year, Month, Day, Jobs FROM LogDailyJobsReport"))), joined(daily))
            << label;
        EXPECT_EQ(joined(rows(QStringLiteral("SELECT Year, Month, Jobs FROM LogMonthlyJobsReport"))), joined(monthly))
            << label;
        EXPECT_EQ(rows(QStringLiteral("SELECT * FROM LogTodayReport")).size(), todays) << label;
    }
}
