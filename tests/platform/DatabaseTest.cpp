#include "platform/Database.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace hlv;

TEST(DatabaseTest, BoundText_WithQuotesAndNulls_RoundTrips)
{
    QTemporaryDir dir;
    auto db = Database::open(dir.filePath(QStringLiteral("t.db")), Database::Mode::Create);
    ASSERT_TRUE(db);
    ASSERT_TRUE(db->exec(QStringLiteral("CREATE TABLE t (k TEXT PRIMARY KEY, v, n INTEGER)")));
    const QString key = QStringLiteral("O'Brien\"; DROP TABLE t; --");
    ASSERT_TRUE(db->exec(QStringLiteral("INSERT INTO t (k, v, n) VALUES (?, ?, ?)"), {key, QVariant(), 42}));

    Query q(*db, QStringLiteral("SELECT v, n FROM t WHERE k = ?"));
    q.bind(1, key);
    ASSERT_TRUE(q.next());
    EXPECT_TRUE(q.value(0).isNull());
    EXPECT_EQ(q.value(1).toLongLong(), 42);
    EXPECT_FALSE(q.next());
    EXPECT_FALSE(q.failed());
}

TEST(DatabaseTest, Open_MissingFileWithoutCreate_Fails)
{
    QTemporaryDir dir;
    QString error;
    EXPECT_FALSE(Database::open(dir.filePath(QStringLiteral("none.db")), Database::Mode::ReadWrite, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(DatabaseTest, SecondWriter_WaitsForLockInsteadOfFailing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.db"));
    auto a = Database::open(path, Database::Mode::Create);
    auto b = Database::open(path);
    ASSERT_TRUE(a && b);
    ASSERT_TRUE(a->exec(QStringLiteral("CREATE TABLE t (v)")));
    ASSERT_TRUE(a->begin(true));
    ASSERT_TRUE(a->exec(QStringLiteral("INSERT INTO t VALUES (?)"), {1}));
    // While a holds the write lock, b gives up after its (short) timeout instead of hanging.
    b->setBusyTimeout(50);
    EXPECT_FALSE(b->exec(QStringLiteral("INSERT INTO t VALUES (?)"), {2}));
    ASSERT_TRUE(a->commit());
    b->setBusyTimeout(Database::kDefaultBusyTimeoutMs);
    EXPECT_TRUE(b->exec(QStringLiteral("INSERT INTO t VALUES (?)"), {2}));
    EXPECT_EQ(a->scalar(QStringLiteral("SELECT COUNT(*) FROM t"))->toLongLong(), 2);
}
