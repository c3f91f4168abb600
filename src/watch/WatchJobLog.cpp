#include "watch/WatchJobLog.h"

#include <QDebug>
#include <QFileInfo>

#include "platform/Database.h"
#include "store/JobLogTable.h"
#include "store/JobLogWriter.h"
#include "store/TextConversion.h"

namespace hlv {

WatchJobLog::WatchJobLog(std::function<QString()> databasePath, QString templatePath)
    : m_databasePath(std::move(databasePath))
    , m_templatePath(std::move(templatePath))
    , m_writer(std::make_unique<JobLogWriter>(QStringLiteral("HlvWatch"),
                                              [this](QString* error) { return prepareLog(error); }))
{}

WatchJobLog::~WatchJobLog() = default;

void WatchJobLog::setBusyTimeoutMs(int ms)
{
    m_writer->setBusyTimeoutMs(ms);
}

void WatchJobLog::setWriteNotice(std::function<void(const QString&)> notice)
{
    m_writer->setNotice(std::move(notice));
}

bool WatchJobLog::waitingForDisk() const
{
    return m_writer->waitingForDisk();
}

int WatchJobLog::pendingWrites() const
{
    return m_writer->pendingCount();
}

QString WatchJobLog::prepareLog(QString* error) const
{
    const QString path = m_databasePath ? m_databasePath() : QString();
    if (path.isEmpty()) {
        // Nothing to wait for: the writes are dropped (no error given).
        return QString();
    }
    joblog::removeEmptyLog(path);
    if (!QFileInfo::exists(path) && !joblog::copyTemplate(m_templatePath, path, error)) {
        return QString();
    }
    return path;
}

bool WatchJobLog::OpenLogDatabase()
{
    m_db.reset();
    m_writer->startWait();
    m_writer->flush();
    QString error;
    const QString path = prepareLog(&error);
    if (path.isEmpty()) {
        qWarning().noquote() << "HlvWatch: job log:"
                             << (error.isEmpty() ? QStringLiteral("no database chosen") : error);
        return false;
    }
    std::unique_ptr<Database> db = joblog::openLog(path, m_writer->waitDeadline(), &error);
    if (!db) {
        qWarning().noquote() << "HlvWatch: job log: cannot open" << path << ":" << error;
        return false;
    }
    m_db = std::move(db);
    return true;
}

void WatchJobLog::CloseLogDatabase()
{
    m_db.reset();
}

bool WatchJobLog::queue(const QString& transactionId, const QList<std::pair<QString, QVariant>>& fields, bool onlyIfNew)
{
    JobLogWriter::Fields texts;
    for (const auto& [field, value] : fields) {
        const QString name = joblog::canonicalField(field);
        const std::optional<QString> text = vbText(value);
        if (name.isEmpty() || name == QLatin1String("TransactionID") || !text) {
            qWarning().noquote() << "HlvWatch: job log: field" << field << "of" << transactionId << "not written";
            return false;
        }
        texts.append({name, *text});
    }
    const quint64 ticket = m_writer->queueJob(transactionId, std::move(texts), onlyIfNew);
    m_writer->startWait();
    m_writer->flush();
    return m_writer->stored(ticket);
}

bool WatchJobLog::LogJobField(const QString& transactionId, const QString& field, const QVariant& value)
{
    return queue(transactionId, {{field, value}}, false);
}

bool WatchJobLog::LogNewJob(const joblog::JobEntry& job)
{
    return queue(job.key, job.fields, true);
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
        if (readFailed && joblog::lockedOut(*m_db)) {
            m_writer->lockSeen();
        }
        CloseLogDatabase();
    }
    if (failed) {
        *failed = readFailed;
    }
    return logged && !readFailed;
}

} // namespace hlv
