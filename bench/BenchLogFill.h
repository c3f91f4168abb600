#pragma once

// The job log of the bench programs: a store over a log file, and a log filled with jobs.

#include <memory>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include "platform/Database.h"
#include "platform/GeneralDate.h"
#include "store/JobLogStore.h"
#include "support/FakeClock.h"
#include "support/FakeEnvironment.h"
#include "support/FakeStoreHost.h"

namespace hlv::bench {

// The job log store over the log file at path: the file's folder is the log folder.
struct Store
{
    explicit Store(const QString& logFile)
    {
        env.appDataPath = temp.filePath(QStringLiteral("appdata"));
        env.tempPath = temp.filePath(QStringLiteral("temp"));
        QDir().mkpath(env.appDataPath);
        QDir().mkpath(env.tempPath);
        host.logFolder = QFileInfo(logFile).absolutePath();
        host.audit = false;
        store = std::make_unique<JobLogStore>(env, clock, host);
    }
    QTemporaryDir temp;
    test::FakeEnvironment env;
    test::FakeClock clock;
    test::FakeStoreHost host;
    std::unique_ptr<JobLogStore> store;
};

inline int fillLog(const QString& path, int rows)
{
    // The store makes its log (a copy of the template) under its own name in a folder of its
    // own: it is moved to path, whatever that is named.
    QFile::remove(path);
    Store s(path);
    s.host.logFolder = s.temp.filePath(QStringLiteral("log"));
    QDir().mkpath(s.host.logFolder);
    if (!s.store->OpenLogDatabase()) {
        return 1;
    }
    s.store->CloseLogDatabase();
    if (!QFile::rename(s.store->logFilePath(), path) && !QFile::copy(s.store->logFilePath(), path)) {
        return 1;
    }
    auto db = Database::open(path);
    if (!db) {
        return 1;
    }
    db->begin();
    Query insert(*db, QStringLiteral("INSERT INTO HLV_Log (TransactionID, Server, Queue, Description, Computer, "
                                     "User, Name, Priority, \"Time Submitted\", Pages, Size, \"Deleted Pages\", "
                                     "\"Printed Pages\") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const QDateTime start(QDate(2025, 1, 1), QTime(8, 0));
    for (int i = 0; i < rows; ++i) {
        const QString submitted = generalDateText(start.addSecs(qint64(i) * 317));
        insert.reset();
        insert.bindAll({QString::number(i) + QLatin1Char('-') + submitted, QStringLiteral("PRINT%1").arg(i % 4),
                        QStringLiteral("Q%1").arg(i % 40), QStringLiteral("Report %1, draft").arg(i),
                        QStringLiteral("WS%1").arg(i % 300), QStringLiteral("user%1").arg(i % 500),
                        QStringLiteral("Q%1, %2").arg(i % 40).arg(i), 1, submitted, QString::number(i % 17 + 1),
                        QStringLiteral("%1KB").arg(i % 900),
                        i % 5 == 0 ? QVariant(QString::number(i % 17 + 1)) : QVariant(),
                        i % 5 == 1 ? QVariant(QString::number(i % 17 + 1)) : QVariant()});
        insert.exec();
    }
    return db->commit() ? 0 : 1;
}

// The commands of the job log's passes both bench programs take (see BenchLog.cpp); -1 for
// any other command.
inline int logCommand(const QString& command, const QStringList& args)
{
    const auto arg = [&args](int index) {
        return index < args.size() ? args.at(index) : QString();
    };
    if (command == QStringLiteral("noop")) {
        // What the sqlite3 shell's baseline does too: the database library loaded and one
        // statement run, so both baselines hold its code.
        auto db = Database::open(QStringLiteral(":memory:"), Database::Mode::Create);
        return db && db->scalar(QStringLiteral("SELECT 1")) ? 0 : 1;
    }
    if (command == QStringLiteral("fill-log")) {
        return fillLog(arg(0), arg(1).toInt());
    }
    if (command == QStringLiteral("stats")) {
        Store s(arg(0));
        return s.store->ComputeLogStats() ? 0 : 1;
    }
    if (command == QStringLiteral("csv")) {
        Store s(arg(0));
        if (!s.store->ExportLogToCsv()) {
            return 1;
        }
        const QString copy = arg(1);
        return copy.isEmpty() || (QFile::remove(copy), QFile::copy(s.store->csvFilePath(), copy)) ? 0 : 1;
    }
    return -1;
}

} // namespace hlv::bench
