#include "watch/WatchJobLog.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include "platform/Database.h"
#include "store/JobLogStore.h"
#include "store/TextConversion.h"

namespace hlv {

namespace {

QString tableField(const QString& field)
{
    for (const QString& name : JobLogStore::jobFields()) {
        if (name.compare(field, Qt::CaseInsensitive) == 0) {
            return name;
        }
    }
    return QString();
}

} // namespace

WatchJobLog::WatchJobLog(std::function<QString()> databasePath, QString templatePath)
    : m_databasePath(std::move(databasePath))
    , m_templatePath(std::move(templatePath))
    , m_busyTimeoutMs(Database::kDefaultBusyTimeoutMs)
{}

WatchJobLog::~WatchJobLog() = default;

bool WatchJobLog::copyTemplate(const QString& path) const
{
    QFile source(m_templatePath);
    if (!source.open(QIODevice::ReadOnly)) {
        qWarning().noquote() << "HlvWatch: job log: template" << m_templatePath << "cannot be read";
        return false;
    }
    const QByteArray bytes = source.readAll();
    // Written under a temporary name and then given its name without replacing anything, so
    // a console that creates the same file meanwhile keeps its own.
    QTemporaryFile copy(QFileInfo(path).absolutePath() + QStringLiteral("/.hlvw-log.XXXXXX"));
    if (!copy.open() || copy.write(bytes) != bytes.size() || !copy.flush()) {
        qWarning().noquote() << "HlvWatch: job log: cannot copy the template to" << path;
        return false;
    }
    copy.close();
    if (!QFile::rename(copy.fileName(), path)) {
        return false;
    }
    copy.setAutoRemove(false);
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
    const QString name = tableField(field);
    const std::optional<QString> text = vbText(value);
    if (name.isEmpty() || !text) {
        qWarning().noquote() << "HlvWatch: job log: field" << field << "of" << transactionId << "not written";
        return false;
    }
    // An empty text leaves the field without a value, as the console's writers do.
    const QVariant bound = text->isEmpty() ? QVariant() : QVariant(*text);
    const QString column = QLatin1Char('"') + name + QLatin1Char('"');

    // Edit the row or add it in one step that the console writing the same file cannot split.
    if (!m_db->begin(true)) {
        qWarning().noquote() << "HlvWatch: job log: write of" << name << "failed:" << m_db->lastError();
        return false;
    }
    bool ok = m_db->exec(QStringLiteral("UPDATE HLV_Log SET %1 = ?1 WHERE TransactionID = ?2").arg(column),
                         {bound, transactionId});
    if (ok && m_db->changes() == 0) {
        ok = name == QLatin1String("TransactionID")
                 ? m_db->exec(QStringLiteral("INSERT INTO HLV_Log (TransactionID) VALUES (?1)"), {bound})
                 : m_db->exec(QStringLiteral("INSERT INTO HLV_Log (TransactionID, %1) VALUES (?1, ?2)").arg(column),
                              {transactionId, bound});
    }
    if (!ok || !m_db->commit()) {
        qWarning().noquote() << "HlvWatch: job log: write of" << name << "failed:" << m_db->lastError();
        m_db->rollback();
        return false;
    }
    return true;
}

bool WatchJobLog::IsJobLogged(const QString& transactionId, bool* failed)
{
    bool logged = false;
    bool readFailed = true;
    if (OpenLogDatabase()) {
        Query query(*m_db, QStringLiteral("SELECT 1 FROM HLV_Log WHERE TransactionID = ?1 LIMIT 1"));
        query.bind(1, transactionId);
        logged = query.next();
        readFailed = query.failed();
        CloseLogDatabase();
    }
    if (failed) {
        *failed = readFailed;
    }
    return logged && !readFailed;
}

} // namespace hlv
