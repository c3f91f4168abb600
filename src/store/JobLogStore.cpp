#include "JobLogStore.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QSet>

#include "platform/AtomicFile.h"
#include "platform/Database.h"
#include "platform/Environment.h"
#include "store/JobLogTable.h"
#include "store/JobLogWriter.h"
#include "store/StoreHost.h"
#include "store/TextConversion.h"

namespace hlv {

namespace {

// How often a new log is made for one write when each is deleted at once.
constexpr int kMostLogCreations = 3;

// The stored name and text of one field of a job's row, or nothing (with a line on stderr)
// when the field is not one of the row's or its value has no text.
std::optional<std::pair<QString, QString>> fieldToWrite(const QString& transactionId, const QString& field,
                                                        const QVariant& value, bool keyAllowed)
{
    const QString name = joblog::canonicalField(field);
    if (name.isEmpty() || (!keyAllowed && name == QLatin1String("TransactionID"))) {
        qWarning().noquote() << "hlv: job log: no field" << field << "- not written";
        return std::nullopt;
    }
    std::optional<QString> text = vbText(value);
    if (!text) {
        qWarning().noquote() << "hlv: job log: no text for" << name << "of" << transactionId << "- not written";
        return std::nullopt;
    }
    return std::pair{name, std::move(*text)};
}

} // namespace

const QStringList& JobLogStore::jobFields()
{
    static const QStringList fields = {
        QStringLiteral("TransactionID"), QStringLiteral("Server"),       QStringLiteral("Queue"),
        QStringLiteral("Description"),   QStringLiteral("Computer"),     QStringLiteral("User"),
        QStringLiteral("Name"),          QStringLiteral("Priority"),     QStringLiteral("Time Submitted"),
        QStringLiteral("Pages"),         QStringLiteral("Size"),         QStringLiteral("Deleted"),
        QStringLiteral("Deleted Pages"), QStringLiteral("Resumed"),      QStringLiteral("Printed Pages"),
        QStringLiteral("HLV User"),      QStringLiteral("HLV Computer"), QStringLiteral("Comments"),
    };
    return fields;
}

QString JobLogStore::defaultTemplatePath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/hlv.mdb");
}

JobLogStore::JobLogStore(const Environment& env, const Clock& clock, const StoreHost& host, QString templatePath)
    : m_env(env)
    , m_clock(clock)
    , m_host(host)
    , m_templatePath(std::move(templatePath))
    , m_writer(
          std::make_unique<JobLogWriter>(QStringLiteral("hlv"), [this](QString* error) { return prepareLog(error); }))
{}

JobLogStore::~JobLogStore() = default;

void JobLogStore::setBusyTimeoutMs(int ms)
{
    m_writer->setBusyTimeoutMs(ms);
}

void JobLogStore::setAfterJobWritten(std::function<void(const QString&)> hook)
{
    m_writer->setAfterJobWritten(std::move(hook));
}

void JobLogStore::setWriteNotice(std::function<void(const QString&)> notice)
{
    m_writer->setNotice(std::move(notice));
}

int JobLogStore::pendingWrites() const
{
    return m_writer->pendingCount();
}

int JobLogStore::lostWrites() const
{
    return m_writer->lostCount() + m_lostCreationRecords;
}

QString JobLogStore::logFilePath() const
{
    QString folder = m_host.logPath();
    if (folder.isEmpty()) {
        folder = m_env.appData();
    }
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) {
        folder.chop(1);
    }
    return folder + QStringLiteral("/hlv.mdb");
}

QString JobLogStore::csvFilePath() const
{
    return outputFilePath(m_env.temp() + QStringLiteral("/HLV_Log.csv"));
}

bool JobLogStore::createFromTemplate(const QString& path, QString* error)
{
    const QFileInfo target(path);
    // The application-data folder of a fresh account may not exist yet, also when the
    // setting names it; a folder the operator chose elsewhere (a share) is never made up.
    const bool defaultFolder =
        m_host.logPath().isEmpty() || QDir::cleanPath(m_host.logPath()) == QDir::cleanPath(m_env.appData());
    // The caller tells the failure: writes wait for a log that cannot be made now.
    if (defaultFolder && !QDir().mkpath(target.absolutePath())) {
        *error = QStringLiteral("cannot create folder %1").arg(target.absolutePath());
        return false;
    }
    return joblog::copyTemplate(m_templatePath, path, error);
}

QString JobLogStore::prepareLog(QString* error)
{
    const QString path = logFilePath();
    QString why;
    // A reset in another program may delete the new log as soon as it is made (it is not
    // held open until the write): it is made again, a few times at most.
    for (int attempt = 0; attempt < kMostLogCreations; ++attempt) {
        joblog::removeEmptyLog(path);
        if (QFileInfo::exists(path) || !createFromTemplate(path, &why)) {
            break;
        }
        // These records are written before anything else goes into the new file: each of
        // them opens and closes the new file on its own.
        m_creating = true;
        WriteAudit(QStringLiteral("Log"), QStringLiteral("New log file created."));
        WriteAudit(QStringLiteral("Queue"), QStringLiteral("Current Queue ") + m_host.serverBoxText() +
                                                QLatin1Char('-') + m_host.queueBoxText());
        if (m_host.autoQueueChecked()) {
            WriteAudit(QStringLiteral("AutoQueue"), QStringLiteral("AutoQueue Enabled"));
        }
        m_creating = false;
        if (QFileInfo::exists(path)) {
            break;
        }
    }
    if (!QFileInfo::exists(path)) {
        if (error) {
            *error = why.isEmpty() ? QStringLiteral("there is no log file %1").arg(path) : why;
        }
        return QString();
    }
    return path;
}

