#include <QDebug>

#include "JobLogStore.h"
#include "platform/Clock.h"
#include "platform/Database.h"
#include "platform/Environment.h"
#include "platform/GeneralDate.h"
#include "store/JobLogTable.h"
#include "store/JobLogWriter.h"
#include "store/StoreHost.h"
#include "store/TextConversion.h"

namespace hlv {

namespace {

const QString kStoredTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

} // namespace

QString JobLogStore::storedTimeText(const QDateTime& value)
{
    return value.toString(kStoredTimeFormat);
}

QString JobLogStore::displayTimeText(const QString& stored)
{
    const QDateTime value = QDateTime::fromString(stored, kStoredTimeFormat);
    return value.isValid() ? generalDateText(value) : stored;
}

bool JobLogStore::WriteAudit(const QString& action, const QVariant& description)
{
    if (!m_host.auditOn()) {
        return true;
    }
    // A missing log is made first, with its creation records, so that this record's time,
    // taken next, follows theirs.
    if (!m_creating) {
        prepareLog(nullptr);
    }
    const QDateTime now = m_clock.now();
    const std::optional<QString> text = vbText(description);
    const QString sql = QStringLiteral("INSERT INTO HLV_Audit (\"Time\", \"Action\", \"Description\", "
                                       "\"HLV User\", \"HLV Computer\") VALUES (?1, ?2, ?3, ?4, ?5)");
    const QVariantList binds = {storedTimeText(now), joblog::storedValue(action),
                                text ? joblog::storedValue(*text) : QVariant(), joblog::storedValue(m_env.userName()),
                                joblog::storedValue(m_env.computerName())};
    if (m_creating) {
        // A record of the log's creation goes straight into the new file, ahead of
        // everything that waits to be written.
        QString error;
        std::unique_ptr<Database> db = joblog::openLog(logFilePath(), m_writer->waitDeadline(), &error);
        const bool ok = db && db->exec(sql, binds);
        if (!ok) {
            ++m_lostCreationRecords;
            qWarning().noquote() << "hlv: job log: audit record" << action << "lost:" << (db ? db->lastError() : error);
        }
        return ok;
    }
    const quint64 ticket = m_writer->queueStatement(QStringLiteral("audit record ") + action, sql, binds);
    m_writer->startWait();
    m_writer->flush();
    return m_writer->stored(ticket);
}

void JobLogStore::WriteAudits(const QList<std::pair<QString, QString>>& records)
{
    if (!m_host.auditOn() || records.isEmpty()) {
        return;
    }
    if (!m_creating) {
        prepareLog(nullptr);
    }
    const QDateTime now = m_clock.now();
    const QString sql = QStringLiteral("INSERT INTO HLV_Audit (\"Time\", \"Action\", \"Description\", "
                                       "\"HLV User\", \"HLV Computer\") VALUES (?1, ?2, ?3, ?4, ?5)");
    for (const auto& [action, description] : records) {
        const QVariantList binds = {storedTimeText(now), joblog::storedValue(action), joblog::storedValue(description),
                                    joblog::storedValue(m_env.userName()), joblog::storedValue(m_env.computerName())};
        m_writer->queueStatement(QStringLiteral("audit record ") + action, sql, binds);
    }
    m_writer->startWait();
    m_writer->flush();
}

} // namespace hlv
