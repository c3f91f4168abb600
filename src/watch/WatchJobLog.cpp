#include "watch/WatchJobLog.h"

#include <QDebug>
#include <QFileInfo>

#include "platform/Database.h"
#include "store/JobLogTable.h"
#include "store/TextConversion.h"

namespace hlv {

WatchJobLog::WatchJobLog(std::function<QString()> databasePath, QString templatePath)
    : m_databasePath(std::move(databasePath))
    , m_templatePath(std::move(templatePath))
    , m_busyTimeoutMs(Database::kDefaultBusyTimeoutMs)
{}

WatchJobLog::~WatchJobLog() = default;

bool WatchJobLog::copyTemplate(const QString& path) const
{
    QString error;
    if (!joblog::copyTemplate(m_templatePath, path, &error)) {
        qWarning().noquote() << "HlvWatch: job log:" << error;
        return false;
    }
    return true;
}

bool WatchJobLog::OpenLogDatabase()
{
    m_db.reset();
    const QString path = m_databasePath ? m_databasePath() : QString();
    if (path.isEmpty()) {
        return false;
    }
    if (!QFileInfo::exists(path)) {
        // A failed copy is not reported here: the open below fails in its turn.
        copyTemplate(path);
    }
    QString error;
    std::unique_ptr<Database> db = Database::open(path, Database::Mode::ReadWrite, &error);
    if (!db) {
        qWarning().noquote() << "HlvWatch: job log: cannot open" << path << ":" << error;
        return false;
    }
    db->setBusyTimeout(m_busyTimeoutMs);
    m_db = std::move(db);
    return true;
}

void WatchJobLog::CloseLogDatabase()
{
    m_db.reset();
}

bool WatchJobLog::LogJobField(const QString& transactionId, const QString& field, const QVariant& value)
{
    if (!OpenLogDatabase()) {
        return false;
    }
    const bool stored = SetJobField(transactionId, field, value);
    CloseLogDatabase();
    return stored;
}

bool WatchJobLog::SetJobField(const QString& transactionId, const QString& field, const QVariant& value)
{
    if (!m_db) {
        return false;
    }
    const QString name = joblog::canonicalField(field);
    const std::optional<QString> text = vbText(value);
    if (name.isEmpty() || !text) {
        qWarning().noquote() << "HlvWatch: job log: field" << field << "of" << transactionId << "not written";
        return false;
    }
    QString error;
    if (!joblog::writeField(*m_db, transactionId, name, *text, &error)) {
        qWarning().noquote() << "HlvWatch: job log: write of" << name << "failed:" << error;
        return false;
    }
    return true;
}

bool WatchJobLog::IsJobLogged(const QString& transactionId, bool* failed)
{
    bool logged = false;
    bool readFailed = true;
    if (OpenLogDatabase()) {
        const std::optional<bool> found = joblog::isLogged(*m_db, transactionId);
        logged = found.value_or(false);
        readFailed = !found;
        CloseLogDatabase();
    }
    if (failed) {
        *failed = readFailed;
    }
    return logged && !readFailed;
}

} // namespace hlv