bool JobLogStore::openForCaller(bool* locked)
{
    m_db.reset();
    if (locked) {
        *locked = false;
    }
    QString error;
    const QString path = prepareLog(&error);
    std::unique_ptr<Database> db = path.isEmpty() ? nullptr : joblog::openLog(path, m_writer->waitDeadline(), &error);
    // Reading the schema finds a lock or a damaged file before the caller's first step.
    if (db && !db->scalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_master")).has_value()) {
        if (joblog::lockedOut(*db)) {
            m_writer->lockSeen();
            if (locked) {
                *locked = true;
            }
        }
        error = db->lastError();
        db.reset();
    }
    if (!db) {
        qWarning().noquote() << "hlv: job log: cannot open" << logFilePath() << ":" << error;
        return false;
    }
    m_db = std::move(db);
    return true;
}

bool JobLogStore::OpenLogDatabase()
{
    // What waits to be written goes first, so that the caller reads it back.
    m_writer->startWait();
    m_writer->flush();
    return openForCaller();
}

void JobLogStore::CloseLogDatabase()
{
    m_db.reset();
}

bool JobLogStore::queueJob(const QString& transactionId, const QList<std::pair<QString, QVariant>>& fields,
                           bool onlyIfNew, quint64* ticket)
{
    JobLogWriter::Fields texts;
    for (const auto& [field, value] : fields) {
        auto named = fieldToWrite(transactionId, field, value, false);
        if (!named) {
            return false;
        }
        texts.append(std::move(*named));
    }
    *ticket = m_writer->queueJob(transactionId, std::move(texts), onlyIfNew);
    return true;
}

bool JobLogStore::LogJobField(const QString& transactionId, const QString& field, const QVariant& value)
{
    quint64 ticket = 0;
    if (!queueJob(transactionId, {{field, value}}, false, &ticket)) {
        return false;
    }
    m_writer->startWait();
    m_writer->flush();
    return m_writer->stored(ticket);
}

void JobLogStore::LogNewJobs(const QList<joblog::JobEntry>& jobs)
{
    logJobs(jobs, true);
}

void JobLogStore::QueueNewJobs(const QList<joblog::JobEntry>& jobs)
{
    quint64 ticket = 0;
    for (const joblog::JobEntry& job : jobs) {
        queueJob(job.key, job.fields, true, &ticket);
    }
    m_writer->startNoWait();
    m_writer->flush();
}

void JobLogStore::LogJobsFields(const QList<joblog::JobEntry>& jobs)
{
    logJobs(jobs, false);
}

void JobLogStore::logJobs(const QList<joblog::JobEntry>& jobs, bool onlyIfNew)
{
    quint64 ticket = 0;
    for (const joblog::JobEntry& job : jobs) {
        queueJob(job.key, job.fields, onlyIfNew, &ticket);
    }
    m_writer->startWait();
    m_writer->flush();
}

std::optional<QSet<QString>> JobLogStore::LoggedJobs(const QStringList& keys)
{
    QSet<QString> logged;
    m_writer->startWait();
    m_writer->flush();
    bool locked = false;
    if (!openForCaller(&locked)) {
        return locked ? std::optional<QSet<QString>>(logged) : std::nullopt;
    }
    bool ok = m_db->begin();
    for (const QString& key : keys) {
        if (!ok) {
            break;
        }
        const std::optional<bool> found = joblog::isLogged(*m_db, key);
        ok = found.has_value();
        if (found.value_or(false)) {
            logged.insert(key);
        }
    }
    if (!ok) {
        locked = joblog::lockedOut(*m_db);
        qWarning().noquote() << "hlv: job log: cannot look up the listed jobs:" << m_db->lastError();
    }
    m_db->rollback();
    CloseLogDatabase();
    if (locked) {
        m_writer->lockSeen();
        return QSet<QString>();
    }
    return ok ? std::optional<QSet<QString>>(logged) : std::nullopt;
}

bool JobLogStore::SetJobField(const QString& transactionId, const QString& field, const QVariant& value)
{
    if (!m_db) {
        return false;
    }
    const auto named = fieldToWrite(transactionId, field, value, true);
    if (!named) {
        return false;
    }
    const auto& [name, text] = *named;
    QString error;
    if (!joblog::writeField(*m_db, transactionId, name, text, &error)) {
        qWarning().noquote() << "hlv: job log: write of" << name << "for" << transactionId << "failed:" << error;
        return false;
    }
    return true;
}

bool JobLogStore::IsJobLogged(const QString& transactionId, bool* failed)
{
    if (failed) {
        *failed = false;
    }
    bool logged = false;
    bool readFailed = true;
    if (OpenLogDatabase()) {
        QString error;
        const std::optional<bool> found = joblog::isLogged(*m_db, transactionId, &error);
        logged = found.value_or(false);
        readFailed = !found;
        if (readFailed) {
            if (joblog::lockedOut(*m_db)) {
                m_writer->lockSeen();
            }
            qWarning().noquote() << "hlv: job log: cannot look up" << transactionId << ":" << error;
        }
        CloseLogDatabase();
    }
    if (failed) {
        *failed = readFailed;
    }
    return logged && !readFailed;
}

} // namespace hlv
