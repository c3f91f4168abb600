#pragma once

#include <QFile>
#include <QString>
#include <QVariantMap>

#include "platform/Database.h"

// Readable texts in test failures.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace hlv::test {

inline QString templateDb()
{
    return QStringLiteral(HLV_BIN_DIR "/hlv.mdb");
}

inline QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One job log row's fields by name; empty when the job is not logged.
inline QVariantMap logRow(const QString& dbPath, const QString& transactionId)
{
    QVariantMap out;
    auto db = Database::open(dbPath, Database::Mode::ReadOnly);
    if (!db) {
        return out;
    }
    Query q(*db, QStringLiteral("SELECT * FROM HLV_Log WHERE TransactionID = ?1"));
    q.bind(1, transactionId);
    if (q.next()) {
        for (int c = 0; c < q.columnCount(); ++c) {
            out.insert(q.columnName(c), q.value(c));
        }
    }
    return out;
}

inline int logCount(const QString& dbPath)
{
    auto db = Database::open(dbPath, Database::Mode::ReadOnly);
    return db ? db->scalar(QStringLiteral("SELECT COUNT(*) FROM HLV_Log")).value_or(-1).toInt() : -1;
}

} // namespace hlv::test
