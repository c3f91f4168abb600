#pragma once

#include <memory>

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/Database.h"
#include "store/JobLogStore.h"
#include "support/FakeClock.h"
#include "support/FakeEnvironment.h"
#include "support/FakeStoreHost.h"

namespace hlv::test {

inline QString builtTemplatePath()
{
    return QStringLiteral(HLV_BIN_DIR "/hlv.mdb");
}

inline QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A job log store over a temporary application-data folder and the built template, with
// dates written in a day-first general form (English, UK) that cannot pass for month first.
class StoreFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_savedLocale = QLocale();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        env.appDataPath = m_dir.filePath(QStringLiteral("appdata"));
        env.tempPath = m_dir.filePath(QStringLiteral("temp"));
        ASSERT_TRUE(QDir().mkpath(env.appDataPath));
        ASSERT_TRUE(QDir().mkpath(env.tempPath));
        ASSERT_TRUE(QFile::exists(builtTemplatePath())) << "build the hlv_template target first";
        store = std::make_unique<JobLogStore>(env, clock, host, builtTemplatePath());
    }
    void TearDown() override { QLocale::setDefault(m_savedLocale); }

    QString logPath() const { return store->logFilePath(); }

    // A separate connection for looking at (or preparing) the log behind the store's back.
    std::unique_ptr<Database> peek() const { return Database::open(logPath()); }

    QList<QStringList> rows(const QString& sql) const
    {
        QList<QStringList> result;
        auto db = peek();
        if (!db) {
            return result;
        }
        Query query(*db, sql);
        while (query.next()) {
            QStringList row;
            for (int i = 0; i < query.columnCount(); ++i) {
                const QVariant value = query.value(i);
                row << (value.isNull() ? QStringLiteral("<null>") : value.toString());
            }
            result << row;
        }
        EXPECT_FALSE(query.failed()) << db->lastError().toStdString();
        return result;
    }

    QTemporaryDir m_dir;
    QLocale m_savedLocale;
    FakeEnvironment env;
    FakeClock clock;
    FakeStoreHost host;
    std::unique_ptr<JobLogStore> store;
};

} // namespace hlv::test
